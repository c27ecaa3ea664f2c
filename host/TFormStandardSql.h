#pragma once
// The sample module over the named SQL texts: their keys in a grid, the SQL of the current one in
// the SQL editor with highlighting, completion and code insight, and a menu for the syntax check
// and the two insertions.

#include "UModulForm.h"

class QMenuBar;
class TVoskClass2;
class TVoskDBGrid2;
class TVoskDBSQLMemo;

class TFormStandardSql final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormStandardSql(QObject* owner = nullptr, QWidget* parent = nullptr);

    TVoskClass2* DataStandardSql;
    TVoskDBGrid2* GridKeys;
    TVoskDBSQLMemo* MemoSql;
    QMenuBar* MainMenu;

    void FormCreate(QObject* sender) override;
    void miSyntaxClick();
    void miLangTextClick();
    void miTableFieldClick();

    static TFormStandardSql* Open(QObject* owner = nullptr, const QStringList& parameters = {});
};
