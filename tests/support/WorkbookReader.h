#pragma once
// Reads an XLSX workbook with openpyxl (Debian's python3-openpyxl under /usr/bin/python3), a reader
// that owes nothing to the code that wrote it: a workbook it refuses fails the test that reads it.

#include <QList>
#include <QString>
#include <QVariant>

namespace testsupport {

struct WorkbookCell {
    QString type;   // openpyxl's Python type: "str", "int", "float", "bool", "datetime", "NoneType"
    QVariant value; // dates and timestamps as ISO text
};
struct WorkbookSheet {
    QString title;
    QList<QList<WorkbookCell>> rows;
};

// The sheets of the workbook; empty with a failed expectation when the reader refused it.
QList<WorkbookSheet> ReadWorkbook(const QString& path);

} // namespace testsupport
