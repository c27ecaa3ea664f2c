// The document window's tree: building it from the database, refreshing one node, finding and
// selecting nodes (unit UImpDoku).

#include "UImpDoku.h"

#include "TDMSELO.h"

#include <Dataclient_files.h>
#include <EventGuard.h>
#include <FaultPoint.h>
#include <Korvexutils.h>
#include <TUserRights.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskDatabase.h>
#include <VoskPipeline.h>
#include <VoskQuery2.h>
#include <VoskShowException.h>
#include <VoskTransaction.h>

#include <QAction>
#include <TVoskRibbon.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <QTreeView>

using namespace DokState;

namespace {

std::optional<int> optInt(const TVoskQuery2& q, int col) {
    return q.Fields(col).IsNull() ? std::nullopt : std::optional<int>(q.Fields(col).AsInteger());
}

TDokuFolderRow folderRow(const TVoskQuery2& q) {
    TDokuFolderRow r;
    r.DtnId = q.Fields(0).AsInteger();
    r.ParentId = optInt(q, 1);
    r.NodeId = q.Fields(2).AsString();
    r.Caption = q.Fields(3).AsString();
    r.Image = q.Fields(4).IsNull() ? imgFolderEmpty : q.Fields(4).AsInteger();
    r.Position = optInt(q, 5);
    if (!q.Fields(6).IsNull())
        r.IsPrint = q.Fields(6).AsBoolean();
    r.AutoExportPath = q.Fields(7).AsString();
    return r;
}

TVoskDatabase& database() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(QStringLiteral("Keine Datenbankverbindung"));
    return dm->Database();
}

// "DMS.DokuTree" with its columns by name, so that a changed text keeps working.
void setDokuTree(TVoskQuery2& q, const QString& table, const QVariant& nodeId) {
    q.SetSQLByKey(QStringLiteral("DMS.DokuTree"));
    q.Bind(QStringLiteral("tablename"), table);
    q.Bind(QStringLiteral("nodeid"), nodeId);
}

void openDokuTree(TVoskQuery2& q, const QString& table, const QVariant& nodeId) {
    setDokuTree(q, table, nodeId);
    q.Open();
}

void rethrowFailed(const TVoskPipeline& reads, int index) {
    if (const std::exception_ptr e = reads.Error(index))
        std::rethrow_exception(e);
}

} // namespace

TDokuDocumentNodeData TFormDokments::DocumentNodeData(const TDokument& doc) const {
    TDokuDocumentNodeData d;
    d.Id = doc.IdText();
    d.ParentNodeIdent = doc.ParentNodeIdent();
    // A document in its type's own folder names none: it follows its type.
    const bool customFolder = doc.isCustomFolder();
    if (d.ParentNodeIdent.isEmpty() && !customFolder)
        if (const QString type = doc.DokType(); !type.isEmpty())
            d.ParentNodeIdent = DMSDokuTypes().ParentNodeId(type);
    d.Kind = customFolder ? nkCustomFolder : nkDocument;
    d.Caption = doc.Caption();
    d.DokType = doc.DokTypeDescr().isEmpty() ? doc.DokType() : doc.DokTypeDescr();
    d.DateText = doc.DateText();
    d.States = GetDokumentState(doc);
    d.Editing = d.Kind == nkDocument && doc.ChangeAllowed() &&
                (doc.TableName().isEmpty() ||
                 doc.TableName().compare(_TableName, Qt::CaseInsensitive) == 0);
    d.Image = DokumentImage(doc);
    d.MakeVisible = doc.MakeVisible();
    d.Standard = doc.IsStandard();
    return d;
}

