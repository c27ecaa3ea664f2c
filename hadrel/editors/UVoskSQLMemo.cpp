#include "UVoskSQLMemo.h"

#include "EventGuard.h"
#include "Korvexutils.h"
#include "TVoskDBEdit.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "UnitTable.h"
#include "Uvoskrtl.Exception.h"
#include "Vcl.Classes.h"
#include "Vcl.Components.h"
#include "VoskGridValues.h"

#include <TVoskClass.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPalette>

#include <memory>

using Uvoskrtl::Exception::TVoskExceptionHelper;

namespace {

const QStringList& FixedNames() {
    static const QStringList names{QStringLiteral("adressen_view"), QStringLiteral("lieferschein"),
                                   QStringLiteral("lieferschein_pos"), QStringLiteral("eingrech"),
                                   QStringLiteral("eingrech_pos")};
    return names;
}

// The catalogue's table and field names, read once per connection and shared by every editor.
struct TCatalogue {
    QStringList tables;
    QStringList fields;
};
// By connection and server process, so that a new connection at a freed address reads anew.
using TCatalogueKey = QPair<const void*, int>;
QHash<TCatalogueKey, TCatalogue>& CatalogueCache() {
    static QHash<TCatalogueKey, TCatalogue> cache;
    return cache;
}

const TCatalogue& Catalogue() {
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
    TVoskDatabase& db = dm->Database();
    const TCatalogueKey key(db.Handle(), db.Handle() ? PQbackendPID(db.Handle()) : 0);
    auto it = CatalogueCache().find(key);
    if (it != CatalogueCache().end())
        return *it;
    TVoskQuery2 q(&db);
    // E'\n': under standard strings '\n' would be a backslash and an n, not a line break.
    q.SetSQL(QStringLiteral("SELECT string_agg(DISTINCT tablename, E'\\n'), "
                            "string_agg(DISTINCT field, E'\\n') FROM tablefieldinfo"));
    q.Open();
    TCatalogue c;
    c.tables = q.ValueAt(0, 0).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    c.fields = q.ValueAt(0, 1).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return *CatalogueCache().insert(key, std::move(c));
}

QString LocationOf(const QObject* obj, const char* method) {
    QString name = Vcl::FullName(obj);
    if (name.isEmpty())
        name = Vcl::ClassName(obj);
    return name + QLatin1Char('.') + QLatin1String(method);
}

} // namespace

// ---- TSynAutoComplete ------------------------------------------------------------------------

TSynAutoComplete::TSynAutoComplete(QObject* owner)
    : QObject(owner), FShortCut(ShortCutOf(Qt::Key_Space, Qt::ShiftModifier)) {
    Vcl::SetOwner(this, owner);
    SetDoLookup(true);
    FEndOfTokenChr = QStringLiteral("()[]. ");
    if (FInternalCompletion)
        FInternalCompletion->SetEndOfTokenChr(FEndOfTokenChr);
}

TSynAutoComplete::~TSynAutoComplete() {
    SetEditor(nullptr);
    delete FInternalCompletion;
}

void TSynAutoComplete::detachEditor() {
    if (!FEditor)
        return;
    FEditor->RemoveKeyDownHandler(m_downId);
    FEditor->RemoveKeyPressHandler(m_pressId);
    if (FInternalCompletion) {
        FEditor->RemoveProposal(FInternalCompletion);
        FInternalCompletion->RemoveEditor(FEditor);
    }
    m_downId = m_pressId = 0;
}

void TSynAutoComplete::SetEditor(TSynEdit* editor) {
    if (FEditor == editor)
        return;
    detachEditor();
    FEditor = editor;
    if (!editor)
        return;
    m_downId = editor->AddKeyDownHandler([this](QObject* s, int& key, Qt::KeyboardModifiers shift) {
        EditorKeyDown(s, key, shift);
    });
    m_pressId =
        editor->AddKeyPressHandler([this](QObject* s, QChar& key) { EditorKeyPress(s, key); });
    connect(editor, &QObject::destroyed, this, [this] {
        m_downId = m_pressId = 0;
        FEditor = nullptr;
    });
}

void TSynAutoComplete::SetAutoCompleteList(const QStringList& list) {
    FAutoCompleteList = list;
    m_tokensDirty = true;
    m_popupDirty = true;
}

