#pragma once
// On-screen keyboard for touch screens: a German QWERTZ layout with umlauts, Shift, Caps and AltGr
// whose keys never take the focus and type into whatever control of the application holds it.

#include <QFrame>
#include <QGroupBox>

#include <vector>

class QToolButton;

// The keys themselves: one button per key, laid out in five rows.
class TTouchKeyboard final : public QWidget {
    Q_OBJECT
public:
    explicit TTouchKeyboard(QWidget* parent = nullptr);

    bool ShiftDown() const { return m_shift; }
    bool CapsDown() const { return m_caps; }
    bool AltGrDown() const { return m_altGr; }
    // The key whose caption (lower-case face) is face; null when there is none.
    QToolButton* Key(const QString& face) const;

private:
    struct KeyDef {
        QString face, shifted, altGr;
        int special = 0; // Qt key for keys that type no character, 0 for characters
        int width = 1;   // in quarter key widths beyond one key: 0 = one key
    };
    void AddRow(const std::vector<KeyDef>& row, int rowIndex);
    void Press(const KeyDef& def);
    void UpdateFaces();
    static void Send(int key, const QString& text);

    std::vector<std::pair<QToolButton*, KeyDef>> m_keys;
    bool m_shift = false, m_caps = false, m_altGr = false;
};

class TFrameVirtualKeyboard final : public QFrame {
    Q_OBJECT
public:
    explicit TFrameVirtualKeyboard(QWidget* parent = nullptr);

    QGroupBox* GroupVirtualKeyboard;
    TTouchKeyboard* AdvTouchKeyboard3;
};

namespace UVirtualKeyboard {
// Puts `TFrameVirtualKeyboard` on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace UVirtualKeyboard
