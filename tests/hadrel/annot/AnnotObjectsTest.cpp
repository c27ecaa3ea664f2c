// Annotation objects: creation, the rights pass, automatic arrow texts, placing, status and hover
// texts, zoom.
#include "AnnotFixture.h"

#include <IERawBitmap.h>

#include <QBuffer>

using namespace annottest;
using namespace Imaging;

using AnnotObjectsTest = AnnotTest;

TEST_F(AnnotObjectsTest, CreationMethodsSetKindRectangleAndData) {
    layer.AddAnnotDot(QPoint(100, 100), 5, 255, 0);
    layer.AddAnnotDot(QPoint(100, 100), 4, 255, 0);
    EXPECT_EQ(QRect(QPoint(Obj(0).Left, Obj(0).Top), QPoint(Obj(0).Right, Obj(0).Bottom)),
              QRect(QPoint(98, 98), QPoint(103, 103)));
    EXPECT_EQ(QRect(QPoint(Obj(1).Left, Obj(1).Top), QPoint(Obj(1).Right, Obj(1).Bottom)),
              QRect(QPoint(98, 98), QPoint(102, 102)));

    // 0x1FFFFFFF is "none"; any other colour, black too, gives a solid box.
    layer.AddAnnotText(QRect(1, 1, 50, 20), QStringLiteral("t"), 0, 20, QStringLiteral("Arial"),
                       false, false, clNone, clNone);
    layer.AddAnnotText(QRect(1, 1, 50, 20), QStringLiteral("t"), 0, 20, QStringLiteral("Arial"),
                       false, false, 0, 0);
    EXPECT_EQ(Obj(2).BrushStyle, TBrushStyle::bsClear);
    EXPECT_EQ(Obj(2).MemoCharsBrushStyle, TBrushStyle::bsClear);
    EXPECT_EQ(Obj(2).MemoBorderStyle, TPenStyle::psClear);
    EXPECT_EQ(Obj(3).BrushStyle, TBrushStyle::bsSolid);
    EXPECT_EQ(Obj(3).MemoCharsBrushStyle, TBrushStyle::bsSolid);
    EXPECT_EQ(Obj(3).MemoBorderStyle, TPenStyle::psSolid);

    // An empty creator is the connected user; a long one is cut to 100 bytes.
    EXPECT_EQ(Data(3).Creator, QStringLiteral("meier"));
    EXPECT_EQ(Data(3).Editor, QStringLiteral("meier"));
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535, QString(75, QChar(0xFC)));
    EXPECT_EQ(Data(4).Creator, QString(50, QChar(0xFC)));
    EXPECT_LT(Data(4).CDate, 0.0);
    EXPECT_EQ(Data(4).AllowEdit, 1);

    // A bold arrow leaves the template as it was; nothing stays selected.
    canvas.ObjRef(-1).Bold = false;
    canvas.AddSelObject(Handle(0));
    layer.AddAnnotArrow(QRect(10, 10, 60, 30), QStringLiteral("A"), false, QStringLiteral("m"), 255,
                        0, true, 26);
    EXPECT_TRUE(Obj(5).Bold);
    EXPECT_FALSE(canvas.Obj(-1).Bold);
    EXPECT_EQ(canvas.SelObjectsCount(), 0);
    EXPECT_EQ(Obj(5).EndShape, TIEShape::iesOutArrow);
    EXPECT_EQ(Data(5).Mask, QStringLiteral("m"));
    EXPECT_EQ(canvas.UndoCount(), 0);
}

TEST_F(AnnotObjectsTest, ImagesFromRawDumpsAndPictures) {
    QImage source(30, 20, QImage::Format_ARGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            source.setPixel(x, y, qRgba(x * 8, y * 12, 100, 50 + x));
    const QByteArray raw = SaveRAW(source);
    const QByteArray rawBefore = raw;
    layer.AddAnnotImageRaw(QRect(5, 5, 30, 20), raw, QStringLiteral("Stempel"));
    EXPECT_EQ(Obj(0).Bitmap, source);
    EXPECT_EQ(raw, rawBefore);
    EXPECT_EQ(Data(0).ImageName(), QStringLiteral("Stempel"));

    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        source.save(&buffer, "PNG");
    }
    layer.AddAnnotImage(QRect(5, 5, 30, 20), png, QStringLiteral("png"));
    EXPECT_EQ(Obj(1).Bitmap.convertToFormat(QImage::Format_ARGB32), source);

    // An unreadable picture raises 17106 and leaves nothing behind.
    try {
        layer.AddAnnotImage(QRect(5, 5, 30, 20), QByteArray("kein Bild"), QStringLiteral("x"));
        FAIL() << "no exception";
    } catch (const EImagesException& e) {
        EXPECT_EQ(e.TextNr(), 17106);
    }
    EXPECT_EQ(canvas.ObjectsCount(), 2);
}

