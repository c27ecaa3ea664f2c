// The document window: revisions, rename and delete, the record's own folders, the initial
// folder, document types, report links, the tree's pop-up menu and dragging tree nodes within a
// window or between windows.

#include "UImpDoku.h"

#include "Korvexutils.Dialogs.h"
#include "Korvexutils.h"
#include "TUserRights.h"
#include "UDokuPopupMenu.h"
#include "TVoskBalloonHint.h"
#include "TVoskCheckColumn.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBNavigator.h"
#include "TVoskRibbon.h"
#include "TopLabel.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "UEMailSenden.Text.h"
#include "UModulForm.Start.h"
#include "Uloghelper.h"
#include "Ukorvexclasses.Dokument.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"
#include "VoskGridValues.h"
#include "VoskQuery2.h"

#include <EventGuard.h>

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

using namespace DokState;

namespace {

QString tx(int nr, const QString& def) { return makeText(nr, def); }

// The name a rename or a new folder gets; empty when the user cancels or leaves it blank.
QString AskName(QWidget* parent, QVariant value) {
    QString descr;
    if (!Korvexutils::RaiseInputQuestion.Assigned() ||
        !Korvexutils::RaiseInputQuestion(QStringLiteral("KORVEX ERP"),
                                         tx(6311, QStringLiteral("Bitte Bezeichnung eingeben")),
                                         value, descr, 0, false, parent, QString(), QString()))
        return QString();
    return value.toString().trimmed();
}

void exec(const QString& sql, const QVariantMap& params) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank"));
    TVoskQuery2 q(&dm->Database(), sql);
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.Bind(it.key(), it.value());
    q.ExecSQL();
}

// Edits the current document with change, posts it, and cancels it again when that fails.
template <class F> void editAndPost(TDokument& doc, F&& change) {
    doc.Edit();
    try {
        change();
        doc.Post(false);
    } catch (...) {
        if (doc.InEdit())
            doc.Cancel();
        throw;
    }
}

void setField(TDokument& doc, const char* field, const QVariant& value) {
    doc.FieldByName(QString::fromLatin1(field)).SetValue(value);
}

// Starts dragging a tree node once the pointer moved far enough with the button held, outside
// the column that drags the document out as a file.
class NodeDragStarter final : public QObject {
public:
    explicit NodeDragStarter(TFormDokments* form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(e);
            const QModelIndex index = m_form->TreeDocuments->indexAt(me->position().toPoint());
            m_armed = me->button() == Qt::LeftButton && index.isValid() &&
                      index.column() != TDokuTreeModel::colDragSource;
            m_press = me->position().toPoint();
        } else if (e->type() == QEvent::MouseButtonRelease) {
            m_armed = false;
        } else if (e->type() == QEvent::MouseMove && m_armed) {
            auto* me = static_cast<QMouseEvent*>(e);
            if ((me->position().toPoint() - m_press).manhattanLength() >=
                QApplication::startDragDistance()) {
                m_armed = false;
                TDokuTreeNode* node =
                    m_form->TreeModel->NodeOf(m_form->TreeDocuments->indexAt(m_press));
                if (node && UImpDoku::NodeDraggable(node->Kind)) {
                    auto* drag = new QDrag(m_form->TreeDocuments);
                    drag->setMimeData(m_form->NodeMimeData(node));
                    if (TFormDokments::ExecuteNodeDragProc.Assigned())
                        TFormDokments::ExecuteNodeDragProc(drag);
                    else
                        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
                    drag->deleteLater();
                    return true;
                }
            }
        }
        return false;
    }

private:
    TFormDokments* m_form;
    QPoint m_press;
    bool m_armed = false;
};

} // namespace

Rtl::HookSlot<Qt::DropAction(QDrag* drag)> TFormDokments::ExecuteNodeDragProc;

