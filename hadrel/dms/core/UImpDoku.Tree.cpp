#include "UImpDoku.Tree.h"

#include <QSet>

#include <algorithm>

using namespace DokState;

// ---- building ----------------------------------------------------------------------------------

int TDokuTree::FolderStates(const TDokuFolderRow& row, const QString& initialPath) {
    int s = 0;
    if (row.IsPrint.value_or(false))
        s |= ListOutputActive;
    if (row.IsPrint.has_value())
        s |= ListOutputDefined;
    if (!row.AutoExportPath.isEmpty())
        s |= AutoExport;
    if (!initialPath.isEmpty() && row.NodeId == initialPath)
        s |= InitialFolder;
    return s;
}

namespace {
// Digits without a leading zero ("0" itself aside) and short enough for a qint64: the one text
// of its number, so "7" and "07" stay two ids.
bool plainNumber(QStringView id, qint64* n) {
    const qsizetype size = id.size();
    if (size == 0 || size > 18 || (id[0] == u'0' && size > 1))
        return false;
    qint64 v = 0;
    for (const QChar c : id) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *n = v;
    return true;
}
} // namespace

void TDokuTree::index(TDokuTreeNode* node) {
    if (qint64 n = 0; plainNumber(node->Id, &n)) {
        if (!m_byNumber.contains(n))
            m_byNumber.insert(n, node);
    } else if (!node->Id.isEmpty()) {
        const QString key = node->Id.toLower();
        if (!m_byId.contains(key))
            m_byId.insert(key, node);
    }
}

void TDokuTree::unindex(TDokuTreeNode* node) {
    // Only the node the lookup holds: another node may have taken the id over.
    const auto drop = [node](auto& hash, const auto& key) {
        const auto found = hash.constFind(key);
        if (found != hash.constEnd() && found.value() == node)
            hash.erase(found);
    };
    if (qint64 n = 0; plainNumber(node->Id, &n))
        drop(m_byNumber, n);
    else
        drop(m_byId, node->Id.toLower());
}

size_t TDokuTree::InsertIndex(const std::vector<std::unique_ptr<TDokuTreeNode>>& children,
                              int pos) {
    const auto it = std::upper_bound(
        children.begin(), children.end(), pos,
        [](int p, const std::unique_ptr<TDokuTreeNode>& n) { return p < n->Position; });
    return size_t(it - children.begin());
}

void TDokuTree::SortChildren(std::vector<std::unique_ptr<TDokuTreeNode>>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const auto& a, const auto& b) { return a->Position < b->Position; });
}

TDokuTreeNode* TDokuTree::Insert(std::unique_ptr<TDokuTreeNode> node, TDokuTreeNode* parent) {
    auto& children = ChildrenOf(parent);
    node->Parent = parent;
    TDokuTreeNode* raw = node.get();
    children.insert(children.begin() + ptrdiff_t(InsertIndex(children, raw->Position)),
                    std::move(node));
    index(raw);
    return raw;
}

TDokuTree TDokuTree::FromFolders(const std::vector<TDokuFolderRow>& rows,
                                 const QString& initialPath) {
    TDokuTree tree;
    QHash<int, int> rowOfId; // dtn_id -> index of its first row
    QHash<int, std::vector<int>> childRows; // dtn_parentid -> row indexes, in row order
    for (int i = 0; i < int(rows.size()); ++i) {
        if (!rowOfId.contains(rows[size_t(i)].DtnId))
            rowOfId.insert(rows[size_t(i)].DtnId, i);
        if (rows[size_t(i)].ParentId)
            childRows[*rows[size_t(i)].ParentId].push_back(i);
    }
    std::vector<bool> used(rows.size(), false);

    // Adds the row and, recursively, every row below it that is still unused. The stack keeps
    // deep trees off the call stack.
    const auto addSubtree = [&](int top, TDokuTreeNode* parent) {
        std::vector<std::pair<int, TDokuTreeNode*>> pending{{top, parent}};
        while (!pending.empty()) {
            const auto [i, under] = pending.back();
            pending.pop_back();
            if (used[size_t(i)])
                continue;
            used[size_t(i)] = true;
            const TDokuFolderRow& r = rows[size_t(i)];
            auto node = std::make_unique<TDokuTreeNode>();
            node->Image = r.Image;
            node->Kind = r.Image == imgRoot ? nkRoot : nkFolder;
            node->Id = r.NodeId;
            node->Caption = r.Caption;
            node->Position = r.Position.value_or(1000000);
            node->States = FolderStates(r, initialPath);
            node->Parent = under;
            TDokuTreeNode* raw = node.get();
            tree.ChildrenOf(under).push_back(std::move(node));
            tree.index(raw);
            const auto kids = childRows.constFind(r.DtnId);
            if (kids != childRows.cend())
                for (auto k = kids->rbegin(); k != kids->rend(); ++k)
                    if (!used[size_t(*k)])
                        pending.emplace_back(*k, raw);
        }
    };

    for (int i = 0; i < int(rows.size()); ++i) {
        if (used[size_t(i)])
            continue;
        // Climb to the topmost ancestor among the rows still unused; a ring ends at the first
        // id seen twice.
        int top = i;
        QSet<int> seen{rows[size_t(i)].DtnId};
        for (;;) {
            const auto& parent = rows[size_t(top)].ParentId;
            if (!parent)
                break;
            const auto it = rowOfId.constFind(*parent);
            if (it == rowOfId.cend() || used[size_t(*it)] || seen.contains(*parent))
                break;
            seen.insert(*parent);
            top = *it;
        }
        addSubtree(top, tree.m_top.empty() ? nullptr : tree.m_top.front().get());
    }
    std::function<void(std::vector<std::unique_ptr<TDokuTreeNode>>&)> sortAll =
        [&](std::vector<std::unique_ptr<TDokuTreeNode>>& children) {
            SortChildren(children);
            for (auto& c : children)
                sortAll(c->Children);
        };
    sortAll(tree.m_top);
    return tree;
}

