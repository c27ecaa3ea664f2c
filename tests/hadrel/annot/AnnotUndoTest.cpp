// Undo points: coalescing by control, adding modes, drags and text edits, the limit, and the
// property editors on mixed selections.
#include "AnnotFixture.h"

using namespace annottest;
using namespace Imaging;

using AnnotUndoTest = AnnotTest;

TEST_F(AnnotUndoTest, ChangesFromOneControlOnOneSelectionAreOneStep) {
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535);
    canvas.AddSelObject(Handle(0));
    int colourBox = 0, otherBox = 0; // stand-ins for two controls
    TAnnotControls c;
    for (TColor colour : {255, 65280, 16711680}) {
        c.HighlightColor = colour;
        layer.ApplyProperty(TAnnotProperty::HighlightColor, c, &colourBox);
    }
    EXPECT_EQ(canvas.UndoCount(), 1);
    EXPECT_EQ(Obj(0).BrushColor, 16711680);
    layer.ResetUndo(true);
    EXPECT_EQ(Obj(0).BrushColor, 65535);
    EXPECT_TRUE(canvas.CanRedo());
    layer.ResetUndo(false);
    EXPECT_EQ(Obj(0).BrushColor, 16711680);

    // Another control takes a new point; a control without selection takes none.
    c.HighlightColor = 0;
    layer.ApplyProperty(TAnnotProperty::HighlightColor, c, &otherBox);
    EXPECT_EQ(canvas.UndoCount(), 2);
    canvas.UnSelAllObjects();
    layer.SaveUndo(&colourBox);
    EXPECT_EQ(canvas.UndoCount(), 2);
    EXPECT_EQ(layer.LastUndo(), &colourBox);
}

TEST_F(AnnotUndoTest, PropertyEditsChangeSelectedEditableObjectsOfTheirKind) {
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535);
    layer.AddAnnotHighlight(QRect(1, 30, 50, 20), 65535);
    layer.AddAnnotText(QRect(1, 60, 50, 20), QStringLiteral("t"), 0, 20, QStringLiteral("Arial"),
                       false, false, clNone, clNone);
    layer.AddAnnotHighlight(QRect(1, 90, 50, 20), 65535);
    for (int i = 0; i < 4; ++i)
        canvas.AddSelObject(Handle(i));
    Data(3).AllowEdit = 0;
    TAnnotControls c;
    c.HighlightColor = 255;
    int box = 0;
    EXPECT_EQ(layer.ApplyProperty(TAnnotProperty::HighlightColor, c, &box), 2);
    EXPECT_EQ(Obj(0).BrushColor, 255);
    EXPECT_EQ(Obj(1).BrushColor, 255);
    EXPECT_EQ(Obj(2).BrushColor, 0x00FFFFFF);  // the text keeps its brush
    EXPECT_EQ(Obj(3).BrushColor, 65535);       // read-only
    EXPECT_EQ(canvas.Obj(-1).BrushColor, 255); // and the next highlight gets the colour
    EXPECT_EQ(canvas.UndoCount(), 1);

    int boldButton = 0;
    c.TextBold = true;
    layer.ApplyProperty(TAnnotProperty::TextBold, c, &boldButton);
    EXPECT_TRUE(Obj(2).Bold);
    c.DotSize = 40; // no dot selected: only the template changes, no point
    EXPECT_EQ(layer.ApplyProperty(TAnnotProperty::DotSize, c, &box), 0);
    EXPECT_EQ(canvas.Obj(-1).Width(), 40);
    EXPECT_EQ(canvas.UndoCount(), 2);
}

TEST_F(AnnotUndoTest, LeavingAnAddingModeWithoutPlacingLeavesTheHistory) {
    TAnnotControls c;
    layer.SaveUndo(nullptr);
    layer.SetInputMode(imPutBox, c);
    EXPECT_EQ(canvas.UndoCount(), 2);
    EXPECT_EQ(canvas.Obj(-1).Kind, iekBOX);
    EXPECT_EQ(canvas.Obj(-1).Width(), 70);
    layer.SetInputMode(imPutMemo, c); // from one adding mode to another
    EXPECT_EQ(canvas.UndoCount(), 2);
    layer.SetInputMode(imObjectSelect, c);
    EXPECT_EQ(canvas.UndoCount(), 1);
    EXPECT_EQ(canvas.Obj(-1).Kind, iekNONE);

    // A mode of the canvas the viewer does not offer: the bookkeeping ran, then the error.
    layer.SetInputMode(imPutEllipse, c);
    EXPECT_THROW(layer.SetInputMode(Imaging::miPutText, c), EImagesException);
    EXPECT_EQ(canvas.UndoCount(), 1);
    EXPECT_EQ(canvas.Obj(-1).Kind, iekNONE);
}

