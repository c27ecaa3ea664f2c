#include "TVoskBalloonHint.h"

#include <QToolTip>
#include <QWidget>

namespace {
TVoskBalloonHint::Shown& Last() {
    static TVoskBalloonHint::Shown shown;
    return shown;
}
} // namespace

void TVoskBalloonHint::ShowHintBottomRight(QWidget* control, const QString& title,
                                           const QString& text, int seconds) {
    if (!control)
        return;
    const QPoint at = control->mapToGlobal(QPoint(control->width(), control->height()));
    Last() = Shown{title, text, control, at, seconds};
    const QString html =
        QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped());
    QToolTip::showText(at, html, control, QRect(), qMax(1, seconds) * 1000);
}

const TVoskBalloonHint::Shown& TVoskBalloonHint::LastShown() {
    return Last();
}

void TVoskBalloonHint::ClearLastShown() {
    Last() = Shown{};
}
