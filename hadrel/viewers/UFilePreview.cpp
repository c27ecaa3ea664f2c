#include "UFilePreview.h"

#include "UFileViewerTIFF.h"
#include "UModulFormSeams.h"

#include <DMSys.h>
#include <EventGuard.h>
#include <Korvexutils.h>
#include <StrUtils.h>
#include <TUserRights.h>
#include <TVoskRibbon.h>
#include <RtfCodec.h>
#include <TVoskClass.h>
#include <TVoskDocumentViewer.h>
#include <UDM1.h>
#include <UGrundModulForm.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTime>
#include <QVBoxLayout>

#include <memory>

namespace UFilePreview {

namespace {
QHash<QString, TViewerFactory>& viewers() {
    static QHash<QString, TViewerFactory> table;
    return table;
}
} // namespace

void RegisterViewer(const QString& extension, TViewerFactory factory) {
    viewers().insert(extension.toLower(), std::move(factory));
}

void UnregisterViewer(const QString& extension) { viewers().remove(extension.toLower()); }

bool HasViewer(const QString& extension) { return viewers().contains(extension.toLower()); }

QString FileExtension(const QString& fileExt) {
    const qsizetype dot = fileExt.lastIndexOf(u'.');
    const qsizetype slash = qMax(fileExt.lastIndexOf(u'/'), fileExt.lastIndexOf(u'\\'));
    if (dot < 0 || dot < slash)
        return {};
    return fileExt.mid(dot).toLower();
}

QSize DialogSize(QSize desktop) {
    return {qMin(desktop.width() - 200, 1200), qMin(desktop.height() - 100, 950)};
}

} // namespace UFilePreview

namespace {

const QString kTempName = QStringLiteral("TFormFilePreview_Temp");

void logEvent(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
}

QWidget* widgetOf(QObject* o) {
    for (; o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o))
            return w;
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The dialog

TFormFilePreview::TFormFilePreview(QObject* AOwner, const QString& FileExt, bool FromScanner)
    : TVoskBaseForm([&] {
          logEvent(QStringLiteral("TFormFilePreview.Create"));
          return AOwner;
      }(),
                    nullptr) {
    UFileViewer::InstallKeyPreview();
    setObjectName(QStringLiteral("FormFilePreview"));
    setWindowTitle(QStringLiteral("Scanvorschau"));
    SetPosition(Vcl::poMainFormCenter);
    setFont(QFont(QStringLiteral("Microsoft Sans Serif")));
    resize(1026, 595);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* host = new QWidget(this);
    host->setObjectName(QStringLiteral("pnViewer"));
    auto* hostLayout = new QVBoxLayout(host);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    root->addWidget(host, 1);

    PanelOkAbb = Vcl::Owned(this, new QWidget(this), QStringLiteral("PanelOkAbb"));
    auto* panel = new QHBoxLayout(PanelOkAbb);
    BtOk = Vcl::Owned(this, new QPushButton(QStringLiteral("OK"), PanelOkAbb), QStringLiteral("BtOk"));
    BtOk->setFixedWidth(161);
    BtOk->setDefault(true);
    BtOk->setEnabled(false);
    BtOk->setToolTip(QStringLiteral("Die gescannten Seiten speichern"));
    BtAbort = Vcl::Owned(this, new QPushButton(QStringLiteral("Abbrechen"), PanelOkAbb), QStringLiteral("BtAbort"));
    BtAbort->setFixedWidth(152);
    BtAbort->setToolTip(QStringLiteral("Abbrechen"));
    BtRescan = Vcl::Owned(this, new QPushButton(QStringLiteral("Neu scannen"), PanelOkAbb), QStringLiteral("BtRescan"));
    BtRescan->setEnabled(false);
    BtRescan->setToolTip(QStringLiteral("Neu scannen"));
    Label1 = Vcl::Owned(this, new QLabel(QStringLiteral("Dokumentname: "), PanelOkAbb), QStringLiteral("Label1"));
    DokName = Vcl::Owned(this, new QLineEdit(PanelOkAbb), QStringLiteral("DokName"));
    DokName->setFixedWidth(394);
    Label1->setBuddy(DokName);
    DokName->setToolTip(QStringLiteral("Dokumentname"));
    DokName->setAccessibleName(QStringLiteral("Dokumentname"));
    panel->addWidget(BtOk);
    panel->addWidget(BtAbort);
    panel->addSpacing(20);
    panel->addWidget(BtRescan);
    panel->addStretch(1);
    panel->addWidget(Label1);
    panel->addWidget(DokName);
    root->addWidget(PanelOkAbb);
    connect(BtOk, &QPushButton::clicked, this, [this] { BtOkClick(); });
    connect(BtAbort, &QPushButton::clicked, this, [this] { BtAbortClick(); });
    connect(BtRescan, &QPushButton::clicked, this, [this] { BtRescanClick(); });

    OnActivate = [this](QObject* s) { FormActivate(s); };
    OnCloseQuery = [this](QObject* s, bool& c) { FormCloseQuery(s, c); };
    OnClose = [this](QObject* s, Vcl::TCloseAction& a) { FormClose(s, a); };

    // The viewer from the one table by extension; a scan always gets the TIFF viewer.
    const QString ext = UFilePreview::FileExtension(FileExt);
    auto& table = UFilePreview::viewers();
    const bool known = table.contains(ext);
    const UFilePreview::TViewerFactory make = FromScanner || !known ? table.value(QString()) : table.value(ext);
    if (!make)
        throw EVoskException(QStringLiteral("TFormFilePreview.Create: Die Dokumentanzeige ist nicht geladen"));
    FImagePages = make(this, FromScanner);
    hostLayout->addWidget(FImagePages);
    if (!FromScanner && !known)
        Korvexutils::ShowError(QStringLiteral("TFormFilePreview.Create: Dateityp \"") + ext +
                               QStringLiteral("\" ist nicht implementiert"));
    FImagePages->setVisible(true);
    FScanParams.clear();

    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen)
        resize(UFilePreview::DialogSize(screen->geometry().size()));
}