void TSynAutoComplete::SetDoLookup(bool on) {
    FDoLookup = on;
    if (on && !FInternalCompletion) {
        FInternalCompletion = new TSynCompletionProposal(this);
        FInternalCompletion->setObjectName(QStringLiteral("InternalCompletion"));
        FInternalCompletion->SetOptions(scoLimitToMatchedText | scoEndCharCompletion |
                                        scoCompleteWithTab | scoCompleteWithEnter);
        FInternalCompletion->SetEndOfTokenChr(FEndOfTokenChr);
        FInternalCompletion->SetTitle(QStringLiteral("Vorlagen"));
        FInternalCompletion->OnAfterCodeCompletion = [this](const QString&) {
            DoInternalAutoCompletion();
        };
        m_popupDirty = true;
    } else if (!on && FInternalCompletion) {
        if (FEditor)
            FEditor->RemoveProposal(FInternalCompletion);
        delete FInternalCompletion;
        FInternalCompletion = nullptr;
    }
}

void TSynAutoComplete::SetOptions(TSynCompletionOptions options) {
    FOptions = options;
    if (FInternalCompletion)
        FInternalCompletion->SetOptions(options & ~scoUseBuiltInTimer);
}

bool TSynAutoComplete::GetExecuting() const {
    return FInternalCompletion && FInternalCompletion->Visible();
}

void TSynAutoComplete::CancelCompletion() {
    if (FInternalCompletion)
        FInternalCompletion->CancelCompletion();
}

void TSynAutoComplete::EditorKeyDown(QObject*, int& key, Qt::KeyboardModifiers shift) {
    if (!FEditor || FEditor->isReadOnly() || key == 0)
        return;
    if (ShortCutOf(key, shift) != FShortCut)
        return;
    Execute(GetPreviousToken(FEditor), FEditor);
    // The character of the shortcut still arrives at the press handlers; it must not be typed.
    FNoNextKey = true;
    key = 0;
}

void TSynAutoComplete::EditorKeyPress(QObject*, QChar& key) {
    if (FNoNextKey) {
        FNoNextKey = false;
        key = QChar();
    }
}

QString TSynAutoComplete::GetPreviousToken(TSynEdit* editor) const {
    if (!editor)
        return {};
    int line = 0, index = 0;
    editor->getCursorPosition(&line, &index);
    QString text = editor->text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    const int x = index + 1;
    if (x - 1 > text.size())
        return {};
    int i = x - 1;
    while (i >= 1 && text[i - 1] > QLatin1Char(' ') && !FEndOfTokenChr.contains(text[i - 1]))
        --i;
    return text.mid(i, x - i - 1);
}

int TSynAutoComplete::tokenIndex(const QString& token) const {
    if (m_tokensDirty) {
        m_tokens.clear();
        m_tokens.reserve(FAutoCompleteList.size() / 2 + 1);
        for (int i = 0; i < FAutoCompleteList.size(); ++i) {
            const QString& l = FAutoCompleteList[i];
            if (l.isEmpty() || l[0] == QLatin1Char('=') || l[0] == QLatin1Char('|'))
                continue;
            m_tokens.insert(l.toLower(), i); // a later duplicate must not win over the first
        }
        for (int i = FAutoCompleteList.size() - 1; i >= 0; --i) {
            const QString& l = FAutoCompleteList[i];
            if (!l.isEmpty() && l[0] != QLatin1Char('=') && l[0] != QLatin1Char('|'))
                m_tokens[l.toLower()] = i;
        }
        m_tokensDirty = false;
    }
    return m_tokens.value(token.toLower(), -1);
}

void TSynAutoComplete::Execute(const QString& token, TSynEdit* editor) {
    ExecuteEx(token, editor, FDoLookup);
}

