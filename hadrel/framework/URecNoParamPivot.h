#pragma once
// The pivot view of a grid's record parameters: one row per record the grid shows, one column per
// parameter any of them has, each cell the record's value of that parameter. The grid's row menu
// opens it when the form's start-up found the record parameters in the grid's query.

#include "Q32GrundForm.h"

#include <QPointer>

class QTableWidget;
class TVoskDBGrid2;

class TFormRecNoParamPivot final : public TVoskBaseForm {
    Q_OBJECT
public:
    TFormRecNoParamPivot(QObject* owner, TVoskDBGrid2* grid);

    // Reads the parameters of the records the grid shows now, with one query.
    void Reload();

    QTableWidget* GridPivot;

private:
    QPointer<TVoskDBGrid2> m_grid;
};
