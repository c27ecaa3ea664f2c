#include "UDokuList.h"

#include "FrameDBNavigate.h"
#include "UnitTable.h"
#include "Vcl.Classes.h"

#include <EventGuard.h>
#include <Korvexutils.h>
#include <TQ32Control.h>
#include <TServSQL2.h>
#include <TVoskDBGrid2.h>
#include <TVoskDocumentViewer.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>

#include <QVBoxLayout>
#include <QWidget>

namespace {
const char* const kParams[] = {"tablename", "recid", "doktype"};
}

QString TVoskDocumentList::DokuListSql() {
    return QStringLiteral(
        "SELECT\n"
        "  pd_id, COALESCE(pd_path_user, pd_path) AS pd_path,\n"
        "  pd_dokumentfile,\n"
        "  pd_date,\n"
        "  pd_txt,\n"
        "  pd_doktype,\n"
        "  dt_descr\n"
        "FROM picndoku\n"
        "LEFT JOIN dokutypes ON dt_id = pd_doktype\n"
        "WHERE\n"
        "  (\n"
        "    (pd_tablename = :tablename AND pd_dbrid = :recid AND pd_dokumentfile IS NOT NULL)\n"
        "  OR\n"
        "    pd_id IN (SELECT pdl_pd_id FROM picndokulink WHERE "
        "(pdl_tablename=:tablename)AND(pdl_dbrid=:recid))\n"
        "  )\n"
        "  AND (COALESCE(:doktype, '') = '' OR pd_doktype = :doktype)\n"
        "ORDER BY pd_date DESC");
}

TVoskDocumentList::TVoskDocumentList(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("VoskDocumentList"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    VoskGroupBox1 = Vcl::Owned(this, new QGroupBox(this), QStringLiteral("VoskGroupBox1"));
    outer->addWidget(VoskGroupBox1);
    auto* layout = new QVBoxLayout(VoskGroupBox1);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    sqlDokuList = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("sqlDokuList"));
    sqlDokuList->SetSqlTable(QStringLiteral("picndoku"));
    sqlDokuList->SetKeyFieldName(QStringLiteral("pd_id"));
    sqlDokuList->SetQuerySql(DokuListSql());
    sqlDokuList->SetReadOnly(true);

    navDokuList = Vcl::Owned(this, new TFrameDBNav(this, VoskGroupBox1), QStringLiteral("navDokuList"));
    navDokuList->SetBtSkip(false);
    navDokuList->SetBtInsert(false);
    navDokuList->SetBtDelete(false);
    navDokuList->SetBtPostNCancel(false);
    navDokuList->SetBtRefresh(true);
    navDokuList->hide();
    layout->addWidget(navDokuList);

    DokuListCX = Vcl::Owned(this, new TVoskDBGrid2(VoskGroupBox1), QStringLiteral("DokuListCX"));
    DokuListCX->setAccessibleName(QStringLiteral("Verfügbare Dokumente"));
    DokuListCX->setToolTip(QStringLiteral("Dokumente des Datensatzes; Doppelklick zeigt das Dokument an"));
    DokuListCX->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DokuListCX->setSelectionBehavior(QAbstractItemView::SelectRows);
    DokuListCX->SetGroupsAlwaysExpanded(true);
    DokuListCX->SetDataClass(sqlDokuList);
    DokuListCX->SetHiddenFields({QStringLiteral("pd_id"), QStringLiteral("pd_txt"),
                                 QStringLiteral("pd_doktype"), QStringLiteral("dt_descr")});
    layout->addWidget(DokuListCX, 1);
    navDokuList->FSetDataSource(sqlDokuList);
    navDokuList->FSetVoskDBGrid(DokuListCX);
    connect(DokuListCX, &QAbstractItemView::doubleClicked, this,
            [this] { Rtl::Guarded([this] { DokuListDblClick(); }, this); });

    pmPopup = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmPopup"));
    miView = pmPopup->AddItem(QStringLiteral("Anzeigen"), 999);
    miView->setObjectName(QStringLiteral("miView"));
    pmPopup->setDefaultAction(miView);
    connect(miView, &QAction::triggered, this, [this] { Rtl::Guarded([this] { miViewClick(); }, this); });
    DokuListCX->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DokuListCX, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        pmPopup->popup(DokuListCX->viewport()->mapToGlobal(p));
    });

    connect(sqlDokuList, &TVoskClass::CurrentChanged, this,
            [this] { Rtl::Guarded([this] { sqlDokuListAfterScroll(); }, this); });
    SetTextNr(m_textNr);
}

