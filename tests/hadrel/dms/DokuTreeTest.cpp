// The document tree's builder, model and state rules without a window.

#include <UImpDoku.State.h>
#include <UImpDoku.Tree.h>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

using namespace DokState;

namespace {

TDokuFolderRow folder(int id, std::optional<int> parent, const QString& nodeId, int image = 151,
                      std::optional<int> pos = std::nullopt) {
    TDokuFolderRow r;
    r.DtnId = id;
    r.ParentId = parent;
    r.NodeId = nodeId;
    r.Caption = QStringLiteral("Ordner ") + nodeId;
    r.Image = image;
    r.Position = pos;
    return r;
}

TDokuDocumentNodeData document(const QString& id, const QString& parent) {
    TDokuDocumentNodeData d;
    d.Id = id;
    d.ParentNodeIdent = parent;
    d.Caption = QStringLiteral("Dokument ") + id;
    return d;
}

QString path(const TDokuTreeNode* n) {
    QStringList parts;
    for (; n; n = n->Parent)
        parts.prepend(n->Id);
    return parts.join(u'/');
}

QStringList childIds(const TDokuTreeNode* n) {
    QStringList ids;
    for (const auto& c : n->Children)
        ids << c->Id;
    return ids;
}

// root(1) -> belege(2) -> rechnungen(3); orphan(10) names a parent that is not there;
// ring 20 -> 21 -> 20 is bad configuration.
std::vector<TDokuFolderRow> sampleRows() {
    std::vector<TDokuFolderRow> rows = {
        folder(3, 2, QStringLiteral("Rechnungen"), 151, 5),
        folder(1, std::nullopt, QStringLiteral("root"), 1),
        folder(2, 1, QStringLiteral("belege"), 151, 10),
        folder(4, 1, QStringLiteral("vertraege"), 151, 2),
        folder(10, 99, QStringLiteral("waise"), 151),
        folder(11, 10, QStringLiteral("waisenkind"), 151),
        folder(20, 21, QStringLiteral("ring-a"), 151),
        folder(21, 20, QStringLiteral("ring-b"), 151),
    };
    rows[2].IsPrint = true;
    rows[3].IsPrint = false;
    rows[3].AutoExportPath = QStringLiteral("/export/vertraege");
    return rows;
}

TEST(DokuTreeTest, FoldersHangUnderTheirParentsAndOrphansUnderTheFirstTopNode) {
    const TDokuTree tree = TDokuTree::FromFolders(sampleRows(), QStringLiteral("belege"));
    ASSERT_EQ(tree.TopLevel().size(), 1u);
    const TDokuTreeNode* root = tree.RootNode();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Kind, nkRoot);
    // Ordered by position; orphans and the ring after those with one.
    EXPECT_EQ(childIds(root), (QStringList{QStringLiteral("vertraege"), QStringLiteral("belege"),
                                           QStringLiteral("waise"), QStringLiteral("ring-b")}));
    EXPECT_EQ(path(tree.Find(QStringLiteral("RECHNUNGEN"))),
              QStringLiteral("root/belege/Rechnungen"));
    EXPECT_EQ(path(tree.Find(QStringLiteral("waisenkind"))),
              QStringLiteral("root/waise/waisenkind"));
    // The ring is cut where an id comes round again.
    EXPECT_EQ(path(tree.Find(QStringLiteral("ring-a"))), QStringLiteral("root/ring-b/ring-a"));
    EXPECT_EQ(tree.Find(QStringLiteral("belege"))->States,
              ListOutputActive | ListOutputDefined | InitialFolder);
    EXPECT_EQ(tree.Find(QStringLiteral("vertraege"))->States, ListOutputDefined | AutoExport);
    EXPECT_EQ(tree.Find(QStringLiteral("belege"))->Kind, nkFolder);
}

