#include "TVoskSpeedButton.h"

#include <UDM1.h>

TVoskSpeedButton::TVoskSpeedButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
}

void TVoskSpeedButton::SetTextNr(int textNr) {
    m_textNr = textNr;
    if (textNr > 0)
        setText(makeText(textNr, text()));
    if (accessibleName().isEmpty() || textNr > 0)
        setAccessibleName(text());
}

void TVoskSpeedButton::SetFontColor(const QColor& color) {
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    applyStyle();
}

void TVoskSpeedButton::SetUnderlined(bool underlined) {
    m_underlined = underlined;
    applyStyle();
}

void TVoskSpeedButton::applyStyle() {
    QString css;
    if (m_fontColor.isValid())
        css += QStringLiteral("color: %1;").arg(m_fontColor.name());
    if (m_underlined)
        css += QStringLiteral(" text-decoration: underline;");
    setStyleSheet(css);
}