void TFormDokments::buildFolders() {
    const auto retitle = [](QAction* a, int nr, const QString& caption) {
        a->setText(tx(nr, caption));
        a->setIconText(a->text());
        a->setToolTip(a->text());
    };
    retitle(acDocEditRevisionImport, 10432, QStringLiteral("Neue Revision"));
    retitle(acDocEditRename, 17246, QStringLiteral("Umbenennen"));
    // Its text number names another text in this system's table; the caption is its own.
    retitle(acDocEditDeleteDoc, 0, QStringLiteral("Löschen"));
    acDocEditRevisionImport->setIcon(QIcon::fromTheme(QStringLiteral("document-new")));
    acDocEditRename->setIcon(QIcon::fromTheme(QStringLiteral("edit-rename")));
    acDocEditDeleteDoc->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete")));
    acFolderNew->setIcon(QIcon::fromTheme(QStringLiteral("folder-new")));
    acFolderInitial->setIcon(QIcon::fromTheme(QStringLiteral("go-home")));
    miRevisionArchive = Vcl::Owned(this, new QAction(tx(2370, QStringLiteral("Archivierung")), this),
                                   QStringLiteral("miRevisionArchive"));
    miRevisionArchive->setCheckable(true);
    miRevisionSpecifyValid =
        Vcl::Owned(this, new QAction(tx(17920, QStringLiteral("Gültige Revision festlegen")), this),
                   QStringLiteral("miRevisionSpecifyValid"));
    miDokuType->setShortcut(QKeySequence(Qt::Key_F2));
    miDokuType->setShortcutContext(Qt::WidgetShortcut);

    BarDocuTree->AddButton(acFolderNew, TVoskRibbonGroup::Small);
    BarDocuTree->AddButton(acFolderInitial, TVoskRibbonGroup::Small);
    barDocumentEdit->AddButton(acDocEditRevisionImport);
    barDocumentEdit->AddButton(acDocEditRename, TVoskRibbonGroup::Small);
    barDocumentEdit->AddButton(acDocEditDeleteDoc, TVoskRibbonGroup::Small);
    barDocumentEdit->AddButton(acDocEditImportlinkedFile, TVoskRibbonGroup::Small);

    // The pop-up menu: importing at the top for folders, further down for documents.
    auto* importMenu = new QMenu(tx(17970, QStringLiteral("Dokument importieren")), this);
    importMenu->setObjectName(QStringLiteral("pmImport"));
    importMenu->addAction(acDocFromFile);
    miNewGroup = importMenu->menuAction();
    miNewGroup->setObjectName(QStringLiteral("miNewGroup"));
    miNewGroup->setText(QStringLiteral("Dokument importieren"));
    pmTreeDocuments->insertAction(miView, miNewGroup);
    pmTreeDocuments->addSeparator();
    auto* importOnDok = new QMenu(QStringLiteral("Dokument importieren"), this);
    importOnDok->setObjectName(QStringLiteral("pmImportOnDok"));
    miNewGroupOnDok = importOnDok->menuAction();
    miNewGroupOnDok->setObjectName(QStringLiteral("miNewGroupOnDok"));
    pmTreeDocuments->addAction(miNewGroupOnDok);
    miRevisionImport = pmTreeDocuments->addAction(
        tx(17934, QStringLiteral("Neue Dokument-Revision importieren")));
    miRevisionImport->setObjectName(QStringLiteral("miRevisionImport"));
    connect(miRevisionImport, &QAction::triggered, acDocEditRevisionImport, &QAction::trigger);
    pmTreeDocuments->addAction(miRevisionArchive);
    pmTreeDocuments->addAction(miRevisionSpecifyValid);
    pmTreeDocuments->addAction(miDokuType);
    auto* exportMenu = new QMenu(QStringLiteral("Ausgabe"), this);
    exportMenu->setObjectName(QStringLiteral("pmExport"));
    exportMenu->addActions({acDocumentExportPrint, acDocumentExportMail, acDocumentExportFileSaveAs});
    miExportGroup = exportMenu->menuAction();
    miExportGroup->setObjectName(QStringLiteral("miExportGroup"));
    pmTreeDocuments->addAction(miExportGroup);
    // The preview option as a menu item of its own: its mark is the standard document's image.
    miPreview = pmTreeDocuments->addAction(acDocumentPreviewIs->text());
    miPreview->setObjectName(QStringLiteral("miPreview"));
    connect(miPreview, &QAction::triggered, acDocumentPreviewIs, &QAction::trigger);
    pmTreeDocuments->addSeparator();
    pmTreeDocuments->addAction(acFolderNew);
    pmTreeDocuments->addAction(acDocEditRename);
    miDelete = pmTreeDocuments->addAction(acDocEditDeleteDoc->text());
    miDelete->setObjectName(QStringLiteral("miDelete"));
    connect(miDelete, &QAction::triggered, acDocEditDeleteDoc, &QAction::trigger);
    for (QAction* a : pmTreeDocuments->actions())
        if (a->toolTip().isEmpty())
            a->setToolTip(a->text());

    auto on = [this](QAction* a, void (TFormDokments::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { Rtl::Guarded([this, handler] { (this->*handler)(); }, this); });
    };
    for (QObject* sender : std::initializer_list<QObject*>{acDocEditRevisionImport,
                                                          miRevisionArchive, miRevisionSpecifyValid})
        connect(static_cast<QAction*>(sender), &QAction::triggered, this, [this, sender] {
            Rtl::Guarded([this, sender] { acDocEditRevisionArchiveExecute(sender); }, this);
        });
    on(acDocEditRename, &TFormDokments::acDocEditRenameExecute);
    on(acDocEditDeleteDoc, &TFormDokments::acDocEditDeleteDocExecute);
    on(acFolderNew, &TFormDokments::acFolderNewExecute);
    on(acFolderInitial, &TFormDokments::acFolderInitialExecute);
    on(miDokuType, &TFormDokments::miDokuTypeClick);

    // The report links' check boxes store at once.
    for (const char* field : {"dir_aktiv", "dok_aktiv"}) {
        auto* check = new TVoskCheckColumn(gridDokuLinks);
        const QString name = QString::fromLatin1(field);
        check->OnToggle = [this, name](int row, bool checked) {
            const int idCol = gridDokuLinks->columnByFieldName(QStringLiteral("rad_id"));
            const int radId = gridDokuLinks->model()->index(row, idCol).data(Qt::EditRole).toInt();
            gridDokuLinksAktivChanged(name, radId, checked);
        };
        m_linkChecks.insert(name, check);
    }
    // Only administrators link reports to folders; the others learn why the box is locked.
    m_linkChecks.value(QStringLiteral("dir_aktiv"))->CellHint = [this](int) {
        return NodeIsFolder(FocusedNode()) && !TSperrDokuPopupMenu::IsAdmin()
                   ? tx(26545, QStringLiteral("Nur Administratoren können Reports mit Ordnern "
                                              "verknüpfen."))
                   : QString();
    };
    TreeDocuments->viewport()->installEventFilter(new NodeDragStarter(this));

    // The header's navigator works on the placeholder: its insert imports, its delete deletes
    // the focused entry (which asks itself); the placeholder never changes.
    SqlRefrechDummy->SetReadOnly(false);
    TopLabelFrame1->SetBtInsert(true);
    TopLabelFrame1->SetBtDelete(true);
    TopLabelFrame1->DBN1->SetConfirmDelete(false);
    SqlRefrechDummy->BeforeInsert = [this](TVoskClass*) {
        acDocFromFileExecute();
        throw EAbort();
    };
    SqlRefrechDummy->BeforeDelete = [this](TVoskClass*) {
        acDocEditDeleteDocExecute();
        throw EAbort();
    };
}

