#include "UVirtualKeyboard.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "UnitTable.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The layout's colours: silver keys with grey borders that turn white when pressed; Caps and AltGr
// are red while they are on.
const char* const KeyStyle =
    "QToolButton { background: #C0C0C0; color: black; border: 1px solid #808080;"
    " font-family: Tahoma; font-size: 11px; }"
    "QToolButton:pressed { background: white; color: white; border: 1px solid black; }"
    "QToolButton:checked { background: #FF0000; color: white; }";

constexpr int KeyWidth = 66; // fourteen and a half keys to a row within the width of 1000
constexpr int KeyHeight = 56; // five rows of 70 would not fit the frame's height of 303

} // namespace

TTouchKeyboard::TTouchKeyboard(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AdvTouchKeyboard3"));
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);
    setStyleSheet(QString::fromLatin1(KeyStyle));
    auto* rows = new QVBoxLayout(this);
    rows->setSpacing(2);
    rows->setContentsMargins(2, 2, 2, 2);
    const auto c = [](const char* face, const char* shifted = nullptr, const char* altGr = nullptr) {
        const QString f = QString::fromUtf8(face);
        return KeyDef{f, shifted ? QString::fromUtf8(shifted) : f.toUpper(),
                      altGr ? QString::fromUtf8(altGr) : QString(), 0, 0};
    };
    const auto s = [](const char* face, int key, int width) {
        return KeyDef{QString::fromUtf8(face), {}, {}, key, width};
    };
    AddRow({c("^", "°"), c("1", "!"), c("2", "\"", "²"), c("3", "§", "³"), c("4", "$"), c("5", "%"),
            c("6", "&"), c("7", "/", "{"), c("8", "(", "["), c("9", ")", "]"), c("0", "=", "}"),
            c("ß", "?", "\\"), c("´", "`"), s("⌫", Qt::Key_Backspace, 2)},
           0);
    AddRow({s("Tab", Qt::Key_Tab, 1), c("q", "Q", "@"), c("w"), c("e", "E", "€"), c("r"), c("t"),
            c("z"), c("u"), c("i"), c("o"), c("p"), c("ü"), c("+", "*", "~"), s("↵", Qt::Key_Return, 1)},
           1);
    AddRow({s("Caps", Qt::Key_CapsLock, 3), c("a"), c("s"), c("d"), c("f"), c("g"), c("h"), c("j"),
            c("k"), c("l"), c("ö"), c("ä"), c("#", "'")},
           2);
    AddRow({s("Shift", Qt::Key_Shift, 1), c("<", ">", "|"), c("y"), c("x"), c("c"), c("v"), c("b"),
            c("n"), c("m", "M", "µ"), c(",", ";"), c(".", ":"), c("-", "_"), s("Shift", Qt::Key_Shift, 5)},
           3);
    AddRow({s("AltGr", Qt::Key_AltGr, 2), s(" ", Qt::Key_Space, 32), s("←", Qt::Key_Left, 0),
            s("→", Qt::Key_Right, 0)},
           4);
    UpdateFaces();
}

void TTouchKeyboard::AddRow(const std::vector<KeyDef>& row, int rowIndex) {
    auto* line = new QHBoxLayout;
    line->setSpacing(2);
    static_cast<QVBoxLayout*>(layout())->addLayout(line);
    for (const KeyDef& def : row) {
        auto* b = new QToolButton(this);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(def.special == Qt::Key_Backspace || def.special == Qt::Key_Left ||
                         def.special == Qt::Key_Right);
        const int span = 4 + def.width;
        b->setFixedSize(KeyWidth * span / 4, KeyHeight);
        b->setCheckable(def.special == Qt::Key_Shift || def.special == Qt::Key_CapsLock ||
                        def.special == Qt::Key_AltGr);
        QString name;
        switch (def.special) {
        case 0: name = QStringLiteral("Taste „%1“").arg(def.face); break;
        case Qt::Key_Backspace: name = QStringLiteral("Rücktaste"); break;
        case Qt::Key_Tab: name = QStringLiteral("Tabulator"); break;
        case Qt::Key_Return: name = QStringLiteral("Eingabe"); break;
        case Qt::Key_CapsLock: name = QStringLiteral("Feststelltaste"); break;
        case Qt::Key_Shift: name = QStringLiteral("Umschalttaste"); break;
        case Qt::Key_AltGr: name = QStringLiteral("Alt Gr"); break;
        case Qt::Key_Space: name = QStringLiteral("Leertaste"); break;
        case Qt::Key_Left: name = QStringLiteral("Pfeil nach links"); break;
        case Qt::Key_Right: name = QStringLiteral("Pfeil nach rechts"); break;
        }
        b->setToolTip(name);
        b->setAccessibleName(name);
        connect(b, &QToolButton::clicked, this, [this, def] { Press(def); });
        line->addWidget(b);
        m_keys.emplace_back(b, def);
    }
    line->addStretch();
}

