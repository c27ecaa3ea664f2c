#include "UMemoFormEx.h"
#include "UMemoFormEx.Tools.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "RtfCodec.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "UVirtualKeyboard.h"
#include "UVoskCalc.h"
#include "UDataModul_Dunmere.h"
#include "UnitTable.h"
#include "RtlDialog.h"
#include "TVoskRibbon.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskPrinters.h"
#include "Voskdbcontrols.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QAction>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace {

QString Text(int nr, const char* def) { return makeText(nr, QString::fromUtf8(def)); }

// "%d" of a text from the store filled with n.
QString FormatNr(int nr, const char* def, int n) {
    return Text(nr, def).replace(QStringLiteral("%d"), QString::number(n));
}

// The icon of the desktop's theme by name.
QIcon Themed(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

} // namespace

TMemoFormEx::TMemoFormEx(QObject* owner, QWidget* parent) : TAbstractMemoForm(owner, parent) {
    setObjectName(QStringLiteral("MemoFormEx"));
    SetPosition(Vcl::poOwnerFormCenter);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(4, 4, 4, 4);
    main->setSpacing(2);

    // The ribbon: tabs of tool groups. A minimised ribbon stays open while the user works in the
    // editor, so that several tools can be applied to a selection in turn.
    Ribbon = Vcl::Owned(this, new TVoskRibbon(this), QStringLiteral("Ribbon"));
    using G = TVoskRibbonGroup;
    TVoskRibbonTab* tab = Ribbon->AddTab(QStringLiteral("RibbonTabStart"), Text(12264, "Start"));
    G* g = tab->AddGroup(QStringLiteral("GroupFile"), Text(17892, "Datei"));
    BarButtonNew = g->AddButton(QStringLiteral("BarButtonNew"), Text(17893, "Neu"),
                                Themed("document-new"), Text(17894, "Neuen Text beginnen"));
    BarButtonPrint = g->AddButton(QStringLiteral("BarButtonPrint"), Text(17895, "Drucken"),
                                  Themed("document-print"));
    g = tab->AddGroup(QStringLiteral("GroupTemplate"), Text(17896, "Vorlage"));
    BarButtonSaveTemplate =
        g->AddButton(QStringLiteral("BarButtonSaveTemplate"), Text(17897, "Speichern"),
                     Themed("document-save"), Text(17898, "Text als Vorlage speichern"));
    BarButtonLoadTemplate =
        g->AddButton(QStringLiteral("BarButtonLoadTemplate"), Text(17899, "Laden"),
                     Themed("document-open"), Text(17900, "Gespeicherte Vorlage laden"));
    g = tab->AddGroup(QStringLiteral("GroupEdit"), Text(17901, "Bearbeiten"));
    BarButtonPaste = g->AddButton(QStringLiteral("BarButtonPaste"), Text(1184, "Einfügen"),
                                  Themed("edit-paste"));
    BarButtonCut = g->AddButton(QStringLiteral("BarButtonCut"), Text(17904, "Ausschneiden"),
                                Themed("edit-cut"), {}, G::Small);
    BarButtonCopy = g->AddButton(QStringLiteral("BarButtonCopy"), Text(6218, "Kopieren"),
                                 Themed("edit-copy"), {}, G::Small);
    BarButtonSelectAll =
        g->AddButton(QStringLiteral("BarButtonSelectAll"), Text(17910, "Alles markieren"),
                     Themed("edit-select-all"), {}, G::Small);
    BarButtonUndo = g->AddButton(QStringLiteral("BarButtonUndo"), Text(17902, "Rückgängig"),
                                 Themed("edit-undo"), {}, G::Small);
    BarButtonRedo = g->AddButton(QStringLiteral("BarButtonRedo"), Text(17903, "Wiederholen"),
                                 Themed("edit-redo"), {}, G::Small);
    BarButtonClear = g->AddButton(QStringLiteral("BarButtonClear"), Text(17911, "Löschen"),
                                  Themed("edit-clear"), {}, G::Small);
    BarButtonFind = g->AddButton(QStringLiteral("BarButtonFind"), Text(17912, "Suchen"),
                                 Themed("edit-find"), {}, G::Small);
    BarButtonReplace = g->AddButton(QStringLiteral("BarButtonReplace"), Text(26188, "Ersetzen"),
                                    Themed("edit-find-replace"), {}, G::Small);
    BarButtonSearchF2 =
        g->AddButton(QStringLiteral("BarButtonSearchF2"), Text(17885, "Nachschlagen (F2)"),
                     Themed("edit-find-mail"), {}, G::Small);

    tab = Ribbon->AddTab(QStringLiteral("RibbonTabFormat"), Text(17875, "Format"));
    g = tab->AddGroup(QStringLiteral("GroupFont"), Text(934, "Schrift"));
    BarComboFontName = Vcl::Owned(this, new QFontComboBox(this), QStringLiteral("BarComboFontName"));
    BarComboFontName->setFocusPolicy(Qt::ClickFocus);
    BarComboFontName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    BarComboFontName->setMinimumContentsLength(14);
    g->AddWidget(BarComboFontName, Text(954, "Schriftart"));
    BarComboFontSize = Vcl::Owned(this, new QComboBox(this), QStringLiteral("BarComboFontSize"));
    BarComboFontSize->setEditable(true);
    for (int s : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        BarComboFontSize->addItem(QString::number(s));
    BarComboFontSize->setFocusPolicy(Qt::ClickFocus);
    g->AddWidget(BarComboFontSize, Text(975, "Schriftgröße"));
    BarButtonBold = g->AddButton(QStringLiteral("BarButtonBold"), Text(1022, "Fett"),
                                 Themed("format-text-bold"), {}, G::Icon);
    BarButtonItalic = g->AddButton(QStringLiteral("BarButtonItalic"), Text(1032, "Kursiv"),
                                   Themed("format-text-italic"), {}, G::Icon);
    BarButtonUnderline =
        g->AddButton(QStringLiteral("BarButtonUnderline"), Text(1063, "Unterstrichen"),
                     Themed("format-text-underline"), {}, G::Icon);
    BarButtonFontColor =
        g->AddButton(QStringLiteral("BarButtonFontColor"), Text(6216, "Schriftfarbe"),
                     Themed("format-text-color"), {}, G::Icon);
    BarButtonFontDialog = g->AddButton(QStringLiteral("BarButtonFontDialog"),
                                       Text(6215, "Schrift…"), Themed("preferences-desktop-font"));
    g = tab->AddGroup(QStringLiteral("GroupParagraph"), Text(6217, "Absatz"));
    BarButtonAlignLeft =
        g->AddButton(QStringLiteral("BarButtonAlignLeft"), Text(6219, "Linksbündig"),
                     Themed("format-justify-left"), {}, G::Icon);
    BarButtonAlignCenter =
        g->AddButton(QStringLiteral("BarButtonAlignCenter"), Text(6220, "Zentriert"),
                     Themed("format-justify-center"), {}, G::Icon);
    BarButtonAlignRight =
        g->AddButton(QStringLiteral("BarButtonAlignRight"), Text(11995, "Rechts"),
                     Themed("format-justify-right"), Text(11995, "Rechtsbündig"), G::Icon);
    BarButtonBullets = g->AddButton(QStringLiteral("BarButtonBullets"), Text(11996, "Aufzählung"),
                                    Themed("format-list-unordered"), {}, G::Small);

    tab = Ribbon->AddTab(QStringLiteral("RibbonTabInsert"), Text(17877, "Einfügen und Ansicht"));
    g = tab->AddGroup(QStringLiteral("GroupInsert"), Text(12645, "Einfügen"));
    BarButtonSymbol = g->AddButton(QStringLiteral("BarButtonSymbol"), Text(17166, "Symbol"),
                                   Themed("character-set"));
    BarButtonImageInsert = g->AddButton(QStringLiteral("BarButtonImageInsert"),
                                        Text(17400, "Bild"), Themed("insert-image"));
    g = tab->AddGroup(QStringLiteral("GroupView"), Text(17881, "Ansicht"));
    BarButtonWordWrap =
        g->AddButton(QStringLiteral("BarButtonWordWrap"), Text(17882, "Zeilenumbruch"),
                     Themed("format-text-direction-ltr"), Text(17882, "Zeilenumbruch ein oder aus"));
    BarButtonKeyboard =
        g->AddButton(QStringLiteral("BarButtonKeyboard"), Text(17878, "Tastatur"),
                     Themed("input-keyboard"), Text(17878, "Bildschirmtastatur zeigen"));
    main->addWidget(Ribbon);

    WidthMarker = Vcl::Owned(this, new QSlider(Qt::Horizontal, this), QStringLiteral("WidthMarker"));
    WidthMarker->setRange(0, 30);
    WidthMarker->setToolTip(Text(17876, "Markierung der Seitenbreite"));
    WidthMarker->setAccessibleName(Text(17876, "Markierung der Seitenbreite"));
    WidthMarker->setFocusPolicy(Qt::NoFocus);
    main->addWidget(WidthMarker);

    Editor = Vcl::Owned(this, new QTextEdit(this), QStringLiteral("Editor"));
    Editor->setAccessibleName(Text(757, "Text"));
    Editor->setToolTip(Text(757, "Text"));
    Editor->setTabChangesFocus(false);
    main->addWidget(Editor, 1);
    Ribbon->AddKeepOpenWidget(Editor);
    PanelPageWidth = new QFrame(Editor->viewport());
    PanelPageWidth->setObjectName(QStringLiteral("PanelPageWidth"));
    PanelPageWidth->setFrameShape(QFrame::VLine);
    PanelPageWidth->setStyleSheet(QStringLiteral("color: #B0B0B0;"));
    PanelPageWidth->setAttribute(Qt::WA_TransparentForMouseEvents);

    FrameVirtualKeyboard1 = Vcl::Owned(this, new TFrameVirtualKeyboard(this),
                                       QStringLiteral("FrameVirtualKeyboard1"));
    FrameVirtualKeyboard1->hide();
    main->addWidget(FrameVirtualKeyboard1, 0, Qt::AlignHCenter);

    PanelBottom = Vcl::Owned(this, new QWidget(this), QStringLiteral("PanelBottom"));
    auto* bottom = new QHBoxLayout(PanelBottom);
    bottom->setContentsMargins(4, 4, 4, 4);
    OkBt = Vcl::Owned(this, new QPushButton(Text(5217, "&Ok"), this), QStringLiteral("OkBt"));
    AbortBt = Vcl::Owned(this, new QPushButton(Text(5218, "&Abbrechen"), this),
                         QStringLiteral("AbortBt"));
    btShowOnlyNonModal = Vcl::Owned(this, new QPushButton(QStringLiteral("&Nicht modal zum Lesen öffnen"), this),
                                    QStringLiteral("btShowOnlyNonModal"));
    OkBt->setToolTip(QStringLiteral("Text übernehmen (Strg+S)"));
    AbortBt->setToolTip(QStringLiteral("Ohne Übernahme schließen (Esc)"));
    btShowOnlyNonModal->setToolTip(
        QStringLiteral("Den Text in einem eigenen Fenster nur zum Lesen zeigen"));
    for (QPushButton* b : {OkBt, AbortBt, btShowOnlyNonModal}) {
        b->setAccessibleName(b->text().remove(u'&'));
        b->setAutoDefault(false);
    }
    bottom->addWidget(OkBt);
    bottom->addWidget(AbortBt);
    bottom->addStretch();
    bottom->addWidget(btShowOnlyNonModal);
    main->addWidget(PanelBottom);

    StatusBar = Vcl::Owned(this, new QStatusBar(this), QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusLineNumber = new QLabel(StatusBar);
    StatusLineNumber->setObjectName(QStringLiteral("StatusLineNumber"));
    StatusLineNumber->setToolTip(QStringLiteral("Zeile der Einfügemarke"));
    StatusColumnNumber = new QLabel(StatusBar);
    StatusColumnNumber->setObjectName(QStringLiteral("StatusColumnNumber"));
    StatusColumnNumber->setToolTip(QStringLiteral("Spalte der Einfügemarke"));
    StatusLocked = new QToolButton(StatusBar);
    StatusLocked->setObjectName(QStringLiteral("StatusLocked"));
    StatusLocked->setCheckable(true);
    StatusLocked->setAutoRaise(true);
    StatusLocked->setFocusPolicy(Qt::NoFocus);
    StatusLocked->setToolTip(QStringLiteral("Text sperren oder zum Bearbeiten freigeben"));
    StatusLocked->setAccessibleName(QStringLiteral("Sperre"));
    StatusModified = new QLabel(StatusBar);
    StatusModified->setObjectName(QStringLiteral("StatusModified"));
    StatusModified->setToolTip(QStringLiteral("Zeigt, ob der Text geändert wurde"));
    StatusHinweis = new QLabel(StatusBar);
    StatusHinweis->setObjectName(QStringLiteral("StatusHinweis"));
    StatusHinweis->setToolTip(QStringLiteral("Hinweis zum gelesenen Text"));
    for (QLabel* l : {StatusLineNumber, StatusColumnNumber, StatusModified, StatusHinweis})
        l->setAccessibleName(l->toolTip());
    StatusBar->addWidget(StatusLineNumber);
    StatusBar->addWidget(StatusColumnNumber);
    StatusBar->addWidget(StatusLocked);
    StatusBar->addWidget(StatusModified);
    StatusBar->addWidget(StatusHinweis, 1);
    main->addWidget(StatusBar);

    const QString caption = Text(757, "Text");
    setWindowTitle(caption);
    SetPrintCaption(caption);

    // Wiring of the tools this form owns; the formatting tools of the ribbon follow the editor.
    connect(OkBt, &QPushButton::clicked, this, &TMemoFormEx::OkBtClick);
    connect(AbortBt, &QPushButton::clicked, this, &TMemoFormEx::AbortBtClick);
    connect(btShowOnlyNonModal, &QPushButton::clicked, this, &TMemoFormEx::btShowOnlyNonModalClick);
    connect(StatusLocked, &QToolButton::clicked, this, &TMemoFormEx::StatusLockedClick);
    connect(WidthMarker, &QSlider::valueChanged, this, &TMemoFormEx::WidthMarkerChange);
    connect(BarButtonNew->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonNewClick);
    connect(BarButtonPrint->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonPrintClick);
    connect(BarButtonSaveTemplate->defaultAction(), &QAction::triggered, this,
            [this] { BarButtonSaveTemplateClick(BarButtonSaveTemplate); });
    connect(BarButtonLoadTemplate->defaultAction(), &QAction::triggered, this,
            [this] { BarButtonLoadTemplateClick(BarButtonLoadTemplate); });
    connect(BarButtonUndo->defaultAction(), &QAction::triggered, this, &TMemoFormEx::Undo);
    connect(BarButtonRedo->defaultAction(), &QAction::triggered, this, &TMemoFormEx::Redo);
    connect(BarButtonCut->defaultAction(), &QAction::triggered, Editor, &QTextEdit::cut);
    connect(BarButtonCopy->defaultAction(), &QAction::triggered, Editor, &QTextEdit::copy);
    connect(BarButtonPaste->defaultAction(), &QAction::triggered, Editor, &QTextEdit::paste);
    connect(BarButtonSelectAll->defaultAction(), &QAction::triggered, Editor, &QTextEdit::selectAll);
    connect(BarButtonSearchF2->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonSearchF2Click);
    BarButtonKeyboard->defaultAction()->setCheckable(true);
    connect(BarButtonKeyboard->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonKeyboardClick);
    BarButtonWordWrap->defaultAction()->setCheckable(true);
    InitTools();
    BarButtonWordWrap->defaultAction()->setChecked(true);
    connect(BarButtonBold->defaultAction(), &QAction::triggered, this, [this](bool on) {
        Editor->setFontWeight(on ? QFont::Bold : QFont::Normal);
    });
    connect(BarButtonItalic->defaultAction(), &QAction::triggered, Editor, &QTextEdit::setFontItalic);
    connect(BarButtonUnderline->defaultAction(), &QAction::triggered, Editor, &QTextEdit::setFontUnderline);
    connect(BarButtonWordWrap->defaultAction(), &QAction::triggered, this, [this](bool on) {
        Editor->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    });
    connect(BarComboFontName, &QFontComboBox::currentFontChanged, this, [this](const QFont& f) {
        if (!FUpdating)
            Editor->setFontFamily(f.family());
    });
    connect(BarComboFontSize, &QComboBox::currentTextChanged, this, [this](const QString& s) {
        bool ok = false;
        const int size = s.toInt(&ok);
        if (!FUpdating && ok && size > 0 && size < 1000)
            Editor->setFontPointSize(size);
    });

    SetColorScheme(QStringLiteral("Blue"));
    OnShow = [this](QObject*) { FormShow(); };
    OnActivate = [this](QObject*) { FormActivate(); };
    StatusLockedClick();
    for (QWidget* w : findChildren<QWidget*>())
        if (w->window() == this) // not the find dialogs, pop-ups and galleries
            w->installEventFilter(this);
    resize(1056, 642); // once the layout stands, so that it does not widen the form
}

TMemoFormEx::~TMemoFormEx() = default;

// ---- class functions -------------------------------------------------------------------------

bool TMemoFormEx::_EditText(const QString& FieldName, QString& txt, QString& txt_rtf, bool ReadOnly,
                            bool isRtf, QChar AddChar, int CursorStart,
                            bool ShowNonModal_OnlyIfReadOnly) {
    auto* form = new TMemoFormEx(nullptr);
    form->setWindowTitle(FieldName);
    const bool stays = ShowNonModal_OnlyIfReadOnly && ReadOnly;
    QPointer<TMemoFormEx> guard(form);
    bool result = false;
    try {
        result = form->EditText(FieldName, txt, txt_rtf, ReadOnly, isRtf, AddChar, CursorStart,
                                ShowNonModal_OnlyIfReadOnly);
    } catch (...) {
        if (!stays)
            delete guard.data();
        throw;
    }
    if (!stays)
        delete guard.data();
    return result;
}

QString TMemoFormEx::_EditText(const QString& FieldName, const QString& txt, int CursorStart,
                               bool ReadOnly, bool isRtf, QChar AddChar,
                               bool ShowNonModal_OnlyIfReadOnly) {
    QString text = txt;
    QString rtf;
    _EditText(FieldName, text, rtf, ReadOnly, isRtf, AddChar, CursorStart,
              ShowNonModal_OnlyIfReadOnly);
    return text;
}

// ---- the edit --------------------------------------------------------------------------------

void TMemoFormEx::LoadContent(const QString& text) {
    StatusHinweis->clear();
    if (FIsRTF && Rtf::IsRtf(text.toUtf8())) {
        const Rtf::ReadResult r = Rtf::Read(text.toUtf8(), Editor->document());
        if (r.Skipped()) {
            // What was left out, so that the user knows what an edit would lose.
            QStringList what = r.problems.mid(0, 3);
            if (r.placeholders > 0 && what.isEmpty())
                what << QStringLiteral("Bilder als Platzhalter");
            StatusHinweis->setText(
                QStringLiteral("Nicht alles im gespeicherten Text ließ sich anzeigen (%1); ohne "
                               "Änderung bleibt er unverändert erhalten.")
                    .arg(what.join(QStringLiteral("; "))));
            if (TDM1* dm = DM1())
                dm->LogEvent(QStringLiteral("TMemoFormEx.EditText: RTF von %1 nur teilweise "
                                            "gelesen: %2")
                                 .arg(FFieldName, r.problems.join(QStringLiteral("; "))));
        }
    } else if (text.isEmpty()) {
        Editor->clear();
    } else {
        Editor->setPlainText(text);
    }
    Editor->document()->setModified(false);
}

bool TMemoFormEx::EditText(const QString& FieldName, QString& txt, QString& txt_rtf, bool ReadOnly,
                           bool isRtf, QChar AddChar, int CursorStart,
                           bool ShowNonModal_OnlyIfReadOnly) {
    bool Result = false;
    FFieldName = FieldName;
    FIsRTF = isRtf;
    Editor->setAcceptRichText(isRtf);
    // 2
    BarButtonImageInsert->defaultAction()->setVisible(isRtf);
    if (!isRtf) {
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(10);
        Editor->document()->setDefaultFont(f);
        Editor->setCurrentFont(f);
    }
    // 3
    m_loadedRtf = isRtf ? (txt_rtf.isEmpty() ? txt : txt_rtf) : QString();
    LoadContent(isRtf ? m_loadedRtf : txt);
    // 4
    FAltText = GetAltText();
    QTextCursor c = Editor->textCursor();
    c.setPosition(qBound(0, CursorStart, Editor->document()->characterCount() - 1));
    Editor->setTextCursor(c);
    // 5
    OkBt->setEnabled(!ReadOnly);
    if (ReadOnly) {
        StatusLocked->click();
        disconnect(StatusLocked, nullptr, this, nullptr);
        m_lockFixed = true;
        StatusLocked->setCheckable(false);
    }
    // 6
    BarButtonLoadTemplate->defaultAction()->setEnabled(!isVorlageLeer());
    const bool tools = isRtf && !ReadOnly;
    for (QToolButton* b :
         {BarButtonReplace, BarButtonClear, BarButtonUndo, BarButtonKeyboard, BarButtonSymbol,
          BarButtonBold, BarButtonItalic, BarButtonUnderline, BarButtonAlignLeft,
          BarButtonAlignCenter, BarButtonAlignRight, BarButtonBullets, BarButtonFontColor,
          BarButtonFontDialog, BarButtonImageInsert})
        b->defaultAction()->setEnabled(tools);
    BarComboFontName->setEnabled(tools);
    BarComboFontSize->setEnabled(tools);
    // 7
    Editor->setReadOnly(ReadOnly);
    // 8
    const bool admin = DM1() && DM1()->IsAdmin();
    const QString kind = isRtf ? QStringLiteral("RTF") : QStringLiteral("TXT");
    if (ReadOnly) {
        setWindowTitle(windowTitle() + (admin ? QStringLiteral(" [%1/ReadOnly]").arg(kind)
                                              : QStringLiteral(" [ReadOnly]")));
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1)); // the info colour of tooltips
        setPalette(pal);
        setAutoFillBackground(true);
    } else if (admin) {
        setWindowTitle(windowTitle() + QStringLiteral(" [%1]").arg(kind));
    }
    // 9
    bool ok = false;
    int width = DM1() ? DM1()->GetSetting(QStringLiteral("MemoWidth_") + FFieldName).toInt(&ok) : 0;
    if (!ok)
        width = 600;
    WidthMarker->setValue(width);
    WidthMarkerChange();
    RefreshModified();
    // 10
    connect(Editor, &QTextEdit::textChanged, this, &TMemoFormEx::EditorChange, Qt::UniqueConnection);
    connect(Editor, &QTextEdit::cursorPositionChanged, this, &TMemoFormEx::EditorSelectionChange,
            Qt::UniqueConnection);
    // 11
    if (!ReadOnly && AddChar != QChar(0)) {
        const QString add = Korvexutils::TrimEx(QString(AddChar));
        if (!add.isEmpty()) {
            QTextCursor end(Editor->document());
            end.movePosition(QTextCursor::End);
            end.insertText(add);
        }
        EditorChange();
    }
    EditorSelectionChange();
    // 12
    if (ReadOnly && ShowNonModal_OnlyIfReadOnly) {
        btShowOnlyNonModal->hide();
        OnClose = [](QObject*, Vcl::TCloseAction& action) { action = Vcl::caFree; };
        show();
        return false;
    }
    // 13
    if (Korvexcommonvcl::ShowModal(this) != Vcl::mrOk)
        return false;
    const bool changed = ContentChanged();
    FModified = changed;
    if (FIsRTF && !changed && txt_rtf.isEmpty() && Rtf::IsRtf(txt.toUtf8())) {
        // The RTF came in txt: unchanged, it comes back there as it was, and also as the RTF,
        // so that a caller that stores txt_rtf keeps the formatting.
        txt_rtf = txt;
        return false;
    }
    // Pictures have no text of their own.
    QString S = Korvexutils::TrimEx(
        Editor->toPlainText().remove(QChar::ObjectReplacementCharacter));
    Result = S != txt || FModified;
    if (const qsizetype nul = S.indexOf(QChar(0)); nul >= 0)
        S.truncate(nul);
    txt = S;
    if (FIsRTF) {
        // Our writer knows a subset of RTF: an unchanged text keeps the bytes it came with.
        if (changed)
            S = Editor->document()->isEmpty() ? QString() : Korvexutils::TrimEx(GetAltText());
        else
            S = txt_rtf;
        if (!Result)
            Result = S != txt_rtf;
        txt_rtf = S;
    }
    return Result;
}

