#include "ClientDisplay.h"
#include "DialogAnswerer.h"
#include "EventGuard.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace {

// Throws from inside Qt's event delivery, as a form's handler would.
class Thrower final : public QObject {
public:
    std::function<void()> onEvent;
    QList<std::pair<int, qint64>> messages;

protected:
    void customEvent(QEvent* e) override {
        if (e->type() == Vcl::TMessageEvent::EventType()) {
            auto* m = static_cast<Vcl::TMessageEvent*>(e);
            messages.append({m->Msg(), m->WParam() + m->LParam()});
        }
        if (onEvent)
            onEvent();
    }
};

void DeliverPosted() {
    QCoreApplication::sendPostedEvents();
}

} // namespace

TEST(Application, NotifyKeepsExceptionsOutOfQt) {
    ClientDisplay display;
    Thrower t;
    t.setObjectName(QStringLiteral("btSave"));
    t.onEvent = [] { throw EAbort(); };
    Vcl::PostMessage(&t, Vcl::WM_USER + 1);
    DeliverPosted();
    EXPECT_TRUE(display.seen.isEmpty());

    t.onEvent = [] { throw EVoskException(QStringLiteral("Speichern fehlgeschlagen")); };
    Vcl::PostMessage(&t, Vcl::WM_USER + 1);
    DeliverPosted();
    EXPECT_EQ(display.seen, QStringList({"Speichern fehlgeschlagen"}));
    EXPECT_EQ(display.senders, QList<QObject*>({&t}));
}

TEST(Application, WithoutClientDisplayTheErrorIsShownPlainly) {
    testsupport::DialogAnswerer answerer;
    answerer.Expect(QStringLiteral("kaputt"), Vcl::mrOk);
    Thrower t;
    t.onEvent = [] { throw EConvertError(QStringLiteral("Wert kaputt")); };
    Vcl::PostMessage(&t, Vcl::WM_USER);
    DeliverPosted();
    ASSERT_EQ(answerer.Questions().size(), 1u);
    EXPECT_EQ(answerer.Questions()[0].kind, Vcl::mtError);
    EXPECT_TRUE(answerer.Questions()[0].details.contains(QStringLiteral("EConvertError")));
}

TEST(Application, PostedMessagesArriveInOrderAfterTheCurrentEvent) {
    Thrower t;
    Vcl::PostMessage(&t, Vcl::WM_USER + 1, 10, 5);
    Vcl::PostMessage(&t, Vcl::WM_USER + 2);
    EXPECT_TRUE(t.messages.isEmpty());
    DeliverPosted();
    using M = std::pair<int, qint64>;
    EXPECT_EQ(t.messages, QList<M>({M{0x0401, 15}, M{0x0402, 0}}));

    // A message to an object that dies before delivery goes with it.
    auto* gone = new Thrower;
    Vcl::PostMessage(gone, Vcl::WM_USER);
    delete gone;
    DeliverPosted();
}

TEST(Application, QueuedCallRunsLaterGuardedAndIsDroppedWithItsContext) {
    ClientDisplay display;
    int runs = 0;
    auto* form = new QWidget;
    Vcl::QueueCall(form, [&] { ++runs; });
    Vcl::QueueCall(form, [] { throw EVoskException(QStringLiteral("im Nachgang")); });
    EXPECT_EQ(runs, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(display.seen, QStringList({"im Nachgang"}));
    EXPECT_EQ(display.senders.value(0), form);

    Vcl::QueueCall(form, [&] { ++runs; });
    delete form;
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}
