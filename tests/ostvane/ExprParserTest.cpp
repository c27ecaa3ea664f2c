#include "UPantafel.ExprParser.h"

#include <QLocale>

#include <gtest/gtest.h>

using Cds::FilterOption;
using Cds::ParserOption;
using Cds::ParserOptions;

namespace {

// id, name, amount, day, calc (calculated), flag
std::unique_ptr<Cds::ClientDataSet> Data() {
    auto ds = std::make_unique<Cds::ClientDataSet>();
    ds->FieldDefs().Add(QStringLiteral("id"), Cds::FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("name"), Cds::FieldType::String);
    ds->FieldDefs().Add(QStringLiteral("amount"), Cds::FieldType::Float);
    ds->FieldDefs().Add(QStringLiteral("day"), Cds::FieldType::Date);
    ds->FieldDefs().Add(QStringLiteral("calc"), Cds::FieldType::Float, 0, true);
    ds->FieldDefs().Add(QStringLiteral("flag"), Cds::FieldType::Boolean);
    ds->CreateDataSet();
    const struct {
        int id;
        QVariant name;
        double amount;
        QDate day;
        bool flag;
    } rows[] = {{1, QStringLiteral("Alpha"), 1.5, QDate(2025, 1, 6), true},
                {2, QStringLiteral("beta"), -2.0, QDate(2024, 12, 30), false},
                {12, QVariant(), 10.0, QDate(2025, 3, 1), false}};
    for (const auto& r : rows) {
        ds->Append();
        ds->SetValue(0, r.id);
        ds->SetValue(1, r.name);
        ds->SetValue(2, r.amount);
        ds->SetValue(3, r.day);
        ds->SetValue(5, r.flag);
        ds->Post();
    }
    return ds;
}

const ParserOptions kFilter{};
const ParserOptions kExt = ParserOption::ExtendedSyntax;
const ParserOptions kAgg = ParserOption::ExtendedSyntax | ParserOption::Aggregate |
                           ParserOption::FieldDepend;

// Parses; returns "" on success, else the error class and message.
QString Parse(const QString& text, ParserOptions po, Cds::FilterOptions fo = {}) {
    auto ds = Data();
    try {
        TPlantafelExprParser p(*ds, true, nullptr, QString(), po, fo, QString());
        p.SetExprParams(text, fo, po, QString());
        return {};
    } catch (const EPlantafelExprException& e) {
        return QStringLiteral("EPlantafelExprException: ") + e.Message();
    } catch (const Cds::EDatabaseError& e) {
        return e.Message();
    }
}

// Ids of the rows a filter passes.
QString Passing(const QString& text, ParserOptions po = kExt, Cds::FilterOptions fo = {}) {
    auto ds = Data();
    TPlantafelExprParser p(*ds, true, nullptr, QString(), po, fo, text);
    QStringList ids;
    for (ds->First(); !ds->Eof(); ds->Next())
        if (p.Matches(*ds))
            ids << ds->AsString(0);
    return ids.join(',');
}

QVariant Aggregate(const QString& text) {
    auto ds = Data();
    TPlantafelExprParser p(*ds, true, nullptr, QString(), kAgg, {}, text);
    return p.EvaluateAggregate(*ds);
}

} // namespace

TEST(PlantafelExprParser, AcceptsTheGrammar) {
    const struct {
        const char* text;
        ParserOptions options;
    } cases[] = {
        {"id = 1", kFilter},
        {"name = 'O''Brien'", kFilter},
        {"[name] <> 'x' and id >= -3", kFilter},
        {"id IN (1, 2,3)", kFilter},
        {"name LIKE 'a%' OR name IS NULL OR name is not null", kFilter},
        {"NOT NOT (id = 1) AND amount >= -2.5 OR flag", kFilter},
        {"day > '2025-01-01' AND flag = True", kFilter},
        {"id = NULL", kFilter},
        {"id+1>2 AND amount*2-1 < 3e2 AND id - 1 = 0", kExt},
        {"UPPER(name) = 'A' AND SUBSTRING(name,1,2) = 'ab' AND TRIMLEFT(name) <> ''", kExt},
        {"YEAR(day) = 2025 AND DAY(day) IN (1, 6) AND DATE(GETDATE()) > day", kExt},
        {"Sum(amount)", kAgg},
        {"COUNT(*)", kAgg},
        {"Sum(amount) / Count(id) + 1", kAgg},
        {"Min(name)", kAgg},
        {"max(day)", kAgg},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(QString::fromUtf8(c.text), c.options), "") << c.text;
}

