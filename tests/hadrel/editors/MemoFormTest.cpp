// The memo editor through its class functions and the modal-form seam, on a real database.
#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "RtfCodec.h"
#include "UMemoFormEx.h"
#include "UVoskCalc.h"
#include "UDataModul_Dunmere.h"
#include "UnitTable.h"
#include "VoskPrinters.h"
#include "RtlDialog.h"
#include "Voskdbcontrols.h"

#include <QApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QTextBlock>
#include <QPushButton>
#include <QSlider>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <functional>

namespace {

// Plays the user of every modal memo form: fn acts on the form and returns its modal result.
class MemoUser final : public Korvexcommonvcl::ModalForms {
public:
    explicit MemoUser(std::function<int(TMemoFormEx*)> fn) : m_fn(std::move(fn)) {
        m_old = SetInstance(this);
    }
    ~MemoUser() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        ++calls;
        auto* memo = qobject_cast<TMemoFormEx*>(form);
        return memo ? m_fn(memo) : Vcl::mrCancel;
    }
    int calls = 0;

private:
    std::function<int(TMemoFormEx*)> m_fn;
    ModalForms* m_old;
};

void Type(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent e(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &e);
}

int Ok(TMemoFormEx* f) {
    f->OkBtClick();
    return f->ModalResult();
}

QList<TMemoFormEx*> OpenMemoForms() {
    QList<TMemoFormEx*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<TMemoFormEx*>(w); m && m->isVisible())
            out << m;
    return out;
}

void FreeReleased() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

} // namespace

class MemoFormTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO keysnippets (kbsc_keycode, kbsc_keystate, kbsc_text) VALUES "
            "(112, 5, 'Mit freundlichen Grüßen'), (71, 6, 'Sehr geehrte Damen und Herren,'), "
            "(81, 6, 'Anlage:')"));
    }

protected:
    void TearDown() override {
        for (TMemoFormEx* f : OpenMemoForms())
            delete f;
    }
};

TEST_F(MemoFormTest, StringFormGivesTheInputOnCancelAndTheTrimmedTextOnOk) {
    {
        MemoUser user([](TMemoFormEx* f) {
            f->Editor->setPlainText(QStringLiteral("verworfen"));
            return int(Vcl::mrCancel);
        });
        EXPECT_EQ(TMemoFormEx::_EditText(QStringLiteral("Bemerkung"), QStringLiteral("alt "), 0,
                                         false, false, QChar(0), false),
                  QStringLiteral("alt "));
        EXPECT_EQ(user.calls, 1);
    }
    MemoUser user([](TMemoFormEx* f) {
        EXPECT_EQ(f->windowTitle().left(9), QStringLiteral("Bemerkung"));
        EXPECT_EQ(f->Editor->document()->defaultFont().family(), QStringLiteral("Arial"));
        f->Editor->setPlainText(QStringLiteral("  neu\nzweite Zeile \n\t"));
        return Ok(f);
    });
    EXPECT_EQ(TMemoFormEx::_EditText(QStringLiteral("Bemerkung"), QStringLiteral("alt"), 0, false,
                                     false, QChar(0), false),
              QStringLiteral("neu\nzweite Zeile"));
}

TEST_F(MemoFormTest, RtfEditStartsFromThePlainTextAndReturnsBoth) {
    QString txt = QStringLiteral("Hallo Welt");
    QString rtf;
    MemoUser user([](TMemoFormEx* f) {
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Hallo Welt"));
        QTextCursor c(f->Editor->document());
        c.movePosition(QTextCursor::End);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral(" in Grün"), bold);
        return Ok(f);
    });
    EXPECT_TRUE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), txt, rtf, false, true, QChar(0), 0,
                                       false));
    EXPECT_EQ(txt, QStringLiteral("Hallo Welt in Grün"));
    ASSERT_TRUE(Rtf::IsRtf(rtf.toUtf8()));
    QTextDocument back;
    Rtf::Read(rtf.toUtf8(), &back);
    EXPECT_EQ(back.toPlainText(), txt);
    EXPECT_EQ(back.lastBlock().begin().fragment().charFormat().fontWeight(), QFont::Normal);
}

