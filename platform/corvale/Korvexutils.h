#pragma once
// Small form routines of the common components.

#include "Vcl.Types.h"

#include <QString>
#include <QStringList>
#include <QVariant>

class QObject;
class QWidget;
class TVoskQuery2;

namespace Korvexutils {

// The module a form belongs to: its "ModulName" property as the module start sets it; empty for a
// form that was not started as a module.
QString FindModulName(const QWidget* form);

// The text without leading and trailing blanks and control characters (line ends, tabs, NUL).
QString TrimEx(const QString& text);

// The form a control sits on: its window, or for a control inside an MDI child that child's form.
QWidget* KorvexGetForm(QWidget* control, bool topLevel = false, bool raiseIfNone = false);

// Writes value into control: a line edit (a data-aware one into its field), a text edit (in place
// of its selection), a spin box or an editable combo box. False for any other kind of control.
// name, options and field are for the kinds a later caller adds.
bool SetControlValue(const QVariant& value, QWidget* control, const QString& name = {},
                     int options = 0, QObject* field = nullptr);

// A yes/no question; true for yes.
bool RaiseQuestionYes(const QString& question);
// The same with the answer preselected by defaultYes. With a key the question offers "Nicht mehr
// fragen": an answer given with it ticked is kept per user under the key, and from then on that
// answer is taken without asking (every question asked under the same key shares it, so each
// question has a key of its own). kept, when given, receives whether a kept answer decided.
bool RaiseQuestionYes(const QString& question, bool defaultYes, const QString& key,
                      bool* kept = nullptr);
// Shows an error and aborts the action silently (EAbort).
[[noreturn]] void RaiseCriticalError(const QString& message);

} // namespace Korvexutils

namespace Korvexutils {

// An information with an OK button.
void RaiseInformation(const QString& message);
// An error with an OK button; then the action ends with the silent abort (EAbort).
[[noreturn]] void RaiseError(const QString& message);
// An error with an OK button that returns: the caller decides itself what follows.
void ShowError(const QString& message);

} // namespace Korvexutils

namespace Korvexutils {

// A question with the buttons named in captions ("Yes|No", "Close"; the standard buttons Yes, No,
// OK, Cancel, Close, Abort, Retry, Ignore, Help), the one at defaultIndex preselected. Returns
// the caption of the button pressed as written in captions, empty when the dialog was closed
// otherwise.
QString RaiseQuestionBtn(const QString& question, const QString& captions, int defaultIndex = 0,
                         Vcl::TMsgDlgType kind = Vcl::mtConfirmation);
// Before a record is deleted whose table keeps deleted records marked: true to mark it as deleted
// instead, false to delete it for good. A record already marked can only be deleted for good or
// kept. Declining ends the action with the silent abort.
bool RaiseDeleteMarkable(bool alreadyMarked);

} // namespace Korvexutils

namespace Korvexutils {

// The class-name test of the common components: whether obj's class, or a class it derives from,
// has that name (case-insensitive). False for null.
bool ClassIs(const QObject* obj, const QString& className);

} // namespace Korvexutils
// The caption interface of a form whose title is made of two texts (a printed grid's title joins
// them with two blanks).
class ICaptionTexts {
public:
    virtual ~ICaptionTexts() = default;
    virtual QString CaptionText1() const = 0;
    virtual QString CaptionText2() const = 0;
};
namespace Korvexutils {

// A component that keeps per-user settings: its form tells it when to save and load them.
class ISaveCompSettings {
public:
    virtual ~ISaveCompSettings() = default;
    virtual void SaveCompSettings(QObject* parent) = 0;
    virtual void LoadCompSettings(QObject* parent) = 0;
};

// A component whose settings depend on a state of the session ("ADMIN": the user's rights).
class IReloadCompSettings {
public:
    virtual ~IReloadCompSettings() = default;
    virtual void ReloadCompSettings(const QString& state) = 0;
};

// A component that refreshes its data on request (F5); the form's start-up refreshes those not
// yet refreshed.
class IVoskRefresh {
public:
    virtual ~IVoskRefresh() = default;
    virtual void InitRefresh() = 0;
    virtual void DoRefresh() = 0;
    virtual bool IsRefreshed() const = 0;
};

// Binds the parameters of query by name from form: a component of that name (its shown value),
// else a field of the form's data classes at their current record, else a form parameter.
// Parameters that match nothing become NULL, or keep what they had with keepUnmatched (to fill
// from a second form). Returns "source.name=value" lines for logs; unmatched ones as "<NULL>".
QStringList FillQueryParamsWithFormValues(TVoskQuery2& query, QObject* form,
                                          const QString& sourceName, bool keepUnmatched = false);

// A question with the given buttons; the answer.
Vcl::TModalResult RaiseQuestionEx(const QString& question, Vcl::TMsgDlgButtons buttons,
                                  Vcl::TMsgDlgBtn defaultButton = Vcl::mbNone);
// The text filled with blanks on the right to length characters; a longer text stays whole.
QString MacheStellig(const QString& text, int length);

} // namespace Korvexutils

namespace Korvexutils {

// Whether another program of the user holds the file: one of the user's processes (other than
// this one) has it open, read from /proc/*/fd, or an office lock file ".~lock.NAME#" lies beside
// it. Linux has no sharing violations; this is what an editor that works on the file shows.
bool IsFileInUse(const QString& path);
// Whether the file can be read as a whole now: it exists, opens for reading, and no other
// process of the user has it open for writing (a copy still being written is not ready).
bool CanFileRead(const QString& path);
// Waits ms milliseconds while events go on being handled.
void Delay(int ms);

} // namespace Korvexutils
