#pragma once
// The column header of a banded view: a band row on top, each band's caption spanning the
// sections of its shown columns, and the column captions below. Sections move and resize as in
// any header; the view decides what a move means for the bands.

#include <QHeaderView>

namespace Grid {

class GridBandedTableView;

class BandedHeaderView final : public QHeaderView {
    Q_OBJECT
public:
    explicit BandedHeaderView(GridBandedTableView& view, QWidget* parent = nullptr);

    // Height of the band row; the column captions lie below it.
    int BandRowHeight() const;
    // The band's caption area in header coordinates; empty when the band shows no column.
    QRect BandRect(int band) const;
    // The band under a header position, -1 for none.
    int BandAt(const QPoint& pos) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    bool viewportEvent(QEvent* e) override;

private:
    GridBandedTableView& m_view;
};

} // namespace Grid