QToolButton* TTouchKeyboard::Key(const QString& face) const {
    for (const auto& [b, def] : m_keys)
        if (def.face == face)
            return b;
    return nullptr;
}

void TTouchKeyboard::Send(int key, const QString& text) {
    QWidget* target = QApplication::focusWidget();
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

void TTouchKeyboard::Press(const KeyDef& def) {
    switch (def.special) {
    case Qt::Key_Shift: m_shift = !m_shift; return UpdateFaces();
    case Qt::Key_CapsLock: m_caps = !m_caps; return UpdateFaces();
    case Qt::Key_AltGr: m_altGr = !m_altGr; return UpdateFaces();
    case Qt::Key_Space: return Send(Qt::Key_Space, QStringLiteral(" "));
    case Qt::Key_Tab: return Send(Qt::Key_Tab, QStringLiteral("\t"));
    case Qt::Key_Return: return Send(Qt::Key_Return, QStringLiteral("\r"));
    case 0: break;
    default: return Send(def.special, QString());
    }
    QString text;
    if (m_altGr) {
        text = def.altGr;
    } else {
        const bool letter = def.face.size() == 1 && def.face[0].isLetter();
        // Caps shifts letters only; Shift on top of Caps gives the small letter back.
        const bool upper = letter ? (m_shift != m_caps) : m_shift;
        text = upper ? def.shifted : def.face;
    }
    if (!text.isEmpty()) {
        const int key = text.size() == 1 ? int(text[0].toUpper().unicode()) : 0;
        Send(key, text);
    }
    // Shift and AltGr hold for one character, as on a phone; Caps stays.
    if (m_shift || m_altGr) {
        m_shift = m_altGr = false;
        UpdateFaces();
    }
}

void TTouchKeyboard::UpdateFaces() {
    for (const auto& [b, def] : m_keys) {
        switch (def.special) {
        case Qt::Key_Shift: b->setChecked(m_shift); b->setText(QStringLiteral("⇧")); continue;
        case Qt::Key_CapsLock: b->setChecked(m_caps); b->setText(QStringLiteral("Caps")); continue;
        case Qt::Key_AltGr: b->setChecked(m_altGr); b->setText(QStringLiteral("Alt Gr")); continue;
        case 0: break;
        default: b->setText(def.face == u" " ? QString() : def.face); continue;
        }
        QString face;
        if (m_altGr) {
            face = def.altGr;
        } else {
            const bool letter = def.face.size() == 1 && def.face[0].isLetter();
            face = (letter ? m_shift != m_caps : m_shift) ? def.shifted : def.face;
        }
        // '&' would be taken as a mnemonic marker.
        b->setText(face == u"&" ? QStringLiteral("&&") : face);
    }
}

TFrameVirtualKeyboard::TFrameVirtualKeyboard(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("FrameVirtualKeyboard"));
    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(303);
    setMaximumWidth(1000);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    GroupVirtualKeyboard = new QGroupBox(this);
    GroupVirtualKeyboard->setObjectName(QStringLiteral("GroupVirtualKeyboard"));
    GroupVirtualKeyboard->setMaximumWidth(1000);
    GroupVirtualKeyboard->setFocusPolicy(Qt::NoFocus);
    GroupVirtualKeyboard->setAccessibleName(QStringLiteral("Bildschirmtastatur"));
    GroupVirtualKeyboard->setToolTip(QStringLiteral("Bildschirmtastatur"));
    auto* inner = new QVBoxLayout(GroupVirtualKeyboard);
    inner->setContentsMargins(2, 2, 2, 2);
    AdvTouchKeyboard3 = new TTouchKeyboard(GroupVirtualKeyboard);
    inner->addWidget(AdvTouchKeyboard3);
    outer->addWidget(GroupVirtualKeyboard, 0, Qt::AlignLeft);
}

KORVEX_UNIT("hadrel", "UVirtualKeyboard", nullptr, nullptr, &UVirtualKeyboard::Register);

namespace UVirtualKeyboard {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"), {Vcl::ComponentClass<TFrameVirtualKeyboard>()});
}

} // namespace UVirtualKeyboard
