#pragma once
// Export of what a grid shows to an Excel workbook (XLSX), written by libxlsxwriter in
// constant-memory mode: one row at a time goes out, so memory stays flat however many rows there
// are. Columns as shown (order, captions, hidden ones left out), rows as the filter and sort give
// them, inside collapsed groups too. Numbers, dates, timestamps and Booleans become typed cells,
// NULL an empty one; what a workbook cannot hold as a number (NaN, infinities, integers beyond
// 2^53) is written as the text the database shows. The grid's conditional formatting colours the
// same cells in the workbook: as the workbook's own conditional formats where they judge a rule
// as the grid does (so the colours follow edits there), fixed in the cells elsewhere. The workbook is
// written to a temporary file beside the target and renamed over it only when complete, so a
// failure leaves an existing workbook of that name as it was.

#include "VoskConditionalFormatting.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class TVoskClass;
class TVoskDataModel;
class TVoskDBGrid2;

struct TGridExportResult {
    qint64 Rows = 0;   // data rows written
    int Sheets = 0;
    int CutTexts = 0;  // texts cut to the cell limit of 32,767 characters
};

// A conditional format the workbook evaluates itself: Formula (see
// VoskConditionalFormatting::WorkbookFormula) over the first data cell of Column, applied to all
// of the column's data cells on every sheet. Of a column's formats the first that holds decides.
struct TExportCondFormat {
    int Column = 0;
    QString Formula;
    TVoskCondFormatStyle Style;
};

// A table to export, read row by row: Cell(row, column) for rows 0..RowCount-1.
struct TExportTable {
    QStringList Captions;
    qint64 RowCount = 0;
    std::function<QVariant(qint64 row, int column)> Cell;
    // Outline level per row (tree lists), 0 for none.
    std::function<int(qint64 row)> OutlineLevel;
    // In priority order.
    QList<TExportCondFormat> CondFormats;
    // A cell's own fill, font colour and weight, fixed in the workbook; nullopt for none.
    std::function<std::optional<TVoskCondFormatStyle>(qint64 row, int column)> CellStyle;
};

namespace cxExport {

// Rows per sheet, the header row included; more continue on a further sheet.
inline constexpr qint64 MaxSheetRows = 1048576;
inline constexpr int MaxCellChars = 32767;

// Writes table to fileName. Throws EVoskException with a German message that names the file and
// the cause; the temporary file is removed then. tempDir holds the writer's scratch files (empty:
// the session's temporary folder). maxSheetRows can be lowered by tests.
TGridExportResult ExportTableToXLSX(const QString& fileName, const TExportTable& table,
                                    const QString& tempDir = {},
                                    qint64 maxSheetRows = MaxSheetRows);

// The text cut to at most MaxCellChars characters, never inside a surrogate pair.
QString CutCellText(const QString& text, bool* cut = nullptr);

// How the workbook holds a value: a typed cell, or text where it has no such value (NaN, integers
// beyond 2^53, dates outside 1900-9999, times); an empty text leaves the cell blank.
enum class TWrittenAs { Blank, Number, Boolean, Date, Timestamp, Text };
TWrittenAs WrittenAs(const QVariant& value);

// "C2": the first data cell of column (the header fills row 1 of every sheet).
QString FirstDataCell(int column);

// Makes table carry the colours formatting gives the view's cells: the exported columns cols of
// data, the record of export row r recordOf(r), the text the view shows that of shown.
void AddConditionalFormatting(TExportTable& table, const TVoskConditionalFormatting* formatting,
                              const TVoskClass* data, const QList<int>& cols,
                              std::function<int(qint64 row)> recordOf,
                              const TVoskDataModel* shown);

} // namespace cxExport

// The grid export the frames call: the shown columns of grid and every row its filter lets
// through.
TGridExportResult ExportGridToXLSX(const QString& fileName, TVoskDBGrid2* grid, bool saveAll = true,
                                   bool native = true, const QString& ext = QStringLiteral("xlsx"));
