#include "SynEdit.h"

#include "SynCompletionProposal.h"

#include <QKeyEvent>

int ShortCutOf(int key, Qt::KeyboardModifiers shift) {
    return key | int(shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                              Qt::MetaModifier));
}

TSynEdit::TSynEdit(QWidget* parent) : QsciScintilla(parent) {}

TSynEdit::~TSynEdit() = default;

int TSynEdit::AddKeyDownHandler(TKeyDownHandler handler) {
    m_down.emplace(m_nextId, std::move(handler));
    return m_nextId++;
}
void TSynEdit::RemoveKeyDownHandler(int id) {
    m_down.erase(id);
}
int TSynEdit::AddKeyPressHandler(TKeyPressHandler handler) {
    m_press.emplace(m_nextId, std::move(handler));
    return m_nextId++;
}
void TSynEdit::RemoveKeyPressHandler(int id) {
    m_press.erase(id);
}

void TSynEdit::AddProposal(TSynCompletionProposal* proposal) {
    if (proposal && !m_proposals.contains(proposal))
        m_proposals << proposal;
}
void TSynEdit::RemoveProposal(TSynCompletionProposal* proposal) {
    m_proposals.removeAll(proposal);
}

int TSynEdit::CaretDisplayX() const {
    const long pos = SendScintilla(SCI_GETCURRENTPOS);
    return int(SendScintilla(SCI_GETCOLUMN, pos)) + 1;
}

void TSynEdit::TypeText(const QString& text) {
    if (text.isEmpty())
        return;
    insert(text);
    // insert() leaves the caret in front of the text; typing leaves it behind.
    const long pos = SendScintilla(SCI_GETCURRENTPOS) + long(text.toUtf8().size());
    SendScintilla(SCI_GOTOPOS, pos);
}

void TSynEdit::DeleteLastChar() {
    SendScintilla(SCI_DELETEBACK);
}

bool TSynEdit::ProposalOpen() const {
    for (const auto& p : m_proposals)
        if (p && p->Visible())
            return true;
    return false;
}

void TSynEdit::keyPressEvent(QKeyEvent* e) {
    const QList<QPointer<TSynCompletionProposal>> proposals = m_proposals;
    for (const auto& p : proposals)
        if (p && p->Visible() && p->HandleKey(e)) {
            e->accept();
            return;
        }
    int key = e->key();
    const Qt::KeyboardModifiers shift = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                          Qt::AltModifier | Qt::MetaModifier);
    // A handler may remove itself or others while it runs.
    std::vector<int> ids;
    for (const auto& [id, h] : m_down)
        ids.push_back(id);
    for (int id : ids) {
        auto it = m_down.find(id);
        if (it == m_down.end())
            continue;
        const TKeyDownHandler h = it->second;
        h(this, key, shift);
        if (key == 0) {
            // The character of a swallowed key still reaches the press handlers, as a character
            // message follows its key-down message: a handler may be waiting to drop it.
            if (e->text().size() == 1) {
                QChar c = e->text()[0];
                for (const auto& [pid, ph] : std::map<int, TKeyPressHandler>(m_press)) {
                    ph(this, c);
                    if (c.isNull())
                        break;
                }
            }
            e->accept();
            return;
        }
    }
    for (const auto& p : proposals)
        if (p && p->HasEditor(this) && !p->ShortCut().isEmpty() &&
            p->ShortCut()[0].toCombined() == ShortCutOf(key, shift)) {
            p->Execute(this);
            e->accept();
            return;
        }
    QString text = e->text();
    if (text.size() == 1) {
        QChar c = text[0];
        std::vector<int> pids;
        for (const auto& [id, h] : m_press)
            pids.push_back(id);
        for (int id : pids) {
            auto it = m_press.find(id);
            if (it == m_press.end())
                continue;
            const TKeyPressHandler h = it->second;
            h(this, c);
            if (c.isNull()) {
                e->accept();
                return;
            }
        }
    }
    if (key == Qt::Key_Tab && !m_wantTabs) {
        e->ignore();
        focusNextChild();
        return;
    }
    QsciScintilla::keyPressEvent(e);
    for (const auto& p : proposals) {
        if (!p)
            continue;
        if (p->Visible())
            p->Update();
        else if (text.size() == 1 && p->HasEditor(this) && !isReadOnly() &&
                 p->TriggerChars().contains(text[0]))
            p->Execute(this);
    }
}