TEST_F(MemoFormTest, ConfirmingWithoutChangeKeepsTheBytesAndReportsNoChange) {
    // RTF from another writer, with parts our reader skips: confirmed unchanged it stays as it is.
    const QString foreign = QStringLiteral(
        "{\\rtf1\\ansi{\\*\\themedata 0102}{\\pict\\emfblip 0102}Gr\\'fc\\'dfe\\par}");
    QString txt = QStringLiteral("Grüße");
    QString rtf = foreign;
    MemoUser user([](TMemoFormEx* f) {
        EXPECT_FALSE(f->StatusHinweis->text().isEmpty()) << "the user is told what was left out";
        return Ok(f);
    });
    EXPECT_FALSE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), txt, rtf, false, true, QChar(0), 0,
                                        false));
    EXPECT_EQ(rtf, foreign);

    // A code page the reader does not know is named, and the bytes stay as they came.
    const QByteArray unknownPage = "{\\rtf1\\ansi\\ansicpg12345 caf\\'e9\\par}";
    QString odd = QString::fromLatin1(unknownPage);
    QString oddTxt;
    MemoUser named([](TMemoFormEx* f) {
        EXPECT_TRUE(f->StatusHinweis->text().contains(QStringLiteral("Codepage 12345")))
            << f->StatusHinweis->text().toStdString();
        return Ok(f);
    });
    TMemoFormEx::_EditText(QStringLiteral("Notiz"), oddTxt, odd, false, true, QChar(0), 0, false);
    EXPECT_EQ(odd, QString::fromLatin1(unknownPage));
    EXPECT_EQ(oddTxt, QStringLiteral("café"));

    // RTF handed over in txt alone comes back unchanged in txt and as the RTF.
    QString inTxt = foreign;
    QString noRtf;
    MemoUser same([](TMemoFormEx* f) { return Ok(f); });
    EXPECT_FALSE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), inTxt, noRtf, false, true,
                                        QChar(0), 0, false));
    EXPECT_EQ(inTxt, foreign);
    EXPECT_EQ(noRtf, foreign);

    // An edit undone again is no change either; an added character is one.
    QString plain = QStringLiteral("Text");
    QString none;
    MemoUser undone([](TMemoFormEx* f) {
        f->Editor->textCursor().insertText(QStringLiteral("x"));
        f->Undo();
        return Ok(f);
    });
    EXPECT_FALSE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), plain, none, false, false,
                                        QChar(0), 0, false));
    MemoUser added([](TMemoFormEx* f) {
        EXPECT_TRUE(f->FModified);
        return Ok(f);
    });
    EXPECT_TRUE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), plain, none, false, false,
                                       QChar(u'!'), 0, false));
    EXPECT_EQ(plain, QStringLiteral("Text!"));
    MemoUser blank([](TMemoFormEx* f) { return Ok(f); });
    EXPECT_FALSE(TMemoFormEx::_EditText(QStringLiteral("Notiz"), plain, none, false, false,
                                        QChar(u' '), 0, false));
}

TEST_F(MemoFormTest, ReadOnlyViewerReturnsAtOnceStaysOpenAndFreesItself) {
    MemoUser user([](TMemoFormEx*) { return int(Vcl::mrOk); });
    QString txt = QStringLiteral("nur lesen");
    QString rtf;
    s_dm->SetIsAdmin(false);
    EXPECT_FALSE(TMemoFormEx::_EditText(QStringLiteral("Info"), txt, rtf, true, false, QChar(u'x'),
                                        0, true));
    EXPECT_EQ(user.calls, 0) << "not modal";
    const QList<TMemoFormEx*> open = OpenMemoForms();
    ASSERT_EQ(open.size(), 1);
    QPointer<TMemoFormEx> f = open.first();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Info [ReadOnly]"));
    EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("nur lesen")) << "no character added";
    EXPECT_TRUE(f->Editor->isReadOnly());
    EXPECT_FALSE(f->OkBt->isEnabled());
    EXPECT_FALSE(f->btShowOnlyNonModal->isVisible());
    // The lock is for good.
    f->StatusLocked->click();
    EXPECT_TRUE(f->Editor->isReadOnly());
    Type(f->Editor, Qt::Key_Escape);
    FreeReleased();
    EXPECT_TRUE(f.isNull());
}

