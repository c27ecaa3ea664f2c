#pragma once
// A modal question for one date ("Neuer Termin"). A cancelled question ends the caller's action
// silently.

#include "Q32GrundForm.h"

#include <QDate>
#include <QString>

class QLabel;
class QPushButton;
class TVoskDateEdit;

class TFormNextDate final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TFormNextDate(QObject* owner = nullptr);

    QLabel* lb_NeuerTermin;
    TVoskDateEdit* EdDate;
    QPushButton* BtOk;
    QPushButton* btAbort;

    // Refuses an empty date: the focus goes to the date and the click ends silently.
    void BtOkClick();
    // Enter moves to OK, Esc closes with the result "Abbrechen".
    void FormKeyUp(int Key);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};

// The date chosen; ADate null shows an empty field; ACaption "DEFAULT" keeps the text
// "Neuer Termin". Anything but OK aborts the caller silently (EAbort).
QDate AskNextDate(const QDate& ADate, const QString& ACaption);
