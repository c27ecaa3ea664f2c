// The memo editor's word-processor tools, driven through the form's buttons, dialogs and seams on
// a real database: find and replace, numbering, colours, symbols, pictures and the status items.
#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "RtfCodec.h"
#include "UMemoFormEx.Tools.h"
#include "TVoskRibbon.h"
#include "UMemoFormEx.h"
#include "Uloghelper.h"
#include "Vcl.Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QToolButton>

#include <functional>

namespace {

// Plays the user of the modal memo form: fn works on the rich-text form, which is then cancelled.
class ToolUser final : public Korvexcommonvcl::ModalForms {
public:
    explicit ToolUser(std::function<void(TMemoFormEx*)> fn) : m_fn(std::move(fn)) {
        m_old = SetInstance(this);
    }
    ~ToolUser() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        if (auto* memo = qobject_cast<TMemoFormEx*>(form))
            m_fn(memo);
        return Vcl::mrCancel;
    }

private:
    std::function<void(TMemoFormEx*)> m_fn;
    ModalForms* m_old;
};

// Edits text as RTF and runs fn on the open form.
void WithRtfForm(const QString& text, const std::function<void(TMemoFormEx*)>& fn) {
    ToolUser user(fn);
    QString txt = text;
    QString rtf;
    TMemoFormEx::_EditText(QStringLiteral("Bemerkung"), txt, rtf, false, true, QChar(0), 0, false);
}

// Answers the font and colour dialogs.
class FontColorAnswers final : public Vcl::FontColorDialogs {
public:
    FontColorAnswers() { m_old = SetInstance(this); }
    ~FontColorAnswers() override { SetInstance(m_old); }
    bool ChooseFont(QFont& font, QColor& color, QWidget*) override {
        shownFont = font;
        if (!answerFont)
            return false;
        font = *answerFont;
        color = answerColor;
        return true;
    }
    bool ChooseColor(QColor& color, QWidget*) override {
        ++colorAsked;
        if (!answerColor.isValid())
            return false;
        color = answerColor;
        return true;
    }
    std::optional<QFont> answerFont;
    QColor answerColor;
    QFont shownFont;
    int colorAsked = 0;

private:
    FontColorDialogs* m_old;
};

void Select(TMemoFormEx* f, int from, int to) {
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    f->Editor->setTextCursor(c);
}

void Search(Vcl::TFindDialog* d, const QString& text, Vcl::TFindOptions options) {
    d->SetFindText(text);
    d->SetOptions(options);
}

} // namespace

class MemoToolsTest : public FrameworkTest {};

TEST_F(MemoToolsTest, FindSearchesDownAndUpWithWholeWordAndMatchCase) {
    WithRtfForm(QStringLiteral("Ein Test, ein TEST, Testlauf und test."), [&](TMemoFormEx* f) {
        Vcl::TFindDialog* d = f->FindDialog;
        // Up from the start of the text there is nothing to search.
        Select(f, 0, 0);
        Search(d, QStringLiteral("test"), {});
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        d->BtFindNext->click();
        EXPECT_EQ(m_answers.Pending(), 0);
        ASSERT_EQ(m_answers.Questions().size(), 1u);
        EXPECT_EQ(m_answers.Questions().back().kind, Vcl::mtInformation);

        // Down, whole words, any case: "Test", "TEST", then "test" (not "Testlauf").
        Search(d, QStringLiteral("test"), Vcl::frDown | Vcl::frWholeWord);
        QList<int> hits;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(f->FindOne(d));
            hits << f->Editor->textCursor().selectionStart();
        }
        EXPECT_EQ(hits, (QList<int>{4, 14, 33}));
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        EXPECT_FALSE(f->FindOne(d));

        // Match case, searching up from the end: only "TEST"; the others differ in case.
        f->Editor->moveCursor(QTextCursor::End);
        Search(d, QStringLiteral("TEST"), Vcl::frMatchCase);
        EXPECT_TRUE(f->FindOne(d));
        EXPECT_EQ(f->Editor->textCursor().selectionStart(), 14);
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        EXPECT_FALSE(f->FindOne(d));
        // Up, a hit must end before the selection start.
        Select(f, 6, 6);
        Search(d, QStringLiteral("Test"), {});
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        EXPECT_FALSE(f->FindOne(d));
        Select(f, 8, 8);
        EXPECT_TRUE(f->FindOne(d));
        EXPECT_EQ(f->Editor->textCursor().selectionStart(), 4);
    });
}

