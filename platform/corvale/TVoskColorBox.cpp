#include "TVoskColorBox.h"

#include "Vcl.Dialogs.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>

namespace {

struct NamedColor {
    qint32 value;
    const char* name;
};
// The standard colours of the box, as the forms store them (blue in the high byte).
const NamedColor kColors[] = {
    {0x000000, "Schwarz"}, {0x808080, "Grau"},     {0xC0C0C0, "Silber"}, {0xFFFFFF, "Weiß"},
    {0x0000FF, "Rot"},     {0x000080, "Kastanienbraun"}, {0x00FFFF, "Gelb"}, {0x008080, "Oliv"},
    {0x00FF00, "Hellgrün"}, {0x008000, "Grün"},    {0xFFFF00, "Aqua"},   {0x808000, "Blaugrün"},
    {0xFF0000, "Blau"},    {0x800000, "Marine"},   {0xFF00FF, "Fuchsia"}, {0x800080, "Violett"},
};

QIcon swatch(const QColor& c, int size = 16) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(Qt::darkGray));
    if (c.isValid())
        p.setBrush(c);
    p.drawRect(0, 0, size - 1, size - 1);
    if (!c.isValid())
        p.drawLine(0, size - 1, size - 1, 0);
    return QIcon(pm);
}

} // namespace

TVoskColorBox::TVoskColorBox(QWidget* parent) : QToolButton(parent) {
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("ColorBoxMenu"));
    QAction* none = PopupMenu->addAction(swatch(QColor()), QStringLiteral("Nichts"));
    connect(none, &QAction::triggered, this, [this] { choose(kNone); });
    PopupMenu->addSeparator();
    for (const NamedColor& c : kColors) {
        QAction* a = PopupMenu->addAction(swatch(ToQColor(c.value)), QString::fromUtf8(c.name));
        connect(a, &QAction::triggered, this, [this, v = c.value] { choose(v); });
    }
    PopupMenu->addSeparator();
    QAction* custom = PopupMenu->addAction(QStringLiteral("Benutzerdefiniert…"));
    connect(custom, &QAction::triggered, this, [this] {
        QColor c = Color().isValid() ? Color() : QColor(Qt::black);
        if (Vcl::FontColorDialogs::Instance().ChooseColor(c, window()))
            choose(FromQColor(c));
    });
    setMenu(PopupMenu);
    showColor();
}

QColor TVoskColorBox::ToQColor(qint32 value) {
    if (value == kNone)
        return {};
    if (value < 0) {
        const QPalette pal = QApplication::palette();
        switch (value & 0xFF) {
        case 0x18: return pal.color(QPalette::ToolTipBase);
        case 0x05: return pal.color(QPalette::Base);
        case 0x08: return pal.color(QPalette::Text);
        case 0x0F: return pal.color(QPalette::Button);
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

qint32 TVoskColorBox::FromQColor(const QColor& color) {
    if (!color.isValid())
        return kNone;
    return qint32(color.red() | (color.green() << 8) | (color.blue() << 16));
}

void TVoskColorBox::SetColorValue(qint32 value) {
    m_value = value;
    showColor();
}

void TVoskColorBox::choose(qint32 value) {
    if (value == m_value)
        return;
    SetColorValue(value);
    if (OnChange)
        OnChange();
}

void TVoskColorBox::showColor() { setIcon(swatch(Color(), 20)); }
