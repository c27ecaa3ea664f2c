#include "UFrameRecnoParams.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "FrameDBNavigate.h"
#include "UModulForm.Start.h"

#include <EventGuard.h>
#include <TQ32Control.h>
#include <TRecNoClasses.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <UnitTable.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>
#include <VoskKeyControls.h>
#include <VoskQuery2.h>

#include <QAbstractItemDelegate>
#include <QKeyEvent>
#include <QMenu>
#include <QVBoxLayout>

namespace {

const QString kGroupField = QStringLiteral("reg_gruppe");

// Shown only where the user reads them; the rest are the row's keys and stamps.
const QStringList kHiddenFields{
    QStringLiteral("r_id"),          QStringLiteral("r_tablename"),  QStringLiteral("r_dbrid"),
    QStringLiteral("r_kategorie"),   QStringLiteral("r_not"),        QStringLiteral("r_max"),
    QStringLiteral("r_reg_pname"),   QStringLiteral("reg_gruppe"),   QStringLiteral("reg_default"),
    QStringLiteral("insert_date"),   QStringLiteral("modified_by"),
    QStringLiteral("modified_date")};

TDM1& Dm() {
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
    return *dm;
}

} // namespace

TFrameRecnoParams::TFrameRecnoParams(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameRecnoParams"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    DBNavRecnoParams =
        Vcl::Owned(this, new TFrameDBNav(this, this), QStringLiteral("DBNavRecnoParams"));
    DBNavRecnoParams->SetBtSkip(false);
    layout->addWidget(DBNavRecnoParams);

    gridParamsCX = Vcl::Owned(this, new TVoskDBGrid2(this), QStringLiteral("gridParamsCX"));
    gridParamsCX->setAccessibleName(QStringLiteral("Parameter"));
    gridParamsCX->setToolTip(QStringLiteral("Parameter des Datensatzes, nach Gruppen"));
    gridParamsCX->SetHiddenFields(kHiddenFields);
    gridParamsCX->SetGroupFields({kGroupField});
    gridParamsCX->setContextMenuPolicy(Qt::CustomContextMenu);
    gridParamsCX->installEventFilter(this);
    layout->addWidget(gridParamsCX, 1);

    gridParamsNavigator =
        Vcl::Owned(this, new TVoskDBNavigator(this), QStringLiteral("gridParamsNavigator"));
    gridParamsNavigator->setIconSize(QSize(12, 12));
    gridParamsNavigator->setAccessibleName(QStringLiteral("Navigator der Parameter"));
    gridParamsNavigator->setToolTip(QStringLiteral("Durch die Parameter blättern und sie bearbeiten"));
    layout->addWidget(gridParamsNavigator);

    PopupMenuParams =
        Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupMenuParams"));
    // Filled with the codes of the row's enumeration each time the menu opens.
    miEnumValues = Vcl::Owned(this, PopupMenuParams->AddItem(QStringLiteral("_recnoenum_")),
                              QStringLiteral("miEnumValues"));
    m_enumMenu = new QMenu(PopupMenuParams);
    miEnumValues->setMenu(m_enumMenu);
    miLoadDefault = Vcl::Owned(
        this, PopupMenuParams->AddItem(QStringLiteral("Auf Defaultwert setzen"), 26132),
        QStringLiteral("miLoadDefault"));
    connect(miLoadDefault, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miLoadDefaultClick(); }, this); });
    connect(gridParamsCX, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        if (PopupMenuParamsPopup(p))
            PopupMenuParams->popup(gridParamsCX->viewport()->mapToGlobal(p));
    });
    connect(gridParamsCX, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        if (_OnCellDblClick)
            _OnCellDblClick(i);
    });
    // Esc in a cell editor gives up the record's edit, not only the typed text.
    connect(gridParamsCX->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                if (hint == QAbstractItemDelegate::RevertModelCache)
                    cancelEdit();
            });

    Q32Control = Vcl::Owned(this, new TQ32Control(this), QStringLiteral("Q32Control"));
    Q32Control->AddControl(gridParamsCX);

    DBNavRecnoParams->FSetVoskDBGrid(gridParamsCX);
    DBNavRecnoParams->OnBeforeInsertExecute = [this](QObject*) { DBNavRecnoParamsBeforeInsert(); };
    gridParamsNavigator->BeforeAction = [this](NavBtn button) {
        if (button == nbInsert)
            DBNavRecnoParamsBeforeInsert();
    };
    SetNavigator(frnDBNavigator);
    applyEditing();
}

TFrameRecnoParams::~TFrameRecnoParams() {
    detach();
}

// ---- binding ----------------------------------------------------------------------------------

void TFrameRecnoParams::detach() {
    disconnect(m_paramsGone);
    if (m_params) {
        disconnect(m_params, nullptr, this, nullptr);
        m_params->AfterInsert = nullptr;
    }
    m_params = nullptr;
}