TFormFilePreview::~TFormFilePreview() = default;

QString TFormFilePreview::GetDokName() const { return DokName->text(); }

void TFormFilePreview::SetDokument(TDokument* dokument) {
    if (FDokument)
        disconnect(FDokument, nullptr, this, nullptr);
    FDokument = dokument;
    if (!dokument)
        return;
    connect(dokument, &QObject::destroyed, this, [this] {
        // An editing viewer cannot go on without its document.
        if (FImagePages && FImagePages->AllowSave() && isVisible() && !Vcl::IsDestroying(this))
            close();
    });
}

void TFormFilePreview::FormActivate(QObject* Sender) {
    if (FImagePages)
        FImagePages->FormActivate(Sender);
}

void TFormFilePreview::FormCloseQuery(QObject* Sender, bool& CanClose) {
    if (FImagePages)
        FImagePages->FormCloseQuery(Sender, CanClose);
}

void TFormFilePreview::FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_Escape && FImagePages)
        FImagePages->FormKeyDown(Sender, Key, Shift);
}

void TFormFilePreview::FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key != Qt::Key_Escape)
        return;
    if (FImagePages) {
        FImagePages->FormKeyUp(Sender, Key, Shift);
    } else {
        close();
        Key = 0;
    }
}

void TFormFilePreview::PreviewKeyDown(int& Key, Qt::KeyboardModifiers Shift) { FormKeyDown(this, Key, Shift); }
void TFormFilePreview::PreviewKeyUp(int& Key, Qt::KeyboardModifiers Shift) { FormKeyUp(this, Key, Shift); }

void TFormFilePreview::FormClose(QObject*, Vcl::TCloseAction& Action) { Action = Vcl::caFree; }

void TFormFilePreview::BtOkClick() {
    // Enabled for every preview that edits pages, scanned or not (a page split off).
    if (!BtOk->isEnabled())
        return;
    Rtl::Assert(qobject_cast<TFileViewerFrameTIFF*>(FImagePages) != nullptr,
                QStringLiteral("TFormFilePreview.BtOkClick"));
    if (!TFileViewerFrameTIFF::SavePages.Assigned()) {
        Korvexutils::ShowError(QStringLiteral(
            "Das Speichern gescannter Seiten ist in dieser Installation nicht verfügbar."));
        return;
    }
    TFileViewerFrameTIFF::SavePages(static_cast<TFileViewerFrameTIFF*>(FImagePages.data()));
    close();
}

void TFormFilePreview::BtAbortClick() { close(); }

void TFormFilePreview::BtRescanClick() {
    Rtl::Assert(qobject_cast<TFileViewerFrameTIFF*>(FImagePages) != nullptr,
                QStringLiteral("TFormFilePreview.BtRescanClick"));
    auto* viewer = static_cast<TFileViewerFrameTIFF*>(FImagePages.data());
    if (!TFileViewerFrameTIFF::Rescan.Assigned()) {
        Korvexutils::ShowError(QStringLiteral("Das Scannen ist in dieser Installation nicht verfügbar."));
        return;
    }
    TFileViewerFrameTIFF::Rescan(viewer, viewer->btEditScanDialog->isChecked());
}

