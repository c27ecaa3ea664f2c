// The page canvas driven with the mouse and keys on the offscreen platform.
#include <TImageEnVect.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

using namespace Imaging;

namespace {

class VectCanvasTest : public ::testing::Test {
protected:
    VectCanvasTest() {
        canvas.resize(700, 500);
        QImage page(1000, 800, QImage::Format_RGB32);
        page.fill(Qt::white);
        canvas.Model().SetBitmap(page);
        canvas.show();
        canvas.SetZoom(100);
        canvas.OnNewObject = [this](int h) { created << h; };
        canvas.OnSelectObject = [this](int h) { selected << h; };
        canvas.OnObjectMoveResize = [this](int h) { moved << h; };
        canvas.OnActivateTextEdit = [this] { ++activated; };
        canvas.OnDeactivateTextEdit = [this] { ++deactivated; };
    }
    QPoint At(double x, double y) { return canvas.mapFromScene(QPointF(x, y)); }
    QWidget* Port() { return canvas.viewport(); }
    void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(Port(), Qt::LeftButton, mods, At(from.x(), from.y()));
        QTest::mouseMove(Port(), At((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(Port(), At(to.x(), to.y()));
        QTest::mouseRelease(Port(), Qt::LeftButton, mods, At(to.x(), to.y()));
    }
    int AddBox(QRect r) {
        TIEVObject& t = Model().ObjRef(-1);
        t.BrushStyle = TBrushStyle::bsSolid;
        return Model().AddNewObject(iekBOX, r, 0);
    }
    TIEVectModel& Model() { return canvas.Model(); }
    static QRect RectOf(const TIEVObject& o) {
        return QRect(o.Left, o.Top, o.Right - o.Left, o.Bottom - o.Top);
    }

    TImageEnVect canvas;
    QList<int> created, selected, moved;
    int activated = 0, deactivated = 0;
};

} // namespace

TEST_F(VectCanvasTest, PlacingDrawsTheTemplatesKind) {
    canvas.SetMouseInteractVt({miPutBox});
    Model().ObjRef(-1).Kind = iekBOX;
    Model().ObjRef(-1).SetRect(0, 0, 70, 70);
    Drag(QPointF(100, 100), QPointF(110, 110));
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(RectOf(Model().Obj(created[0])), QRect(100, 100, 10, 10));
    Drag(QPointF(300, 200), QPointF(250, 150)); // drawn up and left: still from the top left
    EXPECT_EQ(RectOf(Model().Obj(created[1])), QRect(250, 150, 50, 50));
    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(400, 400)); // a click: the template's size
    EXPECT_EQ(RectOf(Model().Obj(created[2])), QRect(400, 400, 70, 70));

    canvas.SetMouseInteractVt({miPutLineLabel});
    Model().ObjRef(-1).Kind = iekLINELABEL;
    Drag(QPointF(500, 300), QPointF(460, 320)); // a line keeps its direction
    EXPECT_EQ(RectOf(Model().Obj(created[3])), QRect(500, 300, -40, 20));

    canvas.SetMouseInteractVt({miPutEllipse});
    Model().ObjRef(-1).Kind = iekELLIPSE;
    Model().ObjRef(-1).SetRect(0, 0, 20, 20);
    Drag(QPointF(600, 600), QPointF(700, 700)); // a dot has the template's size where it is put
    EXPECT_EQ(RectOf(Model().Obj(created[4])), QRect(690, 690, 20, 20));
    EXPECT_EQ(Model().ObjectsCount(), 5);
    EXPECT_EQ(Model().UndoCount(), 0);
}

TEST_F(VectCanvasTest, SelectMoveAndResizeWithGrips) {
    const int a = AddBox(QRect(100, 100, 80, 40));
    const int b = AddBox(QRect(300, 100, 80, 40));
    canvas.SetMouseInteractVt({miObjectSelect});
    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(120, 120));
    EXPECT_EQ(Model().SelObjects(), QList<int>{a});
    EXPECT_EQ(selected, QList<int>{a});
    QTest::mouseClick(Port(), Qt::LeftButton, Qt::ShiftModifier, At(320, 120));
    EXPECT_EQ(Model().SelObjects(), (QList<int>{a, b}));