TEST_F(MemoFormTest, EscAsksBeforeDroppingAnEditThatOnlyChangedCase) {
    MemoUser user([this](TMemoFormEx* f) {
        f->Editor->selectAll();
        f->Editor->textCursor().insertText(QStringLiteral("ABC"));
        m_answers.Expect(QStringLiteral("verwerfen"), Vcl::mrNo);
        Type(f->Editor, Qt::Key_Escape);
        EXPECT_EQ(f->ModalResult(), Vcl::mrNone);
        m_answers.Expect(QStringLiteral("verwerfen"), Vcl::mrYes);
        Type(f->Editor, Qt::Key_Escape);
        return f->ModalResult();
    });
    EXPECT_EQ(TMemoFormEx::_EditText(QStringLiteral("F"), QStringLiteral("abc"), 0, false, false,
                                     QChar(0), false),
              QStringLiteral("abc"));
    EXPECT_EQ(m_answers.Questions().size(), 2u);
}

TEST_F(MemoFormTest, ReadOnlyCopyAsksFirstWhenTheTextWasChanged) {
    MemoUser user([this](TMemoFormEx* f) {
        f->Editor->textCursor().insertText(QStringLiteral("neu "));
        m_answers.Expect(QStringLiteral("verwerfen"), Vcl::mrNo);
        f->btShowOnlyNonModalClick();
        EXPECT_EQ(f->ModalResult(), Vcl::mrNone) << "No keeps the edit open";
        EXPECT_EQ(OpenMemoForms().size(), 0);
        m_answers.Expect(QStringLiteral("verwerfen"), Vcl::mrYes);
        f->btShowOnlyNonModalClick();
        const QList<TMemoFormEx*> viewers = OpenMemoForms();
        EXPECT_EQ(viewers.size(), 1);
        if (!viewers.isEmpty()) {
            EXPECT_EQ(viewers.first()->Editor->toPlainText(), QStringLiteral("neu Text"));
        }
        return f->ModalResult();
    });
    EXPECT_EQ(TMemoFormEx::_EditText(QStringLiteral("F"), QStringLiteral("Text"), 0, false, false,
                                     QChar(0), false),
              QStringLiteral("Text"));
}

TEST_F(MemoFormTest, WidthMarkerFollowsTheSettingAndOkStoresIt) {
    const struct {
        const char* stored;
        int shown;
    } cases[] = {{"abc", 30}, {nullptr, 30}, {"12", 12}};
    int n = 0;
    for (const auto& c : cases) {
        const QString field = QStringLiteral("Breite%1").arg(++n);
        if (c.stored)
            s_dm->SetSetting(QStringLiteral("MemoWidth_") + field, QString::fromLatin1(c.stored));
        MemoUser user([&](TMemoFormEx* f) {
            EXPECT_EQ(f->WidthMarker->value(), c.shown) << field.toStdString();
            f->show(); // OK stores the width only while the marker is visible
            f->WidthMarker->setValue(7);
            return Ok(f);
        });
        TMemoFormEx::_EditText(field, QStringLiteral("x"), 0, false, false, QChar(0), false);
        EXPECT_EQ(s_dm->GetSetting(QStringLiteral("MemoWidth_") + field), QStringLiteral("7"));
    }
}

