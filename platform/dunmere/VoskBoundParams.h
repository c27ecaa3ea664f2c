#pragma once
// Internal to dunmere: the parallel arrays PQexecParams and PQsendQueryParams take, filled from a
// query's parameters. Up to 16 parameters live on the stack, so most runs allocate nothing.

#include <QByteArray>
#include <QString>

#include <libpq-fe.h>

#include <memory>
#include <vector>

class TVoskDatabase;
class TVoskParam;

namespace Dunmere {

class BoundParams final {
public:
    // Throws EVoskDatabaseError for the first parameter never set that is not one of the
    // session's (those get their value on db); context is appended to the message and sql
    // travels with the error. The texts live in bufs, which must outlive this.
    BoundParams(const std::vector<std::unique_ptr<TVoskParam>>& params,
                std::vector<QByteArray>& bufs, const QByteArray& sql, const QString& context,
                TVoskDatabase& db);
    BoundParams(const BoundParams&) = delete;
    BoundParams& operator=(const BoundParams&) = delete;

    int Count() const { return m_count; }
    const Oid* Types() const { return m_types; }
    const char* const* Values() const { return m_values; }
    const int* Lengths() const { return m_lengths; }
    const int* Formats() const { return m_formats; }

private:
    static constexpr size_t kStack = 16;
    int m_count = 0;
    const char* m_valuesS[kStack];
    int m_lengthsS[kStack];
    int m_formatsS[kStack];
    Oid m_typesS[kStack];
    std::vector<const char*> m_valuesH;
    std::vector<int> m_lengthsH, m_formatsH;
    std::vector<Oid> m_typesH;
    const char** m_values = m_valuesS;
    int* m_lengths = m_lengthsS;
    int* m_formats = m_formatsS;
    Oid* m_types = m_typesS;
};

} // namespace Dunmere