void TSynAutoComplete::ExecuteEx(const QString& token, TSynEdit* editor, bool lookupIfNotExact) {
    if (OnBeforeExecute)
        OnBeforeExecute(this);
    try {
        int i = token.isEmpty() ? -1 : tokenIndex(token);
        if (i >= 0 && editor) {
            const bool autoIndent = editor->autoIndent();
            if (autoIndent)
                editor->setAutoIndent(false);
            editor->beginUndoAction();
            FNoNextKey = true;
            for (int k = 0; k < token.size(); ++k)
                editor->DeleteLastChar();
            const int n = editor->CaretDisplayX() - 1;
            const int tw = qMax(1, editor->tabWidth());
            const bool tabs = editor->TabsKept();
            const QString indent = tabs && n >= tw ? QString(n / tw, QLatin1Char('\t')) +
                                                         QString(n % tw, QLatin1Char(' '))
                                                   : QString(n, QLatin1Char(' '));
            ++i;
            if (i < FAutoCompleteList.size() && FAutoCompleteList[i].startsWith(QLatin1Char('|')))
                ++i;
            // The expansion is typed as one text; only the last "|" is the caret mark, so that
            // SQL's "||" in a template survives.
            QString out;
            int mark = -1;
            int col = n;
            const QString eol = editor->eolMode() == QsciScintilla::EolWindows
                                    ? QStringLiteral("\r\n")
                                : editor->eolMode() == QsciScintilla::EolMac ? QStringLiteral("\r")
                                                                             : QStringLiteral("\n");
            while (i < FAutoCompleteList.size() &&
                   FAutoCompleteList[i].startsWith(QLatin1Char('='))) {
                const QString& line = FAutoCompleteList[i];
                for (int k = 1; k < line.size(); ++k) {
                    const QChar c = line[k];
                    if (c == QLatin1Char('\t') && !tabs) {
                        const int blanks = tw - col % tw;
                        out += QString(blanks, QLatin1Char(' '));
                        col += blanks;
                        continue;
                    }
                    out += c;
                    col = c == QLatin1Char('\t') ? (col / tw + 1) * tw : col + 1;
                    if (c == QLatin1Char('|'))
                        mark = int(out.size());
                }
                ++i;
                if (i < FAutoCompleteList.size() &&
                    FAutoCompleteList[i].startsWith(QLatin1Char('='))) {
                    out += eol + indent;
                    col = n;
                }
            }
            const long start = editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
            editor->TypeText(out);
            if (mark >= 0) {
                editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS,
                                      start + long(out.left(mark).toUtf8().size()));
                editor->DeleteLastChar();
            }
            if (autoIndent)
                editor->setAutoIndent(true);
            editor->endUndoAction();
            FNoNextKey = false;
        } else if (lookupIfNotExact && FInternalCompletion && editor) {
            FInternalCompletion->AddEditor(editor);
            editor->AddProposal(FInternalCompletion);
            // The lists follow the template list; unchanged, the pop-up keeps its sorted entries.
            if (m_popupDirty) {
                QStringList shown, inserts;
                for (int k = 0; k < FAutoCompleteList.size(); ++k) {
                    const QString& l = FAutoCompleteList[k];
                    if (l.isEmpty() || l[0] == QLatin1Char('=') || l[0] == QLatin1Char('|'))
                        continue;
                    const QString next =
                        k + 1 < FAutoCompleteList.size() ? FAutoCompleteList[k + 1] : QString();
                    shown << (next.startsWith(QLatin1Char('|')) ? next.mid(1) : l);
                    inserts << l;
                }
                FInternalCompletion->ClearList();
                FInternalCompletion->SetItemList(shown);
                FInternalCompletion->SetInsertList(inserts);
                m_popupDirty = false;
            }
            FInternalCompletion->SetOptions(FInternalCompletion->Options() | scoUseInsertList);
            FInternalCompletion->Execute(editor);
        }
    } catch (...) {
        if (OnAfterExecute)
            OnAfterExecute(this);
        throw;
    }
    if (OnAfterExecute)
        OnAfterExecute(this);
}

void TSynAutoComplete::DoInternalAutoCompletion() {
    TSynEdit* editor =
        FInternalCompletion ? qobject_cast<TSynEdit*>(FInternalCompletion->Editor()) : nullptr;
    if (!editor)
        return;
    ExecuteEx(GetPreviousToken(editor), editor, false);
    if (FInternalCompletion)
        FInternalCompletion->SetEditor(nullptr);
}

QString TSynAutoComplete::GetTokenList() const {
    QString result;
    for (const QString& l : FAutoCompleteList)
        if (!l.isEmpty() && l[0] != QLatin1Char('=') && l[0] != QLatin1Char('|'))
            result += l.trimmed() + QLatin1Char('\n');
    return result;
}

QString TSynAutoComplete::GetTokenValue(const QString& token) const {
    int i = tokenIndex(token);
    if (i < 0)
        return {};
    ++i;
    if (i < FAutoCompleteList.size() && FAutoCompleteList[i].startsWith(QLatin1Char('|')))
        ++i;
    QStringList lines;
    for (; i < FAutoCompleteList.size() && FAutoCompleteList[i].startsWith(QLatin1Char('=')); ++i)
        lines << FAutoCompleteList[i].mid(1);
    return lines.join(QLatin1Char('\n'));
}

// ---- TVoskSQLMemo ----------------------------------------------------------------------------