void TFormDokments::SetLinkCheckColumns() {
    // A document's own link is ticked here, its folder's only on the folder; a folder's links
    // are the administrators'.
    const bool folder = NodeIsFolder(FocusedNode());
    m_linkChecks.value(QStringLiteral("dok_aktiv"))->ReadOnly = folder;
    m_linkChecks.value(QStringLiteral("dir_aktiv"))->ReadOnly =
        !folder || !TSperrDokuPopupMenu::IsAdmin();
    for (auto it = m_linkChecks.cbegin(); it != m_linkChecks.cend(); ++it)
        if (const int col = gridDokuLinks->columnByFieldName(it.key()); col >= 0)
            gridDokuLinks->setItemDelegateForColumn(col, it.value());
}

std::optional<QStringList> TFormDokments::LookupRow(QObject* field, const QStringList& params,
                                                  const QStringList& columns) {
    std::optional<QStringList> row;
    auto take = std::make_shared<const TMakeF2Callback>([&](TKorvexF2Form* form) {
        row = QStringList();
        const auto* grid =
            dynamic_cast<const IVoskSelectedRecordValues*>(form->F2Result.F2Grid.data());
        for (const QString& c : columns)
            *row << (grid ? grid->GetSelectedRecordValuesStr(c, 0).value(0) : QString());
    });
    MakeF2(this, field, true, false, QString(), params, QString(), take);
    return row;
}

