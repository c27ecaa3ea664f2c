#include "AccessibleTree.h"
#include "DialogAnswerer.h"
#include "Vcl.Dialogs.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Services.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

using testsupport::DialogAnswerer;

namespace {
// The test main keeps a strict answerer installed; these tests talk to the real defaults.
struct RealServices {
    RealServices()
        : dialogs(Vcl::Dialogs::SetInstance(nullptr)),
          clipboard(Vcl::Clipboard::SetInstance(nullptr)) {}
    ~RealServices() {
        Vcl::Dialogs::SetInstance(dialogs);
        Vcl::Clipboard::SetInstance(clipboard);
    }
    Vcl::Dialogs* dialogs;
    Vcl::Clipboard* clipboard;
};
} // namespace

TEST(Answerer, RepliesInOrderAndRecordsWhatWasAsked) {
    DialogAnswerer answerer;
    answerer.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes).ExpectAny(Vcl::mrNo);
    EXPECT_EQ(Vcl::Ask(Vcl::mtConfirmation, QStringLiteral("Adressen"),
                       QStringLiteral("Adresse: Änderungen speichern?"), Vcl::mbYesNoCancel,
                       Vcl::mbYes, QStringLiteral("Tabelle adressen")),
              Vcl::mrYes);
    EXPECT_EQ(Vcl::Ask(Vcl::mtWarning, {}, QStringLiteral("Wirklich löschen?"), Vcl::mbYesNo),
              Vcl::mrNo);
    ASSERT_EQ(answerer.Questions().size(), 2u);
    const Vcl::TQuestion& q = answerer.Questions()[0];
    EXPECT_EQ(q.caption, QStringLiteral("Adressen"));
    EXPECT_EQ(q.details, QStringLiteral("Tabelle adressen"));
    EXPECT_EQ(q.buttons, Vcl::mbYesNoCancel);
    EXPECT_EQ(answerer.Pending(), 0);
}

TEST(Answerer, UnexpectedOrMismatchedQuestionsFailAndCancel) {
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            EXPECT_EQ(Vcl::Ask(Vcl::mtError, {}, QStringLiteral("Fehler"), Vcl::mbOK),
                      Vcl::mrCancel);
        },
        "unexpected question");
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            answerer.Expect(QStringLiteral("löschen"), Vcl::mrYes);
            EXPECT_EQ(Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("speichern?"), Vcl::mbYesNo),
                      Vcl::mrCancel);
            // The expectation stays queued, so its question still answers afterwards.
            EXPECT_EQ(Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("löschen?"), Vcl::mbYesNo),
                      Vcl::mrYes);
        },
        "was expected");
}

TEST(Answerer, TicksTheNotAgainBoxOnlyWhereOneIsOffered) {
    Vcl::TQuestion q;
    q.text = QStringLiteral("Originaldatei löschen?");
    q.buttons = Vcl::mbYesNo;
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            answerer.ExpectDontAsk(QStringLiteral("löschen"), Vcl::mrYes);
            Vcl::Dialogs::Instance().Ask(q);
        },
        "offers no box to tick");
    bool ticked = false;
    q.checkBoxCaption = QStringLiteral("Nicht mehr fragen");
    q.checkBoxChecked = &ticked;
    DialogAnswerer answerer;
    answerer.ExpectDontAsk(QStringLiteral("löschen"), Vcl::mrNo).Expect({}, Vcl::mrYes);
    EXPECT_EQ(Vcl::Dialogs::Instance().Ask(q), Vcl::mrNo);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(Vcl::Dialogs::Instance().Ask(q), Vcl::mrYes);
    EXPECT_FALSE(ticked);
}

TEST(Answerer, AnExpectationNeverAskedFailsAtTheEnd) {
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            answerer.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
        },
        "never asked: \"Änderungen speichern?\"");
}