TVoskSQLMemo::TVoskSQLMemo(QWidget* parent) : TSynEdit(parent) {
    SetWantTabs(true);
    // The editor measures by the family's name: a family that is not installed would be measured
    // as one font and drawn as another, so a missing "Lucida Console" becomes the fixed font.
    QFont gutter(QStringLiteral("Lucida Console"), 10);
    if (!QFontInfo(gutter).exactMatch()) {
        gutter = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        gutter.setPointSize(10);
        gutter.setFamily(QFontInfo(gutter).family());
    }
    SetGutterFont(gutter);
    setFont(gutter);
    setMarginLineNumbers(0, true);
    setMarginWidth(0, QStringLiteral("00000"));
    setUtf8(true);
    setAccessibleName(QStringLiteral("SQL-Editor"));
    setToolTip(QStringLiteral("SQL-Text (Umschalt+Leertaste: Vervollständigen, "
                              "Strg+Leertaste: Vorschläge)"));
    connect(this, &QsciScintilla::textChanged, this, [this] { DoChange(); });
}

TVoskSQLMemo::~TVoskSQLMemo() {
    m_destroying = true;
    SetHighlighter(nullptr);
    SetAutoComplete(nullptr);
    SetCodeInsight(nullptr);
    SetMyControl(nullptr);
    disconnect(this, &QsciScintilla::textChanged, this, nullptr);
}

TVoskSQLMemoFeatures TVoskSQLMemo::GetFeatures() const {
    TVoskSQLMemoFeatures f;
    if (FHighlighter && Vcl::Owner(FHighlighter) == this)
        f |= smfInternHighlighter;
    if (FAutoComplete && Vcl::Owner(FAutoComplete) == this)
        f |= smfInternAutoComplete;
    if (FCodeInsight && Vcl::Owner(FCodeInsight) == this)
        f |= smfInternCodeInsight;
    return f;
}

bool TVoskSQLMemo::IsHighlighterStored() const {
    return FHighlighter && Vcl::Owner(FHighlighter) != this;
}
bool TVoskSQLMemo::IsAutoCompleteStored() const {
    return FAutoComplete && Vcl::Owner(FAutoComplete) != this;
}
bool TVoskSQLMemo::IsCodeInsightStored() const {
    return FCodeInsight && Vcl::Owner(FCodeInsight) != this;
}
bool TVoskSQLMemo::IsStored(const QString& property) const {
    if (property == QLatin1String("_Highlighter"))
        return IsHighlighterStored();
    if (property == QLatin1String("_AutoComplete"))
        return IsAutoCompleteStored();
    if (property == QLatin1String("_CodeInsight"))
        return IsCodeInsightStored();
    if (property == QLatin1String("Highlighter") || property == QLatin1String("_AutoCompleteSC") ||
        property == QLatin1String("_CodeInsightSC"))
        return false;
    return metaObject()->indexOfProperty(property.toLatin1().constData()) >= 0;
}
int TVoskSQLMemo::AutoCompleteSC() const {
    return FAutoComplete ? FAutoComplete->ShortCut() : 0;
}
int TVoskSQLMemo::CodeInsightSC() const {
    return FCodeInsight && !FCodeInsight->ShortCut().isEmpty()
               ? FCodeInsight->ShortCut()[0].toCombined()
               : 0;
}

