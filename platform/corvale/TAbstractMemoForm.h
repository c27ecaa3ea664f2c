#pragma once
// The common base of the forms that edit one long text; the memo editor of the forms package
// derives from it, and the lower packages create it through Voskdbcontrols::GetMemoFormConstructor.

#include "Q32GrundForm.h"

class TAbstractMemoForm : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TAbstractMemoForm(QObject* owner = nullptr, QWidget* parent = nullptr)
        : TVoskBaseForm(owner, parent) {}
};