TEST(Answerer, FileDialogsShellAndClipboard) {
    DialogAnswerer answerer;
    answerer.ExpectFile(QStringLiteral("Export"), {QStringLiteral("/tmp/liste.xlsx")})
        .ExpectFile({}, {});
    Vcl::TFileRequest save{QStringLiteral("Export speichern"), QStringLiteral("/tmp"),
                           QStringLiteral("liste"), QStringLiteral("Excel|*.xlsx"),
                           QStringLiteral("xlsx")};
    EXPECT_EQ(Vcl::FileDialogs::Instance().SaveFile(save), QStringLiteral("/tmp/liste.xlsx"));
    EXPECT_EQ(Vcl::FileDialogs::Instance().OpenFile({}), QString());
    ASSERT_EQ(answerer.FileDialogsShown().size(), 2u);
    EXPECT_EQ(answerer.FileDialogsShown()[0].kind, QStringLiteral("save"));

    EXPECT_TRUE(Vcl::Shell::Instance().Launch(
        QStringLiteral("/usr/bin/lp"), {QStringLiteral("a b; rm -rf /")}, QStringLiteral("/tmp")));
    EXPECT_TRUE(Vcl::OpenDocument(QStringLiteral("/tmp/Rechnung 1.pdf")));
    ASSERT_EQ(answerer.Launched().size(), 1u);
    EXPECT_EQ(answerer.Launched()[0].arguments, QStringList({"a b; rm -rf /"}));
    EXPECT_EQ(answerer.OpenedUrls(),
              QList<QUrl>({QUrl::fromLocalFile(QStringLiteral("/tmp/Rechnung 1.pdf"))}));

    Vcl::Clipboard::Instance().SetText(QStringLiteral("Nachricht"));
    EXPECT_EQ(Vcl::Clipboard::Instance().Text(), QStringLiteral("Nachricht"));
}

TEST(Services, InstancesNestAndReturnToTheDefault) {
    Vcl::Dialogs* defaultDialogs = &Vcl::Dialogs::Instance();
    {
        DialogAnswerer outer;
        {
            DialogAnswerer inner;
            EXPECT_EQ(&Vcl::Dialogs::Instance(), &inner);
        }
        EXPECT_EQ(&Vcl::Dialogs::Instance(), &outer);
    }
    EXPECT_EQ(&Vcl::Dialogs::Instance(), defaultDialogs);
}

TEST(Services, DefaultClipboardIsTheApplicationsOne) {
    RealServices real;
    Vcl::Clipboard::Instance().SetText(QStringLiteral("xtt4130"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("xtt4130"));
}

TEST(Services, FilterPairsBecomeQtFilters) {
    EXPECT_EQ(Vcl::QtFileFilter(QStringLiteral("Excel-Dateien (*.xlsx)|*.xlsx|Alle|*.*")),
              QStringLiteral("Excel-Dateien (*.xlsx);;Alle (*)"));
    EXPECT_EQ(Vcl::QtFileFilter(QStringLiteral("Bilder|*.png;*.jpg")),
              QStringLiteral("Bilder (*.png *.jpg)"));
    EXPECT_EQ(Vcl::QtFileFilter(QStringLiteral("Text (*.txt)")), QStringLiteral("Text (*.txt)"));
}

TEST(Hourglass, NestsAndGivesTheCursorBack) {
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        Vcl::THourglass outer;
        {
            Vcl::THourglass inner;
            EXPECT_EQ(Vcl::THourglass::Depth(), 2);
        }
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        outer.Restore();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(Vcl::THourglass::Depth(), 0);
    try {
        Vcl::THourglass h;
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Services, DefaultQuestionIsAMessageBoxWithTheAskedButtons) {
    RealServices real;
    QStringList seen;
    // Answers from inside the box's own event loop, as a user would.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen << box->windowTitle() << box->text() << box->detailedText();
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) != QMessageBox::ActionRole) // the details toggle
                seen << b->text();
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(Vcl::Ask(Vcl::mtConfirmation, QStringLiteral("Adressen"),
                       QStringLiteral("Änderungen speichern?"),
                       Vcl::mbYesNoCancel | Vcl::mbAll, Vcl::mbNo, QStringLiteral("Tabelle")),
              Vcl::mrNo);
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.mid(0, 3), QStringList({"Adressen", "Änderungen speichern?", "Tabelle"}));
    EXPECT_EQ(seen.size(), 7) << seen.join('|').toStdString(); // yes, no, cancel, all

    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("&Alle"))
                b->click();
    });
    EXPECT_EQ(Vcl::Ask(Vcl::mtWarning, {}, QStringLiteral("Alle ersetzen?"),
                       Vcl::mbAll | Vcl::mbCancel),
              Vcl::mrAll);
}

