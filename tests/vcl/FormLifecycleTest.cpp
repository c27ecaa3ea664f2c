// The close protocol when handlers fail or decide early, modal forms that nest or free themselves,
// and what Screen reports while forms are on their way out.
#include "ClientDisplay.h"
#include "DialogAnswerer.h"
#include "EventGuard.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include <memory>

using Vcl::Screen;
using Vcl::TForm;

namespace {

// Ends a modal loop that the code under test failed to end, so that a fault fails the test
// instead of hanging the suite.
class ModalWatchdog final {
public:
    explicit ModalWatchdog(TForm* form) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this, f = QPointer<TForm>(form)] {
            m_fired = true;
            if (f) {
                f->OnCloseQuery = nullptr;
                f->hide();
            }
        });
        m_timer.start(5000);
    }
    bool Fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

// A child widget that records, while its form is being destroyed, what Screen still reports.
class Witness final : public QWidget {
public:
    Witness(TForm* form, int& serialSeen, bool& listed)
        : QWidget(form), m_form(form), m_serial(form->Serial()), m_serialSeen(serialSeen),
          m_listed(listed) {}
    ~Witness() override {
        m_serialSeen = Screen::FormBySerial(m_serial) ? m_serial : 0;
        m_listed = Screen::Forms().contains(m_form);
    }

private:
    TForm* m_form;
    int m_serial;
    int& m_serialSeen;
    bool& m_listed;
};

} // namespace

