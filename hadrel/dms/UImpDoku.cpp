// The document window: construction, options, activation, closing, opening documents and the
// unit's hooks (unit UImpDoku).

#include "UImpDoku.h"

#include "UEditDoku.h"

#include "TopLabel.h"
#include "UModulForm.h"
#include "UModulForm.Start.h"

#include <DMSys.h>
#include <EventGuard.h>
#include <Korvexutils.h>
#include <RtlDialog.h>
#include <TUserRights.h>
#include <TVoskClass.h>
#include <TVoskDBGrid2.h>
#include <TVoskDocumentViewer.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <UDataModul_Dunmere.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Components.h>
#include <Vcl.Forms.h>
#include <Vcl.Services.h>
#include <VoskExceptions.h>
#include <StrUtils.h>
#include <VoskPrinters.h>
#include <VoskQuery2.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int kCloseYesToAll = 10;
constexpr int kCloseNoToAll = 9;

QString tx(int nr, const QString& def) { return makeText(nr, def); }

int userNo() {
    TDM1* dm = DM1();
    return dm ? dm->MitNr() : 0;
}

quint64 NextWindowSerial() {
    static quint64 serial = 0;
    return ++serial;
}

} // namespace

QString TFormDokments::InitialPathSetting() const {
    TDM1* dm = DM1();
    return QStringLiteral("DMSInitialPath_") + _TableName + u'_' +
           (dm ? dm->LoginName() : QString());
}

TFormDokments::TFormDokments(QObject* owner, const QString& tableName, const QString& recId,
                             TVoskClass* toVoskClass)
    : TFormKorvexGundForm(owner), FWindowSerial(NextWindowSerial()) {
    _KeySearch = DokuClassKeyColumn_Get(tableName, recId, [toVoskClass](const QString& column) {
        if (!toVoskClass || !toVoskClass->HasRecord())
            return QVariant();
        const TVoskDataField f = toVoskClass->FindField(column);
        return f.Exists() ? f.Value() : QVariant();
    });
    _ClassName = toVoskClass ? Vcl::ClassName(toVoskClass) : QStringLiteral("TVoskClass");
    _TableName = tableName;
    _RecId = recId;
    m_ownerClass = toVoskClass;
    if (TDM1* dm = DM1(); dm && dm->Connected())
        _InitialPath = dm->GetSetting(InitialPathSetting());
    // Remembered values are kept per owner table.
    SetParameter(QStringLiteral("LastVal_AlternativeClassName"),
                 _TableName + u'_' + Vcl::ClassName(this));
    LoadFormPosition = true;
    setObjectName(QStringLiteral("FormDokments"));
    setWindowFlag(Qt::Window, true);
    buildForm();
}

TFormDokments::~TFormDokments() {
    // The children go after this body: their signals must not reach a window half gone.
    m_destroying = true;
    pcDokTree->disconnect(this);
    TreeDocuments->disconnect(this);
    if (TreeDocuments->selectionModel())
        TreeDocuments->selectionModel()->disconnect(this);
}

QIcon TFormDokments::imageIcon(int image) const { return DMSys()->ImageList()->Icon(image); }

QAction* TFormDokments::makeAction(const QString& name, int textNr, const QString& caption,
                                   const QString& icon) {
    auto* a = Vcl::Owned(this, new QAction(tx(textNr, caption), this), name);
    a->setToolTip(a->text().remove(u'&'));
    if (!icon.isEmpty())
        a->setIcon(QIcon::fromTheme(icon));
    return a;
}

