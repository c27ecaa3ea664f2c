#pragma once
// Tree list over a data class whose records point at each other: each record names its parent
// by the value of the parent field, matched against the key field of another record. Records
// without a parent, with a parent that is not there, or on a cycle of parents are roots, so every
// record shows exactly once. Siblings keep the order of the class, so sorting the class sorts each
// level. The current node and the class's cursor follow each other as in the grid.

#include "VoskGridLayouts.h"
#include "VoskLinkColumns.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QSet>
#include <QTreeView>

#include <memory>
#include <vector>

#include <TVoskClass.h>

class QLineEdit;
class QStringListModel;
class TVoskConditionalFormatting;
class TVoskDataModel;
class TVoskGridColumn;
class TVoskQuery2;

// The tree as an item model. Values, edits, flags and captions are those of the flat model of
// the class; the tree is rebuilt whenever records come or go or a key or parent value changes.
class TVoskTreeListModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TVoskTreeListModel(TVoskClass* dataClass, QObject* parent = nullptr);

    TVoskClass* DataClass() const { return m_class; }
    TVoskDataModel* FlatModel() const { return m_flat; }
    void SetTreeFields(const QString& keyField, const QString& parentField);
    QString KeyField() const { return m_keyField; }
    QString ParentField() const { return m_parentField; }

    // The node of a record of the class (its row there), and back; -1 for none.
    QModelIndex IndexOfRow(int row, int column = 0) const;
    static int RowOf(const QModelIndex& index);
    // Depth of a record's node: 0 for a root.
    int Level(int row) const;
    int ParentRow(int row) const;
    // The records depth first, each parent before its children.
    std::vector<int> TreeOrder() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Node {
        int parent = -1;
        int pos = 0; // among its siblings
        int level = 0;
        std::vector<int> children;
    };
    const std::vector<int>& siblings(int parentRow) const;
    QModelIndex flatIndex(const QModelIndex& index) const;
    void build();
    void beginRebuild();
    void endRebuild();
    bool touchesTree(int firstCol, int lastCol) const;

    QPointer<TVoskClass> m_class;
    TVoskDataModel* m_flat = nullptr;
    QString m_keyField;
    QString m_parentField;
    std::vector<Node> m_nodes; // by row of the class
    std::vector<int> m_roots;
    int m_resetDepth = 0;
};

class TVoskDBTreeView2 final : public QTreeView, public IVoskGridLayouts {
    Q_OBJECT
    Q_PROPERTY(QString KeyField READ KeyField WRITE SetKeyField)
    Q_PROPERTY(QString ParentField READ ParentField WRITE SetParentField)
    Q_PROPERTY(QString PreviewField READ PreviewField WRITE SetPreviewField)
public:
    explicit TVoskDBTreeView2(QWidget* parent = nullptr);
    ~TVoskDBTreeView2() override;

    TVoskClass* DataClass() const { return m_class; }
    void SetDataClass(TVoskClass* dataClass);
    TVoskTreeListModel* TreeModel() const { return m_model; }
    QString KeyField() const { return m_keyField; }
    void SetKeyField(const QString& field);
    QString ParentField() const { return m_parentField; }
    void SetParentField(const QString& field);
    // The view column showing the field, -1 without one.
    int columnByFieldName(const QString& fieldName) const;
    // Fields that are not shown (kept over every reload of the class).
    void SetHiddenFields(const QStringList& fields);
    const QStringList& HiddenFields() const { return m_hiddenFields; }
    // Columns in the order shown, without hidden ones.
    QList<int> ShownColumns() const;
    // Colours and weight of cells by rules on their values, kept with the layout.
    TVoskConditionalFormatting* ConditionalFormatting() const { return m_conditionalFormatting; }

    // Paint lock for bulk changes; nests.
    void BeginUpdate();
    void EndUpdate();
    int UpdateLevel() const { return m_updateLevel; }

    // An inline editor is open: its value has not reached the field yet.
    bool InlineEditing() const { return state() == QAbstractItemView::EditingState; }
    // Closes an open inline editor; accept hands its value to the field first.
    void EndEdit(bool accept);

    // The data controller's part: the selected nodes the user sees (none inside a collapsed
    // node), and deleting their records after asking, naming how many, in one transaction,
    // children before their parents. When one cannot be deleted none is, the class is read again
    // and the error passes on. False when there was nothing to delete or the user said no.
    QModelIndexList SelectedShownNodes() const;
    int SelectedNodeCount() const { return int(SelectedShownNodes().size()); }
    bool DeleteSelection();

