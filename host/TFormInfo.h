#pragma once
// A small "Info" module window of the demo host: a real base form with its floating tool window,
// showing the program, the database and the login.

#include "UGrundModulForm.h"

class QLabel;

class TFormInfo final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormInfo(QObject* owner = nullptr, QWidget* parent = nullptr);

    QLabel* LabelInfo;

    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
};