void TFormDokments::buildActions() {
    // Options.
    acOptDocsHiddenVisible = makeAction(QStringLiteral("acOptDocsHiddenVisible"), 21246,
                                        QStringLiteral("Ausgeblendete Dokumente anzeigen"),
                                        QStringLiteral("view-hidden"));
    acOptDocsHiddenVisible->setCheckable(true);
    acStandardInitial = makeAction(QStringLiteral("acStandardInitial"), 31269,
                                   QStringLiteral("StandardDokument (zu Beginn anzeigen)"),
                                   QStringLiteral("emblem-favorite"));
    acStandardInitial->setToolTip(QStringLiteral(
        "zum StandardDokument (zu Beginn anzeigen, wenn kein Initial-Ordner angegeben)"));
    acStandardInitial->setCheckable(true);
    acEditWaitDialog = makeAction(QStringLiteral("acEditWaitDialog"), 31270,
                                  QStringLiteral("WarteDialog beim Bearbeiten anzeigen"),
                                  QStringLiteral("chronometer"));
    acEditWaitDialog->setCheckable(true);
    acCloseDocuments = makeAction(
        QStringLiteral("acCloseDocuments"), 31223,
        QStringLiteral("Beim Schließen nachfragen, ob geöffnete Dokumente geschlossen werden "
                       "sollen"),
        QStringLiteral("dialog-question"));
    acCloseDocumentsYes = makeAction(QStringLiteral("acCloseDocumentsYes"), 31221,
                                     QStringLiteral("Dokumente ohne Nachfrage schließen"),
                                     QStringLiteral("window-close"));
    acCloseDocumentsNo = makeAction(QStringLiteral("acCloseDocumentsNo"), 31222,
                                    QStringLiteral("Dokumente nicht schließen (nicht nachfragen)"),
                                    QStringLiteral("window-new"));
    auto* closeGroup = new QActionGroup(this);
    for (QAction* a : {acCloseDocuments, acCloseDocumentsYes, acCloseDocumentsNo}) {
        a->setCheckable(true);
        closeGroup->addAction(a);
    }

    // Viewing and the actions whose code other units add; their state follows the focused node.
    acDocumentViewIntern = makeAction(QStringLiteral("acDocumentViewIntern"), 0,
                                      QStringLiteral("Dokument anzeigen"),
                                      QStringLiteral("document-preview"));
    acDocumentViewExtern = makeAction(QStringLiteral("acDocumentViewExtern"), 0,
                                      QStringLiteral("Extern öffnen"),
                                      QStringLiteral("document-open"));
    acDocumentViewElo = makeAction(QStringLiteral("acDocumentViewElo"), 0,
                                   QStringLiteral("Im Archiv anzeigen"));
    acDocumentInfoProperties = makeAction(QStringLiteral("acDocumentInfoProperties"), 0,
                                          QStringLiteral("Eigenschaften && Schlüsselworte"),
                                          QStringLiteral("document-properties"));
    acDocumentPreviewIs = makeAction(QStringLiteral("acDocumentPreviewIs"), 0,
                                     QStringLiteral("Vorschau-Dokument"));
    acDocumentPreviewIs->setCheckable(true);
    acDocumentExportPrint = makeAction(QStringLiteral("acDocumentExportPrint"), 0,
                                       QStringLiteral("Drucken"));
    acDocumentExportMail = makeAction(QStringLiteral("acDocumentExportMail"), 0,
                                      QStringLiteral("Als E-Mail senden"));
    acDocumentExportFileSaveAs = makeAction(QStringLiteral("acDocumentExportFileSaveAs"), 0,
                                            QStringLiteral("Speichern unter"));
    acFolderInitial = makeAction(QStringLiteral("acFolderInitial"), 31012,
                                 QStringLiteral("Initial-Ordner (zu Beginn anzeigen)"));
    acFolderInitial->setCheckable(true);
    acFolderNew = makeAction(QStringLiteral("acFolderNew"), 17239, QStringLiteral("Neuer Ordner"));
    acDocEditRevisionImport = makeAction(QStringLiteral("acDocEditRevisionImport"), 0,
                                         QStringLiteral("Neue Dokument-Revision importieren"));
    acDocEditImportlinkedFile = makeAction(QStringLiteral("acDocEditImportlinkedFile"), 0,
                                           QStringLiteral("Verlinkte Datei ins DMS übernehmen"));
    acDocEditInternal = makeAction(QStringLiteral("acDocEditInternal"), 0,
                                   QStringLiteral("Dokument bearbeiten"));
    acDocEditRevisionExternal = makeAction(QStringLiteral("acDocEditRevisionExternal"), 0,
                                           QStringLiteral("Dokument auschecken"));
    acDocEditRevisionBlock = makeAction(QStringLiteral("acDocEditRevisionBlock"), 0,
                                        QStringLiteral("Dokument sperren"));
    acDocEditRevisionExternal2 = makeAction(QStringLiteral("acDocEditRevisionExternal2"), 0,
                                            QStringLiteral("Arbeitskopie öffnen"));
    acDocEditRevisionOpenDir = makeAction(QStringLiteral("acDocEditRevisionOpenDir"), 0,
                                          QStringLiteral("Ordner der Arbeitskopie öffnen"));
    acDocEditRevisionUpdate = makeAction(QStringLiteral("acDocEditRevisionUpdate"), 17955,
                                         QStringLiteral("Dokument entsperren und Änderung "
                                                        "übernehmen"));
    acDocEditRevisionUnlock = makeAction(QStringLiteral("acDocEditRevisionUnlock"), 17926,
                                         QStringLiteral("Dokument entsperren"));
    acDocEditDeleteDoc = makeAction(QStringLiteral("acDocEditDeleteDoc"), 0,
                                    QStringLiteral("Dokument löschen"));
    acDocEditRename = makeAction(QStringLiteral("acDocEditRename"), 0,
                                 QStringLiteral("Dokument umbenennen"));
    // Enabled by the import once it handles the action.
    acDocFromFile = makeAction(QStringLiteral("acDocFromFile"), 0,
                               QStringLiteral("Datei importieren"), QStringLiteral("document-import"));
    acDocFromFile->setEnabled(false);
    miDokuType = makeAction(QStringLiteral("miDokuType"), 17756,
                            QStringLiteral("Dokumenttyp zuweisen"));

    connect(acDocumentViewIntern, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acDocumentViewInternExecute(); }, this); });
    connect(acDocumentViewExtern, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acDocumentViewExternExecute(); }, this); });
    connect(acOptDocsHiddenVisible, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acOptDocsHiddenVisibleExecute(); }, this); });
    connect(acStandardInitial, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acStandardInitialExecute(); }, this); });
    connect(acEditWaitDialog, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acEditWaitDialogExecute(); }, this); });
    for (QAction* a : {acCloseDocuments, acCloseDocumentsYes, acCloseDocumentsNo})
        connect(a, &QAction::triggered, this,
                [this, a] { Rtl::Guarded([this, a] { acCloseDocumentsExecute(a); }, this); });
}

