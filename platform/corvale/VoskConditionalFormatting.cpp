#include "VoskConditionalFormatting.h"

#include "Uloghelper.h"

#include <QCollator>
#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTime>

#include <cmath>

namespace VoskConditionalFormatting {

namespace {

const QLocale& German() {
    static const QLocale german(QLocale::German, QLocale::Germany);
    return german;
}

// Text is compared the German way and without regard to case, as a user reads a list.
int CompareText(const QString& a, const QString& b) {
    static thread_local QCollator collator = [] {
        QCollator c(German());
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

std::optional<QDate> ReadDate(const QString& text) {
    for (const char* format : {"d.M.yyyy", "yyyy-M-d"}) {
        const QDate d = QDate::fromString(text, QLatin1String(format));
        if (d.isValid())
            return d;
    }
    return std::nullopt;
}

std::optional<QTime> ReadTime(const QString& text) {
    for (const char* format : {"h:mm:ss", "h:mm", "h:mm:ss.zzz"}) {
        const QTime t = QTime::fromString(text, QLatin1String(format));
        if (t.isValid())
            return t;
    }
    return std::nullopt;
}

std::optional<QDateTime> ReadDateTime(const QString& text) {
    qsizetype at = text.indexOf(u' ');
    if (at < 0 && text.size() > 10 && text.at(10) == u'T')
        at = 10;
    if (at < 0)
        return std::nullopt;
    const std::optional<QDate> d = ReadDate(text.left(at));
    const std::optional<QTime> t = ReadTime(text.mid(at + 1).trimmed());
    if (!d || !t)
        return std::nullopt;
    return QDateTime(*d, *t);
}

std::optional<bool> ReadBool(const QString& text) {
    const QString t = text.toLower();
    if (t == u"ja" || t == u"wahr" || t == u"true" || t == u"1")
        return true;
    if (t == u"nein" || t == u"falsch" || t == u"false" || t == u"0")
        return false;
    return std::nullopt;
}

// German first ("1.234,5"), then the plain form ("1234.5"); "12.50" is no German number, as its
// group has two digits, and so reads as twelve and a half.
// "nan" and "inf" are no values a user compares with.
std::optional<double> ReadNumber(const QString& text) {
    bool ok = false;
    double v = German().toDouble(text, &ok);
    if (!ok)
        v = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::optional<qint64> ReadInteger(const QString& text) {
    bool ok = false;
    qint64 v = German().toLongLong(text, &ok);
    if (!ok)
        v = QLocale::c().toLongLong(text, &ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

// A rule's value read every way a cell may want it.
struct Operand {
    QString text;
    std::optional<qint64> integer;
    std::optional<double> number;
    std::optional<QDate> date;
    std::optional<QDateTime> dateTime;
    std::optional<QTime> time;
    std::optional<bool> boolean;

    explicit Operand(const QString& raw = {}) : text(raw.trimmed()) {
        if (text.isEmpty())
            return;
        integer = ReadInteger(text);
        number = ReadNumber(text);
        date = ReadDate(text);
        dateTime = ReadDateTime(text);
        time = ReadTime(text);
        boolean = ReadBool(text);
    }
};

template <class T> int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The cell's value against the operand: below, equal or above; nullopt when they are not of
// one kind.
std::optional<int> Compare(const QVariant& value, const Operand& o) {
    switch (KindOfType(value.typeId())) {
    case TValueKind::Number:
        if (o.integer && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float)
            return Order(value.toLongLong(), *o.integer);
        // NaN is neither below, above nor equal to any number.
        if (o.number && !std::isnan(value.toDouble()))
            return Order(value.toDouble(), *o.number);
        return std::nullopt;
    case TValueKind::Date:
        if (o.date)
            return Order(value.toDate(), *o.date);
        return std::nullopt;
    case TValueKind::DateTime:
        if (o.dateTime)
            return Order(value.toDateTime(), *o.dateTime);
        if (o.date) // a day stands for every moment of it
            return Order(value.toDateTime().date(), *o.date);
        return std::nullopt;
    case TValueKind::Time:
        if (o.time)
            return Order(value.toTime(), *o.time);
        return std::nullopt;
    case TValueKind::Boolean:
        if (o.boolean)
            return Order(value.toBool(), *o.boolean);
        return std::nullopt;
    case TValueKind::Text:
        break;
    }
    return CompareText(value.toString(), o.text);
}

struct CompiledRule {
    TVoskCondOperator op;
    Operand low, high;

    explicit CompiledRule(const TVoskCondFormatRule& rule) : op(rule.op), low(rule.value1) {
        if (op == TVoskCondOperator::Between)
            high = Operand(rule.value2);
    }

    bool Holds(const QVariant& value, const QString& shown) const {
        if (value.isNull() || !value.isValid() || low.text.isEmpty())
            return false;
        if (op == TVoskCondOperator::Contains)
            return (shown.isEmpty() ? value.toString() : shown)
                .contains(low.text, Qt::CaseInsensitive);
        const std::optional<int> c = Compare(value, low);
        if (!c)
            return false;
        switch (op) {
        case TVoskCondOperator::Equal: return *c == 0;
        case TVoskCondOperator::NotEqual: return *c != 0;
        case TVoskCondOperator::Less: return *c < 0;
        case TVoskCondOperator::LessOrEqual: return *c <= 0;
        case TVoskCondOperator::Greater: return *c > 0;
        case TVoskCondOperator::GreaterOrEqual: return *c >= 0;
        case TVoskCondOperator::Between: {
            const std::optional<int> h = Compare(value, high);
            if (!h)
                return false;
            // Bounds typed the wrong way round still mean the range between them.
            return (*c >= 0 && *h <= 0) || (*c <= 0 && *h >= 0);
        }
        case TVoskCondOperator::Contains: break;
        }
        return false;
    }
};

struct OperatorName {
    TVoskCondOperator op;
    const char* key;
    const char* text;
};

const OperatorName kOperators[] = {
    {TVoskCondOperator::Equal, "equal", "gleich"},
    {TVoskCondOperator::NotEqual, "notEqual", "ungleich"},
    {TVoskCondOperator::Less, "less", "kleiner als"},
    {TVoskCondOperator::LessOrEqual, "lessOrEqual", "kleiner oder gleich"},
    {TVoskCondOperator::Greater, "greater", "größer als"},
    {TVoskCondOperator::GreaterOrEqual, "greaterOrEqual", "größer oder gleich"},
    {TVoskCondOperator::Between, "between", "zwischen"},
    {TVoskCondOperator::Contains, "contains", "enthält"},
};

QString ColorText(const QColor& c) {
    return c.isValid() ? c.name(QColor::HexRgb) : QString();
}

} // namespace

const QList<TVoskCondOperator>& Operators() {
    static const QList<TVoskCondOperator> list = [] {
        QList<TVoskCondOperator> l;
        for (const OperatorName& o : kOperators)
            l << o.op;
        return l;
    }();
    return list;
}

QString OperatorText(TVoskCondOperator op) {
    for (const OperatorName& o : kOperators)
        if (o.op == op)
            return QString::fromUtf8(o.text);
    return {};
}

QString OperatorKey(TVoskCondOperator op) {
    for (const OperatorName& o : kOperators)
        if (o.op == op)
            return QString::fromLatin1(o.key);
    return {};
}

std::optional<TVoskCondOperator> OperatorOfKey(const QString& key) {
    for (const OperatorName& o : kOperators)
        if (key == QLatin1String(o.key))
            return o.op;
    return std::nullopt;
}

QString ConditionText(const TVoskCondFormatRule& rule) {
    if (rule.op == TVoskCondOperator::Between)
        return QStringLiteral("zwischen %1 und %2").arg(rule.value1, rule.value2);
    if (rule.op == TVoskCondOperator::Contains)
        return QStringLiteral("enthält „%1“").arg(rule.value1);
    return OperatorText(rule.op) + u' ' + rule.value1;
}

TValueKind KindOfType(int metaType) {
    switch (metaType) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return TValueKind::Number;
    case QMetaType::QDate: return TValueKind::Date;
    case QMetaType::QDateTime: return TValueKind::DateTime;
    case QMetaType::QTime: return TValueKind::Time;
    case QMetaType::Bool: return TValueKind::Boolean;
    default: return TValueKind::Text;
    }
}

QString KindText(TValueKind kind) {
    switch (kind) {
    case TValueKind::Number: return QStringLiteral("eine Zahl");
    case TValueKind::Date: return QStringLiteral("ein Datum (TT.MM.JJJJ)");
    case TValueKind::DateTime:
        return QStringLiteral("ein Datum (TT.MM.JJJJ) oder ein Zeitpunkt (TT.MM.JJJJ hh:mm)");
    case TValueKind::Time: return QStringLiteral("eine Uhrzeit (hh:mm)");
    case TValueKind::Boolean: return QStringLiteral("„ja“ oder „nein“");
    case TValueKind::Text: return QStringLiteral("ein Text");
    }
    return {};
}

bool ValueReads(const QString& text, TValueKind kind) {
    const Operand o(text);
    if (o.text.isEmpty())
        return false;
    switch (kind) {
    case TValueKind::Number: return o.number.has_value();
    case TValueKind::Date: return o.date.has_value();
    case TValueKind::DateTime: return o.date || o.dateTime;
    case TValueKind::Time: return o.time.has_value();
    case TValueKind::Boolean: return o.boolean.has_value();
    case TValueKind::Text: return true;
    }
    return false;
}

bool Holds(const TVoskCondFormatRule& rule, const QVariant& value, const QString& shown) {
    return CompiledRule(rule).Holds(value, shown);
}

namespace {

// A string literal of a workbook formula holds at most 255 characters.
constexpr qsizetype kMaxFormulaText = 255;

QString FormulaText(const QString& text) {
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString FormulaNumber(double v) {
    return QString::number(v, 'g', 17).toUpper();
}

QString FormulaDate(const QDate& d) {
    return QStringLiteral("DATE(%1,%2,%3)").arg(d.year()).arg(d.month()).arg(d.day());
}

const char* Comparison(TVoskCondOperator op) {
    switch (op) {
    case TVoskCondOperator::Equal: return "=";
    case TVoskCondOperator::NotEqual: return "<>";
    case TVoskCondOperator::Less: return "<";
    case TVoskCondOperator::LessOrEqual: return "<=";
    case TVoskCondOperator::Greater: return ">";
    case TVoskCondOperator::GreaterOrEqual: return ">=";
    case TVoskCondOperator::Between:
    case TVoskCondOperator::Contains: break;
    }
    return nullptr;
}

// guard(cell) and the comparison of lhs with the operands as the rule makes it; low and high
// are the operands as formula text, in the order the rule reads them.
QString Comparing(const QString& guard, const QString& lhs, TVoskCondOperator op,
                  const QString& low, const QString& high) {
    if (op == TVoskCondOperator::Between)
        // Bounds typed the wrong way round still mean the range between them.
        return QStringLiteral("AND(%1,OR(AND(%2>=%3,%2<=%4),AND(%2>=%4,%2<=%3)))")
            .arg(guard, lhs, low, high);
    return QStringLiteral("AND(%1,%2%3%4)")
        .arg(guard, lhs, QLatin1String(Comparison(op)), low);
}

} // namespace

bool InWorkbookYears(const QDate& d) {
    return d.isValid() && d.year() >= 1900 && d.year() <= 9999;
}

std::optional<QString> WorkbookFormula(const TVoskCondFormatRule& rule, TValueKind kind,
                                       const QString& cell) {
    const CompiledRule compiled(rule);
    const Operand& low = compiled.low;
    const Operand& high = compiled.high;
    const bool between = rule.op == TVoskCondOperator::Between;
    if (low.text.isEmpty() || (between && high.text.isEmpty()))
        return QString();
    if (rule.op == TVoskCondOperator::Contains) {
        // Other kinds are searched in the text the grid shows, which the workbook formats its
        // own way.
        if (kind != TValueKind::Text || low.text.size() > kMaxFormulaText)
            return std::nullopt;
        // SEARCH ignores case as the rule does, but reads ?, * and ~ as wildcards.
        QString pattern;
        for (QChar c : low.text) {
            if (c == u'?' || c == u'*' || c == u'~')
                pattern += u'~';
            pattern += c;
        }
        return QStringLiteral("ISNUMBER(SEARCH(%1,%2))").arg(FormulaText(pattern), cell);
    }
    switch (kind) {
    case TValueKind::Number: {
        if (!low.number || (between && !high.number))
            return QString();
        return Comparing(QStringLiteral("ISNUMBER(%1)").arg(cell), cell, rule.op,
                         FormulaNumber(*low.number),
                         between ? FormulaNumber(*high.number) : QString());
    }
    case TValueKind::Date: {
        if (!low.date || (between && !high.date))
            return QString();
        if (!InWorkbookYears(*low.date) || (between && !InWorkbookYears(*high.date)))
            return std::nullopt;
        return Comparing(QStringLiteral("ISNUMBER(%1)").arg(cell), cell, rule.op,
                         FormulaDate(*low.date), between ? FormulaDate(*high.date) : QString());
    }
    case TValueKind::DateTime: {
        // A rule compares timestamps to the millisecond, or by day when its value is a day.
        const auto moment = [](const Operand& o) -> std::optional<QString> {
            if (o.dateTime) {
                if (!InWorkbookYears(o.dateTime->date()))
                    return std::nullopt;
                return QStringLiteral("%1*86400000+%2")
                    .arg(FormulaDate(o.dateTime->date()))
                    .arg(o.dateTime->time().msecsSinceStartOfDay());
            }
            if (!InWorkbookYears(*o.date))
                return std::nullopt;
            return FormulaDate(*o.date);
        };
        if (!(low.dateTime || low.date) || (between && !(high.dateTime || high.date)))
            return QString();
        // Both bounds of a range must be compared the same way.
        if (between && bool(low.dateTime) != bool(high.dateTime))
            return std::nullopt;
        const std::optional<QString> l = moment(low);
        const std::optional<QString> h = between ? moment(high) : std::optional<QString>(QString());
        if (!l || !h)
            return std::nullopt;
        const QString lhs = low.dateTime ? QStringLiteral("ROUND(%1*86400000,0)").arg(cell)
                                         : QStringLiteral("INT(%1)").arg(cell);
        return Comparing(QStringLiteral("ISNUMBER(%1)").arg(cell), lhs, rule.op, *l, *h);
    }
    case TValueKind::Boolean: {
        if (!low.boolean || (between && !high.boolean))
            return QString();
        const auto text = [](bool b) { return b ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); };
        return Comparing(QStringLiteral("ISLOGICAL(%1)").arg(cell), cell, rule.op,
                         text(*low.boolean), between ? text(*high.boolean) : QString());
    }
    case TValueKind::Text:
        // The workbook orders text its own way, not the German one; equality ignores case in
        // both.
        if ((rule.op != TVoskCondOperator::Equal && rule.op != TVoskCondOperator::NotEqual) ||
            low.text.size() > kMaxFormulaText)
            return std::nullopt;
        return Comparing(QStringLiteral("ISTEXT(%1)").arg(cell), cell, rule.op,
                         FormulaText(low.text), QString());
    case TValueKind::Time:
        return std::nullopt;
    }
    return std::nullopt;
}

QJsonArray ToJson(const QList<TVoskCondFormatRule>& rules) {
    QJsonArray list;
    for (const TVoskCondFormatRule& r : rules) {
        QJsonObject o;
        o[QStringLiteral("field")] = r.field;
        o[QStringLiteral("op")] = OperatorKey(r.op);
        o[QStringLiteral("value1")] = r.value1;
        if (r.op == TVoskCondOperator::Between)
            o[QStringLiteral("value2")] = r.value2;
        o[QStringLiteral("background")] = ColorText(r.background);
        o[QStringLiteral("textColor")] = ColorText(r.textColor);
        o[QStringLiteral("bold")] = r.bold;
        list.append(o);
    }
    return list;
}

QList<TVoskCondFormatRule> FromJson(const QJsonArray& rules, const QString& where) {
    QList<TVoskCondFormatRule> list;
    for (const QJsonValue& v : rules) {
        const QJsonObject o = v.toObject();
        TVoskCondFormatRule r;
        r.field = o.value(QStringLiteral("field")).toString().trimmed();
        const std::optional<TVoskCondOperator> op =
            OperatorOfKey(o.value(QStringLiteral("op")).toString());
        r.value1 = o.value(QStringLiteral("value1")).toString();
        r.value2 = o.value(QStringLiteral("value2")).toString();
        r.bold = o.value(QStringLiteral("bold")).toBool(false);
        QString fault;
        auto colour = [&](const char* key, QColor& out) {
            const QString text = o.value(QLatin1String(key)).toString();
            if (text.isEmpty())
                return;
            out = QColor::fromString(text);
            if (!out.isValid())
                fault = QStringLiteral("Farbe \"%1\" unbekannt").arg(text);
        };
        colour("background", r.background);
        colour("textColor", r.textColor);
        if (!v.isObject())
            fault = QStringLiteral("kein Objekt");
        else if (r.field.isEmpty())
            fault = QStringLiteral("keine Spalte");
        else if (!op)
            fault = QStringLiteral("Bedingung \"%1\" unbekannt")
                        .arg(o.value(QStringLiteral("op")).toString());
        else if (r.value1.trimmed().isEmpty() ||
                 (*op == TVoskCondOperator::Between && r.value2.trimmed().isEmpty()))
            fault = QStringLiteral("Wert fehlt");
        if (!fault.isEmpty()) {
            const QString text = v.isObject()
                                     ? QString::fromUtf8(QJsonDocument(o).toJson(
                                           QJsonDocument::Compact))
                                     : v.toVariant().toString();
            TKorvexLog::LogMessage(
                QStringLiteral("%1: Regel der bedingten Formatierung nicht lesbar (%2), "
                               "ignoriert: %3")
                    .arg(where, fault, text),
                TKorvexLogLevel::Warning);
            continue;
        }
        r.op = *op;
        if (r.op != TVoskCondOperator::Between)
            r.value2.clear();
        list << r;
    }
    return list;
}

} // namespace VoskConditionalFormatting

// ---- TVoskConditionalFormatting -----------------------------------------------------------------

struct TVoskConditionalFormatting::Compiled {
    QString field; // lower case
    VoskConditionalFormatting::CompiledRule rule;
    TVoskCondFormatStyle style;
};

TVoskConditionalFormatting::TVoskConditionalFormatting(QObject* parent) : QObject(parent) {}

TVoskConditionalFormatting::~TVoskConditionalFormatting() = default;

void TVoskConditionalFormatting::SetRules(const QList<TVoskCondFormatRule>& rules) {
    if (rules == m_rules)
        return;
    m_rules = rules;
    m_compiled.clear();
    m_compiled.reserve(size_t(rules.size()));
    for (const TVoskCondFormatRule& r : rules)
        m_compiled.push_back(
            {r.field.toLower(), VoskConditionalFormatting::CompiledRule(r), StyleOf(r)});
    emit Changed();
}

std::optional<TVoskCondFormatStyle>
TVoskConditionalFormatting::StyleFor(const QString& field, const QVariant& value,
                                     const QString& shown) const {
    const std::optional<qsizetype> i = DecidingRule(field, value, shown);
    return i ? std::optional<TVoskCondFormatStyle>(m_compiled[size_t(*i)].style) : std::nullopt;
}

std::optional<qsizetype> TVoskConditionalFormatting::DecidingRule(const QString& field,
                                                                  const QVariant& value,
                                                                  const QString& shown) const {
    if (m_compiled.empty())
        return std::nullopt;
    const QString key = field.toLower();
    for (size_t i = 0; i < m_compiled.size(); ++i)
        if (m_compiled[i].field == key && m_compiled[i].rule.Holds(value, shown))
            return qsizetype(i);
    return std::nullopt;
}

void TVoskConditionalFormatting::ToLayout(QJsonObject& root) const {
    if (!m_rules.isEmpty())
        root[QStringLiteral("conditionalFormatting")] = VoskConditionalFormatting::ToJson(m_rules);
}

void TVoskConditionalFormatting::FromLayout(const QJsonObject& root, const QString& where) {
    const QJsonValue v = root.value(QStringLiteral("conditionalFormatting"));
    if (!v.isUndefined() && !v.isArray())
        TKorvexLog::LogMessage(
            QStringLiteral("%1: bedingte Formatierung nicht lesbar, ignoriert").arg(where),
            TKorvexLogLevel::Warning);
    SetRules(VoskConditionalFormatting::FromJson(v.toArray(), where));
}