void TDokuTree::MarkFilled(TDokuTreeNode* parent,
                           const std::function<void(TDokuTreeNode*)>& changed) {
    for (TDokuTreeNode* n = parent; n && n->Parent; n = n->Parent)
        if (n->Image == imgFolderEmpty) {
            n->Image = imgFolderFull;
            if (changed)
                changed(n);
        }
    // The top-level node itself keeps its image ("below the top").
}

TDokuTreeNode* TDokuTree::RootNode() const {
    if (!m_top.empty() && m_top.front()->Kind == nkRoot)
        return m_top.front().get();
    return nullptr;
}

TDokuTreeNode* TDokuTree::Find(const QString& id) const {
    if (qint64 n = 0; plainNumber(id, &n))
        return m_byNumber.value(n);
    return id.isEmpty() ? nullptr : m_byId.value(id.toLower());
}

TDokuTreeNode* TDokuTree::AddDocument(const TDokuDocumentNodeData& d) {
    TDokuTreeNode* parent = Find(d.ParentNodeIdent);
    if (parent)
        MarkFilled(parent);
    else
        parent = RootNode();
    auto node = std::make_unique<TDokuTreeNode>();
    node->Kind = d.Kind;
    node->Id = d.Id;
    node->Position = 1000001;
    AssignDocument(node.get(), d);
    node->Counted = true;
    ++m_documents;
    return Insert(std::move(node), parent);
}

void TDokuTree::AssignDocument(TDokuTreeNode* node, const TDokuDocumentNodeData& d) {
    node->Caption = d.Caption;
    node->DokType = d.DokType;
    node->DateText = d.DateText;
    node->States = d.States;
    node->Editing = d.Editing;
    node->Image = d.Image;
}

void TDokuTree::Rename(TDokuTreeNode* node, const QString& id) {
    unindex(node);
    node->Id = id;
    index(node);
}

void TDokuTree::ForEach(const std::function<void(TDokuTreeNode*)>& f) const {
    std::vector<TDokuTreeNode*> stack;
    for (auto it = m_top.rbegin(); it != m_top.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TDokuTreeNode* n = stack.back();
        stack.pop_back();
        f(n);
        for (auto it = n->Children.rbegin(); it != n->Children.rend(); ++it)
            stack.push_back(it->get());
    }
}

std::unique_ptr<TDokuTreeNode> TDokuTree::detach(TDokuTreeNode* node) {
    auto& from = ChildrenOf(node->Parent);
    const auto it = std::find_if(from.begin(), from.end(),
                                 [node](const auto& c) { return c.get() == node; });
    std::unique_ptr<TDokuTreeNode> owned = std::move(*it);
    from.erase(it);
    return owned;
}

TDokuTreeNode* TDokuTree::Move(TDokuTreeNode* node, TDokuTreeNode* newParent) {
    std::unique_ptr<TDokuTreeNode> owned = detach(node);
    auto& to = ChildrenOf(newParent);
    node->Parent = newParent;
    to.insert(to.begin() + ptrdiff_t(InsertIndex(to, node->Position)), std::move(owned));
    return node;
}

std::unique_ptr<TDokuTreeNode> TDokuTree::Take(TDokuTreeNode* node) {
    std::unique_ptr<TDokuTreeNode> owned = detach(node);
    // A later node under the same id takes over the lookup only through a rebuild.
    const std::function<void(TDokuTreeNode*)> forget = [&](TDokuTreeNode* n) {
        unindex(n);
        if (n->Counted) {
            n->Counted = false;
            --m_documents;
        }
        for (const auto& c : n->Children)
            forget(c.get());
    };
    forget(node);
    owned->Parent = nullptr;
    return owned;
}

TDokuTreeNode* InitialFocus(const TDokuTree& tree, const QString& initialPath,
                            bool standardInitial, const QString& standardId) {
    if (TDokuTreeNode* n = tree.Find(initialPath))
        return n;
    if (standardInitial)
        if (TDokuTreeNode* n = tree.Find(standardId))
            return n;
    return tree.RootNode();
}