// ---- change tracking -------------------------------------------------------------------------

QString TMemoFormEx::GetAltText() const {
    if (!FIsRTF)
        return Editor->toPlainText();
    return QString::fromLatin1(Rtf::Write(Editor->document()));
}

bool TMemoFormEx::ContentChanged() const {
    // The document knows whether it was touched since loading (undoing back to the start counts
    // as untouched); only then is the content compared, exactly, case included.
    if (!Editor->document()->isModified())
        return false;
    return GetAltText() != FAltText;
}

void TMemoFormEx::RefreshModified() {
    const bool modified = Editor->document()->isModified() && !Editor->isReadOnly();
    // Runs on every key: the status item is touched only when the state turns.
    if (modified == FModified && m_modifiedShown)
        return;
    FModified = modified;
    m_modifiedShown = true;
    if (FModified) {
        StatusModified->setPixmap(QIcon::fromTheme(QStringLiteral("document-edit")).pixmap(16, 16));
        StatusModified->setText(Text(17909, "Geändert"));
    } else {
        StatusModified->clear();
    }
}

void TMemoFormEx::EditorChange() {
    if (FUndoController && FUndoController->Locked())
        return; // set once the undo or redo is done
    BarButtonUndo->defaultAction()->setEnabled(Editor->document()->isUndoAvailable());
    BarButtonRedo->defaultAction()->setEnabled(Editor->document()->isRedoAvailable());
    RefreshModified();
}