void TFrameRecnoParams::SetRecnoParams(TRecNoParams* value) {
    if (value == m_params)
        return;
    detach();
    m_params = value;
    DBNavRecnoParams->FSetDataSource(value);
    gridParamsNavigator->SetDataSource(value);
    gridParamsCX->SetDataClass(value);
    if (!value)
        return;
    value->SetFieldAliasTable(QStringLiteral("preport"));
    if (!m_pnameFilter.isEmpty())
        value->SetPNameFilter(m_pnameFilter);
    m_paramsGone = connect(value, &QObject::destroyed, this, [this] {
        m_params = nullptr;
        DBNavRecnoParams->FSetDataSource(nullptr);
        gridParamsNavigator->SetDataSource(nullptr);
    });
    connect(value, &TVoskClass::RowsReset, this, [this] { afterOpen(); });
    value->AfterInsert = [this](TVoskClass*) { afterInsert(); };
    applyHidden();
    afterOpen();
}

void TFrameRecnoParams::SetPNameFilter(const QString& filter) {
    m_pnameFilter = filter;
    if (m_params)
        m_params->SetPNameFilter(filter);
}

void TFrameRecnoParams::afterOpen() {
    if (!m_params || !m_params->Active())
        return;
    if (m_params->EnabledFlag() && m_alwaysExpanded)
        gridParamsCX->SetGroupsAlwaysExpanded(true);
}

void TFrameRecnoParams::SetAlwaysExpanded(bool on) {
    m_alwaysExpanded = on;
    if (!on)
        gridParamsCX->SetGroupsAlwaysExpanded(false);
    afterOpen();
}

// ---- editing ----------------------------------------------------------------------------------

void TFrameRecnoParams::SetReadOnly(bool on) {
    m_readOnly = on;
    applyEditing();
}

void TFrameRecnoParams::SetInsertDelete(bool on) {
    m_insertDelete = on;
    applyEditing();
}

void TFrameRecnoParams::applyEditing() {
    const bool insertDelete = !m_readOnly && m_insertDelete;
    DBNavRecnoParams->SetBtInsert(insertDelete);
    DBNavRecnoParams->SetBtDelete(insertDelete);
    DBNavRecnoParams->SetBtPostNCancel(!m_readOnly);
    NavBtnSet small = TVoskDBNavigator::AllButtons();
    if (m_readOnly)
        small &= ~NavBtnSet(nbEdit | nbPost | nbCancel);
    if (!insertDelete)
        small &= ~NavBtnSet(nbInsert | nbDelete);
    gridParamsNavigator->SetVisibleButtons(small);
    gridParamsCX->setEditTriggers(m_readOnly ? QAbstractItemView::NoEditTriggers
                                             : QAbstractItemView::DoubleClicked |
                                                   QAbstractItemView::EditKeyPressed |
                                                   QAbstractItemView::AnyKeyPressed);
}

void TFrameRecnoParams::SetInsertBy(bool on) {
    m_insertBy = on;
    applyHidden();
}

void TFrameRecnoParams::applyHidden() {
    QStringList hidden = kHiddenFields;
    if (!m_insertBy)
        hidden << QStringLiteral("insert_by");
    gridParamsCX->SetHiddenFields(hidden);
}

void TFrameRecnoParams::SetNavigator(TFrameRecnoNavigator type) {
    m_navigator = type;
    DBNavRecnoParams->setVisible(type == frnDBNavigator);
    gridParamsNavigator->setVisible(type == frnSmall);
}

int TFrameRecnoParams::TextNr() const {
    return DBNavRecnoParams->GetTextNr();
}

void TFrameRecnoParams::SetTextNr(int nr) {
    DBNavRecnoParams->SetTextNr(nr);
}

void TFrameRecnoParams::cancelEdit() {
    if (m_params && m_params->InEdit())
        Rtl::Guarded([this] { m_params->Cancel(); }, this);
}