// ---- revisions ---------------------------------------------------------------------------------

void TFormDokments::acDocEditRevisionArchiveExecute(QObject* Sender) {
    TDokuTreeNode* node = FocusedNode();
    if (!node || node->Kind != nkDocument)
        return;
    CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    QString reselect = node->Id;
    if (Sender == miRevisionSpecifyValid) {
        const std::optional<QStringList> row =
            LookupRow(miRevisionSpecifyValid,
                      {QStringLiteral("revid=") + QString::number(doc.RevisionId()),
                       QStringLiteral("pdid=") + doc.IdText()},
                      {QStringLiteral("pd_id")});
        const QString chosen = row ? row->value(0) : QString();
        if (chosen.isEmpty())
            return;
        doc.SetValidRevision(chosen.toInt());
        reselect = chosen;
    } else if (Sender == miRevisionArchive) {
        if (!TSperrDokuPopupMenu::FWithoutQuestion &&
            !Korvexutils::RaiseQuestionYes(miRevisionArchive->text().remove(u'&') + u'?'))
            return;
        editAndPost(doc, [&] { setField(doc, TDokument::fnArchived, !doc.IsArchived()); });
    } else if (Sender == acDocEditRevisionImport) {
        // Checked out on another machine, even by the user: its working copy is there.
        if ((doc.isLocked(false) && !doc.isLockedByMe()) || doc.LockedElsewhere())
            Korvexutils::RaiseCriticalError(doc.GetLockedInfo());
        TUserRights::CanDoDMSFileAction(doc.DokType(), 0, 2, true);
        const QString type = doc.DokType();
        const bool known = !type.isEmpty() && DMSDokuTypes().Exists(type);
        const QString startFolder =
            known ? UEMailSenden::ExpandEnvVars(
                        DMSDokuTypes().Config(type, QStringLiteral("DefaultPath")))
                  : QString();
        const QStringList files = Korvexutils::RaiseOpenDialog(
            this, QStringLiteral("DMSImportExport"), false, startFolder, doc.GetLockedPath());
        if (files.isEmpty())
            return;
        const QString file = files.first();
        const int options = RevisionOptions(
            known ? DMSDokuTypes().Config(type, QStringLiteral("ImportMode"),
                                          QStringLiteral("DEFAULT"))
                  : QString(),
            [&file] {
                return Korvexutils::RaiseQuestionYes(
                    UImpDoku::FillTextS(
                        tx(17306, QStringLiteral("Datei \"%s\" wurde ins DMS kopiert. Soll die "
                                                 "Originaldatei gelöscht werden?")),
                        {QFileInfo(file).fileName(), QFileInfo(file).absoluteFilePath()}),
                    true, QStringLiteral("Dokumente_sperren"));
            });
        reselect = QString::number(doc.CreateNewRevision(file, options, QStringLiteral("file")));
    } else {
        return;
    }
    TreeMenuCreate(false);
    TreeMenuSelect(reselect);
}

