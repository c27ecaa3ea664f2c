#pragma once
// The services through which forms talk to the user and the desktop: questions and messages, file
// dialogs, launching programs and opening URLs, and the clipboard. Each is an interface whose
// default does the real thing; a test installs a replacement with SetInstance and puts the old one
// back when done (SetInstance(nullptr) returns to the default).

#include "Vcl.Types.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

class QMessageBox;
class QWidget;

namespace Vcl {

// A button of a task dialog: pressing it answers the question with TModalResult(id).
struct TCommandButton {
    int id = 0;
    QString caption;
    QString description; // a second line under the caption
};

// A question or message as the user sees it.
struct TQuestion {
    TMsgDlgType kind = mtInformation;
    QString caption;
    QString text;
    TMsgDlgButtons buttons = mbOK;
    TMsgDlgBtn defaultButton = mbNone; // mbNone: the first of the buttons
    QString details;                   // shown behind a "details" toggle
    QWidget* parent = nullptr;         // null: the active window
    QString detailsCaption;            // the toggle's caption; empty: the platform's
    QMap<int, QString> buttonCaptions; // TMsgDlgBtn -> a caption of its own ("Immer")
    // Command buttons shown above the standard ones; defaultCommand is the id preselected.
    QList<TCommandButton> commands;
    int defaultCommand = 0;
    // A check box under the message ("Nicht mehr fragen"); no caption, no box. Once the user has
    // answered, checkBoxChecked (when set) receives whether it was ticked.
    QString checkBoxCaption;
    QString checkBoxHint;
    bool* checkBoxChecked = nullptr;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual TModalResult Ask(const TQuestion& question) = 0;

    static Dialogs& Instance();
    static Dialogs* SetInstance(Dialogs* dialogs); // returns the previously installed one
};

TModalResult Ask(TMsgDlgType kind, const QString& caption, const QString& text,
                 TMsgDlgButtons buttons, TMsgDlgBtn defaultButton = mbNone,
                 const QString& details = {}, QWidget* parent = nullptr);
// An information with an OK button.
void ShowMessage(const QString& text, const QString& caption = {});
// The message box the default service shows for a question, not yet shown; the caller owns it.
QMessageBox* NewQuestionBox(const TQuestion& question);

struct TFileRequest {
    QString caption;
    QString folder;   // start folder
    QString fileName; // proposed name
    // Qt's "Text (*.txt);;Alle (*)" or pairs "Text|*.txt|Alle|*.*"
    QString filter;
    QString defaultSuffix; // added to a saved name without one ("xlsx")
    QWidget* parent = nullptr;
    int filterIndex = 0; // the filter offered first (1-based); 0: the first
    // When set, receives the filter the user picked (1-based).
    int* chosenFilter = nullptr;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Each returns an empty result when the user cancels.
    virtual QString OpenFile(const TFileRequest& request) = 0;
    virtual QStringList OpenFiles(const TFileRequest& request) = 0;
    virtual QString SaveFile(const TFileRequest& request) = 0;
    virtual QString ChooseFolder(const TFileRequest& request) = 0;

    static FileDialogs& Instance();
    static FileDialogs* SetInstance(FileDialogs* dialogs);
};

// "Text|*.txt;*.log|Alle|*.*" as a Qt filter "Text (*.txt *.log);;Alle (*)"; a Qt filter is
// returned as it is.
QString QtFileFilter(const QString& filter);

// How a program that Shell::Run started has done.
struct TRunResult {
    bool started = false;  // false: it could not be started (errorText says why)
    bool finished = false; // it ended within the wait
    int exitCode = 0;      // when finished; -1 when it crashed
    QString errorText;     // why it did not start, or what it wrote to its error output
    // A program still running counts as success: it has taken over.
    bool Succeeded() const { return started && (!finished || exitCode == 0); }
};

class Shell {
public:
    virtual ~Shell() = default;
    // Starts program detached with its arguments as they are: no shell reads them.
    virtual bool Launch(const QString& program, const QStringList& arguments,
                        const QString& workingFolder) = 0;
    // Starts program with its arguments as they are and waits up to waitMs for it: a program that
    // ends in that time gives its exit code, one that still runs goes on by itself.
    virtual TRunResult Run(const QString& program, const QStringList& arguments, int waitMs) = 0;
    // Hands a URL (or a file URL) to the desktop's default handler.
    virtual bool OpenUrl(const QUrl& url) = 0;

    static Shell& Instance();
    static Shell* SetInstance(Shell* shell);
};

// Opens a local file with its default program.
bool OpenDocument(const QString& path);

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;

    static Clipboard& Instance();
    static Clipboard* SetInstance(Clipboard* clipboard);
};

} // namespace Vcl
