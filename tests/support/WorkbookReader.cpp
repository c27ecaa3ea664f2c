#include "WorkbookReader.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace testsupport {

namespace {

// Every value goes out as [type name, JSON value]; dates as ISO text.
const char* const kScript = R"(
import datetime, json, sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
out = []
for ws in wb.worksheets:
    rows = []
    for row in ws.iter_rows(values_only=True):
        cells = []
        for v in row:
            t = type(v).__name__
            if isinstance(v, (datetime.date, datetime.datetime, datetime.time)):
                v = v.isoformat()
            cells.append([t, v])
        rows.append(cells)
    out.append({"title": ws.title, "rows": rows})
json.dump(out, sys.stdout)
)";

} // namespace

QList<WorkbookSheet> ReadWorkbook(const QString& path) {
    QList<WorkbookSheet> sheets;
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromLatin1(kScript), path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl refused " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return sheets;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    if (error.error != QJsonParseError::NoError) {
        ADD_FAILURE() << "unreadable reader output: " << error.errorString().toStdString();
        return sheets;
    }
    for (const QJsonValue& s : doc.array()) {
        WorkbookSheet sheet;
        sheet.title = s[QStringLiteral("title")].toString();
        for (const QJsonValue& r : s[QStringLiteral("rows")].toArray()) {
            QList<WorkbookCell> cells;
            for (const QJsonValue& c : r.toArray())
                cells.append({c[0].toString(), c[1].toVariant()});
            sheet.rows.append(cells);
        }
        sheets.append(sheet);
    }
    return sheets;
}

} // namespace testsupport