TEST(DokuTreeTest, DocumentsFillTheirFoldersUpwardsAndUnknownFoldersGoToTheRoot) {
    TDokuTree tree = TDokuTree::FromFolders(sampleRows(), {});
    const TDokuTreeNode* doc = tree.AddDocument(document(QStringLiteral("7"),
                                                         QStringLiteral("rechnungen")));
    EXPECT_EQ(path(doc), QStringLiteral("root/belege/Rechnungen/7"));
    EXPECT_EQ(tree.Find(QStringLiteral("Rechnungen"))->Image, imgFolderFull);
    EXPECT_EQ(tree.Find(QStringLiteral("belege"))->Image, imgFolderFull);
    EXPECT_EQ(tree.RootNode()->Image, imgRoot);
    EXPECT_EQ(tree.Find(QStringLiteral("vertraege"))->Image, imgFolderEmpty);
    EXPECT_EQ(path(tree.AddDocument(document(QStringLiteral("8"), QStringLiteral("gibtsnicht")))),
              QStringLiteral("root/8"));
    EXPECT_EQ(path(tree.AddDocument(document(QStringLiteral("9"), QString()))),
              QStringLiteral("root/9"));
    // A document goes into a custom folder added before it; documents follow the folders.
    TDokuDocumentNodeData custom = document(QStringLiteral("12"), QStringLiteral("belege"));
    custom.Kind = nkCustomFolder;
    tree.AddDocument(custom);
    EXPECT_EQ(path(tree.AddDocument(document(QStringLiteral("13"), QStringLiteral("12")))),
              QStringLiteral("root/belege/12/13"));
    EXPECT_EQ(childIds(tree.Find(QStringLiteral("belege"))),
              (QStringList{QStringLiteral("Rechnungen"), QStringLiteral("12")}));
    EXPECT_EQ(tree.DocumentCount(), 5);
    // A node taken out takes the documents of its subtree out of the count, and only those.
    tree.Take(tree.Find(QStringLiteral("12")));
    EXPECT_EQ(tree.DocumentCount(), 3);
    tree.Take(tree.Find(QStringLiteral("Rechnungen")));
    EXPECT_EQ(tree.DocumentCount(), 2);

    // Without a root folder the documents stand at the top.
    TDokuTree flat = TDokuTree::FromFolders({folder(1, std::nullopt, QStringLiteral("a"))}, {});
    EXPECT_EQ(flat.RootNode(), nullptr);
    EXPECT_EQ(path(flat.AddDocument(document(QStringLiteral("5"), QString()))),
              QStringLiteral("5"));
}

TEST(DokuTreeTest, NumericAndTextIdsNeverShareAKeyAndTheFirstNodeKeepsItsId) {
    // A folder whose node id is a number competes with the document of that id; "07" is
    // another id than "7".
    TDokuTree tree = TDokuTree::FromFolders(
        {folder(1, std::nullopt, QStringLiteral("root"), imgRoot),
         folder(2, 1, QStringLiteral("7")), folder(3, 1, QStringLiteral("07"))},
        {});
    TDokuTreeNode* folder7 = tree.Find(QStringLiteral("7"));
    ASSERT_NE(folder7, nullptr);
    EXPECT_EQ(folder7->Kind, nkFolder);
    const TDokuTreeNode* doc = tree.AddDocument(document(QStringLiteral("7"), QStringLiteral("07")));
    EXPECT_EQ(path(doc), QStringLiteral("root/07/7"));
    EXPECT_EQ(tree.Find(QStringLiteral("7")), folder7);
    // Once the folder is gone its id is free; a rename moves a node between the two kinds.
    tree.Take(folder7);
    EXPECT_EQ(tree.Find(QStringLiteral("7")), nullptr);
    TDokuTreeNode* renamed = tree.Find(QStringLiteral("07"));
    tree.Rename(renamed, QStringLiteral("70"));
    EXPECT_EQ(tree.Find(QStringLiteral("07")), nullptr);
    EXPECT_EQ(tree.Find(QStringLiteral("70")), renamed);
    tree.Rename(renamed, QStringLiteral("Ablage"));
    EXPECT_EQ(tree.Find(QStringLiteral("70")), nullptr);
    EXPECT_EQ(tree.Find(QStringLiteral("ABLAGE")), renamed);
}

