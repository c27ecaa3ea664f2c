#include "ModulControls.h"

#include "TVoskClass.h"
#include "TVoskDataModel.h"
#include "UDM1.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace ModulControls {

// ---- navigator ---------------------------------------------------------------------------

TVoskDBNavigator::TVoskDBNavigator(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Def {
        TNavigateBtn nb;
        const char* name;
        QStyle::StandardPixmap icon;
    };
    const Def defs[] = {
        {nbFirst, "First", QStyle::SP_MediaSkipBackward},
        {nbPrior, "Prior", QStyle::SP_MediaSeekBackward},
        {nbNext, "Next", QStyle::SP_MediaSeekForward},
        {nbLast, "Last", QStyle::SP_MediaSkipForward},
        {nbInsert, "Insert", QStyle::SP_FileDialogNewFolder},
        {nbDelete, "Delete", QStyle::SP_TrashIcon},
        {nbEdit, "Edit", QStyle::SP_FileDialogDetailedView},
        {nbPost, "Post", QStyle::SP_DialogApplyButton},
        {nbCancel, "Cancel", QStyle::SP_DialogCancelButton},
        {nbRefresh, "Refresh", QStyle::SP_BrowserReload},
    };
    for (const Def& d : defs) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("bt") + QString::fromLatin1(d.name));
        b->setIcon(style()->standardIcon(d.icon));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        b->setVisible(false);
        row->addWidget(b);
        const TNavigateBtn nb = d.nb;
        connect(b, &QToolButton::clicked, this,
                [this, nb] { Rtl::Guarded([this, nb] { BtnClick(nb); }, this); });
        m_buttons.emplace_back(d.nb, b);
    }
    UpdateButtons();
}

void TVoskDBNavigator::SetVisibleButtons(TNavButtonSet buttons) {
    m_visible = buttons;
    for (auto& [nb, b] : m_buttons)
        b->setVisible(buttons.testFlag(nb));
}

void TVoskDBNavigator::SetDataSource(TVoskClass* data) {
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    m_data = data;
    if (data) {
        connect(data, &TVoskClass::StateChanged, this, &TVoskDBNavigator::UpdateButtons);
        connect(data, &TVoskClass::CurrentChanged, this, &TVoskDBNavigator::UpdateButtons);
        connect(data, &TVoskClass::RowsReset, this, &TVoskDBNavigator::UpdateButtons);
    }
    UpdateButtons();
}

QAbstractButton* TVoskDBNavigator::ButtonControl(TNavigateBtn button) const {
    for (auto& [nb, b] : m_buttons)
        if (nb == button)
            return b;
    return nullptr;
}

void TVoskDBNavigator::UpdateButtons() {
    TVoskClass* d = m_data;
    const bool active = d && d->Active();
    const bool edit = active && d->InEdit();
    const bool modify = active && d->CanModify();
    for (auto& [nb, b] : m_buttons) {
        bool on = active;
        switch (nb) {
        case nbFirst:
        case nbPrior:
            on = active && !edit && d->RecNo() > 1;
            break;
        case nbNext:
        case nbLast:
            on = active && !edit && d->RecNo() < d->RecordCount();
            break;
        case nbInsert:
            on = modify && !edit;
            break;
        case nbDelete:
        case nbEdit:
            on = modify && !edit && d->HasRecord();
            break;
        case nbPost:
        case nbCancel:
            on = edit;
            break;
        case nbRefresh:
            on = active && !edit;
            break;
        }
        b->setEnabled(on);
    }
}

void TVoskDBNavigator::BtnClick(TNavigateBtn button) {
    TVoskClass* d = m_data;
    if (!d)
        return;
    QAbstractButton* sender = ButtonControl(button);
    if (BeforeAction)
        BeforeAction(sender, button);
    switch (button) {
    case nbFirst: d->First(); break;
    case nbPrior: d->Prior(); break;
    case nbNext: d->Next(); break;
    case nbLast: d->Last(); break;
    case nbInsert: d->Insert(); break;
    case nbDelete: d->Delete(); break;
    case nbEdit: d->Edit(); break;
    case nbPost: d->Post(); break;
    case nbCancel: d->Cancel(); break;
    case nbRefresh: d->Refresh(); break;
    }
    if (OnClick)
        OnClick(sender, button);
}

// ---- status bar --------------------------------------------------------------------------

QString TVoskStatusBarPanel::Text() const { return m_label->text(); }
void TVoskStatusBarPanel::SetText(const QString& text) { m_label->setText(text); }

void TVoskStatusBarPanel::SetWidth(int width) {
    m_width = width;
    if (width >= 0)
        m_label->setFixedWidth(width);
}

void TVoskStatusBarPanel::SetVisible(bool visible) {
    m_visible = visible;
    m_label->setVisible(visible && !m_container);
}

void TVoskStatusBarPanel::SetAlignment(Qt::Alignment a) {
    m_label->setAlignment(a | Qt::AlignVCenter);
}

void TVoskStatusBarPanel::SetContainer(QWidget* container) {
    m_container = container;
    if (auto* bar = qobject_cast<TVoskStatusBar*>(m_label->parentWidget())) {
        auto* layout = static_cast<QHBoxLayout*>(bar->layout());
        layout->insertWidget(layout->indexOf(m_label), container);
    }
    m_label->hide();
}

TVoskStatusBar::TVoskStatusBar(QWidget* parent) : QWidget(parent) {
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(2, 0, 2, 0);
    m_layout->setSpacing(2);
}