void TMemoFormEx::Undo() {
    FUndoController->Lock();
    Editor->undo();
    FUndoController->UnLock();
    EditorChange();
}

void TMemoFormEx::Redo() {
    FUndoController->Lock();
    Editor->redo();
    FUndoController->UnLock();
    EditorChange();
}

int TMemoFormEx::GetEditorRow() const { return Editor->textCursor().blockNumber() + 1; }
int TMemoFormEx::GetEditorCol() const { return Editor->textCursor().positionInBlock() + 1; }

void TMemoFormEx::EditorSelectionChange() {
    FUpdating = true;
    const QSignalBlocker blockName(BarComboFontName);
    const QSignalBlocker blockSize(BarComboFontSize);
    StatusLineNumber->setText(FormatNr(17907, "Zeile: %d", GetEditorRow()));
    StatusColumnNumber->setText(FormatNr(17908, "Spalte: %d", GetEditorCol()));
    const QTextCharFormat f = Editor->currentCharFormat();
    BarButtonBold->defaultAction()->setChecked(f.fontWeight() >= QFont::DemiBold);
    BarButtonItalic->defaultAction()->setChecked(f.fontItalic());
    BarButtonUnderline->defaultAction()->setChecked(f.fontUnderline());
    const Qt::Alignment a = Editor->alignment();
    BarButtonAlignCenter->defaultAction()->setChecked(a & Qt::AlignHCenter);
    BarButtonAlignRight->defaultAction()->setChecked((a & Qt::AlignRight) && !(a & Qt::AlignHCenter));
    BarButtonAlignLeft->defaultAction()->setChecked(!BarButtonAlignCenter->isChecked() &&
                                   !BarButtonAlignRight->isChecked());
    if (FIsRTF) {
        // Looking a font up in the combo is slow; on most keys it has not changed.
        const QFont font = f.font();
        if (BarComboFontName->currentFont().family() != font.family())
            BarComboFontName->setCurrentFont(font);
        const QString size = QString::number(qRound(font.pointSizeF()));
        if (BarComboFontSize->currentText() != size)
            BarComboFontSize->setEditText(size);
    }
    SelectionFeedbackTools(f);
    FUpdating = false;
}