void TFormDokments::TreeMenuCreate(bool autoAskNewDok) {
    THourGlass hourglass;
    IsLoading = true;
    m_eloInstalled.reset();
    bool failed = false;
    // Everything a rebuild reads goes to the server in one round trip; each answer is taken up,
    // or its error thrown, where it was read one by one before.
    std::optional<TVoskPipeline> reads;
    int typesAt = -1;
    try {
        TVoskDatabase& db = database();
        reads.emplace(db);
        TVoskQuery2 folders(&db);
        setDokuTree(folders, _TableName, QVariant());
        const int foldersAt = reads->Add(folders);
        const std::unique_ptr<TVoskQuery2> settings =
            DM1()->SettingsQuery({InitialPathSetting(), TDMSELO::SettingName()});
        const int settingsAt = reads->Add(*settings);
        const bool hidden = acOptDocsHiddenVisible->isChecked();
        const int browseAt =
            _KeySearch.Exists
                ? DokumentLoadTree->BrowseByKeyword(*reads, _KeySearch.Category,
                                                    _KeySearch.Value, hidden)
                : DokumentLoadTree->BrowseByRecord(*reads, _TableName, _RecId, hidden);
        // The types of the table for the type column's list.
        SqlDokuTypes->SetDatabase(&db);
        SqlDokuTypes->Bind(QStringLiteral("tablename"), _TableName);
        typesAt = reads->Add(*SqlDokuTypes);
        reads->Run();

        rethrowFailed(*reads, foldersAt);
        std::vector<TDokuFolderRow> folderRows;
        folderRows.reserve(size_t(folders.RecordCount()));
        for (; !folders.Eof(); folders.Next())
            folderRows.push_back(folderRow(folders));
        rethrowFailed(*reads, settingsAt);
        _InitialPath = TDM1::SettingOf(*settings, InitialPathSetting());
        // Asked once per build, as the state rules would on the first focused node.
        m_eloInstalled =
            TDMSELO::InstalledBy(TDM1::SettingOf(*settings, TDMSELO::SettingName()));
        TDokuTree tree = TDokuTree::FromFolders(folderRows, _InitialPath);
        rethrowFailed(*reads, browseAt);
        FAnzahl = DokumentLoadTree->BrowseCount();
        QString standardId;
        std::vector<QString> makeVisible;
        QElapsedTimer paint;
        paint.start();
        std::vector<TDokuDocumentNodeData> rows;
        rows.reserve(size_t(FAnzahl));
        for (int row = 0; DokumentLoadTree->BrowseTo(row); ++row) {
            // Painting goes on now and then, so the window does not freeze on a long list.
            if (paint.elapsed() > 50) {
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                paint.restart();
            }
            rows.push_back(DocumentNodeData(*DokumentLoadTree));
            // The user's own check-outs are watched again, unless the user said no more.
            DokumentLoadTree->ClaimHostlessCheckout();
            const TDokument& d = *DokumentLoadTree;
            if (d.isLockedByMe() && !d.LockedElsewhere() && d.CheckoutAskUser() &&
                (d.isFileLink() || QFileInfo::exists(d.CheckoutPath())))
                DocumentCheck_Add(d);
        }
        // The record's own folders go in before what they hold, whatever their ids: a folder
        // made after its documents is their parent all the same.
        QSet<QString> folderIds;
        for (const TDokuDocumentNodeData& r : rows)
            if (r.Kind == nkCustomFolder)
                folderIds.insert(r.Id.toCaseFolded());
        std::vector<bool> added(rows.size(), false);
        for (bool progress = true; progress;) {
            progress = false;
            for (size_t i = 0; i < rows.size(); ++i)
                if (!added[i] && rows[i].Kind == nkCustomFolder &&
                    (rows[i].ParentNodeIdent.isEmpty() || tree.Find(rows[i].ParentNodeIdent) ||
                     !folderIds.contains(rows[i].ParentNodeIdent.toCaseFolded()))) {
                    tree.AddDocument(rows[i]);
                    added[i] = progress = true;
                }
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            const TDokuDocumentNodeData& data = rows[i];
            if (!added[i])
                tree.AddDocument(data);
            if (standardId.isEmpty() && data.Standard)
                standardId = data.Id;
            if (data.MakeVisible && FAnzahl < 10)
                makeVisible.push_back(data.Id);
        }
        TDokuTreeNode* focus =
            InitialFocus(tree, _InitialPath, acStandardInitial->isChecked(), standardId);
        const QString focusId = focus ? focus->Id : QString();
        const bool focusTop = focus && !focus->Parent;
        DokumentLoadTree->EndBrowse();
        // The reset leaves every row collapsed: laying the view out again for that is waste.
        TreeModel->SetTree(std::move(tree));
        for (const QString& id : makeVisible)
            if (TDokuTreeNode* n = TreeModel->Tree().Find(id))
                TreeDocuments->scrollTo(TreeModel->IndexOf(n));
        if (TDokuTreeNode* n = focusId.isEmpty() ? nullptr : TreeModel->Tree().Find(focusId)) {
            const QModelIndex index = TreeModel->IndexOf(n);
            TreeDocuments->scrollTo(index);
            TreeDocuments->setCurrentIndex(index);
            // The view keeps its expanded rows by their first column.
            TreeDocuments->expand(index.siblingAtColumn(0));
        } else if (focusTop) {
            TreeDocuments->setCurrentIndex(QModelIndex());
        }
    } catch (...) {
        failed = true;
        // A browse read along with a failed read is not needed any more.
        DokumentLoadTree->EndBrowse();
        if (TDM1* dm = DM1())
            dm->LogEvent(QStringLiteral("TFormDokments.TreeMenuCreate: ") +
                         Rtl::ExceptionMessage(std::current_exception()));
        IsLoading = false;
        Dunmere::VoskShowExceptionDialog(std::current_exception(), this);
    }
    IsLoading = false;
    if (failed)
        return;
    TreeDocumentsFocusedNodeChanged(nullptr, FocusedNode());

    m_dokTypeDescrs.clear();
    rethrowFailed(*reads, typesAt);
    for (const TVoskField descr = SqlDokuTypes->FieldByName(QStringLiteral("dt_descr"));
         !SqlDokuTypes->Eof(); SqlDokuTypes->Next())
        m_dokTypeDescrs << descr.AsString();

    QString caption = makeText(3277, QStringLiteral("Objektablage"));
    TDM1* dm = DM1();
    if (TUserRights::GetAdmin_User() && dm) {
        const QString treeName =
            dm->LoadVar(QStringLiteral("SELECT dtl_description FROM dokutrees WHERE dtl_id = "
                                       "dokutrees_getid(:table)"),
                        {{QStringLiteral("table"), _TableName}})
                .toString();
        caption += QStringLiteral(" ~ [Owner] Table=%1 ID=%2 Class=%3 Tree=%4")
                       .arg(_TableName, _RecId, _ClassName, treeName);
        if (_KeySearch.Exists)
            caption += QStringLiteral(" [Mapping] Table=%1 DBRID=%2 DokField(%3)=%4")
                           .arg(_KeySearch.Category, _RecId, _KeySearch.Category,
                                _KeySearch.Value);
    } else {
        QString alias = dm ? dm->GetTableAlias(_TableName) : QString();
        if (alias.isEmpty())
            alias = _TableName;
        caption += u' ' + alias + QStringLiteral(" : ") +
                   (_KeySearch.Exists ? _KeySearch.Value : u'~' + _RecId);
    }
    SetParameter(QStringLiteral("pdtablename"),
                 _KeySearch.Exists ? _KeySearch.Category : _TableName);
    SetParameter(QStringLiteral("pddbrid"), _RecId);
    if (_KeySearch.Exists)
        SetParameter(QStringLiteral("rvalue"), _KeySearch.Value);
    const bool limit = FAnzahl >= TDokument::MaxDocuments;
    const QString limitText =
        makeText(11268, QStringLiteral("Maximale Anzahl von Datensätzen dieser Anzeige erreicht, "
                                       "bitte im DMS suchen"));
    if (limit)
        caption += u' ' + limitText;
    setWindowTitle(caption);
    if (limit)
        Korvexutils::RaiseInformation(limitText);
    UpdateFileCount(0);
    // The question leads to the import: asked only where the import is there to answer it.
    if (autoAskNewDok && FAnzahl == 0 && acDocFromFile->isEnabled() &&
        Korvexutils::RaiseQuestionYes(makeText(
            6303, QStringLiteral("Kein Dokument vorhanden, neues Dokument anlegen?"))))
        acDocFromFile->trigger();
}

