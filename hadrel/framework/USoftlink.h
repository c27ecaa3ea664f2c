#pragma once
// Soft links: actions configured per table in table softlink, a program to run (EXEC) or a link to
// open (LINK), filled with values of the current record. A module form makes one TSoftlink. Each
// time the form's soft-link menu opens, the entries of every active data class's table are made
// anew, each enabled by its condition; the server evaluates all conditions of one table in one
// query. Record values never become SQL, command or link syntax: in a condition they are bound
// parameters, in a program call each stays inside its argument, in a URL it is percent-encoded.

#include <VoskFormParams.h>

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <functional>

class QWidget;
class TVoskClass;
class TVoskClass2;
class TVoskMenuItem;
class TVoskPopupMenu;

enum TExecutionType { etNone, etExec, etLink };
// Names of the execution types as table softlink stores them (etNone has none).
extern const QString ExecutionTypes[3];
// "EXEC" and "LINK" in any case; anything else is etNone.
TExecutionType StrToExecType(const QString& text);

struct TSoftlinkPopupItem {
    int id = 0;
    QString table;
    QString dbrid; // the record's dbrid as text, "<empty>" or "<missing>"
    QPointer<TVoskClass2> dataSource;
    int order = 0;
    bool orderNull = true;
    TExecutionType typ = etNone;
    QString app;
    QString condition;
    QString linkSQL;
    bool condition_valid = false;
    QString field_name;
    QVariant field_value;
    QString caption;
    QString className;
    const QMetaObject* classType = nullptr;
    QPointer<TVoskMenuItem> menuItem;
};

class TSoftlink final {
public:
    explicit TSoftlink(QWidget* owner);
    ~TSoftlink();
    TSoftlink(const TSoftlink&) = delete;
    TSoftlink& operator=(const TSoftlink&) = delete;

    // Whether the table of any data class of the form has a soft link.
    bool BtSoftlinkEnabled();
    // Entries of every active data class; the menu has dropped the previous ones already.
    void SoftlinkPopupItems_Create();
    void MenuItems_Add(TVoskClass2* dataSource);
    // Runs entry index; errors are logged and passed on to the caller's error display.
    void DoExecuteSoftlink(int index);
    static QString TableName_Get(const TVoskClass* dataSource);
    // Evaluates entry index's condition alone and logs it when the server refuses it.
    void Conditions_Check(int index);

    const QList<TSoftlinkPopupItem>& Items() const { return FSoftlinkPopupItems; }
    // Called when the user picks an entry (the module form's miSoftlinkClick).
    std::function<void(TVoskMenuItem*)> OnItemClick;

    // One link's part of the condition query.
    struct TConditionRow {
        int id = 0;
        QVariant order; // null orders last
        QString condition;
    };
    struct TConditionQuery {
        QString sql;
        QVariantMap params;
    };
    // The query over all rows, every "<#name#>" a bound parameter with the value from values.
    static TConditionQuery ConditionQuery(const QList<TConditionRow>& rows,
                                          const Korvexutils::TStringParams& values);
    // "{{1,true},{2,false}}" as id -> result.
    static QHash<int, bool> ParseConditionsResult(const QString& text);

    // An EXEC command line taken apart: program (drive-rooted or an absolute POSIX path, quoted
    // when it has blanks), its folder, and the parameter part. False when it is no such line.
    struct TExecCommand {
        QString program;
        QString folder;
        QString params;
        bool windowsPath = false;
    };
    static bool ParseExecApp(const QString& app, TExecCommand& command);
    // The parameter part split into arguments as a shell would: blanks separate, quotes group,
    // a backslash escapes. Nothing is expanded.
    static QStringList SplitArguments(const QString& params);
    // The URL a LINK text opens, with values encoded or refused as its kind asks.
    static QUrl LinkUrl(const QString& linkSQL, const Korvexutils::TStringParams& values);

private:
    QList<TVoskClass2*> formDataSources();
    TVoskPopupMenu* popupMenu() const;
    QString fullName() const;

    QPointer<QWidget> FOwner;
    QList<QPointer<TVoskClass2>> FFormDataSources;
    QList<TSoftlinkPopupItem> FSoftlinkPopupItems;
};
