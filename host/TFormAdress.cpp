#include "TFormAdress.h"

#include "UModulForm.Start.h"

#include "TfrmAdressliste.h"
#include "UFrameRecnoEnumGrid.h"
#include "UFrameRecnoParams.h"

#include "FrameDBNavigate.h"
#include "UDokuList.h"
#include "UImpDoku.h"

#include <TVoskDocumentViewer.h>

#include "TQ32Control.h"
#include "TRecNoClasses.h"
#include "UDM1.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskPageControl2.h"
#include "Vcl.Components.h"

#include <EventGuard.h>

#include <QApplication>
#include <QFormLayout>
#include <QTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QToolButton>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

TFormAdress::TFormAdress(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormAdress"));
    DataAdressen = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataAdressen"));
    DataAdressen->SetSqlTable(QStringLiteral("adressen"));
    DataAdressen->SetKeyFieldName(QStringLiteral("dbrid"));
    DataAdressen->SetDescription(QStringLiteral("Adressen"));
    DataAdressen->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY name, dbrid"));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterAdressen"));
    ModulLayout()->addWidget(split, 1);

    GridAdressen = Vcl::Owned(this, new TVoskDBGrid2(split), QStringLiteral("GridAdressen"));
    GridAdressen->SetDataClass(DataAdressen);
    // The key and the audit stamps are the server's; the status bar shows the stamps.
    GridAdressen->SetHiddenFields({QStringLiteral("dbrid"), QStringLiteral("insert_date"),
                                   QStringLiteral("insert_by"), QStringLiteral("modified_date"),
                                   QStringLiteral("modified_by")});
    split->addWidget(GridAdressen);

    // The address on one page, how to reach its people on the other.
    PageControlAdresse =
        Vcl::Owned(this, new TVoskPageControl2(split), QStringLiteral("PageControlAdresse"));
    PageControlAdresse->setAccessibleName(QStringLiteral("Adressdaten"));
    PageControlAdresse->setToolTip(QStringLiteral("Adressdaten"));
    auto page = [&](const char* name, const QString& caption) {
        auto* p = new QWidget(PageControlAdresse);
        p->setObjectName(QString::fromLatin1(name));
        PageControlAdresse->addTab(p, caption);
        return new QFormLayout(p);
    };
    QFormLayout* form = page("TabAdresse", QStringLiteral("Adresse"));
    auto edit = [&](const char* name, const char* field, const char* label) {
        auto* e = Vcl::Owned(this, new TVoskDBEdit(form->parentWidget()), QString::fromLatin1(name));
        e->SetDataClass(DataAdressen);
        e->SetDataField(QString::fromLatin1(field));
        form->addRow(QString::fromUtf8(label), e);
        return e;
    };
    EdName = edit("EdName", "name", "Name");
    EdStrasse = edit("EdStrasse", "strasse", "Straße");
    EdPlz = edit("EdPlz", "plz", "PLZ");
    EdOrt = edit("EdOrt", "ort", "Ort");
    form = page("TabKontakt", QStringLiteral("Kontakt"));
    EdTelefon = edit("EdTelefon", "telefon", "Telefon");
    EdEmail = edit("EdEmail", "email", "E-Mail");
    // The address's parameters beside the check list of one enumeration of them.
    RecNoParamsAdresse =
        Vcl::Owned(this, new TRecNoParams(this), QStringLiteral("RecNoParamsAdresse"));
    m_paramPage = new QWidget(PageControlAdresse);
    m_paramPage->setObjectName(QStringLiteral("TabParameter"));
    PageControlAdresse->AddDeferredTab(m_paramPage, QStringLiteral("Parameter"),
                                       [this](QWidget* page) { buildParameterPage(page); });
    auto* docPage = new QWidget(PageControlAdresse);
    docPage->setObjectName(QStringLiteral("TabDokumente"));
    PageControlAdresse->AddDeferredTab(docPage, QStringLiteral("Dokumente"),
                                       [this](QWidget* page) { buildDocumentPage(page); });
    split->addWidget(PageControlAdresse);

    DataAnsprechpartner =
        Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataAnsprechpartner"));
    DataAnsprechpartner->SetSqlTable(QStringLiteral("ansprechpartner"));
    DataAnsprechpartner->SetDescription(QStringLiteral("Ansprechpartner"));
    DataAnsprechpartner->SetQuerySql(QStringLiteral(
        "SELECT * FROM ansprechpartner WHERE adressen_id = :adresse ORDER BY nachname, dbrid"));
    auto* contacts = new QWidget(split);
    contacts->setObjectName(QStringLiteral("PanelAnsprechpartner"));
    auto* contactsLayout = new QVBoxLayout(contacts);
    contactsLayout->setContentsMargins(0, 0, 0, 0);
    contactsLayout->setSpacing(0);
    FrameAnsprechpartner = Vcl::Owned(this, new TFrameDBNav(this, contacts),
                                      QStringLiteral("FrameAnsprechpartner"));
    GridAnsprechpartner =
        Vcl::Owned(this, new TVoskDBGrid2(contacts), QStringLiteral("GridAnsprechpartner"));
    GridAnsprechpartner->SetDataClass(DataAnsprechpartner);
    GridAnsprechpartner->SetHiddenFields(
        {QStringLiteral("dbrid"), QStringLiteral("adressen_id"), QStringLiteral("insert_date"),
         QStringLiteral("insert_by"), QStringLiteral("modified_date"),
         QStringLiteral("modified_by"), QStringLiteral("notiz")});
    // The note is read under each contact rather than in a narrow column.
    GridAnsprechpartner->SetPreviewField(QStringLiteral("notiz"));
    FrameAnsprechpartner->SetCaption(QStringLiteral("Ansprechpartner"));
    FrameAnsprechpartner->FSetDataSource(DataAnsprechpartner);
    FrameAnsprechpartner->FSetVoskDBGrid(GridAnsprechpartner);
    FrameAnsprechpartner->SetOptimal(true);
    FrameAnsprechpartner->FSetAutoRefreshButton(true);
    FrameAnsprechpartner->SetFilterTabShow(true);
    // The contacts' own control chain: their special functions show on their frame.
    new TQ32Control(DataAnsprechpartner);
    // A new contact belongs to the address shown above it.
    DataAnsprechpartner->BeforePost = [this](TVoskClass* c) {
        if (c->IsNewRecord() && DataAdressen->HasRecord())
            c->FieldByName(QStringLiteral("adressen_id"))
                .SetValue(DataAdressen->FieldByName(QStringLiteral("dbrid")).Value());
    };
    contactsLayout->addWidget(FrameAnsprechpartner);
    contactsLayout->addWidget(GridAnsprechpartner, 1);
    split->addWidget(contacts);

    TopLabel->Toplabel->setText(QStringLiteral("Adressen"));
    TopLabel->SetBtSkip(true);
    TopLabel->SetBtInsert(true);
    TopLabel->FSetDataSource(DataAdressen);
    // The address is the record documents and soft links hang on; its name identifies it.
    TopLabel->FSetDokumentClass(DataAdressen);
    (new TQ32Control(DataAdressen))->AddEditControl(EdName);
    TopLabel->SetVoskDBGrid(GridAdressen);
    TopLabel->SetBtAutoRefresh(true);
    for (QWidget* b : {TopLabel->BtTools, TopLabel->InfoBt, TopLabel->PrintBt,
                       TopLabel->PrintBtFullAuto})
        b->show();
}

