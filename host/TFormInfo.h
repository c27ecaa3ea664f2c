#pragma once
// A small "Info" window of the demo host: a base form shown as a dialog, as large as its text,
// showing the program, the database and the login; Esc closes it.

#include "UGrundModulForm.h"

class QLabel;

class TFormInfo final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormInfo(QObject* owner = nullptr, QWidget* parent = nullptr);

    QLabel* LabelInfo;

    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
};
