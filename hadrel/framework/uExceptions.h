#pragma once
// The error display of the system. Lower packages report client errors through the data module's
// slot, which this unit fills; the event guard's client error display lands here too. A message
// that carries a text marker ("xtt" and a known text number) is shown as that text, with the
// number as error code and the message as passed under "Details". After the dialog the running
// action ends with the silent abort, unless the caller asked to continue.

#include "Q32GrundForm.h"

#include <QColor>
#include <QString>

#include <exception>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QGroupBox;
class QToolButton;

// The system's own error dialog (used while the platform's newest common dialogs are off).
class TFormException final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TFormException(QObject* owner = nullptr);

    QToolButton* SpeedButton1;
    QPushButton* BtOk;
    QGroupBox* GroupBox1;
    QLineEdit* EdSender;
    QLineEdit* EdCode;
    QLabel* Label1;
    QLabel* Label2;
    QPlainTextEdit* MemoExtendedError;
    QLabel* MemoErrCaption;
    QLabel* cxImage1;

    // The dialog's background.
    static QColor CreamColor();

    void FormCreate(QObject* sender);
    void FormShow(QObject* sender);
    void SpeedButton1Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

namespace uExceptions {

// Messages that are never shown (and abort nothing).
bool IsSuppressedMessage(const QString& message);

// The text to show and the error code of a message: a marker "xtt" followed by digits whose
// number the database layer knows gives that number's text and the digits; otherwise the message
// itself and no code.
struct TShownText {
    QString text;
    QString code;
};
TShownText ResolveTextMarker(const QString& message);

// Longest message the display takes.
inline constexpr int MaxMessageLength = 255;

// Shows message (cut to 255 characters) and aborts silently.
void RaiseException(QObject* sender, const QString& message);
// Nothing for the silent abort; any other exception as its message.
void RaiseException(QObject* sender, std::exception_ptr e);
// The routine in the data module's slot. An empty display message shows the exception message;
// FocusControl gets the focus afterwards; DoException false lets the caller continue.
void RaiseQ32ClientException(QObject* sender, const QString& exceptionMessage,
                             const QString& displayMessage, bool doException,
                             QObject* focusControl);
// The same through the platform's task dialog.
void RaiseExceptionEx(QObject* sender, const QString& exceptionMessage,
                      const QString& displayMessage, bool doException, QObject* focusControl);

} // namespace uExceptions
