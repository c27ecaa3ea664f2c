#pragma once
// The dataset library's expression compiler: filters and maintained aggregates over a dataset's
// fields. Text is lexed and parsed by recursive descent into a typed tree that evaluates per row
// (filters) or per group of rows (aggregates). Numbers always use '.' so that a text means the
// same under every locale. Errors are EDatabaseError with the library's German texts; a missing
// field goes through a hook so that callers can tell it apart from a syntax error.

#include "CdsTypes.h"

#include <QFlags>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Cds {

enum class ParserOption : unsigned {
    ExtendedSyntax = 0x01,    // arithmetic and functions
    Aggregate = 0x02,         // the text is a maintained aggregate
    DefaultExpression = 0x04, // any result type, no aggregates
    UseOrigNames = 0x08,
    FieldNameGiven = 0x10,
    FieldDepend = 0x20, // report the fields the text reads
};
Q_DECLARE_FLAGS(ParserOptions, ParserOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ParserOptions)

enum class FilterOption : unsigned { CaseInsensitive = 0x01, NoPartialCompare = 0x02 };
Q_DECLARE_FLAGS(FilterOptions, FilterOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(FilterOptions)

// The library's error texts (German). Each takes at most one argument (%1).
namespace ExprText {
inline constexpr const char* InvalidChar = "Ungültiges Zeichen im Filterausdruck: '%1'";
inline constexpr const char* StringTerm = "Zeichenkette im Filterausdruck nicht abgeschlossen";
inline constexpr const char* NameTerm = "Feldname im Filterausdruck nicht abgeschlossen";
inline constexpr const char* InvalidKeyword = "Ungültige Verwendung des Schlüsselworts '%1'";
inline constexpr const char* NoLParen = "'(' erwartet, aber %1 gefunden";
inline constexpr const char* NoRParen = "')' erwartet, aber %1 gefunden";
inline constexpr const char* NoRParenOrComma = "')' oder ',' erwartet, aber %1 gefunden";
inline constexpr const char* EmptyInList = "Die Liste des IN-Prädikats darf nicht leer sein";
inline constexpr const char* Expected = "Ausdruck erwartet, aber %1 gefunden";
inline constexpr const char* Nothing = "Kein Ausdruck vorhanden";
inline constexpr const char* Incorrect = "Fehlerhafter Ausdruck";
inline constexpr const char* Termination = "Ausdruck nicht korrekt abgeschlossen bei %1";
inline constexpr const char* RangeError = "Konstante außerhalb des gültigen Bereichs: %1";
inline constexpr const char* TypeMismatch = "Typenkonflikt im Ausdruck";
inline constexpr const char* NoArith = "Arithmetik in Filterausdrücken nicht unterstützt";
inline constexpr const char* BadConst = "Konstante hat nicht den richtigen Typ: %1";
inline constexpr const char* BadField = "Feld '%1' kann in einem Filterausdruck nicht verwendet werden";
inline constexpr const char* BadNullTest = "NULL ist nur mit '=' und '<>' zulässig";
inline constexpr const char* BadScope =
    "Aggregatwerte und Datensatzwerte können nicht gemischt werden";
inline constexpr const char* AggInFilter = "Aggregate sind in Filterausdrücken nicht zulässig";
inline constexpr const char* AggOverCalc = "Aggregat über das berechnete Feld '%1' nicht zulässig";
inline constexpr const char* NotAggregate = "Ausdruck ist kein Aggregat";
inline constexpr const char* FieldNotFound = "Feld '%1' nicht gefunden";
} // namespace ExprText

QString ExprMessage(const char* text, const QString& arg = {});

// What the compiler needs to know about a field.
struct ExprField final {
    int Number = -1; // position in the dataset, 0-based
    FieldType Type = FieldType::Integer;
    bool Calculated = false;
};

struct ExprHooks final {
    // Returns the field of that name or nothing. Required.
    std::function<std::optional<ExprField>(const QString& name)> FindField;
    // Called for a field the dataset lacks; must throw. Default: EDatabaseError FieldNotFound.
    std::function<void(const QString& name)> MissingField;
};

// Row values for evaluation, by field number.
class ExprRow {
public:
    virtual ~ExprRow() = default;
    virtual QVariant Value(int field) const = 0;
};

enum class ExprType : unsigned char { Null, Boolean, Integer, Float, String, Date, Time, DateTime };

enum class AggFunc : unsigned char { Sum, Min, Max, Avg, Count };

class Expression;

// Running totals of one aggregate expression over a group of rows.
class AggregateState final {
public:
    void Add(const ExprRow& row);
    QVariant Result() const;

private:
    friend class Expression;
    struct Acc final {
        AggFunc Func = AggFunc::Count;
        qint64 Count = 0;
        double Sum = 0;  // values that are not integers, and integer totals past 64 bits
        qint64 ISum = 0; // integer values, exact
        bool AllInt = true;
        void AddNumber(const QVariant& v);
        QVariant Best; // min or max so far
    };
    const Expression* m_expr = nullptr;
    std::vector<Acc> m_acc; // one per aggregate node, in node order
};

class Expression final {
public:
    struct Node;
    ~Expression();

    // Parses and checks text; throws EDatabaseError (or what the MissingField hook throws).
    static std::shared_ptr<const Expression> Compile(const QString& text, const ExprHooks& hooks,
                                                     ParserOptions parserOptions,
                                                     FilterOptions filterOptions = {});

    const QString& Text() const { return m_text; }
    ExprType ResultType() const;
    bool IsAggregate() const { return m_isAggregate; }
    // Field numbers the text reads, ascending, each once.
    const std::vector<int>& DependentFields() const { return m_dependent; }

    QVariant Evaluate(const ExprRow& row) const;
    // Filters: only a true result passes; Null does not.
    bool Matches(const ExprRow& row) const;

    AggregateState NewAggregateState() const;

    // An aggregate that is one function over one plain field (or COUNT(*)): datasets total
    // those straight from their columns. Field -1 is COUNT(*).
    struct Simple final {
        AggFunc Func;
        int Field;
    };
    std::optional<Simple> SimpleAggregate() const;

private:
    friend class Parser;
    friend class AggregateState;
    Expression() = default;
    QVariant Eval(const Node* n, const ExprRow* row, const AggregateState* agg) const;

    QString m_text;
    FilterOptions m_filterOptions;
    std::vector<std::unique_ptr<Node>> m_nodes; // every node made, freed with the expression
    const Node* m_root = nullptr;
    std::vector<const Node*> m_aggNodes;
    std::vector<int> m_dependent;
    bool m_isAggregate = false;
};

// Names that start a function call when followed by "(".
bool IsFunctionName(const QString& name);

} // namespace Cds