TEST_F(MemoToolsTest, ReplaceAllCountsEveryHitInOneUndoStep) {
    WithRtfForm(QStringLiteral("aaaa b aa"), [&](TMemoFormEx* f) {
        Vcl::TReplaceDialog* d = f->ReplaceDialog;
        // Adjacent hits right at the caret, deleted: each next hit starts where the last did.
        Select(f, 0, 0);
        Search(d, QStringLiteral("aa"), Vcl::frDown);
        d->SetReplaceText(QString());
        m_answers.Expect(QStringLiteral("3 Stelle(n) ersetzt"), Vcl::mrOk);
        d->BtReplaceAll->click();
        EXPECT_EQ(m_answers.Pending(), 0);
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral(" b "));
        EXPECT_EQ(f->Editor->textCursor().position(), 0);
        // One undo brings all of it back.
        f->BarButtonUndo->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("aaaa b aa"));
        EXPECT_FALSE(f->Editor->document()->isUndoAvailable());

        // A replacement holding the search text ends, downwards and upwards.
        Select(f, 0, 0);
        Search(d, QStringLiteral("b"), Vcl::frDown);
        d->SetReplaceText(QStringLiteral("bb"));
        m_answers.Expect(QStringLiteral("1 Stelle(n) ersetzt"), Vcl::mrOk);
        f->ReplaceOne(nullptr); // no dialog: nothing happens
        d->BtReplaceAll->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("aaaa bb aa"));
        f->Editor->moveCursor(QTextCursor::End);
        Search(d, QStringLiteral("a"), Vcl::TFindOptions());
        d->SetReplaceText(QStringLiteral("xa"));
        m_answers.Expect(QStringLiteral("6 Stelle(n) ersetzt"), Vcl::mrOk);
        d->BtReplaceAll->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("xaxaxaxa bb xaxa"));

        // Nothing to replace.
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        Search(d, QStringLiteral("zz"), Vcl::frDown);
        d->BtReplaceAll->click();
        EXPECT_EQ(m_answers.Pending(), 0);
    });
}

TEST_F(MemoToolsTest, ReplaceComparesTheSelectionInUpperCaseUnlessMatchCase) {
    WithRtfForm(QStringLiteral("Ort ort ORT"), [&](TMemoFormEx* f) {
        Vcl::TReplaceDialog* d = f->ReplaceDialog;
        Select(f, 0, 3);
        Search(d, QStringLiteral("ort"), Vcl::frDown | Vcl::frMatchCase);
        d->SetReplaceText(QStringLiteral("Platz"));
        // "Ort" is not "ort" with match case: not replaced, the next hit is selected.
        d->BtReplace->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Ort ort ORT"));
        EXPECT_EQ(f->Editor->textCursor().selectedText(), QStringLiteral("ort"));
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        d->BtReplace->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Ort Platz ORT"));
        // Without match case the upper-case selection counts.
        Select(f, 10, 13);
        Search(d, QStringLiteral("ort"), Vcl::frDown);
        m_answers.Expect(QStringLiteral("nicht gefunden"), Vcl::mrOk);
        d->BtReplace->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Ort Platz Platz"));
    });
}

TEST_F(MemoToolsTest, FindDialogMovesOutOfTheCaretsWay) {
    const QRect screen(0, 0, 1000, 800);
    const QRect dialog(300, 100, 400, 200);
    // Not covered: it stays.
    EXPECT_EQ(TMemoFormEx::DialogTopOutOfTheWay(dialog, QPoint(50, 150), screen), 100);
    // Caret in the upper half: the dialog's top goes 40 pixels below it.
    EXPECT_EQ(TMemoFormEx::DialogTopOutOfTheWay(dialog, QPoint(350, 150), screen), 190);
    // Lower half: the dialog ends 20 pixels above it.
    const QRect low(300, 500, 400, 200);
    EXPECT_EQ(TMemoFormEx::DialogTopOutOfTheWay(low, QPoint(350, 600), screen), 600 - 20 - 200);
}