void TFormAdress::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    // The address module's report: the designed address-list dialog.
    // A plain click asks with the designed dialog; the automatic prints go to the report.
    TopLabel->OnPrintBtClick = [this](QObject*, bool autoPrint, bool toPaper, bool printerSel) {
        if (autoPrint)
            ::Print(this, QString(), QString(), true, false, nullptr, toPaper, printerSel);
        else
            TfrmAdressliste::Execute(this);
    };
    DataAdressen->Open();
    // The contacts follow the address; an open contact record keeps them where they are.
    auto followAddress = [this] {
        if (DataAnsprechpartner->InEdit())
            return;
        const QVariant id = DataAdressen->HasRecord()
                                ? DataAdressen->FieldByName(QStringLiteral("dbrid")).Value()
                                : QVariant(-1);
        DataAnsprechpartner->SetParam(QStringLiteral("adresse"), id);
        if (DataAnsprechpartner->Active())
            DataAnsprechpartner->Refresh(false, true);
        else
            DataAnsprechpartner->Open();
    };
    connect(DataAdressen, &TVoskClass::CurrentChanged, this, followAddress);
    followAddress();

    // The parameter page made while the components were started waited for the addresses.
    m_started = true;
    if (FrameRecnoEnumGrid)
        followShippingMethods();
    connect(DataAdressen, &TVoskClass::CurrentChanged, this, [this] { RecNoParamsFollow(); });
    connect(PageControlAdresse, &QTabWidget::currentChanged, this, [this] { RecNoParamsFollow(); });
    connect(DataAdressen, &TVoskClass::CurrentChanged, this, [this] { DokumentListeFollow(); });
    connect(PageControlAdresse, &QTabWidget::currentChanged, this,
            [this] { DokumentListeFollow(); });
    // Start parameter "Tab": the page to show, by caption or name.
    const QString tab = GetParameterStr(QStringLiteral("Tab"));
    for (int i = 0; !tab.isEmpty() && i < PageControlAdresse->count(); ++i)
        if (PageControlAdresse->tabText(i).compare(tab, Qt::CaseInsensitive) == 0 ||
            PageControlAdresse->widget(i)->objectName().compare(tab, Qt::CaseInsensitive) == 0)
            PageControlAdresse->setCurrentIndex(i);
    // The page the user left the module on may already be the parameters' page.
    RecNoParamsFollow();
    DokumentListeFollow();
}