TVoskDocumentList::~TVoskDocumentList() {
    disconnect(sqlDokuList, nullptr, this, nullptr);
}

void TVoskDocumentList::SetTextNr(int nr) {
    m_textNr = nr;
    TDM1* dm = DM1();
    const QString def = QStringLiteral("Verfügbare Dokumente");
    VoskGroupBox1->setTitle(nr > 0 && dm ? dm->makeText(nr, def) : def);
}

bool TVoskDocumentList::DBNavVisible() const { return !navDokuList->isHidden(); }
void TVoskDocumentList::SetDBNavVisible(bool on) { navDokuList->setVisible(on); }

void TVoskDocumentList::SetQ32Control(TQ32Control* control) {
    if (m_q32Control)
        m_q32Control->DeleteControl(DokuListCX);
    m_q32Control = control;
    if (control)
        control->AddControl(DokuListCX);
}

void TVoskDocumentList::SetDocumentViewer(TVoskDocumentViewer* viewer) {
    m_viewer = viewer;
    sqlDokuListAfterScroll();
}

QString TVoskDocumentList::GetParam(int index) const {
    if (index < 0 || index > 2)
        return {};
    return sqlDokuList->Param(QString::fromLatin1(kParams[index])).toString();
}

void TVoskDocumentList::Open(const QString& TableName, const QString& RecID,
                             const QString& DokType) {
    Close();
    if (RecID.isEmpty())
        return;
    // As text: the server reads the record id against the integer column itself.
    sqlDokuList->SetParam(QStringLiteral("tablename"), TableName);
    sqlDokuList->SetParam(QStringLiteral("recid"), RecID);
    sqlDokuList->SetParam(QStringLiteral("doktype"), DokType);
    sqlDokuList->Open();
    // Paths, names and dates are read whole, up to a width that leaves room for the others.
    DokuListCX->OptimalWidths(360);
}

void TVoskDocumentList::Close() {
    sqlDokuList->Close();
    sqlDokuList->ClearParams();
}

bool TVoskDocumentList::Search(const QVariantList& Values, int SearchOptions) {
    return sqlDokuList->SearchEnabled(Values, SearchOptions);
}

void TVoskDocumentList::DokuListDblClick() {
    if (!DokuListCX->currentIndex().isValid() || !sqlDokuList->HasRecord())
        return;
    const int pdId = sqlDokuList->FieldByName(QStringLiteral("pd_id")).AsInteger();
    TDokument::OpenDokument(Korvexutils::KorvexGetForm(this), pdId);
}

void TVoskDocumentList::sqlDokuListAfterScroll() {
    if (!m_viewer)
        return;
    if (!sqlDokuList->EnabledFlag()) {
        m_viewer->DisableDocument();
        return;
    }
    if (sqlDokuList->HasRecord())
        m_viewer->LoadDocument(sqlDokuList->FieldByName(QStringLiteral("pd_id")).AsInteger());
}

namespace UDokuList {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"),
                            {Vcl::ComponentClass<TVoskDocumentList>()});
}

} // namespace UDokuList

namespace {
void InitUnit() { Vcl::RegisterClass<TVoskDocumentList>(); }
void FiniUnit() { Vcl::UnRegisterClass(QStringLiteral("TVoskDocumentList")); }
} // namespace

KORVEX_UNIT("hadrel", "UDokuList", InitUnit, FiniUnit, &UDokuList::Register);