void TVoskSQLMemo::SetFeatures(TVoskSQLMemoFeatures features) {
    const TVoskSQLMemoFeatures old = GetFeatures();
    if (features == old)
        return;
    // Read first: a failing query leaves the control as it was.
    const TCatalogue* catalogue = nullptr;
    if (features & (smfInternHighlighter | smfInternAutoComplete))
        catalogue = &Catalogue();

    if (features & smfInternHighlighter) {
        TSynSQLSyn* h = qobject_cast<TSynSQLSyn*>(FHighlighter.data());
        if (!(old & smfInternHighlighter)) {
            SetHighlighter(nullptr);
            h = Vcl::Owned(this, new TSynSQLSyn(this), QStringLiteral("_Highlighter"));
            h->SetSQLDialect(sqlPostgres);
            const QPalette pal = QApplication::palette();
            h->SetCommentColor(pal.color(QPalette::Highlight));
            h->SetDataTypeColor(QColor(0x00, 0x00, 0x80));
            h->SetFunctionColor(QColor(0x80, 0x00, 0x00));
            h->SetIdentifierColor(QColor(0x00, 0x80, 0x00));
            h->SetStringColor(QColor(0xff, 0x00, 0x00));
            h->SetTableNameColor(pal.color(QPalette::Shadow));
            h->setFont(font());
            FHighlighter = h;
        }
        h->SetTableNames(catalogue->tables + FixedNames());
        // The editor reads the word lists when the lexer is set.
        setLexer(nullptr);
        setLexer(h);
        disconnect(m_hlGone);
        m_hlGone = connect(h, &QObject::destroyed, this, [this] {
            FHighlighter = nullptr;
            setLexer(nullptr);
        });
    } else if (old & smfInternHighlighter) {
        QsciLexer* h = FHighlighter;
        FHighlighter = nullptr;
        setLexer(nullptr);
        delete h;
    }

    if (features & smfInternCodeInsight) {
        if (!(old & smfInternCodeInsight)) {
            SetCodeInsight(nullptr);
            auto* p =
                Vcl::Owned(this, new TSynCompletionProposal(this), QStringLiteral("_CodeInsight"));
            FCHintSep = QLatin1Char('=');
            FCLineBreak = QLatin1Char('#');
            p->SetTitle(QStringLiteral("CodeInsight"));
            p->SetOptions(scoLimitToMatchedText | scoEndCharCompletion);
            p->SetNbLinesInWindow(20);
            p->SetWidth(350);
            p->SetShortCut(QKeySequence(Qt::CTRL | Qt::Key_Space));
            p->SetTriggerChars(QStringLiteral("."));
            p->SetEndOfTokenChr(QStringLiteral("()[],. "));
            p->OnExecute = [this](QString& input, bool& canExecute) {
                DoBeforeComplete(input, canExecute);
            };
            p->OnAfterCodeCompletion = [this](const QString& value) { DoAfterComplete(value); };
            SetCodeInsight(p);
        }
        FCStringsDoLoad = true;
        if (!m_destroying)
            QCoreApplication::postEvent(this, new QEvent(LoadCodeInsightEvent));
    } else if (old & smfInternCodeInsight) {
        SetCodeInsight(nullptr); // frees the own list
    }

    if (features & smfInternAutoComplete) {
        TSynAutoComplete* a = FAutoComplete;
        if (!(old & smfInternAutoComplete)) {
            SetAutoComplete(nullptr);
            a = Vcl::Owned(this, new TSynAutoComplete(this), QStringLiteral("_AutoComplete"));
            SetAutoComplete(a);
            a->SetOptions(scoLimitToMatchedText | scoEndCharCompletion | scoCompleteWithTab |
                          scoCompleteWithEnter);
            a->SetShortCut(ShortCutOf(Qt::Key_Space, Qt::ShiftModifier));
            a->SetEndOfTokenChr(QStringLiteral("()[],. "));
            if (a->InternalCompletion())
                a->InternalCompletion()->SetEndOfTokenChr(a->EndOfTokenChr());
        }
        QStringList names = catalogue->tables + catalogue->fields + FixedNames();
        if (auto* sql = qobject_cast<TSynSQLSyn*>(FHighlighter.data()))
            for (TtkTokenKind kind : {tkDatatype, tkKey, tkFunction, tkException})
                names += sql->KeyWords(kind).split(QLatin1Char(','), Qt::SkipEmptyParts);
        // Every name a template that expands to itself.
        QStringList list;
        list.reserve(names.size() * 2);
        for (const QString& n : names)
            list << n << QLatin1Char('=') + n;
        a->SetAutoCompleteList(list);
    } else if (old & smfInternAutoComplete) {
        try {
            SetAutoComplete(nullptr); // frees the own component
        } catch (...) {
            // A failure while freeing leaves the feature off all the same.
        }
    }
}

void TVoskSQLMemo::RefreshCatalogue() {
    CatalogueCache().clear();
}

void TVoskSQLMemo::SetHighlighter(QsciLexer* highlighter) {
    if (FHighlighter == highlighter)
        return;
    disconnect(m_hlGone);
    QsciLexer* old = FHighlighter;
    FHighlighter = nullptr;
    if (lexer())
        setLexer(nullptr);
    if (old && Vcl::Owner(old) == this)
        delete old;
    FHighlighter = highlighter;
    if (highlighter) {
        setLexer(highlighter);
        m_hlGone = connect(highlighter, &QObject::destroyed, this, [this] {
            FHighlighter = nullptr;
            setLexer(nullptr);
        });
    }
}

void TVoskSQLMemo::SetAutoComplete(TSynAutoComplete* autoComplete) {
    if (FAutoComplete == autoComplete)
        return;
    disconnect(m_acGone);
    TSynAutoComplete* old = FAutoComplete;
    FAutoComplete = nullptr;
    if (old && old->Editor() == this)
        old->SetEditor(nullptr);
    if (old && Vcl::Owner(old) == this)
        delete old;
    FAutoComplete = autoComplete;
    if (autoComplete) {
        m_acGone =
            connect(autoComplete, &QObject::destroyed, this, [this] { FAutoComplete = nullptr; });
        // A foreign component keeps its own editor unless it has none.
        if (Vcl::Owner(autoComplete) == this || !autoComplete->Editor())
            autoComplete->SetEditor(this);
    }
}

