#pragma once
// The summary row under a banded view's table: each column's summary drawn under its header
// section, following moves, resizes and horizontal scrolling. Values are read when the data
// changes, not on every paint.

#include <QVariant>
#include <QWidget>

#include <vector>

namespace Grid {

class GridBandedTableView;

class GridFooterView final : public QWidget {
    Q_OBJECT
public:
    explicit GridFooterView(GridBandedTableView& view, QWidget* parent = nullptr);

    // Reads the summaries again and repaints.
    void Recalculate();
    // The text shown under the column with that item index.
    QString TextOf(int itemIndex) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    GridBandedTableView& m_view;
    std::vector<QVariant> m_values; // by item index
};

} // namespace Grid