void TFormDokments::buildForm() {
    buildActions();
    QBoxLayout* root = ClientLayout();
    root->setContentsMargins(0, 0, 0, 0);

    RibbonDokumentMain = Vcl::Owned(this, new TVoskRibbon(ClientArea()),
                                    QStringLiteral("RibbonDokumentMain"));
    RibbonTabView = RibbonDokumentMain->AddTab(QStringLiteral("RibbonTabView"),
                                               QStringLiteral("Dokument anzeigen / aufnehmen"));
    RibbonTabEdit = RibbonDokumentMain->AddTab(QStringLiteral("RibbonTabEdit"),
                                               QStringLiteral("Dokument bearbeiten"));
    RibbonTabOptions = RibbonDokumentMain->AddTab(QStringLiteral("RibbonTabOptions"),
                                                  QStringLiteral("Optionen / Verhalten"));
    BarFileActions = RibbonTabView->AddGroup(QStringLiteral("BarFileActions"),
                                             QStringLiteral("Dokument aufnehmen"));
    BarFileActionsSmall = RibbonTabView->AddGroup(QStringLiteral("BarFileActionsSmall"),
                                                  QStringLiteral("Aufnehmen"));
    barDocumentView = RibbonTabView->AddGroup(QStringLiteral("barDocumentView"),
                                              QStringLiteral("Anzeigen"));
    barDocumentView->AddButton(acDocumentViewIntern);
    barDocumentView->AddButton(acDocumentViewExtern);
    barDocumentExport = RibbonTabView->AddGroup(QStringLiteral("barDocumentExport"),
                                                QStringLiteral("Ausgabe"));
    BarDocuTree = RibbonTabView->AddGroup(QStringLiteral("BarDocuTree"),
                                          QStringLiteral("Ordner"));
    barDocumentEdit = RibbonTabEdit->AddGroup(QStringLiteral("barDocumentEdit"),
                                              QStringLiteral("Bearbeiten"));
    barOptions = RibbonTabOptions->AddGroup(QStringLiteral("barOptions"),
                                            QStringLiteral("Anzeige"));
    barOptions->AddButton(acOptDocsHiddenVisible, TVoskRibbonGroup::Small);
    barOptions->AddButton(acStandardInitial, TVoskRibbonGroup::Small);
    barOptions->AddButton(acEditWaitDialog, TVoskRibbonGroup::Small);
    barCloseDocuments = RibbonTabOptions->AddGroup(QStringLiteral("barCloseDocuments"),
                                                   QStringLiteral("Beim Schließen"));
    barCloseDocuments->AddButton(acCloseDocuments, TVoskRibbonGroup::Small);
    barCloseDocuments->AddButton(acCloseDocumentsYes, TVoskRibbonGroup::Small);
    barCloseDocuments->AddButton(acCloseDocumentsNo, TVoskRibbonGroup::Small);
    root->addWidget(RibbonDokumentMain);

    // The header: its caption and the refresh button, over a placeholder query.
    SqlRefrechDummy = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("SqlRefrechDummy"));
    SqlRefrechDummy->SetQuerySql(QStringLiteral("SELECT true"));
    SqlRefrechDummy->SetSqlTable(QStringLiteral("picndoku"));
    SqlRefrechDummy->SetReadOnly(true);
    TopLabelFrame1 = Vcl::Owned(this, new TTopLabelFrame(this, ClientArea()),
                                QStringLiteral("TopLabelFrame1"));
    TopLabelFrame1->FSetTextNr(3277);
    TopLabelFrame1->FSetDataSource(SqlRefrechDummy);
    TopLabelFrame1->SetBtSkip(false);
    TopLabelFrame1->SetBtInsert(false);
    TopLabelFrame1->SetBtPost(false);
    TopLabelFrame1->SetBtDelete(false);
    TopLabelFrame1->SetBtRefresh(true);
    // The refresh rebuilds the tree; the placeholder itself never changes.
    SqlRefrechDummy->BeforeRefresh = [this](TVoskClass*) {
        HeaderRefresh();
        throw EAbort();
    };
    hideHeaderTools();
    root->addWidget(TopLabelFrame1);

    auto* split = new QSplitter(Qt::Horizontal, ClientArea());
    split->setObjectName(QStringLiteral("SplitterDokuments"));
    pcDokTree = Vcl::Owned(this, new QTabWidget(split), QStringLiteral("pcDokTree"));
    pcDokTree->setAccessibleName(QStringLiteral("Ablage"));
    RegDokumentTree = Vcl::Owned(this, new QWidget(pcDokTree), QStringLiteral("RegDokumentTree"));
    RegDokumentTree->setProperty("Tag", 12648);
    auto* treeLayout = new QVBoxLayout(RegDokumentTree);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    TreeModel = new TDokuTreeModel(this);
    TreeModel->IconProvider = [this](int image) -> QVariant {
        const QIcon icon = imageIcon(image);
        return icon.isNull() ? QVariant() : QVariant(icon);
    };
    TreeModel->SetHeaders({QStringLiteral("NodeType"), tx(17324, QStringLiteral("NodeID")),
                           tx(10074, QStringLiteral("Bezeichnung")), QStringLiteral("Drag&Drop"),
                           tx(771, QStringLiteral("Typ")), tx(16317, QStringLiteral("Pos")),
                           tx(338, QStringLiteral("Datum")), tx(734, QStringLiteral("Status")),
                           QStringLiteral("Editing")});
    TreeDocuments = Vcl::Owned(this, new QTreeView(RegDokumentTree),
                               QStringLiteral("TreeDocuments"));
    TreeDocuments->setModel(TreeModel);
    TreeDocuments->setAccessibleName(QStringLiteral("Dokumentstruktur"));
    TreeDocuments->setToolTip(QStringLiteral("Ordner und Dokumente des Datensatzes"));
    TreeDocuments->setUniformRowHeights(true);
    TreeDocuments->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeDocuments->setEditTriggers(QAbstractItemView::SelectedClicked |
                                   QAbstractItemView::EditKeyPressed);
    TreeDocuments->setColumnHidden(TDokuTreeModel::colEditing, true);
    TreeDocuments->header()->setStretchLastSection(false);
    TreeDocuments->installEventFilter(this);
    installTreeHandlers();
    treeLayout->addWidget(TreeDocuments);
    pcDokTree->addTab(RegDokumentTree, QString());

    RegDokuLinks = Vcl::Owned(this, new QWidget(pcDokTree), QStringLiteral("RegDokuLinks"));
    RegDokuLinks->setProperty("TabImage", -1);
    auto* linksLayout = new QVBoxLayout(RegDokuLinks);
    edDokuLinks = Vcl::Owned(this, new QLineEdit(RegDokuLinks), QStringLiteral("edDokuLinks"));
    edDokuLinks->setReadOnly(true);
    edDokuLinks->setAccessibleName(QStringLiteral("Ordner oder Dokument"));
    edDokuLinks->setToolTip(QStringLiteral("Ordner oder Dokument, dessen Listenausgabe gilt"));
    linksLayout->addWidget(edDokuLinks);
    SqlDokuLinks = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("SqlDokuLinks"));
    SqlDokuLinks->SetReadOnly(true);
    SqlDokuLinks->SetQuerySql(QStringLiteral(
        "SELECT a.rad_id,\n"
        "  left(coalesce(lang_text(r.r_descr), '') || coalesce(' ' || r.r_detail, ''), 100) "
        "AS reportname,\n"
        "  r.r_modulname,\n"
        "  EXISTS (SELECT 1 FROM report_dokument_link l WHERE l.rdl_rad_id = a.rad_id\n"
        "          AND l.rdl_pd_id = CAST(:pdid AS integer)) AS dok_aktiv,\n"
        "  EXISTS (SELECT 1 FROM report_dokument_link l WHERE l.rdl_rad_id = a.rad_id\n"
        "          AND l.rdl_pd_parentnodeident = coalesce(CAST(:node AS text),\n"
        "              (SELECT pd_parentnodeident FROM picndoku\n"
        "                WHERE pd_id = CAST(:pdid AS integer)))) AS dir_aktiv,\n"
        "  coalesce(lower(coalesce(\n"
        "      (SELECT pd_doktype FROM picndoku WHERE pd_id = CAST(:pdid AS integer)),\n"
        "      (SELECT dt_id FROM dokutypes WHERE lower(dt_parentnodeid) = lower(CAST(:node AS "
        "text))\n"
        "        ORDER BY dt_id LIMIT 1)))\n"
        "    = ANY (string_to_array(lower(a.rad_r_dokutypes), ';')), false) "
        "AS rad_r_dokutypes_voskbold\n"
        "FROM report_afterdokument a\n"
        "JOIN reports r ON r.r_id = a.rad_r_id\n"
        "WHERE a.rad_pd_tablename = CAST(:pdtablename AS text)\n"
        "  AND (CAST(:node AS text) IS NULL OR a.rad_linkfield IS NOT NULL)\n"
        "ORDER BY a.rad_pos"));
    gridDokuLinks = Vcl::Owned(this, new TVoskDBGrid2(RegDokuLinks),
                               QStringLiteral("gridDokuLinks"));
    gridDokuLinks->setAccessibleName(QStringLiteral("Listenausgabe"));
    gridDokuLinks->setToolTip(QStringLiteral("Reports, die nach dem Dokument gedruckt werden"));
    gridDokuLinks->SetHiddenFields({QStringLiteral("rad_id"),
                                    QStringLiteral("rad_r_dokutypes_voskbold")});
    gridDokuLinks->SetDataClass(SqlDokuLinks);
    linksLayout->addWidget(gridDokuLinks, 1);
    pcDokTree->addTab(RegDokuLinks, QStringLiteral("Listenausgabe festlegen"));
    connect(pcDokTree, &QTabWidget::currentChanged, this,
            [this] { Rtl::Guarded([this] { pcDokTreeChange(); }, this); });

    auto* right = new QWidget(split);
    right->setObjectName(QStringLiteral("PanelViewer"));
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    VoskDocumentViewer1 = Vcl::Owned(this, new TVoskDocumentViewer(right),
                                     QStringLiteral("VoskDocumentViewer1"));
    rightLayout->addWidget(VoskDocumentViewer1, 1);
    lbDokuStates = Vcl::Owned(this, new QLabel(right), QStringLiteral("lbDokuStates"));
    lbDokuStates->setWordWrap(true);
    // The lines name stored texts (a table's alias, a report, a lock holder).
    lbDokuStates->setTextFormat(Qt::PlainText);
    lbDokuStates->setAccessibleName(QStringLiteral("Dokumentstatus"));
    lbDokuStates->setToolTip(QStringLiteral("Status des Dokuments"));
    rightLayout->addWidget(lbDokuStates);
    split->addWidget(pcDokTree);
    split->addWidget(right);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({600, 400});
    root->addWidget(split, 1);
    const std::pair<int, int> widths[] = {
        {TDokuTreeModel::colNodeType, 40}, {TDokuTreeModel::colNodeId, 70},
        {TDokuTreeModel::colCaption, 220}, {TDokuTreeModel::colDragSource, 70},
        {TDokuTreeModel::colDokType, 110}, {TDokuTreeModel::colPos, 60},
        {TDokuTreeModel::colDate, 105}, {TDokuTreeModel::colStates, 90}};
    for (const auto& [col, width] : widths)
        TreeDocuments->setColumnWidth(col, width);
    TreeDocuments->header()->setSectionResizeMode(TDokuTreeModel::colCaption,
                                                  QHeaderView::Interactive);
    resize(1000, 640);

    // The pop-up menu of the tree: the two ways of opening a document.
    pmTreeDocuments = Vcl::Owned(this, new QMenu(this), QStringLiteral("pmTreeDocuments"));
    miView = pmTreeDocuments->addAction(acDocumentViewIntern->text());
    miView->setObjectName(QStringLiteral("miView"));
    connect(miView, &QAction::triggered, acDocumentViewIntern, &QAction::trigger);
    miOpen = pmTreeDocuments->addAction(acDocumentViewExtern->text());
    miOpen->setObjectName(QStringLiteral("miOpen"));
    connect(miOpen, &QAction::triggered, acDocumentViewExtern, &QAction::trigger);
    TreeDocuments->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TreeDocuments, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (!FocusedNode())
            return;
        if (Rtl::Guarded([this] { pmTreeDocumentsPopup(); }, this))
            pmTreeDocuments->popup(TreeDocuments->viewport()->mapToGlobal(pos));
    });

    DokumentLoadTree = Vcl::Owned(this, new TDokument(this), QStringLiteral("DokumentLoadTree"));
    m_dokument1 = Vcl::Owned(this, new TDokument(this), QStringLiteral("Dokument1"));
    SqlDokuTypes = std::make_unique<TVoskQuery2>(
        nullptr, QStringLiteral("SELECT dbrid, dt_id, dt_descr, dt_parentnodeid\n"
                                "FROM dokutypes\n"
                                "WHERE dt_linkto = :tablename\n"
                                "ORDER BY dt_descr"));
    // Document events: a new entry belongs to this record; a post rebuilds the tree.
    Dokument1()->AfterInsert = [this](TVoskClass* c) {
        auto set = [c](const QString& field, const QVariant& v) {
            c->FieldByName(field).SetValue(v);
        };
        set(QStringLiteral("pd_tablename"), _TableName);
        set(QStringLiteral("pd_dbrid"), _RecId.toLongLong());
        const QString ident = !_AlternateDokIdent.isEmpty() ? _AlternateDokIdent : _KeySearch.Value;
        set(QStringLiteral("pd_dokident"), ident.isEmpty() ? QVariant() : QVariant(ident));
        if (NodeIsFolder(FocusedNode()))
            set(QStringLiteral("pd_parentnodeident"), GetNodeId(FocusedNode()));
    };
    Dokument1()->AfterPost = [this](TVoskClass*) { RequestRebuild(GetNodeId(FocusedNode())); };
    // A write refused because the tree showed an old revision: the tree shows the valid one.
    connect(Dokument1(), &TDokument::revisionStale, this, [this](int validId) {
        RequestRebuild(validId > 0 ? QString::number(validId) : QString());
    });
    buildDocumentCheck();
    buildOutput();
    buildProperties();
    buildImport();
    buildFolders();
}

