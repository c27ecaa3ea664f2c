#include "AccessibleTree.h"
#include "FrameworkFixture.h"

#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "UnitTable.h"
#include "Vcl.Forms.h"
#include "VoskExceptions.h"
#include "uExceptions.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>

#include <vector>

using namespace uExceptions;

namespace {

// Answers the error form: records what it shows and closes it with OK.
class FormRecorder final : public Korvexcommonvcl::ModalForms {
public:
    struct Shown {
        QString caption, extended, sender, code;
        QString described; // what the dialog's accessible interface says of itself
    };
    FormRecorder() : m_old(SetInstance(this)) {}
    ~FormRecorder() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        auto* f = qobject_cast<TFormException*>(form);
        EXPECT_NE(f, nullptr);
        if (f)
            shown.push_back({f->MemoErrCaption->text(), f->MemoExtendedError->toPlainText(),
                             f->EdSender->text(), f->EdCode->text(),
                             QAccessible::queryAccessibleInterface(f)->text(
                                 QAccessible::Description)});
        return Vcl::mrOk;
    }
    std::vector<Shown> shown;

private:
    ModalForms* m_old;
};

} // namespace

class ExceptionsTest : public FrameworkTest {
protected:
    void TearDown() override { Korvexcommonvcl::UseLatestCommonDialogs = false; }
    FormRecorder m_forms;
};

TEST_F(ExceptionsTest, SuppressedMessagesShowNothingAndContinue) {
    EXPECT_NO_THROW(RaiseException(nullptr, QStringLiteral("Operation aborted")));
    EXPECT_NO_THROW(RaiseException(nullptr, QStringLiteral("Operation abgebrochen")));
    EXPECT_NO_THROW(RaiseException(nullptr, QStringLiteral("Keine Bildlaufleisten vorhanden")));
    EXPECT_NO_THROW(RaiseException(nullptr, std::make_exception_ptr(EAbort())));
    EXPECT_TRUE(m_forms.shown.empty());
}

TEST_F(ExceptionsTest, MarkerShowsItsTextWithCodeAndFullDetails) {
    QLineEdit sender;
    sender.setObjectName(QStringLiteral("EdBeleg"));
    const QString msg = QStringLiteral("Fehler beim Buchen xtt5555 (Tabelle belege)");
    EXPECT_THROW(RaiseException(&sender, msg), EAbort);
    ASSERT_EQ(m_forms.shown.size(), 1u);
    EXPECT_EQ(m_forms.shown[0].caption, QStringLiteral("Der Beleg ist gesperrt"));
    EXPECT_EQ(m_forms.shown[0].code, QStringLiteral("5555"));
    EXPECT_EQ(m_forms.shown[0].extended, msg);
    EXPECT_EQ(m_forms.shown[0].sender, QStringLiteral("EdBeleg:QLineEdit"));
    EXPECT_EQ(m_forms.shown[0].described, QStringLiteral("Der Beleg ist gesperrt"));

    // A number the text table does not know leaves the message unchanged.
    EXPECT_EQ(ResolveTextMarker(QStringLiteral("xtt424242 kaputt")).text,
              QStringLiteral("xtt424242 kaputt"));
    EXPECT_TRUE(ResolveTextMarker(QStringLiteral("xtt424242 kaputt")).code.isEmpty());
    EXPECT_EQ(ResolveTextMarker(QStringLiteral("ohne xtt")).text, QStringLiteral("ohne xtt"));
}

TEST_F(ExceptionsTest, LongMessagesAreCutWithoutSplittingACharacter) {
    QString msg(254, QLatin1Char('a'));
    msg += QString::fromUtf8("\xF0\x9F\x98\x80"); // a surrogate pair across the limit
    msg += QStringLiteral("tail");
    EXPECT_THROW(RaiseException(nullptr, std::make_exception_ptr(EVoskException(msg))), EAbort);
    ASSERT_EQ(m_forms.shown.size(), 1u);
    const QString shown = m_forms.shown[0].caption;
    EXPECT_LE(shown.size(), 255);
    EXPECT_FALSE(shown.back().isHighSurrogate());
}