TEST_F(AnnotObjectsTest, RightsPassAsksEventsAndTheStampRightInOrder) {
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535, QStringLiteral("*Barcode*"));
    layer.AddAnnotImage(QRect(1, 1, 50, 20), QImage(4, 4, QImage::Format_RGB32),
                        QStringLiteral("Geprüft"), QStringLiteral("schulz"));
    layer.AddAnnotDot(QPoint(50, 50), 10, 255, 0, QStringLiteral("schulz"));
    QStringList asked;
    layer.Env.OnEditImage = [&](const QString& name, bool& allow) {
        asked << QStringLiteral("image ") + name;
        allow = true;
    };
    layer.Env.OnAllowEdit = [&](const QString& name, bool& allow) {
        asked << QStringLiteral("edit ") + name;
        allow = name != QStringLiteral("nobody");
    };
    layer.Env.HasDokument = true;
    layer.Env.DokType = QStringLiteral("RE");
    layer.Env.DokID = 77;
    layer.Env.EditablePages = 2;

    layer.SetAnnotationRights();
    EXPECT_EQ(Data(0).AllowEdit, 0); // a barcode marker, whatever anybody answers
    EXPECT_EQ(Data(1).AllowEdit, 1);
    EXPECT_EQ(Data(2).AllowEdit, 1);
    EXPECT_EQ(asked, (QStringList{QStringLiteral("image Geprüft"), QStringLiteral("edit schulz"),
                                  QStringLiteral("edit schulz")}));
    EXPECT_EQ(rightsAsked, (QStringList{QStringLiteral("RE|Geprüft|schulz|77|3|0"),
                                        QStringLiteral("RE||schulz|77|3|0")}));

    stampAllowed = false;
    layer.SetAnnotationRights();
    EXPECT_EQ(Data(1).AllowEdit, 0);

    // A new document asks no stamp right; with unsaved page changes nothing is editable.
    stampAllowed = false;
    layer.Env.NewDokument = true;
    rightsAsked.clear();
    layer.SetAnnotationRights();
    EXPECT_EQ(Data(1).AllowEdit, 1);
    EXPECT_TRUE(rightsAsked.isEmpty());
    layer.Env.EditablePages = 3;
    layer.SetAnnotationRights();
    EXPECT_EQ(Data(1).AllowEdit, 0);
    EXPECT_EQ(Data(2).AllowEdit, 0);
    layer.Env.EditablePages = 2; // after a reload the rights come back
    layer.SetAnnotationRights();
    EXPECT_EQ(Data(2).AllowEdit, 1);
}

TEST_F(AnnotObjectsTest, AutoTextMasks) {
    const auto mask = &TAnnotLayer::CreateAutoTextMask;
    EXPECT_EQ(mask(QStringLiteral("Pos. *"), QStringLiteral("Pos. 12")), QStringLiteral("Pos. *"));
    EXPECT_EQ(mask(QStringLiteral("Pos. *"), QStringLiteral("Punkt 3")), QStringLiteral("Punkt *"));
    EXPECT_EQ(mask({}, QStringLiteral("AB123")), QStringLiteral("AB*"));
    EXPECT_EQ(mask({}, QStringLiteral("123")), QStringLiteral("*"));
    EXPECT_EQ(mask({}, QStringLiteral("Abc")), QStringLiteral("Abc*"));
    EXPECT_EQ(mask({}, QStringLiteral(" Nr. * ")), QStringLiteral("Nr. *"));
    EXPECT_EQ(mask({}, QStringLiteral("A1 B22 C")), QStringLiteral("A1 B* C"));
}

TEST_F(AnnotObjectsTest, AutoTextNumbersFreeNumbersInIndexOrder) {
    auto arrow = [&](const QString& text, bool autoText, const QString& m) {
        layer.AddAnnotArrow(QRect(1, 1, 60, 20), text, autoText, m, 255, 0, false, 26);
    };
    arrow({}, true, QStringLiteral("Pos. *"));
    arrow(QStringLiteral("Pos. 2"), false, {});
    arrow({}, true, QStringLiteral("pos. *"));
    arrow({}, true, QStringLiteral("Pos. *"));
    arrow({}, true, QStringLiteral("50% *"));
    arrow({}, true, QStringLiteral("50% *"));
    arrow({}, true, QStringLiteral("A* B*"));
    arrow({}, true, QStringLiteral("Nr."));
    layer.CalcAutoText({}, false);
    EXPECT_EQ(Obj(0).Text, QStringLiteral("Pos. 1"));
    EXPECT_EQ(Obj(1).Text, QStringLiteral("Pos. 2"));
    EXPECT_EQ(Obj(2).Text, QStringLiteral("Pos. 3"));
    EXPECT_EQ(Obj(3).Text, QStringLiteral("Pos. 4"));
    EXPECT_EQ(Obj(4).Text, QStringLiteral("50% 1"));
    EXPECT_EQ(Obj(5).Text, QStringLiteral("50% 2"));
    EXPECT_EQ(Obj(6).Text, QStringLiteral("A1 B*"));
    EXPECT_EQ(Data(7).Mask, QStringLiteral("Nr.*")); // a mask without "*" gets one
    EXPECT_EQ(Obj(7).Text, QStringLiteral("Nr.1"));

    // With the arrow tool active the next arrow gets the first free number.
    canvas.ObjRef(-1).Kind = iekLINELABEL;
    layer.CalcAutoText(QStringLiteral("Pos. "), true);
    EXPECT_EQ(canvas.Obj(-1).Text, QStringLiteral("Pos. 5"));
    layer.CalcAutoText(QStringLiteral("frei"), false);
    EXPECT_EQ(canvas.Obj(-1).Text, QStringLiteral("frei"));
}

