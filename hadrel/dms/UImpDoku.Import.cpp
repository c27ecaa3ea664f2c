// The document window: files entering the document management (the file dialog, drops on the
// tree, a mail dragged out of a mail program) and turning a file link into a stored document.

#include "UImpDoku.h"

#include "Dataclient_files.h"

#include "TVoskRibbon.h"
#include "TopLabel.h"
#include "UConstants.h"
#include "UDM1.h"
#include "UEMailSenden.Text.h"
#include "UModulForm.h"
#include "UModulForm.Start.h"
#include "TUserRights.h"
#include "Korvexutils.Dialogs.h"
#include "Korvexutils.h"
#include "Ukorvexclasses.Dokument.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"
#include "VoskGridValues.h"
#include "VoskQuery2.h"

#include <StrUtils.h>

#include <EventGuard.h>

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTreeView>
#include <QUrl>

namespace {

QString tx(int nr, const QString& def) { return makeText(nr, def); }

constexpr qint64 kPaintBeforeStoreBytes = 8ll << 20;
const QString kOnlyLocalFiles = QStringLiteral("Nur lokale Dateien können übernommen werden.");
constexpr const char* kMailMime = "message/rfc822";

QString deleteOriginalQuestion(const QString& file) {
    return UImpDoku::FillTextS(tx(17306, QStringLiteral("Datei \"%s\" wurde ins DMS kopiert. Soll die "
                                          "Originaldatei gelöscht werden?")),
                 {QFileInfo(file).fileName(), QFileInfo(file).absoluteFilePath()});
}

// Takes file and mail drops on the tree's viewport; tree nodes dragged between windows go to
// the window's node handlers.
class TreeDropTarget final : public QObject {
public:
    explicit TreeDropTarget(TFormDokments* form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* ev = static_cast<QDropEvent*>(e);
            const QMimeData* data = ev->mimeData();
            bool accept = false;
            if (data->hasFormat(QString::fromLatin1(UImpDoku::kNodeDragMime))) {
                TDokuTreeNode* target = targetAt(ev->position().toPoint());
                Rtl::Guarded([&] { accept = m_form->TreeDocumentsDragOver(data, target); }, m_form);
            } else {
                accept = data->hasUrls() || data->hasFormat(QString::fromLatin1(kMailMime));
            }
            if (accept)
                ev->acceptProposedAction();
            else
                ev->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* ev = static_cast<QDropEvent*>(e);
            const QMimeData* data = ev->mimeData();
            ev->acceptProposedAction();
            if (data->hasFormat(QString::fromLatin1(UImpDoku::kNodeDragMime))) {
                TDokuTreeNode* target = targetAt(ev->position().toPoint());
                Rtl::Guarded([&] { m_form->TreeDocumentsDragDrop(data, target); }, m_form);
            } else {
                // A file dropped on a document goes into that document's folder.
                if (TDokuTreeNode* n = targetAt(ev->position().toPoint()))
                    m_form->TreeMenuSelect(n->Id);
                Rtl::Guarded([&] { m_form->DropMimeData(data); }, m_form);
            }
            return true;
        }
        default:
            return false;
        }
    }

private:
    TDokuTreeNode* targetAt(const QPoint& pos) const {
        return m_form->TreeModel->NodeOf(m_form->TreeDocuments->indexAt(pos));
    }
    TFormDokments* m_form;
};

} // namespace

void TFormDokments::buildImport() {
    acDocFromFile->setText(tx(17970, QStringLiteral("Neues Dokument importieren")));
    acDocFromFile->setIconText(acDocFromFile->text());
    acDocFromFile->setToolTip(acDocFromFile->text());
    acDocFromFile->setEnabled(true);
    acDocEditImportlinkedFile->setText(tx(25184, QStringLiteral("Verlinkte Datei importieren")));
    acDocEditImportlinkedFile->setToolTip(acDocEditImportlinkedFile->text());
    BarFileActions->AddButton(acDocFromFile);
    connect(acDocFromFile, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acDocFromFileExecute(); }, this); });
    connect(acDocEditImportlinkedFile, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miLinkImportClick(); }, this); });
    TreeDocuments->setAcceptDrops(true);
    TreeDocuments->viewport()->setAcceptDrops(true);
    TreeDocuments->setDropIndicatorShown(true);
    TreeDocuments->viewport()->installEventFilter(new TreeDropTarget(this));
}

