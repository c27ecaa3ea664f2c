#pragma once
// A report dialog as the form designer makes them: the address list with a key date, a check box
// for active addresses only and the sort order, and the button bar that runs report 9002.

#include <TfrmToDesignBase.h>

class QLabel;
class TFrameBt;
class TVoskCheckBox;
class TVoskDateEdit;
class TVoskPickEdit;

class TfrmAdressliste final : public TfrmToDesignBase {
    Q_OBJECT
public:
    static constexpr int kReport = 9002;

    explicit TfrmAdressliste(QObject* owner = nullptr);

    QLabel* lbStichtag;
    TVoskDateEdit* Stichtag;
    TVoskCheckBox* NurAktive;
    QLabel* lbSortierung;
    TVoskPickEdit* Sortierung;
    TFrameBt* FrameBt;

    // Opens the dialog modally over module; the script's output when the user ran it, else empty.
    static QString Execute(QWidget* module);
};
