#include "UFileViewerPDF.Tiles.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfDocument>
#include <QTransform>

#include <memory>

namespace PdfTiles {

QRect TileRect(const TPdfTileKey& key) {
    const QRect tile(key.index.x() * TileSize, key.index.y() * TileSize, TileSize, TileSize);
    return tile.intersected(QRect(QPoint(), key.scaled));
}

QList<TPdfTileKey> TilesIn(int page, int rotation, QSize scaled, QRect area) {
    const QRect inPage = area.intersected(QRect(QPoint(), scaled));
    QList<TPdfTileKey> tiles;
    if (inPage.isEmpty())
        return tiles;
    for (int row = inPage.top() / TileSize; row <= inPage.bottom() / TileSize; ++row)
        for (int column = inPage.left() / TileSize; column <= inPage.right() / TileSize; ++column)
            tiles.append({page, rotation, scaled, QPoint(column, row)});
    return tiles;
}

QImage Render(QPdfDocument& document, const TPdfTileKey& key) {
    const QRect turned = TileRect(key);
    if (turned.isEmpty())
        return {};
    // Qt PDF turns no clipped rendering: the tile is cut from the page as it lies and turned here.
    const QSize page = key.rotation % 180 ? key.scaled.transposed() : key.scaled;
    QRect tile;
    switch (key.rotation) {
    case 90:
        tile = QRect(turned.y(), page.height() - turned.x() - turned.width(), turned.height(),
                     turned.width());
        break;
    case 180:
        tile = QRect(page.width() - turned.x() - turned.width(),
                     page.height() - turned.y() - turned.height(), turned.width(), turned.height());
        break;
    case 270:
        tile = QRect(page.width() - turned.y() - turned.height(), turned.x(), turned.height(),
                     turned.width());
        break;
    default:
        tile = turned;
        break;
    }
    QPdfDocumentRenderOptions options;
    options.setScaledSize(page);
    // Qt PDF scales the page by the clip's right() - left(), one pixel short of its width: a clip
    // one pixel wider and higher than the image gives the scale asked for.
    options.setScaledClipRect(QRect(tile.topLeft(), tile.size() + QSize(1, 1)));
    const QImage drawn = document.render(key.page, tile.size(), options);
    if (drawn.isNull())
        return {};
    QImage onWhite(tile.size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    {
        QPainter p(&onWhite);
        p.drawImage(0, 0, drawn);
    }
    if (key.rotation != 0)
        onWhite = onWhite.transformed(QTransform().rotate(key.rotation));
    return onWhite;
}

} // namespace PdfTiles

TPdfTileRenderer::TPdfTileRenderer(QObject* parent) : QObject(parent) {
    qRegisterMetaType<TPdfTileKey>();
    m_thread = std::thread([this] { run(); });
}

TPdfTileRenderer::~TPdfTileRenderer() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TPdfTileRenderer::SetDocument(const QByteArray& bytes) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_rendering.reset(); // what it renders is of the document before
        m_newDocument = bytes;
        ++m_generation;
    }
    m_wake.notify_all();
}

quint64 TPdfTileRenderer::Generation() const {
    const std::lock_guard lock(m_mutex);
    return m_generation;
}

void TPdfTileRenderer::Want(const QList<TPdfTileKey>& tiles) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.clear();
        for (const TPdfTileKey& key : tiles)
            if (!m_rendering || !(*m_rendering == key))
                m_queue.push_back(key);
    }
    m_wake.notify_all();
}

int TPdfTileRenderer::Pending() const {
    const std::lock_guard lock(m_mutex);
    return int(m_queue.size()) + (m_rendering ? 1 : 0);
}

void TPdfTileRenderer::run() {
    // The thread's own document and its bytes: Qt PDF serializes the library's calls, and no
    // document object is ever used by two threads.
    QByteArray bytes;
    std::unique_ptr<QBuffer> buffer;
    std::unique_ptr<QPdfDocument> document;
    quint64 loaded = 0;
    for (;;) {
        TPdfTileKey key;
        {
            std::unique_lock lock(m_mutex);
            m_rendering.reset();
            m_wake.wait(lock, [this] { return m_stop || m_newDocument || !m_queue.empty(); });
            if (m_stop)
                break;
            if (m_newDocument) {
                bytes = std::move(*m_newDocument);
                m_newDocument.reset();
                loaded = m_generation;
                lock.unlock();
                document.reset();
                buffer.reset();
                if (!bytes.isEmpty()) {
                    buffer = std::make_unique<QBuffer>(&bytes);
                    buffer->open(QIODevice::ReadOnly);
                    document = std::make_unique<QPdfDocument>();
                    document->load(buffer.get());
                    if (document->status() != QPdfDocument::Status::Ready)
                        document.reset();
                }
                continue;
            }
            key = m_queue.front();
            m_queue.pop_front();
            m_rendering = key;
        }
        const QImage image = document ? PdfTiles::Render(*document, key) : QImage();
        emit tileReady(loaded, key, image);
    }
    document.reset();
    buffer.reset();
}
