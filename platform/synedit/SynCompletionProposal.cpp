#include "SynCompletionProposal.h"

#include <Qsci/qsciscintilla.h>

#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>

#include <algorithm>

// ---- model -----------------------------------------------------------------------------------

void TSynCompletionModel::SetEntries(std::vector<TEntry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const TEntry& a, const TEntry& b) { return a.key < b.key; });
    m_begin = 0;
    m_end = int(m_entries.size());
    m_firstMatch = m_entries.empty() ? -1 : 0;
    endResetModel();
}

void TSynCompletionModel::SetRange(const QString& prefix, bool limit) {
    const QString key = prefix.toLower();
    const auto lo = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                                     [](const TEntry& e, const QString& k) { return e.key < k; });
    auto hi = lo;
    while (hi != m_entries.end() && hi->key.startsWith(key))
        hi = std::upper_bound(hi, m_entries.end(), hi->key,
                              [](const QString& k, const TEntry& e) { return k < e.key; });
    beginResetModel();
    if (limit) {
        m_begin = int(lo - m_entries.begin());
        m_end = int(hi - m_entries.begin());
        m_firstMatch = m_end > m_begin ? 0 : -1;
    } else {
        m_begin = 0;
        m_end = int(m_entries.size());
        m_firstMatch = lo != hi ? int(lo - m_entries.begin()) : -1;
    }
    endResetModel();
}

const TSynCompletionModel::TEntry* TSynCompletionModel::At(int row) const {
    if (row < 0 || m_begin + row >= m_end)
        return nullptr;
    return &m_entries[size_t(m_begin + row)];
}

int TSynCompletionModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_end - m_begin;
}

QVariant TSynCompletionModel::data(const QModelIndex& index, int role) const {
    const TEntry* e = index.isValid() ? At(index.row()) : nullptr;
    if (!e)
        return {};
    if (role == Qt::DisplayRole)
        return e->shown;
    if (role == Qt::ToolTipRole)
        return e->insert;
    return {};
}

// ---- proposal --------------------------------------------------------------------------------

TSynCompletionProposal::TSynCompletionProposal(QObject* owner)
    : QObject(owner), m_model(new TSynCompletionModel(this)) {}

TSynCompletionProposal::~TSynCompletionProposal() {
    delete m_view.data();
}

void TSynCompletionProposal::SetItemList(const QStringList& items) {
    m_items = items;
    m_dirty = true;
}
void TSynCompletionProposal::SetInsertList(const QStringList& inserts) {
    m_inserts = inserts;
    m_dirty = true;
}
void TSynCompletionProposal::ClearList() {
    m_items.clear();
    m_inserts.clear();
    m_dirty = true;
}
void TSynCompletionProposal::AddItem(const QString& shown, const QString& insert) {
    m_items << shown;
    m_inserts << insert;
    m_dirty = true;
}

void TSynCompletionProposal::SetEditor(QsciScintilla* editor) {
    if (m_editor == editor)
        return;
    CancelCompletion();
    m_editor = editor;
}
void TSynCompletionProposal::AddEditor(QsciScintilla* editor) {
    if (editor && !HasEditor(editor))
        m_editors << editor;
}
bool TSynCompletionProposal::RemoveEditor(QsciScintilla* editor) {
    if (m_editor == editor)
        SetEditor(nullptr);
    return m_editors.removeAll(editor) > 0;
}
bool TSynCompletionProposal::HasEditor(QsciScintilla* editor) const {
    return editor && m_editors.contains(editor);
}

void TSynCompletionProposal::rebuild() {
    if (!m_dirty)
        return;
    std::vector<TSynCompletionModel::TEntry> entries;
    entries.reserve(size_t(m_items.size()));
    const bool useInsert = m_options & scoUseInsertList;
    for (int i = 0; i < m_items.size(); ++i) {
        const QString insert = useInsert && i < m_inserts.size() ? m_inserts[i] : m_items[i];
        entries.push_back({m_items[i], insert, insert.toLower()});
    }
    m_model->SetEntries(std::move(entries));
    m_dirty = false;
}

void TSynCompletionProposal::ensureView() {
    QWidget* host = m_editor ? m_editor->window() : nullptr;
    if (m_view && m_view->parentWidget() == host)
        return;
    delete m_view.data();
    // A child of the editor's window, so that the editor keeps the focus and the list is part of
    // what the window shows.
    m_view = new QListView(host);
    m_view->setObjectName(QStringLiteral("CompletionList"));
    m_view->setAccessibleName(m_title.isEmpty() ? QStringLiteral("Vervollständigung") : m_title);
    m_view->setToolTip(QStringLiteral("Eintrag mit Enter oder Doppelklick übernehmen"));
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setUniformItemSizes(true);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setModel(m_model);
    connect(m_view, &QListView::doubleClicked, this, [this] { Complete(); });
}

