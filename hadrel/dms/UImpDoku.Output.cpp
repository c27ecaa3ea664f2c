#include "UImpDoku.Output.h"

#include "DMSys.h"
#include "Korvexutils.h"
#include "TDMSELO.h"
#include "TUserRights.h"
#include "TVoskRibbon.h"
#include "UDM1.h"
#include "UEMailSenden.Text.h"
#include "UEMailSenden.h"
#include "UFileImportMode.h"
#include "UImpDoku.h"
#include "UModulForm.Start.h"
#include "UShutdownFiles.h"
#include "Ukorvexclasses.Dokument.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptionHelper.h"
#include "VoskExceptions.h"
#include "VoskGridValues.h"
#include "VoskPrinters.h"
#include "VoskQuery2.h"
#include "VoskTransaction.h"

#include <EventGuard.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

namespace UImpDoku {

QString DragOutFileName(const QString& caption, const QString& storedFileName) {
    // A slash belongs to the caption ("Rechnung 1/2024"): replaced like every character no file
    // name may hold, never a folder to cut at.
    static const QRegularExpression invalid(QStringLiteral("[<>:\"/\\\\|?*\\x00-\\x1f\\x7f]"));
    QString name = caption.trimmed().replace(invalid, QStringLiteral("_"));
    // Nothing that hides the file or names a folder: "..", ".profile".
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("_");
    else if (name.startsWith(u'.'))
        name[0] = u'_';
    // The type is the stored file's, whatever points the caption holds ("Angebot Fa.Schmidt").
    const QString suffix = QFileInfo(storedFileName).suffix();
    if (!suffix.isEmpty() && !name.endsWith(u'.' + suffix, Qt::CaseInsensitive))
        name += u'.' + suffix;
    return FitFileName(name);
}

void TogglePreviewDocument(TDokument& doc, const QString& table, const QString& recId) {
    if (doc.TableName().compare(table, Qt::CaseInsensitive) != 0 || doc.RecordId() != recId)
        Korvexutils::RaiseCriticalError(
            makeText(31264, QStringLiteral("Verknüpfte Dokumente können nicht als "
                                           "Vorschaudokument gesetzt werden. (nur wenn selbe "
                                           "table+dbrid)")));
    if (TDM1* dm = DM1())
        dm->LogEvent(QStringLiteral("TableName=") + table + QStringLiteral(" RecId=") + recId +
                     QStringLiteral(" pd_id=") + doc.IdText() + QStringLiteral(" print=") +
                     (doc.IsStandard() ? QStringLiteral("True") : QStringLiteral("False")));
    // The record keeps its earlier preview document unless the new one is stored too.
    TVoskTransaction transaction(doc.Database());
    TVoskQuery2 clear(&doc.Database(),
                      QStringLiteral("UPDATE picndoku SET pd_print=FALSE WHERE "
                                     "pd_tablename=:table AND pd_dbrid=:dbrid AND pd_print AND "
                                     "pd_id <> :id"));
    clear.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("dbrid"), recId.toLongLong())
        .Bind(QStringLiteral("id"), doc.Id())
        .ExecSQL();
    try {
        doc.Edit();
        doc.FieldByName(QLatin1String(TDokument::fnStandard)).SetAsBoolean(!doc.IsStandard());
        doc.Post(false);
    } catch (...) {
        if (doc.InEdit())
            doc.Cancel();
        throw;
    }
    transaction.Commit();
}

bool StoreReportPrinters(TDokument& doc, const QStringList& printers) {
    const QString value = printers.join(u'*');
    if (value == doc.ReportPrinters())
        return false;
    TVoskQuery2 q(&doc.Database(),
                  QStringLiteral("SELECT TSystem.CreateKeyword(:rkategorie, :rtablename, :rdescr, "
                                 ":rdbrid, :rvalue, :pname)"));
    q.Bind(QStringLiteral("rkategorie"), QStringLiteral("internal system usage"))
        .Bind(QStringLiteral("rtablename"), QStringLiteral("picndoku"))
        .Bind(QStringLiteral("rdescr"), QStringLiteral("PrinterForReporting"))
        .Bind(QStringLiteral("rdbrid"), doc.FieldByName(QStringLiteral("dbrid")).AsLargeInt())
        .Bind(QStringLiteral("rvalue"), value)
        .Bind(QStringLiteral("pname"), QStringLiteral("System.Printing"))
        .Open();
    doc.Refresh();
    return true;
}