void TFormFilePreview::enableButtons() {
    if (auto* tiff = qobject_cast<TFileViewerFrameTIFF*>(FImagePages)) {
        const bool edit = tiff->ribMenuEdit->IsTabVisible();
        BtOk->setEnabled(edit);
        BtRescan->setEnabled(edit && FFromScanner);
    }
}

void TFormFilePreview::BeforeDestruction() {
    Rtl::Guarded([this] { FormDestroy(); }, this);
    TVoskBaseForm::BeforeDestruction();
}

void TFormFilePreview::FormDestroy() {
    logEvent(QStringLiteral("TFormFilePreview.FormDestroy"));
    FScanParams.clear();
    if (FDokument)
        FDokument->NameQuery = nullptr;
    if (FImagePages && FImagePages->Dokument())
        FImagePages->Dokument()->NameQuery = nullptr;
    TDokument* doc = FDokument.data();
    if (!doc)
        return;
    // The lock taken for this dialog goes with it, whoever owns the dialog; a lock the user held
    // before, or one of a check-out, stays.
    if (m_lockTaken && !FWasLocked && doc->isLockedByMe() && doc->GetLockedPath().isEmpty())
        doc->UnlockRevision();
    if (auto* window = dynamic_cast<UModulFormSeams::IFormDokments*>(Vcl::Owner(this))) {
        window->TreeMenuSelect(doc->IdText());
        if (TDokument* own = window->Dokument1(); own && own != doc && own->Active())
            own->Refresh(false, true, 0);
        window->SperrDokuAction(window->Window(), this, UModulFormSeams::atNodeUpdate);
    }
}

// ---------------------------------------------------------------------------------------------
// Show routines

namespace {

// The dialog's owner: the main form for none. A document whose events go to a window must be
// shown by that window, not by the main form.
QObject* dialogOwner(QObject* owner, TDokument* doc, const QString& routine) {
    if (!owner)
        owner = Vcl::Screen::MainForm();
    if (doc && doc->HasEvents() && owner == Vcl::Screen::MainForm())
        throw EVoskException(routine + QStringLiteral(
                                           ": TDokument verfügt über angehängte Events, der Owner "
                                           "muß daher dem Zielfenster entsprechen."));
    return owner;
}

} // namespace

