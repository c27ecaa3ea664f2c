#include "URecNoParamPivot.h"

#include "TVoskClass.h"
#include "TVoskDataModel.h"
#include "TVoskDBGrid2.h"
#include "TVoskPopupMenu.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"
#include "VoskQuery2.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableWidget>

#include <map>

TFormRecNoParamPivot::TFormRecNoParamPivot(QObject* owner, TVoskDBGrid2* grid)
    : TVoskBaseForm(owner), m_grid(grid) {
    setObjectName(QStringLiteral("FormRecNoParamPivot"));
    setWindowTitle(QStringLiteral("Eigenschaften - Pivot-Ansicht"));
    resize(640, 360);
    auto* box = new QVBoxLayout(this);
    GridPivot = Vcl::Owned(this, new QTableWidget(this), QStringLiteral("GridPivot"));
    GridPivot->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridPivot->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridPivot->horizontalHeader()->setStretchLastSection(true);
    GridPivot->setAccessibleName(QStringLiteral("Eigenschaften je Datensatz"));
    GridPivot->setToolTip(
        QStringLiteral("Ein Datensatz je Zeile, eine Eigenschaft je Spalte"));
    box->addWidget(GridPivot);
    Reload();
}

void TFormRecNoParamPivot::Reload() {
    TVoskClass* data = m_grid ? m_grid->DataClass() : nullptr;
    TDM1* dm = DM1();
    if (!data || !dm)
        return;
    const QString table = data->GetSqlTableName();
    const int key = data->FieldIndex(data->KeyFieldName());
    if (table.isEmpty() || key < 0)
        throw EVoskException(QStringLiteral("Die Tabelle hat keine Datensatz-ID: ") +
                             Vcl::FullName(data));
    // The record's caption is what the grid's first shown column says of it.
    int captionColumn = -1;
    const QAbstractItemModel* model = m_grid->DataModel();
    for (int c = 0; model && c < model->columnCount() && captionColumn < 0; ++c)
        if (!m_grid->isColumnHidden(m_grid->horizontalHeader()->logicalIndex(c)))
            captionColumn = m_grid->horizontalHeader()->logicalIndex(c);
    const QList<int> rows = m_grid->ShownRows();
    QStringList ids;
    for (int r : rows)
        if (!data->IsNullAt(r, key))
            ids << data->ValueRef(r, key).toString();

    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT recnoparam_dbrid, recnoparam_params::text "
                                 "FROM trecnoparam.pivot__by__dbrid(:table) "
                                 "WHERE recnoparam_dbrid = ANY(string_to_array(:ids, ',')::bigint[])"));
    q.Bind(QStringLiteral("table"), table);
    q.Bind(QStringLiteral("ids"), ids.join(u','));
    q.Open();
    std::map<QString, QJsonObject> byRecord;
    std::map<QString, int> names; // sorted, the column of each
    for (int r = 0; r < q.RecordCount(); ++r) {
        const QJsonObject params =
            QJsonDocument::fromJson(q.ValueAt(r, 1).toString().toUtf8()).object();
        byRecord[q.ValueAt(r, 0).toString()] = params;
        for (auto it = params.begin(); it != params.end(); ++it)
            names.emplace(it.key(), 0);
    }
    QStringList headers{QStringLiteral("Datensatz")};
    for (auto& [name, column] : names) {
        column = int(headers.size());
        headers << name;
    }
    GridPivot->clear();
    GridPivot->setColumnCount(int(headers.size()));
    GridPivot->setHorizontalHeaderLabels(headers);
    GridPivot->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const int r = rows[i];
        const QString id = data->IsNullAt(r, key) ? QString() : data->ValueRef(r, key).toString();
        const QString caption =
            captionColumn >= 0
                ? model->index(r, captionColumn).data(Qt::DisplayRole).toString()
                : id;
        GridPivot->setItem(i, 0, new QTableWidgetItem(caption));
        const auto found = byRecord.find(id);
        if (found == byRecord.end())
            continue;
        for (auto it = found->second.begin(); it != found->second.end(); ++it)
            GridPivot->setItem(i, names[it.key()],
                               new QTableWidgetItem(it.value().toVariant().toString()));
    }
    GridPivot->resizeColumnsToContents();
}

namespace {

void UnitInit() {
    TVoskPopupMenu::RecNoParamPivotView.Set([](QWidget* view) {
        auto* grid = qobject_cast<TVoskDBGrid2*>(view);
        if (!grid)
            return;
        auto* form = new TFormRecNoParamPivot(grid->window(), grid);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
    });
}

void UnitFini() { TVoskPopupMenu::RecNoParamPivotView.Reset(); }

} // namespace

KORVEX_UNIT("hadrel", "URecNoParamPivot", UnitInit, UnitFini);