int TFormDokments::RevisionOptions(const QString& importMode,
                                   const std::function<bool()>& askDelete) {
    int options = 0x65;
    if (importMode.compare(QLatin1String("MOVE"), Qt::CaseInsensitive) == 0)
        options |= TDokument::roDeleteSource;
    else if (importMode.compare(QLatin1String("COPY"), Qt::CaseInsensitive) == 0)
        options &= ~TDokument::roDeleteSource;
    else if (importMode.compare(QLatin1String("COPY_AskDEL"), Qt::CaseInsensitive) == 0) {
        if (askDelete())
            options |= TDokument::roDeleteSource;
        else
            options &= ~TDokument::roDeleteSource;
    }
    return options;
}

namespace {

// The tree shows no hidden documents unless asked to: the rows themselves say whether the
// folder still holds any.
bool FolderHoldsRows(TDokument& folder) {
    TVoskQuery2 q(&folder.Database(),
                  QStringLiteral("SELECT EXISTS (SELECT 1 FROM picndoku WHERE pd_tablename = "
                                 ":table AND pd_dbrid = :dbrid AND pd_parentnodeident = :folder)"));
    q.Bind(QStringLiteral("table"), folder.TableName())
        .Bind(QStringLiteral("dbrid"), folder.RecordId().toLongLong())
        .Bind(QStringLiteral("folder"), folder.IdText())
        .Open();
    return q.Fields(0).AsBoolean();
}

} // namespace

// ---- rename, delete ----------------------------------------------------------------------------

void TFormDokments::acDocEditRenameExecute() {
    TDokuTreeNode* node = FocusedNode();
    if (!node || !node->IsDocument())
        return;
    CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    const QString current = doc.Caption();
    const QString name = AskName(this, current);
    if (name.isEmpty() || name == current)
        return;
    const bool folder = doc.isCustomFolder();
    // The tree shows a folder's or document's name (pd_descr): that is what a rename changes.
    editAndPost(doc, [&] {
        setField(doc, TDokument::fnCaption, name);
        if (folder)
            setField(doc, TDokument::fnDescription, QVariant());
    });
    CheckNodeAndUpdate();
}

void TFormDokments::acDocEditDeleteDocExecute() {
    TDokuTreeNode* node = FocusedNode();
    if (!node || (node->Kind != nkCustomFolder && node->Kind != nkDocument))
        return;
    CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    if (node->Kind == nkCustomFolder && (!node->Children.empty() || FolderHoldsRows(doc)))
        Korvexutils::RaiseCriticalError(tx(17787, QStringLiteral("Ordner ist nicht leer")));
    if (doc.isDMSDokument() && DMSDokuTypes().WriteOnce(doc.DokType()))
        Korvexutils::RaiseError(
            tx(17914, QStringLiteral("Dokument kann nicht gelöscht werden (WORM-Schreibschutz)")));
    // Another user's lock or check-out holds work that a delete would destroy.
    if (doc.isLocked(true))
        Korvexutils::RaiseCriticalError(doc.GetLockedInfo());
    if (!Korvexutils::RaiseQuestionYes(miDelete->text().remove(u'&') + u'?'))
        return;
    const QString parentId = node->Parent ? node->Parent->Id : QString();
    doc.Delete();
    TreeMenuCreate(false);
    TreeMenuSelect(parentId);
}

// ---- folders, types ----------------------------------------------------------------------------

void TFormDokments::AttachDokument1() {
    if (_KeySearch.Exists)
        Dokument1()->AssignToKeyword(_KeySearch);
    else
        Dokument1()->AssignToRecNo(_TableName, _RecId);
}

