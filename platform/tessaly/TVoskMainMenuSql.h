#pragma once
// The search over the ERP's main menu: a data class positioned on one menu row. The ERP provides
// the concrete class; TMainMenuSql reads the host's table mainmenu. CurrentRights answers whether
// the user is an administrator.

#include "TVoskClass.h"

enum TMainMenuFilter { mmfAll, mmfUserMenu, mmfFavorit };

class TVoskMainMenuSqlBase : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TVoskMainMenuSqlBase(QObject* parent = nullptr) : TVoskClass2(parent) {}

    // By menu id (as text) when given, else by form class name; true when a row was found.
    virtual bool SearchMenu(const QString& menuId, const QString& formClassName, bool isedit,
                            bool isadmin, bool getparent, bool treeorder,
                            TMainMenuFilter Filter) = 0;

    bool AsBoolean(const QString& column) { return FieldByName(column).AsBoolean(); }
    int AsInteger(const QString& column) { return FieldByName(column).AsInteger(); }
    QString AsString(const QString& column) { return FieldByName(column).AsString(); }
};

class TMainMenuSql final : public TVoskMainMenuSqlBase {
    Q_OBJECT
public:
    explicit TMainMenuSql(QObject* parent = nullptr);
    // Hidden rows are found for everyone: refusing them is the caller's check, with its message.
    bool SearchMenu(const QString& menuId, const QString& formClassName, bool isedit, bool isadmin,
                    bool getparent, bool treeorder, TMainMenuFilter Filter) override;
};

class TCurrentRights final {
public:
    bool GetIsAdmin() const;
    // Tells the user that the right is missing (TVoskCurrentUser.h), then the silent abort.
    [[noreturn]] void DoAcceesError(const QString& action = {}) const;
};
TCurrentRights& CurrentRights();