// ---- creation, options -------------------------------------------------------------------------

void TFormDokments::hideHeaderTools() {
    // Of the header's tools only the refresh serves this window; the administrator's tools of
    // module windows have nothing to work on here.
    for (QWidget* b : std::initializer_list<QWidget*>{
             TopLabelFrame1->BtTools, TopLabelFrame1->btGrid, TopLabelFrame1->btGridFilter,
             TopLabelFrame1->btSearchData, TopLabelFrame1->btAutoRefresh,
             TopLabelFrame1->btDockUndock, TopLabelFrame1->btNewOpen,
             TopLabelFrame1->BtSettingsModul, TopLabelFrame1->btCopyEdits, TopLabelFrame1->InfoBt,
             TopLabelFrame1->BtShowShortHelp, TopLabelFrame1->btMode, TopLabelFrame1->PrintBar})
        if (b)
            b->hide();
    for (QFrame* bevel : TopLabelFrame1->findChildren<QFrame*>())
        if (bevel->frameShape() == QFrame::VLine)
            bevel->hide();
}

void TFormDokments::LoadCompSettings(QWidget* control) {
    TFormKorvexGundForm::LoadCompSettings(control);
    hideHeaderTools();
}

void TFormDokments::ReloadCompSettings(QWidget* control, const QString& state) {
    TFormKorvexGundForm::ReloadCompSettings(control, state);
    hideHeaderTools();
}