void TFormDokments::HeaderRefresh() {
    const QString id = GetNodeId(FocusedNode());
    TreeMenuCreate(false);
    if (TreeMenuSelect(id) && NodeIsFolder(FocusedNode()))
        TreeDocuments->expand(TreeDocuments->currentIndex().siblingAtColumn(0));
    TreeDocuments->setFocus();
}

void TFormDokments::RequestRebuild(const QString& nodeId) {
    m_rebuildId = nodeId;
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        Rtl::Guarded(
            [this] {
                m_rebuildPending = false;
                const QString id = m_rebuildId;
                TreeMenuCreate(false);
                if (!id.isEmpty() && !TreeMenuSelect(id))
                    Korvexutils::RaiseInformation(QStringLiteral("Node ") + id +
                                                  QStringLiteral(" nicht gefunden."));
            },
            this);
    });
}

void TFormDokments::SperrDokuAction(QObject*, QObject*,
                                    UModulFormSeams::TSperrDokuActionType ActionType) {
    if (ActionType == UModulFormSeams::atNodeUpdate) {
        CheckNodeAndUpdate();
        TreeDocumentsFocusedNodeChanged(nullptr, FocusedNode());
    } else {
        // The document may have a new id now (a new revision): the current document says which.
        TVoskRibbonTab* tab = RibbonDokumentMain->ActiveTab();
        const QString id = Dokument1()->IdText();
        TreeMenuCreate(false);
        TreeMenuSelect(id);
        TreeDocumentsFocusedNodeChanged(nullptr, FocusedNode());
        if (tab && tab->IsTabVisible())
            RibbonDokumentMain->SetActiveTab(tab);
    }
    DocumentCheck_Follow(ActionType);
}

