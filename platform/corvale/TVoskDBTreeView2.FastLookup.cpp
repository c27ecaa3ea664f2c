// The fast lookup of the tree list's inline editor.

#include "TVoskDBTreeView2.h"

#include "TVoskDBGrid2.h"
#include "UDM1.h"
#include "VoskF2Controls.h"

#include <TVoskClass.h>
#include <VoskQuery2.h>

#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

TVoskDBTreeView2::~TVoskDBTreeView2() = default;

QLineEdit* TVoskDBTreeView2::InlineEditor() const {
    if (!InlineEditing())
        return nullptr;
    return qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
}

namespace {
const TVoskGridColumn* FastColumn(const TVoskDBTreeView2* tree) {
    if (!tree->InlineEditor() || !tree->DataClass())
        return nullptr;
    const TVoskGridColumn* column =
        tree->ColumnOf(tree->DataClass()->FieldNames().value(tree->currentIndex().column()));
    return column && !column->FastF2Query().trimmed().isEmpty() ? column : nullptr;
}
} // namespace

bool TVoskDBTreeView2::HasFastLookup() const {
    return FastColumn(this) != nullptr;
}

bool TVoskDBTreeView2::SetFastLookupSelf(const QString& text) {
    const TVoskGridColumn* column = FastColumn(this);
    if (!column)
        return false;
    if (!m_fastQuery || m_fastColumn != column) {
        m_fastQuery = std::make_unique<TVoskQuery2>(
            nullptr,
            Corvale::FastF2Sql(column->FastF2Query(), column->FastF2Filter(), FastLookupMaxRows));
        m_fastColumn = column;
    }
    if (TVoskParam* self = m_fastQuery->FindParam(QStringLiteral("Self")))
        self->SetAsString(text + QLatin1Char('%'));
    return true;
}

QString TVoskDBTreeView2::FastLookupSelf() const {
    const TVoskParam* self = m_fastQuery ? m_fastQuery->FindParam(QStringLiteral("Self")) : nullptr;
    return self ? self->Value().toString() : QString();
}

int TVoskDBTreeView2::ReopenFastLookup() {
    QLineEdit* editor = InlineEditor();
    if (!m_fastQuery || !editor || m_fastColumn != FastColumn(this))
        return 0;
    QStringList rows;
    try {
        m_fastQuery->Close();
        m_fastQuery->Open();
        for (; !m_fastQuery->Eof(); m_fastQuery->Next())
            rows.append(m_fastQuery->Fields(0).AsString());
        m_fastQuery->Close();
    } catch (const std::exception& e) {
        if (TDM1* dm = DM1())
            dm->LogEvent(QStringLiteral("TVoskDBTreeView2.FastF2: ") + objectName(), &e);
        rows.clear();
    }
    if (!m_fastPanel) {
        // A child of the viewport, not a popup window: a popup would take the keys the form
        // passes through the lookup.
        auto* panel = new QListView(viewport());
        panel->setObjectName(QStringLiteral("FastLookupPanel"));
        panel->setFocusPolicy(Qt::NoFocus);
        panel->setEditTriggers(QAbstractItemView::NoEditTriggers);
        panel->setAccessibleName(QStringLiteral("Treffer"));
        panel->setToolTip(
            QStringLiteral("Treffer zum eingegebenen Text: Klick übernimmt den Wert"));
        m_fastRows = new QStringListModel(panel);
        panel->setModel(m_fastRows);
        connect(panel, &QAbstractItemView::clicked, this, [this](const QModelIndex& row) {
            if (QLineEdit* edit = InlineEditor()) {
                edit->selectAll();
                edit->insert(row.data().toString());
            }
            HideFastLookup();
        });
        m_fastPanel = panel;
    }
    // The panel belongs to this editor only; a click into it keeps the editor's focus (the
    // click would otherwise hand the focus to the tree, which closes the editor).
    m_fastPanel->setFocusProxy(editor);
    connect(editor, &QObject::destroyed, m_fastPanel, &QWidget::hide, Qt::UniqueConnection);
    m_fastRows->setStringList(rows);
    if (rows.isEmpty()) {
        m_fastPanel->hide();
        return 0;
    }
    // Beneath the cell, or above it where the rows below leave no room.
    const QRect cell = editor->geometry();
    const int rowHeight = qMax(m_fastPanel->sizeHintForRow(0), fontMetrics().height());
    const int height = qMin(int(rows.size()), 8) * rowHeight + 2 * m_fastPanel->frameWidth();
    const int width = qMax(cell.width(), 160);
    int top = cell.bottom() + 1;
    if (top + height > viewport()->height() && cell.top() - height >= 0)
        top = cell.top() - height;
    m_fastPanel->setGeometry(cell.left(), top, width, height);
    m_fastPanel->show();
    m_fastPanel->raise();
    return int(rows.size());
}

bool TVoskDBTreeView2::FastLookupShowing() const {
    return m_fastPanel && m_fastPanel->isVisible();
}

void TVoskDBTreeView2::HideFastLookup() {
    if (m_fastPanel)
        m_fastPanel->hide();
}