TEST_F(MemoFormTest, TemplatesAreKeyedByOwnerOrFieldAndLogin) {
    const QString login = s_dm->FGetUsername();
    QObject owner;
    owner.setObjectName(QStringLiteral("FormAuftrag"));
    TMemoFormEx withOwner(&owner);
    withOwner.FFieldName = QStringLiteral("Bemerkung");
    EXPECT_EQ(withOwner.GetTemplateName(withOwner.BarButtonSaveTemplate),
              QStringLiteral("MEMO-TEMPLATE-TXT.Bt.FormAuftrag.") + login);
    TMemoFormEx alone;
    alone.FFieldName = QStringLiteral("Bemerkung");
    EXPECT_EQ(alone.GetTemplateName(alone.BarButtonSaveTemplate),
              QStringLiteral("MEMO-TEMPLATE-TXT.Bt.Bemerkung.") + login);
    EXPECT_EQ(alone.GetTemplateName(nullptr),
              QStringLiteral("MEMO-TEMPLATE-TXT.Last.Bemerkung.") + login);

    // OK keeps the text as the last one; F5 brings it back in the next edit.
    MemoUser first([](TMemoFormEx* f) {
        EXPECT_TRUE(f->isVorlageLeer());
        EXPECT_FALSE(f->BarButtonLoadTemplate->isEnabled());
        f->Editor->setPlainText(QStringLiteral("Standardtext"));
        f->BarButtonSaveTemplateClick(f->BarButtonSaveTemplate);
        f->Editor->setPlainText(QStringLiteral("zuletzt"));
        return Ok(f);
    });
    TMemoFormEx::_EditText(QStringLiteral("Vorlagenfeld"), QString(), 0, false, false, QChar(0),
                           false);
    MemoUser second([](TMemoFormEx* f) {
        EXPECT_FALSE(f->isVorlageLeer());
        EXPECT_TRUE(f->BarButtonLoadTemplate->isEnabled());
        Type(f->Editor, Qt::Key_F5);
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("zuletzt"));
        f->BarButtonLoadTemplateClick(f->BarButtonLoadTemplate);
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Standardtext"));
        return int(Vcl::mrCancel);
    });
    TMemoFormEx::_EditText(QStringLiteral("Vorlagenfeld"), QString(), 0, false, false, QChar(0),
                           false);
}