void TVoskSQLMemo::SetCodeInsight(TSynCompletionProposal* codeInsight) {
    if (FCodeInsight == codeInsight)
        return;
    try {
        disconnect(m_ciGone);
        TSynCompletionProposal* old = FCodeInsight;
        FCodeInsight = nullptr;
        if (old) {
            if (old->Editor() == this)
                old->SetEditor(nullptr);
            old->RemoveEditor(this);
            RemoveProposal(old);
            if (Vcl::Owner(old) == this)
                delete old;
        }
        FCodeInsight = codeInsight;
        if (codeInsight) {
            m_ciGone =
                connect(codeInsight, &QObject::destroyed, this, [this] { FCodeInsight = nullptr; });
            if (Vcl::Owner(codeInsight) == this)
                codeInsight->SetEditor(this);
            codeInsight->AddEditor(this);
            AddProposal(codeInsight);
        }
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              LocationOf(this, "SetCodeInsight"));
    }
}

void TVoskSQLMemo::SetMyControl(TQ32Control* control) {
    if (FMyControl == control)
        return;
    disconnect(m_ctlGone);
    if (FMyControl)
        FMyControl->DeleteControl(this);
    FMyControl = control;
    if (control) {
        m_ctlGone = connect(control, &QObject::destroyed, this, [this] { FMyControl = nullptr; });
        control->AddControl(this);
    }
}

void TVoskSQLMemo::SetCStrings(const QStringList& strings) {
    FCStrings = strings;
    DoCStringsChange();
}

void TVoskSQLMemo::SetCHintSep(QChar c) {
    FCHintSep = c;
    DoCStringsChange();
}

void TVoskSQLMemo::SetGutterFont(const QFont& font) {
    m_gutterFont = font;
    setMarginsFont(font);
}

void TVoskSQLMemo::DoCStringsChange() {
    if (!FCStringsDoLoad && !m_destroying)
        QCoreApplication::postEvent(this, new QEvent(LoadCodeInsightEvent));
    FCStringsDoLoad = true;
}

void TVoskSQLMemo::LoadCodeInsight() {
    if (!FCStringsDoLoad || !FCodeInsight)
        return;
    FCodeInsight->ClearList();
    TSynCompletionOptions options = FCodeInsight->Options() & ~scoUseInsertList;
    QStringList shown, inserts;
    shown.reserve(FCStrings.size());
    inserts.reserve(FCStrings.size());
    for (const QString& line : FCStrings) {
        const int sep = line.indexOf(FCHintSep);
        const QString value = sep >= 0 ? line.mid(sep + 1) : QString();
        if (!value.isEmpty()) {
            options |= scoUseInsertList;
            shown << value;
            inserts << line.left(sep);
        } else {
            shown << line;
            inserts << line;
        }
    }
    FCodeInsight->SetItemList(shown);
    FCodeInsight->SetInsertList(inserts);
    FCodeInsight->SetOptions(options);
    // Cleared, so that the next change of the strings posts a reload again.
    FCStringsDoLoad = false;
}

bool TVoskSQLMemo::event(QEvent* e) {
    if (e->type() == LoadCodeInsightEvent) {
        LoadCodeInsight();
        return true;
    }
    return TSynEdit::event(e);
}

void TVoskSQLMemo::DoBeforeComplete(QString& currentInput, bool&) {
    if (!OnBeforeComplete)
        return;
    OnBeforeComplete(this, currentInput);
    while (FCStringsDoLoad && FCodeInsight) {
        QEvent load(LoadCodeInsightEvent);
        QCoreApplication::sendEvent(this, &load);
    }
}

void TVoskSQLMemo::DoAfterComplete(const QString& value) {
    if (OnAfterComplete)
        OnAfterComplete(this, value);
}

void TVoskSQLMemo::DoChange() {
    Voskdbcontrols::KorvexChange(this);
}

void TVoskSQLMemo::DoEnter() {
    try {
        Voskdbcontrols::KorvexEnter(this);
    } catch (const EVoskException& e) {
        throw EVoskException(Vcl::ClassName(this) + QStringLiteral(".DoEnter: ") + e.Message());
    }
}

void TVoskSQLMemo::DoExit() {
    try {
        Voskdbcontrols::KorvexExit(this);
    } catch (const EVoskException& e) {
        throw EVoskException(Vcl::ClassName(this) + QStringLiteral(".DoExit: ") + e.Message());
    }
}

void TVoskSQLMemo::focusInEvent(QFocusEvent* e) {
    DoEnter();
    TSynEdit::focusInEvent(e);
}

void TVoskSQLMemo::focusOutEvent(QFocusEvent* e) {
    DoExit();
    TSynEdit::focusOutEvent(e);
}