void TFormDokments::acFolderNewExecute() {
    const QString name = AskName(this, QVariant());
    if (name.isEmpty())
        return;
    const QString folder = TargetFolderId();
    TDokument& doc = *Dokument1();
    AttachDokument1();
    doc.Append();
    try {
        setField(doc, TDokument::fnParentNode, folder.isEmpty() ? QVariant() : QVariant(folder));
        setField(doc, TDokument::fnCaption, name);
        setField(doc, TDokument::fnFileName, QVariant());
        doc.Post(false);
    } catch (...) {
        if (doc.InEdit())
            doc.Cancel();
        throw;
    }
    const int newId = doc.FieldByName(QString::fromLatin1(TDokument::fnId)).Value().toInt();
    if (_KeySearch.Exists)
        TDokument::AttachKeyword(newId, _KeySearch.Category, _KeySearch.Value);
    doc.AssignToDokId(newId, _TableName, _RecId);
    AddDocumentNode(nkCustomFolder, imgCustomFolder);
    UpdateFileCount(0);
    if (RebuildPending())
        RequestRebuild(QString::number(newId));
}

void TFormDokments::acFolderInitialExecute() {
    if (TDokuTreeNode* old = FindNode(_InitialPath); old && !_InitialPath.isEmpty()) {
        old->States &= ~InitialFolder;
        TreeModel->NodeChanged(old);
    }
    TDokuTreeNode* node = FocusedNode();
    _InitialPath = acFolderInitial->isChecked() && node ? node->Id : QString();
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SetSetting(InitialPathSetting(), _InitialPath);
    if (node && !_InitialPath.isEmpty()) {
        node->States |= InitialFolder;
        TreeModel->NodeChanged(node);
    }
    CheckNodeAndUpdate();
}

void TFormDokments::miDokuTypeClick() {
    TDokuTreeNode* node = FocusedNode();
    if (!node || !node->IsDocument())
        return;
    CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    const std::optional<QStringList> row =
        LookupRow(miDokuType, {QStringLiteral("dt=") + doc.DokType(), QStringLiteral("table=") + _TableName},
                  {QStringLiteral("dt_id")});
    const QString chosen = row ? row->value(0) : QString();
    if (!chosen.isEmpty() && chosen != doc.DokType())
        editAndPost(doc, [&] { setField(doc, TDokument::fnDokType, chosen); });
    CheckNodeAndUpdate();
}

// ---- report links ------------------------------------------------------------------------------

void TFormDokments::gridDokuLinksAktivChanged(const QString& field, int radId, bool checked) {
    TDokuTreeNode* node = FocusedNode();
    if (!node || radId <= 0)
        return;
    if (field == u"dir_aktiv" && NodeIsFolder(node)) {
        // A grid read before another user's change must not double a link: the keys hold.
        exec(checked ? QStringLiteral("INSERT INTO report_dokument_link (rdl_rad_id, "
                                      "rdl_pd_parentnodeident) VALUES (:radid, :node) "
                                      "ON CONFLICT DO NOTHING")
                     : QStringLiteral("DELETE FROM report_dokument_link WHERE rdl_rad_id = :radid "
                                      "AND rdl_pd_parentnodeident = :node"),
             {{QStringLiteral("radid"), radId}, {QStringLiteral("node"), node->Id}});
    } else if (field == u"dok_aktiv" && node->Kind == nkDocument) {
        exec(checked ? QStringLiteral("INSERT INTO report_dokument_link (rdl_rad_id, rdl_pd_id) "
                                      "VALUES (:radid, CAST(:pdid AS integer)) "
                                      "ON CONFLICT DO NOTHING")
                     : QStringLiteral("DELETE FROM report_dokument_link WHERE rdl_rad_id = :radid "
                                      "AND rdl_pd_id = CAST(:pdid AS integer)"),
             {{QStringLiteral("radid"), radId}, {QStringLiteral("pdid"), node->Id.toInt()}});
    } else {
        return;
    }
    if (SqlDokuLinks->Active()) {
        SqlDokuLinks->Close();
        SqlDokuLinks->Open();
        SetLinkCheckColumns();
    }
}

// ---- pop-up menu -------------------------------------------------------------------------------

