#pragma once
// The colour box of the ribbons: a button showing the chosen colour, with a pop-up of standard
// colours, "Nichts" (no colour) and a custom colour from the colour dialog. The value is a
// colour as the forms store it: red in the low byte, then green and blue; a negative value is a
// system colour (0xFF000018 the tool-tip background, 0xFF000005 the window background);
// kNone is no colour.

#include <QColor>
#include <QToolButton>

#include <functional>

class QMenu;

class TVoskColorBox final : public QToolButton {
    Q_OBJECT
public:
    static constexpr qint32 kNone = 0x1FFFFFFF;

    explicit TVoskColorBox(QWidget* parent = nullptr);

    qint32 ColorValue() const { return m_value; }
    // Sets the colour without calling OnChange.
    void SetColorValue(qint32 value);
    QColor Color() const { return ToQColor(m_value); }

    // After the user chose a colour.
    std::function<void()> OnChange;

    static QColor ToQColor(qint32 value);
    static qint32 FromQColor(const QColor& color);

    QMenu* PopupMenu;

private:
    void choose(qint32 value);
    void showColor();
    qint32 m_value = 0;
};