TEST_F(MemoToolsTest, ColorGalleryShadesCaptionsAndNotifications) {
    using P = TColorPickerController;
    // Darker by 50 and 75, lighter by 80 of C00000 and 92D050.
    EXPECT_EQ(P::GetAccentColorScheme(QColor(0xC00000)),
              (QList<QColor>{QColor(0x600000), QColor(0x300000), QColor(0xF2CCCC), QColor(0xE69999),
                             QColor(0xD96666), QColor(0xD04040)}));
    EXPECT_EQ(P::CreateAccent(QColor(0x92D050), akLighter80), QColor(0xE9F6DC));
    EXPECT_EQ(P::CreateAccent(QColor(0x92D050), akDarker25), QColor(0x6E9C3C));
    EXPECT_EQ(P::CreateAccent(QColor(0x92D050), 99), QColor(0x83BB48)); // darker by 10
    EXPECT_EQ(P::ColorCaption(QColor(0x0070C0)), QStringLiteral("$0070C0"));
    EXPECT_EQ(P::ColorCaption(QColor(0xFF0000)), QStringLiteral("Rot"));

    FontColorAnswers dialogs;
    WithRtfForm(QStringLiteral("Farbe"), [&](TMemoFormEx* f) {
        P* picker = f->FColorPicker;
        ASSERT_EQ(picker->ThemeItems.size(), 60);
        ASSERT_EQ(picker->StandardItems.size(), 10);
        // Row 2 (lighter by 80), column 7 (0070C0).
        EXPECT_EQ(picker->ThemeItems[2 * 10 + 7]->property("color").value<QColor>(),
                  QColor(0xCCE2F2));
        EXPECT_EQ(picker->StandardItems[9]->toolTip(), QStringLiteral("$7030A0"));
        int changes = 0;
        const auto old = picker->OnColorChanged;
        picker->OnColorChanged = [&] {
            ++changes;
            old();
        };
        Select(f, 0, 5);
        picker->StandardItems[1]->click(); // red
        picker->StandardItems[1]->click();
        picker->SetColor(QColor(0xFF0000));
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(f->Editor->textCursor().charFormat().foreground().color(), QColor(0xFF0000));
        // "More colours" asks the dialog; cancelling changes nothing.
        picker->MoreColorsButton->trigger();
        EXPECT_EQ(dialogs.colorAsked, 1);
        EXPECT_EQ(changes, 1);
        // No colour: the text's default, which is not written as a colour.
        picker->NoColorButton->trigger();
        EXPECT_EQ(changes, 2);
        EXPECT_FALSE(picker->Color().isValid());
        EXPECT_FALSE(Rtf::Write(f->Editor->document()).contains("\\cf"));
        // Choosing a scheme rebuilds the gallery and tints the bottom panel.
        EXPECT_EQ(f->Ribbon->property("ColorSchemeName").toString(), QStringLiteral("Blue"));
        picker->ColorMapMenu->actions().at(2)->trigger();
        EXPECT_EQ(f->Ribbon->property("ColorSchemeName").toString(), QStringLiteral("Silver"));
        EXPECT_EQ(picker->ThemeItems.size(), 60);
    });
}

TEST_F(MemoToolsTest, EachNumberingEntrySurvivesWritingAndReading) {
    WithRtfForm(QStringLiteral("eins\nzwei\ndrei"), [&](TMemoFormEx* f) {
        const struct {
            int entry;
            QTextListFormat::Style style;
            QString suffix;
        } cases[] = {{0, QTextListFormat::ListDisc, QString()},
                     {1, QTextListFormat::ListDecimal, QStringLiteral(".")},
                     {2, QTextListFormat::ListLowerAlpha, QStringLiteral(".")}};
        EXPECT_TRUE(f->FNumbersController->Entries[0]->isChecked()); // preselected
        for (const auto& c : cases) {
            SCOPED_TRACE(c.entry);
            f->Editor->selectAll();
            f->FNumbersController->Entries[c.entry]->trigger();
            EXPECT_TRUE(f->BarButtonBullets->isChecked());
            EXPECT_EQ(f->FNumbersController->GetNumbTyp(), c.entry + 1);
            EXPECT_EQ(f->FNumbersController->GetNumbStyle(), 512);
            QTextDocument back;
            Rtf::Read(Rtf::Write(f->Editor->document()), &back);
            int items = 0;
            for (QTextBlock b = back.begin(); b.isValid(); b = b.next()) {
                ASSERT_TRUE(b.textList());
                EXPECT_EQ(b.textList()->format().style(), c.style);
                if (!c.suffix.isEmpty()) {
                    EXPECT_EQ(b.textList()->format().numberSuffix(), c.suffix);
                }
                ++items;
            }
            EXPECT_EQ(items, 3);
            EXPECT_EQ(back.toPlainText(), QStringLiteral("eins\nzwei\ndrei"));
        }
        // The caret in a numbered paragraph sets the button and its remembered entry.
        f->Editor->moveCursor(QTextCursor::Start);
        f->EditorSelectionChange();
        EXPECT_EQ(f->FNumbButton, f->FNumbersController->Entries[2]);
        // The button up takes the numbering away.
        f->Editor->selectAll();
        f->BarButtonBullets->click();
        EXPECT_FALSE(f->BarButtonBullets->isChecked());
        for (QTextBlock b = f->Editor->document()->begin(); b.isValid(); b = b.next())
            EXPECT_EQ(b.textList(), nullptr);
    });
}

