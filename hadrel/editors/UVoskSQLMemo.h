#pragma once
// SQL editor controls. TVoskSQLMemo is a source editor that can own three helpers of its own: a
// PostgreSQL highlighter that knows the database's tables, a template completion filled with key
// words, table and field names, and a code-insight list fed by the caller. Its syntax check parses
// and prepares the text but never runs it. TVoskDBSQLMemo binds the editor to a text field.
//
// TSynAutoComplete expands the token before the caret into a template on its shortcut and offers
// the list of templates when the token matches none exactly.

#include "SynCompletionProposal.h"
#include "SynEdit.h"
#include "SynHighlighterSQL.h"
#include "TQ32Control.h"
#include "USqlCheck.h"

#include <QEvent>
#include <QFont>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>

#include <TVoskClass.h>

namespace Corvale {
class TFieldLink;
}

// Template list: a token line, an optional "|description" line, then "=expansion" lines; a "|"
// in an expansion marks where the caret goes (the last one counts).
class TSynAutoComplete : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList AutoCompleteList READ AutoCompleteList WRITE SetAutoCompleteList)
    Q_PROPERTY(QString EndOfTokenChr READ EndOfTokenChr WRITE SetEndOfTokenChr)
    Q_PROPERTY(int ShortCut READ ShortCut WRITE SetShortCut)
    Q_PROPERTY(bool DoLookupWhenNotExact READ DoLookupWhenNotExact WRITE SetDoLookup)
    Q_PROPERTY(int Options READ GetOptions WRITE SetOptions)
    Q_PROPERTY(bool Executing READ GetExecuting)
public:
    explicit TSynAutoComplete(QObject* owner = nullptr);
    ~TSynAutoComplete() override;

    TSynEdit* Editor() const { return FEditor; }
    void SetEditor(TSynEdit* editor);
    const QStringList& AutoCompleteList() const { return FAutoCompleteList; }
    void SetAutoCompleteList(const QStringList& list);
    int ShortCut() const { return FShortCut; }
    void SetShortCut(int shortCut) { FShortCut = shortCut; }
    QString EndOfTokenChr() const { return FEndOfTokenChr; }
    void SetEndOfTokenChr(const QString& chars) { FEndOfTokenChr = chars; }
    bool DoLookupWhenNotExact() const { return FDoLookup; }
    void SetDoLookup(bool on);
    TSynCompletionOptions GetOptions() const { return FOptions; }
    void SetOptions(TSynCompletionOptions options);
    bool GetExecuting() const;
    TSynCompletionProposal* InternalCompletion() const { return FInternalCompletion; }

    std::function<void(QObject* sender)> OnBeforeExecute;
    std::function<void(QObject* sender)> OnAfterExecute;

    virtual void EditorKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);
    virtual void EditorKeyPress(QObject* sender, QChar& key);

    void Execute(const QString& token, TSynEdit* editor);
    void ExecuteEx(const QString& token, TSynEdit* editor, bool lookupIfNotExact);
    QString GetPreviousToken(TSynEdit* editor) const;
    // Token lines, trimmed, one a line (description lines are not tokens).
    QString GetTokenList() const;
    // The expansion lines behind the token (and its description), without their "=".
    QString GetTokenValue(const QString& token) const;
    void CancelCompletion();

private:
    int tokenIndex(const QString& token) const;
    void DoInternalAutoCompletion();
    void detachEditor();

    int FShortCut;
    QPointer<TSynEdit> FEditor;
    QStringList FAutoCompleteList;
    bool FNoNextKey = false;
    QString FEndOfTokenChr;
    TSynCompletionProposal* FInternalCompletion = nullptr;
    bool FDoLookup = true;
    TSynCompletionOptions FOptions = 0;
    int m_downId = 0, m_pressId = 0;
    // Token line by text; rebuilt when the list changes.
    mutable QHash<QString, int> m_tokens;
    mutable bool m_tokensDirty = true;
    // Whether the pop-up's lists must be built again from the template list.
    bool m_popupDirty = true;
};

enum TVoskSQLMemoFeature {
    smfInternHighlighter = 0x1,
    smfInternAutoComplete = 0x2,
    smfInternCodeInsight = 0x4,
};
Q_DECLARE_FLAGS(TVoskSQLMemoFeatures, TVoskSQLMemoFeature)
Q_DECLARE_OPERATORS_FOR_FLAGS(TVoskSQLMemoFeatures)

class TVoskSQLMemo : public TSynEdit, public IKorvexControl {
    Q_OBJECT
    Q_PROPERTY(TVoskSQLMemoFeatures _Features READ GetFeatures WRITE SetFeatures)
    Q_PROPERTY(QStringList _CompleteStrings READ CStrings WRITE SetCStrings)
    Q_PROPERTY(QChar _CompleteHintSeparator READ CHintSep WRITE SetCHintSep)
    Q_PROPERTY(QChar _CompleteInsertLineBreak READ CLineBreak WRITE SetCLineBreak)
    Q_PROPERTY(bool _InsertDontReplace READ InsertDontReplace WRITE SetInsertDontReplace)
    Q_PROPERTY(QsciLexer* Highlighter READ GetHighlighter WRITE SetHighlighter STORED false)
    Q_PROPERTY(QFont Gutter READ GutterFont WRITE SetGutterFont)
    Q_PROPERTY(QsciLexer* _Highlighter READ GetHighlighter WRITE SetHighlighter)
    Q_PROPERTY(TSynAutoComplete* _AutoComplete READ GetAutoComplete WRITE SetAutoComplete)
    Q_PROPERTY(TSynCompletionProposal* _CodeInsight READ GetCodeInsight WRITE SetCodeInsight)
    Q_PROPERTY(int _AutoCompleteSC READ AutoCompleteSC)
    Q_PROPERTY(int _CodeInsightSC READ CodeInsightSC)
    Q_PROPERTY(TQ32Control* Q32Control READ GetMyControl WRITE SetMyControl)
public:
    Q_FLAG(TVoskSQLMemoFeatures)
    // The code-insight reload, posted to the control.
    static constexpr QEvent::Type LoadCodeInsightEvent = QEvent::Type(QEvent::User + 6);