void TFormDokments::FormCreate(QObject* sender) {
    TFormKorvexGundForm::FormCreate(sender);
    setWindowTitle(TopLabelFrame1->GetCaption());
    if (TDM1* dm = DM1(); dm && dm->Connected())
        SqlRefrechDummy->Open();
    const bool admin = TUserRights::GetAdmin_User();
    for (int col : {int(TDokuTreeModel::colNodeType), int(TDokuTreeModel::colNodeId),
                    int(TDokuTreeModel::colPos)})
        TreeDocuments->setColumnHidden(col, !admin);
    VoskDocumentViewer1->SetViewerEnabled(true);
    pcDokTree->setCurrentWidget(RegDokumentTree);
    RibbonDokumentMain->SetActiveTab(RibbonTabView);

    acOptDocsHiddenVisible->setChecked(false);
    const auto option = [this](QAction* a) {
        const QString v = TVoskDM_Dunmere::GetCompOption(Vcl::ClassName(this), a->objectName(),
                                                         QString(), userNo());
        return v.isEmpty() ? true : Rtl::StrToBoolDef(v, true);
    };
    acStandardInitial->setChecked(option(acStandardInitial));
    acEditWaitDialog->setChecked(option(acEditWaitDialog));
    int close = 0;
    if (TDM1* dm = DM1(); dm && dm->Connected())
        close = dm->LoadLastValInt(closeDocumentsKey(), 0);
    (close == kCloseYesToAll  ? acCloseDocumentsYes
     : close == kCloseNoToAll ? acCloseDocumentsNo
                              : acCloseDocuments)
        ->setChecked(true);
    UpdateFileCount(0);
    TreeDocumentsFocusedNodeChanged(nullptr, nullptr);
}