TEST(QuestionBox, AScreenReaderIsOfferedTheQuestionAndItsButtons) {
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.caption = QStringLiteral("KORVEX ERP");
    q.text = QStringLiteral("Adressen: Änderungen speichern?");
    q.buttons = Vcl::mbYesNoCancel;
    std::unique_ptr<QMessageBox> box(Vcl::NewQuestionBox(q));
    box->show();
    QApplication::processEvents();
    const QStringList read = testsupport::AccessibleTexts(box.get());
    EXPECT_TRUE(read.join(u'\n').contains(q.text)) << read.join(u'\n').toStdString();
    EXPECT_EQ(box->buttons().size(), 3);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));

    // The box a question shows, announced as a window, reads the question with it.
    RealServices real;
    QString described;
    QTimer::singleShot(0, [&described] {
        QWidget* shown = QApplication::activeModalWidget();
        ASSERT_NE(shown, nullptr);
        described = QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Description);
        qobject_cast<QMessageBox*>(shown)->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("Datensatz <b>löschen</b>?"),
                       Vcl::mbYesNo),
              Vcl::mrNo);
    EXPECT_EQ(described, QStringLiteral("Datensatz <b>löschen</b>?"));
}

// A file name or a user's name is no markup: the box shows it letter for letter.
TEST(QuestionBox, MarkupInAMessageShowsAsItIsWritten) {
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.text = QStringLiteral("<b>x</b>");
    q.buttons = Vcl::mbYesNo;
    std::unique_ptr<QMessageBox> box(Vcl::NewQuestionBox(q));
    box->show();
    QApplication::processEvents();
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), q.text);
    // Wide enough for the tags themselves, not just a bold "x".
    EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(q.text));
    EXPECT_TRUE(testsupport::AccessibleTexts(box.get()).join(u'\n').contains(q.text));
}

TEST(QuestionBox, ANotAgainBoxIsNamedAndTellsWhetherItWasTicked) {
    RealServices real;
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.text = QStringLiteral("Originaldatei löschen?");
    q.buttons = Vcl::mbYesNo;
    q.checkBoxCaption = QStringLiteral("Nicht mehr fragen");
    q.checkBoxHint = QStringLiteral("Antwort merken");
    bool ticked = false;
    q.checkBoxChecked = &ticked;
    QString name, tip;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->checkBox(), nullptr);
        name = box->checkBox()->accessibleName();
        tip = box->checkBox()->toolTip();
        // The keyboard reaches it: Space on the focused box ticks it.
        box->checkBox()->setFocus();
        QTest::keyClick(box->checkBox(), Qt::Key_Space);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(Vcl::Dialogs::Instance().Ask(q), Vcl::mrYes);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(name, QStringLiteral("Nicht mehr fragen"));
    EXPECT_EQ(tip, QStringLiteral("Antwort merken"));

    // Left as it is, the box says so; a question without a caption shows none.
    QTimer::singleShot(0, [] {
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
            ->button(QMessageBox::No)
            ->click();
    });
    EXPECT_EQ(Vcl::Dialogs::Instance().Ask(q), Vcl::mrNo);
    EXPECT_FALSE(ticked);
    q.checkBoxCaption.clear();
    std::unique_ptr<QMessageBox> plain(Vcl::NewQuestionBox(q));
    EXPECT_EQ(plain->checkBox(), nullptr);
}

