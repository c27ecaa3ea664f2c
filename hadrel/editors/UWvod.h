#pragma once
// The resubmission entry ("Wiedervorlage"): date, subject, text and the user it is for. The module
// form's status bar presets it, shows it and stores what comes back; the form itself only deletes
// the resubmission it was opened on.

#include "UGrundModulForm.h"

#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class TVoskDateEdit;
class TVoskEdit;
class TVoskMemo;

class TFormWvod final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormWvod(QObject* owner = nullptr, QWidget* parent = nullptr);

    QLabel* lbDatum;
    QLabel* lbBetreff;
    QLabel* lbBearbeiter;
    TVoskDateEdit* EdDate;
    TVoskEdit* EdBetreff;
    TVoskMemo* MemoText;
    TVoskEdit* EdUser;
    QPushButton* BtOk;
    QPushButton* BtAbort;
    QToolButton* BtDelWvod;

    // The row of the resubmission being edited; empty or "0" for a new one, which cannot be
    // deleted.
    QString dbrid() const { return m_dbrid; }
    void SetDbrid(const QString& id);

    void FormCreate(QObject* sender) override;
    // After the delete question: removes the row and closes with the result 3, so that the caller
    // stores nothing.
    void BtDelWvodClick();

private:
    QString m_dbrid;
};
