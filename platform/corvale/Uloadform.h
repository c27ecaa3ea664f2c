#pragma once
// The start-up progress window of the common components: a small window with one status line
// that long constructions write their progress into while the user waits.

#include "Q32GrundForm.h"

class QLabel;

class TLoadForm final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TLoadForm(QObject* owner = nullptr, QWidget* parent = nullptr);

    // Shows text in the status line, painted at once when the window is shown.
    void SetStatus(const QString& text);
    QString Status() const;

    QLabel* lbStatus;
};