TEST_F(MemoToolsTest, StatusAndButtonsFollowTheCaret) {
    WithRtfForm(QStringLiteral("erste Zeile\nzweite"), [&](TMemoFormEx* f) {
        QTextCursor c = f->Editor->textCursor();
        c.setPosition(15); // "zwe|ite"
        f->Editor->setTextCursor(c);
        EXPECT_EQ(f->StatusLineNumber->text(), QStringLiteral("Zeile: 2"));
        EXPECT_EQ(f->StatusColumnNumber->text(), QStringLiteral("Spalte: 4"));
        c.setPosition(0);
        f->Editor->setTextCursor(c);
        EXPECT_EQ(f->StatusLineNumber->text(), QStringLiteral("Zeile: 1"));
        EXPECT_EQ(f->StatusColumnNumber->text(), QStringLiteral("Spalte: 1"));

        // Bold and centred on the first line; the buttons follow when the caret comes back.
        Select(f, 0, 5);
        f->BarButtonBold->click();
        f->BarButtonAlignCenter->click();
        c.setPosition(14);
        f->Editor->setTextCursor(c);
        EXPECT_FALSE(f->BarButtonBold->isChecked());
        EXPECT_TRUE(f->BarButtonAlignLeft->isChecked());
        c.setPosition(2);
        f->Editor->setTextCursor(c);
        EXPECT_TRUE(f->BarButtonBold->isChecked());
        EXPECT_TRUE(f->BarButtonAlignCenter->isChecked());
        EXPECT_FALSE(f->BarButtonAlignLeft->isChecked());
        // Centre up again: left.
        f->BarButtonAlignCenter->click();
        EXPECT_TRUE(f->BarButtonAlignLeft->isChecked());
        EXPECT_FALSE(f->FUpdating);
    });
}

TEST_F(MemoToolsTest, FontDialogStartsFromTheSelectionAndCopiesBack) {
    FontColorAnswers dialogs;
    WithRtfForm(QStringLiteral("Schrift"), [&](TMemoFormEx* f) {
        Select(f, 0, 7);
        f->BarButtonItalic->click();
        f->BarButtonFontDialog->click(); // cancelled
        EXPECT_TRUE(dialogs.shownFont.italic());
        QFont chosen(QStringLiteral("Courier New"));
        chosen.setPointSize(17);
        chosen.setBold(true);
        dialogs.answerFont = chosen;
        dialogs.answerColor = QColor(0x00B050);
        f->BarButtonFontDialog->click();
        const QTextCharFormat cf = f->Editor->textCursor().charFormat();
        EXPECT_EQ(cf.fontPointSize(), 17);
        EXPECT_EQ(cf.fontWeight(), QFont::Bold);
        EXPECT_EQ(cf.foreground().color(), QColor(0x00B050));
        // The combos and the picker follow, without their events touching the text.
        EXPECT_EQ(f->BarComboFontSize->currentText(), QStringLiteral("17"));
        EXPECT_EQ(f->FColorPicker->Color(), QColor(0x00B050));
        const QByteArray rtf = Rtf::Write(f->Editor->document());
        EXPECT_TRUE(rtf.contains("\\fs34\\b")) << rtf.toStdString();
    });
}

