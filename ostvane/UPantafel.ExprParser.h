#pragma once
// Parser and checker of the planning board's aggregate and filter expressions against a
// dataset. It is the dataset library's expression compiler with one change: a field the
// dataset lacks raises EPlantafelExprException, so that a caller can skip an aggregate that
// does not apply to a dataset and still see real syntax errors (EDatabaseError). It also
// reports which fields an expression reads.

#include "CdsExpr.h"
#include "ClientDataSet.h"
#include "VoskExceptions.h"

#include <memory>
#include <vector>

// An aggregate or filter expression names a field that the dataset lacks.
class EPlantafelExprException : public EVoskException {
public:
    explicit EPlantafelExprException(const QString& message) : EVoskException(message) {}
    const char* ClassName() const noexcept override { return "EPlantafelExprException"; }
};

// One bit per field number, sized to the dataset's field count; numbers outside are refused.
class TPlantafelDependentFields final {
public:
    void Resize(int fieldCount) { m_bits.assign(size_t(std::max(fieldCount, 0)), false); }
    int Size() const { return int(m_bits.size()); }
    bool Set(int field); // false when the number lies outside
    bool Test(int field) const {
        return field >= 0 && size_t(field) < m_bits.size() && m_bits[size_t(field)];
    }
    std::vector<int> Fields() const;

private:
    std::vector<bool> m_bits;
};

// Builds the tree of one expression over a dataset's fields.
class TPlantafelFilterExpr final {
public:
    TPlantafelFilterExpr(const Cds::ClientDataSet& dataSet, Cds::FilterOptions options,
                         Cds::ParserOptions parserOptions, const QString& fieldName,
                         TPlantafelDependentFields* dependentFields, bool unicodeEnabled);
    // Parses text; throws EPlantafelExprException for a missing field, EDatabaseError else.
    std::shared_ptr<const Cds::Expression> GetFilterData(const QString& text);

private:
    const Cds::ClientDataSet& FDataSet;
    Cds::FilterOptions FOptions;
    Cds::ParserOptions FParserOptions;
    QString FFieldName;
    TPlantafelDependentFields* FDependentFields;
    [[maybe_unused]] bool FUnicodeEnabled; // strings are always UTF-16 here
};

class TPlantafelExprParser final {
public:
    // Parses text at once when it is not empty.
    TPlantafelExprParser(const Cds::ClientDataSet& dataSet, bool unicodeEnabled,
                         TPlantafelDependentFields* dependentFields, const QString& fieldName,
                         Cds::ParserOptions parserOptions, Cds::FilterOptions filterOptions,
                         const QString& text);
    void SetExprParams(const QString& text, Cds::FilterOptions filterOptions,
                       Cds::ParserOptions parserOptions, const QString& fieldName);
    static bool TokenSymbolIsFunc(const QString& name);

    // The compiled expression; null before a text was parsed.
    const std::shared_ptr<const Cds::Expression>& FilterData() const { return FFilterData; }
    const QString& Text() const { return FText; }

    // Value on the dataset's current row (filters and plain expressions).
    QVariant Evaluate(const Cds::ClientDataSet& row) const;
    bool Matches(const Cds::ClientDataSet& row) const;
    // Aggregate over the dataset's visible rows from the first (moves its cursor).
    QVariant EvaluateAggregate(Cds::ClientDataSet& rows) const;

private:
    const Cds::ClientDataSet& FDataSet;
    TPlantafelDependentFields* FDependentFields;
    QString FText;
    QString FFieldName;
    Cds::ParserOptions FParserOptions;
    Cds::FilterOptions FFilterOptions;
    bool FUnicodeEnabled;
    std::shared_ptr<const Cds::Expression> FFilterData;
};
