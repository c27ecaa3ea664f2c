// The PDF view's tiles and their renderer without a database: what is wanted is what arrives,
// a document changed or a view destroyed while a tile is being rendered leaves nothing behind,
// and the tiles are what Qt PDF renders of the same part.
#include <DemoPages.h>
#include <UFileViewerPDF.Tiles.h>
#include <UFileViewerPDF.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QScrollBar>

#include <memory>

namespace {

struct Loaded {
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument pdf;
    explicit Loaded(QByteArray b) : bytes(std::move(b)) {
        buffer.setBuffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        pdf.load(&buffer);
    }
};

// One A4 page, black left of x and white right of it, so two documents tell apart at a glance.
QByteArray HalfBlack(int x) {
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    QPdfWriter w(&b);
    w.setPageSize(QPageSize(QPageSize::A4));
    w.setResolution(72);
    w.setPageMargins({});
    QPainter p(&w);
    p.fillRect(QRect(0, 0, x, 842), Qt::black);
    p.end();
    return bytes;
}

void WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

} // namespace

TEST(PdfTilesTest, WhatIsWantedArrivesAndWhatIsNoLongerWantedIsNotRendered) {
    Loaded plan(DemoPages::PdfPlan(QPageSize(QPageSize::A0), 3));
    ASSERT_EQ(plan.pdf.status(), QPdfDocument::Status::Ready);
    const QSize scaled = (plan.pdf.pagePointSize(0) * 8).toSize();
    TPdfTileRenderer renderer;
    renderer.SetDocument(plan.bytes);
    QList<TPdfTileKey> arrived;
    QHash<TPdfTileKey, QImage> images;
    QObject::connect(&renderer, &TPdfTileRenderer::tileReady, &renderer,
                     [&](quint64 generation, const TPdfTileKey& key, const QImage& image) {
                         EXPECT_EQ(generation, renderer.Generation());
                         arrived << key;
                         images.insert(key, image);
                     });
    const QList<TPdfTileKey> first = PdfTiles::TilesIn(0, 0, scaled, QRect(0, 0, 4000, 3000));
    ASSERT_EQ(first.size(), 12);
    renderer.Want(first);
    // At once something else is wanted: of the first ones at most the tile under way comes.
    const TPdfTileKey later{0, 0, scaled, QPoint(10, 20)};
    renderer.Want({later});
    WaitFor([&] { return renderer.Pending() == 0 && arrived.contains(later); });
    EXPECT_TRUE(arrived.contains(later));
    EXPECT_LE(arrived.size(), 2);
    EXPECT_EQ(arrived.count(later), 1);
    // The tile is the part Qt PDF renders of the page at that scale.
    const QImage expected = PdfTiles::Render(plan.pdf, later);
    EXPECT_EQ(images.value(later), expected);
    EXPECT_EQ(expected.size(), QSize(PdfTiles::TileSize, PdfTiles::TileSize));
    // Cut at the page's edge.
    const TPdfTileKey edge{0, 0, scaled, QPoint(scaled.width() / PdfTiles::TileSize, 0)};
    EXPECT_EQ(PdfTiles::TileRect(edge).right(), scaled.width() - 1);
    EXPECT_TRUE(PdfTiles::TileRect({0, 0, scaled, QPoint(999, 0)}).isEmpty());
}

TEST(PdfTilesTest, ADocumentChangedWhileTilesAreRenderedShowsOnlyTheNewOne) {
    Loaded left(HalfBlack(20)), right(HalfBlack(500));
    TPdfPageView view;
    view.resize(800, 600);
    view.show();
    view.SetZoomFactor(800);
    view.SetDocument(&left.pdf, left.bytes);
    view.viewport()->repaint(); // asks for the tiles in view
    view.SetDocument(&right.pdf, right.bytes);
    view.SetZoomFactor(800);
    view.viewport()->repaint();
    WaitFor([&] {
        view.viewport()->repaint();
        return view.PendingTiles() == 0;
    });
    ASSERT_EQ(view.PendingTiles(), 0);
    // The top-left corner at 800 %: black on the new page as on the old one; further right
    // than the old page's black, still black on the new one.
    const QImage shown = view.VisiblePage();
    ASSERT_GT(shown.width(), 0);
    EXPECT_EQ(qGray(shown.pixel(shown.width() - 1, 10)), 0);
    EXPECT_LT(view.TileBytes(), qint64(200) << 20);
}

TEST(PdfTilesTest, AViewDestroyedWhileItsTilesAreRenderedGoesCleanly) {
    Loaded plan(DemoPages::PdfPlan(QPageSize(QPageSize::A0), 5));
    for (int round = 0; round < 3; ++round) {
        auto view = std::make_unique<TPdfPageView>();
        view->resize(1000, 800);
        view->show();
        view->SetDocument(&plan.pdf, plan.bytes);
        view->SetZoomFactor(800);
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() / 2);
        view->viewport()->repaint();
        QApplication::processEvents();
        view.reset(); // the renderer's thread is still at work
    }
    SUCCEED();
}