QStringList TFormDokments::TempFolders() {
    return {QDir::tempPath(), CurrentSession_UConstants().TempDir()};
}

TFileImportMode TFormDokments::GetFileImportMode(const QString& doktype,
                                                 TFileImportMode DefaultMode) {
    const QString value = doktype.isEmpty()
                              ? QStringLiteral("DEFAULT")
                              : DMSDokuTypes().Config(doktype, QStringLiteral("ImportMode"),
                                                      QStringLiteral("DEFAULT"));
    const UImpDoku::TImportModeChoice choice = UImpDoku::ImportModeFromConfig(value, DefaultMode);
    return choice.ask ? AskUserForFileImportMode(choice.preselect) : choice.mode;
}

TFileImportMode TFormDokments::AskUserForFileImportMode(TFileImportMode Default) {
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.text = QStringLiteral("Dokument ins DMS importieren");
    q.buttons = Vcl::mbCancel;
    q.commands = {{-1, QStringLiteral("Datei verlinken"), QStringLiteral("externe Datei als Link in DMS")},
                  {-2, QStringLiteral("Datei kopieren"), QStringLiteral("Datei als Kopie ins DMS")},
                  {-3, QStringLiteral("Datei verschieben"),
                   QStringLiteral("Datei ins DMS verschieben\nund die Original-Datei löschen")}};
    q.defaultCommand = Default == fimLink ? -1 : Default == fimMove ? -3 : -2;
    switch (int(Vcl::Dialogs::Instance().Ask(q))) {
    case -1:
        return fimLink;
    case -2:
        return fimCopy;
    case -3:
        return fimMove;
    default:
        return fimAbort;
    }
}

QString TFormDokments::TargetFolderId() const {
    TDokuTreeNode* node = FocusedNode();
    if (!node)
        return {};
    if (node->Kind == DokState::nkDocument)
        return node->Parent ? node->Parent->Id : QString();
    return node->Id;
}

void TFormDokments::acDocFromFileExecute() {
    const QString folder = TargetFolderId();
    QString startFolder;
    if (!folder.isEmpty())
        if (const QString type = DMSDokuTypes().FindByParentNode(folder); !type.isEmpty())
            startFolder = UEMailSenden::ExpandEnvVars(
                DMSDokuTypes().Config(type, QStringLiteral("DefaultPath")));
    QStringList files = Korvexutils::RaiseOpenDialog(this, QStringLiteral("DMSImportExport"), true,
                                                     startFolder);
    if (files.isEmpty())
        return;
    UImpDoku::SortForImport(files);
    const TFileImportMode mode =
        GetFileImportMode(Dokument1()->HasDocument() ? Dokument1()->DokType() : QString(), fimAsk);
    for (const QString& file : files)
        LoadDocument(mode, file, folder.isEmpty());
}

void TFormDokments::AddDocumentNode(int kind, int image) {
    TDokuDocumentNodeData d = DocumentNodeData(*Dokument1());
    auto node = std::make_unique<TDokuTreeNode>();
    node->Kind = kind;
    node->Id = d.Id;
    node->Position = kind == DokState::nkDocument ? 1000001 : 1000000;
    TDokuTree::AssignDocument(node.get(), d);
    if (image >= 0)
        node->Image = image;
    TDokuTreeNode* parent = FindNode(d.ParentNodeIdent);
    if (!parent)
        parent = GetRootNode();
    TDokuTreeNode* added = TreeModel->AddNode(std::move(node), parent);
    TreeModel->MarkFilled(parent);
    TreeMenuSelect(added->Id);
    // Counted; the tab shows the count once the caller's batch is through.
    ++FAnzahl;
}