bool TFrameRecnoParams::eventFilter(QObject* watched, QEvent* event) {
    if (watched == gridParamsCX && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_params &&
        m_params->InEdit()) {
        cancelEdit();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

// ---- insert -----------------------------------------------------------------------------------

void TFrameRecnoParams::DBNavRecnoParamsBeforeInsert() {
    if (!m_params || !m_params->Active())
        return;
    const int col = m_params->FieldIndex(QStringLiteral("r_descr"));
    QObject* field = Corvale::GridColumn(gridParamsCX, col);
    if (!field)
        return;
    const TF2Result result =
        MakeF2(this, field, true, false, QString(),
               {QStringLiteral("r_tablename=") + m_params->TableName()}, QString());
    if (result.Value.isEmpty())
        return;
    // The lookup has added the parameter; the row it wrote is shown instead of a new one.
    if (m_params->InEdit())
        m_params->Cancel();
    m_params->Refresh(false);
    m_params->Locate(QStringLiteral("r_reg_pname"), result.Value, true);
    throw EAbort();
}

void TFrameRecnoParams::afterInsert() {
    if (!m_params)
        return;
    m_params->FieldByName(QStringLiteral("r_tablename")).SetAsString(m_params->TableName());
    m_params->FieldByName(QStringLiteral("r_dbrid")).SetValue(m_params->RecId());
    m_params->FieldByName(QStringLiteral("r_descr"))
        .SetAsString(Dm().makeText(13679, QStringLiteral("*Bezeichnung eingeben*")));
}

// ---- menu -------------------------------------------------------------------------------------

QString TFrameRecnoParams::currentPName() const {
    if (!m_params || !m_params->HasRecord())
        return {};
    return m_params->FieldByName(QStringLiteral("r_reg_pname")).AsString();
}

bool TFrameRecnoParams::PopupMenuParamsPopup(const QPoint& viewportPos) {
    if (m_readOnly || !m_params || !m_params->HasRecord() ||
        !gridParamsCX->IsRecordCellAt(viewportPos))
        return false;
    const int row = gridParamsCX->indexAt(viewportPos).row();
    if (row != m_params->CurrentRow())
        gridParamsCX->setCurrentIndex(gridParamsCX->indexAt(viewportPos));
    if (row != m_params->CurrentRow())
        return false; // the record the user was on could not be left
    m_enumMenu->clear();
    const QString pname = currentPName();
    bool isEnum = false;
    if (!pname.isEmpty()) {
        TVoskQuery2 q(&Dm().Database(),
                      QStringLiteral("SELECT e.rege_code, e.rege_bez FROM recnoenums e JOIN "
                                     "recnogroup g ON g.reg_pname = e.rege_reg_pname WHERE "
                                     "e.rege_reg_pname = :pname AND lower(g.reg_paramtype) = "
                                     "'ptenum' ORDER BY e.rege_pos, e.rege_code"));
        q.Bind(QStringLiteral("pname"), pname);
        q.Open();
        for (; !q.Eof(); q.Next()) {
            const QString code = q.FieldByName(QStringLiteral("rege_code")).AsString();
            const QString bez = q.FieldByName(QStringLiteral("rege_bez")).AsString();
            QAction* a = m_enumMenu->addAction(bez.isEmpty() ? code : QStringLiteral("%1 – %2").arg(code, bez));
            a->setToolTip(QStringLiteral("Wert auf %1 setzen").arg(code));
            connect(a, &QAction::triggered, this,
                    [this, code] { Rtl::Guarded([this, code] { miEnumValueClick(code); }, this); });
            isEnum = true;
        }
    }
    miEnumValues->setText(isEnum ? QStringLiteral("Werte von %1").arg(pname) : QString());
    miEnumValues->setVisible(isEnum);
    return true;
}

void TFrameRecnoParams::miEnumValueClick(const QString& code) {
    if (!m_params || !m_params->HasRecord())
        return;
    if (!m_params->InEdit())
        m_params->Edit();
    m_params->FieldByName(QStringLiteral("r_value")).SetAsString(code);
}

void TFrameRecnoParams::miLoadDefaultClick() {
    const QString pname = currentPName();
    if (pname.isEmpty())
        return;
    const QVariant def = Dm().LoadVar(
        QStringLiteral("SELECT reg_default FROM recnogroup WHERE reg_pname=:pname"),
        {{QStringLiteral("pname"), pname}});
    const TVoskDataField value = m_params->FieldByName(QStringLiteral("r_value"));
    if (def.toString() == value.AsString() && def.isNull() == value.IsNull())
        return;
    // Posting is the user's.
    if (!m_params->InEdit())
        m_params->Edit();
    value.SetValue(def);
}

// ---- seam -------------------------------------------------------------------------------------

QObject* TFrameRecnoParams::NameField() {
    if (!m_params || !m_params->Active())
        return nullptr;
    return Corvale::GridColumn(gridParamsCX, m_params->FieldIndex(QStringLiteral("r_descr")));
}

QWidget* TFrameRecnoParams::Grid() {
    return gridParamsCX;
}

void TFrameRecnoParams::Attach(const QString& table, const QString& recId,
                               const QString& formClass) {
    if (!m_params)
        return;
    m_params->AssignToData(table, recId, formClass);
}

void TFrameRecnoParams::DeleteAll() {
    if (!m_params || !m_params->Active())
        return;
    if (m_params->InEdit())
        m_params->Cancel();
    Dm().ExecSQL(QStringLiteral("DELETE FROM recnokeyword WHERE r_tablename = :t AND r_dbrid = :d "
                                "AND r_reg_pname IS NOT NULL"),
                 {{QStringLiteral("t"), m_params->TableName()},
                  {QStringLiteral("d"), m_params->RecId()}});
    m_params->Refresh(false);
}

namespace {

void InitUnit() {
    UModulFormSeams::FrameRecnoParams.Set(
        [](QWidget* parent, TRecNoParams* data) -> UModulFormSeams::IFrameRecnoParams* {
            auto* frame = new TFrameRecnoParams(parent, parent);
            frame->SetRecnoParams(data);
            return frame;
        });
}
void FiniUnit() { UModulFormSeams::FrameRecnoParams.Reset(); }

} // namespace

KORVEX_UNIT("hadrel", "UFrameRecnoParams", InitUnit, FiniUnit, &UFrameRecnoParams::Register);

namespace UFrameRecnoParams {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"), {Vcl::ComponentClass<TFrameRecnoParams>()});
}

} // namespace UFrameRecnoParams