TEST_F(AnnotUndoTest, InputModesTakeTheirTemplateFromTheControls) {
    TAnnotControls c;
    c.DotSize = 24;
    c.DotColor = 65280;
    c.TextBackgroundVisible = true;
    c.TextBorderVisible = false;
    c.TextFontSize = 40;
    c.ArrowText = QStringLiteral("Pos. *");
    c.ArrowAutoText = true;
    c.ArrowBold = true;
    layer.SetInputMode(imPutEllipse, c);
    EXPECT_EQ(canvas.Obj(-1).Width(), 24);
    EXPECT_EQ(canvas.Obj(-1).BrushColor, 65280);
    layer.SetInputMode(imPutMemo, c);
    EXPECT_EQ(canvas.Obj(-1).Kind, iekMEMO);
    EXPECT_EQ(canvas.Obj(-1).BrushStyle, TBrushStyle::bsSolid);
    EXPECT_EQ(canvas.Obj(-1).MemoBorderStyle, TPenStyle::psClear);
    EXPECT_EQ(canvas.Obj(-1).FontHeight, 40);
    EXPECT_EQ(canvas.Obj(-1).TextAlign, TIEAlignment::iejCenter);
    layer.SetInputMode(imPutLineLabel, c);
    EXPECT_EQ(canvas.Obj(-1).Text, QStringLiteral("Pos. 1"));
    EXPECT_TRUE(canvas.Obj(-1).Bold);
    EXPECT_EQ(canvas.Obj(-1).EndShape, TIEShape::iesOutArrow);
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535);
    canvas.AddSelObject(Handle(0));
    layer.SetInputMode(imObjectSelect, c); // select mode keeps the selection
    EXPECT_EQ(canvas.SelObjectsCount(), 1);
    layer.SetInputMode(imMove, c);
    EXPECT_EQ(canvas.SelObjectsCount(), 0);
}

TEST_F(AnnotUndoTest, ADragTakesOnePointAndAnUnchangedTextEditNone) {
    layer.AddAnnotText(QRect(1, 1, 50, 20), QStringLiteral("alt"), 0, 20, QStringLiteral("Arial"),
                       false, false, clNone, clNone);
    const int h = Handle(0);
    canvas.AddSelObject(h);
    layer.ObjectMoveResize(h); // no button down: no point
    EXPECT_EQ(canvas.UndoCount(), 0);
    layer.MouseDown();
    layer.ObjectMoveResize(h);
    layer.ObjectMoveResize(h);
    layer.MouseUp();
    EXPECT_EQ(canvas.UndoCount(), 1);

    layer.ActivateText();
    EXPECT_EQ(canvas.UndoCount(), 2);
    EXPECT_EQ(layer.ActivatedText(), QStringLiteral("%1:alt").arg(h));
    layer.DeactivateText();
    EXPECT_EQ(canvas.UndoCount(), 1);

    layer.ActivateText();
    canvas.ObjRef(h).Text = QStringLiteral("neu");
    layer.DeactivateText();
    EXPECT_EQ(canvas.UndoCount(), 2);
    layer.ResetUndo(true);
    EXPECT_EQ(Obj(0).Text, QStringLiteral("alt"));
}

TEST_F(AnnotUndoTest, HistoryKeepsTheNewest125Points) {
    layer.AddAnnotDot(QPoint(5, 5), 10, 255, 0);
    for (int i = 0; i < 130; ++i) {
        canvas.ObjRef(Handle(0)).BrushColor = i;
        layer.SaveUndo(nullptr);
    }
    EXPECT_EQ(canvas.UndoCount(), 125);
    while (canvas.CanUndo())
        layer.ResetUndo(true);
    EXPECT_EQ(Obj(0).BrushColor, 5); // the oldest points went
    EXPECT_TRUE(layer.CanUndo());    // redo steps remain
    layer.ClearUndo(false);
    EXPECT_FALSE(layer.CanUndo());
    layer.ClearUndo(true);
    EXPECT_TRUE(layer.CanUndo());
    EXPECT_EQ(canvas.UndoCount(), 1);
}

TEST_F(AnnotUndoTest, UndoEntriesShareBitmapsAndKeepObjectsAsValues) {
    QImage stamp(200, 100, QImage::Format_RGB32);
    stamp.fill(Qt::red);
    layer.AddAnnotImage(QRect(1, 1, 200, 100), stamp, QStringLiteral("S"));
    layer.SaveUndo(nullptr);
    canvas.ObjRef(Handle(0)).Left = 300;
    canvas.RemoveAllObjects();
    layer.ResetUndo(true);
    ASSERT_EQ(canvas.ObjectsCount(), 1);
    EXPECT_EQ(Obj(0).Left, 1);
    EXPECT_EQ(Obj(0).Bitmap.cacheKey(), stamp.cacheKey());
}

