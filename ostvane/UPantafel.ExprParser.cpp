#include "UPantafel.ExprParser.h"

#include "UnitTable.h"

bool TPlantafelDependentFields::Set(int field) {
    if (field < 0 || size_t(field) >= m_bits.size())
        return false;
    m_bits[size_t(field)] = true;
    return true;
}

std::vector<int> TPlantafelDependentFields::Fields() const {
    std::vector<int> out;
    for (size_t i = 0; i < m_bits.size(); ++i)
        if (m_bits[i])
            out.push_back(int(i));
    return out;
}

TPlantafelFilterExpr::TPlantafelFilterExpr(const Cds::ClientDataSet& dataSet,
                                           Cds::FilterOptions options,
                                           Cds::ParserOptions parserOptions,
                                           const QString& fieldName,
                                           TPlantafelDependentFields* dependentFields,
                                           bool unicodeEnabled)
    : FDataSet(dataSet), FOptions(options), FParserOptions(parserOptions), FFieldName(fieldName),
      FDependentFields(dependentFields), FUnicodeEnabled(unicodeEnabled) {}

std::shared_ptr<const Cds::Expression> TPlantafelFilterExpr::GetFilterData(const QString& text) {
    Cds::ExprHooks hooks = FDataSet.Hooks();
    hooks.MissingField = [](const QString& name) {
        throw EPlantafelExprException(Cds::ExprMessage(Cds::ExprText::FieldNotFound, name));
    };
    auto expr = Cds::Expression::Compile(text, hooks, FParserOptions, FOptions);
    if (FDependentFields && (FParserOptions & Cds::ParserOption::FieldDepend)) {
        if (FDependentFields->Size() < FDataSet.FieldCount())
            FDependentFields->Resize(FDataSet.FieldCount());
        for (int f : expr->DependentFields())
            FDependentFields->Set(f);
    }
    return expr;
}

TPlantafelExprParser::TPlantafelExprParser(const Cds::ClientDataSet& dataSet, bool unicodeEnabled,
                                           TPlantafelDependentFields* dependentFields,
                                           const QString& fieldName,
                                           Cds::ParserOptions parserOptions,
                                           Cds::FilterOptions filterOptions, const QString& text)
    : FDataSet(dataSet), FDependentFields(dependentFields), FFieldName(fieldName),
      FParserOptions(parserOptions), FFilterOptions(filterOptions),
      FUnicodeEnabled(unicodeEnabled) {
    if (!text.isEmpty())
        SetExprParams(text, filterOptions, parserOptions, fieldName);
}

void TPlantafelExprParser::SetExprParams(const QString& text, Cds::FilterOptions filterOptions,
                                         Cds::ParserOptions parserOptions,
                                         const QString& fieldName) {
    TPlantafelFilterExpr builder(FDataSet, filterOptions, parserOptions, fieldName,
                                 FDependentFields, FUnicodeEnabled);
    auto compiled = builder.GetFilterData(text);
    FText = text;
    FFilterOptions = filterOptions;
    FParserOptions = parserOptions;
    FFieldName = fieldName;
    FFilterData = std::move(compiled);
}

bool TPlantafelExprParser::TokenSymbolIsFunc(const QString& name) {
    return Cds::IsFunctionName(name);
}

namespace {
class CurrentRow final : public Cds::ExprRow {
public:
    explicit CurrentRow(const Cds::ClientDataSet& ds) : m_ds(ds) {}
    QVariant Value(int field) const override {
        return field >= 0 && field < m_ds.FieldCount() ? m_ds.Value(field) : QVariant();
    }

private:
    const Cds::ClientDataSet& m_ds;
};
} // namespace

QVariant TPlantafelExprParser::Evaluate(const Cds::ClientDataSet& row) const {
    return FFilterData ? FFilterData->Evaluate(CurrentRow(row)) : QVariant();
}

bool TPlantafelExprParser::Matches(const Cds::ClientDataSet& row) const {
    return FFilterData && FFilterData->Matches(CurrentRow(row));
}

QVariant TPlantafelExprParser::EvaluateAggregate(Cds::ClientDataSet& rows) const {
    if (!FFilterData)
        return {};
    Cds::AggregateState state = FFilterData->NewAggregateState();
    for (rows.First(); !rows.Eof(); rows.Next())
        state.Add(CurrentRow(rows));
    return state.Result();
}

KORVEX_UNIT("ostvane", "UPantafel.ExprParser", nullptr, nullptr);
