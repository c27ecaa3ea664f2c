#pragma once
// The record-keyword operations of the database layer for enumeration parameters: the chosen codes
// of a record's parameter are one comma list in recnokeyword.r_value, keyed by table, record id and
// parameter name. Adding and removing a code is one statement each on the row the server locks,
// so two users checking different codes of one record keep each other's. Codes are compared
// without regard to case and surrounding blanks, and a list holds each code once.

#include <QString>

class TVoskDatabase;

namespace VoskRecnoKeyword {

// Adds code to the list; a record without the parameter gets its row (description: the name).
void AddEnumCode(TVoskDatabase& db, const QString& table, const QString& dbrid,
                 const QString& pname, const QString& code);
// Removes code from the list; the row stays, with an empty list when it was the last code.
void RemoveEnumCode(TVoskDatabase& db, const QString& table, const QString& dbrid,
                    const QString& pname, const QString& code);

} // namespace VoskRecnoKeyword