// ---- one node ----------------------------------------------------------------------------------

void TFormDokments::applyFolderRow(TDokuTreeNode* node) {
    TVoskQuery2 q(&database());
    openDokuTree(q, _TableName, node->Id);
    if (q.IsEmpty())
        return;
    node->States = TDokuTree::FolderStates(folderRow(q), _InitialPath);
    TreeModel->NodeChanged(node);
}

void TFormDokments::ResetStandardImages(TDokuTreeNode* node) {
    const auto reset = [this](TDokuTreeNode* n) {
        if (n->Image == imgStandard) {
            n->Image = imgDms;
            TreeModel->NodeChanged(n);
        }
    };
    if (node) {
        reset(node);
        for (auto& c : node->Children)
            ResetStandardImages(c.get());
    } else {
        TreeModel->Tree().ForEach(reset);
    }
}

void TFormDokments::moveStoredFileToType() {
    TVoskDatabase& db = Dokument1()->Database();
    TDCFileMethods store(&db);
    const int id = Dokument1()->Id();
    try {
        TVoskTransaction tx(db);
        // Read again and held: only a type that still differs from the stored one moves the
        // file, and no one else moves it meanwhile.
        TVoskQuery2 q(&db, QStringLiteral("SELECT pd_doktype, pd_dmsremotefiledoktype, "
                                          "pd_dmsremotefile FROM picndoku WHERE pd_id = :id "
                                          "FOR UPDATE"));
        q.Bind(QStringLiteral("id"), id).Open();
        if (q.IsEmpty() || q.Fields(2).IsNull() ||
            q.Fields(0).AsString() == q.Fields(1).AsString()) {
            tx.Commit();
            return;
        }
        const QString type = q.Fields(0).AsString();
        const QString from = q.Fields(2).AsString();
        const QString to =
            TDokument::DMSArchivePath(type) + u'/' + from.section(u'/', -1);
        store.MoveFile(from, to);
        Dokument1()->Edit();
        Dokument1()->FieldByName(QString::fromLatin1(TDokument::fnRemoteFileDokType))
            .SetValue(type.isEmpty() ? QVariant() : QVariant(type));
        Dokument1()->FieldByName(QString::fromLatin1(TDokument::fnRemoteArchive))
            .SetValue(Dokument1()->DMSArchiveIdent(QStringLiteral("***")));
        Dokument1()->FieldByName(QString::fromLatin1(TDokument::fnRemoteFile)).SetValue(to);
        Rtl::FaultPoint("TFormDokments.CheckNodeAndUpdate.post");
        Dokument1()->Post(false);
        tx.Commit();
    } catch (...) {
        // The transaction took the move back; the document shows what is stored.
        if (Dokument1()->InEdit())
            Dokument1()->Cancel();
        if (Dokument1()->HasRecord())
            Dokument1()->AssignToDokId(id, _TableName, _RecId);
        throw;
    }
}

