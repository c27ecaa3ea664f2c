#pragma once
// What a refused write means to the user: the server's errors of the kinds a user causes (a value
// too long, an empty required field, a value of the wrong kind, a duplicate, a missing referenced
// row, a failed check) become German sentences that name the field by its alias. One mapping by
// SQLSTATE for every data class; the server's own words stay in the error's details.

#include "VoskDatabase.h"

#include <functional>
#include <optional>

namespace Dunmere {

struct TDbErrorContext {
    // The table written to; the fields are named by its aliases.
    QString table;
    // For errors whose server text names no column (too long, not a number): the field whose
    // value the write sent that caused it, and the field's length where it has one.
    QString column;
    int maxLength = 0;
    // The caption of a field of the table; the alias table of the data module when not set.
    std::function<QString(const QString& table, const QString& field)> caption;
    // Where the columns of a check are looked up; none leaves the check unnamed by field.
    TVoskDatabase* db = nullptr;
};

// The sentence for a mapped SQLSTATE, nothing for any other error.
std::optional<QString> GermanDatabaseMessage(const EVoskDatabaseError& e,
                                             const TDbErrorContext& ctx);
// The error translated when its state is mapped, else as it came.
EVoskDatabaseError TranslateDatabaseError(const EVoskDatabaseError& e, const TDbErrorContext& ctx);

// The columns and values of a detail such as "Key (a, b)=(1, x) already exists."
struct TKeyDetail {
    QStringList columns;
    QString values;
    QString otherTable; // the referenced or referencing table, when the detail names one
};
TKeyDetail ParseKeyDetail(const QString& detail);

} // namespace Dunmere