TFormFilePreview* ShowDokument(QObject* _Owner, TDokument* Doku, bool PageAdmin,
                               TFileViewerFrame* ImagePages) {
    _Owner = dialogOwner(_Owner, Doku, QStringLiteral("ShowDokument"));
    if ((!Doku && !ImagePages) ||
        (Doku && (Doku->IsEmpty() || !Doku->isDMSViewDokument()) && !Doku->NewDocumentFlag())) {
        Korvexutils::ShowError(makeText(17432, QStringLiteral("Dokument nicht gefunden")));
        return nullptr;
    }
    bool wasLocked = false;
    bool lockTaken = false;
    if (Doku && !Doku->IsEmpty()) {
        TUserRights::CanDoDMSFileAction(Doku->DokType(), Doku->Id(), 0, true);
        if (Doku->isDMSDokument() && !Doku->isDMSEditDokument())
            PageAdmin = false;
        if (PageAdmin) {
            TUserRights::CanDoDMSFileAction(Doku->DokType(), Doku->Id(), 1, true);
            if (DMSDokuTypes().WriteOnce(Doku->DokType()))
                Korvexutils::RaiseCriticalError(makeText(
                    17951, QStringLiteral("Dokument kann nicht bearbeitet werden (WORM-Schreibschutz)")));
            if (Doku->isLocked(true))
                Korvexutils::RaiseCriticalError(Doku->GetLockedInfo());
            if (!Doku->GetLockedPath().isEmpty())
                Korvexutils::RaiseCriticalError(makeText(
                    31001, QStringLiteral("Dokument kann nicht intern bearbeitet werden, da es bereits "
                                          "zur externen Bearbeitung ausgecheckt ist")));
            wasLocked = Doku->isLockedByMe();
            Doku->LockRevision(QString());
            lockTaken = true;
        }
    }

    TDokument* original = Doku;
    QPointer<TDokument> copy;
    QPointer<TFormFilePreview> dialog;
    try {
        if (Doku && (Doku == TDokument::Instance() || !ImagePages)) {
            copy = new TDokument(nullptr);
            copy->setObjectName(kTempName);
            copy->AssignToDokId(Doku->Id());
            if (Doku->isDMSEditDokument() && PageAdmin && Vcl::Owner(Doku) == _Owner)
                copy->AssignEvents(*Doku);
            Doku = copy;
        }
        TFileViewerFrame* viewer = ImagePages;
        if (!viewer) {
            dialog = new TFormFilePreview(_Owner, Doku ? Doku->FileName() : QString(), PageAdmin);
            if (QWidget* parent = Korvexutils::KorvexGetForm(widgetOf(_Owner)))
                dialog->setParent(parent, dialog->windowFlags());
            dialog->PanelOkAbb->hide();
            dialog->BtOk->hide();
            dialog->BtRescan->hide();
            dialog->setWindowTitle(makeText(3053, QStringLiteral("Dokument")) + QStringLiteral(" : ") +
                                   (Doku ? Doku->Caption() : QString()));
            dialog->FWasLocked = wasLocked;
            dialog->m_lockTaken = lockTaken;
            dialog->setWindowIcon(DMSys()->ImageList()->Icon(4));
            viewer = dialog->FImagePages;
        } else if (auto* host = qobject_cast<TFormFilePreview*>(Vcl::ParentForm(viewer->parentWidget()))) {
            dialog = host;
            if (Vcl::Owner(dialog) != _Owner)
                Vcl::SetOwner(dialog, _Owner);
        }
        viewer->Recreate(Doku, PageAdmin);
        if (Doku == TDokument::Instance())
            logEvent(QStringLiteral("ShowDokument: Operation nicht möglich > globales Dokumentobjekt verwendet!!!"));
        else if (Doku && !Vcl::Owner(Doku))
            Vcl::SetOwner(Doku, viewer);
        if (dialog) {
            dialog->SetDokument(Doku);
            dialog->FDokType = Doku ? Doku->DokType() : QString();
            dialog->FDokIdent = Doku ? Doku->DokIdent() : QString();
            dialog->FFromScanner = false;
            dialog->FScanParams.clear();
            dialog->enableButtons();
            dialog->show();
        }
    } catch (...) {
        delete dialog.data();
        if (copy && !Vcl::Owner(copy) && copy->objectName() == kTempName)
            delete copy.data();
        // Nothing stays locked by a dialog that did not open.
        if (lockTaken && !wasLocked && original)
            Rtl::Guarded([&] { original->UnlockRevision(); });
        throw;
    }
    return dialog;
}

TFormFilePreview* ShowDokument(QObject* _Owner, int DokID, bool PageAdmin) {
    QPointer<TDokument> doc = new TDokument(nullptr);
    const auto cleanup = qScopeGuard([&] {
        if (doc && !Vcl::Owner(doc))
            delete doc.data();
    });
    doc->AssignToDokId(DokID);
    return ShowDokument(_Owner, doc, PageAdmin, nullptr);
}