// ---- the form's controls ---------------------------------------------------------------------

void TMemoFormEx::StatusLockedClick() {
    const bool locked = StatusLocked->isChecked();
    Editor->setReadOnly(locked);
    StatusLocked->setStyleSheet(locked ? QStringLiteral("color: #800000;")
                                       : QStringLiteral("color: #808080;"));
    StatusLocked->setText(locked ? Text(17879, "Gesperrt") : Text(17880, "Bearbeitbar"));
    StatusLocked->setIcon(QIcon::fromTheme(locked ? QStringLiteral("object-locked")
                                                  : QStringLiteral("object-unlocked")));
    StatusLocked->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    EditorSelectionChange();
}

void TMemoFormEx::WidthMarkerChange() {
    const int max = std::max(1, WidthMarker->maximum());
    const int left =
        qRound(double(WidthMarker->value()) / max * (WidthMarker->width() - 26)) + 13;
    // The editor lies under the track bar; the line is drawn in its viewport.
    const int x = left - (Editor->viewport()->mapTo(this, QPoint()).x() -
                          WidthMarker->mapTo(this, QPoint()).x());
    PanelPageWidth->setGeometry(x, 0, 1, Editor->viewport()->height());
    PanelPageWidth->setVisible(left >= 11);
}

void TMemoFormEx::resizeEvent(QResizeEvent* e) {
    TAbstractMemoForm::resizeEvent(e);
    WidthMarkerChange();
}

