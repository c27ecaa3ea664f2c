#include "uExceptions.h"

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
    setContentsMargins(10, 10, 10, 10);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF0, 0xFB, 0xFF)); // clCream
    setPalette(pal);
    resize(751 + 20, 364 + 20);

    SpeedButton1 = Vcl::Owned(this, new QToolButton(this), QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Details >>"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(10, 330, 90, 25);

    BtOk = Vcl::Owned(this, new QPushButton(this), QStringLiteral("BtOk"));
    BtOk->setText(QStringLiteral("&Ok"));
    BtOk->setProperty("TextNr", 5217);
    BtOk->setIcon(DMSys()->ImageListHot()->Icon(TDMSys::ImageOk));
    BtOk->setDefault(true);
    BtOk->setGeometry(330, 330, 100, 25);

    GroupBox1 = Vcl::Owned(this, new QGroupBox(QStringLiteral("Details"), this),
                           QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(10, 120, 751, 200);
    GroupBox1->hide();
    EdSender = Vcl::Owned(this, new QLineEdit(GroupBox1), QStringLiteral("EdSender"));
    EdSender->setReadOnly(true);
    EdSender->setGeometry(10, 150, 360, 22);
    EdCode = Vcl::Owned(this, new QLineEdit(GroupBox1), QStringLiteral("EdCode"));
    EdCode->setReadOnly(true);
    EdCode->setGeometry(380, 150, 360, 22);
    QFont small = font();
    small.setBold(true);
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label1 = Vcl::Owned(this, new QLabel(QStringLiteral("Fehlercode"), GroupBox1),
                        QStringLiteral("Label1"));
    Label1->setFont(small);
    Label1->setGeometry(380, 134, 200, 14);
    Label2 = Vcl::Owned(this, new QLabel(QStringLiteral("Sender"), GroupBox1),
                        QStringLiteral("Label2"));
    Label2->setFont(small);
    Label2->setGeometry(10, 134, 200, 14);
    MemoExtendedError = Vcl::Owned(this, new QPlainTextEdit(GroupBox1),
                                   QStringLiteral("MemoExtendedError"));
    MemoExtendedError->setReadOnly(true);
    MemoExtendedError->setGeometry(10, 20, 730, 110);

    MemoErrCaption = Vcl::Owned(this, new QLabel(this), QStringLiteral("MemoErrCaption"));
    MemoErrCaption->setAlignment(Qt::AlignCenter);
    MemoErrCaption->setWordWrap(true);
    MemoErrCaption->setTextFormat(Qt::PlainText);
    QFont big = font();
    big.setPixelSize(13);
    MemoErrCaption->setFont(big);
    MemoErrCaption->setGeometry(110, 20, 637, 81);

    cxImage1 = Vcl::Owned(this, new QLabel(this), QStringLiteral("cxImage1"));
    cxImage1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(64, 64));
    cxImage1->setGeometry(20, 20, 72, 72);

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(BtOk, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    OnShow = [this](QObject* s) { FormShow(s); };
    FormCreate(this);
}

void TFormException::FormCreate(QObject*) { setWindowTitle(QStringLiteral("KORVEX ERP")); }

void TFormException::FormShow(QObject*) {
    resize(width() + 5, height());
    BtOk->move(int(std::lround(width() / 2.0 - BtOk->width() / 2.0)), BtOk->y());
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
        ShowTaskDialog(sender, message, shown.text);
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

void InitUnit() {
    if (!DM1())
        new TDM1(QCoreApplication::instance());
    TDM1::RaiseQ32ClientExceptionProc.Set(&uExceptions::RaiseQ32ClientException);
    Rtl::ClientErrorDisplay.Set([](std::exception_ptr e, QObject* sender) {
        try {
            uExceptions::RaiseException(sender, e);
        } catch (const EAbort&) {
            // The display's own abort ends here: the guard has already stopped the action.
        }
    });
}

void FiniUnit() {
    TDM1::RaiseQ32ClientExceptionProc.Reset();
    Rtl::ClientErrorDisplay.Reset();
}

} // namespace

KORVEX_UNIT("hadrel", "uExceptions", InitUnit, FiniUnit);
