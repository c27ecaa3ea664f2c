#pragma once
// Types of the vector layer: the object kinds and styles the viewers use, colours as the UI
// toolkit's integers, and the interaction modes of the page canvas.

#include <QColor>
#include <QFlags>
#include <QImage>
#include <QString>
#include <QVariant>

namespace Imaging {

// 0x00BBGGRR for plain colours; system colours carry the high byte 0xFF (negative numbers).
using TColor = qint32;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clWindow = TColor(0xFF000005);
inline constexpr TColor clInfoBk = TColor(0xFF000018);

// A plain colour as RGB; system colours resolve to fixed desktop defaults so that pictures are
// the same on every machine.
QColor ColorOf(TColor color);
TColor TColorOf(const QColor& color);

// The kinds keep the numbers stored files and callers know.
enum TIEVObjectKind : int {
    iekNONE = 0,
    iekLINE = 1,
    iekBOX = 2,
    iekELLIPSE = 3,
    iekBITMAP = 5,
    iekMEMO = 10,
    iekLINELABEL = 11,
};

enum class TPenStyle : quint8 { psSolid, psClear };
enum class TBrushStyle : quint8 { bsSolid, bsClear };
enum class TIEAlignment : quint8 { iejLeft, iejRight, iejCenter, iejJustify };
enum class TIEShape : quint8 { iesNone, iesInArrow, iesOutArrow };
enum class TIELabelBorder : quint8 { ielNone, ielRectangle };

enum TIEVStyleFlag : quint8 {
    ievsSelectable = 0x1,
    ievsMoveable = 0x2,
    ievsSizeable = 0x4,
    ievsVisible = 0x8,
};
Q_DECLARE_FLAGS(TIEVStyle, TIEVStyleFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TIEVStyle)

// Vector interaction of the canvas: what a drag with the left button does.
enum TIEMouseInteractVtItem : quint8 {
    miArea = 0,
    miLineLen = 1,
    miPutLine = 2,
    miPutBox = 3,
    miPutEllipse = 4,
    miPutBitmap = 5,
    miPutText = 6,
    miObjectSelect = 7,
    miDragLen = 8,
    miPutRuler = 9,
    miPutPolyLine = 10,
    miPutAngle = 11,
    miPutMemo = 12,
    miPutLineLabel = 13,
    miEditPolyline = 14,
    miUnStampMode = 15,
    miPutExtendedObject = 16,
};

// General interaction, apart from the vector one.
enum TIEMouseInteractItem : quint8 {
    miNone = 0x0,
    miScroll = 0x1,
    miZoom = 0x2,
    miSelectZoom = 0x4,
};
Q_DECLARE_FLAGS(TIEMouseInteract, TIEMouseInteractItem)
Q_DECLARE_OPERATORS_FOR_FLAGS(TIEMouseInteract)

// One vector object, a value: copies are cheap (the bitmap is implicitly shared) and an undo
// entry holds whole objects. The rectangle runs from (Left, Top) to (Right, Bottom); a line keeps
// its direction, so Right may be left of Left.
struct TIEVObject final {
    int Handle = -1;
    TIEVObjectKind Kind = iekNONE;
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    int PenWidth = 1;
    TColor BrushColor = 0x00FFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsClear;

    QString FontName = QStringLiteral("Arial");
    int FontHeight = 20; // pixels of the page bitmap
    bool Bold = false;
    bool Italic = false;
    QString Text;
    TIEAlignment TextAlign = TIEAlignment::iejLeft;
    bool TextAutoSize = false;

    // Memo (text box): its border and the brush behind the characters.
    TColor MemoBorderColor = 0;
    TPenStyle MemoBorderStyle = TPenStyle::psClear;
    TBrushStyle MemoCharsBrushStyle = TBrushStyle::bsClear;

    bool BoxHighlight = false; // translucent box: multiplies with the page
    TIEShape EndShape = TIEShape::iesNone;
    TIELabelBorder LabelBorder = TIELabelBorder::ielRectangle;

    QImage Bitmap;

    // The owner's data block: its value and its declared length (0 = none).
    QVariant UserData;
    int UserDataLen = 0;

    TIEVStyle Style = TIEVStyle(ievsSelectable | ievsVisible | ievsMoveable | ievsSizeable);

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    // Left/top corner and size, the size possibly negative.
    void SetRect(int left, int top, int width, int height) {
        Left = left;
        Top = top;
        Right = left + width;
        Bottom = top + height;
    }
};

} // namespace Imaging