void DMSDoExport(TDokument& doc, QWidget* parent) {
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Datei speichern unter");
    request.folder = CurrentSession_UConstants().ExportDir();
    request.fileName = DragOutFileName(doc.Caption(), doc.FileName());
    const QString suffix = QFileInfo(request.fileName).suffix();
    request.filter = suffix.isEmpty()
                         ? QStringLiteral("Alle Dateien|*.*")
                         : QStringLiteral("%1-Datei|*.%2|Alle Dateien|*.*").arg(suffix.toUpper(), suffix);
    request.defaultSuffix = suffix;
    request.parent = parent;
    const QString target = Vcl::FileDialogs::Instance().SaveFile(request);
    if (!target.isEmpty())
        doc.DMSGetFile(target, true, true);
}

} // namespace UImpDoku

// ---- the document window's output actions -------------------------------------------------------

Rtl::HookSlot<Qt::DropAction(QDrag*)> TFormDokments::ExecuteFileDragProc;

namespace {

const QString kDragHint = QStringLiteral(
    "Bitte ziehen Sie diesen Button, oder das gleiche Symbol (Spalte) in der Tabelle, um das "
    "Dokument in eine andere Anwendung via Drag/Drop zu ziehen.");

// Starts the drag from the tree's drag column once the mouse has moved far enough with the
// button down, as a drag source does.
class TreeDragStarter final : public QObject {
public:
    explicit TreeDragStarter(TFormDokments* form) : QObject(form), m_form(form) {}

    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(e);
            const QModelIndex index = m_form->TreeDocuments->indexAt(me->position().toPoint());
            m_armed = me->button() == Qt::LeftButton && index.isValid() &&
                      index.column() == TDokuTreeModel::colDragSource &&
                      m_form->TreeModel->NodeOf(index) &&
                      m_form->TreeModel->NodeOf(index)->Kind == DokState::nkDocument;
            m_pressed = me->position().toPoint();
            m_node = m_armed ? m_form->TreeModel->NodeOf(index)->Id : QString();
        } else if (e->type() == QEvent::MouseButtonRelease) {
            m_armed = false;
        } else if (e->type() == QEvent::MouseMove && m_armed) {
            auto* me = static_cast<QMouseEvent*>(e);
            if ((me->position().toPoint() - m_pressed).manhattanLength() >=
                QApplication::startDragDistance()) {
                m_armed = false;
                const QString node = m_node;
                Rtl::Guarded(
                    [this, node] {
                        m_form->TreeMenuSelect(node);
                        m_form->CheckDokument1Assignment();
                        m_form->Dokument1()->Refresh();
                        m_form->StartFileDrag();
                    },
                    m_form);
                return true;
            }
        }
        return false;
    }

private:
    TFormDokments* m_form;
    bool m_armed = false;
    QPoint m_pressed;
    QString m_node;
};

// The tool button starts the drag as soon as it is pressed.
class ButtonDragStarter final : public QObject {
public:
    explicit ButtonDragStarter(TFormDokments* form) : QObject(form), m_form(form) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress ||
            static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton)
            return false;
        Rtl::Guarded([this] { m_form->btDragDropMouseDown(); }, m_form);
        return true;
    }

private:
    TFormDokments* m_form;
};

} // namespace