void TFormAdress::buildDocumentPage(QWidget* page) {
    auto* docLayout = new QHBoxLayout(page);
    DokumentListe =
        Vcl::Owned(this, new TVoskDocumentList(this, page), QStringLiteral("DokumentListe"));
    docLayout->addWidget(DokumentListe, 3);
    DokumentVorschau =
        Vcl::Owned(this, new TVoskDocumentViewer(page), QStringLiteral("DokumentVorschau"));
    DokumentVorschau->setAccessibleName(QStringLiteral("Vorschau"));
    DokumentVorschau->setToolTip(QStringLiteral("Vorschau des gewählten Dokuments"));
    docLayout->addWidget(DokumentVorschau, 2);
    DokumentListe->SetDocumentViewer(DokumentVorschau);
    if (m_started)
        DokumentListeFollow();
}

void TFormAdress::DokumentListeFollow() {
    if (!DokumentListe || PageControlAdresse->currentWidget() != DokumentListe->parentWidget())
        return;
    const bool stored = DataAdressen->HasRecord() && !DataAdressen->IsNewRecord();
    DokumentListe->Open(QStringLiteral("adressen"),
                        stored ? DataAdressen->FieldByName(QStringLiteral("dbrid")).AsString()
                               : QString());
    if (!stored)
        DokumentVorschau->DisableDocument();
}

void TFormAdress::buildParameterPage(QWidget* page) {
    auto* paramLayout = new QHBoxLayout(page);
    paramLayout->setContentsMargins(2, 2, 2, 2);
    FrameRecnoParams =
        Vcl::Owned(this, new TFrameRecnoParams(this, page), QStringLiteral("FrameRecnoParams"));
    FrameRecnoParams->SetRecnoParams(RecNoParamsAdresse);
    FrameRecnoParams->SetAlwaysExpanded(true);
    paramLayout->addWidget(FrameRecnoParams, 3);
    FrameRecnoEnumGrid = Vcl::Owned(this, new TFrameRecnoEnumGrid(this, page),
                                    QStringLiteral("FrameRecnoEnumGrid"));
    paramLayout->addWidget(FrameRecnoEnumGrid, 2);
    // Made while the form starts its components, the frames are started with the others;
    // made later, they are started here.
    if (!m_started)
        return;
    UGrundModulForm::StartVoskComponent(this, FrameRecnoParams, false);
    UGrundModulForm::StartVoskComponent(this, FrameRecnoEnumGrid, false);
    followShippingMethods();
}

void TFormAdress::followShippingMethods() {
    // The check list shows where the installation defines the shipping methods.
    const QString enumParam = QStringLiteral("Versandarten");
    if (DM1() && !DM1()->LoadVar(QStringLiteral("SELECT 1 FROM recnogroup WHERE reg_pname = :p"),
                                 {{QStringLiteral("p"), enumParam}})
                      .isNull()) {
        FrameRecnoEnumGrid->gbMain->setTitle(enumParam);
        FrameRecnoEnumGrid->SetDataSource(DataAdressen);
        FrameRecnoEnumGrid->FSetParameterName(enumParam);
    }
}

void TFormAdress::FormShow(QObject* sender) {
    TModulForm::FormShow(sender);
    // Start parameter "Seite=<caption>": the address's page shown first.
    if (const QString page = GetParameterStr(QStringLiteral("Seite")); !page.isEmpty())
        for (int i = 0; i < PageControlAdresse->count(); ++i)
            if (PageControlAdresse->tabText(i).compare(page, Qt::CaseInsensitive) == 0)
                PageControlAdresse->setCurrentIndex(i);
    if (m_documentsStarted || !GetParameterBool(QStringLiteral("Dokumente")))
        return;
    m_documentsStarted = true;
    QTimer::singleShot(0, this, [this] {
        Rtl::Guarded(
            [this] {
                BtDokuClick(BtDoku);
                TFormDokments* window = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* found = qobject_cast<TFormDokments*>(w))
                        window = found;
                if (!window)
                    return;
                // Start parameter "Dokument=<caption>": that document focused, and so previewed.
                if (const QString caption = GetParameterStr(QStringLiteral("Dokument"));
                    !caption.isEmpty()) {
                    const int id =
                        DM1()->LoadVar(QStringLiteral("SELECT pd_id FROM picndoku WHERE pd_descr = "
                                                      ":name AND NOT pd_deletable ORDER BY pd_id "
                                                      "LIMIT 1"),
                                       {{QStringLiteral("name"), caption}})
                            .toInt();
                    window->TreeMenuSelect(QString::number(id));
                }
                if (GetParameterBool(QStringLiteral("Eigenschaften")))
                    window->acDocumentInfoProperties->trigger();
            },
            this);
    });
}

void TFormAdress::RecNoParamsFollow() {
    if (PageControlAdresse->currentWidget() != m_paramPage ||
        RecNoParamsAdresse->InEdit())
        return;
    if (!DataAdressen->HasRecord() || DataAdressen->IsNewRecord()) {
        RecNoParamsAdresse->Close();
        return;
    }
    RecNoParamsAdresse->AssignToData(
        QStringLiteral("adressen"), DataAdressen->FieldByName(QStringLiteral("dbrid")).AsString(),
        Vcl::ClassName(this));
}

TFormAdress* TFormAdress::Open(QObject* owner, const QStringList& parameters) {
    return UModulForm::OpenModulForm<TFormAdress>(owner, parameters);
}