QString TFormDokments::closeDocumentsKey() const {
    return _TableName + u'_' + Vcl::ClassName(this) + u'.' + acCloseDocuments->objectName();
}

void TFormDokments::acCloseDocumentsExecute(QAction* sender) {
    int value = 0;
    if (sender == acCloseDocumentsYes && sender->isChecked())
        value = kCloseYesToAll;
    else if (sender == acCloseDocumentsNo && sender->isChecked())
        value = kCloseNoToAll;
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastValInt(closeDocumentsKey(), value);
}

void TFormDokments::acStandardInitialExecute() {
    TVoskDM_Dunmere::SetCompOption(Vcl::ClassName(this), acStandardInitial->objectName(),
                                   QString(), Rtl::BoolToStr(acStandardInitial->isChecked()),
                                   userNo());
}

void TFormDokments::acEditWaitDialogExecute() {
    TVoskDM_Dunmere::SetCompOption(Vcl::ClassName(this), acEditWaitDialog->objectName(), QString(),
                                   Rtl::BoolToStr(acEditWaitDialog->isChecked()), userNo());
    DocumentCheck_ShowUpdateButtons();
}

void TFormDokments::acOptDocsHiddenVisibleExecute() {
    const QString id = GetNodeId(FocusedNode());
    TreeMenuCreate(false);
    TreeMenuSelect(id);
    RibbonDokumentMain->SetActiveTab(RibbonTabOptions);
}

// ---- showing, activation -----------------------------------------------------------------------

void TFormDokments::Show() {
    show();
    raise();
    activateWindow();
}

void TFormDokments::FormShow(QObject* sender) {
    TFormKorvexGundForm::FormShow(sender);
    // Without a place of its own yet, the window opens beside the module form it was opened
    // from, or cascaded from it: over it, it would hide the form and its menu bar.
    if (Frame()->pos() == QPoint(0, 0)) {
        QWidget* over = OwnerModulForm ? OwnerModulForm.data() : Vcl::Screen::MainForm();
        if (over && over != this && over->isVisible()) {
            const QRect owner = over->isWindow()
                                    ? over->frameGeometry()
                                    : QRect(over->mapToGlobal(QPoint(0, 0)), over->size());
            Frame()->move(UImpDoku::BesideOrCascaded(Frame()->frameGeometry().size(), owner,
                                                     over->screen()->availableGeometry()));
        }
    }
    ApplyTreeWidth(pcDokTree->width());
}

void TFormDokments::FormActivate(QObject* sender) {
    TFormKorvexGundForm::FormActivate(sender);
    SetParameter(QStringLiteral("printers_list"),
                 Corvale::Printers::Instance().PrinterNames().join(QStringLiteral("¶")));
    if (NodeIsDocument(FocusedNode()) && !IsLoading) {
        Dokument1()->AssignToDokId(GetNodeId().toInt(), _TableName, _RecId);
        CheckNodeAndUpdate();
    }
    VoskDocumentViewer1->SetViewerEnabled(true);
    // A copy saved while the window was in the background shows at once.
    if (tiDocumentCheck->isActive())
        tiDocumentCheckTimer();
}

void TFormDokments::FormDeactivate(QObject* sender) {
    TFormKorvexGundForm::FormDeactivate(sender);
    VoskDocumentViewer1->SetViewerEnabled(false);
}

void TFormDokments::keyPressEvent(QKeyEvent* e) {
    TFormKorvexGundForm::keyPressEvent(e);
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        Close();
    }
}

void TFormDokments::ApplyTreeWidth(int width) {
    const bool wide = width > 450;
    for (int col : {int(TDokuTreeModel::colDragSource), int(TDokuTreeModel::colDokType),
                    int(TDokuTreeModel::colDate), int(TDokuTreeModel::colStates)})
        TreeDocuments->setColumnHidden(col, !wide);
}

bool TFormDokments::eventFilter(QObject* watched, QEvent* e) {
    if (watched == TreeDocuments) {
        if (e->type() == QEvent::Resize)
            ApplyTreeWidth(pcDokTree->width());
        if (e->type() == QEvent::KeyPress) {
            bool consumed = false;
            Rtl::Guarded(
                [&] { consumed = TreeDocumentsKeyDown(static_cast<QKeyEvent*>(e)->key()); }, this);
            if (consumed)
                return true;
        }
        if (e->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(e)->isAutoRepeat())
            Rtl::Guarded([&] { TreeDocumentsKeyUp(static_cast<QKeyEvent*>(e)->key()); }, this);
    }
    return TFormKorvexGundForm::eventFilter(watched, e);
}

// ---- pages -------------------------------------------------------------------------------------

