#pragma once
// The rows of a data class. Rows as the server sent them stay in the libpq result they came in
// (one arena for all their text) and are decoded only when a value is asked for; a row written or
// being edited here carries its own values, with the server's text of them as last read for the
// concurrency check. The order of the rows is a list of four-byte handles, so sorting, inserting
// and removing never move a value.

#include <VoskTextValue.h>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <libpq-fe.h>

#include <string_view>
#include <vector>

class TVoskRowStore final {
public:
    // A row: >= 0 a row of the result, < 0 an own row.
    using Handle = qint32;

    TVoskRowStore() = default;
    ~TVoskRowStore() { Clear(); }
    TVoskRowStore(const TVoskRowStore&) = delete;
    TVoskRowStore& operator=(const TVoskRowStore&) = delete;

    // Takes over res (cleared with the store) with one type a column; every row of it in order.
    void Reset(PGresult* res, std::vector<TFieldType> types);
    // No rows and no columns.
    void Clear();
    void Swap(TVoskRowStore& other) noexcept;

    int Count() const { return int(m_order.size()); }
    bool Empty() const { return m_order.empty(); }
    int Columns() const { return int(m_types.size()); }
    TFieldType Type(int col) const { return m_types[size_t(col)]; }
    Handle At(int row) const { return m_order[size_t(row)]; }

    // Cells; handle and column must be valid.
    bool IsNull(Handle h, int col) const;
    QVariant Value(Handle h, int col) const;
    // The server's text of the value, as read or as returned by the last write: empty and null
    // for a value the server has not sent (a new row).
    std::string_view Raw(Handle h, int col) const;
    bool RawNull(Handle h, int col) const;
    // The text of a value still as read, for the cheap paths of painting and searching; null
    // for a value edited here (then ask Value).
    const char* RawIfUnedited(Handle h, int col, int* length) const;
    bool Fresh(Handle h) const { return h < 0 && own(h).fresh; }

    // Own rows. Each new handle must be placed with Insert or Replace, or given back by Release.
    Handle NewRow(); // every value null, fresh
    Handle CopyRow(Handle h);
    // Values of res's row; colOf names the result column of each store column (-1: null).
    Handle RowFromResult(const PGresult* res, int row, const std::vector<int>& colOf);
    void SetValue(Handle h, int col, const QVariant& value); // h must be own
    // The value and its text as the server returned them.
    void SetFromResult(Handle h, int col, const PGresult* res, int row, int resCol);
    void SetFresh(Handle h, bool fresh) { own(h).fresh = fresh; }
    void Release(Handle h); // nothing for a row of the result

    // Order.
    void Insert(int row, Handle h) { m_order.insert(m_order.begin() + row, h); }
    Handle Take(int row); // removes the row from the order and hands back its handle
    void Replace(int row, Handle h) { m_order[size_t(row)] = h; }
    // The row at position i becomes the one at old position order[i].
    void Reorder(const std::vector<int>& order);

private:
    struct OwnRow {
        std::vector<QVariant> value;
        std::vector<QByteArray> raw;
        std::vector<char> rawNull;
        std::vector<char> edited; // value set here since the text was read
        bool fresh = false;
    };
    OwnRow& own(Handle h) { return m_own[size_t(~h)]; }
    const OwnRow& own(Handle h) const { return m_own[size_t(~h)]; }
    Handle allocOwn();

    PGresult* m_res = nullptr;
    std::vector<TFieldType> m_types;
    std::vector<Handle> m_order;
    std::vector<OwnRow> m_own;
    std::vector<Handle> m_free; // released own rows, reused before m_own grows
};
