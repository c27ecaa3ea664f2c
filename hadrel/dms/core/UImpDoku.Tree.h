#pragma once
// The document tree of a record: its folders (rows of the named SQL "DMS.DokuTree") with the
// record's documents hung into them, as a pure builder and an item model. The builder works on
// hash maps keyed by the node ids (numbers for the documents' ids, lower-cased text for the
// others), so a tree of many folders and a thousand documents builds in one pass; the window's
// tree view shows the model.
//
// Columns, in order: NodeType, NodeId, Caption, DragSource, DokType, Pos, Date, States, Editing.
// Children are kept in ascending Pos order (folders by their position, documents after them in
// the order they were added).

#include "UImpDoku.State.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct TDokuTreeNode {
    int Kind = DokState::nkFolder;
    QString Id;
    QString Caption;
    QString DokType;
    int Position = 1000000;
    QString DateText; // as the date column shows it
    int States = 0;
    bool Editing = false;
    int Image = DokState::imgFolderEmpty;
    TDokuTreeNode* Parent = nullptr; // null for a top-level node
    std::vector<std::unique_ptr<TDokuTreeNode>> Children;
    bool Counted = false; // in the tree's DocumentCount

    bool IsDocument() const { return Kind == DokState::nkDocument || Kind == DokState::nkCustomFolder; }
    bool IsFolder() const { return Kind == DokState::nkFolder || Kind == DokState::nkCustomFolder; }
};

// A row of "DMS.DokuTree".
struct TDokuFolderRow {
    int DtnId = 0;
    std::optional<int> ParentId;
    QString NodeId;
    QString Caption;
    int Image = DokState::imgFolderEmpty;
    std::optional<int> Position;
    std::optional<bool> IsPrint;
    QString AutoExportPath;
};

// A document as the tree shows it.
struct TDokuDocumentNodeData {
    QString Id;
    QString ParentNodeIdent;
    int Kind = DokState::nkDocument; // or nkCustomFolder
    QString Caption;
    QString DokType;
    QString DateText; // dd.MM.yy hh:mm
    int States = 0;
    bool Editing = false;
    int Image = DokState::imgOther;
    bool MakeVisible = false;
    bool Standard = false;
};

// The folder structure: folders and documents as nodes, a lookup by id (ignoring case; the first
// node added under an id keeps it) and what the window needs to focus.
class TDokuTree final {
public:
    TDokuTree() = default;
    TDokuTree(TDokuTree&&) = default;
    TDokuTree& operator=(TDokuTree&&) = default;

    // Builds the folders. A row whose parent is not among the rows heads a subtree under the
    // first top-level node; a ring of parents is cut at the first repeated id. initialPath marks
    // its folder (state bit 32768).
    static TDokuTree FromFolders(const std::vector<TDokuFolderRow>& rows,
                                 const QString& initialPath);
    // The states a folder row gives its node.
    static int FolderStates(const TDokuFolderRow& row, const QString& initialPath);

    // Hangs a document into the folder its ParentNodeIdent names, else under the root node;
    // folders between it and the top switch from the empty to the full image.
    TDokuTreeNode* AddDocument(const TDokuDocumentNodeData& doc);

    const std::vector<std::unique_ptr<TDokuTreeNode>>& TopLevel() const { return m_top; }
    TDokuTreeNode* Find(const QString& id) const;
    // The first top-level node when it is the root folder, else null (the invisible root).
    TDokuTreeNode* RootNode() const;
    int DocumentCount() const { return m_documents; }
    // Every node in depth-first order.
    void ForEach(const std::function<void(TDokuTreeNode*)>& f) const;

    // Detaches node from its parent and hangs it under newParent (null: top level) at its sorted
    // place; keeps the lookup. Returns the node.
    TDokuTreeNode* Move(TDokuTreeNode* node, TDokuTreeNode* newParent);
    // Detaches node with its subtree from the tree, from the lookup and from DocumentCount.
    std::unique_ptr<TDokuTreeNode> Take(TDokuTreeNode* node);
    // The empty-folder image of parent and its ancestors below the top becomes the full one;
    // changed hears of each node that switched.
    static void MarkFilled(TDokuTreeNode* parent,
                           const std::function<void(TDokuTreeNode*)>& changed = {});
    static void SortChildren(std::vector<std::unique_ptr<TDokuTreeNode>>& children);
    std::vector<std::unique_ptr<TDokuTreeNode>>& ChildrenOf(TDokuTreeNode* parent) {
        return parent ? parent->Children : m_top;
    }
    // Where a node of position pos goes among children: after every node whose position is not
    // greater.
    static size_t InsertIndex(const std::vector<std::unique_ptr<TDokuTreeNode>>& children,
                              int pos);
    TDokuTreeNode* Insert(std::unique_ptr<TDokuTreeNode> node, TDokuTreeNode* parent);
    // Gives node another id; the lookup follows (the new id stays with an earlier holder).
    void Rename(TDokuTreeNode* node, const QString& id);
    // What a document shows of itself: caption, type, date, states, editing and image.
    static void AssignDocument(TDokuTreeNode* node, const TDokuDocumentNodeData& doc);

private:
    void index(TDokuTreeNode* node);
    void unindex(TDokuTreeNode* node);
    // Takes the node out of its parent's children; the lookup by id is left as it is.
    std::unique_ptr<TDokuTreeNode> detach(TDokuTreeNode* node);

    std::vector<std::unique_ptr<TDokuTreeNode>> m_top;
    // An id written as a plain decimal number is found by its value, any other by its
    // lower-cased text: one id never has two keys, so the first node under it keeps it.
    QHash<qint64, TDokuTreeNode*> m_byNumber;
    QHash<QString, TDokuTreeNode*> m_byId;
    int m_documents = 0;
};

// Where the window sets the focus after a build: the initial folder, else (with standardInitial)
// the first standard document, else the root node.
TDokuTreeNode* InitialFocus(const TDokuTree& tree, const QString& initialPath,
                            bool standardInitial, const QString& standardId);

// The model of the tree view. It owns the tree; the view addresses nodes through it.
class TDokuTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column {
        colNodeType,
        colNodeId,
        colCaption,
        colDragSource,
        colDokType,
        colPos,
        colDate,
        colStates,
        colEditing,
        ColumnCount
    };
    enum Role { KindRole = Qt::UserRole + 1, StatesRole, ImageRole, EditingRole, IdRole };

    explicit TDokuTreeModel(QObject* parent = nullptr);

    // Replaces the tree (a reset of the model).
    void SetTree(TDokuTree tree);
    TDokuTree& Tree() { return m_tree; }
    void Clear() { SetTree(TDokuTree()); }

    void SetHeaders(const QStringList& captions) { m_headers = captions; }
    // Gives the Decoration role of the caption column: the icon of an image index.
    std::function<QVariant(int image)> IconProvider;

    TDokuTreeNode* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const TDokuTreeNode* node, int column = colCaption) const;

    // A node whose fields changed; its row is redrawn.
    void NodeChanged(TDokuTreeNode* node);
    // Moves a node under newParent (null: top level) with the view's knowledge.
    void MoveNode(TDokuTreeNode* node, TDokuTreeNode* newParent);
    // Adds a node under parent at its sorted place.
    TDokuTreeNode* AddNode(std::unique_ptr<TDokuTreeNode> node, TDokuTreeNode* parent);
    // Folders that have come to hold a node show so: TDokuTree::MarkFilled, rows redrawn.
    void MarkFilled(TDokuTreeNode* parent);
    // Removes a node with its subtree.
    void RemoveNode(TDokuTreeNode* node);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TDokuTree m_tree;
    QStringList m_headers;
};