void TFormDokments::pcDokTreeChange() {
    SqlDokuLinks->Close();
    if (pcDokTree->currentWidget() == RegDokumentTree) {
        if (TDokuTreeNode* n = FocusedNode(); n && (NodeIsDocument(n) || NodeIsFolder(n))) {
            if (NodeIsDocument(n))
                Dokument1()->AssignToDokId(GetNodeId(n).toInt(), _TableName, _RecId);
            CheckNodeAndUpdate();
        }
        return;
    }
    TDokuTreeNode* n = FocusedNode();
    const int dokCol = gridDokuLinks->columnByFieldName(QStringLiteral("dok_aktiv"));
    if (n && n->Kind == DokState::nkDocument) {
        QString text = n->Caption;
        if (!Dokument1()->DokType().isEmpty())
            text += QStringLiteral("  (") + Dokument1()->DokType() + u')';
        edDokuLinks->setText(text);
        SqlDokuLinks->SetParam(QStringLiteral("pdtablename"), _TableName);
        SqlDokuLinks->SetParam(QStringLiteral("pdid"), GetNodeId(n).toInt());
        SqlDokuLinks->SetParam(QStringLiteral("node"), QVariant());
        SqlDokuLinks->Open();
        SetLinkCheckColumns();
    } else if (n && NodeIsFolder(n)) {
        edDokuLinks->setText(n->Caption);
        SqlDokuLinks->SetParam(QStringLiteral("pdtablename"), _TableName);
        SqlDokuLinks->SetParam(QStringLiteral("pdid"), QVariant());
        SqlDokuLinks->SetParam(QStringLiteral("node"), GetNodeId(n));
        SqlDokuLinks->Open();
        SetLinkCheckColumns();
    } else {
        edDokuLinks->clear();
    }
    const int col = gridDokuLinks->columnByFieldName(QStringLiteral("dok_aktiv"));
    if (col >= 0)
        gridDokuLinks->setColumnHidden(col, !(n && n->Kind == DokState::nkDocument));
    (void)dokCol;
}

// ---- closing -----------------------------------------------------------------------------------

QList<QWidget*> TFormDokments::PreviewsOwnedBy(QObject* owner) {
    QList<QWidget*> previews;
    if (!owner)
        return previews;
    for (QObject* c : Vcl::Components(owner))
        if (auto* w = qobject_cast<QWidget*>(c);
            w && Vcl::InheritsFromName(w, QStringLiteral("TFormFilePreview")))
            previews << w;
    return previews;
}

bool TFormDokments::CloseQuery() {
    if (!TFormKorvexGundForm::CloseQuery())
        return false;
    // The header's info lookup may hold what must be looked at before the window closes.
    TF2Result r;
    try {
        r = MakeF2Array(this, TopLabelFrame1->InfoBt, true, false, QStringLiteral("10"),
                        {QStringLiteral("IsOnClose"), QStringLiteral("True"),
                         QStringLiteral("HideIfEmpty"), QStringLiteral("True"),
                         QStringLiteral("ShowOkAbortBt"), QStringLiteral("True")},
                        QString());
    } catch (const EVoskException& e) {
        // No lookup is kept for this window: nothing holds the close.
        if (TDM1* dm = DM1())
            dm->LogEvent(QStringLiteral("TFormDokments.CloseQuery: ") + e.Message());
        return true;
    }
    const auto* rows = qobject_cast<QAbstractItemView*>(r.F2Grid.data());
    const bool hasRows = rows && rows->model() && rows->model()->rowCount() > 0;
    return !(r.F2Form && r.F2Form->ModalResult() != Vcl::mrOk && hasRows);
}

void TFormDokments::FormClose(QObject* sender, Vcl::TCloseAction& action) {
    if (sender && m_ownerClass && !Vcl::IsDestroying(m_ownerClass) &&
        !Vcl::IsDesigning(m_ownerClass) && m_ownerClass->Active())
        m_ownerClass->RefreshRecord();
    // The module form (the owner, or the owner's owner) computes its document button anew.
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (auto* modul = qobject_cast<TModulForm*>(o)) {
            modul->LastDokuID.clear();
            break;
        }
    for (QWidget* w : PreviewsOwnedBy(this))
        if (auto* f = qobject_cast<Vcl::TForm*>(w))
            f->Close();
    QApplication::processEvents();
    if (OwnerModulForm) {
        const QList<QWidget*> previews = PreviewsOwnedBy(OwnerModulForm);
        if (!previews.isEmpty()) {
            int stored = 0;
            if (TDM1* dm = DM1(); dm && dm->Connected())
                stored = dm->LoadLastValInt(closeDocumentsKey(), 0);
            int answer = stored;
            if (stored != kCloseYesToAll && stored != kCloseNoToAll) {
                const QString pressed = Korvexutils::RaiseQuestionBtn(
                    tx(31015, QStringLiteral("Geöffnete Dokumente schliessen?")),
                    QStringLiteral("Yes|No|NoToAll=Nie|YesToAll=Immer"), 1);
                answer = pressed == u"Yes"        ? Vcl::mrYes
                         : pressed == u"YesToAll" ? kCloseYesToAll
                         : pressed == u"NoToAll"  ? kCloseNoToAll
                                                  : Vcl::mrNo;
                if (TDM1* dm = DM1(); dm && dm->Connected())
                    dm->SaveLastValInt(closeDocumentsKey(), answer);
            }
            if (answer == Vcl::mrYes || answer == kCloseYesToAll) {
                for (QWidget* w : previews)
                    if (auto* f = qobject_cast<Vcl::TForm*>(w))
                        f->Close();
                QApplication::processEvents();
            }
        }
    }
    TFormKorvexGundForm::FormClose(sender, action);
}

// ---- opening documents -------------------------------------------------------------------------

