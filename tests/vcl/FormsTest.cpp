#include "DialogAnswerer.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

using Vcl::Screen;
using Vcl::TForm;

TEST(Screen, FormsInCreationOrderWithSerialsThatAreNeverReused) {
    const int before = Screen::FormCount();
    auto* a = new TForm;
    auto* b = new TForm;
    auto* c = new TForm(a); // owned by a
    EXPECT_LT(a->Serial(), b->Serial());
    EXPECT_LT(b->Serial(), c->Serial());
    QList<TForm*> forms = Screen::Forms().mid(before);
    EXPECT_EQ(forms, QList<TForm*>({a, b, c}));
    EXPECT_EQ(Screen::FormBySerial(b->Serial()), b);

    const int serialB = b->Serial();
    delete b;
    EXPECT_EQ(Screen::FormBySerial(serialB), nullptr);
    auto* d = new TForm;
    EXPECT_GT(d->Serial(), c->Serial());
    EXPECT_EQ(Screen::Forms().mid(before), QList<TForm*>({a, c, d}));

    // Deleting the owner takes its owned form along.
    const int serialC = c->Serial();
    delete a;
    EXPECT_EQ(Screen::FormBySerial(serialC), nullptr);
    EXPECT_EQ(Screen::Forms().mid(before), QList<TForm*>({d}));
    delete d;
    EXPECT_EQ(Screen::FormCount(), before);
    EXPECT_EQ(Screen::FormBySerial(0), nullptr);
}

TEST(Screen, ActiveFormIsTheActiveWindowOrTheFocusedForm) {
    TForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    EXPECT_EQ(Screen::ActiveForm(), &form);
    form.hide();
}

TEST(Forms, CloseProtocolFollowsTheCloseAction) {
    auto* form = new TForm;
    QPointer<TForm> guard(form);
    bool allow = false;
    Vcl::TCloseAction next = Vcl::caHide;
    QStringList trace;
    form->OnCloseQuery = [&](QObject*, bool& canClose) {
        trace << "query";
        canClose = allow;
    };
    form->OnClose = [&](QObject*, Vcl::TCloseAction& action) {
        trace << Vcl::EnumName(action);
        action = next;
    };
    form->show();
    EXPECT_FALSE(form->Close());
    EXPECT_TRUE(form->isVisible());
    allow = true;
    next = Vcl::caNone;
    EXPECT_FALSE(form->Close());
    next = Vcl::caHide;
    EXPECT_TRUE(form->Close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(trace, QStringList({"query", "query", "caHide", "query", "caHide"}));

    form->show();
    next = Vcl::caFree;
    EXPECT_TRUE(form->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST(Forms, MdiChildMinimizesByDefaultAndReportsItsFrameState) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    auto* form = new TForm;
    form->SetFormStyle(Vcl::fsMDIChild);
    QMdiSubWindow* sub = area.addSubWindow(form);
    sub->show();
    EXPECT_EQ(form->Frame(), sub);
    form->SetWindowState(Vcl::wsMaximized);
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_EQ(form->WindowState(), Vcl::wsMaximized);
    form->Close();
    EXPECT_EQ(form->WindowState(), Vcl::wsMinimized);
    EXPECT_FALSE(Vcl::IsDestroying(form));
}

TEST(Forms, ShowModalReturnsTheModalResult) {
    TForm form;
    QTimer::singleShot(0, &form, [&] { form.SetModalResult(Vcl::mrYes); });
    EXPECT_EQ(form.ShowModal(), Vcl::mrYes);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.IsModal());

    // Closed without a result counts as cancelled; a refused close keeps the loop running.
    int refusals = 1;
    form.OnCloseQuery = [&](QObject*, bool& canClose) { canClose = refusals-- <= 0; };
    QTimer::singleShot(0, &form, [&] {
        form.SetModalResult(Vcl::mrOk);
        EXPECT_EQ(form.ModalResult(), Vcl::mrNone);
        form.Close();
    });
    EXPECT_EQ(form.ShowModal(), Vcl::mrCancel);
}

TEST(Forms, ShowModalSurvivesTheFormBeingDeleted) {
    auto* form = new TForm;
    QTimer::singleShot(0, form, [form] { delete form; });
    EXPECT_EQ(form->ShowModal(), Vcl::mrCancel);
}

TEST(Forms, BorderAndStyleBecomeWindowFlags) {
    TForm form;
    form.SetBorderStyle(Vcl::bsDialog);
    EXPECT_EQ(form.windowType(), Qt::Dialog);
    form.SetBorderStyle(Vcl::bsToolWindow);
    form.SetFormStyle(Vcl::fsStayOnTop);
    EXPECT_EQ(form.windowType(), Qt::Tool);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    form.SetBorderStyle(Vcl::bsNone);
    form.SetFormStyle(Vcl::fsNormal);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.property("BorderStyle").value<Vcl::TBorderStyle>(), Vcl::bsNone);
}

TEST(Forms, CentredPlacementStaysOnScreen) {
    const QRect screen(0, 0, 1000, 800);
    EXPECT_EQ(Vcl::CenteredGeometry({200, 100}, QRect(100, 100, 400, 300), screen),
              QRect(200, 200, 200, 100));
    // Over a window near the edge the result is pushed back inside.
    EXPECT_EQ(Vcl::CenteredGeometry({400, 300}, QRect(900, 700, 100, 100), screen),
              QRect(600, 500, 400, 300));
    EXPECT_EQ(Vcl::CenteredGeometry({400, 300}, QRect(-300, -300, 100, 100), screen).topLeft(),
              QPoint(0, 0));
}

TEST(Forms, OwnerFormCentreOnFirstShow) {
    TForm owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    TForm dialog(&owner);
    dialog.SetPosition(Vcl::poOwnerFormCenter);
    dialog.resize(200, 100);
    dialog.show();
    const QPoint offset = dialog.frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2); // QRect's centre rounds down
    dialog.hide();
    owner.hide();
}