    void FullExpand();
    void FullCollapse();

    // ---- columns and their lookups, as the grid's ------------------------------------------
    QList<TVoskGridColumn*> Columns() const;
    TVoskGridColumn* ColumnOf(const QString& fieldName) const;
    // The form's start-up: the inline editors take their buttons and lookups from the columns
    // from now on.
    void LoadF2();
    bool F2Loaded() const { return m_f2Loaded; }
    void FieldEditTxtBtClick(QObject* sender);

    // ---- layouts (TVoskDBTreeView2.Settings.cpp) -------------------------------------------
    QString FormClassName() const;
    QString GridName() const { return objectName(); }
    bool LayoutExists(int type) override;
    bool LayoutLoad(int type) override;
    void LayoutSave(int type) override;
    void LayoutDelete(int type) override;
    bool LayoutIsDefault() override;
    void SetLayoutDefault(bool on) override;
    QDateTime LayoutSavedAt() const override { return m_layoutSavedAt; }
    QString LayoutSavedBy() const override { return m_layoutSavedBy; }
    void InitLayout() override;
    // Marks the headers of the columns that have link modules; the row menu of such a column
    // offers them for the cell's value.
    void MarkHeaderForLinkModules();
    const TVoskLinkColumns& LinkColumns() const { return m_linkColumns; }
    void OptimalWidths() override;
    // Column order, widths, visibility, the sort and the conditional formatting as text, and
    // applied from text.
    QString LayoutText() const;
    bool ApplyLayoutText(const QString& text);

    // ---- the long-text preview: the text of the preview field under each node -------------
    QString PreviewField() const { return m_previewField; }
    void SetPreviewField(const QString& field);
    bool HasPreviewColumn() const;
    bool PreviewVisible() const { return m_previewVisible; }
    void SetPreviewVisible(bool on);
    QString PreviewText(int row) const;
    // The view's own name text, which keys its stored choices.
    QString ViewName() const { return GridName(); }

    // ---- the fast lookup of the inline editor (TVoskDBTreeView2.FastLookup.cpp) -----------
    // A column with a fast-lookup query offers, while its cell is edited, the query's rows that
    // pass its filter (":Self" the typed text + "%") in a panel beneath the cell. The form drives
    // it key by key; the panel never takes the focus, so the keys stay with the editor, and a
    // click on a row takes that row's first value into the editor.
    QLineEdit* InlineEditor() const;
    bool HasFastLookup() const;
    // ":Self" := text + "%"; false without a fast lookup.
    bool SetFastLookupSelf(const QString& text);
    QString FastLookupSelf() const;
    // Reads the rows again; the panel shows when there are any. A failing query shows none.
    int ReopenFastLookup();
    bool FastLookupShowing() const;
    void HideFastLookup();
    QAbstractItemView* FastLookupPanel() const { return m_fastPanel; }
    static constexpr int FastLookupMaxRows = 50;

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    friend class TVoskTreeCellDelegate;
    int previewHeight(int row) const;
    void followClass();
    void followView(const QModelIndex& current);
    void applyColumns();
    void applyLayoutIfPending();
    void rememberExpanded();
    void restoreExpanded();
    QString keyText(int row) const;

    QPointer<TVoskClass> m_class;
    TVoskTreeListModel* m_model = nullptr;
    QString m_keyField = QStringLiteral("dbrid");
    QString m_parentField;
    QStringList m_hiddenFields;
    QStringList m_sizedFor;
    int m_updateLevel = 0;
    bool m_syncing = false;
    QSet<QString> m_expanded; // key texts of the open nodes over a rebuild
    QString m_previewField;
    bool m_previewVisible = false;
    QDateTime m_layoutSavedAt;
    QString m_layoutSavedBy;
    QString m_pendingLayout;
    TVoskConditionalFormatting* m_conditionalFormatting = nullptr;
    bool m_layoutInitDone = false;
    bool m_f2Loaded = false;
    // The fast lookup: the query for the column it was made for, and its panel.
    std::unique_ptr<TVoskQuery2> m_fastQuery;
    QPointer<const TVoskGridColumn> m_fastColumn;
    QAbstractItemView* m_fastPanel = nullptr;
    QStringListModel* m_fastRows = nullptr;
    TVoskLinkColumns m_linkColumns;
};
