#pragma once
// "Dialoge": a sample module of the demo host that opens the system's dialogs on the texts of the
// table demo_texte: the memo editor for a plain and an RTF text, and the calculator on a number
// field (Ctrl+T). Start parameters "EditRTF=True" open the RTF row at once, "Tastatur=True" with
// the on-screen keyboard shown. A second row opens the number-range, password, input and date
// dialogs; "Nummernkreis=True" opens the number-range dialog at once. F3 in the address field
// shows where its data comes from (the control window of adressen).

#include "UModulForm.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class TQ32Control;
class TVoskClass2;

class TFormDialogDemo final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormDialogDemo(QObject* owner = nullptr, QWidget* parent = nullptr);

    QComboBox* CbText;
    QTextBrowser* Preview;
    QPushButton* BtTextBearbeiten;
    QPushButton* BtRtfBearbeiten;
    QLineEdit* EdBetrag;
    QLineEdit* EdNummer;
    QLineEdit* EdAdresse;
    QLabel* LbErgebnis;
    TVoskClass2* Adressen1;
    TQ32Control* Q32Control1;

    void FormShow(QObject* sender) override;
    // F3 in the address field shows its control window; other keys as every module.
    void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
    // Edits the chosen row as plain text or as RTF and stores a confirmed change.
    void Bearbeiten(bool rtf);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The second row: one button per small dialog (TFormDialogDemo.Dialoge.cpp).
    void AddDialogButtons(class QBoxLayout* box);
    void OpenStartDialog();
    void LoadRows();
    void ShowRow();
    bool m_started = false;
};
