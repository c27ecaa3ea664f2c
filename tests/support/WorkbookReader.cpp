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

const char* const kLooksScript = R"(
import json, sys
import openpyxl
def rgb(c):
    if c is None or c.type != "rgb" or not isinstance(c.rgb, str):
        return ""
    return c.rgb[-6:]
def look(font, fill, dxf):
    out = {"fill": "", "font": "", "bold": False}
    if fill is not None:
        if dxf:
            out["fill"] = rgb(fill.bgColor) or rgb(fill.fgColor)
        elif fill.fill_type == "solid":
            out["fill"] = rgb(fill.fgColor)
    if font is not None:
        out["font"] = rgb(font.color)
        out["bold"] = bool(font.b)
    return out
wb = openpyxl.load_workbook(sys.argv[1])
out = []
for ws in wb.worksheets:
    rules = []
    for cf in ws.conditional_formatting:
        for r in cf.rules:
            d = r.dxf
            rules.append({"range": str(cf.sqref), "type": r.type,
                          "formula": ";".join(r.formula or []), "priority": r.priority,
                          "stop": bool(r.stopIfTrue),
                          "look": look(d.font if d else None, d.fill if d else None, True)})
    rules.sort(key=lambda r: r["priority"])
    cells, formats = [], []
    for row in ws.iter_rows(min_row=2):
        cells.append([look(c.font, c.fill, False) for c in row])
        formats.append([c.number_format for c in row])
    out.append({"rules": rules, "cells": cells, "formats": formats})
json.dump(out, sys.stdout)
)";

// Runs script over path and returns its JSON output; null with a failed expectation when the
// reader refused the workbook.
QJsonDocument RunReader(const char* script, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl refused " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    if (error.error != QJsonParseError::NoError)
        ADD_FAILURE() << "unreadable reader output: " << error.errorString().toStdString();
    return doc;
}

WorkbookLook LookOf(const QJsonValue& v) {
    return {v[QStringLiteral("fill")].toString(), v[QStringLiteral("font")].toString(),
            v[QStringLiteral("bold")].toBool()};
}

} // namespace

QList<WorkbookSheetLooks> ReadWorkbookLooks(const QString& path) {
    QList<WorkbookSheetLooks> sheets;
    for (const QJsonValue& s : RunReader(kLooksScript, path).array()) {
        WorkbookSheetLooks sheet;
        for (const QJsonValue& r : s[QStringLiteral("rules")].toArray())
            sheet.condFormats.append({r[QStringLiteral("range")].toString(),
                                      r[QStringLiteral("type")].toString(),
                                      r[QStringLiteral("formula")].toString(),
                                      r[QStringLiteral("priority")].toInt(),
                                      r[QStringLiteral("stop")].toBool(),
                                      LookOf(r[QStringLiteral("look")])});
        for (const QJsonValue& row : s[QStringLiteral("cells")].toArray()) {
            QList<WorkbookLook> cells;
            for (const QJsonValue& c : row.toArray())
                cells.append(LookOf(c));
            sheet.cells.append(cells);
        }
        for (const QJsonValue& row : s[QStringLiteral("formats")].toArray()) {
            QList<QString> formats;
            for (const QJsonValue& c : row.toArray())
                formats.append(c.toString());
            sheet.numberFormats.append(formats);
        }
        sheets.append(sheet);
    }
    return sheets;
}

QList<WorkbookSheet> ReadWorkbook(const QString& path) {
    QList<WorkbookSheet> sheets;
    const QJsonDocument doc = RunReader(kScript, path);
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
