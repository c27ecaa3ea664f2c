#pragma once
// The PDF view's page in tiles: only the part of the page in view is rendered, at the zoom, in
// square tiles, on a thread of its own from a document of its own over the same bytes. So a zoom
// to 800 % of a large page costs the tiles the screen shows, never the whole page at that size,
// and the window goes on while they are drawn. Widget-free.

#include <QByteArray>
#include <QHashFunctions>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

class QPdfDocument;

// One tile: of a page turned clockwise by rotation degrees and rendered at scaled (the turned
// page's size in device pixels), the tile at column and row index.
struct TPdfTileKey {
    int page = 0;
    int rotation = 0;
    QSize scaled;
    QPoint index;

    friend bool operator==(const TPdfTileKey& a, const TPdfTileKey& b) {
        return a.page == b.page && a.rotation == b.rotation && a.scaled == b.scaled &&
               a.index == b.index;
    }
};

inline size_t qHash(const TPdfTileKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.page, k.rotation, k.scaled.width(), k.scaled.height(), k.index.x(),
                      k.index.y());
}

namespace PdfTiles {

// Tiles are this many device pixels square: large enough that the page's content, read again
// for every tile, is read a few times per screen, small enough that a screen holds few.
inline constexpr int TileSize = 1024;

// The tile's rectangle in the turned page at its scale, cut at the page's edge.
QRect TileRect(const TPdfTileKey& key);
// The tiles of the turned page at scaled that meet area (device pixels of the turned page).
QList<TPdfTileKey> TilesIn(int page, int rotation, QSize scaled, QRect area);
// The tile rendered from document on white; null when the page cannot be rendered.
QImage Render(QPdfDocument& document, const TPdfTileKey& key);

} // namespace PdfTiles

// Renders the tiles asked for, one after the other, on its own thread.
class TPdfTileRenderer final : public QObject {
    Q_OBJECT
public:
    explicit TPdfTileRenderer(QObject* parent = nullptr);
    ~TPdfTileRenderer() override;

    // The PDF file to render from; empty for none. The tiles asked for before are dropped.
    void SetDocument(const QByteArray& bytes);
    // Counts the documents set: a tile carries the one it was rendered from.
    quint64 Generation() const;
    // The tiles wanted now, the most wanted first, in place of those wanted before; a tile being
    // rendered is finished.
    void Want(const QList<TPdfTileKey>& tiles);
    // Wanted and not yet delivered, the one being rendered included.
    int Pending() const;

signals:
    // From the renderer's thread; connections to objects of another thread are queued.
    void tileReady(quint64 generation, const TPdfTileKey& key, const QImage& image);

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<TPdfTileKey> m_queue;
    std::optional<TPdfTileKey> m_rendering;
    std::optional<QByteArray> m_newDocument; // set and not yet loaded by the thread
    quint64 m_generation = 0;
    bool m_stop = false;
    std::thread m_thread;
};

Q_DECLARE_METATYPE(TPdfTileKey)
