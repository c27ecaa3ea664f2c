// The data module's cache of read-only results and its three module queries.

#include "UDM1.h"

namespace {

QString CacheKey(const QString& sql, const QVariantMap& params) {
    QString key = sql;
    // Parameter names are case-insensitive; QVariantMap orders them, so equal maps give equal keys.
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        key += QStringLiteral("\n\x1f%1=%2%3")
                   .arg(it.key().toLower(), it.value().isNull() ? QStringLiteral("\x1e") : QString(),
                        it.value().toString());
    return key;
}

} // namespace

TVoskQuery2* TDM1::GetQueryBySQL(const QString& sql, const QVariantMap& params) {
    const QString key = CacheKey(sql, params);
    if (auto it = m_queryCache.constFind(key); it != m_queryCache.cend()) {
        it.value()->First();
        return it.value().get();
    }
    requireConnection();
    auto q = std::make_shared<TVoskQuery2>(&m_db, sql);
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q->ParamByName(it.key()).SetValue(it.value());
    q->Open(); // a failing statement throws and stays out of the cache
    m_queryCache.insert(key, q);
    return q.get();
}

void TDM1::ClearQueryCache() {
    m_queryCache.clear();
    m_qReport.reset();
    m_qReportLink.reset();
    m_qModulField.reset();
}

TVoskQuery2& TDM1::ReportQuery() {
    if (!m_qReport)
        m_qReport = std::make_unique<TVoskQuery2>(
            &m_db, QStringLiteral("SELECT r_id, r_descr, r_detail, r_modulname FROM reports "
                                  "ORDER BY r_modulname, r_id"));
    return *m_qReport;
}

TVoskQuery2& TDM1::ReportLinkQuery() {
    if (!m_qReportLink)
        m_qReportLink = std::make_unique<TVoskQuery2>(
            &m_db, QStringLiteral("SELECT rl_id, rl_r_id, rl_modulname FROM report_modul_link "
                                  "ORDER BY rl_modulname, rl_id"));
    return *m_qReportLink;
}

TVoskQuery2& TDM1::ModulFieldQuery() {
    if (!m_qModulField)
        m_qModulField = std::make_unique<TVoskQuery2>(
            &m_db, QStringLiteral("SELECT mf_id, modulname, feldname FROM modul_field "
                                  "ORDER BY modulname, feldname"));
    return *m_qModulField;
}

void TDM1::OpenModulQueries() {
    if (!Connected())
        return;
    TVoskQuery2& r = ReportQuery();
    TVoskQuery2& rl = ReportLinkQuery();
    TVoskQuery2& mf = ModulFieldQuery();
    if (r.Active() && rl.Active() && mf.Active())
        return;
    r.Open();
    rl.Open();
    mf.Open();
}