TEST(PlantafelExprParser, RejectsWithTheLibraryTexts) {
    const struct {
        const char* text;
        ParserOptions options;
        const char* error;
    } cases[] = {
        {"", kFilter, "Kein Ausdruck vorhanden"},
        {"  ", kFilter, "Kein Ausdruck vorhanden"},
        {"name = 'a", kFilter, "Zeichenkette im Filterausdruck nicht abgeschlossen"},
        {"[name = 1", kFilter, "Feldname im Filterausdruck nicht abgeschlossen"},
        {"id # 1", kFilter, "Ungültiges Zeichen im Filterausdruck: '#'"},
        {"name = \"x\"", kFilter, "Ungültiges Zeichen im Filterausdruck: '\"'"},
        {"id = 1.5.3", kFilter, "Ungültiges Zeichen im Filterausdruck: '.'"},
        {"id = 1 ; id = 2", kFilter, "Ungültiges Zeichen im Filterausdruck: ';'"},
        {"name IS 1", kFilter, "Ungültige Verwendung des Schlüsselworts 'IS'"},
        {"name IS NOT 1", kFilter, "Ungültige Verwendung des Schlüsselworts 'IS'"},
        {"id IN ()", kFilter, "Die Liste des IN-Prädikats darf nicht leer sein"},
        {"id IN 1", kFilter, "'(' erwartet, aber '1' gefunden"},
        {"id IN (1 2)", kFilter, "')' oder ',' erwartet, aber '2' gefunden"},
        {"(id = 1", kFilter, "')' erwartet, aber Ende des Ausdrucks gefunden"},
        {"id =", kFilter, "Ausdruck erwartet, aber Ende des Ausdrucks gefunden"},
        {"id = )", kFilter, "Ausdruck erwartet, aber ')' gefunden"},
        {"id = 1 2", kFilter, "Ausdruck nicht korrekt abgeschlossen bei '2'"},
        {"id", kFilter, "Fehlerhafter Ausdruck"},
        {"id = 'abc'", kFilter, "Konstante hat nicht den richtigen Typ: abc"},
        {"day = '2025-13-01'", kFilter, "Konstante hat nicht den richtigen Typ: 2025-13-01"},
        {"id = -x", kFilter, "Konstante hat nicht den richtigen Typ: -x"},
        {"1e999 = amount", kFilter, "Konstante außerhalb des gültigen Bereichs: 1e999"},
        {"name = 1", kFilter, "Typenkonflikt im Ausdruck"},
        {"id AND flag", kFilter, "Typenkonflikt im Ausdruck"},
        {"id LIKE 'a'", kFilter, "Typenkonflikt im Ausdruck"},
        {"id + id > 1", kFilter, "Arithmetik in Filterausdrücken nicht unterstützt"},
        {"id * 2 > 1", kFilter, "Arithmetik in Filterausdrücken nicht unterstützt"},
        {"id < NULL", kFilter, "NULL ist nur mit '=' und '<>' zulässig"},
        {"UPPER(id) = 'A'", kExt, "Typenkonflikt im Ausdruck"},
        {"SUBSTRING(name) = 'A'", kExt, "Fehlerhafter Ausdruck"},
        {"Sum(amount) > 1", kExt, "Aggregate sind in Filterausdrücken nicht zulässig"},
        {"amount", kAgg, "Ausdruck ist kein Aggregat"},
        {"Sum(amount) + id", kAgg,
         "Aggregatwerte und Datensatzwerte können nicht gemischt werden"},
        {"Sum(Sum(amount))", kAgg,
         "Aggregatwerte und Datensatzwerte können nicht gemischt werden"},
        {"Sum(calc)", kAgg, "Aggregat über das berechnete Feld 'calc' nicht zulässig"},
        {"Sum(name)", kAgg, "Typenkonflikt im Ausdruck"},
        // Functions need the extended syntax; without it the name is a field.
        {"UPPER(name) = 'A'", kFilter,
         "EPlantafelExprException: Feld 'UPPER' nicht gefunden"},
        {"nosuch = 1", kFilter, "EPlantafelExprException: Feld 'nosuch' nicht gefunden"},
        {"Sum(nosuch)", kAgg, "EPlantafelExprException: Feld 'nosuch' nicht gefunden"},
        {"[no such] IS NULL", kFilter, "EPlantafelExprException: Feld 'no such' nicht gefunden"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(QString::fromUtf8(c.text), c.options), QString::fromUtf8(c.error))
            << c.text;
}

TEST(PlantafelExprParser, ReportsDependentFieldsWithinTheFieldCount) {
    auto ds = Data();
    TPlantafelDependentFields deps;
    TPlantafelExprParser p(*ds, true, &deps, QString(), kAgg, {},
                           QStringLiteral("Sum(amount) + Count(id) * Max(amount)"));
    EXPECT_EQ(deps.Size(), ds->FieldCount());
    EXPECT_EQ(deps.Fields(), (std::vector<int>{0, 2}));
    EXPECT_FALSE(deps.Set(ds->FieldCount()));
    EXPECT_FALSE(deps.Set(-1));
    EXPECT_FALSE(deps.Test(99));
    // Without the field-dependence option nothing is reported.
    TPlantafelDependentFields none;
    TPlantafelExprParser q(*ds, true, &none, QString(), kExt | ParserOption::Aggregate, {},
                           QStringLiteral("Sum(amount)"));
    EXPECT_TRUE(none.Fields().empty());
    EXPECT_TRUE(TPlantafelExprParser::TokenSymbolIsFunc(QStringLiteral("trimRight")));
    EXPECT_FALSE(TPlantafelExprParser::TokenSymbolIsFunc(QStringLiteral("ROUND")));
}

TEST(PlantafelExprParser, FiltersEvaluatePerRow) {
    EXPECT_EQ(Passing(QStringLiteral("id IN (1,2)")), "1,2");
    EXPECT_EQ(Passing(QStringLiteral("amount > -2.5 AND amount < 2")), "1,2");
    EXPECT_EQ(Passing(QStringLiteral("name = 'Alpha'")), "1");
    EXPECT_EQ(Passing(QStringLiteral("NOT name = 'Alpha'")), "2"); // Null passes neither way
    EXPECT_EQ(Passing(QStringLiteral("name IS NULL OR flag")), "1,12");
    EXPECT_EQ(Passing(QStringLiteral("name LIKE '%ph_'")), "1");
    EXPECT_EQ(Passing(QStringLiteral("name LIKE 'ALPHA'"), kExt, FilterOption::CaseInsensitive),
              "1");
    EXPECT_EQ(Passing(QStringLiteral("name = 'Al*'")), "1");
    EXPECT_EQ(Passing(QStringLiteral("name = 'Al*'"), kExt, FilterOption::NoPartialCompare), "");
    EXPECT_EQ(Passing(QStringLiteral("day >= '2025-01-01'")), "1,12");
    EXPECT_EQ(Passing(QStringLiteral("YEAR(day) = 2024 OR MONTH(day) = 3")), "2,12");
    EXPECT_EQ(Passing(QStringLiteral("id / 2 = 6")), "12");
    EXPECT_EQ(Passing(QStringLiteral("amount / (id - 1) > 0")), "12"); // x/0 is Null
    EXPECT_EQ(Passing(QStringLiteral("UPPER(SUBSTRING(name, 2, 3)) = 'LPH'")), "1");
    EXPECT_EQ(Passing(QStringLiteral("TRIM('  ' + name + ' ') = 'beta'")), "2");
    EXPECT_EQ(Passing(QStringLiteral("day + 1 = '2024-12-31'")), "2");
    EXPECT_EQ(Passing(QStringLiteral("id * 9223372036854775807 > 0")), "1,2,12"); // no wrap
}

TEST(PlantafelExprParser, AggregatesEvaluateOverRows) {
    EXPECT_DOUBLE_EQ(Aggregate(QStringLiteral("Sum(amount)")).toDouble(), 9.5);
    EXPECT_EQ(Aggregate(QStringLiteral("Count(name)")).toInt(), 2);
    EXPECT_EQ(Aggregate(QStringLiteral("Count(*)")).toInt(), 3);
    EXPECT_DOUBLE_EQ(Aggregate(QStringLiteral("Avg(id) * 2")).toDouble(), 10);
    EXPECT_EQ(Aggregate(QStringLiteral("Min(name)")).toString(), "Alpha");
    EXPECT_EQ(Aggregate(QStringLiteral("Max(day)")).toDate(), QDate(2025, 3, 1));
    EXPECT_DOUBLE_EQ(Aggregate(QStringLiteral("Sum(amount) / Count(*) + 1")).toDouble(),
                     9.5 / 3 + 1);
}

TEST(PlantafelExprParser, NumbersReadTheSameUnderEveryLocale) {
    const QLocale keep;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Passing(QStringLiteral("id IN (1,2)")), "1,2");
    EXPECT_EQ(Passing(QStringLiteral("amount = 1.5")), "1");
    EXPECT_EQ(Parse(QStringLiteral("amount = 1,5"), kFilter),
              "Ausdruck nicht korrekt abgeschlossen bei ','");
    EXPECT_EQ(Passing(QStringLiteral("SUBSTRING(name,1,2) = 'Al'")), "1");
    EXPECT_EQ(Passing(QStringLiteral("amount = '1.5'")), "1");
    QLocale::setDefault(keep);
}