TEST_F(AnnotObjectsTest, NewObjectsAreSizedAndMovedInsideThePage) {
    const QSize page(1000, 800);
    const auto fit = [&](int kind, QRect r, QSize picture = {}) {
        return TAnnotLayer::FitNewObject(kind, r, page, picture);
    };
    EXPECT_EQ(fit(iekBOX, QRect(100, 100, 10, 10)).size(), QSize(50, 25));
    EXPECT_EQ(fit(iekMEMO, QRect(100, 100, 10, 40)).size(), QSize(50, 40));
    EXPECT_EQ(fit(iekELLIPSE, QRect(100, 100, 10, 10)).size(), QSize(10, 10));
    EXPECT_EQ(fit(iekLINELABEL, QRect(100, 100, 30, 10)).size(), QSize(50, 25));
    EXPECT_EQ(fit(iekLINELABEL, QRect(100, 100, 40, 20)).size(), QSize(40, 20));
    EXPECT_EQ(fit(iekBITMAP, QRect(100, 100, 10, 10), QSize(400, 200)).size(), QSize(400, 200));
    EXPECT_EQ(fit(iekBITMAP, QRect(100, 100, 10, 10), QSize(20, 10)).size(), QSize(50, 25));
    EXPECT_EQ(fit(iekBITMAP, QRect(100, 100, 90, 60), QSize(400, 200)).size(), QSize(90, 60));
    // Signs are kept: an arrow drawn up and left stays so.
    const QRect up = fit(iekLINELABEL, QRect(500, 500, -10, -5));
    EXPECT_EQ(up.width(), -50);
    EXPECT_EQ(up.height(), -25);
    // Dropped across the right edge: it ends one pixel inside the page.
    const QRect right = fit(iekBOX, QRect(980, 100, 60, 30));
    EXPECT_EQ(right.x() + right.width(), 999);
    // Larger than the page: the page's size.
    EXPECT_EQ(fit(iekBOX, QRect(0, 0, 1200, 900)).size(), QSize(1000, 800));
    // Across the left and top edges, also with a negative size.
    EXPECT_EQ(fit(iekBOX, QRect(-20, -5, 60, 30)).topLeft(), QPoint(0, 0));
    EXPECT_EQ(fit(iekLINELABEL, QRect(10, 10, -60, -40)).topLeft(), QPoint(60, 40));
}

TEST_F(AnnotObjectsTest, StatusAndHoverTextsFollowTheDates) {
    EXPECT_TRUE(layer.StatusText().isEmpty());
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535, QStringLiteral("schulz"));
    const int h = Handle(0);
    canvas.AddSelObject(h);
    EXPECT_EQ(layer.StatusText(), QStringLiteral("Anmerkungen:   neue Anmerkung"));
    EXPECT_EQ(layer.HoverText(h), QStringLiteral("neue Anmerkung"));

    TAnnotData& d = layer.AnnotData(h);
    d.CDate = DateTimeToDays(QDateTime(QDate(2023, 12, 24), QTime(10, 0)));
    d.Editor = d.Creator;
    d.EDate = d.CDate + 20.0 / 86400.0; // 20 s later, same user: still "changed"
    EXPECT_EQ(layer.StatusText(),
              QStringLiteral("Anmerkungen:   erstellt von schulz am 24.12.2023   |   geändert"));
    EXPECT_EQ(
        layer.HoverText(h),
        QStringLiteral("erstellt von schulz am 24.12.2023   geändert (noch nicht gespeichert)"));
    d.EDate = -1.0;
    EXPECT_EQ(layer.StatusText(),
              QStringLiteral("Anmerkungen:   erstellt von schulz am 24.12.2023   |   geändert"));
    d.EDate = d.CDate + 40.0 / 86400.0;
    EXPECT_EQ(layer.StatusText(),
              QStringLiteral("Anmerkungen:   erstellt von schulz am 24.12.2023"
                             "   |   zuletz bearbeitet von schulz am 24.12.2023"));
    d.EDate = d.CDate + 20.0 / 86400.0;
    d.Editor = QStringLiteral("meier"); // within 30 s, but somebody else
    EXPECT_EQ(layer.HoverText(h), QStringLiteral("erstellt von schulz am 24.12.2023   zuletz "
                                                 "bearbeitet von meier am 24.12.2023"));

    layer.AddAnnotDot(QPoint(9, 9), 10, 255, 0);
    canvas.AddSelObject(h);
    canvas.AddSelObject(Handle(1));
    EXPECT_EQ(layer.StatusText(), QStringLiteral("2 Anmerkungen markiert"));
    EXPECT_TRUE(layer.HoverText(-1).isEmpty());
}