TEST(CloseProtocol, FailingHandlersKeepTheFormOpenAndReportTheError) {
    ClientDisplay display;
    TForm form;
    form.setObjectName(QStringLiteral("FormAdress"));
    form.show();
    form.OnCloseQuery = [](QObject*, bool&) {
        throw EVoskException(QStringLiteral("Speichern fehlgeschlagen"));
    };
    EXPECT_FALSE(form.Close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(display.seen, QStringList({"Speichern fehlgeschlagen"}));
    EXPECT_EQ(display.senders.value(0), &form);

    // OnClose failing after the query agreed: still open, even though it had chosen caFree.
    form.OnCloseQuery = nullptr;
    form.OnClose = [](QObject*, Vcl::TCloseAction& action) {
        action = Vcl::caFree;
        throw EVoskException(QStringLiteral("Nachbereitung fehlgeschlagen"));
    };
    EXPECT_FALSE(form.Close());
    EXPECT_TRUE(form.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(display.seen.size(), 2);

    // A silent abort refuses the close without any message.
    form.OnClose = [](QObject*, Vcl::TCloseAction&) { throw EAbort(); };
    EXPECT_FALSE(form.Close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(display.seen.size(), 2);

    form.OnClose = nullptr;
    EXPECT_TRUE(form.Close());
    EXPECT_FALSE(form.isVisible());
}

TEST(CloseProtocol, ActionsOfAPlainWindow) {
    auto* form = new TForm;
    QPointer<TForm> alive(form);
    Vcl::TCloseAction next = Vcl::caMinimize;
    QList<Vcl::TCloseAction> offered;
    form->OnClose = [&](QObject*, Vcl::TCloseAction& action) {
        offered << action;
        action = next;
    };
    form->show();
    EXPECT_FALSE(form->Close()); // minimized, not closed
    EXPECT_EQ(form->WindowState(), Vcl::wsMinimized);
    EXPECT_FALSE(form->isHidden());

    // A hidden form runs the protocol too, so that caFree still frees it.
    form->hide();
    next = Vcl::caFree;
    const int serial = form->Serial();
    EXPECT_TRUE(form->Close());
    EXPECT_EQ(Screen::FormBySerial(serial), form); // freed after the current event
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(Screen::FormBySerial(serial), nullptr);
    // A non-MDI form is offered caHide; an MDI child caMinimize (see FormsTest).
    EXPECT_EQ(offered, QList<Vcl::TCloseAction>({Vcl::caHide, Vcl::caHide}));
}

TEST(CloseProtocol, ReleaseFreesLaterAndHidesAtOnce) {
    auto* form = new TForm;
    QPointer<TForm> alive(form);
    int hides = 0;
    form->OnHide = [&](QObject*) { ++hides; };
    form->show();
    form->Release();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(hides, 1);
    EXPECT_FALSE(alive.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(ModalForms, ResultSetWhileShowingEndsTheLoopAtOnce) {
    TForm form;
    ModalWatchdog watchdog(&form);
    int shows = 0;
    form.OnShow = [&](QObject*) {
        ++shows;
        form.SetModalResult(Vcl::mrOk); // nothing to ask: the dialog answers itself
    };
    EXPECT_EQ(form.ShowModal(), Vcl::mrOk);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(shows, 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.IsModal());
    EXPECT_EQ(form.windowModality(), Qt::NonModal);
}

TEST(ModalForms, NestedModalFormsReturnTheirOwnResults) {
    TForm outer, inner;
    ModalWatchdog watchOuter(&outer), watchInner(&inner);
    int innerResult = -1;
    QTimer::singleShot(0, &outer, [&] {
        QTimer::singleShot(0, &inner, [&] {
            EXPECT_TRUE(inner.IsModal());
            EXPECT_TRUE(outer.IsModal());
            inner.SetModalResult(Vcl::mrNo);
        });
        innerResult = inner.ShowModal();
        EXPECT_TRUE(outer.isVisible()); // the inner result does not end the outer loop
        outer.SetModalResult(Vcl::mrYes);
    });
    EXPECT_EQ(outer.ShowModal(), Vcl::mrYes);
    EXPECT_EQ(innerResult, Vcl::mrNo);
    EXPECT_FALSE(watchOuter.Fired());
    EXPECT_FALSE(watchInner.Fired());
}

TEST(ModalForms, FreeingOnCloseStillReturnsTheResult) {
    auto* form = new TForm;
    QPointer<TForm> alive(form);
    ModalWatchdog watchdog(form);
    form->OnClose = [](QObject*, Vcl::TCloseAction& action) { action = Vcl::caFree; };
    QTimer::singleShot(0, form, [form] { form->SetModalResult(Vcl::mrRetry); });
    EXPECT_EQ(form->ShowModal(), Vcl::mrRetry);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_FALSE(watchdog.Fired());
}

TEST(ModalForms, FailingCloseHandlerKeepsTheDialogUp) {
    ClientDisplay display;
    TForm form;
    ModalWatchdog watchdog(&form);
    int attempts = 0;
    form.OnCloseQuery = [&](QObject*, bool&) {
        if (++attempts == 1)
            throw EVoskException(QStringLiteral("Pflichtfeld fehlt"));
    };
    QTimer::singleShot(0, &form, [&] {
        form.SetModalResult(Vcl::mrOk);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.ModalResult(), Vcl::mrNone);
        form.SetModalResult(Vcl::mrOk);
    });
    EXPECT_EQ(form.ShowModal(), Vcl::mrOk);
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(display.seen, QStringList({"Pflichtfeld fehlt"}));
    EXPECT_FALSE(watchdog.Fired());
}

TEST(ModalForms, ResultOfAFormThatIsNotModalOnlyStoresIt) {
    TForm form;
    form.show();
    form.SetModalResult(Vcl::mrOk);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.ModalResult(), Vcl::mrOk);
    // A fresh ShowModal starts without the old result.
    QTimer::singleShot(0, &form, [&] { form.Close(); });
    EXPECT_EQ(form.ShowModal(), Vcl::mrCancel);
}

TEST(ScreenSerials, AFormBeingDestroyedIsNoLongerFound) {
    int serialSeen = -1;
    bool listed = true;
    auto* form = new TForm;
    new Witness(form, serialSeen, listed);
    delete form;
    EXPECT_EQ(serialSeen, 0);
    EXPECT_FALSE(listed);

    // Also when the form goes with its owner.
    auto owner = std::make_unique<TForm>();
    auto* owned = new TForm(owner.get());
    new Witness(owned, serialSeen, listed);
    serialSeen = -1;
    listed = true;
    owner.reset();
    EXPECT_EQ(serialSeen, 0);
    EXPECT_FALSE(listed);
}

TEST(ScreenSerials, SerialsOfManyFormsAreUniqueAndGrow) {
    std::vector<int> serials;
    int last = 0;
    for (int i = 0; i < 50; ++i) {
        auto form = std::make_unique<TForm>();
        EXPECT_GT(form->Serial(), last);
        last = form->Serial();
        EXPECT_EQ(Screen::FormBySerial(last), form.get());
    }
    // None of the freed serials resolves any more, not even to a newer form.
    auto form = std::make_unique<TForm>();
    for (int s = last - 49; s <= last; ++s)
        EXPECT_EQ(Screen::FormBySerial(s), nullptr) << s;
    EXPECT_EQ(Screen::FormBySerial(-1), nullptr);
    EXPECT_EQ(Screen::FormBySerial(form->Serial()), form.get());
}

TEST(ScreenSerials, ActiveFormOfAPlainWindowIsTheFormHoldingTheFocus) {
    QWidget plain;
    plain.show();
    QApplication::setActiveWindow(&plain);
    EXPECT_EQ(Screen::ActiveForm(), nullptr);

    // A form embedded in a plain window (as in a sub-window) counts through its focused child.
    auto* embedded = new TForm(nullptr, &plain);
    embedded->setWindowFlags(Qt::Widget);
    auto* edit = new QWidget(embedded);
    edit->setFocusPolicy(Qt::StrongFocus);
    embedded->show();
    edit->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(Screen::ActiveForm(), embedded);

    // Once that form is going, it is not the active one any more.
    Vcl::SetDestroying(embedded);
    EXPECT_EQ(Screen::ActiveForm(), nullptr);
    plain.hide();
}

TEST(ScreenSerials, MainFormIsForgottenWhenItGoes) {
    auto main = std::make_unique<QWidget>();
    Screen::SetMainForm(main.get());
    EXPECT_EQ(Screen::MainForm(), main.get());
    main.reset();
    EXPECT_EQ(Screen::MainForm(), nullptr);
}

namespace {

// A form whose page control and pages are owned components, with a slot bound to the form that
// reads a member of the derived class, as module forms do.
class PagedForm final : public TForm {
public:
    PagedForm(int& calls, int& callsAfterDestruction) : m_calls(calls), m_late(callsAfterDestruction) {
        pages = Vcl::Owned(this, new QTabWidget(this), QStringLiteral("Pages"));
        for (int i = 0; i < 3; ++i)
            pages->addTab(Vcl::Owned(this, new QWidget(pages), QStringLiteral("Page%1").arg(i)),
                          QStringLiteral("Seite %1").arg(i));
        connect(pages, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
        connect(qApp, &QApplication::focusChanged, this, [this] { PageChanged(); });
    }
    ~PagedForm() override { m_alive = false; }
    void PageChanged() {
        ++m_calls;
        if (!m_alive)
            ++m_late;
    }
    QTabWidget* pages;

private:
    int& m_calls;
    int& m_late;
    bool m_alive = true;
};

} // namespace

TEST(FormDestruction, NoSlotOfTheFormRunsOnceItsDestructionBegan) {
    int calls = 0, late = 0;
    auto* form = new PagedForm(calls, late);
    form->pages->setCurrentIndex(2);
    EXPECT_EQ(calls, 1);
    // Freed directly, and through its owner: the pages go one by one, each changing the page.
    delete form;
    EXPECT_EQ(late, 0);

    auto* owner = new QObject;
    auto* owned = Vcl::Owned(owner, new PagedForm(calls, late));
    owned->pages->setCurrentIndex(1);
    QPointer<QTabWidget> pages = owned->pages;
    delete owner;
    EXPECT_FALSE(pages);
    EXPECT_EQ(late, 0);
}
