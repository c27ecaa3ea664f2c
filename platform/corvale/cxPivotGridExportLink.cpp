#include "cxPivotGridExportLink.h"

#include "TVoskDBPivotGrid.h"

#include <VoskExceptions.h>

TGridExportResult ExportPivotGridToXLSX(const QString& fileName, TVoskDBPivotGrid* grid) {
    TVoskPivotModel* model = grid ? grid->Model() : nullptr;
    if (!model || model->columnCount() == 0)
        throw EVoskException(QStringLiteral("Die Kreuztabelle hat keine Daten zum Exportieren."));
    TExportTable table;
    const int cols = model->columnCount();
    for (int c = 0; c < cols; ++c)
        table.Captions << model->headerData(c, Qt::Horizontal).toString();
    table.RowCount = model->rowCount();
    const int keyRows = model->RowKeyCount();
    table.Cell = [model, keyRows](qint64 r, int c) -> QVariant {
        if (c > 0)
            return model->Sum(int(r), c - 1); // the last column is the row total
        if (r == keyRows)
            return model->headerData(model->columnCount() - 1, Qt::Horizontal);
        // Row values keep their type; a group of records without one needs its label.
        const QVariant key = model->RowKey(int(r));
        return key.isNull() ? QVariant(TVoskPivotModel::KeyText(key)) : key;
    };
    return cxExport::ExportTableToXLSX(fileName, table);
}