void TMemoFormEx::SetPrintCaption(const QString& S) {
    FPrintCaption = S;
    Ribbon->setProperty("DocumentName", S);
}

void TMemoFormEx::OkBtClick() {
    if (WidthMarker->isVisible() && DM1())
        DM1()->SetSetting(QStringLiteral("MemoWidth_") + FFieldName,
                          QString::number(WidthMarker->value()));
    BarButtonSaveTemplateClick(nullptr);
    SetModalResult(Vcl::mrOk);
}

void TMemoFormEx::CloseIfNotModal() {
    if (!IsModal() && ModalResult() != Vcl::mrNone)
        Release();
}

void TMemoFormEx::AbortBtClick() {
    SetModalResult(Vcl::mrCancel);
    CloseIfNotModal();
}

void TMemoFormEx::BarButtonKeyboardClick() {
    FrameVirtualKeyboard1->setVisible(BarButtonKeyboard->isChecked());
}

void TMemoFormEx::BarButtonPrintClick() {
    Corvale::Printers::Instance().PrintDocument(Editor->document(), FPrintCaption, this);
}

void TMemoFormEx::BarButtonNewClick() {
    if (Editor->isReadOnly())
        return; // a locked text is not cleared
    if (Vcl::Ask(Vcl::mtConfirmation, QString(),
                 Text(26041, "Den ganzen Text löschen und neu beginnen?"), Vcl::mbYesNo,
                 Vcl::mbNo) == Vcl::mrYes)
        Editor->clear();
}

