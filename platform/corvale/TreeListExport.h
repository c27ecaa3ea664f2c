#pragma once
// Export of a tree list to an Excel workbook (XLSX) through the grid export's writer: the shown
// columns in view order with their captions, every record in tree order (each parent before its
// children, collapsed branches included), and the depth of each record as the row's outline
// level, so that the workbook folds the branches as the tree does. Its conditional formatting
// goes along as the grid export's does.

#include "cxGridExportLink.h"

class TVoskDBTreeView2;

TGridExportResult ExportTreeListToXLSX(const QString& fileName, TVoskDBTreeView2* tree,
                                       const QString& tempDir = {});
