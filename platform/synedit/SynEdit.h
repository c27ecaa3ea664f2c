#pragma once
// Editor of the editor stand-in: QScintilla with the key handler chains through which attached
// components see a key before the editor does, and the completion pop-ups that ride on it.

#include <Qsci/qsciscintilla.h>

#include <QList>
#include <QPointer>

#include <functional>
#include <map>

class TSynCompletionProposal;

class TSynEdit : public QsciScintilla {
    Q_OBJECT
    Q_PROPERTY(bool WantTabs READ WantTabs WRITE SetWantTabs)
public:
    explicit TSynEdit(QWidget* parent = nullptr);
    ~TSynEdit() override;

    // key 0 afterwards swallows the key; shift is the exact modifier state.
    using TKeyDownHandler =
        std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
    // A character set to 0 is swallowed.
    using TKeyPressHandler = std::function<void(QObject* sender, QChar& key)>;
    // Returns an id for removal; handlers run in the order they were added.
    int AddKeyDownHandler(TKeyDownHandler handler);
    void RemoveKeyDownHandler(int id);
    int AddKeyPressHandler(TKeyPressHandler handler);
    void RemoveKeyPressHandler(int id);
    int KeyDownHandlerCount() const { return int(m_down.size()); }

    // Pop-ups that open on this editor by their shortcut or trigger characters.
    void AddProposal(TSynCompletionProposal* proposal);
    void RemoveProposal(TSynCompletionProposal* proposal);
    // Whether one of them is open: it takes the keys before anything else.
    bool ProposalOpen() const;

    bool WantTabs() const { return m_wantTabs; }
    void SetWantTabs(bool want) { m_wantTabs = want; }
    // 1-based column of the caret with tabs expanded.
    int CaretDisplayX() const;
    // Whether typed tabs stay tabs (false: they become blanks).
    bool TabsKept() const { return indentationsUseTabs(); }
    // Types text at the caret as the keyboard would, without auto-indentation.
    void TypeText(const QString& text);
    void DeleteLastChar();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::map<int, TKeyDownHandler> m_down;
    std::map<int, TKeyPressHandler> m_press;
    int m_nextId = 1;
    QList<QPointer<TSynCompletionProposal>> m_proposals;
    bool m_wantTabs = true;
};

// Qt's key and modifiers as one shortcut value (Qt::SHIFT | Qt::Key_Space).
int ShortCutOf(int key, Qt::KeyboardModifiers shift);