    Drag(QPointF(120, 120), QPointF(150, 170)); // both move
    EXPECT_EQ(RectOf(Model().Obj(a)), QRect(130, 150, 80, 40));
    EXPECT_EQ(RectOf(Model().Obj(b)), QRect(330, 150, 80, 40));
    EXPECT_TRUE(moved.contains(a) && moved.contains(b));

    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(600, 600)); // beside: nothing selected
    EXPECT_EQ(Model().SelObjectsCount(), 0);
    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(140, 160));
    Drag(QPointF(210, 190), QPointF(260, 230)); // the bottom right grip
    EXPECT_EQ(RectOf(Model().Obj(a)), QRect(130, 150, 130, 80));

    // Not sizable: the grip is none, the drag moves.
    Model().ObjRef(a).Style &= ~TIEVStyle(ievsSizeable);
    Drag(QPointF(260, 230), QPointF(270, 240));
    EXPECT_EQ(RectOf(Model().Obj(a)), QRect(140, 160, 130, 80));
    // Not movable: nothing moves.
    Model().ObjRef(a).Style &= ~TIEVStyle(ievsMoveable);
    Drag(QPointF(200, 200), QPointF(260, 260));
    EXPECT_EQ(RectOf(Model().Obj(a)), QRect(140, 160, 130, 80));

    // A band around both selects both.
    Drag(QPointF(50, 50), QPointF(500, 400));
    EXPECT_EQ(Model().SelObjectsCount(), 2);
}

TEST_F(VectCanvasTest, EscapeCancelsAMoveAndPutsTheObjectBack) {
    const int a = AddBox(QRect(100, 100, 80, 40));
    canvas.SetMouseInteractVt({miObjectSelect});
    QTest::mousePress(Port(), Qt::LeftButton, {}, At(120, 120));
    QTest::mouseMove(Port(), At(200, 200));
    EXPECT_EQ(Model().Obj(a).Left, 180);
    EXPECT_TRUE(canvas.IsInteracting());
    canvas.CancelInteracts();
    EXPECT_EQ(Model().Obj(a).Left, 100);
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(200, 200));
    EXPECT_EQ(Model().Obj(a).Left, 100);
}

TEST_F(VectCanvasTest, TextsAreEditedInPlace) {
    Model().ObjRef(-1).FontHeight = 20;
    const int m = Model().AddNewObject(iekMEMO, QRect(100, 100, 200, 60), 0);
    Model().ObjRef(m).Text = QStringLiteral("a\r\nb");
    canvas.SetMouseInteractVt({miObjectSelect});
    QTest::mouseDClick(Port(), Qt::LeftButton, {}, At(150, 120));
    ASSERT_TRUE(canvas.IsMemoEditing());
    EXPECT_EQ(activated, 1);
    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(600, 600)); // beside the text
    EXPECT_FALSE(canvas.IsMemoEditing());
    EXPECT_EQ(deactivated, 1);
    EXPECT_EQ(Model().Obj(m).Text, QStringLiteral("a\r\nb")); // unchanged keeps its line ends

    canvas.MemoEdit(m);
    QTest::keyClicks(&canvas, QStringLiteral("xy"));
    QTest::keyClick(&canvas, Qt::Key_Escape);
    EXPECT_FALSE(canvas.IsMemoEditing());
    EXPECT_EQ(Model().Obj(m).Text, QStringLiteral("a\nbxy"));
    EXPECT_EQ(deactivated, 2);
}

TEST_F(VectCanvasTest, ZoomGoesThroughItsEventsAndHoverNamesTheObject) {
    canvas.SetMouseInteract(miZoom);
    canvas.SetMouseInteractVt({});
    canvas.OnZoomIn = [](double& z) { z = std::min(z, 110.0); };
    QTest::mouseClick(Port(), Qt::LeftButton, {}, At(100, 100));
    EXPECT_EQ(canvas.Zoom(), 110.0);
    QTest::mouseClick(Port(), Qt::RightButton, {}, At(100, 100));
    EXPECT_NEAR(canvas.Zoom(), 88.0, 1e-9);

    canvas.SetMouseInteract({});
    canvas.SetMouseInteractVt({miObjectSelect});
    canvas.SetZoom(100);
    const int a = AddBox(QRect(100, 100, 80, 40));
    QList<int> over;
    canvas.OnObjectOver = [&](int h) { over << h; };
    QTest::mouseMove(Port(), At(120, 120));
    QTest::mouseMove(Port(), At(125, 120));
    QTest::mouseMove(Port(), At(400, 300));
    EXPECT_EQ(over, (QList<int>{a, -1}));
}
