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

// How a cell or a conditional format looks; colours as "RRGGBB", empty for none.
struct WorkbookLook {
    QString fill;
    QString font;
    bool bold = false;
};
struct WorkbookCondFormat {
    QString range; // "B2:B7"
    QString type;  // "expression", "cellIs" ...
    QString formula;
    int priority = 0;
    bool stopIfTrue = false;
    WorkbookLook look;
};
struct WorkbookSheetLooks {
    QList<WorkbookCondFormat> condFormats; // by priority
    QList<QList<WorkbookLook>> cells;      // the data rows, below the header
    QList<QList<QString>> numberFormats;   // of the data rows
};

// The conditional formats and the data cells' own looks of every sheet, as openpyxl reads them.
QList<WorkbookSheetLooks> ReadWorkbookLooks(const QString& path);

} // namespace testsupport