TFormFilePreview* ShowPreview(QObject* _Owner, TDokument* Doku, const QImage* Image,
                              const QStringList* _ScanParams, const QString& _DokType,
                              const QString& _DokIdent, const QString& _CreateFileEx,
                              bool _FromScanner, bool ScannerSetup, const TDokumentEvent& OnDokEvent,
                              const QString& DMSSource) {
    _Owner = dialogOwner(_Owner, Doku, QStringLiteral("ShowPreview"));
    THourGlass hourglass;
    QPointer<TDokument> copy;
    if (Doku && Doku == TDokument::Instance()) {
        copy = new TDokument(nullptr);
        copy->setObjectName(kTempName);
        copy->AssignToDokId(Doku->Id());
        copy->AssignEvents(*Doku);
        Doku = copy;
    }
    const auto freeCopy = qScopeGuard([&] {
        if (copy && !Vcl::Owner(copy) && copy->objectName() == kTempName)
            delete copy.data();
    });
    QString ext = _CreateFileEx;
    if (ext.isEmpty() && Doku)
        ext = UFilePreview::FileExtension(Doku->FileName());
    QPointer<TFormFilePreview> dialog =
        new TFormFilePreview(_Owner, ext.isEmpty() ? QStringLiteral(".tiff") : ext, _FromScanner);
    try {
        QWidget* ownerWidget = widgetOf(_Owner);
        QWidget* parent = Vcl::InheritsFromName(ownerWidget, QStringLiteral("TFormKorvexGundForm"))
                              ? Korvexutils::KorvexGetForm(ownerWidget)
                              : Vcl::Screen::MainForm();
        if (parent)
            dialog->setParent(parent, dialog->windowFlags());
        dialog->SetDokument(Doku);
        dialog->FDokType = _DokType;
        dialog->FDokIdent = _DokIdent;
        dialog->FFromScanner = _FromScanner;
        dialog->FScanParams = _ScanParams ? *_ScanParams : QStringList();
        dialog->BtRescan->setVisible(_FromScanner);
        const auto param = [&](const QString& name) { return Rtl::ValueOf(dialog->FScanParams, name); };
        const QString caption = param(QStringLiteral("Caption"));
        dialog->DokName->setText(!caption.isEmpty()
                                     ? caption
                                     : QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) +
                                           u'_' + (DM1() ? DM1()->LoginName() : QString()));
        const QString formCaption = param(QStringLiteral("FormCaption"));
        if (!formCaption.isEmpty())
            dialog->setWindowTitle(formCaption);
        if (Doku) {
            Doku->SetNewDocumentFlag(true);
            Doku->NameQuery = [d = QPointer<TFormFilePreview>(dialog)] { return d ? d->GetDokName() : QString(); };
            if (!dialog->FDokType.isEmpty()) {
                Doku->InsertData().DokType = dialog->FDokType;
                Doku->InsertData().DokIdent = dialog->FDokIdent;
            }
            Doku->InsertData().ParentNodeIdent = param(QStringLiteral("parentnodeident"));
        }
        TFileViewerFrame* viewer = dialog->FImagePages;
        viewer->Recreate(Doku, true);
        viewer->FOnDokumentEvent = OnDokEvent;
        if (OnDokEvent)
            OnDokEvent(viewer, Doku, demPreview, {});
        if (!Doku || Doku == TDokument::Instance())
            logEvent(QStringLiteral("ShowDokument: globales Dokumentobjekt verwendet!!!"));
        else if (!Vcl::Owner(Doku))
            Vcl::SetOwner(Doku, viewer);
        if (auto* tiff = qobject_cast<TFileViewerFrameTIFF*>(viewer)) {
            if (ScannerSetup && TFileViewerFrameTIFF::ChooseScanSource.Assigned())
                TFileViewerFrameTIFF::ChooseScanSource(tiff);
            if (Image && !Image->isNull())
                tiff->DoPageAdd(*Image, DMSSource, QStringLiteral("ShowPreview.Image"));
            dialog->enableButtons();
        }
    } catch (...) {
        delete dialog.data();
        throw;
    }
    dialog->show();
    return dialog;
}

void ShowOrScanDokument(QObject* _Owner, TVoskClass* DokumentClass, const QString& DokuType) {
    if (!DokumentClass || !DokumentClass->EnabledFlag() || !DokumentClass->FGetActive() ||
        DokumentClass->IsEmpty())
        return;
    const QString table = DokumentClass->GetSqlTableName();
    const QString recId = DokumentClass->FieldIndex(QStringLiteral("dbrid")) >= 0
                              ? DokumentClass->FieldByName(QStringLiteral("dbrid")).AsString()
                              : QString();
    auto doc = std::make_unique<TDokument>(nullptr);
    doc->AssignToRecNo(table, recId, DokumentClass, DokuType, false, true);
    if (!doc->IsEmpty()) {
        doc->OpenDokument(_Owner, true);
        return;
    }
    if (Korvexutils::RaiseQuestionYes(makeText(6303, QStringLiteral("*"))))
        DMSys()->DMSLoad(_Owner, 0, DokuType, QString(), table, recId, QString(), 0, 0, 0, {}, {});
}

QObject* _ShowDokument(QObject* _Owner, TDokument* Doku, bool PageAdmin) {
    return ShowDokument(_Owner, Doku, PageAdmin, nullptr);
}

namespace {
void InitUnit() {
    TDokument::_ShowDokument.Set(&_ShowDokument);
    // The document preview shows RTF files as the memo editor reads them.
    TVoskDocumentViewer::ReadRtf.Set(
        [](const QByteArray& rtf, QTextDocument* document) { Rtf::Read(rtf, document); });
}
void FiniUnit() {
    TDokument::_ShowDokument.Reset();
    TVoskDocumentViewer::ReadRtf.Reset();
}
} // namespace

KORVEX_UNIT("hadrel", "UFilePreview", InitUnit, FiniUnit);