TEST_F(AnnotObjectsTest, SelectionDecidesTabsGripsStylesAndControlValues) {
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 255);
    layer.AddAnnotHighlight(QRect(1, 30, 50, 20), 65280);
    layer.AddAnnotDot(QPoint(200, 200), 24, 16711680, 0);
    layer.AddAnnotText(QRect(1, 60, 80, 20), QStringLiteral("t"), 255, 40,
                       QStringLiteral("Courier"), true, false, clNone, 0);
    layer.AddAnnotArrow(QRect(100, 100, 60, 30), QStringLiteral("Pos. 2"), true,
                        QStringLiteral("Pos. *"), 255, 65535, false, 30);
    // One highlight: its tab alone; a highlight and a text: both, no active tab.
    canvas.AddSelObject(Handle(0));
    EXPECT_EQ(TAnnotLayer::SingleKind(layer.SelectedKinds(0)), akHighlight);
    canvas.AddSelObject(Handle(3));
    EXPECT_EQ(layer.SelectedKinds(0), TKindSet(KindBit(akHighlight) | KindBit(akText)));
    EXPECT_EQ(TAnnotLayer::SingleKind(layer.SelectedKinds(0)), -1);
    // A pressed add button counts as selected.
    canvas.UnSelAllObjects();
    EXPECT_EQ(TAnnotLayer::SingleKind(layer.SelectedKinds(akArrow)), akArrow);

    // A single dot: no grips, movable, never sizable.
    canvas.AddSelObject(Handle(2));
    EXPECT_FALSE(layer.ApplyObjectStyles(true, layer.SelectedKinds(0)));
    EXPECT_TRUE(Obj(2).Style.testFlag(ievsMoveable));
    EXPECT_FALSE(Obj(2).Style.testFlag(ievsSizeable));
    EXPECT_TRUE(Obj(0).Style.testFlag(ievsSizeable));
    // Two highlights: grips, movable, not sizable.
    canvas.UnSelAllObjects();
    canvas.AddSelObject(Handle(0));
    canvas.AddSelObject(Handle(1));
    EXPECT_TRUE(layer.ApplyObjectStyles(true, layer.SelectedKinds(0)));
    EXPECT_TRUE(Obj(0).Style.testFlag(ievsMoveable));
    EXPECT_FALSE(Obj(0).Style.testFlag(ievsSizeable));
    // Not editable, or annotations switched off: nothing moves.
    Data(1).AllowEdit = 0;
    layer.ApplyObjectStyles(true, layer.SelectedKinds(0));
    EXPECT_FALSE(Obj(1).Style.testFlag(ievsMoveable));
    layer.ApplyObjectStyles(false, layer.SelectedKinds(0));
    EXPECT_FALSE(Obj(0).Style.testFlag(ievsMoveable));
    EXPECT_TRUE(Obj(0).Style.testFlag(ievsSelectable) && Obj(0).Style.testFlag(ievsVisible));

    // The controls show the first selected object of each kind.
    canvas.UnSelAllObjects();
    for (int i : {1, 0, 3, 4, 2})
        canvas.AddSelObject(Handle(i));
    const TAnnotControls c = layer.ControlsFromSelection({});
    EXPECT_EQ(c.HighlightColor, 65280);
    EXPECT_EQ(c.TextFont, QStringLiteral("Courier"));
    EXPECT_TRUE(c.TextBold);
    EXPECT_EQ(c.TextFontSize, 40);
    EXPECT_FALSE(c.TextBackgroundVisible);
    EXPECT_TRUE(c.TextBorderVisible);
    EXPECT_EQ(c.ArrowText, QStringLiteral("Pos. *")); // an auto-text arrow shows its mask
    EXPECT_TRUE(c.ArrowAutoText);
    EXPECT_EQ(c.ArrowColor2, 65535);
    EXPECT_EQ(c.DotSize, 24);
    EXPECT_EQ(c.DotColor, 16711680);
}
