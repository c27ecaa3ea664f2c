#pragma once
// The tool window a coordinator opens on F3: where its data comes from, and the link to the
// editor of the special functions of its table.

#include "TAbstractControlWindow.h"

class QGroupBox;
class QLabel;

class TControlWindow final : public TAbstractControlWindow {
    Q_OBJECT
public:
    explicit TControlWindow(QObject* owner = nullptr);

    QLabel* HintLabel;
    QGroupBox* ScrollBox;
    QLabel* lbEditSondfunc;

    // "Table=...\nFormClass=...\nDataSource=Class.Name" for a coordinator or a data class as
    // owner, "Table=...\nUnknownSource=Class" for any other.
    QString GetClassInfo() const;
    void FormShow();
    // Opens the special-function editor of the table.
    void lbEditSondfuncClick();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};