void TFormDokments::ShowProvisionalNode(const QString& folderId, const QString& caption,
                                        qint64 size) {
    // Of no kind until stored: what acts on a focused document or folder (the window's
    // activation during a lookup, a drag, the popup) leaves it alone.
    auto node = std::make_unique<TDokuTreeNode>();
    node->Kind = DokState::nkNone;
    node->Id = QString::fromLatin1(kProvisionalNodeId);
    node->Caption = caption;
    node->Position = 1000001;
    node->Image = DokState::imgImporting;
    TDokuTreeNode* parent = FindNode(folderId);
    if (!parent)
        parent = GetRootNode();
    TDokuTreeNode* added = TreeModel->AddNode(std::move(node), parent);
    // Not a stored document yet: the focus handling has nothing to load.
    const QScopedValueRollback loading(IsLoading, true);
    // A large file takes a while to store: the user sees its node meanwhile. A small one is
    // stored before a paint would show it.
    if (size >= kPaintBeforeStoreBytes) {
        TreeMenuSelect(added->Id);
        TreeDocuments->viewport()->repaint();
    } else {
        FocusDuringImport(added);
    }
}

void TFormDokments::CatchUpTreeView() {
    if (!m_treeViewBehind)
        return;
    m_treeViewBehind = false;
    // The view's own handling of the focus (scrolling, painting, accessibility), once; the
    // window's has run for each file.
    const QModelIndex current = TreeDocuments->currentIndex();
    {
        const QSignalBlocker quiet(TreeDocuments->selectionModel());
        TreeDocuments->selectionModel()->clearCurrentIndex();
    }
    const QScopedValueRollback loading(IsLoading, true);
    TreeDocuments->setCurrentIndex(current);
    TreeDocuments->viewport()->update();
}

void TFormDokments::FocusDuringImport(TDokuTreeNode* node) {
    QItemSelectionModel* selection = TreeDocuments->selectionModel();
    {
        const QSignalBlocker quiet(selection);
        selection->setCurrentIndex(TreeModel->IndexOf(node),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_treeViewBehind = true;
}

bool TFormDokments::CompleteProvisionalNode() {
    TDokuTreeNode* node = FindNode(QString::fromLatin1(kProvisionalNodeId));
    if (!node || node->Kind != DokState::nkNone)
        return false;
    // The node becomes the document where it stands: a removal and an insertion would each lay
    // the whole tree out anew.
    const TDokuDocumentNodeData d = DocumentNodeData(*Dokument1());
    TDokuTreeNode* parent = FindNode(d.ParentNodeIdent);
    if (!parent)
        parent = GetRootNode();
    {
        const QScopedValueRollback loading(IsLoading, true);
        TreeModel->Tree().Rename(node, d.Id);
        node->Kind = DokState::nkDocument;
        TDokuTree::AssignDocument(node, d);
        TreeModel->NodeChanged(node);
        if (parent != node->Parent)
            TreeModel->MoveNode(node, parent);
        TreeModel->MarkFilled(parent);
        FocusDuringImport(node);
    }
    // The current index may not have changed: the focus handling runs here, as for a new node.
    Rtl::Guarded([this] { TreeDocumentsFocusedNodeChanged(TreeDocuments, FocusedNode()); }, this);
    return true;
}

void TFormDokments::ShowImportLater() {
    if (m_importShowPending)
        return;
    m_importShowPending = true;
    // Once per batch: the tab's count and the window's raise are seen only after it anyway.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_importShowPending = false;
            CatchUpTreeView();
            UpdateFileCount(0);
            raise();
        },
        Qt::QueuedConnection);
}

void TFormDokments::RemoveProvisionalNode(const QString& focusId) {
    TDokuTreeNode* node = FindNode(QString::fromLatin1(kProvisionalNodeId));
    if (!node || node->Kind != DokState::nkNone)
        return;
    {
        const QScopedValueRollback loading(IsLoading, true);
        TreeDocuments->setCurrentIndex(QModelIndex());
        TreeModel->RemoveNode(node);
    }
    if (!focusId.isEmpty())
        TreeMenuSelect(focusId);
}

namespace {

// A name whose bytes are not UTF-8 arrives with replacement characters and names no file: say
// so, rather than that the file is missing.
void RefuseUnreadableName(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter) || QFileInfo::exists(path))
        return;
    Korvexutils::RaiseCriticalError(
        QStringLiteral("Der Name der Datei kann nicht gelesen werden: er enthält Zeichen, die "
                       "nicht in UTF-8 kodiert sind. Bitte benennen Sie die Datei um.") +
        u'\n' + path);
}

} // namespace