    explicit TVoskSQLMemo(QWidget* parent = nullptr);
    ~TVoskSQLMemo() override;

    TVoskSQLMemoFeatures GetFeatures() const;
    // Creates or frees the own helpers; the catalogue is read only when the set changes.
    void SetFeatures(TVoskSQLMemoFeatures features);

    QsciLexer* GetHighlighter() const { return FHighlighter; }
    void SetHighlighter(QsciLexer* highlighter);
    TSynAutoComplete* GetAutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(TSynAutoComplete* autoComplete);
    TSynCompletionProposal* GetCodeInsight() const { return FCodeInsight; }
    void SetCodeInsight(TSynCompletionProposal* codeInsight);
    // Only helpers from outside are written with the form; own ones are made by _Features.
    bool IsHighlighterStored() const;
    bool IsAutoCompleteStored() const;
    bool IsCodeInsightStored() const;
    // Whether the form writes the property: the helper properties only for foreign helpers.
    bool IsStored(const QString& property) const;
    int AutoCompleteSC() const;
    int CodeInsightSC() const;

    QStringList CStrings() const { return FCStrings; }
    void SetCStrings(const QStringList& strings);
    QChar CHintSep() const { return FCHintSep; }
    void SetCHintSep(QChar c);
    QChar CLineBreak() const { return FCLineBreak; }
    void SetCLineBreak(QChar c) { FCLineBreak = c; }
    bool InsertDontReplace() const { return FInsertDontReplace; }
    void SetInsertDontReplace(bool on) { FInsertDontReplace = on; }
    QFont GutterFont() const { return m_gutterFont; }
    void SetGutterFont(const QFont& font);
    bool CStringsDoLoad() const { return FCStringsDoLoad; }

    // Before the code-insight list opens, with the text typed so far; after an entry went in.
    std::function<void(QObject* sender, const QString& currentInput)> OnBeforeComplete;
    std::function<void(QObject* sender, const QString& value)> OnAfterComplete;

    // Parses and prepares the whole text, runs nothing; shows "Statement OK." or
    // "Statement fehlerhaft.".
    void CheckSQL();
    // F2 insertions: a language-text call, or the chosen fields of a table.
    void InsertLangText();
    void InsertTableField();
    // What the last CheckSQL found, for callers that show more than the two messages.
    const USqlCheck::TSqlCheckResult& LastCheck() const { return m_lastCheck; }

    // Reads the catalogue of the connection again, for every editor on it.
    static void RefreshCatalogue();

    // IKorvexControl
    void SetMyControl(TQ32Control* control) override;
    TQ32Control* GetMyControl() const override { return FMyControl; }
    void LoadLastValue() override {}
    void SaveLastValue() override {}
    bool isModifiedByUser() const override { return false; }

protected:
    virtual void DoChange();
    void DoEnter();
    void DoExit();
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void LoadCodeInsight();
    void DoCStringsChange();
    void DoBeforeComplete(QString& currentInput, bool& canExecute);
    void DoAfterComplete(const QString& value);
    // Puts text where the selection is, or behind it with _InsertDontReplace.
    void InsertAtSelection(const QString& text);
    bool m_destroying = false;

private:
    USqlCheck::TSqlCheckResult m_lastCheck;
    QPointer<TQ32Control> FMyControl;
    QPointer<QsciLexer> FHighlighter;
    QPointer<TSynAutoComplete> FAutoComplete;
    QPointer<TSynCompletionProposal> FCodeInsight;
    QStringList FCStrings;
    bool FCStringsDoLoad = false;
    QChar FCHintSep = QLatin1Char('=');
    QChar FCLineBreak = QLatin1Char('#');
    bool FInsertDontReplace = false;
    QFont m_gutterFont;
    QMetaObject::Connection m_hlGone, m_acGone, m_ciGone, m_ctlGone;
};

// The editor on a text field of a data class: loads the field, puts the record into edit on
// typing, writes the text back when the focus leaves, and Esc takes back the typing.
class TVoskDBSQLMemo final : public TVoskSQLMemo {
    Q_OBJECT
    Q_PROPERTY(TVoskClass* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
public:
    explicit TVoskDBSQLMemo(QWidget* parent = nullptr);

    TVoskClass* DataSource() const;
    void SetDataSource(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    bool MemoLoaded() const { return FMemoLoaded; }

    virtual void LoadMemo();
    void DataChange();
    void EditingChange();
    // Writes the text to the field (the record goes into edit first).
    void UpdateData();
    // Takes the field's value back, dropping what was typed.
    void Reset();

protected:
    void DoChange() override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void SetFocused(bool focused);
    bool linkEdit();

public slots:
    void cut() override;
    void paste() override;
    void clear() override;
    void undo() override;

private:
    Corvale::TFieldLink* FDataLink;
    bool FFocused = false;
    bool FIsLoading = false;
    bool FMemoLoaded = false;
    bool m_readOnly = false;
    // The field's value when loaded, which Esc brings back; whether the last write was refused.
    QString m_original;
    bool m_writeFailed = false;
};

namespace UVoskSQLMemo {
// Puts `TVoskSQLMemo` and `TVoskDBSQLMemo` on the IDE's palette page "Vosk_System".
void Register();
} // namespace UVoskSQLMemo
