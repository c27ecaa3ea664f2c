#include "TVoskRowStore.h"

#include <utility>

void TVoskRowStore::Reset(PGresult* res, std::vector<TFieldType> types) {
    Clear();
    m_res = res;
    m_types = std::move(types);
    const int n = res ? PQntuples(res) : 0;
    m_order.resize(size_t(n));
    for (int r = 0; r < n; ++r)
        m_order[size_t(r)] = r;
}

void TVoskRowStore::Clear() {
    if (m_res)
        PQclear(m_res);
    m_res = nullptr;
    m_types.clear();
    m_order.clear();
    m_own.clear();
    m_free.clear();
}

void TVoskRowStore::Swap(TVoskRowStore& other) noexcept {
    std::swap(m_res, other.m_res);
    m_types.swap(other.m_types);
    m_order.swap(other.m_order);
    m_own.swap(other.m_own);
    m_free.swap(other.m_free);
}

bool TVoskRowStore::IsNull(Handle h, int col) const {
    if (h >= 0)
        return PQgetisnull(m_res, h, col);
    return own(h).value[size_t(col)].isNull();
}

QVariant TVoskRowStore::Value(Handle h, int col) const {
    if (h < 0)
        return own(h).value[size_t(col)];
    if (PQgetisnull(m_res, h, col))
        return {};
    return Dunmere::VariantFromText(
        std::string_view(PQgetvalue(m_res, h, col), size_t(PQgetlength(m_res, h, col))),
        m_types[size_t(col)]);
}

std::string_view TVoskRowStore::Raw(Handle h, int col) const {
    if (h >= 0)
        return {PQgetvalue(m_res, h, col), size_t(PQgetlength(m_res, h, col))};
    const QByteArray& raw = own(h).raw[size_t(col)];
    return {raw.constData(), size_t(raw.size())};
}

bool TVoskRowStore::RawNull(Handle h, int col) const {
    if (h >= 0)
        return PQgetisnull(m_res, h, col);
    return own(h).rawNull[size_t(col)] != 0;
}

const char* TVoskRowStore::RawIfUnedited(Handle h, int col, int* length) const {
    if (h >= 0) {
        if (PQgetisnull(m_res, h, col))
            return nullptr;
        *length = PQgetlength(m_res, h, col);
        return PQgetvalue(m_res, h, col);
    }
    const OwnRow& o = own(h);
    if (o.edited[size_t(col)] || o.rawNull[size_t(col)])
        return nullptr;
    *length = int(o.raw[size_t(col)].size());
    return o.raw[size_t(col)].constData();
}

TVoskRowStore::Handle TVoskRowStore::allocOwn() {
    const size_t n = m_types.size();
    Handle h;
    if (!m_free.empty()) {
        h = m_free.back();
        m_free.pop_back();
    } else {
        m_own.emplace_back();
        h = ~Handle(m_own.size() - 1);
    }
    OwnRow& o = own(h);
    o.value.assign(n, QVariant());
    o.raw.assign(n, QByteArray());
    o.rawNull.assign(n, 1);
    o.edited.assign(n, 0);
    o.fresh = false;
    return h;
}

TVoskRowStore::Handle TVoskRowStore::NewRow() {
    const Handle h = allocOwn();
    own(h).fresh = true;
    return h;
}

TVoskRowStore::Handle TVoskRowStore::CopyRow(Handle from) {
    const Handle h = allocOwn();
    if (from < 0) {
        own(h) = own(from);
        return h;
    }
    OwnRow& o = own(h);
    for (int c = 0; c < Columns(); ++c) {
        o.value[size_t(c)] = Value(from, c);
        o.rawNull[size_t(c)] = PQgetisnull(m_res, from, c) ? 1 : 0;
        if (!o.rawNull[size_t(c)])
            o.raw[size_t(c)] = QByteArray(PQgetvalue(m_res, from, c), PQgetlength(m_res, from, c));
    }
    return h;
}

TVoskRowStore::Handle TVoskRowStore::RowFromResult(const PGresult* res, int row,
                                                   const std::vector<int>& colOf) {
    const Handle h = allocOwn();
    for (int c = 0; c < Columns(); ++c)
        if (colOf[size_t(c)] >= 0)
            SetFromResult(h, c, res, row, colOf[size_t(c)]);
    return h;
}

void TVoskRowStore::SetValue(Handle h, int col, const QVariant& value) {
    OwnRow& o = own(h);
    o.value[size_t(col)] = value;
    o.edited[size_t(col)] = 1;
}

void TVoskRowStore::SetFromResult(Handle h, int col, const PGresult* res, int row, int resCol) {
    OwnRow& o = own(h);
    const size_t c = size_t(col);
    o.edited[c] = 0;
    if (PQgetisnull(res, row, resCol)) {
        o.value[c] = QVariant();
        o.raw[c].clear();
        o.rawNull[c] = 1;
        return;
    }
    const char* text = PQgetvalue(res, row, resCol);
    const int len = PQgetlength(res, row, resCol);
    o.raw[c] = QByteArray(text, len);
    o.rawNull[c] = 0;
    o.value[c] = Dunmere::VariantFromText(std::string_view(text, size_t(len)), m_types[c]);
}

void TVoskRowStore::Release(Handle h) {
    if (h >= 0)
        return;
    OwnRow& o = own(h);
    o.value.clear();
    o.raw.clear();
    o.rawNull.clear();
    o.edited.clear();
    m_free.push_back(h);
}

TVoskRowStore::Handle TVoskRowStore::Take(int row) {
    const Handle h = m_order[size_t(row)];
    m_order.erase(m_order.begin() + row);
    return h;
}

void TVoskRowStore::Reorder(const std::vector<int>& order) {
    std::vector<Handle> sorted(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted[i] = m_order[size_t(order[i])];
    m_order = std::move(sorted);
}