TEST_F(ExceptionsTest, ClientExceptionAbortsOrContinuesAsAsked) {
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* target = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    first->setFocus();

    // An empty display message shows the exception message; the caller goes on.
    EXPECT_NO_THROW(RaiseQ32ClientException(nullptr, QStringLiteral("Verbindung weg"), {}, false,
                                            target));
    ASSERT_EQ(m_forms.shown.size(), 1u);
    EXPECT_EQ(m_forms.shown[0].caption, QStringLiteral("Verbindung weg"));
    EXPECT_EQ(QApplication::focusWidget(), target);

    // With a marker the dialog shows once and a caller that wants to continue still does.
    EXPECT_NO_THROW(RaiseQ32ClientException(nullptr, QStringLiteral("SQL: lock"),
                                            QStringLiteral("xtt5555"), false, first));
    ASSERT_EQ(m_forms.shown.size(), 2u);
    EXPECT_EQ(m_forms.shown[1].caption, QStringLiteral("Der Beleg ist gesperrt"));
    EXPECT_EQ(QApplication::focusWidget(), first);

    EXPECT_THROW(RaiseQ32ClientException(nullptr, QStringLiteral("SQL: lock"),
                                         QStringLiteral("xtt5555"), true, nullptr),
                 EAbort);
    EXPECT_THROW(RaiseQ32ClientException(nullptr, QStringLiteral("a"), QStringLiteral("b"), true,
                                         nullptr),
                 EAbort);
    EXPECT_EQ(m_forms.shown.size(), 4u);
}

TEST_F(ExceptionsTest, NewestCommonDialogsUseTheTaskDialog) {
    Korvexcommonvcl::UseLatestCommonDialogs = true;
    QObject sender;
    sender.setObjectName(QStringLiteral("Buchung"));
    m_answers.Expect(QStringLiteral("Konto fehlt"), Vcl::mrOk)
        .Expect(QStringLiteral("Der Beleg ist gesperrt"), Vcl::mrOk);
    EXPECT_NO_THROW(RaiseQ32ClientException(&sender, QStringLiteral("detail"),
                                            QStringLiteral("Konto fehlt"), false, nullptr));
    EXPECT_THROW(RaiseException(nullptr, QStringLiteral("xtt5555")), EAbort);
    ASSERT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_EQ(m_answers.Questions()[0].caption, QStringLiteral("Fehler"));
    EXPECT_EQ(m_answers.Questions()[0].details, QStringLiteral("detail\nSender:Buchung"));
    EXPECT_EQ(m_answers.Questions()[0].detailsCaption, QStringLiteral("Details"));
    EXPECT_TRUE(m_forms.shown.empty());
}

TEST_F(ExceptionsTest, GuardedErrorsReachTheDisplayAfterInitialization) {
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    EXPECT_FALSE(Rtl::Guarded([] { throw EVoskException(QStringLiteral("Kaputt")); }));
    EXPECT_FALSE(Rtl::Guarded([] { throw EAbort(); }));
    TDM1::RaiseQ32ClientExceptionProc(nullptr, QStringLiteral("x"), QStringLiteral("y"), false,
                                      nullptr);
    hadrel.Finalize();
    ASSERT_EQ(m_forms.shown.size(), 2u);
    EXPECT_EQ(m_forms.shown[0].caption, QStringLiteral("Kaputt"));
    EXPECT_EQ(m_forms.shown[1].caption, QStringLiteral("y"));
}

TEST_F(ExceptionsTest, DialogIsCreamAndSizedToItsMessage) {
    TFormException form;
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0xFF, 0xFB, 0xF0));
    form.MemoErrCaption->setText(QStringLiteral("Speichern abgebrochen."));
    form.show();
    const QSize shortMessage = form.size();
    EXPECT_LT(shortMessage.width(), 600);
    EXPECT_LT(shortMessage.height(), 200);
    // The details open below the message and the dialog grows by them.
    form.SpeedButton1Click();
    QApplication::processEvents();
    EXPECT_GT(form.height(), shortMessage.height() + 100);
    EXPECT_FALSE(form.BtOk->accessibleName().isEmpty());
}

TEST_F(ExceptionsTest, AScreenReaderIsOfferedTheMessageItself) {
    TFormException form;
    form.MemoErrCaption->setText(QStringLiteral("Das Feld „Name“ muss ausgefüllt werden."));
    form.show();
    QApplication::processEvents();
    EXPECT_TRUE(testsupport::AccessibleTexts(&form).contains(
        QStringLiteral("Meldung: Das Feld „Name“ muss ausgefüllt werden.")));
    // The next message replaces it there too.
    form.MemoErrCaption->setText(QStringLiteral("Speichern abgebrochen."));
    EXPECT_TRUE(testsupport::AccessibleTexts(&form).contains(
        QStringLiteral("Meldung: Speichern abgebrochen.")));
}
