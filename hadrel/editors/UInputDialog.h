#pragma once
// The value question that the lower layers reach through Korvexutils::RaiseInputQuestion: one
// value (text or a number typed the German way), optionally a description, and optionally a
// button "Neue Nr." that draws the value from a number range. A number drawn here and not taken
// goes back to its range when the dialog closes any other way than with OK.

#include "UGrundModulForm.h"

#include <QString>
#include <QVariant>

class QFrame;
class QLabel;
class QPushButton;
class TNummernKreis;
class TVoskEdit;

class TFormKorvexInputDialog final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormKorvexInputDialog(QObject* owner = nullptr, QWidget* parent = nullptr);

    QLabel* LbCaption;
    QLabel* lbBezeichnung;
    TVoskEdit* EditInput;
    TVoskEdit* EditBezeichnung;
    QPushButton* BtNewNumber;
    TNummernKreis* NummernKreis1;
    QFrame* BevelButtons;
    QPushButton* BtOk;
    QPushButton* BtAbort;

    // The range "Neue Nr." draws from; the button shows only with one.
    void SetNumCircleName(const QString& name);
    QString NumCircleName() const { return m_numCircleName; }
    // Places labels, edits and button after their texts are set, and sizes the form to them.
    void ArrangeControls();
    // A numeric edit takes numbers with a decimal comma and gives its value as a double.
    void SetNumeric(bool numeric);
    bool Numeric() const { return m_numeric; }
    void SetValue(const QVariant& value);
    QVariant Value() const;

    void BtNewNumberClick();
    void BtAbortClick();
    // Gives the number drawn here back to its range when the edit still shows it.
    void HandBackDrawnNumber();
    QString DrawnNumber() const { return m_drawn; }

    // After the base form's keys: F8 draws a new number, also while the button is hidden.
    void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;

private:
    QWidget* m_content;
    QString m_numCircleName;
    QString m_drawn;
    bool m_numeric = false;
};

// The dialog as the slot runs it; true when the user confirmed with OK. Value and
// _EditBezeichnung receive what the edits show however the dialog closed.
bool RaiseInputQuestion(const QString& Title, const QString& Msg, QVariant& Value,
                        QString& _EditBezeichnung, int _LbBezeichnung_0_hides, bool Numeric,
                        QWidget* _PopupParent, const QString& _AlternativeClassName,
                        const QString& NumCircleNameForNewNum);
