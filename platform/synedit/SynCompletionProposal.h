#pragma once
// Completion pop-up of the editor stand-in: a list below the caret that shows one text per entry
// and inserts another. The entries are kept sorted by their inserted text, so that narrowing to
// the typed prefix is a range, and the view's model holds only that range: a list of 10^5 names
// opens as fast as one of ten. The editor keeps the focus and hands the pop-up its keys.

#include <QAbstractListModel>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QsciScintilla;
class QKeyEvent;
#include <QListView>

enum TSynCompletionOption {
    scoLimitToMatchedText = 0x01,
    scoEndCharCompletion = 0x02,
    scoCompleteWithTab = 0x04,
    scoCompleteWithEnter = 0x08,
    scoUseInsertList = 0x10,
    scoUseBuiltInTimer = 0x20,
};
using TSynCompletionOptions = int;

class TSynCompletionModel final : public QAbstractListModel {
    Q_OBJECT
public:
    struct TEntry {
        QString shown;
        QString insert;
        QString key; // insert folded to lower case
    };
    explicit TSynCompletionModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}
    void SetEntries(std::vector<TEntry> entries);
    // Narrows to entries whose inserted text starts with prefix (case-insensitive), or shows all.
    void SetRange(const QString& prefix, bool limit);
    const TEntry* At(int row) const;
    int FirstMatch() const { return m_firstMatch; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<TEntry> m_entries;
    int m_begin = 0, m_end = 0, m_firstMatch = -1;
};

class TSynCompletionProposal final : public QObject {
    Q_OBJECT
public:
    explicit TSynCompletionProposal(QObject* owner = nullptr);
    ~TSynCompletionProposal() override;

    // Shown texts and, with scoUseInsertList, the texts inserted in their place.
    QStringList ItemList() const { return m_items; }
    QStringList InsertList() const { return m_inserts; }
    void SetItemList(const QStringList& items);
    void SetInsertList(const QStringList& inserts);
    void ClearList();
    void AddItem(const QString& shown, const QString& insert);

    TSynCompletionOptions Options() const { return m_options; }
    void SetOptions(TSynCompletionOptions options) { m_options = options; }
    QKeySequence ShortCut() const { return m_shortCut; }
    void SetShortCut(const QKeySequence& s) { m_shortCut = s; }
    QString TriggerChars() const { return m_triggerChars; }
    void SetTriggerChars(const QString& c) { m_triggerChars = c; }
    QString EndOfTokenChr() const { return m_endOfToken; }
    void SetEndOfTokenChr(const QString& c) { m_endOfToken = c; }
    int NbLinesInWindow() const { return m_lines; }
    void SetNbLinesInWindow(int n) { m_lines = n; }
    int Width() const { return m_width; }
    void SetWidth(int w) { m_width = w; }
    QString Title() const { return m_title; }
    void SetTitle(const QString& t) { m_title = t; }

    // The editor the list works on; AddEditor/RemoveEditor keep the editors that may open it.
    QsciScintilla* Editor() const { return m_editor; }
    void SetEditor(QsciScintilla* editor);
    void AddEditor(QsciScintilla* editor);
    bool RemoveEditor(QsciScintilla* editor);
    bool HasEditor(QsciScintilla* editor) const;

    // Runs before the list opens with the text typed so far; false keeps it closed.
    std::function<void(QString& currentInput, bool& canExecute)> OnExecute;
    // After an entry was inserted, with the inserted text.
    std::function<void(const QString& value)> OnAfterCodeCompletion;

    // Opens the list on editor for the token before the caret.
    void Execute(QsciScintilla* editor);
    void CancelCompletion();
    bool Visible() const;
    QListView* Form() const { return m_view; }
    TSynCompletionModel* Model() const { return m_model; }
    // The token the list narrows to: the text left of the caret up to an end-of-token character.
    QString CurrentToken() const;

    // Key handling while the list is open; true when the key was used. After the editor took a
    // typed character, call Update so that the list follows the token.
    bool HandleKey(QKeyEvent* e);
    void Update();
    // Inserts the chosen entry in place of the token.
    void Complete();

private:
    void rebuild();
    void ensureView();

    QStringList m_items, m_inserts;
    bool m_dirty = true;
    TSynCompletionOptions m_options = 0;
    QKeySequence m_shortCut;
    QString m_triggerChars, m_endOfToken, m_title;
    int m_lines = 8, m_width = 260;
    QPointer<QsciScintilla> m_editor;
    QList<QPointer<QsciScintilla>> m_editors;
    QPointer<QListView> m_view;
    TSynCompletionModel* m_model;
};