TEST_F(AnnotUndoTest, ToolbarCommandsOnTheSelectionTakeOnePoint) {
    layer.AddAnnotHighlight(QRect(1, 1, 50, 20), 65535);
    layer.AddAnnotDot(QPoint(100, 100), 10, 255, 0);
    layer.AddAnnotArrow(QRect(1, 100, 60, 20), QStringLiteral("Pos. 7"), false, {}, 255, 0, false,
                        26);
    layer.AddAnnotArrow(QRect(1, 200, 60, 20), QStringLiteral("x"), true, QStringLiteral("Nr. *"),
                        255, 0, false, 26);
    const int a = Handle(0), b = Handle(1), arrow = Handle(2), autoArrow = Handle(3);
    canvas.AddSelObject(a);
    canvas.AddSelObject(b);
    int button = 0;
    layer.SendSelectedToBack(&button);
    EXPECT_EQ(canvas.UndoCount(), 1);
    layer.BringSelectedToFront(&button); // the same button again on the same selection
    EXPECT_EQ(canvas.UndoCount(), 1);
    EXPECT_EQ(canvas.GetObjFromIndex(3), a);

    // Removing asks for every object before anything goes.
    int asked = 0;
    auto refuseDot = [&](int h) {
        ++asked;
        if (canvas.Obj(h).Kind == iekELLIPSE)
            throw EUserRights(QStringLiteral("nein"));
    };
    int del = 0;
    EXPECT_THROW(layer.DeleteSelected(&del, refuseDot), EUserRights);
    EXPECT_EQ(canvas.ObjectsCount(), 4);
    layer.DeleteSelected(&del, [&](int) { ++asked; });
    EXPECT_EQ(canvas.ObjectsCount(), 2);
    EXPECT_EQ(canvas.UndoCount(), 2);

    // The arrow text editor: a plain arrow takes the text, an auto-text arrow its mask.
    canvas.AddSelObject(arrow);
    canvas.AddSelObject(autoArrow);
    int edit = 0;
    layer.ApplyArrowText(QStringLiteral("Pos. "), false, &edit);
    EXPECT_EQ(canvas.Obj(arrow).Text, QStringLiteral("Pos. "));
    EXPECT_EQ(layer.AnnotData(autoArrow).Mask, QStringLiteral("Pos. *"));
    EXPECT_EQ(canvas.Obj(autoArrow).Text, QStringLiteral("Pos. 1"));
    // The auto-text button makes a mask of each arrow's text.
    canvas.ObjRef(arrow).Text = QStringLiteral("Pos. 7");
    int autoButton = 0;
    layer.ApplyArrowAutoText(true, QStringLiteral("Pos. *"), &autoButton);
    EXPECT_EQ(layer.AnnotData(arrow).AutoText, 1);
    EXPECT_EQ(layer.AnnotData(arrow).Mask, QStringLiteral("Pos. *"));
    EXPECT_EQ(canvas.Obj(arrow).Text, QStringLiteral("Pos. 1")); // numbered in index order
    EXPECT_EQ(canvas.Obj(autoArrow).Text, QStringLiteral("Pos. 2"));
    layer.ApplyArrowAutoText(false, QStringLiteral("Pos. *"), &autoButton);
    EXPECT_EQ(layer.AnnotData(autoArrow).AutoText, 0);

    layer.SetAllVisible(false);
    EXPECT_FALSE(Obj(0).Style.testFlag(ievsVisible));
    layer.SetAllVisible(true);
    EXPECT_TRUE(Obj(1).Style.testFlag(ievsVisible));
}

TEST_F(AnnotUndoTest, ANewTextKeepsThePointOfItsPlacing) {
    TAnnotControls c;
    layer.SetInputMode(imPutMemo, c); // the point of the placing
    EXPECT_EQ(canvas.UndoCount(), 1);
    const int h = canvas.AddNewObject(iekMEMO, QRect(1, 1, 80, 30), 0);
    canvas.AddSelObject(h);
    const int before = canvas.UndoCount();
    layer.ActivateText(); // its editing starts at once
    layer.TrimUndo(before);
    layer.DeactivateText(); // left empty
    EXPECT_EQ(canvas.UndoCount(), 1);
    layer.ResetUndo(true);
    EXPECT_EQ(canvas.ObjectsCount(), 0);
}
