#pragma once
// The button bar at the foot of the report and form dialogs that the ERP designs. OK turns the
// dialog's input into a Python script (a fixed header with connection, module and company, one
// line per parameter control, then the report's own script from table rtf), runs it with python3
// and hands its output to the dialog as the result text. A script that cannot run, fails or runs
// too long is shown with its output and the dialog stays open. The drop-down menu keeps script
// and result files and checks every report script; its choices hold for all bars while the
// program runs.

#include <TKorvexPython.h>
#include <TVoskClass.h>
#include <TfrmToDesignBase.h>

#include <QFrame>
#include <QPointer>
#include <QStringList>

#include <functional>

class QMenu;
class QAction;
class QPushButton;
class QToolButton;
class TPanel;

class TFrameBt final : public QFrame {
    Q_OBJECT
public:
    explicit TFrameBt(QObject* owner, QWidget* parent = nullptr);
    ~TFrameBt() override;

    // Components, in the order of the form resource.
    TPanel* VoskPanel1;
    QPushButton* btOk;
    QPushButton* btCancel;
    QToolButton* btShowResult;
    QPushButton* btHelp;
    QPushButton* btSavePrintSettings;
    QMenu* pmShowResult;
    QAction* miSavePythonScript;
    QAction* miSavePythonResult;
    QAction* miShowPythonResult;
    QAction* N1;
    QAction* miDevelopHint;
    QAction* miPythonScriptsCheck;

    // The report whose rtf row OK runs; without one OK does nothing.
    void OpenReport(int rtfId);
    TVoskClass2* QueryForms() const { return FQueryForms; }
    TfrmToDesignBase* OwnerForm() const { return FOwnerForm; }

    std::function<void(QObject* sender)> OnVisibleChanged;

    void btOkClick();
    void btCancelClick();
    void btHelpClick();
    void btSavePrintSettingsClick();
    void miShowResultClick(QAction* item);
    void miPythonScriptsCheckClick();

    // The script file and result file of a report in the session's temporary folder.
    static QString ScriptFileName(int rtfId);
    static QString ResultFileName(int rtfId);
    static QString CheckAllFileName();
    // Output as the result text: blank lines at the start and white space at the end removed.
    static QString TrimScriptOutput(const QString& output);

    // Remembered across bars while the program runs.
    static bool FSavePythonScript;
    static bool FSavePythonResult;
    static bool FShowPythonResult;

protected:
    bool event(QEvent* e) override;

private:
    QStringList headerLines(bool withModulInfo) const;
    // False when a control refused its input; the dialog then stays open.
    bool appendParameterLines(QStringList& script);
    void refuseControl(QWidget* control);
    QString chooseScriptCopy(int rtfId) const;
    void closeOwner(int modalResult);
    void showError(const QString& text) const;
    void runChecked(const char* handler, const std::function<void()>& body);

    QPointer<TVoskClass2> FQueryForms;
    QPointer<TfrmToDesignBase> FOwnerForm;
    QPointer<TKorvexPython> FPython;
    QString m_rtfParam;
};

namespace UFrameBt {
// Puts `TFrameBt` on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace UFrameBt