void TFormDokments::buildOutput() {
    auto retitle = [](QAction* a, int textNr, const QString& caption, int image = -1) {
        a->setText(textNr ? makeText(textNr, caption) : caption);
        // A button's caption would lose the "..." of "speichern unter ...".
        a->setIconText(a->text());
        a->setToolTip(a->text());
        if (image >= 0)
            a->setIcon(DMSys()->ImageList()->Icon(image));
    };
    retitle(acDocumentViewIntern, 31268, QStringLiteral("Dokument intern anzeigen"));
    retitle(acDocumentViewExtern, 31074, QStringLiteral("Dokument extern anzeigen"));
    retitle(acDocumentViewElo, 26307, QStringLiteral("im ELO Client öffnen"));
    retitle(acDocumentExportFileSaveAs, 25193, QStringLiteral("Datei (speichern unter ...)"));
    retitle(acDocumentExportPrint, 395, QStringLiteral("Drucken"), 5);
    retitle(acDocumentExportMail, 10251, QStringLiteral("E-Mail versenden"));
    retitle(acDocumentPreviewIs, 25191, QStringLiteral("Vorschaudokument"));
    for (QAction* a : {acDocumentViewElo, acDocumentExportFileSaveAs, acDocumentExportMail,
                       acDocumentPreviewIs})
        if (a->icon().isNull())
            a->setIcon(QIcon::fromTheme(a == acDocumentExportMail ? QStringLiteral("mail-send")
                                        : a == acDocumentExportFileSaveAs
                                            ? QStringLiteral("document-save-as")
                                        : a == acDocumentPreviewIs ? QStringLiteral("emblem-favorite")
                                                                   : QStringLiteral("document-open-remote")));
    // The text number names another text in the table; the caption is this action's own.
    acDocumentSetReportPrinter = makeAction(QStringLiteral("acDocumentSetReportPrinter"), 0,
                                            QStringLiteral("Standard-Drucker festlegen"),
                                            QStringLiteral("printer"));
    acDocFromScannerWithoutBarcodesMultiPage =
        makeAction(QStringLiteral("acDocFromScannerWithoutBarcodesMultiPage"), 17654,
                   QStringLiteral("Scanner : ein Dokument (ein- oder mehrseitig)"));
    acDocFromScannerWithoutBarcodesMultiPage->setIcon(DMSys()->ImageList()->Icon(233));
    acScanDialogOpen = makeAction(QStringLiteral("acScanDialogOpen"), 17655,
                                  QStringLiteral("Scanner : Manuell (Setup oder Bild-Datei laden)"));
    acScanDialogOpen->setIcon(DMSys()->ImageList()->Icon(305));
    acDocFromWebCam = makeAction(QStringLiteral("acDocFromWebCam"), 25185,
                                 QStringLiteral("Erweiterter Scan (WebCam)"),
                                 QStringLiteral("camera-web"));
    rbDragDrop = makeAction(QStringLiteral("rbDragDrop"), 0, QStringLiteral("Drag && Drop"),
                            QStringLiteral("transform-move"));
    rbDragDrop->setToolTip(kDragHint);
    miPrint = Vcl::Owned(this, new QObject(this), QStringLiteral("miPrint"));
    miSetReportPrinter = Vcl::Owned(this, new QObject(this), QStringLiteral("miSetReportPrinter"));

    BarFileActions->AddButton(acDocFromScannerWithoutBarcodesMultiPage);
    BarFileActionsSmall->AddButton(acScanDialogOpen, TVoskRibbonGroup::Small);
    BarFileActionsSmall->AddButton(acDocFromWebCam, TVoskRibbonGroup::Small);
    barDocumentView->AddButton(acDocumentViewElo, TVoskRibbonGroup::Small);
    barDocumentExport->AddButton(acDocumentExportPrint);
    barDocumentExport->AddButton(acDocumentExportMail, TVoskRibbonGroup::Small);
    barDocumentExport->AddButton(acDocumentExportFileSaveAs, TVoskRibbonGroup::Small);
    barDocumentExport->AddButton(acDocumentPreviewIs, TVoskRibbonGroup::Small);
    barDocumentExport->AddButton(acDocumentSetReportPrinter, TVoskRibbonGroup::Small);
    barDocumentExport->AddButton(rbDragDrop, TVoskRibbonGroup::Small);
    // The drag handle: pressed, it drags the document out as a file.
    btDragDrop = Vcl::Owned(this, new QToolButton(this), QStringLiteral("btDragDrop"));
    btDragDrop->setIcon(DMSys()->ImageList()->Icon(3));
    btDragDrop->setAutoRaise(true);
    // An icon alone says nothing about what the button is for.
    btDragDrop->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btDragDrop->setText(QStringLiteral("Dokument hinausziehen"));
    btDragDrop->setAccessibleName(QStringLiteral("Dokument hinausziehen"));
    btDragDrop->setToolTip(kDragHint);
    btDragDrop->installEventFilter(new ButtonDragStarter(this));
    barDocumentExport->AddWidget(btDragDrop);
    TreeDocuments->viewport()->installEventFilter(new TreeDragStarter(this));

    auto on = [this](QAction* a, void (TFormDokments::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { Rtl::Guarded([this, handler] { (this->*handler)(); }, this); });
    };
    on(acDocumentViewElo, &TFormDokments::acDocumentViewEloExecute);
    on(acDocumentExportFileSaveAs, &TFormDokments::acDocumentExportFileSaveAsExecute);
    on(acDocumentExportPrint, &TFormDokments::acDocumentExportPrintExecute);
    on(acDocumentExportMail, &TFormDokments::acDocumentExportMailExecute);
    on(acDocumentPreviewIs, &TFormDokments::acDocumentPreviewIsExecute);
    on(acDocumentSetReportPrinter, &TFormDokments::acDocumentSetReportPrinterExecute);
    on(rbDragDrop, &TFormDokments::rbDragDropClick);
    for (QAction* a : {acDocFromScannerWithoutBarcodesMultiPage, acScanDialogOpen, acDocFromWebCam})
        connect(a, &QAction::triggered, this,
                [this, a] { Rtl::Guarded([this, a] { acScanPageExecute(a); }, this); });
}