int TFormDokments::LoadDocument(TFileImportMode ImportMode, const QString& Filename,
                                bool LoadIntoRoot, const QString& PathName) {
    const QFileInfo info(Filename);
    RefuseUnreadableName(Filename);
    if (!info.exists())
        Korvexutils::RaiseCriticalError(tx(17105, QStringLiteral("Datei existiert nicht.")) +
                                        u'\n' + info.absolutePath() + u'\n' + info.fileName());
    if (!info.isFile())
        Korvexutils::RaiseCriticalError(kOnlyLocalFiles + u'\n' + Filename);
    // Every refusal names the file: in a batch it says which one stopped it.
    const auto refuse = [&Filename](const QString& message) {
        Korvexutils::RaiseCriticalError(message + QStringLiteral("\n\n") + Filename);
    };

    QString folderId = LoadIntoRoot ? QString() : TargetFolderId();
    // The file shows in the tree at once; the stored document takes its place, a failure
    // removes it. It is found again by its id: a lookup's event loop may rebuild the tree.
    const QString focusedBefore = GetNodeId();
    ShowProvisionalNode(folderId, info.fileName(), info.size());
    bool provisionalGone = false;
    const auto removeProvisional = qScopeGuard([&] {
        if (!provisionalGone)
            RemoveProvisionalNode(focusedBefore);
    });
    QString dokuType, dokuDescr;
    if (!folderId.isEmpty()) {
        dokuType = DMSDokuTypes().FindByParentNode(folderId);
        dokuDescr = dokuType.isEmpty() ? QString() : DMSDokuTypes().Descr(dokuType);
    }
    auto* modul = qobject_cast<TModulForm*>(OwnerModulForm.data());
    bool chosen = false;
    if (modul && modul->TopLabel && modul->TopLabel->OnDokumentSelectDoktype) {
        if (!SqlDokuTypes->Active())
            SqlDokuTypes->Bind(QStringLiteral("tablename"), _TableName).Open();
        chosen = modul->TopLabel->OnDokumentSelectDoktype(SqlDokuTypes.get(), dokuType, dokuDescr,
                                                          Filename);
    }
    if (!chosen) {
        // The user sees the file's node while choosing its type.
        CatchUpTreeView();
        const std::optional<QStringList> row = LookupRow(
            miDokuType,
            {QStringLiteral("dt=") + dokuType, QStringLiteral("table=") + _TableName,
             QStringLiteral("path=") + info.absolutePath(),
             QStringLiteral("filename=") + info.fileName(),
             QStringLiteral("extension=") + info.suffix()},
            {QStringLiteral("dt_id"), QStringLiteral("dt_descr"), QStringLiteral("dt_parentnodeid")});
        const bool ok = row.has_value();
        const QString dtId = ok ? row->value(0) : QString();
        const QString dtDescr = ok ? row->value(1) : QString();
        const QString dtFolder = ok ? row->value(2) : QString();
        if (ok) {
            dokuType = dtId;
            dokuDescr = dtDescr;
            if (!dtFolder.isEmpty())
                folderId = dtFolder;
        } else {
            // Without a choice the file still goes in, without type and folder.
            dokuType.clear();
            dokuDescr.clear();
            folderId.clear();
        }
    }

    const auto refuseUnless = [&](const TDokument::TAddingCheck& check) {
        if (!check.lockInfo.isEmpty())
            refuse(check.lockInfo);
        if (!check.mayAdd)
            TUserRights::RefuseDMSFileAction(dokuType, 0, 2);
        if (check.forbidden)
            refuse(tx(17923, QStringLiteral("Keine Berechtigung für dieses Verzeichnis")) +
                   QStringLiteral(" (") + dokuType + u')');
    };
    // A copy of one chunk is checked by the statement that stores it: one round trip less.
    const bool checkInStore = (ImportMode == fimCopy || ImportMode == fimMove) &&
                              info.size() < TDCFileMethods::ChunkSize;
    if (!checkInStore)
        refuseUnless(TDokument::AddingCheck(_TableName, _RecId, dokuType));

    const QString storedName =
        UImpDoku::StoredFileName(PathName.isEmpty() ? Filename : PathName);
    TDokument& doc = *Dokument1();
    int newId = 0;
    try {
        switch (ImportMode) {
        case fimLink: {
            const UImpDoku::TFileHashes hashes = UImpDoku::FileHashes(Filename);
            if (hashes.sha256.isEmpty())
                refuse(QStringLiteral("Die Datei kann nicht gelesen werden."));
            AttachDokument1();
            doc.Append();
            const auto set = [&doc](const char* field, const QVariant& v) {
                doc.FieldByName(QString::fromLatin1(field)).SetValue(v);
            };
            set(TDokument::fnParentNode, folderId.isEmpty() ? QVariant() : QVariant(folderId));
            if (!dokuType.isEmpty())
                set(TDokument::fnDokType, dokuType);
            const QString path = info.absoluteFilePath();
            set(TDokument::fnFileName, path);
            set(TDokument::fnPath, path);
            set("pd_islink", true);
            set("pd_md5", QString::fromLatin1(hashes.md5));
            set(TDokument::fnHash, QString::fromLatin1(hashes.sha256));
            set(TDokument::fnOrigFileName, storedName);
            set(TDokument::fnSource, QStringLiteral("file"));
            doc.Post(false);
            newId = doc.FieldByName(QString::fromLatin1(TDokument::fnId)).Value().toInt();
            break;
        }
        case fimCopy:
        case fimMove: {
            if (dokuType.isEmpty() && !folderId.isEmpty())
                dokuType = DMSDokuTypes().FindByParentNode(folderId);
            TDokumentInsertData data;
            data.Active = true;
            data.DokType = dokuType;
            data.Source = QStringLiteral("file");
            data.CheckAdding = checkInStore;
            data.DokIdent = !_AlternateDokIdent.isEmpty() ? _AlternateDokIdent : _KeySearch.Value;
            // A document in its type's own folder names none: it follows the type.
            const QString typeFolder = DMSDokuTypes().ParentNodeId(dokuType);
            if (!folderId.isEmpty() && folderId.compare(typeFolder, Qt::CaseInsensitive) != 0)
                data.ParentNodeIdent = folderId;
            doc.ClearInsertData();
            doc.SetInsertData(data);
            const auto clear = qScopeGuard([&doc] { doc.ClearInsertData(); });
            QFile source(Filename);
            if (!source.open(QIODevice::ReadOnly))
                refuse(QStringLiteral("Die Datei kann nicht gelesen werden: ") +
                       source.errorString());
            newId = doc.DMSAddFileAsBLOB(source, storedName, _TableName, _RecId);
            source.close();
            if (ImportMode == fimMove)
                QFile::remove(Filename); // only now: the document is committed
            break;
        }
        case fimAbort:
        case fimAsk:
            throw EAbort();
        }
        if (_KeySearch.Exists)
            TDokument::AttachKeyword(newId, _KeySearch.Category, _KeySearch.Value);
        if (ImportMode == fimLink || doc.Id() != newId)
            doc.AssignToDokId(newId, _TableName, _RecId);
        provisionalGone = true;
        // A rebuild during a lookup took the provisional node with it.
        if (CompleteProvisionalNode())
            ++FAnzahl;
        else
            AddDocumentNode(DokState::nkDocument, -1);
        ShowImportLater();
        // A rebuild the post asked for keeps the new document focused.
        if (RebuildPending())
            RequestRebuild(QString::number(newId));
        if (modul && modul->TopLabel) {
            TDokument* d = &doc;
            modul->TopLabel->DoDokumentAfterPost(d, dokuType, Filename);
        }
    } catch (const TDokument::EAddingRefused& e) {
        if (doc.InEdit())
            doc.Cancel();
        refuseUnless(e.Check);
        throw;
    } catch (const EVoskException& e) {
        if (doc.InEdit())
            doc.Cancel();
        if (e.Message().contains(Filename))
            throw;
        throw EVoskException(e.Message() + QStringLiteral("\n\n") + Filename);
    } catch (...) {
        if (doc.InEdit())
            doc.Cancel();
        throw;
    }
    return newId;
}