void TVoskSQLMemo::CheckSQL() {
    bool ok = false;
    try {
        TDM1* dm = DM1();
        if (!dm)
            throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
        m_lastCheck = USqlCheck::CheckSql(dm->Database(), text());
        ok = m_lastCheck.ok;
        if (!ok)
            dm->LogEvent(LocationOf(this, "CheckSQL") + QStringLiteral(": ") +
                         m_lastCheck.sqlState + QStringLiteral(" ") + m_lastCheck.message +
                         QStringLiteral(" (Position ") + QString::number(m_lastCheck.position) +
                         QStringLiteral(")"));
    } catch (...) {
        m_lastCheck = {false, Rtl::ExceptionMessage(std::current_exception()), {}, 0};
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              LocationOf(this, "CheckSQL"));
    }
    if (ok && m_lastCheck.notCheckable)
        Korvexutils::RaiseInformation(m_lastCheck.message);
    else if (ok)
        Korvexutils::RaiseInformation(QStringLiteral("Statement OK."));
    else
        Korvexutils::RaiseError(QStringLiteral("Statement fehlerhaft."));
}

void TVoskSQLMemo::InsertAtSelection(const QString& text) {
    if (FInsertDontReplace && hasSelectedText()) {
        int lf = 0, xf = 0, lt = 0, xt = 0;
        getSelection(&lf, &xf, &lt, &xt);
        setCursorPosition(lt, xt);
    }
    replaceSelectedText(text);
}

void TVoskSQLMemo::InsertLangText() {
    auto key = std::make_unique<QObject>();
    key->setObjectName(QStringLiteral("LangText"));
    const TF2Result r = MakeF2(this, key.get(), true, false, {}, QStringList(), {}, {});
    if (!r.F2Form || r.F2Form->ModalResult() != Vcl::mrOk || !r.F2Query)
        return;
    const QString nr = r.F2Query->property("t_nr").toString();
    if (!nr.isEmpty())
        InsertAtSelection(QStringLiteral(" langtext(") + nr + QLatin1Char(')'));
}

void TVoskSQLMemo::InsertTableField() {
    auto key = std::make_unique<QObject>();
    key->setObjectName(QStringLiteral("TableField"));
    const TF2Result r = MakeF2(this, key.get(), true, false, {}, QStringList(), {}, {});
    if (!r.F2Form || r.F2Form->ModalResult() != Vcl::mrOk)
        return;
    const auto* grid = dynamic_cast<const IVoskSelectedRecordValues*>(r.F2Grid.data());
    if (!grid)
        return;
    const QStringList fields =
        grid->GetSelectedRecordValuesStr(QStringLiteral("field"), rvoNoGroupRows);
    if (!fields.isEmpty())
        InsertAtSelection(fields.join(QStringLiteral(",\r\n  ")));
}

// ---- TVoskDBSQLMemo --------------------------------------------------------------------------

TVoskDBSQLMemo::TVoskDBSQLMemo(QWidget* parent)
    : TVoskSQLMemo(parent), FDataLink(new Corvale::TFieldLink(this, [this] { DataChange(); })) {
    setReadOnly(true);
}

TVoskClass* TVoskDBSQLMemo::DataSource() const {
    return FDataLink->DataClass();
}
void TVoskDBSQLMemo::SetDataSource(TVoskClass* dataClass) {
    FDataLink->SetDataClass(dataClass);
}
QString TVoskDBSQLMemo::DataField() const {
    return FDataLink->FieldName();
}
void TVoskDBSQLMemo::SetDataField(const QString& field) {
    FDataLink->SetFieldName(field);
}

void TVoskDBSQLMemo::SetReadOnly(bool on) {
    m_readOnly = on;
    EditingChange();
}

void TVoskDBSQLMemo::DataChange() {
    if (m_destroying)
        return;
    TVoskClass* c = FDataLink->DataClass();
    if (!c || !c->Active() || FDataLink->FieldName().isEmpty() ||
        c->FieldIndex(FDataLink->FieldName()) < 0) {
        FIsLoading = true;
        setText(Vcl::IsDesigning(this) ? objectName() : QString());
        FIsLoading = false;
        FMemoLoaded = false;
        EditingChange();
        return;
    }
    FMemoLoaded = false;
    LoadMemo();
}

void TVoskDBSQLMemo::LoadMemo() {
    if (FMemoLoaded)
        return;
    FIsLoading = true;
    try {
        const QString value = FDataLink->Value().toString();
        if (value != text())
            setText(value);
        m_original = value;
        FMemoLoaded = true;
        m_writeFailed = false;
    } catch (const std::exception&) {
        setText(QStringLiteral("(%1)").arg(Rtl::ExceptionMessage(std::current_exception())));
    }
    FIsLoading = false;
    EditingChange();
}