QString TFormDokments::NoViewerText() {
    return QStringLiteral("Die Dokumentanzeige ist nicht geladen.");
}

void TFormDokments::acDocumentViewInternExecute() {
    if (!NodeIsDocument() || FocusedNode()->Kind != DokState::nkDocument)
        return;
    CheckDokument1Assignment();
    if (!TDokument::_ShowDokument.Assigned()) {
        Korvexutils::RaiseInformation(NoViewerText());
        return;
    }
    // The preview belongs to the module form that opened the window, so that it outlives it.
    Dokument1()->ShowDokument(OwnerModulForm ? static_cast<QObject*>(OwnerModulForm.data()) : this);
}

void TFormDokments::acDocumentViewExternExecute() {
    if (!NodeIsDocument() || FocusedNode()->Kind != DokState::nkDocument)
        return;
    CheckDokument1Assignment();
    TUserRights::CanDoDMSFileAction(Dokument1()->DokType(), Dokument1()->Id(), 6, true);
    OpenLocalCopy(Dokument1());
}

void TFormDokments::OpenLocalCopy(TDokument* doku) {
    const QString local = doku->DMSGetFile();
    // The desktop's program edits a copy nobody takes back: it opens read-only.
    if (doku->isDMSDokument())
        QFile::setPermissions(local, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!Vcl::OpenDocument(local))
        Korvexutils::RaiseError(
            QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden.").arg(local));
}

QObject* TFormDokments::OpenDokument(QWidget* ownerForm, TDokument* doku, bool readOnly) {
    if (!doku || !doku->HasRecord())
        Korvexutils::RaiseCriticalError(tx(17432, QStringLiteral("Dokument nicht gefunden.")));
    TUserRights::CanDoDMSFileAction(doku->DokType(), doku->Id(), 0, true);
    if (doku->isDMSViewDokument() && TDokument::_ShowDokument.Assigned()) {
        QObject* shown = TDokument::_ShowDokument(ownerForm, doku, !readOnly);
        // The viewer may have stored a new revision or taken the lock meanwhile.
        doku->AssignToDokId(doku->Id(), doku->Param(QStringLiteral("ctxtable")).toString(),
                            doku->Param(QStringLiteral("ctxdbrid")).toString());
        return shown;
    }
    if (!readOnly)
        Korvexutils::RaiseCriticalError(
            QStringLiteral("TFormDokments/TDokument.OpenDokument+ReadOnly: Bearbeiten ist hier "
                           "nicht implementiert. Bitte über den Auscheckkorb gehen.") +
            QStringLiteral("\r\n\r\n") +
            QStringLiteral("z.B. TDokument.CreateNewRevision, DMSSetServerFile (wenn nicht "
                           "Archiviert/Revisioniert), LockRevision oder "
                           "LockRevision(Filename)+GetLockedPath+DoExecute"));
    OpenLocalCopy(doku);
    return nullptr;
}

QObject* TFormDokments::OpenDokument(QWidget* ownerForm, int pdId, bool readOnly) {
    if (pdId == 0)
        Korvexutils::RaiseCriticalError(tx(31219, QStringLiteral("Kein Dokument vorhanden.")));
    TDokument doc;
    doc.AssignToDokId(pdId);
    return OpenDokument(ownerForm, &doc, readOnly);
}

QObject* TFormDokments::_OpenDokument(QObject* ownerForm, TDokument* doku, bool readOnly) {
    return OpenDokument(qobject_cast<QWidget*>(ownerForm), doku, readOnly);
}

QObject* TFormDokments::_OpenDokumentC(QObject* ownerForm, int pdId, bool readOnly) {
    return OpenDokument(qobject_cast<QWidget*>(ownerForm), pdId, readOnly);
}

TFormDokments* TFormDokments::ShowDokumentsForm(QObject* owner, const QString& tableName,
                                                const QString& recId, QObject* toVoskClass) {
    auto* cls = qobject_cast<TVoskClass*>(toVoskClass);
    if (toVoskClass && !cls)
        throw EVoskException(QStringLiteral("TFormDokments.ShowDokumentsForm: %1 ist keine "
                                            "Datenklasse")
                                 .arg(Vcl::ClassName(toVoskClass)));
    auto* form = TFormKorvexGundForm::Create<TFormDokments>(owner, QStringList(), tableName,
                                                            recId, cls);
    form->Show();
    form->TreeMenuCreate(true);
    return form;
}

// ---- unit --------------------------------------------------------------------------------------

namespace {

void InitUnit() {
    TDokument::_OpenDokument.Set(&TFormDokments::_OpenDokument);
    TDokument::_OpenDokumentC.Set(&TFormDokments::_OpenDokumentC);
    RtlDialog::FDokumentsForm.Set([](QObject* owner, const QString& table, const QString& recId,
                                     QObject* cls) -> QObject* {
        return TFormDokments::ShowDokumentsForm(owner, table, recId, cls);
    });
    UModulFormSeams::FormDokments.Set(
        [](QObject* owner, const QString& table, const QString& recId,
           TVoskClass* cls) -> UModulFormSeams::IFormDokments* {
            return TFormKorvexGundForm::Create<TFormDokments>(owner, QStringList(), table, recId,
                                                              cls);
        });
}

void FiniUnit() {
    TDokument::_OpenDokument.Reset();
    TDokument::_OpenDokumentC.Reset();
    RtlDialog::FDokumentsForm.Reset();
    UModulFormSeams::FormDokments.Reset();
}

} // namespace

KORVEX_UNIT("hadrel", "UImpDoku", InitUnit, FiniUnit);