// ---- model -------------------------------------------------------------------------------------

namespace {
int rowIn(const std::vector<std::unique_ptr<TDokuTreeNode>>& children, const TDokuTreeNode* n) {
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i].get() == n)
            return int(i);
    return -1;
}
} // namespace

TDokuTreeModel::TDokuTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void TDokuTreeModel::SetTree(TDokuTree tree) {
    beginResetModel();
    m_tree = std::move(tree);
    endResetModel();
}

TDokuTreeNode* TDokuTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<TDokuTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TDokuTreeModel::IndexOf(const TDokuTreeNode* node, int column) const {
    if (!node)
        return {};
    const int row = rowIn(const_cast<TDokuTree&>(m_tree).ChildrenOf(node->Parent), node);
    return row < 0 ? QModelIndex() : createIndex(row, column, const_cast<TDokuTreeNode*>(node));
}

QModelIndex TDokuTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    const auto& children = const_cast<TDokuTree&>(m_tree).ChildrenOf(NodeOf(parent));
    if (row >= int(children.size()))
        return {};
    return createIndex(row, column, children[size_t(row)].get());
}

QModelIndex TDokuTreeModel::parent(const QModelIndex& child) const {
    const TDokuTreeNode* n = NodeOf(child);
    return n && n->Parent ? IndexOf(n->Parent, 0) : QModelIndex();
}

int TDokuTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(const_cast<TDokuTree&>(m_tree).ChildrenOf(NodeOf(parent)).size());
}

int TDokuTreeModel::columnCount(const QModelIndex&) const { return ColumnCount; }

QVariant TDokuTreeModel::data(const QModelIndex& index, int role) const {
    const TDokuTreeNode* n = NodeOf(index);
    if (!n)
        return {};
    switch (role) {
    case KindRole: return n->Kind;
    case StatesRole: return n->States;
    case ImageRole: return n->Image;
    case EditingRole: return n->Editing;
    case IdRole: return n->Id;
    case Qt::DecorationRole:
        return index.column() == colCaption && IconProvider ? IconProvider(n->Image) : QVariant();
    case Qt::ToolTipRole:
        return index.column() == colCaption ? n->Caption : QVariant();
    case Qt::AccessibleTextRole:
    case Qt::DisplayRole:
        switch (index.column()) {
        case colNodeType: return n->Kind;
        case colNodeId: return n->Id;
        case colCaption: return n->Caption;
        case colDokType: return n->DokType;
        case colPos: return n->Position;
        case colDate: return n->DateText;
        case colEditing: return n->Editing;
        default: return role == Qt::AccessibleTextRole ? QVariant(QString()) : QVariant();
        }
    case Qt::EditRole:
        return index.column() == colDokType ? QVariant(n->DokType) : QVariant();
    default: return {};
    }
}

QVariant TDokuTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return section >= 0 && section < m_headers.size() ? QVariant(m_headers[section]) : QVariant();
}

Qt::ItemFlags TDokuTreeModel::flags(const QModelIndex& index) const {
    const TDokuTreeNode* n = NodeOf(index);
    if (!n)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == colDokType && n->Editing)
        f |= Qt::ItemIsEditable;
    return f;
}

void TDokuTreeModel::NodeChanged(TDokuTreeNode* node) {
    const QModelIndex first = IndexOf(node, 0);
    if (first.isValid())
        emit dataChanged(first, IndexOf(node, ColumnCount - 1));
}

void TDokuTreeModel::MoveNode(TDokuTreeNode* node, TDokuTreeNode* newParent) {
    if (node->Parent == newParent)
        return;
    const QModelIndex from = IndexOf(node->Parent, 0);
    const int row = IndexOf(node, 0).row();
    const QModelIndex to = IndexOf(newParent, 0);
    const int dest = int(TDokuTree::InsertIndex(m_tree.ChildrenOf(newParent), node->Position));
    beginMoveRows(from, row, row, to, dest);
    m_tree.Move(node, newParent);
    endMoveRows();
}

void TDokuTreeModel::MarkFilled(TDokuTreeNode* parent) {
    TDokuTree::MarkFilled(parent, [this](TDokuTreeNode* n) { NodeChanged(n); });
}

void TDokuTreeModel::RemoveNode(TDokuTreeNode* node) {
    const int row = IndexOf(node, 0).row();
    beginRemoveRows(IndexOf(node->Parent, 0), row, row);
    m_tree.Take(node);
    endRemoveRows();
}

TDokuTreeNode* TDokuTreeModel::AddNode(std::unique_ptr<TDokuTreeNode> node,
                                       TDokuTreeNode* parent) {
    const int dest = int(TDokuTree::InsertIndex(m_tree.ChildrenOf(parent), node->Position));
    beginInsertRows(IndexOf(parent, 0), dest, dest);
    TDokuTreeNode* raw = m_tree.Insert(std::move(node), parent);
    endInsertRows();
    return raw;
}
