#pragma once
// The flat button of the common components, with a caption by text number. Status bars and tool
// bars use it; it never takes the focus from the field the user types in.

#include <QToolButton>

class TVoskSpeedButton final : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int TextNr READ TextNr WRITE SetTextNr)
public:
    explicit TVoskSpeedButton(QWidget* parent = nullptr);

    int TextNr() const { return m_textNr; }
    // The caption from the text table, the current caption being the default.
    void SetTextNr(int textNr);
    bool Flat() const { return autoRaise(); }
    void SetFlat(bool flat) { setAutoRaise(flat); }
    // Font colour of the caption; the status bar tells "something there" (red) from "nothing"
    // (blue) with it.
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& color);
    void SetUnderlined(bool underlined);

private:
    void applyStyle();

    int m_textNr = 0;
    QColor m_fontColor;
    bool m_underlined = false;
};
