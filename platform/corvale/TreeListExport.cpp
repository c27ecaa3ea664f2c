#include "TreeListExport.h"

#include "TVoskDBTreeView2.h"

#include <TVoskClass.h>
#include <TVoskDataModel.h>
#include <VoskExceptions.h>

TGridExportResult ExportTreeListToXLSX(const QString& fileName, TVoskDBTreeView2* tree,
                                       const QString& tempDir) {
    TVoskClass* data = tree ? tree->DataClass() : nullptr;
    if (!data || !tree->TreeModel())
        throw EVoskException(QStringLiteral("Die Baumansicht hat keine Daten zum Exportieren."));
    // A value the user is still typing belongs in the export as it will be saved.
    tree->EndEdit(true);
    TVoskTreeListModel* model = tree->TreeModel();
    const QList<int> cols = tree->ShownColumns();
    const std::vector<int> rows = model->TreeOrder();
    TExportTable table;
    for (int c : cols)
        table.Captions << model->headerData(c, Qt::Horizontal).toString();
    table.RowCount = qint64(rows.size());
    table.Cell = [&](qint64 r, int c) { return data->Value(rows[size_t(r)], cols[c]); };
    table.OutlineLevel = [&](qint64 r) { return model->Level(rows[size_t(r)]); };
    cxExport::AddConditionalFormatting(table, tree->ConditionalFormatting(), data, cols,
                                       [&](qint64 r) { return rows[size_t(r)]; },
                                       model->FlatModel());
    return cxExport::ExportTableToXLSX(fileName, table, tempDir);
}
