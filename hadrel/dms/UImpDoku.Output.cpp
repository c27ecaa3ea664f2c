#include "UImpDoku.Output.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Ukorvexclasses.Dokument.h"
#include "VoskQuery2.h"
#include "VoskTransaction.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace UImpDoku {

QString DragOutFileName(const QString& caption, const QString& storedFileName) {
    QString name = caption.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1).trimmed();
    // Any letter case: "Plan.PDF" has its extension.
    static const QRegularExpression hasExtension(QStringLiteral("\\.[a-z]{2,9}$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (!hasExtension.match(name).hasMatch()) {
        const QString suffix = QFileInfo(storedFileName).suffix();
        if (!suffix.isEmpty())
            name += u'.' + suffix;
    }
    static const QRegularExpression invalid(QStringLiteral("[<>:\"/\\\\|?*\\x00-\\x1f]"));
    name.replace(invalid, QStringLiteral("_"));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name;
}

void TogglePreviewDocument(TDokument& doc, const QString& table, const QString& recId) {
    if (doc.TableName().compare(table, Qt::CaseInsensitive) != 0 || doc.RecordId() != recId)
        Korvexutils::RaiseCriticalError(
            makeText(31264, QStringLiteral("Verknüpfte Dokumente können nicht als "
                                           "Vorschaudokument gesetzt werden. (nur wenn selbe "
                                           "table+dbrid)")));
    if (TDM1* dm = DM1())
        dm->LogEvent(QStringLiteral("TableName=") + table + QStringLiteral(" RecId=") + recId +
                     QStringLiteral(" pd_id=") + doc.IdText() + QStringLiteral(" print=") +
                     (doc.IsStandard() ? QStringLiteral("True") : QStringLiteral("False")));
    // The record keeps its earlier preview document unless the new one is stored too.
    TVoskTransaction transaction(doc.Database());
    TVoskQuery2 clear(&doc.Database(),
                      QStringLiteral("UPDATE picndoku SET pd_print=FALSE WHERE "
                                     "pd_tablename=:table AND pd_dbrid=:dbrid AND pd_print AND "
                                     "pd_id <> :id"));
    clear.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("dbrid"), recId.toLongLong())
        .Bind(QStringLiteral("id"), doc.Id())
        .ExecSQL();
    try {
        doc.Edit();
        doc.FieldByName(QLatin1String(TDokument::fnStandard)).SetAsBoolean(!doc.IsStandard());
        doc.Post(false);
    } catch (...) {
        if (doc.InEdit())
            doc.Cancel();
        throw;
    }
    transaction.Commit();
}

bool StoreReportPrinters(TDokument& doc, const QStringList& printers) {
    const QString value = printers.join(u'*');
    if (value == doc.ReportPrinters())
        return false;
    TVoskQuery2 q(&doc.Database(),
                  QStringLiteral("SELECT TSystem.CreateKeyword(:rkategorie, :rtablename, :rdescr, "
                                 ":rdbrid, :rvalue, :pname)"));
    q.Bind(QStringLiteral("rkategorie"), QStringLiteral("internal system usage"))
        .Bind(QStringLiteral("rtablename"), QStringLiteral("picndoku"))
        .Bind(QStringLiteral("rdescr"), QStringLiteral("PrinterForReporting"))
        .Bind(QStringLiteral("rdbrid"), doc.FieldByName(QStringLiteral("dbrid")).AsLargeInt())
        .Bind(QStringLiteral("rvalue"), value)
        .Bind(QStringLiteral("pname"), QStringLiteral("System.Printing"))
        .Open();
    doc.Refresh();
    return true;
}

} // namespace UImpDoku