void TVoskDBSQLMemo::EditingChange() {
    // Typing is possible while focused on a loaded field the class lets change.
    setReadOnly(m_readOnly || !FMemoLoaded || !FFocused || !FDataLink->CanEdit());
}

bool TVoskDBSQLMemo::linkEdit() {
    TVoskClass* c = FDataLink->DataClass();
    if (m_readOnly || !c || !FDataLink->CanEdit())
        return false;
    if (c->State() == dsEdit || c->State() == dsInsert)
        return true;
    return Rtl::Guarded([c] { c->Edit(); }, this);
}

void TVoskDBSQLMemo::UpdateData() {
    TVoskClass* c = FDataLink->DataClass();
    if (!c)
        return;
    if (c->State() != dsEdit && c->State() != dsInsert)
        c->Edit();
    FDataLink->Store(text());
}

void TVoskDBSQLMemo::Reset() {
    TVoskClass* c = FDataLink->DataClass();
    if (FMemoLoaded && c && (c->State() == dsEdit || c->State() == dsInsert) &&
        FDataLink->Value().toString() != m_original)
        Rtl::Guarded([this] { FDataLink->Store(m_original); }, this);
    FMemoLoaded = false;
    LoadMemo();
}

void TVoskDBSQLMemo::DoChange() {
    // Every change reaches the field at once, so that a save from the keyboard sees it.
    if (FMemoLoaded && !FIsLoading && FDataLink->CanEdit() && !m_readOnly)
        m_writeFailed = !Rtl::Guarded([this] { UpdateData(); }, this);
    TVoskSQLMemo::DoChange();
}

void TVoskDBSQLMemo::keyPressEvent(QKeyEvent* e) {
    if (!FMemoLoaded) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
            LoadMemo();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape && !ProposalOpen()) {
        // With a list open, Esc closes the list and keeps the text.
        Reset();
        e->accept();
        return;
    }
    const QString t = e->text();
    const bool edits =
        e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Tab ||
        e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter ||
        (e->key() == Qt::Key_Insert && e->modifiers() & Qt::ShiftModifier) ||
        (t.size() == 1 && (t[0] >= QLatin1Char(' ') || t[0] == QChar(22) || t[0] == QChar(24)));
    if (edits && !isReadOnly() && !linkEdit()) {
        e->accept();
        return;
    }
    TVoskSQLMemo::keyPressEvent(e);
}

void TVoskDBSQLMemo::SetFocused(bool focused) {
    if (FFocused == focused)
        return;
    FFocused = focused;
    EditingChange();
}

void TVoskDBSQLMemo::focusInEvent(QFocusEvent* e) {
    SetFocused(true);
    TVoskSQLMemo::focusInEvent(e);
}

void TVoskDBSQLMemo::focusOutEvent(QFocusEvent* e) {
    if (m_writeFailed && FMemoLoaded) {
        m_writeFailed = !Rtl::Guarded([this] { UpdateData(); }, this);
        if (m_writeFailed) {
            // The field refused the text: the user stays here to mend it.
            QMetaObject::invokeMethod(
                this, [this] { setFocus(); }, Qt::QueuedConnection);
            TVoskSQLMemo::focusOutEvent(e);
            return;
        }
    }
    SetFocused(false);
    TVoskSQLMemo::focusOutEvent(e);
}

void TVoskDBSQLMemo::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!FMemoLoaded) {
        LoadMemo();
        return;
    }
    TVoskSQLMemo::mouseDoubleClickEvent(e);
}

void TVoskDBSQLMemo::cut() {
    if (linkEdit())
        TVoskSQLMemo::cut();
}
void TVoskDBSQLMemo::paste() {
    if (linkEdit())
        TVoskSQLMemo::paste();
}
void TVoskDBSQLMemo::clear() {
    if (linkEdit())
        TVoskSQLMemo::clear();
}
void TVoskDBSQLMemo::undo() {
    if (linkEdit())
        TVoskSQLMemo::undo();
}

// ---- registration ----------------------------------------------------------------------------

namespace UVoskSQLMemo {
void Register() {
    Vcl::RegisterComponents(QStringLiteral("Vosk_System"), {Vcl::ComponentClass<TVoskSQLMemo>(),
                                                           Vcl::ComponentClass<TVoskDBSQLMemo>()});
}
} // namespace UVoskSQLMemo

KORVEX_UNIT("hadrel", "UVoskSQLMemo", nullptr, nullptr, &UVoskSQLMemo::Register);
