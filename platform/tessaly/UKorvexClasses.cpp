#include "UKorvexClasses.h"

#include "TVoskClass.h"
#include "UDM1.h"

#include <QPointer>

namespace {
QPointer<TVoskFieldDefCache> s_cache;
}

TVoskFieldDefCache* FieldDefCache() { return s_cache.data(); }

TVoskFieldDefCache::TVoskFieldDefCache(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("FieldDefCache"));
}

TVoskFieldDefCache::~TVoskFieldDefCache() {
    if (s_cache == this)
        s_cache = nullptr;
}

QStringList TVoskFieldDefCache::Fields(const QString& table) {
    const QString key = table.toLower();
    if (const auto it = m_fields.constFind(key); it != m_fields.constEnd())
        return *it;
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    // to_regclass takes the name as a value: no text of the caller reaches the statement.
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = "
                                 "to_regclass(:t) AND attnum > 0 AND NOT attisdropped "
                                 "ORDER BY attnum"));
    q.Bind(QStringLiteral("t"), table).Open();
    QStringList names;
    for (; !q.Eof(); q.Next())
        names << q.Fields(0).AsString();
    m_fields.insert(key, names);
    return names;
}

TVoskFieldDefCache* TVoskClass2::ModulInitialize(QObject* owner) {
    s_cache = new TVoskFieldDefCache(owner);
    return s_cache;
}