void TFormDokments::acDocumentViewEloExecute() {
    CheckDokument1Assignment();
    TDMSELO::DoExecuteELO(this, Dokument1()->EloRef());
}

namespace {
// Output works on stored documents, not on folders of the user's own.
bool IsDocumentNode(const TDokuTreeNode* node) {
    return node && node->Kind == DokState::nkDocument;
}
} // namespace

void TFormDokments::acDocumentExportFileSaveAsExecute() {
    if (!IsDocumentNode(FocusedNode()))
        return;
    CheckDokument1Assignment();
    TUserRights::CanDoDMSFileAction(Dokument1()->DokType(), Dokument1()->Id(), 6, true);
    UImpDoku::DMSDoExport(*Dokument1(), this);
}

void TFormDokments::acDocumentExportPrintExecute() {
    if (!IsDocumentNode(FocusedNode()))
        return;
    THourGlass hourglass;
    CheckDokument1Assignment();
    TUserRights::CanDoDMSFileAction(Dokument1()->DokType(), Dokument1()->Id(), 5, true);
    bool printed = false;
    // A printer that fails leaves the others; the lookup is the fall-back.
    auto printOn = [this, &printed](const QString& printer) {
        try {
            Dokument1()->Print(printer, winId());
            printed = true;
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            TVoskExceptionHelper::InsertStackInfo(
                std::current_exception(), QStringLiteral("TFormDokments.acDocumentExportPrintExecute"));
        }
    };
    const QStringList reportPrinters = Dokument1()->GetPrintersForReporting();
    for (const QString& printer : reportPrinters)
        printOn(printer);
    if (printed)
        return;
    Corvale::Printers& printers = Corvale::Printers::Instance();
    const TF2Result choice = MakeF2(
        this, miPrint, true, false, QString(),
        {QStringLiteral("printers=") + printers.PrinterNames().join(QStringLiteral("¶")),
         QStringLiteral("current=") + printers.DefaultPrinter()},
        QString());
    const QString printer = choice.Value;
    if (printer.isEmpty())
        return;
    if (reportPrinters.isEmpty())
        printOn(printer);
    if (!printed)
        printers.PrintFile(Dokument1()->DMSGetFile(), printer);
}