TEST(DokuTreeTest, FocusGoesToTheInitialFolderThenTheStandardDocumentThenTheRoot) {
    TDokuTree tree = TDokuTree::FromFolders(sampleRows(), {});
    tree.AddDocument(document(QStringLiteral("7"), QStringLiteral("belege")));
    EXPECT_EQ(InitialFocus(tree, QStringLiteral("VERTRAEGE"), true, QStringLiteral("7"))->Id,
              QStringLiteral("vertraege"));
    EXPECT_EQ(InitialFocus(tree, QStringLiteral("weg"), true, QStringLiteral("7"))->Id,
              QStringLiteral("7"));
    EXPECT_EQ(InitialFocus(tree, QStringLiteral("weg"), false, QStringLiteral("7"))->Id,
              QStringLiteral("root"));
    EXPECT_EQ(InitialFocus(tree, {}, true, QStringLiteral("99"))->Id, QStringLiteral("root"));
}

TEST(DokuTreeTest, TheModelFollowsMovesAndInsertsOfNodes) {
    TDokuTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TDokuTree tree = TDokuTree::FromFolders(sampleRows(), {});
    for (int i = 0; i < 30; ++i)
        tree.AddDocument(document(QString::number(100 + i),
                                  i % 2 ? QStringLiteral("belege") : QStringLiteral("vertraege")));
    model.SetTree(std::move(tree));
    TDokuTreeNode* doc = model.Tree().Find(QStringLiteral("101"));
    model.MoveNode(doc, model.Tree().Find(QStringLiteral("Rechnungen")));
    EXPECT_EQ(path(doc), QStringLiteral("root/belege/Rechnungen/101"));
    EXPECT_EQ(model.IndexOf(doc).data().toString(), QStringLiteral("Dokument 101"));
    auto node = std::make_unique<TDokuTreeNode>();
    node->Id = QStringLiteral("neu");
    node->Kind = nkCustomFolder;
    node->Position = 1000000;
    TDokuTreeNode* added = model.AddNode(std::move(node), model.Tree().Find(QStringLiteral("belege")));
    // A new custom folder stands after the folders and before the documents.
    EXPECT_EQ(model.IndexOf(added).row(), 1);
    // A renamed node is found under its new id only; an id another node holds stays with it.
    model.Tree().Rename(added, QStringLiteral("Umbenannt"));
    EXPECT_EQ(model.Tree().Find(QStringLiteral("neu")), nullptr);
    EXPECT_EQ(model.Tree().Find(QStringLiteral("umbenannt")), added);
    model.Tree().Rename(added, QStringLiteral("103"));
    EXPECT_NE(model.Tree().Find(QStringLiteral("103")), added);
    EXPECT_EQ(model.Tree().Find(QStringLiteral("umbenannt")), nullptr);
    // A removed subtree leaves the lookup with it.
    TDokuTreeNode* rechnungen = model.Tree().Find(QStringLiteral("Rechnungen"));
    model.RemoveNode(rechnungen);
    EXPECT_EQ(model.Tree().Find(QStringLiteral("rechnungen")), nullptr);
    EXPECT_EQ(model.Tree().Find(QStringLiteral("101")), nullptr);
    EXPECT_EQ(path(model.Tree().Find(QStringLiteral("103"))), QStringLiteral("root/belege/103"));
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(DokuStateTest, BitsGiveTheLabelTheIconsAndTheLockState) {
    const int s = OtherTable | ListOutputActive | ListOutputDefined | Locked | CheckedOut |
                  HasRevisions | Linked | ReportPrint | InitialFolder;
    EXPECT_EQ(StatesText(s, QStringLiteral("Lieferschein"), QStringLiteral("Lager")),
              QStringLiteral("aus anderer Tabelle\r\nListenausgabe definiert und aktiviert\r\n"
                             "Ausgecheckt\r\nRevisionen vorhanden\r\nVerlinkt « Lager\r\n"
                             "Report drucken » Lieferschein\r\nInitial-Ablageordner"));
    EXPECT_EQ(StateIcons(s), (QList<int>{206, 28, 268, 92, 275, 37}));
    EXPECT_EQ(StateIcons(ListOutputDefined), QList<int>{265});
    EXPECT_EQ(StatesText(0, {}, {}), QString());

    EXPECT_EQ(LockStateOf(LockedByMe | Locked | CheckedOut).icon, 271);
    EXPECT_EQ(LockStateOf(LockedByMe | Locked | CheckedOut).text,
              QStringLiteral("Ausgecheckt (von mir)"));
    EXPECT_EQ(LockStateOf(LockedByMe | Locked).text, QStringLiteral("Gesperrt (von mir)"));
    EXPECT_EQ(LockStateOf(Locked | CheckedOut).icon, 268);
    EXPECT_EQ(LockStateOf(Locked).text, QStringLiteral("Gesperrt"));
    EXPECT_EQ(LockStateOf(Locked).icon, 267);
    EXPECT_FALSE(LockStateOf(Standard).any());

    // Four icons need 59 pixels: a cell from 0 to 58 overflows, one to 59 does not.
    EXPECT_TRUE(StateIconsOverflow(4, 0, 58));
    EXPECT_FALSE(StateIconsOverflow(4, 0, 59));
}

TEST(DokuStateTest, ActionsFollowTheNodeKindAndTheLock) {
    NodeFacts folderFacts;
    folderFacts.kind = nkFolder;
    folderFacts.initialFolder = true;
    const ActionState f = ActionRules(folderFacts);
    EXPECT_FALSE(f.isDok);
    EXPECT_TRUE(f.barFileActions);
    EXPECT_TRUE(f.barDocuTree);
    EXPECT_FALSE(f.barDocumentView);
    EXPECT_FALSE(f.editTabVisible);
    EXPECT_TRUE(f.folderNewEnabled);
    EXPECT_TRUE(f.folderInitialChecked);
    EXPECT_FALSE(f.deleteRenameEnabled);

    NodeFacts custom;
    custom.kind = nkCustomFolder;
    const ActionState c = ActionRules(custom);
    EXPECT_TRUE(c.isDok && c.isFolder && c.isCustom);
    EXPECT_FALSE(c.folderNewEnabled);
    EXPECT_TRUE(c.documentInfoPropertiesVisible);
    EXPECT_TRUE(c.deleteRenameEnabled);

    NodeFacts free;
    free.kind = nkDocument;
    free.dmsViewDokument = free.dmsEditDokument = true;
    const ActionState d = ActionRules(free);
    EXPECT_TRUE(d.documentViewInternVisible);
    EXPECT_TRUE(d.docEditInternalVisible);
    EXPECT_TRUE(d.docEditRevisionExternalEnabled);
    EXPECT_FALSE(d.docEditRevisionUnlockEnabled);
    EXPECT_EQ(d.docEditRevisionUnlockTextNr, 17926);

    NodeFacts mine = free;
    mine.locked = mine.lockedByMe = true;
    mine.lockedPath = mine.checkoutFileName = QStringLiteral("/home/anna/KORVEX ERP/a.tif");
    const ActionState m = ActionRules(mine);
    EXPECT_TRUE(m.isCheckout);
    EXPECT_FALSE(m.docEditInternalVisible); // a working copy exists
    EXPECT_FALSE(m.docEditRevisionExternalEnabled);
    EXPECT_TRUE(m.docEditRevisionCheckoutVisible);
    EXPECT_TRUE(m.docEditRevisionUnlockEnabled);
    EXPECT_EQ(m.docEditRevisionUnlockTextNr, 17957);

    NodeFacts theirs = free;
    theirs.locked = true;
    const ActionState t = ActionRules(theirs);
    EXPECT_FALSE(t.docEditInternalVisible);
    EXPECT_FALSE(t.isCheckout);
    EXPECT_TRUE(t.docEditRevisionUnlockEnabled);
}

} // namespace
