#pragma once
// Export of a pivot grid to an Excel workbook (XLSX), written like the grid export: streamed in
// constant-memory mode, to a temporary file beside the target that replaces it only when complete.
// The header row holds the row field's caption, the column values and "Gesamtsumme"; each row its
// row value, the sums as number cells (empty where no record has a value) and the row total; the
// last row the column totals and the grand total.

#include "cxGridExportLink.h"

class TVoskDBPivotGrid;

TGridExportResult ExportPivotGridToXLSX(const QString& fileName, TVoskDBPivotGrid* grid);