void TMemoFormEx::BarButtonSearchF2Click() {
    MakeF2(this, Editor, false, false, QString(), QStringList(), QString());
}

void TMemoFormEx::btShowOnlyNonModalClick() {
    // Leaving the edit for a read-only copy must not lose what the user typed.
    if (!Editor->isReadOnly() && ContentChanged() &&
        !Korvexutils::RaiseQuestionYes(Text(3189, "Die Änderungen gehen verloren. Fortfahren?")))
        return;
    const QString content = Korvexutils::TrimEx(FIsRTF ? GetAltText() : Editor->toPlainText());
    hide();
    _EditText(FFieldName, content, 99999, true, FIsRTF, QChar(0), true);
    SetModalResult(Vcl::mrCancel);
}

// ---- templates -------------------------------------------------------------------------------

QString TMemoFormEx::GetTemplateName(QObject* Sender) const {
    const QObject* owner = Vcl::Owner(this);
    return QStringLiteral("MEMO-TEMPLATE-TXT.") +
           (Sender ? QStringLiteral("Bt") : QStringLiteral("Last")) + u'.' +
           (owner ? owner->objectName() : FFieldName) + u'.' +
           (DM1() ? DM1()->FGetUsername() : QString());
}

void TMemoFormEx::BarButtonSaveTemplateClick(QObject* Sender) {
    QString S;
    if (!Editor->document()->isEmpty())
        S = FIsRTF ? GetAltText() : Editor->toPlainText();
    BarButtonLoadTemplate->defaultAction()->setEnabled(!Korvexutils::TrimEx(S).isEmpty());
    if (DM1())
        DM1()->SaveLastVal(GetTemplateName(Sender), S, true);
}