TEST_F(MemoToolsTest, SymbolGoesInWithTheComboSizeAndPickerColourThroughTheClipboard) {
    WithRtfForm(QStringLiteral("Preis: "), [&](TMemoFormEx* f) {
        ASSERT_EQ(f->SymbolItems.size(), 8 + 10 + 4 + 5);
        QToolButton* euro = f->SymbolItems[22];
        EXPECT_EQ(euro->toolTip(), QStringLiteral("€ #8364"));
        const double r = f->logicalDpiX() / 96.0;
        EXPECT_EQ(euro->iconSize(), QSize(qRound(32 * r), qRound(32 * r)));
        const QImage glyph = TMemoFormEx::CreateBitmap(0x20AC, QFont(QStringLiteral("Arial")), 1);
        EXPECT_EQ(glyph.size(), QSize(32, 32));
        EXPECT_EQ(glyph.pixelColor(0, 0), QColor(0xFA, 0xFA, 0xFA));

        f->Editor->moveCursor(QTextCursor::End);
        f->BarComboFontSize->setEditText(QStringLiteral("20"));
        f->FColorPicker->SetColor(QColor(0x7030A0));
        m_answers.SetText(QStringLiteral("vorher"));
        euro->click();
        EXPECT_EQ(f->Editor->toPlainText(), QStringLiteral("Preis: €"));
        EXPECT_EQ(m_answers.Text(), QStringLiteral("€"));
        QTextCursor c(f->Editor->document());
        c.setPosition(8);
        const QTextCharFormat cf = c.charFormat();
        EXPECT_EQ(cf.fontPointSize(), 20);
        EXPECT_EQ(cf.foreground().color(), QColor(0x7030A0));
        EXPECT_EQ(cf.fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
    });
}

TEST_F(MemoToolsTest, PictureIsInsertedAtTheSelectionOrRefused) {
    QTemporaryDir dir;
    QImage img(60, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            img.setPixelColor(x, y, QColor(x * 4, y * 6, 128));
    const QString png = dir.filePath(QStringLiteral("bild.png"));
    ASSERT_TRUE(img.save(png));
    const QString broken = dir.filePath(QStringLiteral("kaputt.png"));
    {
        QFile out(broken);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("kein Bild");
    }
    // A 4,001 x 4,000 picture whose header alone tells its size.
    const QString huge = dir.filePath(QStringLiteral("riesig.pgm"));
    {
        QFile out(huge);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("P5\n4001 4000\n255\n");
    }
    WithRtfForm(QStringLiteral("Anfang Ende"), [&](TMemoFormEx* f) {
        ASSERT_FALSE(f->BarButtonImageInsert->isHidden());
        Select(f, 7, 7);
        m_answers.ExpectFile(QString(), {png});
        f->BarButtonImageInsert->click();
        EXPECT_EQ(f->Editor->textCursor().selectionStart(), 7);
        EXPECT_EQ(f->Editor->textCursor().selectionEnd(), 7);
        QTextCursor c(f->Editor->document());
        c.setPosition(8);
        ASSERT_TRUE(c.charFormat().isImageFormat());
        // Stored and read back: the same pixels.
        QTextDocument back;
        Rtf::Read(Rtf::Write(f->Editor->document()), &back);
        QImage shown;
        for (QTextBlock b = back.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat())
                    shown = back.resource(QTextDocument::ImageResource,
                                          QUrl(it.fragment().charFormat().toImageFormat().name()))
                                .value<QImage>();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), img);

        const QString before = f->Editor->toPlainText();
        // Not a picture: nothing inserted, the failure logged under the handler's name.
        TLogSink::Clear();
        m_answers.ExpectFile(QString(), {broken});
        f->BarButtonImageInsert->click();
        EXPECT_EQ(f->Editor->toPlainText(), before);
        EXPECT_TRUE(TLogSink::Contains(QStringLiteral(".BarButtonImageInsertClick")));
        // Too large: refused with a message, before it is decoded.
        m_answers.ExpectFile(QString(), {huge});
        m_answers.Expect(QStringLiteral("höchstens 16 Megapixel"), Vcl::mrOk);
        f->BarButtonImageInsert->click();
        EXPECT_EQ(f->Editor->toPlainText(), before);
        // Cancelled dialog.
        m_answers.ExpectFile(QString(), {});
        f->BarButtonImageInsert->click();
        EXPECT_EQ(f->Editor->toPlainText(), before);
    });
}

