#pragma once
// The pages of a multipage picture one below the other, as wide as the view, scrolled with the
// scroll bar, the wheel and the page keys. A page is read only when it scrolls into view, and
// only a few recently shown pages are kept, so a document of thousands of pages opens at once.

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QPixmap>
#include <QSet>

#include <functional>

class TVoskPageStrip final : public QAbstractScrollArea {
public:
    // Reads page n (from 0) at most as large as the size given; a null image for a page that
    // cannot be read.
    using PageLoader = std::function<QImage(int page, QSize most)>;

    explicit TVoskPageStrip(QWidget* parent = nullptr);

    // count pages; aspect: height by width of the first page, which every page's slot takes.
    void SetPages(int count, double aspect, PageLoader loader);
    void Clear() { SetPages(0, 1.0, {}); }
    int PageCount() const { return m_count; }
    // The pages read so far (for the look of the laziness in tests).
    const QSet<int>& PagesRead() const { return m_read; }
    // The page at the top of the view.
    int CurrentPage() const;
    void ScrollToPage(int page);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    static constexpr int kGap = 8;
    int pageWidth() const;
    int slotHeight() const;
    void updateRange();
    const QPixmap* page(int n);

    int m_count = 0;
    double m_aspect = 1.0;
    PageLoader m_loader;
    QCache<int, QPixmap> m_cache;
    int m_cacheWidth = 0;
    QSet<int> m_read;
};