void TFormDokments::pmTreeDocumentsPopup() {
    TDokuTreeNode* node = FocusedNode();
    const bool docNode = node && node->IsDocument();
    if (docNode)
        CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    const bool has = docNode && doc.HasDocument();
    const bool isDms = has && doc.isDMSDokument();
    const bool isDok = has && (isDms || doc.isFileLink());
    bool dirAutoRev = false;
    if (node) {
        const QString folder = node->Kind == nkDocument && node->Parent ? node->Parent->Id : node->Id;
        const QString type = DMSDokuTypes().FindByParentNode(folder);
        dirAutoRev = !type.isEmpty() && DMSDokuTypes().AutoRevision(type);
    }
    miNewGroup->setVisible(!isDok);
    miNewGroupOnDok->setVisible(isDok);
    QMenu* into = isDok ? miNewGroupOnDok->menu() : miNewGroup->menu();
    QMenu* from = isDok ? miNewGroup->menu() : miNewGroupOnDok->menu();
    for (QAction* a : from->actions()) {
        from->removeAction(a);
        into->addAction(a);
    }
    if (isDms && dirAutoRev)
        pmTreeDocuments->setDefaultAction(miRevisionImport);
    miDokuType->setEnabled(isDok);
    miExportGroup->setVisible(acDocumentExportPrint->isEnabled() ||
                              acDocumentExportMail->isEnabled() ||
                              acDocumentExportFileSaveAs->isEnabled());
    miPreview->setEnabled(acDocumentPreviewIs->isEnabled());
    miPreview->setIcon(acDocumentPreviewIs->isChecked() ? QIcon()
                                                        : imageIcon(DokState::imgStandard));
    bool editForbidden = true;
    if (isDms && !doc.IsArchived())
        if (TDM1* dm = DM1(); dm && dm->Connected()) {
            TVoskQuery2 q(&dm->Database(),
                          QStringLiteral("SELECT (picndoku_editing_forbidden(:pdid)).result OR "
                                         "(picndoku_adding_forbidden(:doktype, true)).result"));
            q.Bind(QStringLiteral("pdid"), doc.Id())
                .Bind(QStringLiteral("doktype"),
                      doc.DokType().isEmpty() ? QVariant() : QVariant(doc.DokType()))
                .Open();
            editForbidden = q.Fields(0).AsBoolean();
        }
    miRevisionArchive->setChecked(isDms && doc.IsArchived());
    miRevisionArchive->setEnabled(isDms && !doc.IsArchived() && !editForbidden);
    miRevisionSpecifyValid->setEnabled(isDms && doc.RevisionId() != 0);
    miRevisionImport->setVisible(isDms);
    miView->setVisible(node && node->Kind == nkDocument && acDocumentViewIntern->isVisible());
    miOpen->setVisible(node && node->Kind == nkDocument);
    miOpen->setEnabled(acDocumentViewExtern->isEnabled());
    miDelete->setEnabled(node && (node->Kind == nkDocument || node->Kind == nkCustomFolder));
}

// ---- tree drag and drop ------------------------------------------------------------------------

QMimeData* TFormDokments::NodeMimeData(const TDokuTreeNode* node) const {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(UImpDoku::kNodeDragMime),
                  UImpDoku::EncodeNodeDrag({FWindowSerial, _TableName, _RecId, node->Id, node->Kind}));
    return data;
}

namespace {

// The folder a drop lands in: the node under the pointer, or its parent for a document.
TDokuTreeNode* dropFolder(TDokuTreeNode* target) {
    return target && target->Kind == nkDocument ? target->Parent : target;
}

// Failures while dragging are logged as fatal, shown in a balloon and passed on.
template <class F> auto dragStep(TFormDokments* form, const char* step, const char* title, F&& f) {
    try {
        return f();
    } catch (const EAbort&) {
        throw;
    } catch (const EVoskException& e) {
        TKorvexLog::LogMessage(QStringLiteral("DMS-Drag&Drop %1: %2 %3")
                                   .arg(QLatin1String(step), QLatin1String(e.ClassName()),
                                        e.Message()),
                               TKorvexLogLevel::Error);
        auto* hint = new TVoskBalloonHint(form);
        hint->SetTitle(QString::fromLatin1(title) + QStringLiteral(": ") + e.Message());
        hint->ShowHint(form->TreeDocuments, QPoint(form->TreeDocuments->width() / 2, 0));
        throw;
    }
}

} // namespace

