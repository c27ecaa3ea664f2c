#pragma once
// Stored layouts of a grid or tree list, kept per form class and control in table grid_layouts:
// type 1 the user's own, 2 the global one. The grid menus of the header and navigation frames
// work on any control that offers IVoskGridLayouts.

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QHeaderView;

class IVoskGridLayouts {
public:
    virtual ~IVoskGridLayouts() = default;
    virtual bool LayoutExists(int type) = 0;
    // False when the stored text does not parse (logged, nothing applied).
    virtual bool LayoutLoad(int type) = 0;
    virtual void LayoutSave(int type) = 0;
    virtual void LayoutDelete(int type) = 0;
    // The user's layout is preferred over the global one.
    virtual bool LayoutIsDefault() = 0;
    virtual void SetLayoutDefault(bool on) = 0;
    // When and by whom the layout last checked by LayoutExists was saved.
    virtual QDateTime LayoutSavedAt() const = 0;
    virtual QString LayoutSavedBy() const = 0;
    // Restores the preferred stored layout once.
    virtual void InitLayout() = 0;
    virtual void OptimalWidths() = 0;
};

// The rows of grid_layouts for one control; without a connection nothing exists and nothing is
// written.
namespace VoskGridLayouts {

struct TKey {
    QString formClass;
    QString grid;
};
// savedAt and savedBy describe the row found.
bool Exists(const TKey& key, int type, QDateTime* savedAt, QString* savedBy);
// The stored text, null when there is none.
QVariant Load(const TKey& key, int type);
void Save(const TKey& key, int type, const QString& layout);
void Delete(const TKey& key, int type);
bool IsDefault(const TKey& key);
void SetDefault(const TKey& key, bool on);

} // namespace VoskGridLayouts

// The part of a layout a grid and a tree list share: their columns as the header shows them
// (order, widths, visibility) and the sort. Fields are the data class's, by column.
namespace VoskGridLayouts {

QJsonObject ColumnsToLayout(const QHeaderView* header, const QStringList& fields);
// The layout text as an object; false (logged under where) when it is no layout.
bool ParseLayout(const QString& text, const QString& where, QJsonObject* root);
// Moves, sizes and hides the columns as the layout says; columns it does not name keep their
// place. hiddenFields is updated by the layout; sort orders by the stored sort column.
void ColumnsFromLayout(QHeaderView* header, const QJsonObject& root, const QStringList& fields,
                       QStringList& hiddenFields,
                       const std::function<void(int column, Qt::SortOrder order)>& sort);

} // namespace VoskGridLayouts
