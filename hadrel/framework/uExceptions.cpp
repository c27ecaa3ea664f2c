#include "uExceptions.h"

#include "Vcl.Accessible.h"

#include "DMSys.h"
#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "StrUtils.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <cmath>
#include <memory>

TFormException::TFormException(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormException"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poMainFormCenter);
    setWindowTitle(QStringLiteral("KORVEX ERP"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, CreamColor());
    setPalette(pal);

    // Laid out rather than placed: the dialog takes the size its message needs, up to the
    // resource's width, and grows by the details box when that is opened.
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(10, 10, 10, 10);
    box->setSizeConstraint(QLayout::SetFixedSize);
    auto* top = new QHBoxLayout;
    box->addLayout(top);

    cxImage1 = Vcl::Owned(this, new QLabel(this), QStringLiteral("cxImage1"));
    cxImage1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
    cxImage1->setAlignment(Qt::AlignTop);
    cxImage1->setAccessibleName(QStringLiteral("Fehler"));
    top->addWidget(cxImage1);

    MemoErrCaption = Vcl::Owned(this, new QLabel(this), QStringLiteral("MemoErrCaption"));
    MemoErrCaption->setAlignment(Qt::AlignCenter);
    MemoErrCaption->setWordWrap(true);
    MemoErrCaption->setTextFormat(Qt::PlainText);
    MemoErrCaption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = font();
    big.setPixelSize(13);
    MemoErrCaption->setFont(big);
    MemoErrCaption->setMinimumWidth(280);
    MemoErrCaption->setMaximumWidth(637);
    // Read out as "Meldung: " and the message itself.
    Vcl::SetContentCaption(MemoErrCaption, QStringLiteral("Meldung"));
    top->addWidget(MemoErrCaption, 1);

    GroupBox1 = Vcl::Owned(this, new QGroupBox(QStringLiteral("Details"), this),
                           QStringLiteral("GroupBox1"));
    GroupBox1->setAccessibleName(QStringLiteral("Details"));
    auto* details = new QGridLayout(GroupBox1);
    MemoExtendedError = Vcl::Owned(this, new QPlainTextEdit(GroupBox1),
                                   QStringLiteral("MemoExtendedError"));
    MemoExtendedError->setReadOnly(true);
    MemoExtendedError->setMinimumSize(560, 110);
    MemoExtendedError->setAccessibleName(QStringLiteral("Fehlertext"));
    MemoExtendedError->setToolTip(QStringLiteral("Fehlertext"));
    details->addWidget(MemoExtendedError, 0, 0, 1, 2);
    QFont small = font();
    small.setBold(true);
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label2 = Vcl::Owned(this, new QLabel(QStringLiteral("Sender"), GroupBox1),
                        QStringLiteral("Label2"));
    Label2->setFont(small);
    Label1 = Vcl::Owned(this, new QLabel(QStringLiteral("Fehlercode"), GroupBox1),
                        QStringLiteral("Label1"));
    Label1->setFont(small);
    details->addWidget(Label2, 1, 0);
    details->addWidget(Label1, 1, 1);
    EdSender = Vcl::Owned(this, new QLineEdit(GroupBox1), QStringLiteral("EdSender"));
    EdSender->setReadOnly(true);
    EdCode = Vcl::Owned(this, new QLineEdit(GroupBox1), QStringLiteral("EdCode"));
    EdCode->setReadOnly(true);
    Label2->setBuddy(EdSender);
    Label1->setBuddy(EdCode);
    EdSender->setAccessibleName(QStringLiteral("Sender"));
    EdSender->setToolTip(QStringLiteral("Sender"));
    EdCode->setAccessibleName(QStringLiteral("Fehlercode"));
    EdCode->setToolTip(QStringLiteral("Fehlercode"));
    details->addWidget(EdSender, 2, 0);
    details->addWidget(EdCode, 2, 1);
    GroupBox1->hide();
    box->addWidget(GroupBox1);

    auto* buttons = new QHBoxLayout;
    box->addLayout(buttons);
    SpeedButton1 = Vcl::Owned(this, new QToolButton(this), QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Details >>"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setToolTip(QStringLiteral("Details anzeigen"));
    SpeedButton1->setAccessibleName(QStringLiteral("Details anzeigen"));
    buttons->addWidget(SpeedButton1);
    buttons->addStretch();
    BtOk = Vcl::Owned(this, new QPushButton(this), QStringLiteral("BtOk"));
    BtOk->setText(QStringLiteral("&Ok"));
    BtOk->setProperty("TextNr", 5217);
    BtOk->setIcon(DMSys()->ImageListHot()->Icon(TDMSys::ImageOk));
    BtOk->setDefault(true);
    BtOk->setMinimumWidth(100);
    BtOk->setToolTip(QStringLiteral("Meldung schließen"));
    BtOk->setAccessibleName(QStringLiteral("Ok"));
    buttons->addWidget(BtOk);
    buttons->addStretch();
    buttons->addSpacing(SpeedButton1->sizeHint().width());

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(BtOk, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    OnShow = [this](QObject* s) { FormShow(s); };
    FormCreate(this);
}

QColor TFormException::CreamColor() {
    // clCream is $F0FBFF in the form resource's blue-green-red order.
    return QColor(0xFF, 0xFB, 0xF0);
}

void TFormException::FormCreate(QObject*) { setWindowTitle(QStringLiteral("KORVEX ERP")); }

void TFormException::FormShow(QObject*) {
    // The layout keeps BtOk centred under the message; the size follows the text.
    adjustSize();
}

void TFormException::SpeedButton1Click() { GroupBox1->show(); }

void TFormException::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    TVoskBaseForm::keyPressEvent(e);
}

namespace uExceptions {

namespace {

QString SenderName(const QObject* sender) { return sender ? sender->objectName() : QString(); }

// The focus goes back where it was before the dialog, if that widget still exists.
class FocusKeeper final {
public:
    FocusKeeper() : m_widget(QApplication::focusWidget()) {}
    void Restore() const {
        if (!m_widget)
            return;
        if (QWidget* w = m_widget->window())
            w->activateWindow();
        m_widget->setFocus();
    }

private:
    QPointer<QWidget> m_widget;
};

// A widget that can take the focus gets it; true when it could.
bool FocusOn(QObject* control) {
    auto* w = qobject_cast<QWidget*>(control);
    if (!w || !w->isVisible() || !w->isEnabled() || w->focusPolicy() == Qt::NoFocus)
        return false;
    w->setFocus();
    return true;
}

void ShowFormException(const QString& senderText, const QString& extended, const QString& caption,
                       const QString& code, bool popupExplicit) {
    auto form = std::make_unique<TFormException>();
    form->EdSender->setText(senderText);
    form->MemoExtendedError->setPlainText(extended);
    form->MemoErrCaption->setText(caption);
    Vcl::SetMessageDescription(form.get(), caption);
    form->EdCode->setText(code);
    // Explicit popup: the dialog stays above the main window rather than the active one.
    if (popupExplicit)
        if (QWidget* main = Vcl::Screen::MainForm())
            form->setParent(main, form->windowFlags());
    Korvexcommonvcl::ShowModal(form.get());
}

void ShowTaskDialog(QObject* sender, const QString& exceptionMessage,
                    const QString& displayMessage) {
    QString expanded = exceptionMessage;
    if (sender)
        expanded += QStringLiteral("\nSender:") + SenderName(sender);
    Vcl::TQuestion q;
    q.kind = Vcl::mtError;
    q.caption = makeText(10118, QStringLiteral("*"));
    q.text = displayMessage;
    q.buttons = Vcl::mbOK;
    q.details = expanded;
    q.detailsCaption = makeText(11790, QStringLiteral("*"));
    Vcl::Dialogs::Instance().Ask(q);
}

// What RaiseException shows, without the abort: false when the message is not shown at all.
bool ShowMessageOnce(QObject* sender, const QString& message) {
    if (IsSuppressedMessage(message))
        return false;
    const TShownText shown = ResolveTextMarker(message);
    if (!Korvexcommonvcl::UseLatestCommonDialogs) {
        const QString senderText =
            sender ? sender->objectName() + QLatin1Char(':') + Vcl::ClassName(sender) : QString();
        ShowFormException(senderText, message, shown.text, shown.code, false);
    } else {
        // The task dialog's road restores the focus as RaiseExceptionEx does.
        const FocusKeeper focus;
        ShowTaskDialog(sender, message, shown.text);
        focus.Restore();
    }
    return true;
}

void FocusAfterTaskDialog(QObject* focusControl) {
    auto* w = qobject_cast<QWidget*>(focusControl);
    if (!w || FocusOn(w))
        return;
    if (TDM1* dm = DM1())
        dm->LogEvent(QStringLiteral("RaiseExceptionEx:SetFocusError:Component:") +
                     Vcl::ClassName(w) + QLatin1Char('.') + w->objectName() +
                     QStringLiteral(";Exception:") + QStringLiteral("Control kann nicht fokussiert werden"));
}

} // namespace

bool IsSuppressedMessage(const QString& message) {
    return message == QLatin1String("Operation abgebrochen") ||
           message == QLatin1String("Operation aborted") ||
           message.contains(QLatin1String("Bildlaufleisten"));
}

TShownText ResolveTextMarker(const QString& message) {
    const qsizetype at = message.indexOf(QLatin1String("xtt"));
    if (at < 0)
        return {message, {}};
    qsizetype end = at + 3;
    while (end < message.size() && message.at(end).isDigit() && message.at(end).unicode() < 128)
        ++end;
    const QString digits = message.mid(at + 3, end - at - 3);
    bool ok = false;
    const int nr = digits.toInt(&ok);
    // A number the text table does not hold leaves the message as it is.
    if (!ok || nr <= 0 || makeText(nr, QString()).isEmpty())
        return {message, {}};
    return {makeText(QStringLiteral("xtt") + digits, QStringLiteral("*")), digits};
}

void RaiseException(QObject* sender, const QString& message) {
    const QString cut = Rtl::TruncateText(message, MaxMessageLength);
    if (!ShowMessageOnce(sender, cut))
        return;
    throw EAbort();
}

void RaiseException(QObject* sender, std::exception_ptr e) {
    if (!e)
        return;
    try {
        std::rethrow_exception(e);
    } catch (const EAbort&) {
        return;
    } catch (...) {
    }
    RaiseException(sender, Rtl::ExceptionMessage(e));
}

void RaiseQ32ClientException(QObject* sender, const QString& exceptionMessage,
                             const QString& displayMessage, bool doException,
                             QObject* focusControl) {
    const QString display = displayMessage.isEmpty() ? exceptionMessage : displayMessage;
    if (display.contains(QLatin1String("xtt"))) {
        // Shown once like RaiseException, but the caller's choice to continue and its focus
        // target still count.
        const FocusKeeper focus;
        if (ShowMessageOnce(sender, Rtl::TruncateText(display, MaxMessageLength)))
            focus.Restore();
    } else if (Korvexcommonvcl::UseLatestCommonDialogs) {
        RaiseExceptionEx(sender, exceptionMessage, display, doException, focusControl);
        return;
    } else {
        const FocusKeeper focus;
        ShowFormException(sender ? SenderName(sender) : QString(), exceptionMessage, display, {},
                          true);
        focus.Restore();
    }
    FocusOn(focusControl);
    if (doException)
        throw EAbort();
}

void RaiseExceptionEx(QObject* sender, const QString& exceptionMessage,
                      const QString& displayMessage, bool doException, QObject* focusControl) {
    const FocusKeeper focus;
    ShowTaskDialog(sender, exceptionMessage, displayMessage);
    focus.Restore();
    FocusAfterTaskDialog(focusControl);
    if (doException)
        throw EAbort();
}

} // namespace uExceptions

namespace {

// The data module made for code that runs without one; it goes with the package, so that a
// plug-in that required this package leaves no connection behind when it is unloaded.
QPointer<TDM1> s_ownDM1;

void InitUnit() {
    if (!DM1())
        s_ownDM1 = new TDM1(QCoreApplication::instance());
    TDM1::RaiseQ32ClientExceptionProc.Set(&uExceptions::RaiseQ32ClientException);
    Rtl::ClientErrorDisplay.Set([](std::exception_ptr e, QObject* sender) {
        try {
            // A refusal the database layer put into the user's words shows that sentence; what
            // the server said goes under the details.
            try {
                std::rethrow_exception(e);
            } catch (const EVoskDatabaseError& db) {
                if (db.IsTranslated()) {
                    uExceptions::RaiseQ32ClientException(sender, db.Details(), db.Message(), true,
                                                         nullptr);
                    return;
                }
            } catch (...) {
            }
            uExceptions::RaiseException(sender, e);
        } catch (const EAbort&) {
            // The display's own abort ends here: the guard has already stopped the action.
        }
    });
}

void FiniUnit() {
    TDM1::RaiseQ32ClientExceptionProc.Reset();
    Rtl::ClientErrorDisplay.Reset();
    delete s_ownDM1;
}

} // namespace

KORVEX_UNIT("hadrel", "uExceptions", InitUnit, FiniUnit);
