#pragma once
// Conditional formatting of a grid's cells: rules per column that compare a cell's value with one
// value, test it against a range of two, or look for a text in it, and when they hold colour the
// cell's background or text and set it in bold. A rule keeps its values as the user typed them
// and reads them by the type of the cell (number, date, timestamp, time, Boolean, text), so one
// rule serves whatever the query delivers. The rules travel with the grid's layout.

#include <QColor>
#include <QDate>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

class QJsonObject;

enum class TVoskCondOperator {
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Between,
    Contains
};

struct TVoskCondFormatRule {
    QString field;
    TVoskCondOperator op = TVoskCondOperator::Equal;
    QString value1;
    QString value2; // the upper bound of Between; unused otherwise
    QColor background; // invalid: the cell's own
    QColor textColor;  // invalid: the cell's own
    bool bold = false;

    bool operator==(const TVoskCondFormatRule&) const = default;
};

// How a cell looks when a rule holds.
struct TVoskCondFormatStyle {
    QColor background;
    QColor textColor;
    bool bold = false;
};

namespace VoskConditionalFormatting {

// The operators in the order the rules dialog offers them.
const QList<TVoskCondOperator>& Operators();
// "gleich", "zwischen", "enthält" ...
QString OperatorText(TVoskCondOperator op);
// The name in the stored layout ("greater"); nullopt for an unknown one.
QString OperatorKey(TVoskCondOperator op);
std::optional<TVoskCondOperator> OperatorOfKey(const QString& key);
// "größer als 100", "zwischen 1 und 5" (without the column).
QString ConditionText(const TVoskCondFormatRule& rule);

// What kind of value a column of cells of type holds, as the rules read their values.
enum class TValueKind { Text, Number, Date, DateTime, Time, Boolean };
TValueKind KindOfType(int metaType);
// "Zahl", "Datum (TT.MM.JJJJ)" ...
QString KindText(TValueKind kind);
// Whether text reads as a value of kind: a number German ("1.234,5") or plain ("1234.5"), a date
// "31.12.2026" or "2026-12-31", a timestamp with "hh:mm[:ss]" after the date (a date alone
// covers the whole day), a time, or "ja"/"nein"/"wahr"/"falsch"/"true"/"false"/"1"/"0".
bool ValueReads(const QString& text, TValueKind kind);

// Whether rule holds for a cell holding value as the data class gives it; shown is the cell's
// text, which Contains searches (the value's own text when empty). No value (NULL) never holds,
// and neither does a value the rule's values cannot be compared with.
bool Holds(const TVoskCondFormatRule& rule, const QVariant& value, const QString& shown = {});

// Whether a workbook holds the date as a date: it knows the years 1900 to 9999 only.
bool InWorkbookYears(const QDate& d);

// The rule as a workbook formula over cell (e.g. "C2", relative to the first cell of the range it
// formats) for cells of kind, so that the workbook itself colours what the grid colours and
// follows later edits. A formula holds only for a cell of that kind (a blank one never), as the
// rule does. nullopt where the workbook cannot judge as the rule does (text ordered the German
// way, a search in a cell's shown text, times, dates before 1900); an empty text where the rule
// holds for no cell of kind, as its values do not read as that kind.
std::optional<QString> WorkbookFormula(const TVoskCondFormatRule& rule, TValueKind kind,
                                       const QString& cell);

// The rules as stored, and read back: a rule that does not parse is left out with a log line
// naming where it was read.
QJsonArray ToJson(const QList<TVoskCondFormatRule>& rules);
QList<TVoskCondFormatRule> FromJson(const QJsonArray& rules, const QString& where);

} // namespace VoskConditionalFormatting

// The rules of one grid, ready for painting: the values are read once per rule, not per cell.
class TVoskConditionalFormatting final : public QObject {
    Q_OBJECT
public:
    explicit TVoskConditionalFormatting(QObject* parent = nullptr);
    ~TVoskConditionalFormatting() override;

    const QList<TVoskCondFormatRule>& Rules() const { return m_rules; }
    void SetRules(const QList<TVoskCondFormatRule>& rules);
    bool IsEmpty() const { return m_rules.isEmpty(); }
    // How a cell of field with value looks: the first rule of the field that holds decides;
    // nullopt when none holds.
    std::optional<TVoskCondFormatStyle> StyleFor(const QString& field, const QVariant& value,
                                                 const QString& shown = {}) const;
    // The index in Rules() of the rule that decides, as StyleFor.
    std::optional<qsizetype> DecidingRule(const QString& field, const QVariant& value,
                                          const QString& shown = {}) const;
    static TVoskCondFormatStyle StyleOf(const TVoskCondFormatRule& rule) {
        return {rule.background, rule.textColor, rule.bold};
    }

    // The layout's entry "conditionalFormatting"; a layout without it has no rules. where names
    // the grid in log lines.
    void ToLayout(QJsonObject& root) const;
    void FromLayout(const QJsonObject& root, const QString& where);

signals:
    void Changed();

private:
    struct Compiled;
    QList<TVoskCondFormatRule> m_rules;
    std::vector<Compiled> m_compiled;
};