void TFormDokments::acDocumentExportMailExecute() {
    CheckDokument1Assignment();
    TUserRights::CanDoDMSFileAction(Dokument1()->DokType(), Dokument1()->Id(), 6, true);
    const QString subject =
        (Dokument1()->Caption() + u' ' + Dokument1()->DokTypeDescr()).trimmed();
    // A folder of its own per mail: a compose window still open on an earlier mail keeps
    // pointing at that mail's file, whatever the caption of the next one.
    const QString folder =
        QDir(CurrentSession_UConstants().ExportDir())
            .filePath(QStringLiteral("mail_") + UEMailSenden::ContentIdgenerate());
    if (!QDir().mkpath(folder))
        throw EVoskException(
            QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden.").arg(folder));
    DeleteFileOnShutdown(folder);
    const QString file =
        Dokument1()->DMSGetFile(QDir(folder).filePath(UImpDoku::DragOutFileName(
                                    Dokument1()->Caption(), Dokument1()->FileName())),
                                true, true);
    TVoskSendMail::Execute(QString(), subject, QString(), {file}, {});
}

void TFormDokments::acDocumentPreviewIsExecute() {
    CheckDokument1Assignment();
    UImpDoku::TogglePreviewDocument(*Dokument1(), _TableName, _RecId);
    CheckNodeAndUpdate();
}

void TFormDokments::acDocumentSetReportPrinterExecute() {
    CheckDokument1Assignment();
    QStringList chosen;
    bool accepted = false;
    // The selected rows are read while the lookup still has them, when it takes its choice.
    auto take = std::make_shared<const TMakeF2Callback>([&](TKorvexF2Form* form) {
        accepted = true;
        if (const auto* grid = dynamic_cast<const IVoskSelectedRecordValues*>(form->F2Result.F2Grid.data()))
            chosen = grid->GetSelectedRecordValuesStr(QStringLiteral("printer"), 0);
    });
    MakeF2(this, miSetReportPrinter, true, true, QString(),
                       {QStringLiteral("printers=") +
                            Corvale::Printers::Instance().PrinterNames().join(QStringLiteral("¶")),
                        QStringLiteral("current=") + Dokument1()->ReportPrinters()},
                       QString(), take);
    if (!accepted)
        return;
    if (UImpDoku::StoreReportPrinters(*Dokument1(), chosen))
        CheckNodeAndUpdate();
}

void TFormDokments::acScanPageExecute(QAction* sender) {
    const QList<QAction*> actions{acDocFromScannerWithoutBarcodesMultiPage, acDocFromFile,
                                  acDocFromWebCam};
    QList<bool> enabled;
    for (QAction* a : actions) {
        enabled << a->isEnabled();
        a->setEnabled(false);
    }
    // Each comes back as it was, also after a failure (the file import may not be there).
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < actions.size(); ++i)
            actions[i]->setEnabled(enabled[i]);
    });
    const QStringList params{QStringLiteral("ScanPath=Scanner"),
                             QStringLiteral("ScanSource=") +
                                 (sender == acDocFromWebCam ? QStringLiteral("manuell") : QString())};
    TDokument doc;
    doc.AssignToDokId(0, _TableName, _RecId);
    doc.AssignEvents(*Dokument1());
    // New documents land in the focused folder, with its type and the window's ident.
    TDokuTreeNode* node = FocusedNode();
    const QString folder = node && !node->IsDocument() ? node->Id : QString();
    doc.SetInsertData({true, QString(), folder.isEmpty() ? QString() : DMSDokuTypes().FindByParentNode(folder),
                       _AlternateDokIdent, folder, QStringLiteral("image")});
    DMSys()->Scan(this, sender == nullptr, 0, 0, 0, 0, params, &doc);
}

void TFormDokments::btDragDropMouseDown() {
    if (!IsDocumentNode(FocusedNode()))
        return;
    StartFileDrag();
}

void TFormDokments::StartFileDrag() {
    // The window does not import its own file while the drag runs.
    m_treeAcceptedDrops = TreeDocuments->acceptDrops();
    TreeDocuments->setAcceptDrops(false);
    TreeDocuments->viewport()->setAcceptDrops(false);
    Qt::DropAction result = Qt::IgnoreAction;
    const auto end = qScopeGuard([&] {
        if (result == Qt::IgnoreAction)
            VoskDragSource1CancelDrop();
        else
            VoskDragSource1AfterDrop();
    });
    CheckDokument1Assignment();
    const QString folder = CurrentSession_UConstants().TempDir() + QStringLiteral("Drag&Drop");
    QDir().mkpath(folder);
    const QString target = Dokument1()->DMSGetFile(
        QDir(folder).filePath(UImpDoku::DragOutFileName(Dokument1()->Caption(), Dokument1()->FileName())),
        true, true);
    auto* drag = new QDrag(btDragDrop);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(target)});
    drag->setMimeData(data);
    drag->setPixmap(DMSys()->ImageList()->Icon(3).pixmap(32, 32));
    result = ExecuteFileDragProc.Assigned() ? ExecuteFileDragProc(drag)
                                            : drag->exec(Qt::CopyAction, Qt::CopyAction);
    drag->deleteLater();
}

void TFormDokments::VoskDragSource1AfterDrop() {
    TreeDocuments->setAcceptDrops(m_treeAcceptedDrops);
    TreeDocuments->viewport()->setAcceptDrops(m_treeAcceptedDrops);
}

void TFormDokments::VoskDragSource1CancelDrop() {
    VoskDragSource1AfterDrop();
}

void TFormDokments::rbDragDropClick() {
    Korvexutils::RaiseInformation(kDragHint);
    QCursor::setPos(btDragDrop->mapToGlobal(QPoint(0, 0)));
}
