// The pop-up calculator and the on-screen keyboard, driven by keys and clicks as a user would.
#include "DialogAnswerer.h"
#include "Korvexutils.h"
#include "UVirtualKeyboard.h"
#include "UVoskCalc.h"
#include "Vcl.Forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {

void Key(QWidget* w, int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    if (!w)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

void Keys(const QString& text) {
    for (QChar c : text)
        Key(TVoskCalc::FCalcEdit, c.unicode(), QString(c));
}

// A form with one number field, shown and focused.
struct Host {
    Host() {
        form.resize(600, 400);
        auto* box = new QVBoxLayout(&form);
        edit = new QLineEdit(&form);
        button = new QPushButton(QStringLiteral("Knopf"), &form);
        box->addWidget(edit);
        box->addWidget(button);
        form.show();
        QApplication::setActiveWindow(&form);
        edit->setFocus();
    }
    Vcl::TForm form;
    QLineEdit* edit;
    QPushButton* button;
};

class CalcTest : public ::testing::Test {
protected:
    void TearDown() override {
        TVoskCalc::Close(false, nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    testsupport::DialogAnswerer m_answers;
};

} // namespace

TEST_F(CalcTest, OpenWithoutAnyControlDoesNothing) {
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    TVoskCalc::Open(nullptr);
    EXPECT_FALSE(TVoskCalc::IsVisible());
}

TEST_F(CalcTest, EnterShowsTheResultThenWritesItAndCloses) {
    Host h;
    TVoskCalc::Open(nullptr); // the focused field
    ASSERT_TRUE(TVoskCalc::IsVisible());
    EXPECT_EQ(TVoskCalc::FCalcForm->windowTitle(), QStringLiteral("Taschenrechner"));
    EXPECT_EQ(TVoskCalc::FCalcForm->size(), QSize(270, 200));
    // Centred over the field's form.
    EXPECT_NEAR(TVoskCalc::FCalcForm->geometry().center().x(), h.form.frameGeometry().center().x(), 2);
    Keys(QStringLiteral("2+3"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(TVoskCalc::IsVisible());
    EXPECT_EQ(TVoskCalc::FCalcEdit->text(), QStringLiteral("5"));
    EXPECT_EQ(h.edit->text(), QString());
    Key(TVoskCalc::FCalcEdit, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(h.edit->text(), QStringLiteral("5"));

    // Ctrl+T writes a pending result as well.
    TVoskCalc::Open(h.edit);
    Keys(QStringLiteral("7,5*2"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_T, QStringLiteral("\x14"), Qt::ControlModifier);
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(h.edit->text(), QStringLiteral("15"));

    // An error is shown, never written: the field keeps its value.
    TVoskCalc::Open(h.edit);
    Keys(QStringLiteral("5/0"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(TVoskCalc::FCalcEdit->text(), QStringLiteral("Division durch 0"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(h.edit->text(), QStringLiteral("15"));
}

TEST_F(CalcTest, EscClearsFirstAndClosesWithoutWritingSecond) {
    Host h;
    h.edit->setText(QStringLiteral("alt"));
    TVoskCalc::Open(h.edit);
    Keys(QStringLiteral("42"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_Escape);
    EXPECT_TRUE(TVoskCalc::IsVisible());
    EXPECT_EQ(TVoskCalc::FCalcEdit->text(), QStringLiteral("0"));
    Key(TVoskCalc::FCalcEdit, Qt::Key_Escape);
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(h.edit->text(), QStringLiteral("alt"));
}

TEST_F(CalcTest, ArrowsMoveTheFormButNotOutOfTheWorkArea) {
    Host h;
    TVoskCalc::Open(h.edit);
    Vcl::TForm* f = TVoskCalc::FCalcForm;
    const QRect area = f->screen()->availableGeometry();
    f->move(area.left() + 20, area.top() + 30);
    Key(TVoskCalc::FCalcEdit, Qt::Key_Left);
    Key(TVoskCalc::FCalcEdit, Qt::Key_Up);
    EXPECT_EQ(f->frameGeometry().topLeft(), area.topLeft());
    for (int i = 0; i < 100; ++i) {
        Key(TVoskCalc::FCalcEdit, Qt::Key_Right);
        Key(TVoskCalc::FCalcEdit, Qt::Key_Down);
    }
    EXPECT_EQ(f->frameGeometry().bottomRight(), area.bottomRight());
    EXPECT_TRUE(TVoskCalc::IsVisible()) << "moving is not closing";
}

TEST_F(CalcTest, AControlThatTakesNoValueGetsTheMessageAndAFreedOneNothing) {
    Host h;
    TVoskCalc::Open(h.button);
    m_answers.Expect(QStringLiteral("nicht implementiert (QPushButton TForm)"), Vcl::mrOk);
    TVoskCalc::Close(true, nullptr);
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(m_answers.Pending(), 0);

    auto* gone = new QLineEdit(&h.form);
    TVoskCalc::Open(gone);
    Keys(QStringLiteral("9"));
    delete gone;
    TVoskCalc::Close(true, nullptr); // no write through a dangling pointer, no message
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_TRUE(m_answers.Questions().size() == 1u);
}

TEST(CalcEngine, ArithmeticAsOnAPocketCalculator) {
    const struct {
        const char* keys;
        const char* shown;
    } cases[] = {
        {"12+3=", "15"},   {"7/0=", "Division durch 0"}, {"1,5*4=", "6"}, {"200+10%", "20"},
        {"9s", "3"},       {"4r", "0,25"},               {"123b", "12"},  {"5n-2=", "-7"},
        {"2+*3=", "6"},    {"0,1+0,2=", "0,3"},          {"1/3=", "0,333333333333333"},
    };
    for (const auto& c : cases) {
        TVoskCalcEngine e;
        for (const char* k = c.keys; *k; ++k) {
            switch (*k) {
            case '+': e.Operator(TVoskCalcEngine::Add); break;
            case '-': e.Operator(TVoskCalcEngine::Sub); break;
            case '*': e.Operator(TVoskCalcEngine::Mul); break;
            case '/': e.Operator(TVoskCalcEngine::Div); break;
            case '=': e.Equals(); break;
            case ',': e.Comma(); break;
            case '%': e.Percent(); break;
            case 's': e.Sqrt(); break;
            case 'r': e.Reciprocal(); break;
            case 'b': e.Backspace(); break;
            case 'n': e.Negate(); break;
            default: e.Digit(*k - '0');
            }
        }
        EXPECT_EQ(e.Display(), QString::fromUtf8(c.shown)) << c.keys;
    }
}

TEST(VirtualKeyboard, KeysTypeIntoTheFocusedFieldAndNeverTakeTheFocus) {
    Host h;
    TFrameVirtualKeyboard kb(&h.form);
    h.form.layout()->addWidget(&kb);
    kb.show();
    h.edit->setFocus();
    TTouchKeyboard* k = kb.AdvTouchKeyboard3;
    k->Key(QStringLiteral("a"))->click();
    k->Key(QStringLiteral("Shift"))->click();
    k->Key(QStringLiteral("a"))->click();
    k->Key(QStringLiteral("AltGr"))->click();
    k->Key(QStringLiteral("q"))->click();
    k->Key(QStringLiteral("ü"))->click();
    k->Key(QStringLiteral("Caps"))->click();
    k->Key(QStringLiteral("ö"))->click();
    k->Key(QStringLiteral("1"))->click();
    k->Key(QStringLiteral("AltGr"))->click();
    k->Key(QStringLiteral("e"))->click();
    EXPECT_EQ(h.edit->text(), QStringLiteral("aA@üÖ1€"));
    EXPECT_EQ(QApplication::focusWidget(), h.edit);
    for (QToolButton* b : k->findChildren<QToolButton*>())
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->toolTip().toStdString();
    EXPECT_LE(kb.width(), 1000);
}

TEST_F(CalcTest, ValuesLandInEveryKindOfFieldThatTakesThem) {
    QWidget w;
    auto* line = new QLineEdit(&w);
    auto* locked = new QLineEdit(&w);
    locked->setReadOnly(true);
    auto* text = new QTextEdit(&w);
    text->setPlainText(QStringLiteral("Summe: XX €"));
    QTextCursor sel = text->textCursor();
    sel.setPosition(7);
    sel.setPosition(9, QTextCursor::KeepAnchor);
    text->setTextCursor(sel);
    auto* spin = new QSpinBox(&w);
    spin->setRange(0, 1000);
    auto* dspin = new QDoubleSpinBox(&w);
    auto* combo = new QComboBox(&w);
    combo->setEditable(true);
    auto* fixedCombo = new QComboBox(&w);
    fixedCombo->addItem(QStringLiteral("a"));
    EXPECT_TRUE(Korvexutils::SetControlValue(QStringLiteral("12,5"), line));
    EXPECT_EQ(line->text(), QStringLiteral("12,5"));
    EXPECT_FALSE(Korvexutils::SetControlValue(QStringLiteral("1"), locked));
    EXPECT_TRUE(Korvexutils::SetControlValue(QStringLiteral("42"), text));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("Summe: 42 €"));
    EXPECT_TRUE(Korvexutils::SetControlValue(QStringLiteral("12,5"), spin));
    EXPECT_EQ(spin->value(), 13);
    EXPECT_TRUE(Korvexutils::SetControlValue(QStringLiteral("12,25"), dspin));
    EXPECT_DOUBLE_EQ(dspin->value(), 12.25);
    EXPECT_FALSE(Korvexutils::SetControlValue(QStringLiteral("Fehler"), spin));
    EXPECT_TRUE(Korvexutils::SetControlValue(QStringLiteral("7"), combo));
    EXPECT_EQ(combo->currentText(), QStringLiteral("7"));
    EXPECT_FALSE(Korvexutils::SetControlValue(QStringLiteral("7"), fixedCombo));
    EXPECT_FALSE(Korvexutils::SetControlValue(QStringLiteral("7"), nullptr));
}
