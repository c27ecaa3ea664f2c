// The vector model: raw dumps of every pixel format, z-order and selection, turning, undo entries.
#include <IERawBitmap.h>
#include <IEVectModel.h>
#include <IEVectRender.h>

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QtEndian>

#include <cstring>

using namespace Imaging;

namespace {

QImage Noise(int w, int h, QImage::Format format, quint32 seed) {
    QImage img(w, h, QImage::Format_ARGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, rng.generate());
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
        format == QImage::Format_Indexed8)
        return img.convertToFormat(format, Qt::ThresholdDither);
    return img.convertToFormat(format);
}

} // namespace

TEST(RawBitmapTest, EveryFormatComesBackWithItsSizeFormatAndPixels) {
    for (const auto format :
         {QImage::Format_Mono, QImage::Format_Grayscale8, QImage::Format_Indexed8,
          QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        for (const QSize size : {QSize(1, 1), QSize(13, 7), QSize(64, 3)}) {
            const QImage img = Noise(size.width(), size.height(), format, 7);
            const QImage back = LoadRAW(SaveRAW(img));
            EXPECT_EQ(back.format(), format);
            EXPECT_EQ(back, img) << int(format) << " " << size.width();
        }
    }
    // Formats the dump does not carry are kept as ARGB, pixel for pixel.
    const QImage rgb16 = Noise(9, 4, QImage::Format_RGB16, 3);
    EXPECT_EQ(LoadRAW(SaveRAW(rgb16)), rgb16.convertToFormat(QImage::Format_RGB32));
    const QImage lsb = Noise(11, 3, QImage::Format_MonoLSB, 5);
    EXPECT_EQ(LoadRAW(SaveRAW(lsb)), lsb.convertToFormat(QImage::Format_Mono));
}

TEST(RawBitmapTest, TheDumpIsTheSameForTheSamePicture) {
    // Padding of QImage rows never reaches the dump.
    QImage a(5, 3, QImage::Format_RGB888);
    a.fill(Qt::green);
    QImage b(5, 3, QImage::Format_RGB888);
    std::memset(b.bits(), 0xAB, size_t(b.sizeInBytes()));
    b.fill(Qt::green);
    EXPECT_EQ(SaveRAW(a), SaveRAW(b));
    EXPECT_EQ(SaveRAW(a).size(), 20 + 5 * 3 * 3);
}

TEST(RawBitmapTest, BrokenDumpsAreRefusedWithoutAllocating) {
    const QByteArray good = SaveRAW(Noise(8, 8, QImage::Format_RGB32, 1));
    QString why;
    EXPECT_TRUE(LoadRAW(good.left(good.size() - 1), &why).isNull());
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(LoadRAW(good + "x").isNull());
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_TRUE(LoadRAW(wrongMagic).isNull());
    QByteArray huge = good;
    qToLittleEndian<qint32>(1 << 20, huge.data() + 4); // 2^40 pixels: far beyond the cap
    qToLittleEndian<qint32>(1 << 20, huge.data() + 8);
    EXPECT_TRUE(LoadRAW(huge, &why).isNull());
    EXPECT_EQ(why, QStringLiteral("raw bitmap header out of range"));
    EXPECT_TRUE(LoadRAW({}).isNull());
}

TEST(VectModelTest, ObjectsCopyTheTemplateAndKeepTheirOrder) {
    TIEVectModel m;
    m.ObjRef(-1).FontHeight = 44;
    const int a = m.AddNewObject(iekBOX, QRect(1, 2, 30, 40), 255);
    const int b = m.AddNewObject(iekELLIPSE, QRect(5, 5, 10, 10), 0);
    const int c = m.AddNewObject(iekMEMO, QRect(5, 5, 10, 10), 0);
    EXPECT_EQ(m.Obj(a).FontHeight, 44);
    EXPECT_EQ(m.Obj(a).Right, 31);
    EXPECT_EQ(m.Obj(a).PenColor, 255);
    EXPECT_NE(a, b);
    m.BringToFront(a);
    EXPECT_EQ(m.GetObjFromIndex(2), a);
    m.SendToBack(c);
    EXPECT_EQ(m.GetObjFromIndex(0), c);
    m.AddSelObject(b);
    m.AddSelObject(a);
    EXPECT_EQ(m.SelObjects(), (QList<int>{b, a}));
    m.RemoveObject(b);
    EXPECT_EQ(m.SelObjects(), QList<int>{a});
    EXPECT_EQ(m.ObjectsCount(), 2);
    EXPECT_THROW(m.Obj(b), std::out_of_range);
    EXPECT_EQ(m.GetObjFromIndex(5), -1);
}

TEST(VectModelTest, UndoOperations) {
    TIEVectModel m;
    const int a = m.AddNewObject(iekBOX, QRect(0, 0, 10, 10), 0);
    m.SaveUndo(); // [1 object]
    m.AddNewObject(iekBOX, QRect(0, 0, 10, 10), 0);
    m.SaveUndo(); // [1, 2]
    m.AddNewObject(iekBOX, QRect(0, 0, 10, 10), 0);
    m.AddSelObject(a);
    m.UndoWithRedo(); // shows 2, redo holds 3
    EXPECT_EQ(m.ObjectsCount(), 2);
    EXPECT_EQ(m.UndoCount(), 2); // the entry stays until dropped
    EXPECT_EQ(m.RedoCount(), 1);
    EXPECT_TRUE(m.IsSelObject(a)); // selected objects that still exist stay selected
    m.DropLastUndo();
    m.RedoWithUndo();
    EXPECT_EQ(m.ObjectsCount(), 3);
    m.DropLastRedo();
    EXPECT_FALSE(m.CanRedo());
    EXPECT_EQ(m.UndoCount(), 2);
    m.ClearAllUndo();
    EXPECT_FALSE(m.CanUndo());
    m.SetUndoLimit(3);
    for (int i = 0; i < 5; ++i)
        m.SaveUndo();
    EXPECT_EQ(m.UndoCount(), 3);
}

TEST(VectModelTest, TurningMovesObjectsWithThePicture) {
    TIEVectModel m;
    QImage page(200, 100, QImage::Format_Mono);
    page.fill(1);
    page.setPixel(10, 20, 0);
    m.SetBitmap(page);
    const int box = m.AddNewObject(iekBOX, QRect(10, 20, 30, 10), 0);
    const int line = m.AddNewObject(iekLINELABEL, QRect(10, 20, 50, -10), 0);
    m.Rotate(90, true, clNone); // counter-clockwise: the top right corner goes to the top left
    EXPECT_EQ(m.Bitmap().size(), QSize(100, 200));
    EXPECT_EQ(m.Bitmap().format(), QImage::Format_Mono);
    EXPECT_EQ(m.Bitmap().pixelIndex(20, 189), 0);
    const TIEVObject& b = m.Obj(box);
    EXPECT_EQ(QRect(QPoint(b.Left, b.Top), QPoint(b.Right, b.Bottom)),
              QRect(QPoint(20, 160), QPoint(30, 190)));
    const TIEVObject& l = m.Obj(line);
    EXPECT_EQ(QPoint(l.Left, l.Top), QPoint(20, 190)); // a line keeps its direction
    EXPECT_EQ(QPoint(l.Right, l.Bottom), QPoint(10, 140));
    m.Rotate(-90, true, clNone);
    EXPECT_EQ(m.Bitmap(), page);
    EXPECT_EQ(m.Obj(box).Left, 10);
    EXPECT_EQ(m.Obj(box).Top, 20);
}

TEST(VectRenderTest, HighlightsAreTranslucentAndBurnInKeepsThePage) {
    TIEVectModel m;
    QImage page(40, 20, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int x = 0; x < 40; ++x)
        page.setPixel(x, 10, qRgb(0, 0, 0)); // a line of "text"
    m.SetBitmap(page);
    TIEVObject& t = m.ObjRef(-1);
    t.BoxHighlight = true;
    t.PenStyle = TPenStyle::psClear;
    t.BrushStyle = TBrushStyle::bsSolid;
    t.BrushColor = 65535; // yellow
    m.AddNewObject(iekBOX, QRect(0, 0, 40, 20), 0);
    const QImage burnt = CopyObjectsToBack(m);
    EXPECT_EQ(burnt.pixel(5, 5), qRgb(255, 255, 0)); // white under yellow
    EXPECT_EQ(burnt.pixel(5, 10), qRgb(0, 0, 0));    // the text stays readable
    EXPECT_EQ(m.Bitmap(), page);                     // the page itself is untouched
    m.ObjAtRef(0).Style &= ~TIEVStyle(ievsVisible);
    EXPECT_EQ(CopyObjectsToBack(m), page);
    // A page with transparent parts is burnt in on white paper.
    QImage clear(40, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(30, 10, qRgb(0, 0, 255));
    m.SetBitmap(clear);
    const QImage onPaper = CopyObjectsToBack(m);
    EXPECT_EQ(onPaper.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(onPaper.pixel(30, 10), qRgb(0, 0, 255));
}