void TMemoFormEx::BarButtonLoadTemplateClick(QObject* Sender) {
    if (Editor->isReadOnly())
        return; // nor replaced by a template
    Editor->clear();
    const QString value = DM1() ? DM1()->LoadLastVal(GetTemplateName(Sender), QString(), true)
                                : QString();
    if (FIsRTF && Rtf::IsRtf(value.toUtf8())) {
        QTextCursor c(Editor->document());
        Rtf::Insert(value.toUtf8(), c);
    } else {
        Editor->insertPlainText(value);
    }
    QTextCursor c = Editor->textCursor();
    c.setPosition(qMin(10000, Editor->document()->characterCount() - 1));
    Editor->setTextCursor(c);
}

bool TMemoFormEx::isVorlageLeer() const {
    if (!DM1())
        return true;
    // Keyed as the template button keys it.
    const QString v = DM1()->LoadLastVal(GetTemplateName(BarButtonLoadTemplate), QString(), true);
    return Korvexutils::TrimEx(v).isEmpty();
}

// ---- keys ------------------------------------------------------------------------------------

void TMemoFormEx::FormShow() {
    Editor->setFocus();
    Editor->moveCursor(QTextCursor::End);
}

void TMemoFormEx::FormActivate() {
    if (!FCanOnChange) {
        FCanOnChange = true;
        return;
    }
    EditorChange();
}

void TMemoFormEx::FormKeyDown(QKeyEvent* e) {
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_S && mods == Qt::ControlModifier) {
        SetModalResult(Vcl::mrOk);
        e->accept();
    } else if (key == Qt::Key_F5) {
        BarButtonLoadTemplateClick(nullptr);
        e->accept();
    } else if (key == Qt::Key_Escape) {
        if (!ContentChanged() || Editor->isReadOnly() ||
            Korvexutils::RaiseQuestionYes(
                Text(3189, "Die Änderungen gehen verloren. Fortfahren?")))
            SetModalResult(Vcl::mrCancel);
        e->accept();
    } else if (key == Qt::Key_F2) {
        BarButtonSearchF2Click();
        e->accept();
    } else {
        return;
    }
    CloseIfNotModal();
}

