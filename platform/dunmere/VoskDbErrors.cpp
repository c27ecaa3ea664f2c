#include "VoskDbErrors.h"

#include "UDM1.h"
#include "VoskQuery2.h"

#include <QRegularExpression>

namespace Dunmere {

namespace {

QString quoted(const QString& s) { return QStringLiteral("„") + s + QStringLiteral("“"); }

QString captionOf(const TDbErrorContext& ctx, const QString& field) {
    QString c;
    if (ctx.caption)
        c = ctx.caption(ctx.table, field);
    else if (TDM1* dm = DM1(); dm && dm->Connected())
        c = dm->GetFieldAlias(field, ctx.table);
    return c.isEmpty() ? field : c;
}

QString captionsOf(const TDbErrorContext& ctx, const QStringList& fields) {
    QStringList parts;
    for (const QString& f : fields)
        parts << quoted(captionOf(ctx, f));
    return parts.join(QStringLiteral(", "));
}

QString tableCaption(const QString& table) {
    QString c;
    if (TDM1* dm = DM1(); dm && dm->Connected())
        c = dm->GetTableAlias(table);
    return c.isEmpty() ? table : c;
}

// The length in "value too long for type character varying(10)".
int lengthInMessage(const QString& server) {
    static const QRegularExpression re(QStringLiteral("\\((\\d+)\\)"));
    const auto m = re.match(server);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The type and the value in 'invalid input syntax for type integer: "abc"'.
struct BadValue {
    QString type;
    QString value;
};
BadValue badValueInMessage(const QString& server) {
    static const QRegularExpression re(QStringLiteral("type ([a-z ]+?)(?: with time zone)?: \"(.*)\""));
    const auto m = re.match(server);
    return m.hasMatch() ? BadValue{m.captured(1), m.captured(2)} : BadValue{};
}

bool isNumberType(const QString& type) {
    static const QStringList numbers = {QStringLiteral("integer"),  QStringLiteral("bigint"),
                                        QStringLiteral("smallint"), QStringLiteral("numeric"),
                                        QStringLiteral("real"),     QStringLiteral("double precision")};
    return numbers.contains(type);
}

// The columns a check constraint tests, from the catalog.
QStringList checkColumns(const TDbErrorContext& ctx, const EVoskDatabaseError& e) {
    const QString constraint = e.Diagnostics().constraint;
    if (!ctx.db || constraint.isEmpty() || !ctx.db->Connected())
        return {};
    try {
        TVoskQuery2 q(ctx.db, QStringLiteral(
                                  "SELECT a.attname FROM pg_constraint c JOIN pg_attribute a "
                                  "ON a.attrelid = c.conrelid AND a.attnum = ANY (c.conkey) "
                                  "WHERE c.conname = :name AND c.conrelid = to_regclass(:tab) "
                                  "ORDER BY a.attnum"));
        q.Bind(QStringLiteral("name"), constraint);
        q.Bind(QStringLiteral("tab"), e.Diagnostics().table.isEmpty() ? ctx.table
                                                                     : e.Diagnostics().table);
        q.Open();
        QStringList cols;
        for (; !q.Eof(); q.Next())
            cols << q.Fields(0).AsString();
        return cols;
    } catch (const EVoskException&) {
        return {};
    }
}

} // namespace

TKeyDetail ParseKeyDetail(const QString& detail) {
    static const QRegularExpression re(
        QStringLiteral("^Key \\((.*?)\\)=\\((.*)\\) (?:already exists|is not present in table "
                       "\"([^\"]+)\"|is still referenced from table \"([^\"]+)\")"));
    TKeyDetail d;
    const auto m = re.match(detail);
    if (!m.hasMatch())
        return d;
    for (const QString& c : m.captured(1).split(u','))
        d.columns << c.trimmed().remove(u'"');
    d.values = m.captured(2);
    d.otherTable = m.captured(3).isEmpty() ? m.captured(4) : m.captured(3);
    return d;
}

std::optional<QString> GermanDatabaseMessage(const EVoskDatabaseError& e,
                                             const TDbErrorContext& ctx) {
    const QString state = e.SqlState();
    const TPgDiagnostics& diag = e.Diagnostics();
    const QString column = diag.column.isEmpty() ? ctx.column : diag.column;

    if (state == u"22001") { // string_data_right_truncation
        const int len = ctx.maxLength > 0 ? ctx.maxLength : lengthInMessage(e.ServerMessage());
        if (column.isEmpty())
            return QStringLiteral("Ein Wert ist länger, als sein Feld erlaubt (höchstens %1 "
                                  "Zeichen).")
                .arg(len);
        return QStringLiteral("Das Feld %1 darf höchstens %2 Zeichen lang sein.")
            .arg(quoted(captionOf(ctx, column)))
            .arg(len);
    }
    if (state == u"23502") { // not_null_violation
        if (column.isEmpty())
            return QStringLiteral("Ein Pflichtfeld ist leer.");
        return QStringLiteral("Das Feld %1 muss ausgefüllt werden.")
            .arg(quoted(captionOf(ctx, column)));
    }
    if (state == u"22P02" || state == u"22003" || state == u"22007" || state == u"22008") {
        const BadValue bad = badValueInMessage(e.ServerMessage());
        QString what;
        if (state == u"22003")
            what = QStringLiteral("eine Zahl außerhalb des erlaubten Bereichs");
        else if (state == u"22007" || state == u"22008" || bad.type.startsWith(u"date") ||
                 bad.type.startsWith(u"time"))
            what = QStringLiteral("kein gültiges Datum");
        else if (isNumberType(bad.type))
            what = QStringLiteral("keine gültige Zahl");
        else
            what = QStringLiteral("keinen gültigen Wert");
        const QString value = bad.value.isEmpty() && state != u"22003"
                                  ? QString()
                                  : QStringLiteral(" (%1)").arg(quoted(bad.value));
        if (column.isEmpty())
            return QStringLiteral("Die Eingabe ist %1%2.").arg(what, state == u"22003" ? QString()
                                                                                      : value);
        return QStringLiteral("Das Feld %1 enthält %2%3.")
            .arg(quoted(captionOf(ctx, column)), what, state == u"22003" ? QString() : value);
    }
    if (state == u"23505") { // unique_violation
        const TKeyDetail key = ParseKeyDetail(diag.detail);
        if (key.columns.isEmpty())
            return QStringLiteral("Dieser Datensatz ist bereits vorhanden.");
        return QStringLiteral("Der Wert %1 für %2 ist bereits vergeben.")
            .arg(quoted(key.values), captionsOf(ctx, key.columns));
    }
    if (state == u"23503") { // foreign_key_violation
        const TKeyDetail key = ParseKeyDetail(diag.detail);
        if (diag.detail.contains(QLatin1String("still referenced")))
            return QStringLiteral("Der Datensatz wird noch in %1 verwendet und kann nicht "
                                  "gelöscht werden.")
                .arg(quoted(tableCaption(key.otherTable.isEmpty() ? diag.table : key.otherTable)));
        if (key.columns.isEmpty())
            return QStringLiteral("Ein Wert verweist auf einen Datensatz, den es nicht gibt.");
        return QStringLiteral("Zu %1 gibt es keinen Datensatz %2 in %3.")
            .arg(captionsOf(ctx, key.columns), quoted(key.values),
                 quoted(tableCaption(key.otherTable)));
    }
    if (state == u"23514") { // check_violation
        const QStringList cols = checkColumns(ctx, e);
        if (cols.isEmpty())
            return QStringLiteral("Die Eingabe verletzt die Prüfregel %1.")
                .arg(quoted(diag.constraint));
        return QStringLiteral("Der Wert von %1 ist nicht zulässig (Prüfregel %2).")
            .arg(captionsOf(ctx, cols), quoted(diag.constraint));
    }
    return std::nullopt;
}

EVoskDatabaseError TranslateDatabaseError(const EVoskDatabaseError& e, const TDbErrorContext& ctx) {
    if (e.IsTranslated())
        return e;
    if (const auto sentence = GermanDatabaseMessage(e, ctx))
        return EVoskDatabaseError::Translated(*sentence, e);
    return e;
}

} // namespace Dunmere