void TFormDokments::VoskDropTarget1FileDrop(const QString& FileSaveName, const QString& FileName,
                                            int FileIndex) {
    TFileImportMode mode;
    if (UImpDoku::IsInsideFolder(FileSaveName, TempFolders())) {
        // Temporary files (a mail program's attachments) vanish: always a copy.
        mode = fimCopy;
    } else {
        if (FileIndex == 0 || FileIndex < FLastDropIndex)
            mode = GetFileImportMode(Dokument1()->HasDocument() ? Dokument1()->DokType() : QString(),
                                     fimCopy);
        else
            mode = FLastDropMode;
        FLastDropIndex = FileIndex;
        FLastDropMode = mode;
    }
    LoadDocument(mode, FileSaveName, false, FileName);
}

void TFormDokments::DropMimeData(const QMimeData* data) {
    if (data->hasFormat(QString::fromLatin1(kMailMime))) {
        const QByteArray message = data->data(QString::fromLatin1(kMailMime));
        QString subject = UImpDoku::MailSubject(message);
        if (subject.isEmpty())
            subject = QStringLiteral("E-Mail");
        const QString name = UImpDoku::StoredFileName(subject + QStringLiteral(".eml"));
        const QString folder = CurrentSession_UConstants().TempDir() + QStringLiteral("Drop");
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(message) != message.size() || !file.flush())
            Korvexutils::RaiseCriticalError(
                QStringLiteral("Die E-Mail kann nicht gespeichert werden: ") + file.errorString());
        file.close();
        const auto cleanup = qScopeGuard([&path] { QFile::remove(path); });
        VoskDropTarget1FileDrop(path, name, 0);
        return;
    }
    // The whole drop is checked first: a folder or a remote address stores nothing at all.
    const QList<QUrl> urls = data->urls();
    QStringList files;
    for (const QUrl& url : urls) {
        const QFileInfo info(url.toLocalFile());
        if (url.isLocalFile())
            RefuseUnreadableName(url.toLocalFile());
        if (!url.isLocalFile() || !info.isFile())
            Korvexutils::RaiseCriticalError(kOnlyLocalFiles + u'\n' +
                                            url.toDisplayString(QUrl::PreferLocalFile));
        files << info.absoluteFilePath();
    }
    for (int i = 0; i < files.size(); ++i)
        VoskDropTarget1FileDrop(files[i], QFileInfo(files[i]).fileName(), i);
}

