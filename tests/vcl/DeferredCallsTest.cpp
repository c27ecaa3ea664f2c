// Queued calls and posted messages: the order they run in, what happens when their receiver goes
// first, and errors in the middle of a queue. Also owners whose components free each other.
#include "ClientDisplay.h"
#include "DialogAnswerer.h"
#include "EventGuard.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include <climits>
#include <memory>

namespace {

QStringList g_order;

class Receiver final : public QObject {
public:
    explicit Receiver(QString name) { setObjectName(std::move(name)); }
    QList<std::tuple<int, qint64, qint64>> messages;
    std::function<void(const Vcl::TMessageEvent&)> onMessage;

protected:
    void customEvent(QEvent* e) override {
        if (e->type() != Vcl::TMessageEvent::EventType())
            return;
        const auto* m = static_cast<Vcl::TMessageEvent*>(e);
        messages.append({m->Msg(), m->WParam(), m->LParam()});
        g_order << QStringLiteral("%1:msg%2").arg(objectName()).arg(m->Msg() - Vcl::WM_USER);
        if (onMessage)
            onMessage(*m);
    }
};

void RunPending() {
    // Zero-time timers and posted events both arrive through the posted-event queue.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST(Deferred, CallsAndMessagesRunInTheOrderTheyWereQueued) {
    g_order.clear();
    Receiver a(QStringLiteral("a")), b(QStringLiteral("b"));
    Vcl::QueueCall(&a, [] { g_order << QStringLiteral("a:call1"); });
    Vcl::PostMessage(&b, Vcl::WM_USER + 1);
    Vcl::QueueCall(&b, [] { g_order << QStringLiteral("b:call2"); });
    Vcl::PostMessage(&a, Vcl::WM_USER + 2);
    Vcl::QueueCall(nullptr, [] { g_order << QStringLiteral("app:call3"); });
    Vcl::QueueCall(&a, [] { g_order << QStringLiteral("a:call4"); });
    EXPECT_TRUE(g_order.isEmpty());
    RunPending();
    EXPECT_EQ(g_order, QStringList({"a:call1", "b:msg1", "b:call2", "a:msg2", "app:call3",
                                    "a:call4"}));
}

TEST(Deferred, WorkQueuedWhileRunningWaitsForTheQueueAhead) {
    g_order.clear();
    Receiver r(QStringLiteral("r"));
    Vcl::QueueCall(&r, [&] {
        g_order << QStringLiteral("first");
        Vcl::QueueCall(&r, [] { g_order << QStringLiteral("queued by first"); });
        Vcl::PostMessage(&r, Vcl::WM_USER + 9);
    });
    Vcl::QueueCall(&r, [] { g_order << QStringLiteral("second"); });
    RunPending();
    EXPECT_EQ(g_order, QStringList({"first", "second", "queued by first", "r:msg9"}));
}

TEST(Deferred, AReceiverThatGoesTakesOnlyItsOwnWorkWithIt) {
    g_order.clear();
    auto gone = std::make_unique<Receiver>(QStringLiteral("gone"));
    Receiver stays(QStringLiteral("stays"));
    Vcl::QueueCall(gone.get(), [] { g_order << QStringLiteral("gone:call"); });
    Vcl::PostMessage(gone.get(), Vcl::WM_USER + 1);
    Vcl::QueueCall(&stays, [] { g_order << QStringLiteral("stays:call"); });
    Vcl::PostMessage(&stays, Vcl::WM_USER + 2);
    gone.reset();
    Vcl::PostMessage(nullptr, Vcl::WM_USER + 3); // no receiver: nothing to deliver
    RunPending();
    EXPECT_EQ(g_order, QStringList({"stays:call", "stays:msg2"}));
}

TEST(Deferred, AReceiverFreedByEarlierWorkInTheSameQueueMissesTheRest) {
    g_order.clear();
    auto* form = new Receiver(QStringLiteral("form"));
    Receiver other(QStringLiteral("other"));
    Vcl::QueueCall(&other, [form] {
        g_order << QStringLiteral("closing form");
        delete form;
    });
    Vcl::QueueCall(form, [] { g_order << QStringLiteral("form:call"); });
    Vcl::PostMessage(form, Vcl::WM_USER + 4);
    Vcl::QueueCall(&other, [] { g_order << QStringLiteral("other:after"); });
    RunPending();
    EXPECT_EQ(g_order, QStringList({"closing form", "other:after"}));
}

TEST(Deferred, AnErrorInOneCallLeavesTheOthersRunning) {
    ClientDisplay display;
    g_order.clear();
    Receiver r(QStringLiteral("r"));
    Vcl::QueueCall(&r, [] { throw EVoskException(QStringLiteral("erster Fehler")); });
    Vcl::QueueCall(&r, [] { throw EAbort(); });
    Vcl::PostMessage(&r, Vcl::WM_USER + 1);
    r.onMessage = [](const Vcl::TMessageEvent&) {
        throw EVoskException(QStringLiteral("Fehler in der Nachricht"));
    };
    Vcl::QueueCall(&r, [] { g_order << QStringLiteral("r:last"); });
    RunPending();
    EXPECT_EQ(g_order, QStringList({"r:msg1", "r:last"}));
    EXPECT_EQ(display.seen, QStringList({"erster Fehler", "Fehler in der Nachricht"}));
    EXPECT_EQ(display.senders, QList<QObject*>({&r, &r}));
}

TEST(Deferred, ACallThatFreesItsOwnContextReportsWithoutADanglingSender) {
    ClientDisplay display;
    auto* form = new Receiver(QStringLiteral("form"));
    Vcl::QueueCall(form, [form] {
        delete form;
        throw EVoskException(QStringLiteral("nach dem Schließen"));
    });
    RunPending();
    EXPECT_EQ(display.seen, QStringList({"nach dem Schließen"}));
    EXPECT_EQ(display.senders, QList<QObject*>({nullptr}));
}

TEST(Deferred, ThePlainErrorBoxNamesOnlyASenderThatIsStillThere) {
    testsupport::DialogAnswerer answerer;
    answerer.Expect(QStringLiteral("weg"), Vcl::mrOk);
    answerer.Expect(QStringLiteral("da"), Vcl::mrOk);
    auto* form = new Receiver(QStringLiteral("FormWeg"));
    Receiver stays(QStringLiteral("FormDa"));
    Vcl::QueueCall(form, [form] {
        delete form;
        throw EVoskException(QStringLiteral("Form weg"));
    });
    Vcl::QueueCall(&stays, [] { throw EVoskException(QStringLiteral("Form da")); });
    RunPending();
    ASSERT_EQ(answerer.Questions().size(), 2u);
    EXPECT_FALSE(answerer.Questions()[0].details.contains(QStringLiteral("Sender")));
    EXPECT_TRUE(answerer.Questions()[1].details.contains(QStringLiteral("FormDa")));
}

TEST(Deferred, MessageParametersKeepTheirFullWidth) {
    Receiver r(QStringLiteral("r"));
    Vcl::PostMessage(&r, Vcl::WM_USER + 100, LLONG_MIN, LLONG_MAX);
    Vcl::PostMessage(&r, Vcl::WM_USER, -1, qint64(1) << 40);
    Vcl::PostMessage(&r, 0x0010); // a message below WM_USER is delivered as well
    RunPending();
    using M = std::tuple<int, qint64, qint64>;
    EXPECT_EQ(r.messages, QList<M>({M{0x0464, LLONG_MIN, LLONG_MAX},
                                    M{0x0400, -1, qint64(1) << 40}, M{0x0010, 0, 0}}));
    EXPECT_EQ(Vcl::TMessageEvent::EventType(), Vcl::TMessageEvent::EventType());
    EXPECT_GT(int(Vcl::TMessageEvent::EventType()), int(QEvent::User));
}

namespace {
// Frees a sibling component in its destructor, as a form's helper that owns a cache might.
class Freer final : public QObject {
public:
    QPointer<QObject> victim;
    ~Freer() override {
        g_order << QStringLiteral("~%1").arg(objectName());
        delete victim.data();
    }
};
class Named final : public QObject {
public:
    ~Named() override { g_order << QStringLiteral("~%1").arg(objectName()); }
};
} // namespace

TEST(OwnerTeardown, ComponentsGoLastFirstAlsoWhenOneFreesAnother) {
    g_order.clear();
    {
        QObject owner;
        auto* first = Vcl::Owned(&owner, new Named, QStringLiteral("first"));
        auto* second = Vcl::Owned(&owner, new Named, QStringLiteral("second"));
        auto* freer = Vcl::Owned(&owner, new Freer, QStringLiteral("freer"));
        freer->victim = first;
        (void)second;
    }
    // freer goes first (it came last) and takes first along; second is still freed once.
    EXPECT_EQ(g_order, QStringList({"~freer", "~first", "~second"}));
}

TEST(OwnerTeardown, DestroyingReachesComponentsOfComponents) {
    bool innerSawDestroying = false;
    class Inner final : public QObject {
    public:
        explicit Inner(bool& saw) : m_saw(saw) {}
        ~Inner() override { m_saw = Vcl::IsDestroying(this); }

    private:
        bool& m_saw;
    };
    {
        QObject owner;
        auto* panel = Vcl::Owned(&owner, new QObject, QStringLiteral("Panel"));
        Vcl::Owned(panel, new Inner(innerSawDestroying), QStringLiteral("Inner"));
    }
    EXPECT_TRUE(innerSawDestroying);
}

TEST(OwnerTeardown, AComponentCannotOwnItselfAndMovingKeepsOneList) {
    QObject a, b;
    QObject c;
    Vcl::SetOwner(&c, &c);
    EXPECT_EQ(Vcl::Owner(&c), nullptr);
    EXPECT_EQ(Vcl::ComponentCount(&c), 0);
    Vcl::SetOwner(&c, &a);
    Vcl::SetOwner(&c, &a); // again: still once
    EXPECT_EQ(Vcl::Components(&a), QList<QObject*>({&c}));
    Vcl::SetOwner(&c, &b);
    EXPECT_EQ(Vcl::ComponentCount(&a), 0);
    EXPECT_EQ(Vcl::ComponentIndex(&c), 0);
    EXPECT_EQ(Vcl::FindComponent(&b, QString()), nullptr);
    Vcl::SetOwner(&c, nullptr);
}
