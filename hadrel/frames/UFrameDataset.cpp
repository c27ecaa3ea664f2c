#include "UFrameDataset.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "FrameDBNavigate.h"

#include <EventGuard.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <TVoskPopupMenu.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>

#include <QHeaderView>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum class ColumnKind { Other, Boolean, Integer };

// What a column holds, told by its catalogue entry or else by the first value of a sample: a
// query's computed columns have no catalogue entry.
ColumnKind KindOf(TVoskClass* c, int col) {
    if (c->FieldIsInteger(col))
        return ColumnKind::Integer;
    const int sample = std::min(c->RecordCount(), 1000);
    for (int r = 0; r < sample; ++r) {
        const QVariant v = c->Value(r, col);
        if (v.isNull())
            continue;
        switch (v.typeId()) {
        case QMetaType::Bool: return ColumnKind::Boolean;
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: return ColumnKind::Integer;
        default: return ColumnKind::Other;
        }
    }
    return ColumnKind::Other;
}

} // namespace

TFrameDataSet::TFrameDataSet(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameDataSet"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    DBNav = Vcl::Owned(this, new TFrameDBNav(this, this), QStringLiteral("DBNav"));
    DBNav->SetBtSkip(false);
    layout->addWidget(DBNav);

    DBGrid = Vcl::Owned(this, new TVoskDBGrid2(this), QStringLiteral("DBGrid"));
    DBGrid->setAccessibleName(QStringLiteral("Daten"));
    DBGrid->setToolTip(QStringLiteral("Datensätze"));
    layout->addWidget(DBGrid, 1);
    m_editTriggers = DBGrid->editTriggers();
    DBGrid->SetAutoFitColumns(false);

    DBGridNavigator =
        Vcl::Owned(this, new TVoskDBNavigator(this), QStringLiteral("DBGridNavigator"));
    DBGridNavigator->setIconSize(QSize(12, 12));
    DBGridNavigator->setAccessibleName(QStringLiteral("Navigator der Tabelle"));
    DBGridNavigator->setToolTip(QStringLiteral("Durch die Datensätze blättern und sie bearbeiten"));
    DBGridNavigator->hide();
    layout->addWidget(DBGridNavigator);

    VoskPopupMenu = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("VoskPopupMenu"));
    DBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        // The cell's column offers its link modules besides the frame's own entries.
        QString value;
        const QList<TLinkModule> links =
            DBGrid->LinkColumns().LinkAt(DBGrid->indexAt(p), DBGrid->DataClass(), value);
        VoskPopupMenu->SetOfferedLinks(links, value);
        // An empty menu would open as a bare frame.
        if (!VoskPopupMenu->isEmpty() || !value.trimmed().isEmpty())
            VoskPopupMenu->popup(DBGrid->viewport()->mapToGlobal(p));
    });

    DBNav->FSetVoskDBGrid(DBGrid);
    SetNavigator(fdnDBNavigator);
}

TFrameDataSet::~TFrameDataSet() {
    detach();
}

TVoskClass* TFrameDataSet::DataClass() const {
    return m_class;
}

void TFrameDataSet::detach() {
    if (m_class)
        disconnect(m_class, nullptr, this, nullptr);
    disconnect(m_classGone);
    m_class = nullptr;
}