void TFormDokments::miLinkImportClick() {
    CheckDokument1Assignment();
    TDokument& doc = *Dokument1();
    if (!doc.isFileLink())
        return;
    const QString filename = QFileInfo(doc.Path().isEmpty() ? doc.FileName() : doc.Path())
                                 .absoluteFilePath();
    if (!QFileInfo(filename).isFile())
        Korvexutils::RaiseCriticalError(tx(17105, QStringLiteral("Datei existiert nicht.")) +
                                        u'\n' + filename);
    try {
        // The stored name: the original name when it is a sound one of the same kind, else the
        // linked file's own.
        QString stored = UImpDoku::StoredFileName(filename);
        const QString original = doc.FieldByName(QString::fromLatin1(TDokument::fnOrigFileName))
                                     .Value()
                                     .toString();
        const QFileInfo o(original), f(filename);
        const QString base = o.completeBaseName();
        if (!f.suffix().isEmpty() && o.suffix().compare(f.suffix(), Qt::CaseInsensitive) == 0 &&
            base.size() >= 3 && base == base.trimmed() &&
            UImpDoku::StoredFileName(original) == original)
            stored = original;
        QFile source(filename);
        if (!source.open(QIODevice::ReadOnly))
            throw EVoskException(QStringLiteral("Die Datei kann nicht gelesen werden: ") +
                                 source.errorString());
        doc.DMSSetServerFile(source, stored);
    } catch (const EAbort&) {
        throw;
    } catch (const EVoskException& e) {
        if (doc.InEdit())
            doc.Cancel();
        Korvexutils::RaiseCriticalError(
            tx(11882, QStringLiteral("Dokument konnte nicht ins DMS aufgenommen werden und bleibt "
                                     "weiterhin nur verlinkt.")) +
            QStringLiteral("\n\n") + e.Message());
    }
    CheckNodeAndUpdate();
    TDM1* dm = DM1();
    const bool alwaysCopy =
        dm && Rtl::StrToBoolDef(dm->GetSetting(QStringLiteral("DMSAlwaysCopyFile")), false);
    if (!alwaysCopy && Korvexutils::RaiseQuestionYes(deleteOriginalQuestion(filename)) &&
        !QFile::remove(filename))
        Korvexutils::RaiseError(
            QStringLiteral("Die Datei \"%1\" kann nicht gelöscht werden.").arg(filename));
}
