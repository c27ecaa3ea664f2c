#pragma once
// The common components' grid view, the handler that ties a grid column to its lookup and menu,
// and the holder of a module's settings events. The handler's references are set in code by the
// grid; the designer does not offer them.

#include "TVoskPopupMenu.h"
#include "Vcl.DB.h"

#include <QPointer>
#include <QTableView>

class TVoskGridView final : public QTableView {
    Q_OBJECT
public:
    explicit TVoskGridView(QWidget* parent = nullptr) : QTableView(parent) {}
};

class TVoskGridViewColumnHandler final : public QObject {
    Q_OBJECT
    Q_PROPERTY(TVoskGridView* GridView MEMBER m_gridView)
    Q_PROPERTY(Vcl::TDataSource* DataSource MEMBER m_dataSource)
    Q_PROPERTY(TVoskPopupMenu* PopupMenu MEMBER m_popupMenu)
    Q_PROPERTY(QString FieldName MEMBER m_fieldName)
public:
    explicit TVoskGridViewColumnHandler(QObject* owner = nullptr) : QObject(owner) {}

private:
    QPointer<TVoskGridView> m_gridView;
    QPointer<Vcl::TDataSource> m_dataSource;
    QPointer<TVoskPopupMenu> m_popupMenu;
    QString m_fieldName;
};

// Events a module raises around its component settings; the designer shows them nested under the
// property that holds this object.
class TVoskNestedEvents final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString OnLoadSettings MEMBER m_onLoad)
    Q_PROPERTY(QString OnSaveSettings MEMBER m_onSave)
public:
    explicit TVoskNestedEvents(QObject* parent = nullptr) : QObject(parent) {}

private:
    QString m_onLoad;
    QString m_onSave;
};