void TFormDokments::CheckNodeAndUpdate() {
    TDokuTreeNode* node = FocusedNode();
    if (!node)
        return;
    if (NodeIsDocument(node)) {
        CheckDokument1Assignment(node);
        if (Dokument1()->IsStandard() != (node->Image == imgStandard))
            ResetStandardImages(nullptr);
        const TDokuDocumentNodeData d = DocumentNodeData(*Dokument1());
        TDokuTree::AssignDocument(node, d);
        TreeModel->NodeChanged(node);
        TDokuTreeNode* parent = FindNode(d.ParentNodeIdent);
        if (!parent || parent == node)
            parent = GetRootNode();
        if (parent != node->Parent) {
            // Never under itself or one of its own children.
            bool inside = false;
            for (TDokuTreeNode* p = parent; p; p = p->Parent)
                inside = inside || p == node;
            if (!inside) {
                if (parent)
                    TreeDocuments->expand(TreeModel->IndexOf(parent, 0));
                TreeModel->MoveNode(node, parent);
                TreeModel->MarkFilled(parent);
                const QModelIndex index = TreeModel->IndexOf(node);
                TreeDocuments->scrollTo(index);
                TreeDocuments->setCurrentIndex(index);
            }
        }
        if (Dokument1()->isDMSDokument() && !Dokument1()->IsChanged() &&
            Dokument1()->DokType() !=
                Dokument1()->FieldByName(QString::fromLatin1(TDokument::fnRemoteFileDokType))
                    .AsString())
            moveStoredFileToType();
    }
    TreeDocumentsFocusedNodeChanged(nullptr, FocusedNode());
    if (node && node->Kind == nkFolder && FocusedNode() == node)
        applyFolderRow(node);
}

// ---- lookup and selection ----------------------------------------------------------------------

TDokuTreeNode* TFormDokments::FindNode(const QString& nodeId, bool checkExists,
                                       TDokuTreeNode* parentSearchNode) const {
    if (nodeId.isEmpty())
        return nullptr;
    TDokuTreeNode* found = TreeModel->Tree().Find(nodeId);
    if (found && parentSearchNode) {
        bool below = false;
        for (TDokuTreeNode* p = found->Parent; p && !below; p = p->Parent)
            below = p == parentSearchNode;
        if (!below)
            found = nullptr;
    }
    if (!found && checkExists)
        Korvexutils::RaiseCriticalError(QStringLiteral("Node ") + nodeId +
                                        QStringLiteral(" nicht gefunden."));
    return found;
}

bool TFormDokments::TreeMenuSelect(const QString& nodeId) {
    TDokuTreeNode* n = FindNode(nodeId);
    if (!n)
        return false;
    const QModelIndex index = TreeModel->IndexOf(n);
    TreeDocuments->scrollTo(index);
    TreeDocuments->setCurrentIndex(index);
    return true;
}

TDokuTreeNode* TFormDokments::FocusedNode() const {
    return TreeModel->NodeOf(TreeDocuments->currentIndex());
}

TDokuTreeNode* TFormDokments::GetRootNode() const { return TreeModel->Tree().RootNode(); }

bool TFormDokments::NodeIsRoot(const TDokuTreeNode* node) const {
    return !node || node == GetRootNode();
}

bool TFormDokments::NodeIsFolder(const TDokuTreeNode* node) const {
    if (!node)
        node = FocusedNode();
    return node && node->IsFolder();
}

bool TFormDokments::NodeIsCustomFolder(const TDokuTreeNode* node) const {
    if (!node)
        node = FocusedNode();
    return node && node->Kind == nkCustomFolder;
}

bool TFormDokments::NodeIsDocument(const TDokuTreeNode* node) const {
    if (!node)
        node = FocusedNode();
    return node && node->IsDocument();
}

QString TFormDokments::GetNodeId(const TDokuTreeNode* node) const {
    if (!node)
        node = FocusedNode();
    return node ? node->Id : QString();
}

QString TFormDokments::GetNodeCaption(const TDokuTreeNode* node) const {
    if (!node)
        node = FocusedNode();
    return node ? node->Caption : QString();
}

void TFormDokments::UpdateFileCount(int increment) {
    FAnzahl += increment;
    const int nr = int(RegDokumentTree->property("Tag").toLongLong());
    const QString caption = QStringLiteral("&1 ") +
                            makeText(nr, QStringLiteral("Dokumentstruktur")) +
                            QStringLiteral(" (%1)").arg(FAnzahl);
    // The same text again would lay the tab row out anew.
    if (pcDokTree->tabText(pcDokTree->indexOf(RegDokumentTree)) != caption)
        pcDokTree->setTabText(pcDokTree->indexOf(RegDokumentTree), caption);
}
