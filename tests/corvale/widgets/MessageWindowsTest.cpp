// What a screen reader is told by the message windows of the common components: the window's own
// interface carries the message, and its label reads the message under its caption.
#include "AccessibleTree.h"
#include "TVoskAlertWindow.h"
#include "TVoskBalloonHint.h"
#include "TVoskQuestionForm.h"
#include "Uloadform.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPointer>

#include <memory>

namespace {

QString Described(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Description) : QString();
}

QString Named(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

TEST(MessageWindows, AQuestionFormReadsItsQuestionAlsoAfterItChanges) {
    TVoskQuestionForm form(nullptr, QStringLiteral("Dokument wird bearbeitet.\nÄnderungen übernehmen?"),
                           QStringLiteral("Yes|Abort"), 0, Vcl::mtConfirmation);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(Described(&form), QStringLiteral("Dokument wird bearbeitet. Änderungen übernehmen?"));
    EXPECT_TRUE(Named(form.Message()).endsWith(
        QStringLiteral(": Dokument wird bearbeitet. Änderungen übernehmen?")))
        << Named(form.Message()).toStdString();
    // The wait dialog changes its message while it is up.
    form.SetMessage(QStringLiteral("Die Datei ist nicht mehr vorhanden."));
    EXPECT_EQ(Described(&form), QStringLiteral("Die Datei ist nicht mehr vorhanden."));
    EXPECT_TRUE(testsupport::AccessibleTexts(&form).join(u'\n').contains(
        QStringLiteral("Die Datei ist nicht mehr vorhanden.")));
}

TEST(MessageWindows, TheLoadFormReadsItsStatusLine) {
    TLoadForm form;
    form.show();
    form.SetStatus(QStringLiteral("Module werden geladen ..."));
    QApplication::processEvents();
    EXPECT_EQ(Described(&form), QStringLiteral("Module werden geladen ..."));
    EXPECT_EQ(Named(form.lbStatus), QStringLiteral("Status: Module werden geladen ..."));
}

TEST(MessageWindows, AnAlertWindowReadsItsCaptionAndText) {
    auto* alert = new TVoskAlertWindow(nullptr, QStringLiteral("Notiz: Lieferstopp"),
                                       QStringLiteral("anna - 04.05.2026\r\nBitte nicht liefern."),
                                       29);
    const QPointer<TVoskAlertWindow> guard(alert);
    alert->show();
    QApplication::processEvents();
    EXPECT_EQ(Named(alert), QStringLiteral("Notiz: Lieferstopp"));
    EXPECT_EQ(Described(alert), QStringLiteral("anna - 04.05.2026 Bitte nicht liefern."));
    delete guard.data();
}

// What the wait dialog and a note show is text: "<b>x</b>" is shown with its tags, not bold.
TEST(MessageWindows, QuestionFormsAndAlertsShowMarkupAsItIsWritten) {
    const QString markup = QStringLiteral("<b>x</b>");
    const auto showsAsWritten = [&](QLabel* label) {
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), markup);
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(markup))
            << label->objectName().toStdString();
    };
    TVoskQuestionForm form(nullptr, markup, QStringLiteral("Yes|Abort"), 0, Vcl::mtInformation);
    form.show();
    QApplication::processEvents();
    showsAsWritten(form.Message());
    EXPECT_EQ(Described(&form), markup);

    auto* alert = new TVoskAlertWindow(nullptr, markup, markup, 29);
    const QPointer<TVoskAlertWindow> guard(alert);
    alert->show();
    QApplication::processEvents();
    showsAsWritten(alert->findChild<QLabel*>(QStringLiteral("Caption")));
    showsAsWritten(alert->findChild<QLabel*>(QStringLiteral("Text")));
    delete guard.data();
}

TEST(MessageWindows, ABalloonReadsWhatItShowsUnderItsCaption) {
    QWidget control;
    control.resize(300, 200);
    control.show();
    TVoskBalloonHint hint;
    hint.SetTitle(QStringLiteral("3 Dateien kopiert"));
    hint.ShowHint(&control, QPoint(290, 190));
    QApplication::processEvents();
    ASSERT_TRUE(hint.Balloon());
    EXPECT_EQ(Named(hint.Balloon()), QStringLiteral("Hinweis: 3 Dateien kopiert"));
    hint.SetTitle(QStringLiteral("Nichts zu tun"));
    hint.ShowHint(&control, QPoint(290, 190));
    EXPECT_EQ(Named(hint.Balloon()), QStringLiteral("Hinweis: Nichts zu tun"));
}
