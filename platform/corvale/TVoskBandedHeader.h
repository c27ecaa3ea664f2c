#pragma once
// The column header of a data grid with bands: a caption row over groups of columns (named by
// field), the column captions below. A band spans the shown columns of its group that stand next
// to each other; columns the user moves out of the group leave a gap in its caption.

#include <QHeaderView>
#include <QStringList>

class TVoskDBGrid2;

struct TVoskGridBand {
    QString Caption;
    QStringList Fields;
};

class TVoskBandedHeader final : public QHeaderView {
    Q_OBJECT
public:
    // Installs itself as grid's column header; the grid keeps sorting by header clicks.
    explicit TVoskBandedHeader(TVoskDBGrid2* grid);

    void SetBands(const QList<TVoskGridBand>& bands);
    const QList<TVoskGridBand>& Bands() const { return m_bands; }
    void SetBandCaption(int band, const QString& caption);
    // The band a model column belongs to, -1 for none.
    int BandOfSection(int logicalIndex) const;
    // The caption areas of a band in header coordinates, one per run of adjacent shown columns.
    QList<QRect> BandRects(int band) const;
    int BandRowHeight() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    // Fitted widths leave room for the band caption, shared among the band's shown columns.
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    TVoskDBGrid2* m_grid;
    QList<TVoskGridBand> m_bands;
};