TEST_F(MemoToolsTest, PlainTextHidesThePictureButtonAndLocksTheTools) {
    ToolUser user([](TMemoFormEx* f) {
        EXPECT_TRUE(f->BarButtonImageInsert->isHidden());
        EXPECT_FALSE(f->BarButtonBullets->isEnabled());
        EXPECT_FALSE(f->BarButtonReplace->isEnabled());
        EXPECT_TRUE(f->BarButtonFind->isEnabled());
    });
    TMemoFormEx::_EditText(QStringLiteral("Notiz"), QStringLiteral("nur Text"), 0, false, false,
                           QChar(0), false);
}

TEST_F(MemoToolsTest, CaptionsAndHintsComeFromTheTextStore) {
    WithRtfForm(QString(), [&](TMemoFormEx* f) {
        for (QToolButton* b : f->findChildren<QToolButton*>()) {
            if (b->window() != f || !(b->objectName().startsWith(QStringLiteral("BarButton")) ||
                                      b->objectName().startsWith(QStringLiteral("Status"))))
                continue;
            SCOPED_TRACE(b->objectName().toStdString());
            EXPECT_FALSE(b->toolTip().isEmpty());
            EXPECT_FALSE(b->toolTip().contains(u'&'));
            EXPECT_FALSE(b->accessibleName().isEmpty());
        }
        EXPECT_EQ(f->BarButtonFontColor->text(), QStringLiteral("Schriftfarbe"));
        EXPECT_EQ(f->BarButtonAlignLeft->text(), QStringLiteral("Linksbündig"));
        EXPECT_EQ(f->BarButtonPaste->text(), QStringLiteral("Einfügen"));
        EXPECT_EQ(f->BarButtonCopy->text(), QStringLiteral("Kopieren"));
        EXPECT_EQ(f->FNumbersController->Entries[0]->text(), QStringLiteral("Aufzählungszeichen"));
        EXPECT_EQ(f->FColorPicker->MoreColorsButton->text(), QStringLiteral("Weitere Farben…"));
        EXPECT_EQ(f->windowTitle().left(9), QStringLiteral("Bemerkung"));
        EXPECT_EQ(f->FPrintCaption, QStringLiteral("Text"));
    });
}

TEST_F(MemoToolsTest, MiniToolBarOnASelectionContextMenuAlwaysOnTheRightButton) {
    WithRtfForm(QStringLiteral("kurzer Text"), [&](TMemoFormEx* f) {
        f->show();
        QWidget* viewport = f->Editor->viewport();
        const QPoint at(10, 10);
        const auto release = [&](Qt::MouseButton button) {
            QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at),
                          viewport->mapToGlobal(QPointF(at)), button, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &e);
        };
        // Without a selection: nothing on the left button, the context menu alone on the right.
        Select(f, 3, 3);
        release(Qt::LeftButton);
        EXPECT_FALSE(f->MiniToolBar->isVisible());
        f->EditorContextPopup(viewport->mapToGlobal(at));
        EXPECT_TRUE(f->EditorPopupMenu->isVisible());
        EXPECT_FALSE(f->MiniToolBar->isVisible());
        f->EditorPopupMenu->hide();

        // With one: the mini tool bar, whose buttons act as the ribbon's.
        Select(f, 0, 6);
        release(Qt::LeftButton);
        ASSERT_TRUE(f->MiniToolBar->isVisible());
        auto* bold = f->MiniToolBar->findChild<QToolButton*>(QStringLiteral("MiniBarButtonBold"));
        ASSERT_NE(bold, nullptr);
        EXPECT_FALSE(bold->toolTip().isEmpty());
        bold->click();
        EXPECT_TRUE(f->BarButtonBold->isChecked());
        EXPECT_TRUE(bold->isChecked());
        EXPECT_EQ(f->Editor->textCursor().charFormat().fontWeight(), QFont::Bold);
        f->MiniToolBar->hide();
        f->EditorContextPopup(viewport->mapToGlobal(at));
        EXPECT_TRUE(f->MiniToolBar->isVisible());
        EXPECT_TRUE(f->EditorPopupMenu->isVisible());
        f->EditorPopupMenu->hide();
        f->MiniToolBar->hide();
    });
}