void TFrameDataSet::FSetDataSource(Vcl::TDataSource* value) {
    if (value == m_dataSource)
        return;
    auto* dataClass = value ? qobject_cast<TVoskClass*>(value->DataSet()) : nullptr;
    if (value && !dataClass)
        throw EVoskException(
            QStringLiteral("FSetDataSource: Datasource must have an assigned DataSet"));
    detach();
    m_dataSource = value;
    m_class = dataClass;
    DBNav->FSetDataSource(dataClass);
    DBGridNavigator->SetDataSource(dataClass);
    if (!dataClass) {
        DBGrid->SetDataClass(nullptr);
        return;
    }
    // A freed data class leaves the frame empty instead of dangling.
    m_classGone = connect(dataClass, &QObject::destroyed, this, [this] {
        m_class = nullptr;
        DBNav->FSetDataSource(nullptr);
        DBGridNavigator->SetDataSource(nullptr);
    });
    connect(dataClass, &TVoskClass::CurrentChanged, this,
            [this] { DBGridViewFocusedRecordChanged(); });
    // Columns come with the rows: a class opened later is laid out then.
    connect(dataClass, &TVoskClass::RowsReset, this, [this] {
        if (m_layoutPending && m_class && m_class->Active()) {
            m_layoutPending = false;
            UpdateGridLayout(false);
        }
    });
    m_layoutPending = !dataClass->Active();
    if (dataClass->Active())
        UpdateGridLayout(false);
    else
        DBGrid->SetDataClass(dataClass);
    applyFilter();
}

void TFrameDataSet::UpdateGridLayout(bool KeepItems) {
    DBGrid->BeginUpdate();
    const auto endUpdate = qScopeGuard([this] { DBGrid->EndUpdate(); });
    DBGrid->SetDataClass(m_class);
    if (!m_class)
        return;
    if (!KeepItems)
        DBGrid->SetHiddenFields({});
    // The user's layout when it is preferred or the only one, else the global one.
    const bool user = DBGrid->LayoutExists(1);
    const bool global = DBGrid->LayoutExists(2);
    if (user && (!global || DBGrid->LayoutIsDefault()))
        DBGrid->LayoutLoad(1);
    else if (global)
        DBGrid->LayoutLoad(2);
    m_freshLayout = !user && !global;
    if (m_freshLayout) {
        // Qt's best fit measures a sample of rows (its precision), never the whole set.
        DBGrid->OptimalWidths();
        capWidths();
    }
    if (m_class->Active() && m_class->HasRecord())
        Rtl::Guarded([this] { m_class->First(); }, this);
    DBGrid->viewport()->update();
}

void TFrameDataSet::capWidths() {
    if (!m_class)
        return;
    for (int col = 0; col < m_class->FieldCount(); ++col) {
        int cap = kMaxWidth;
        switch (KindOf(m_class, col)) {
        case ColumnKind::Boolean: cap = kMaxBooleanWidth; break;
        case ColumnKind::Integer: cap = kMaxIntegerWidth; break;
        case ColumnKind::Other: break;
        }
        if (DBGrid->columnWidth(col) > cap)
            DBGrid->setColumnWidth(col, cap);
    }
}

void TFrameDataSet::SetDataSetFilter(const QString& filter) {
    m_filter = filter;
    applyFilter();
}

void TFrameDataSet::applyFilter() {
    if (!m_class)
        return;
    if (m_filter.trimmed().isEmpty())
        DBGrid->GridFilterClear();
    else
        DBGrid->SetGridFilterText(m_filter);
}

void TFrameDataSet::SetReadOnly(bool on) {
    m_readOnly = on;
    DBNav->SetBtInsert(!on);
    DBNav->SetBtDelete(!on);
    DBNav->SetBtPostNCancel(!on);
    NavBtnSet small = TVoskDBNavigator::AllButtons();
    if (on)
        small &= ~NavBtnSet(nbInsert | nbDelete | nbEdit | nbPost | nbCancel);
    DBGridNavigator->SetVisibleButtons(small);
    DBGrid->setEditTriggers(on ? QAbstractItemView::NoEditTriggers : m_editTriggers);
}

void TFrameDataSet::SetNavigator(TFrameDatasetNavigator type) {
    m_navigator = type;
    DBNav->setVisible(type == fdnDBNavigator);
    DBGridNavigator->setVisible(type == fdnSmall);
}

void TFrameDataSet::DBGridViewFocusedRecordChanged() {
    if (m_class)
        m_lastRecno = m_class->RecNo();
}

namespace UFrameDataset {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"), {Vcl::ComponentClass<TFrameDataSet>()});
}

} // namespace UFrameDataset

KORVEX_UNIT("hadrel", "UFrameDataset", nullptr, nullptr, &UFrameDataset::Register);