TVoskStatusBar::~TVoskStatusBar() {
    for (TVoskStatusBarPanel* p : m_panels)
        delete p;
}

TVoskStatusBarPanel* TVoskStatusBar::AddPanel(const QString& text, int width) {
    auto* p = new TVoskStatusBarPanel;
    p->m_label = new QLabel(text, this);
    p->m_label->setObjectName(QStringLiteral("Panel%1").arg(m_panels.size()));
    m_layout->addWidget(p->m_label, width < 0 ? 1 : 0);
    p->SetWidth(width);
    m_panels.push_back(p);
    return p;
}

TVoskStatusBarPanel* TVoskStatusBar::Panel(int index) const {
    return index >= 0 && index < PanelCount() ? m_panels[size_t(index)] : nullptr;
}

// ---- menus -------------------------------------------------------------------------------

void TVoskMenuItem::SetTextNr(int nr) {
    m_textNr = nr;
    TDM1* dm = DM1();
    if (nr > 0 && dm && dm->Connected()) {
        const QString t = dm->makeText(nr, QString());
        if (!t.isEmpty())
            setText(t);
    }
}

// ---- edit --------------------------------------------------------------------------------

TVoskDBEdit::TVoskDBEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this] {
        Rtl::Guarded([this] { PostEditValue(); }, this);
    });
}

void TVoskDBEdit::SetDataClass(TVoskClass* data) {
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    m_data = data;
    if (data) {
        connect(data, &TVoskClass::CurrentChanged, this, &TVoskDBEdit::ShowValue);
        connect(data, &TVoskClass::FieldChanged, this, &TVoskDBEdit::ShowValue);
        connect(data, &TVoskClass::RowsReset, this, &TVoskDBEdit::ShowValue);
        connect(data, &TVoskClass::RowUpdated, this, &TVoskDBEdit::ShowValue);
        connect(data, &TVoskClass::StateChanged, this, &TVoskDBEdit::ShowValue);
    }
    ShowValue();
}

void TVoskDBEdit::SetDataField(const QString& field) {
    m_field = field;
    ShowValue();
}

void TVoskDBEdit::ShowValue() {
    if (m_showing)
        return;
    m_showing = true;
    TVoskDataField f = m_data && m_data->Active() ? m_data->FindField(m_field) : TVoskDataField();
    const QString text = f.Exists() && m_data->HasRecord() ? f.AsString() : QString();
    if (text != this->text())
        setText(text);
    setReadOnly(!m_data || !m_data->CanModify() || !f.Exists() || !f.Writable());
    m_showing = false;
}

bool TVoskDBEdit::PostEditValue() {
    if (!m_data || !m_data->Active() || !m_data->HasRecord())
        return false;
    TVoskDataField f = m_data->FindField(m_field);
    if (!f.Exists() || f.AsString() == text())
        return false;
    m_showing = true;
    try {
        f.SetValue(text());
    } catch (...) {
        m_showing = false;
        ShowValue();
        throw;
    }
    m_showing = false;
    return true;
}

// ---- grid --------------------------------------------------------------------------------

TVoskDBGrid2::TVoskDBGrid2(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void TVoskDBGrid2::SetDataClass(TVoskClass* data) {
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    delete m_model;
    m_data = data;
    m_model = data ? new TVoskDataModel(data, this) : nullptr;
    setModel(m_model);
    if (!data)
        return;
    connect(data, &TVoskClass::CurrentChanged, this, &TVoskDBGrid2::FollowCursor);
    connect(data, &TVoskClass::RowsReset, this, &TVoskDBGrid2::FollowCursor);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (m_data && now.isValid() && now.row() != m_data->CurrentRow())
                    Rtl::Guarded([this, now] { m_data->SetRecNo(now.row() + 1); }, this);
            });
    FollowCursor();
}

void TVoskDBGrid2::FollowCursor() {
    if (!m_data || !m_model || !selectionModel())
        return;
    const int row = m_data->CurrentRow();
    if (row < 0 || row == currentIndex().row())
        return;
    const QModelIndex idx = m_model->index(row, qMax(0, currentIndex().column()));
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
}

void TVoskDBGrid2::EndEdit(bool accept) {
    if (QWidget* editor = indexWidget(currentIndex()); editor && accept)
        commitData(editor);
}

int TVoskDBGrid2::SelectedRowCount() const {
    return selectionModel() ? int(selectionModel()->selectedRows().size()) : 0;
}

void TVoskDBGrid2::DeleteSelection() {
    if (!m_data || !selectionModel())
        return;
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int r : rows) {
        m_data->SetRecNo(r + 1);
        m_data->Delete();
    }
}

void TVoskDBGrid2::EditFirstVisibleColumn() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!isColumnHidden(c)) {
            edit(m_model->index(qMax(0, currentIndex().row()), c));
            return;
        }
}

TVoskClass* DataClassOf(const QWidget* w) {
    if (auto* e = qobject_cast<const TVoskDBEdit*>(w))
        return e->DataClass();
    if (auto* g = qobject_cast<const TVoskDBGrid2*>(w))
        return g->DataClass();
    return nullptr;
}

bool PostEditValue(QWidget* w) {
    if (auto* e = qobject_cast<TVoskDBEdit*>(w)) {
        e->PostEditValue();
        return true;
    }
    return false;
}

} // namespace ModulControls
