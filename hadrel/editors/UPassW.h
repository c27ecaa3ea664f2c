#pragma once
// The password question that the lower layers reach through their dialog slots, and the checks
// built on it. A cancelled question answers "XXXXX" where a string is expected; the checks decide
// on AskPasswordEx, which tells a cancel apart from every typed text, so that a stored password
// "XXXXX" is never confirmed by cancelling.

#include "Q32GrundForm.h"

#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordDlg final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TPasswordDlg(QObject* owner = nullptr);

    QLabel* Label1;
    QLineEdit* Password;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

// The text typed, or no value when the user cancelled or no dialog may be shown (no data module,
// or its dialog mode 1: then only the log line "AskPassword").
std::optional<QString> AskPasswordEx(const QString& DialogCaption,
                                     const QString& DialogSubCaption);
// The text typed, or the cancel marker "XXXXX".
QString AskPassword(const QString& DialogCaption, const QString& DialogSubCaption);
QString AskPassword2(const QString& DialogSubCaption);
// Asks and refuses anything but Password (exact) with the critical error "Passwort falsch",
// which ends the caller's action; a cancel never passes.
void CheckPassword(const QString& Password, const QString& DialogCaption,
                   const QString& DialogSubCaption);
void CheckPassword2(const QString& Password, const QString& DialogSubCaption);

namespace UPassW {
// The caption: DialogCaption with its first "%s" replaced by DialogSubCaption (any other "%" stays
// as typed); empty DialogCaption takes text 17176, or 17175 when a sub-caption is given.
QString PasswordCaption(const QString& DialogCaption, const QString& DialogSubCaption);
} // namespace UPassW