bool TFormDokments::TreeDocumentsDragOver(const QMimeData* data, TDokuTreeNode* target) {
    return dragStep(this, "DragOver", "DMS-Drag&&Drop (Over)", [&] {
        const auto drag =
            UImpDoku::DecodeNodeDrag(data->data(QString::fromLatin1(UImpDoku::kNodeDragMime)));
        if (!drag)
            return false;
        const bool other = drag->windowSerial != FWindowSerial;
        TDokuTreeNode* folder = dropFolder(target);
        bool isParent = false;
        if (!other) {
            TDokuTreeNode* dragged = FindNode(drag->nodeId);
            if (!dragged)
                return false;
            isParent = dragged->Parent == folder;
        }
        return UImpDoku::AcceptNodeDrop(other, drag->kind, folder ? folder->Kind : nkNone, isParent);
    });
}

void TFormDokments::TreeDocumentsDragDrop(const QMimeData* data, TDokuTreeNode* target) {
    dragStep(this, "DragDrop", "DMS-Drag&&Drop (Drop)", [&] {
        const auto drag =
            UImpDoku::DecodeNodeDrag(data->data(QString::fromLatin1(UImpDoku::kNodeDragMime)));
        if (!drag)
            throw EVoskException(QStringLiteral("unsupported source (%1)")
                                     .arg(data->formats().value(0, QStringLiteral("QMimeData"))));
        TDokuTreeNode* folder = dropFolder(target);
        if (drag->windowSerial != FWindowSerial) {
            if (drag->table.compare(_TableName, Qt::CaseInsensitive) == 0 &&
                drag->recId == _RecId)
                Korvexutils::RaiseCriticalError(
                    QStringLiteral("Kopieren nicht möglich.\nAndere Objektablage, aber mit den "
                                   "selben Daten.\n(%1 %2)")
                        .arg(_TableName, _RecId));
            if (drag->kind != nkDocument)
                Korvexutils::RaiseCriticalError(
                    QStringLiteral("Nur Dokumente können in anderes Fenster kopiert werden."));
            const int newId = TDokument::CopyDokument(drag->nodeId.toInt(), _TableName, _RecId,
                                                      _KeySearch.Exists ? &_KeySearch : nullptr);
            TreeMenuCreate(false);
            TreeMenuSelect(QString::number(newId));
            return;
        }
        TDokuTreeNode* dragged = FindNode(drag->nodeId);
        if (!dragged || !UImpDoku::AcceptNodeDrop(false, dragged->Kind,
                                                  folder ? folder->Kind : nkNone,
                                                  dragged->Parent == folder))
            return;
        const QString draggedId = dragged->Id;
        const QString folderId =
            !folder || folder->Kind == nkRoot ? QString() : folder->Id;
        CheckDokument1Assignment(dragged);
        TDokument& doc = *Dokument1();
        const bool needsType = doc.DokType().isEmpty() && !doc.isCustomFolder();
        try {
            editAndPost(doc, [&] {
                setField(doc, TDokument::fnParentNode,
                         folderId.isEmpty() ? QVariant() : QVariant(folderId));
                if (needsType && !folderId.isEmpty())
                    if (const QString type = DMSDokuTypes().FindByParentNode(folderId);
                        !type.isEmpty())
                        setField(doc, TDokument::fnDokType, type);
            });
        } catch (...) {
            TreeMenuSelect(draggedId);
            throw;
        }
        // The post may have rebuilt the tree: both nodes are found again by id.
        TDokuTreeNode* node = FindNode(draggedId);
        TDokuTreeNode* newParent = folderId.isEmpty() ? GetRootNode() : FindNode(folderId);
        if (node && newParent && node->Parent != newParent)
            TreeModel->MoveNode(node, newParent);
        TreeMenuSelect(draggedId);
        CheckNodeAndUpdate();
    });
}