QString TSynCompletionProposal::CurrentToken() const {
    if (!m_editor)
        return {};
    int line = 0, index = 0;
    m_editor->getCursorPosition(&line, &index);
    const QString text = m_editor->text(line);
    int i = qMin(index, int(text.size()));
    const int end = i;
    while (i > 0 && text[i - 1] > QLatin1Char(' ') && !m_endOfToken.contains(text[i - 1]))
        --i;
    return text.mid(i, end - i);
}

void TSynCompletionProposal::Execute(QsciScintilla* editor) {
    if (editor)
        SetEditor(editor);
    if (!m_editor)
        return;
    QString input = CurrentToken();
    bool canExecute = true;
    if (OnExecute)
        OnExecute(input, canExecute);
    if (!canExecute)
        return;
    rebuild();
    ensureView();
    Update();
    // Nothing to offer for the typed text: no empty box.
    if ((m_options & scoLimitToMatchedText) && m_model->rowCount() == 0) {
        CancelCompletion();
        return;
    }
    int line = 0, index = 0;
    m_editor->getCursorPosition(&line, &index);
    const long pos = m_editor->positionFromLineIndex(line, index);
    const int x = int(m_editor->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, pos));
    const int y =
        int(m_editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos)) +
        int(m_editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, line));
    QPoint at = m_editor->viewport()->mapTo(m_view->parentWidget(), QPoint(x, y));
    const int rowHeight = qMax(16, m_view->fontMetrics().height() + 2);
    const QSize size(m_width, rowHeight * m_lines + 4);
    // Kept inside the window: moved left at the right edge, above the line at the bottom.
    const QRect area = m_view->parentWidget()->rect();
    if (at.x() + size.width() > area.right())
        at.setX(qMax(0, area.right() - size.width()));
    if (at.y() + size.height() > area.bottom())
        at.setY(qMax(0, at.y() - size.height() -
                            int(m_editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, line))));
    m_view->setGeometry(QRect(at, size));
    m_view->show();
    m_view->raise();
}

void TSynCompletionProposal::Update() {
    if (!m_view)
        return;
    m_model->SetRange(CurrentToken(), m_options & scoLimitToMatchedText);
    const int row = m_model->FirstMatch();
    if (row >= 0) {
        m_view->setCurrentIndex(m_model->index(row));
        m_view->scrollTo(m_model->index(row), QAbstractItemView::PositionAtTop);
    }
}

bool TSynCompletionProposal::Visible() const {
    return m_view && m_view->isVisible();
}

void TSynCompletionProposal::CancelCompletion() {
    if (m_view)
        m_view->hide();
}

void TSynCompletionProposal::Complete() {
    if (!m_editor || !m_view)
        return;
    const TSynCompletionModel::TEntry* e = m_model->At(m_view->currentIndex().row());
    CancelCompletion();
    if (!e)
        return;
    const QString value = e->insert;
    const QString token = CurrentToken();
    int line = 0, index = 0;
    m_editor->getCursorPosition(&line, &index);
    m_editor->beginUndoAction();
    m_editor->setSelection(line, index - int(token.size()), line, index);
    m_editor->replaceSelectedText(value);
    m_editor->endUndoAction();
    if (OnAfterCodeCompletion)
        OnAfterCodeCompletion(value);
}

bool TSynCompletionProposal::HandleKey(QKeyEvent* e) {
    if (!Visible())
        return false;
    const int rows = m_model->rowCount();
    const int cur = m_view->currentIndex().row();
    const auto go = [&](int row) {
        if (rows > 0)
            m_view->setCurrentIndex(m_model->index(qBound(0, row, rows - 1)));
        return true;
    };
    switch (e->key()) {
    case Qt::Key_Escape:
        CancelCompletion();
        return true;
    case Qt::Key_Up:
        return go(cur - 1);
    case Qt::Key_Down:
        return go(cur + 1);
    case Qt::Key_PageUp:
        return go(cur - m_lines);
    case Qt::Key_PageDown:
        return go(cur + m_lines);
    case Qt::Key_Tab:
        if (!(m_options & scoCompleteWithTab))
            return false;
        Complete();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter in an open list always takes the entry: a line break there is never meant.
        Complete();
        return true;
    default:
        break;
    }
    const QString text = e->text();
    if (text.size() == 1 && m_endOfToken.contains(text[0]) && (m_options & scoEndCharCompletion)) {
        // The entry goes in, the character follows it.
        if (cur >= 0)
            Complete();
        else
            CancelCompletion();
    }
    return false;
}
