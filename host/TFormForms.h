#pragma once
// The form designer's report list: the report definitions of the rtf table in a grid, the script
// of the current one in an editor, and whether it is plain SQL handed back as it stands. The
// special-function editor opens it on the report of a special function.

#include "UModulForm.h"

class QLabel;
class TServSQL2;
class TVoskDBCheckBox;
class TVoskDBGrid2;
class TVoskDBMemo;

class TFormForms final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormForms(QObject* owner = nullptr, QWidget* parent = nullptr);

    TServSQL2* QueryForms;
    TVoskDBGrid2* GridForms;
    TVoskDBCheckBox* CbBlankSql;
    QLabel* LbScript;
    TVoskDBMemo* MemoScript;

    void FormCreate(QObject* sender) override;

    // The designer's start procedure: the open report list, else a new one.
    static TFormForms* Open();
};