namespace {
// Answers the colour dialog; the font dialog stays the real one.
class ColourAnswer final : public Vcl::FontColorDialogs {
public:
    explicit ColourAnswer(QColor answer) : m_answer(answer) {
        m_old = SetInstance(nullptr);
        m_default = &Instance();
        SetInstance(this);
    }
    ~ColourAnswer() override { SetInstance(m_old); }
    bool ChooseFont(QFont& font, QColor& color, QWidget* parent) override {
        return m_default->ChooseFont(font, color, parent);
    }
    bool ChooseColor(QColor& color, QWidget*) override {
        asked << color;
        color = m_answer;
        return true;
    }
    QList<QColor> asked;

private:
    QColor m_answer;
    Vcl::FontColorDialogs* m_old;
    Vcl::FontColorDialogs* m_default;
};
} // namespace

TEST(Services, FontDialogStartsWithFontAndColourAndGivesBothBack) {
    ColourAnswer colours(QColor(0x12, 0x34, 0x56));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(14);
    font.setBold(true);
    QColor color(Qt::red);
    // Driven from inside the dialog's own event loop, as a user would.
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<Vcl::TFontColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->SelectedFont().pointSize(), 14);
        EXPECT_TRUE(d->SelectedFont().bold()) << d->SelectedFont().toString().toStdString() << " / " << font.toString().toStdString();
        EXPECT_EQ(d->ColorButton->text(), QStringLiteral("#FF0000"));
        EXPECT_FALSE(d->ColorButton->accessibleName().isEmpty());
        d->AutoColorButton->click();
        EXPECT_FALSE(d->SelectedColor().isValid());
        EXPECT_EQ(d->ColorButton->text(), QStringLiteral("Automatisch"));
        EXPECT_FALSE(d->AutoColorButton->isEnabled());
        d->ColorButton->click(); // the colour dialog starts from "automatic"
        QFont bigger = d->SelectedFont();
        bigger.setPointSize(20);
        d->FontDialog->setCurrentFont(bigger);
        d->accept();
    });
    ASSERT_TRUE(Vcl::FontColorDialogs::Instance().ChooseFont(font, color, nullptr));
    EXPECT_EQ(colours.asked, QList<QColor>{QColor()});
    EXPECT_EQ(color, QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(font.pointSize(), 20);
    EXPECT_TRUE(font.bold());

    // Cancelled, nothing changes.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<Vcl::TFontColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->AutoColorButton->click();
        d->reject();
    });
    EXPECT_FALSE(Vcl::FontColorDialogs::Instance().ChooseFont(font, color, nullptr));
    EXPECT_EQ(color, QColor(0x12, 0x34, 0x56));
}

TEST(Shell, RunGivesTheExitCodeOfAQuickProgramAndLetsASlowOneGoOn) {
    Vcl::Shell* answerer = Vcl::Shell::SetInstance(nullptr);
    Vcl::Shell& shell = Vcl::Shell::Instance();

    Vcl::TRunResult r = shell.Run(QStringLiteral("sh"),
                                  {QStringLiteral("-c"), QStringLiteral("echo kaputt >&2; exit 3")}, 10000);
    EXPECT_TRUE(r.started && r.finished);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.errorText, QStringLiteral("kaputt"));
    EXPECT_FALSE(r.Succeeded());

    // Arguments reach the program as they are, no shell reads them.
    const QString tricky = QStringLiteral("a b; rm -rf / $HOME \"'");
    r = shell.Run(QStringLiteral("sh"),
                  {QStringLiteral("-c"), QStringLiteral("test \"$1\" = \"$2\""), QStringLiteral("sh"),
                   tricky, tricky},
                  10000);
    EXPECT_TRUE(r.finished && r.Succeeded()) << r.exitCode;

    // Still running after the wait: it has taken over.
    QElapsedTimer clock;
    clock.start();
    r = shell.Run(QStringLiteral("sleep"), {QStringLiteral("1")}, 100);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.finished);
    EXPECT_TRUE(r.Succeeded());
    EXPECT_LT(clock.elapsed(), 800);

    r = shell.Run(QStringLiteral("/nonexistent/korvex-program"), {}, 1000);
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_FALSE(r.errorText.isEmpty());
    Vcl::Shell::SetInstance(answerer);
    // The slow one's process object goes once the program has ended, on the event loop.
    QTest::qWait(int(std::max<qint64>(0, 2000 - clock.elapsed())));
}
