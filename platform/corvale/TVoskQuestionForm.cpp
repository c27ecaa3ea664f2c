#include "TVoskQuestionForm.h"

#include "Korvexcommonvcl.h"
#include "Vcl.Accessible.h"

#include <EventGuard.h>
#include <UDM1.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct StandardButton {
    const char* name;
    const char* caption;
    Vcl::TModalResult result;
};

constexpr StandardButton kStandard[] = {
    {"Yes", "&Ja", Vcl::mrYes},          {"No", "&Nein", Vcl::mrNo},
    {"OK", "OK", Vcl::mrOk},             {"Cancel", "Abbrechen", Vcl::mrCancel},
    {"Close", "Schließen", Vcl::mrClose}, {"Abort", "Abbrechen", Vcl::mrAbort},
    {"Retry", "Wiederholen", Vcl::mrRetry}, {"Ignore", "Ignorieren", Vcl::mrIgnore},
    {"Help", "Hilfe", Vcl::mrHelp},
};

const StandardButton* standardNamed(const QString& name) {
    for (const StandardButton& b : kStandard)
        if (name.compare(QLatin1String(b.name), Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

QString kindCaption(Vcl::TMsgDlgType kind) {
    switch (kind) {
    case Vcl::mtWarning:
        return QStringLiteral("Warnung");
    case Vcl::mtError:
        return QStringLiteral("Fehler");
    case Vcl::mtInformation:
        return QStringLiteral("Information");
    case Vcl::mtConfirmation:
        return QStringLiteral("Bestätigung");
    default:
        return QStringLiteral("KORVEX ERP");
    }
}

QStyle::StandardPixmap kindIcon(Vcl::TMsgDlgType kind) {
    switch (kind) {
    case Vcl::mtWarning:
        return QStyle::SP_MessageBoxWarning;
    case Vcl::mtError:
        return QStyle::SP_MessageBoxCritical;
    case Vcl::mtConfirmation:
        return QStyle::SP_MessageBoxQuestion;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

} // namespace

TVoskQuestionForm::TVoskQuestionForm(QObject* owner, const QString& text, const QString& buttons,
                                     int defaultIndex, Vcl::TMsgDlgType kind, const QString& key)
    : Vcl::TForm(owner), m_message(new QLabel(this)), m_timer(new QTimer(this)), m_key(key) {
    setObjectName(QStringLiteral("QuestionForm"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poMainFormCenter);
    setWindowTitle(kindCaption(kind));

    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(kindIcon(kind), nullptr, this).pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);
    m_message->setObjectName(QStringLiteral("Message"));
    m_message->setTextFormat(Qt::PlainText); // a file name shows as it is written
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMinimumWidth(360);
    // Read out as the kind of question followed by the question itself.
    Vcl::SetContentCaption(m_message, kindCaption(kind));
    SetMessage(text);

    auto* box = new QDialogButtonBox(this);
    int index = 0;
    for (const QString& part : buttons.split(u'|', Qt::SkipEmptyParts)) {
        const QString name = part.section(u'=', 0, 0).trimmed();
        const QString value = part.section(u'=', 1).trimmed();
        if (name.compare(QLatin1String("Mode"), Qt::CaseInsensitive) == 0)
            continue; // the form is always made without showing
        if (name.compare(QLatin1String("OnTop"), Qt::CaseInsensitive) == 0) {
            m_onTop = value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const StandardButton* std = standardNamed(name);
        if (!std)
            throw EVoskException(QStringLiteral("Unbekannte Schaltfläche \"%1\"").arg(name));
        auto* button = new QPushButton(
            value.isEmpty() ? QString::fromUtf8(std->caption) : TranslateTextMarkers(value), this);
        button->setObjectName(QLatin1String(std->name));
        button->setAutoDefault(false);
        if (index++ == defaultIndex) {
            button->setDefault(true);
            button->setFocus();
        }
        const int result = std->result;
        connect(button, &QPushButton::clicked, this, [this, result] { SetModalResult(result); });
        box->addButton(button, QDialogButtonBox::ActionRole);
    }
    if (m_onTop)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_message, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    Korvexcommonvcl::NameControls(this);

    connect(m_timer, &QTimer::timeout, this, &TVoskQuestionForm::Tick);
}

QPushButton* TVoskQuestionForm::Button(const QString& name) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return b;
    return nullptr;
}

void TVoskQuestionForm::SetMessage(const QString& text) {
    m_message->setText(text);
    m_message->setToolTip(text);
    Vcl::SetMessageDescription(this, text);
}

void TVoskQuestionForm::SetTicker(int intervalMs, std::function<void()> onTick) {
    m_onTick = std::move(onTick);
    m_timer->setInterval(intervalMs);
}

void TVoskQuestionForm::Tick() {
    if (m_onTick)
        Rtl::Guarded([this] { m_onTick(); }, this);
}

void TVoskQuestionForm::showEvent(QShowEvent* e) {
    Vcl::TForm::showEvent(e);
    if (m_onTick && !m_timer->isActive()) {
        m_timer->start();
        QTimer::singleShot(0, this, &TVoskQuestionForm::Tick);
    }
}

void TVoskQuestionForm::hideEvent(QHideEvent* e) {
    m_timer->stop();
    Vcl::TForm::hideEvent(e);
}