int TMemoFormEx::VirtualKeyOf(int k) {
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k; // the same codes
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return 0x70 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    // The German layout's keys beside the letters.
    case Qt::Key_Udiaeresis: return 0xBA;
    case Qt::Key_Plus: case Qt::Key_Asterisk: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Semicolon: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Colon: return 0xBE;
    case Qt::Key_NumberSign: case Qt::Key_Apostrophe: return 0xBF;
    case Qt::Key_Odiaeresis: return 0xC0;
    case Qt::Key_ssharp: case Qt::Key_Question: return 0xDB;
    case Qt::Key_AsciiCircum: case Qt::Key_degree: return 0xDC;
    case Qt::Key_acute: case Qt::Key_QuoteLeft: return 0xDD;
    case Qt::Key_Adiaeresis: return 0xDE;
    case Qt::Key_Less: case Qt::Key_Greater: case Qt::Key_Bar: return 0xE2;
    default: return 0;
    }
}

int TMemoFormEx::VirtualKeyOfScanCode(quint32 scanCode) {
    // X11 and Wayland key codes are the kernel's input codes plus 8, which name the key's place;
    // the virtual-key codes are those of a German keyboard at that place.
    static const std::array<quint8, 96> codes = [] {
        std::array<quint8, 96> t{};
        const char* digits = "1234567890";
        for (int i = 0; i < 10; ++i)
            t[2 + i] = quint8(digits[i]);
        const char* rows[] = {"QWERTZUIOP", "ASDFGHJKL", "YXCVBNM"};
        const int starts[] = {16, 30, 44};
        for (int r = 0; r < 3; ++r)
            for (int i = 0; rows[r][i]; ++i)
                t[starts[r] + i] = quint8(rows[r][i]);
        t[12] = 0xDB; t[13] = 0xDD; t[26] = 0xBA; t[27] = 0xBB; t[39] = 0xC0; t[40] = 0xDE;
        t[41] = 0xDC; t[43] = 0xBF; t[51] = 0xBC; t[52] = 0xBE; t[53] = 0xBD; t[86] = 0xE2;
        return t;
    }();
    const quint32 input = scanCode - 8;
    return scanCode > 8 && input < codes.size() ? codes[input] : 0;
}

int TMemoFormEx::KeyStateOf(Qt::KeyboardModifiers m) {
    int state = 0;
    if (m & Qt::ShiftModifier)
        state |= 1;
    if (m & Qt::AltModifier)
        state |= 2;
    if (m & Qt::ControlModifier)
        state |= 4;
    if (m & Qt::GroupSwitchModifier)
        state |= 2 | 4; // AltGr is Ctrl+Alt to the stored rows
    return state;
}

void TMemoFormEx::textKeyDown(QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_T && mods == Qt::ControlModifier) {
        if (TVoskCalc::IsVisible())
            TVoskCalc::Close(true, Editor);
        else
            TVoskCalc::Open(Editor);
        e->accept();
        return;
    }
    TVoskDM_Dunmere* system = VoskDM_Dunmere();
    if (Editor->isReadOnly() || !system || !system->KeySnippetsOpen())
        return;
    int vk = VirtualKeyOf(e->key());
    // With AltGr the key reports the symbol it types (AltGr+Q: '@'); the row is keyed by the key.
    if ((vk == 0 || (mods & Qt::GroupSwitchModifier)) && e->nativeScanCode() != 0)
        if (const int byPlace = VirtualKeyOfScanCode(e->nativeScanCode()))
            vk = byPlace;
    if (vk == 0)
        return;
    TVoskQuery2* q = system->KeySnippets();
    if (!q->Locate(QStringLiteral("kbsc_KeyCode;kbsc_KeyState"), {vk, KeyStateOf(mods)}))
        return;
    Editor->textCursor().insertText(q->FieldByName(QStringLiteral("kbsc_text")).AsString());
    Editor->ensureCursorVisible();
    e->accept();
}

bool TMemoFormEx::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        // The form sees keys before its controls.
        k->ignore();
        QPointer<TMemoFormEx> self(this);
        FormKeyDown(k);
        if (k->isAccepted())
            return true;
        if (self && watched == Editor) {
            textKeyDown(k);
            if (k->isAccepted())
                return true;
        }
        k->accept();
        return false;
    }
    if (e->type() == QEvent::MouseButtonRelease && watched == Editor->viewport())
        EditorMouseUp(static_cast<QMouseEvent*>(e));
    return TAbstractMemoForm::eventFilter(watched, e);
}

// ---- unit ------------------------------------------------------------------------------------

namespace {

QWidget* IntGetMemoFormConstructor(QObject* owner) { return new TMemoFormEx(owner); }

void InitUnit() {
    Voskdbcontrols::GetMemoFormConstructor.Set(&IntGetMemoFormConstructor);
    RtlDialog::FEditTextS.Set(
        static_cast<QString (*)(const QString&, const QString&, int, bool, bool, QChar, bool)>(
            &TMemoFormEx::_EditText));
    RtlDialog::FEditTextB.Set(
        static_cast<bool (*)(const QString&, QString&, QString&, bool, bool, QChar, int, bool)>(
            &TMemoFormEx::_EditText));
}

void FiniUnit() {
    Voskdbcontrols::GetMemoFormConstructor.Reset();
    RtlDialog::FEditTextS.Reset();
    RtlDialog::FEditTextB.Reset();
}

} // namespace

KORVEX_UNIT("hadrel", "UMemoFormEx", InitUnit, FiniUnit);
