// The module form's report refresh and the filling of query parameters from its values.

#include "UModulForm.h"

#include <Korvexutils.h>
#include <Uloghelper.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>

IReportRefresh* TModulForm::GetReportInterface() const {
    const QList<QObject*> components = Vcl::Components(this);
    for (qsizetype i = components.size() - 1; i >= 0; --i)
        if (auto* report = dynamic_cast<IReportRefresh*>(components[i]);
            report && report->IsActiveReport())
            return report;
    return nullptr;
}

void TModulForm::Report_Refresh() {
    try {
        if (IReportRefresh* report = GetReportInterface())
            report->RefreshReport(true);
    } catch (...) {
        TKorvexLog::Error(QStringLiteral("TModulForm.RefreshReport: ") +
                          Rtl::ExceptionMessage(std::current_exception()));
    }
}

void TModulForm::FillParams(TVoskQuery2& query) {
    const QStringList sources =
        Korvexutils::FillQueryParamsWithFormValues(query, this, QStringLiteral("OwnerForm"));
    if (!TKorvexLog::Enabled(3))
        return;
    // A query has no component name; its key, or its text, says which one it was.
    const QString dest = query.SqlKey().isEmpty() ? query.SQL().simplified() : query.SqlKey();
    QStringList lines{QStringLiteral("FillQueryParamsWithFormValues TModulForm.FillParams:"),
                      QStringLiteral("[Source] ") + Vcl::ClassName(this),
                      QStringLiteral("[Dest] ") + dest,
                      QStringLiteral("OwnerForm: ") + Vcl::FullName(this) +
                          (sources.isEmpty() ? QString()
                                             : QStringLiteral(" (") +
                                                   sources.join(QStringLiteral(", ")) +
                                                   QLatin1Char(')'))};
    lines << query.ParamsAsList();
    TKorvexLog::LogMessage(lines.join(QLatin1Char('\n')), 3);
}
