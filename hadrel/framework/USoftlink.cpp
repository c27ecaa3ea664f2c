#include "USoftlink.h"

#include "TVoskClass.h"
#include "TVoskPopupMenu.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskDM_Dunmere.h"
#include "VoskExceptionHelper.h"

#include <UnitTable.h>
#include <VoskExceptions.h>

#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>

using Korvexutils::TStringParam;
using Korvexutils::TStringParams;

const QString ExecutionTypes[3] = {QString(), QStringLiteral("EXEC"), QStringLiteral("LINK")};

TExecutionType StrToExecType(const QString& text) {
    if (text.compare(ExecutionTypes[etExec], Qt::CaseInsensitive) == 0)
        return etExec;
    if (text.compare(ExecutionTypes[etLink], Qt::CaseInsensitive) == 0)
        return etLink;
    return etNone;
}

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString fmtOrder(const TSoftlinkPopupItem& item) {
    return QString::number(item.orderNull ? 0 : item.order);
}

[[noreturn]] void fail(const QString& text) {
    throw EVoskException(text);
}

QString paramText(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

// Replaces every "<#name#>" of an SQL text by a parameter ":slpN". A placeholder inside a string
// literal is the literal's text: the literal is split around a text parameter, so that a value
// holding quotes stays a value. Double-quoted names and comments are copied as they are.
QString bindPlaceholders(const QString& sql, const TStringParams& values, QVariantMap& params) {
    static const QRegularExpression re(QStringLiteral("<#([[:alnum:]_]*?)#>"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    QHash<QString, QString> nameOf; // "<lower name>|outside" or "|inside" -> parameter name
    auto param = [&](const QString& name, bool inLiteral) {
        const QString key = name.toLower() + (inLiteral ? QStringLiteral("|in") : QString());
        if (auto it = nameOf.constFind(key); it != nameOf.constEnd())
            return it.value();
        QVariant value;
        for (const TStringParam& p : values)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0)
                value = p.value;
        const QString pname = QStringLiteral("slp%1").arg(params.size() + 1);
        // Inside a literal the value was text all along: an absent one is the empty text.
        params.insert(pname, inLiteral ? QVariant(paramText(value)) : value);
        nameOf.insert(key, pname);
        return pname;
    };

    QString out;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('"')) {
            const qsizetype end = sql.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('\'')) {
            // The literal's body up to its closing quote ('' is a quote inside).
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && sql.at(j + 1) == QLatin1Char('\''))
                        j += 2;
                    else
                        break;
                } else {
                    ++j;
                }
            }
            const QString body = sql.mid(i + 1, j - i - 1);
            const qsizetype stop = j < n ? j + 1 : n;
            QRegularExpressionMatchIterator it = re.globalMatch(body);
            if (!it.hasNext()) {
                out += QStringView(sql).mid(i, stop - i);
            } else {
                const QRegularExpressionMatch whole = re.match(body);
                if (whole.capturedStart() == 0 && whole.capturedLength() == body.size()) {
                    // '<#name#>' alone: the parameter takes the literal's place and its type.
                    out += QLatin1Char(':') + param(whole.captured(1), true);
                } else {
                    QStringList parts;
                    qsizetype last = 0;
                    while (it.hasNext()) {
                        const QRegularExpressionMatch m = it.next();
                        parts << QLatin1Char('\'') + body.mid(last, m.capturedStart() - last) +
                                     QLatin1Char('\'');
                        parts
                            << QStringLiteral("CAST(:%1 AS text)").arg(param(m.captured(1), true));
                        last = m.capturedEnd();
                    }
                    parts << QLatin1Char('\'') + body.mid(last) + QLatin1Char('\'');
                    out += QLatin1Char('(') + parts.join(QStringLiteral(" || ")) + QLatin1Char(')');
                }
            }
            i = stop;
        } else if (c == QLatin1Char('<') && i + 1 < n && sql.at(i + 1) == QLatin1Char('#')) {
            const QRegularExpressionMatch m =
                re.match(sql, i, QRegularExpression::NormalMatch,
                         QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                out += QLatin1Char(':') + param(m.captured(1), false);
                i = m.capturedEnd();
            } else {
                out += c;
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace

// ---- building the condition query ------------------------------------------------------------

TSoftlink::TConditionQuery TSoftlink::ConditionQuery(const QList<TConditionRow>& rows,
                                                     const TStringParams& values) {
    QString sql = QStringLiteral(
        "SELECT\r\n  array_agg(ARRAY[id::VARCHAR, coalesce(value, False)::VARCHAR])\r\n"
        "FROM (SELECT * FROM (");
    bool first = true;
    for (const TConditionRow& r : rows) {
        const QString pos = r.order.isNull() ? QStringLiteral("NULL") : r.order.toString();
        const QString cond = r.condition.trimmed().isEmpty() ? QStringLiteral("True") : r.condition;
        // The line break after the condition ends a trailing comment of the administrator's.
        if (first)
            sql += kCrLf + QStringLiteral("  SELECT %1 AS id, %2 AS pos, ").arg(r.id).arg(pos) +
                   cond + kCrLf + QStringLiteral(" AS value");
        else
            sql += kCrLf + QStringLiteral("UNION") + kCrLf +
                   QStringLiteral("  SELECT %1, %2, ").arg(r.id).arg(pos) + cond + kCrLf;
        first = false;
    }
    sql +=
        kCrLf + QStringLiteral(") AS sub1 ORDER BY pos, id") + kCrLf + QStringLiteral(") AS sub");
    TConditionQuery q;
    q.sql = bindPlaceholders(sql, values, q.params);
    return q;
}

QHash<int, bool> TSoftlink::ParseConditionsResult(const QString& text) {
    QString flat = text;
    flat.remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    const QStringList parts = flat.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QHash<int, bool> result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        bool ok = false;
        const int id = parts.at(i).trimmed().toInt(&ok);
        if (ok)
            result.insert(id, parts.at(i + 1).trimmed().compare(QStringLiteral("true"),
                                                                Qt::CaseInsensitive) == 0);
    }
    return result;
}

// ---- the object of a form --------------------------------------------------------------------

TSoftlink::TSoftlink(QWidget* owner) : FOwner(owner) {
    formDataSources();
}

TSoftlink::~TSoftlink() = default;

QString TSoftlink::fullName() const {
    return Dunmere::SecureFullName(FOwner.data(), QStringLiteral("TSoftlink"));
}

QList<TVoskClass2*> TSoftlink::formDataSources() {
    // Collected anew each time: a module may add data classes after its form was created.
    QList<TVoskClass2*> list;
    std::function<void(const QObject*)> collect = [&](const QObject* owner) {
        for (QObject* c : Vcl::Components(owner)) {
            if (auto* d = qobject_cast<TVoskClass2*>(c))
                list.append(d);
            collect(c);
        }
    };
    if (FOwner)
        collect(FOwner);
    std::stable_sort(list.begin(), list.end(), [](const TVoskClass2* a, const TVoskClass2* b) {
        return a->objectName().compare(b->objectName(), Qt::CaseInsensitive) < 0;
    });
    FFormDataSources.clear();
    for (TVoskClass2* d : list)
        FFormDataSources.append(d);
    return list;
}

TVoskPopupMenu* TSoftlink::popupMenu() const {
    return FOwner ? FOwner->findChild<TVoskPopupMenu*>(QStringLiteral("pmuSoftlink")) : nullptr;
}

QString TSoftlink::TableName_Get(const TVoskClass* dataSource) {
    if (!dataSource)
        return {};
    if (!dataSource->SqlTable().isEmpty())
        return dataSource->SqlTable();
    // A class on a query of its own without a table: the first table its query reads.
    if (auto* q = qobject_cast<const TVoskClass2*>(dataSource)) {
        static const QRegularExpression from(QStringLiteral("\\bFROM\\s+([A-Za-z_][\\w.]*)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = from.match(q->QuerySql());
        if (m.hasMatch())
            return m.captured(1);
    }
    return {};
}

bool TSoftlink::BtSoftlinkEnabled() {
    const TVoskCachedTable& links =
        TVoskDM_Dunmere::Instance()->GetSource(QStringLiteral("Softlink"));
    for (TVoskClass2* d : formDataSources()) {
        const QString table = TableName_Get(d);
        if (!table.isEmpty() && links.Exists(QStringLiteral("slink_table"), table))
            return true;
    }
    return false;
}

void TSoftlink::SoftlinkPopupItems_Create() {
    FSoftlinkPopupItems.clear();
    for (TVoskClass2* d : formDataSources())
        if (d->FGetActive())
            MenuItems_Add(d);
}

void TSoftlink::MenuItems_Add(TVoskClass2* dataSource) {
    try {
        TVoskPopupMenu* menu = popupMenu();
        if (!dataSource || !menu)
            return;
        const QString table = TableName_Get(dataSource);
        if (table.isEmpty()) {
            TKorvexLog::Warning(
                QStringLiteral("TSoftlink.MenuItems_Add: Für DataSource %1(%2) wurde keine "
                               "Tabellenname gefunden (siehe TServSQL2._SqlTable or TVoskClass")
                    .arg(Vcl::ClassName(dataSource), dataSource->objectName()));
            return;
        }
        const TVoskCachedTable& links =
            TVoskDM_Dunmere::Instance()->GetSource(QStringLiteral("Softlink"));
        const QList<int> rows = links.Select(QStringLiteral("slink_table"), table);
        if (rows.isEmpty()) {
            TKorvexLog::Warning(QStringLiteral("TSoftlink.MenuItems_Add: Für die Tabelle \"%1\" "
                                               "wurde keinen Eintrag in 'softlink' gefunden")
                                    .arg(table));
            return;
        }

        QMenu* target = menu;
        if (rows.size() > 1) {
            const QString groupName = QStringLiteral("miSoftlinkGroup_%1").arg(table);
            for (QAction* a : menu->actions())
                if (a->objectName() == groupName) {
                    TKorvexLog::Warning(QStringLiteral("TSoftlink.MenuItems_Add: ItemGroup \"%1\" "
                                                       "existiert bereits")
                                            .arg(groupName));
                    return;
                }
            TDM1* dm = DM1();
            const QString alias = dm ? dm->GetTableAlias(table) : QString();
            auto* group = new TVoskMenuItem(alias.isEmpty() ? table : alias, menu);
            group->setObjectName(groupName);
            group->SetIsAutoLink(true);
            auto* sub = new QMenu(menu);
            sub->setObjectName(groupName + QStringLiteral("_Menu"));
            group->setMenu(sub);
            menu->addAction(group);
            target = sub;
        }

        // Step 4: all conditions of the table in one round trip.
        QList<TConditionRow> condRows;
        QString allText;
        for (int r : rows) {
            TConditionRow c;
            c.id = links.Value(r, QStringLiteral("slink_id")).toInt();
            c.order = links.Value(r, QStringLiteral("slink_order"));
            c.condition = links.Value(r, QStringLiteral("slink_cond")).toString();
            allText += c.condition + QLatin1Char('\n');
            condRows.append(c);
        }
        const TStringParams condValues =
            Korvexutils::FillStringParamsWithFormValuesOrDataSources(FOwner, allText);
        const TConditionQuery query = ConditionQuery(condRows, condValues);
        TKorvexLog::LogMessage(QStringLiteral("TSoftlink.MenuItems_Add: _sql[after]:") + kCrLf +
                                   query.sql,
                               TKorvexLogLevel::Debug);
        QHash<int, bool> results;
        bool conditionsFailed = false;
        try {
            TDM1* dm = DM1();
            if (!dm)
                fail(QStringLiteral("Keine Datenbankverbindung"));
            const QString text = dm->LoadVar(query.sql, query.params).toString();
            TKorvexLog::LogMessage(QStringLiteral("TSoftlink.MenuItems_Add[conditions result]: ") +
                                       kCrLf + text,
                                   TKorvexLogLevel::Debug);
            results = ParseConditionsResult(text);
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            conditionsFailed = true;
        }

        // Step 5: the entries, in the table's order.
        const int firstNew = int(FSoftlinkPopupItems.size());
        const TVoskDataField dbridField = dataSource->FindField(QStringLiteral("dbrid"));
        QString dbrid = QStringLiteral("<missing>");
        if (dbridField.Exists())
            dbrid =
                dataSource->HasRecord() && !dbridField.IsNull() && !dbridField.AsString().isEmpty()
                    ? dbridField.AsString()
                    : QStringLiteral("<empty>");
        for (int r : rows) {
            TSoftlinkPopupItem item;
            item.id = links.Value(r, QStringLiteral("slink_id")).toInt();
            item.typ = StrToExecType(links.Value(r, QStringLiteral("slink_type")).toString());
            const QVariant order = links.Value(r, QStringLiteral("slink_order"));
            item.orderNull = order.isNull();
            item.order = order.toInt();
            item.app = links.Value(r, QStringLiteral("slink_app")).toString();
            item.linkSQL = links.Value(r, QStringLiteral("slink_sql")).toString();
            item.condition = links.Value(r, QStringLiteral("slink_cond")).toString();
            item.table = table;
            item.dataSource = dataSource;
            item.className = Vcl::ClassName(dataSource);
            item.classType = dataSource->metaObject();
            item.dbrid = dbrid;
            item.caption = links.Value(r, QStringLiteral("slink_bez")).toString();
            item.condition_valid = !conditionsFailed && results.value(item.id, false);

            const QString text = item.typ == etLink ? item.linkSQL : item.app;
            item.field_name = Korvexutils::fieldname_get(text);
            if (!item.field_name.isEmpty()) {
                const TStringParams v = Korvexutils::FillStringParamsWithFormValuesOrDataSources(
                    FOwner, QStringLiteral("<#%1#>").arg(item.field_name));
                item.field_value = v.isEmpty() ? QVariant() : v.first().value;
            }
            QString caption = item.caption;
            if (Dunmere::IsDevelopSystem())
                caption = QStringLiteral("%1 [%2(%3), \"%4\", %5, %6]")
                              .arg(item.caption, item.table, item.dbrid, item.condition,
                                   ExecutionTypes[item.typ], fmtOrder(item));
            if (Korvexutils::isItemTwice(menu, item.id, caption))
                continue;

            const int index = int(FSoftlinkPopupItems.size());
            auto* mi = new TVoskMenuItem(caption, menu);
            mi->setObjectName(QStringLiteral("miSoftlink_%1").arg(index));
            mi->setData(item.id);
            mi->setEnabled(item.condition_valid);
            mi->SetIsAutoLink(true);
            mi->SetTag(index);
            mi->setToolTip(item.caption);
            QObject::connect(mi, &QAction::triggered, mi, [this, mi] {
                if (OnItemClick)
                    OnItemClick(mi);
            });
            target->addAction(mi);
            item.menuItem = mi;
            FSoftlinkPopupItems.append(item);
        }
        if (conditionsFailed)
            for (int i = firstNew; i < FSoftlinkPopupItems.size(); ++i)
                Conditions_Check(i);
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              fullName() + QStringLiteral(".MenuItems_Add: "));
    }
}

void TSoftlink::Conditions_Check(int index) {
    if (index < 0 || index >= FSoftlinkPopupItems.size())
        return;
    const TSoftlinkPopupItem& item = FSoftlinkPopupItems.at(index);
    const QString cond =
        item.condition.trimmed().isEmpty() ? QStringLiteral("True") : item.condition;
    try {
        TDM1* dm = DM1();
        if (!dm)
            return;
        QVariantMap params;
        const QString sql = bindPlaceholders(
            QStringLiteral("SELECT coalesce((") + cond + kCrLf + QStringLiteral("), False)"),
            Korvexutils::FillStringParamsWithFormValuesOrDataSources(FOwner, cond), params);
        dm->LoadVar(sql, params);
    } catch (...) {
        TKorvexLog::Error(QStringLiteral("TSoftlink.Conditions_Check: ERROR bei Condition (") +
                          item.condition + QStringLiteral("): ") +
                          Rtl::ExceptionMessage(std::current_exception()));
    }
}

// ---- running an entry ------------------------------------------------------------------------

bool TSoftlink::ParseExecApp(const QString& app, TExecCommand& command) {
    static const QRegularExpression windows(
        QStringLiteral(R"re(^(")?([a-zA-Z]:\\)((?(1)[^\/:*?<>"|]*|[^\/:*?"<>| ]+))"?\s*(.*)$)re"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression posix(
        QStringLiteral(R"re(^(")?(/)((?(1)[^"]*|[^\s"]+))"?\s*(.*)$)re"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = app.trimmed();
    QRegularExpressionMatch m = windows.match(text);
    command = {};
    if (m.hasMatch()) {
        command.windowsPath = true;
        command.program = m.captured(2) + m.captured(3);
        command.folder = command.program.left(command.program.lastIndexOf(QLatin1Char('\\')) + 1);
    } else {
        m = posix.match(text);
        if (!m.hasMatch())
            return false;
        command.program = m.captured(2) + m.captured(3);
        command.folder = QFileInfo(command.program).path();
    }
    command.params = m.captured(4).trimmed();
    return !command.program.isEmpty();
}

QStringList TSoftlink::SplitArguments(const QString& params) {
    QStringList args;
    QString cur;
    bool inArg = false;
    QChar quote;
    for (qsizetype i = 0; i < params.size(); ++i) {
        const QChar c = params.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (quote == QLatin1Char('"') && c == QLatin1Char('\\') && i + 1 < params.size() &&
                     (params.at(i + 1) == QLatin1Char('"') ||
                      params.at(i + 1) == QLatin1Char('\\')))
                cur += params.at(++i);
            else
                cur += c;
        } else if (c.isSpace()) {
            if (inArg)
                args << cur;
            cur.clear();
            inArg = false;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inArg = true;
        } else if (c == QLatin1Char('\\') && i + 1 < params.size()) {
            cur += params.at(++i);
            inArg = true;
        } else {
            cur += c;
            inArg = true;
        }
    }
    if (inArg)
        args << cur;
    return args;
}

QUrl TSoftlink::LinkUrl(const QString& linkSQL, const TStringParams& values) {
    QString link = linkSQL;
    link.remove(QLatin1Char('\''));
    link = link.trimmed();
    // A scheme has two letters at least, so that "C:" stays a drive.
    static const QRegularExpression schemeRe(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    const QRegularExpressionMatch scheme = schemeRe.match(link);
    if (!scheme.hasMatch()) {
        // A link that is only a record's web address ("<#homepage#>"): the value brings the
        // scheme, and a web or mail address opens as it is.
        static const QRegularExpression webRe(QStringLiteral("^(https?|mailto|ftp):\\S+$"),
                                              QRegularExpression::CaseInsensitiveOption);
        const QString raw = Korvexutils::ReplaceStringParams(
                                link, values, [](const TStringParam& p) { return paramText(p.value); })
                                .trimmed();
        if (raw != link && webRe.match(raw).hasMatch())
            if (const QUrl url(raw, QUrl::TolerantMode); url.isValid())
                return url;
    }
    const bool fileLink =
        !scheme.hasMatch() ||
        scheme.captured(1).compare(QStringLiteral("file"), Qt::CaseInsensitive) == 0;
    const QString filled =
        Korvexutils::ReplaceStringParams(link, values, [&](const TStringParam& p) {
            const QString v = paramText(p.value);
            if (fileLink && (v.contains(QLatin1Char('/')) || v.contains(QLatin1Char('\\')) ||
                             v.contains(QStringLiteral(".."))))
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: Der Wert \"%1\" von <#%2#> ist "
                                    "in einem Dateilink nicht erlaubt")
                         .arg(v, p.name));
            if (!scheme.hasMatch())
                return v;
            return QString::fromLatin1(QUrl::toPercentEncoding(v, "@"));
        });
    return scheme.hasMatch() ? QUrl(filled, QUrl::TolerantMode) : QUrl::fromLocalFile(filled);
}

void TSoftlink::DoExecuteSoftlink(int index) {
    if (index < 0 || index >= FSoftlinkPopupItems.size())
        return;
    const TSoftlinkPopupItem item = FSoftlinkPopupItems.at(index);
    try {
        switch (item.typ) {
        case etExec: {
            if (item.app.trimmed().isEmpty())
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: slink_app ist leer [Table: %1, "
                                    "dbrid: %2, Order: %3]")
                         .arg(item.table, item.dbrid, fmtOrder(item)));
            TExecCommand cmd;
            if (!ParseExecApp(item.app, cmd))
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: \"slink_app\" ist fehlerhaft"));
            const TStringParams values =
                Korvexutils::FillStringParamsWithFormValuesOrDataSources(FOwner, cmd.params);
            QStringList args;
            for (const QString& arg : SplitArguments(cmd.params))
                args << Korvexutils::ReplaceStringParams(
                    arg, values, [](const TStringParam& p) { return paramText(p.value); });
            TKorvexLog::Info(QStringLiteral("TSoftlink.DoExecuteSoftlink: sDir: [%1], sApp: [%2], "
                                            "sParams: [%3]")
                                 .arg(cmd.folder, cmd.program, args.join(QLatin1Char(' '))));
            if (!Vcl::Shell::Instance().Launch(cmd.program, args, cmd.folder)) {
                const QFileInfo fi(cmd.program);
                const QString reason =
                    cmd.windowsPath ? QStringLiteral("ein Windows-Pfad mit Laufwerksbuchstaben")
                    : !fi.exists()  ? QStringLiteral("Datei nicht gefunden")
                    : !fi.isExecutable() ? QStringLiteral("keine Ausführungsrechte")
                                         : QStringLiteral("Start fehlgeschlagen");
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: Das Programm \"%1\" konnte "
                                    "nicht gestartet werden (%2)")
                         .arg(cmd.program, reason));
            }
            break;
        }
        case etLink: {
            if (item.linkSQL.trimmed().isEmpty())
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: slink_sql ist leer [Table: %1, "
                                    "dbrid: %2, Order: %3]")
                         .arg(item.table, item.dbrid, fmtOrder(item)));
            const QUrl url = LinkUrl(
                item.linkSQL,
                Korvexutils::FillStringParamsWithFormValuesOrDataSources(FOwner, item.linkSQL));
            TKorvexLog::Info(QStringLiteral("TSoftlink.DoExecuteSoftlink: sApp = %1")
                                 .arg(url.toString(QUrl::FullyEncoded)));
            if (!Vcl::Shell::Instance().OpenUrl(url))
                fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: Der Link \"%1\" konnte nicht "
                                    "geöffnet werden")
                         .arg(url.toString(QUrl::FullyEncoded)));
            break;
        }
        default:
            fail(QStringLiteral("TSoftlink.DoExecuteSoftlink: Ausführungstyp wurde nicht definiert "
                                "(%1.dbrid: %2, order: %3)")
                     .arg(item.table, item.dbrid, fmtOrder(item)));
        }
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(
            std::current_exception(),
            Dunmere::SecureFullName(item.dataSource.data(), QStringLiteral("TVoskClass")) +
                QStringLiteral(".DoExecuteSoftlink: "));
        throw;
    }
}

// ---- unit ------------------------------------------------------------------------------------

namespace {
void UnitInit() {
    Dunmere::FullNameProc.Set([](const QObject* o) { return Vcl::FullName(o); });
}
void UnitFini() {
    Dunmere::FullNameProc.Reset();
}
} // namespace

KORVEX_UNIT("hadrel", "USoftlink", UnitInit, UnitFini);