TEST_F(MemoFormTest, KeySnippetsMatchTheirExactCombinationAltGrCountingAsCtrlAlt) {
    TVoskDM_Dunmere system;
    system.OpenKeySnippets(*s_dm);
    ASSERT_EQ(VoskDM_Dunmere(), &system);
    ASSERT_TRUE(system.KeySnippetsOpen());
    TMemoFormEx f;
    QString txt, rtf;
    f.Editor->setPlainText(QString());
    Type(f.Editor, Qt::Key_F1, Qt::ControlModifier);
    Type(f.Editor, Qt::Key_F1, Qt::ShiftModifier);
    Type(f.Editor, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(f.Editor->toPlainText(), QString());
    Type(f.Editor, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Mit freundlichen Grüßen"));
    f.Editor->selectAll();
    Type(f.Editor, Qt::Key_G, Qt::GroupSwitchModifier, QStringLiteral("g"));
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Sehr geehrte Damen und Herren,"));
    Type(f.Editor, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(f.Editor->toPlainText(),
              QStringLiteral("Sehr geehrte Damen und Herren,Sehr geehrte Damen und Herren,"));
    // AltGr+Q reports the '@' it types; the row is found by the key's place.
    f.Editor->clear();
    QKeyEvent altGrQ(QEvent::KeyPress, Qt::Key_At, Qt::GroupSwitchModifier, 24, 0x40, 0,
                     QStringLiteral("@"));
    QApplication::sendEvent(f.Editor, &altGrQ);
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Anlage:"));
    // Nothing is typed into a locked text.
    f.Editor->setReadOnly(true);
    Type(f.Editor, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(f.Editor->toPlainText().contains(QStringLiteral("Grüßen")));
}

TEST_F(MemoFormTest, PackageInitFillsTheSlotsAndFinalizationEmptiesThem) {
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    EXPECT_TRUE(Voskdbcontrols::GetMemoFormConstructor.Assigned());
    EXPECT_TRUE(RtlDialog::FEditTextS.Assigned());
    EXPECT_TRUE(RtlDialog::FEditTextB.Assigned());
    QObject owner;
    std::unique_ptr<QWidget> made(Voskdbcontrols::GetMemoFormConstructor(&owner));
    EXPECT_TRUE(qobject_cast<TMemoFormEx*>(made.get()));
    made.reset();
    {
        MemoUser user([](TMemoFormEx* f) {
            f->Editor->setPlainText(QStringLiteral("über den Slot"));
            return Ok(f);
        });
        EXPECT_EQ(RtlDialog::FEditTextS(QStringLiteral("F"), QString(), 0, false, false, QChar(0),
                                        false),
                  QStringLiteral("über den Slot"));
    }
    hadrel.Finalize();
    EXPECT_FALSE(Voskdbcontrols::GetMemoFormConstructor.Assigned());
    EXPECT_FALSE(RtlDialog::FEditTextS.Assigned());
    EXPECT_FALSE(RtlDialog::FEditTextB.Assigned());
}
TEST_F(MemoFormTest, PrintGoesToThePrinterWithThePrintCaptionAndNewAsksFirst) {
    struct Recorder final : Corvale::Printers {
        Recorder() { old = SetInstance(this); }
        ~Recorder() override { SetInstance(old); }
        bool PrintDocument(const QTextDocument* doc, const QString& title, QWidget*) override {
            printed << title + u':' + doc->toPlainText();
            return true;
        }
        QStringList printed;
        Printers* old;
    } printer;
    TMemoFormEx f;
    EXPECT_EQ(f.FPrintCaption, QStringLiteral("Text"));
    f.SetPrintCaption(QStringLiteral("Auftrag 17"));
    f.Editor->setPlainText(QStringLiteral("Inhalt"));
    f.BarButtonPrintClick();
    EXPECT_EQ(printer.printed, QStringList{QStringLiteral("Auftrag 17:Inhalt")});
    m_answers.Expect(QStringLiteral("neu beginnen"), Vcl::mrNo);
    f.BarButtonNewClick();
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Inhalt"));
    m_answers.Expect(QStringLiteral("neu beginnen"), Vcl::mrYes);
    f.BarButtonNewClick();
    EXPECT_EQ(f.Editor->toPlainText(), QString());
}

TEST_F(MemoFormTest, CtrlTInTheEditorOpensTheCalculatorAndWritesIntoTheText) {
    TMemoFormEx f;
    f.show();
    f.Editor->setPlainText(QStringLiteral("Betrag: "));
    f.Editor->moveCursor(QTextCursor::End);
    Type(f.Editor, Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(TVoskCalc::IsVisible());
    for (QChar c : QStringLiteral("6*7"))
        Type(TVoskCalc::FCalcEdit, c.unicode(), Qt::NoModifier, QString(c));
    Type(f.Editor, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Betrag: 42"));
    EXPECT_TRUE(f.BarButtonUndo->isEnabled());
    f.Undo();
    EXPECT_EQ(f.Editor->toPlainText(), QStringLiteral("Betrag: "));
    EXPECT_TRUE(f.BarButtonRedo->isEnabled());
}

TEST_F(MemoFormTest, RichTextTemplatesKeepTheirFormatting) {
    MemoUser user([](TMemoFormEx* f) {
        QTextCursor c(f->Editor->document());
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral("Vorlage fett"), bold);
        f->BarButtonSaveTemplateClick(f->BarButtonSaveTemplate);
        f->Editor->clear();
        f->BarButtonLoadTemplateClick(f->BarButtonLoadTemplate);
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Vorlage fett"));
        QTextCursor at(f->Editor->document());
        at.setPosition(3);
        EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);
        return int(Vcl::mrCancel);
    });
    QString txt, rtf;
    TMemoFormEx::_EditText(QStringLiteral("RtfVorlage"), txt, rtf, false, true, QChar(0), 0, false);
    EXPECT_TRUE(Rtf::IsRtf(s_dm->LoadLastVal(QStringLiteral("MEMO-TEMPLATE-TXT.Bt.RtfVorlage.") +
                                                 s_dm->FGetUsername())
                               .toUtf8()));
}
