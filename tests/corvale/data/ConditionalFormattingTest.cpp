// Conditional formatting of the grid: rules on typed values, their place in the layout, the
// painted cells and the rules dialogs driven as a user would.
#include "Fixture.h"

#include <DialogAnswerer.h>
#include <Korvexcommonvcl.h>
#include <TVoskDBGrid2.h>
#include <Uloghelper.h>
#include <Vcl.Dialogs.h>
#include <VoskConditionalFormatting.h>
#include <VoskConditionalFormattingDialog.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <deque>
#include <functional>
#include <limits>

using VoskConditionalFormatting::Holds;

namespace {

TVoskCondFormatRule Rule(TVoskCondOperator op, const QString& v1, const QString& v2 = {}) {
    TVoskCondFormatRule r;
    r.field = QStringLiteral("x");
    r.op = op;
    r.value1 = v1;
    r.value2 = v2;
    return r;
}

using Op = TVoskCondOperator;

// Plays the user of the rules dialogs: each modal form is handed to the next step queued.
class RulesUser final : public Korvexcommonvcl::ModalForms {
public:
    RulesUser() { m_old = SetInstance(this); }
    ~RulesUser() override {
        SetInstance(m_old);
        EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " dialog steps left over";
    }
    RulesUser& Then(std::function<int(Vcl::TForm*)> step) {
        m_steps.push_back(std::move(step));
        return *this;
    }
    int Run(Vcl::TForm* form) override {
        if (m_steps.empty()) {
            ADD_FAILURE() << "unexpected modal form " << form->metaObject()->className();
            return Vcl::mrCancel;
        }
        auto step = std::move(m_steps.front());
        m_steps.pop_front();
        return step(form);
    }

private:
    std::deque<std::function<int(Vcl::TForm*)>> m_steps;
    ModalForms* m_old;
};

class PickColor final : public Vcl::FontColorDialogs {
public:
    PickColor() { m_old = SetInstance(this); }
    ~PickColor() override { SetInstance(m_old); }
    bool ChooseFont(QFont&, QColor&, QWidget*) override { return false; }
    bool ChooseColor(QColor& color, QWidget*) override {
        if (colors.empty())
            return false;
        color = colors.front();
        colors.pop_front();
        return true;
    }
    std::deque<QColor> colors;

private:
    FontColorDialogs* m_old;
};

// Fills the rule editor as a user would and presses OK; returns the form's result.
int FillRule(Vcl::TForm* form, const QString& field, Op op, const QString& v1,
             const QString& v2 = {}, bool bold = false) {
    auto* e = qobject_cast<TfrmConditionalFormattingRule*>(form);
    EXPECT_TRUE(e) << form->metaObject()->className();
    if (!e)
        return Vcl::mrCancel;
    e->cbField->setCurrentIndex(e->cbField->findData(field));
    e->cbOperator->setCurrentIndex(e->cbOperator->findData(int(op)));
    e->edValue1->setText(v1);
    e->edValue2->setText(v2);
    e->cbBold->setChecked(bold);
    e->btOk->click();
    return e->ModalResult();
}

} // namespace

TEST(ConditionalFormattingRules, NumbersCompareByValueWhateverWayTheyAreWritten) {
    const QVariant big = QVariant::fromValue<qint64>(9007199254740993LL); // beyond a double
    EXPECT_TRUE(Holds(Rule(Op::Greater, QStringLiteral("9007199254740992")), big));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("12,5")), 12.5));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("12.50")), 12.5));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("1.234,5")), 1234.5));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral(" 7 ")), 7));
    EXPECT_TRUE(Holds(Rule(Op::LessOrEqual, QStringLiteral("7")), 7));
    EXPECT_FALSE(Holds(Rule(Op::Less, QStringLiteral("7")), 7));
    EXPECT_TRUE(Holds(Rule(Op::GreaterOrEqual, QStringLiteral("0,1")), 0.1));
    EXPECT_TRUE(Holds(Rule(Op::NotEqual, QStringLiteral("3")), 2.5));
    // Bounds are included and may come either way round.
    EXPECT_TRUE(Holds(Rule(Op::Between, QStringLiteral("1"), QStringLiteral("5")), 5));
    EXPECT_TRUE(Holds(Rule(Op::Between, QStringLiteral("5"), QStringLiteral("1")), 1));
    EXPECT_FALSE(Holds(Rule(Op::Between, QStringLiteral("1"), QStringLiteral("5")), 5.01));
    // A value that is no number is never compared with one, not even as unequal.
    EXPECT_FALSE(Holds(Rule(Op::Greater, QStringLiteral("abc")), 3));
    EXPECT_FALSE(Holds(Rule(Op::NotEqual, QStringLiteral("abc")), 3));
    EXPECT_FALSE(Holds(Rule(Op::Between, QStringLiteral("1"), QStringLiteral("x")), 3));
    // The database's NaN is no number either: it was taken as equal to every value.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Holds(Rule(Op::Equal, QStringLiteral("5")), nan));
    EXPECT_FALSE(Holds(Rule(Op::LessOrEqual, QStringLiteral("5")), nan));
    EXPECT_FALSE(Holds(Rule(Op::Equal, QStringLiteral("nan")), 5.0));
    EXPECT_TRUE(Holds(Rule(Op::Greater, QStringLiteral("5")),
                      std::numeric_limits<double>::infinity()));
}

TEST(ConditionalFormattingRules, DatesTimestampsTimesAndBooleans) {
    const QVariant day = QDate(2026, 3, 5);
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("05.03.2026")), day));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("5.3.2026")), day));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("2026-03-05")), day));
    EXPECT_TRUE(Holds(Rule(Op::Less, QStringLiteral("01.01.2027")), day));
    EXPECT_FALSE(Holds(Rule(Op::Less, QStringLiteral("morgen")), day));
    // A day alone covers every moment of it; a moment compares to the minute.
    const QVariant stamp = QDateTime(QDate(2026, 3, 5), QTime(23, 59, 30));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("05.03.2026")), stamp));
    EXPECT_TRUE(Holds(Rule(Op::Between, QStringLiteral("01.03.2026"), QStringLiteral("05.03.2026")),
                      stamp));
    EXPECT_TRUE(Holds(Rule(Op::Greater, QStringLiteral("05.03.2026 23:59")), stamp));
    EXPECT_TRUE(Holds(Rule(Op::Less, QStringLiteral("2026-03-06T00:00")), stamp));
    EXPECT_TRUE(Holds(Rule(Op::GreaterOrEqual, QStringLiteral("08:00")), QTime(8, 0)));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("ja")), true));
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("Nein")), false));
    EXPECT_FALSE(Holds(Rule(Op::Equal, QStringLiteral("vielleicht")), false));
}

TEST(ConditionalFormattingRules, TextIsComparedGermanWithoutCaseAndNullNeverHolds) {
    EXPECT_TRUE(Holds(Rule(Op::Equal, QStringLiteral("müller")), QStringLiteral("Müller")));
    EXPECT_TRUE(Holds(Rule(Op::Less, QStringLiteral("Schmidt")), QStringLiteral("Müller")));
    EXPECT_TRUE(Holds(Rule(Op::Contains, QStringLiteral("ÜLL")), QStringLiteral("Müller")));
    // Contains looks at what the cell shows, so a number is found as the user reads it.
    EXPECT_TRUE(Holds(Rule(Op::Contains, QStringLiteral("2,5")), 12.5, QStringLiteral("12,5")));
    for (const QVariant& null : {QVariant(), QVariant(QMetaType(QMetaType::QString)),
                                 QVariant(QMetaType(QMetaType::Double))}) {
        EXPECT_FALSE(Holds(Rule(Op::NotEqual, QStringLiteral("1")), null));
        EXPECT_FALSE(Holds(Rule(Op::Contains, QStringLiteral("a")), null));
        EXPECT_FALSE(Holds(Rule(Op::Less, QStringLiteral("zzz")), null));
    }
}

TEST(ConditionalFormattingRules, FirstHoldingRuleOfTheColumnDecides) {
    TVoskConditionalFormatting f;
    TVoskCondFormatRule high = Rule(Op::Greater, QStringLiteral("100"));
    high.field = QStringLiteral("Betrag");
    high.background = Qt::red;
    TVoskCondFormatRule any = Rule(Op::Greater, QStringLiteral("0"));
    any.field = QStringLiteral("betrag");
    any.bold = true;
    int changes = 0;
    QObject::connect(&f, &TVoskConditionalFormatting::Changed, [&] { ++changes; });
    f.SetRules({high, any});
    f.SetRules({high, any});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(f.StyleFor(QStringLiteral("BETRAG"), 150.0)->background, QColor(Qt::red));
    EXPECT_FALSE(f.StyleFor(QStringLiteral("betrag"), 150.0)->bold);
    EXPECT_TRUE(f.StyleFor(QStringLiteral("betrag"), 5.0)->bold);
    EXPECT_FALSE(f.StyleFor(QStringLiteral("betrag"), -5.0));
    EXPECT_FALSE(f.StyleFor(QStringLiteral("note"), 150.0));
}

TEST(ConditionalFormattingRules, WorkbookFormulasJudgeAsTheRuleOrAreRefused) {
    using K = VoskConditionalFormatting::TValueKind;
    const QString c = QStringLiteral("C2");
    struct Case {
        TVoskCondFormatRule rule;
        K kind;
        std::optional<QString> formula;
    };
    const Case cases[] = {
        // German numbers reach the workbook as plain ones, exact to the last digit.
        {Rule(Op::GreaterOrEqual, QStringLiteral("1.234,5")), K::Number,
         QStringLiteral("AND(ISNUMBER(C2),C2>=1234.5)")},
        {Rule(Op::Less, QStringLiteral("0,1")), K::Number,
         QStringLiteral("AND(ISNUMBER(C2),C2<0.10000000000000001)")},
        {Rule(Op::Equal, QStringLiteral("1e20")), K::Number,
         QStringLiteral("AND(ISNUMBER(C2),C2=1E+20)")},
        // Bounds the wrong way round still make a range.
        {Rule(Op::Between, QStringLiteral("31.12.2024"), QStringLiteral("1.1.2024")), K::Date,
         QStringLiteral("AND(ISNUMBER(C2),OR(AND(C2>=DATE(2024,12,31),C2<=DATE(2024,1,1)),"
                        "AND(C2>=DATE(2024,1,1),C2<=DATE(2024,12,31))))")},
        // The workbook's calendar starts in 1900.
        {Rule(Op::Less, QStringLiteral("1.1.1850")), K::Date, std::nullopt},
        // A timestamp to the millisecond; a day for every moment of it.
        {Rule(Op::Equal, QStringLiteral("01.03.2024 10:00:00.500")), K::DateTime,
         QStringLiteral("AND(ISNUMBER(C2),ROUND(C2*86400000,0)=DATE(2024,3,1)*86400000+36000500)")},
        {Rule(Op::Equal, QStringLiteral("2024-03-01")), K::DateTime,
         QStringLiteral("AND(ISNUMBER(C2),INT(C2)=DATE(2024,3,1))")},
        {Rule(Op::Between, QStringLiteral("1.3.2024"), QStringLiteral("2.3.2024 12:00")),
         K::DateTime, std::nullopt},
        {Rule(Op::Greater, QStringLiteral("nein")), K::Boolean,
         QStringLiteral("AND(ISLOGICAL(C2),C2>FALSE)")},
        // Quotes doubled, wildcards escaped.
        {Rule(Op::Contains, QStringLiteral("\"5*?~\"")), K::Text,
         QStringLiteral("ISNUMBER(SEARCH(\"\"\"5~*~?~~\"\"\",C2))")},
        {Rule(Op::NotEqual, QStringLiteral("Köln")), K::Text,
         QStringLiteral("AND(ISTEXT(C2),C2<>\"Köln\")")},
        {Rule(Op::Equal, QString(256, u'x')), K::Text, std::nullopt},
        // What the workbook cannot judge as the grid does.
        {Rule(Op::Less, QStringLiteral("M")), K::Text, std::nullopt},
        {Rule(Op::Contains, QStringLiteral("12")), K::Number, std::nullopt},
        {Rule(Op::Equal, QStringLiteral("10:00")), K::Time, std::nullopt},
        // Values that never read as the column's kind hold for none of its cells.
        {Rule(Op::Equal, QStringLiteral("abc")), K::Number, QString()},
        {Rule(Op::Between, QStringLiteral("1"), QStringLiteral("x")), K::Number, QString()},
        {Rule(Op::Equal, QStringLiteral("vielleicht")), K::Boolean, QString()},
    };
    for (const Case& t : cases) {
        const std::optional<QString> f =
            VoskConditionalFormatting::WorkbookFormula(t.rule, t.kind, c);
        SCOPED_TRACE(VoskConditionalFormatting::ConditionText(t.rule).toStdString());
        ASSERT_EQ(f.has_value(), t.formula.has_value()) << f.value_or(QString()).toStdString();
        if (f) {
            EXPECT_EQ(*f, *t.formula);
        }
    }
}

TEST(ConditionalFormattingRules, StoredRulesThatDoNotParseAreLeftOutWithALogLine) {
    TLogSink::Clear();
    const QJsonArray stored = QJsonDocument::fromJson(R"([
        {"field": "betrag", "op": "between", "value1": "1", "value2": "9",
         "background": "#ff0000", "textColor": "", "bold": true},
        {"field": "betrag", "op": "ungefähr", "value1": "1"},
        {"field": "", "op": "equal", "value1": "1"},
        {"field": "plz", "op": "between", "value1": "1"},
        {"field": "plz", "op": "equal", "value1": "1", "background": "keine Farbe"},
        "Unsinn"
    ])").array();
    const QList<TVoskCondFormatRule> rules =
        VoskConditionalFormatting::FromJson(stored, QStringLiteral("TForm1.Grid1"));
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules[0].op, Op::Between);
    EXPECT_EQ(rules[0].background, QColor(Qt::red));
    EXPECT_FALSE(rules[0].textColor.isValid());
    EXPECT_TRUE(rules[0].bold);
    int lines = 0;
    for (const QString& l : TLogSink::Lines())
        lines += l.contains(QStringLiteral("TForm1.Grid1: Regel der bedingten Formatierung "
                                           "nicht lesbar"));
    EXPECT_EQ(lines, 5);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Bedingung \"ungefähr\" unbekannt")));
    // Written and read again, a rule comes back as it was.
    EXPECT_EQ(VoskConditionalFormatting::FromJson(VoskConditionalFormatting::ToJson(rules), {}),
              rules);
}

class ConditionalFormattingGridTest : public KundenTest {
protected:
    void SetUp() override {
        KundenTest::SetUp();
        open(m_class);
        m_grid.setObjectName(QStringLiteral("GridKunden"));
        m_grid.SetDataClass(&m_class);
        m_grid.resize(600, 300);
    }
    int rowOf(const QString& name) {
        return m_class.Locate(QStringLiteral("name"), name) ? m_class.CurrentRow() : -1;
    }
    // The colour painted just inside the top left corner of a cell.
    QColor painted(const QImage& image, int row, const QString& field) {
        const QRect r =
            m_grid.visualRect(m_grid.model()->index(row, m_grid.columnByFieldName(field)));
        const QPoint at = m_grid.viewport()->mapTo(&m_grid, r.topLeft() + QPoint(2, 2));
        return image.pixelColor(at);
    }

    TVoskClass m_class;
    TVoskDBGrid2 m_grid;
};

TEST_F(ConditionalFormattingGridTest, RulesColourTheCellsTheyHoldFor) {
    TVoskCondFormatRule r;
    r.field = QStringLiteral("betrag");
    r.op = Op::Greater;
    r.value1 = QStringLiteral("10");
    r.background = QColor(0, 200, 0);
    m_grid.ConditionalFormatting()->SetRules({r});
    m_class.SetRecNo(rowOf(QStringLiteral("Weber")) + 1); // the selection paints over the rule
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    const QImage image = m_grid.grab().toImage();
    const int mueller = rowOf(QStringLiteral("Müller"));
    const int schmidt = rowOf(QStringLiteral("Schmidt"));
    EXPECT_EQ(painted(image, mueller, QStringLiteral("betrag")), QColor(0, 200, 0));
    EXPECT_NE(painted(image, mueller, QStringLiteral("name")), QColor(0, 200, 0));
    EXPECT_NE(painted(image, schmidt, QStringLiteral("betrag")), QColor(0, 200, 0)); // NULL
}

TEST_F(ConditionalFormattingGridTest, RulesTravelWithTheLayoutAndALayoutWithoutThemClearsThem) {
    TVoskCondFormatRule r;
    r.field = QStringLiteral("name");
    r.op = Op::Contains;
    r.value1 = QStringLiteral("ü");
    r.textColor = Qt::blue;
    r.bold = true;
    TVoskCondFormatRule s = r;
    s.field = QStringLiteral("betrag");
    s.op = Op::Between;
    s.value1 = QStringLiteral("0,05");
    s.value2 = QStringLiteral("1");
    m_grid.ConditionalFormatting()->SetRules({r, s});
    const QString text = m_grid.LayoutText();

    TVoskDBGrid2 other;
    other.SetDataClass(&m_class);
    ASSERT_TRUE(other.ApplyLayoutText(text));
    EXPECT_EQ(other.ConditionalFormatting()->Rules(), (QList<TVoskCondFormatRule>{r, s}));
    m_grid.ConditionalFormatting()->SetRules({});
    ASSERT_TRUE(other.ApplyLayoutText(m_grid.LayoutText()));
    EXPECT_TRUE(other.ConditionalFormatting()->IsEmpty());

    // A layout read before the class has columns brings its rules along when they come.
    TVoskClass later;
    TVoskDBGrid2 waiting;
    waiting.SetDataClass(&later);
    ASSERT_TRUE(waiting.ApplyLayoutText(text));
    open(later);
    EXPECT_EQ(waiting.ConditionalFormatting()->Rules().size(), 2);
}

TEST_F(ConditionalFormattingGridTest, DialogAddsEditsOrdersAndDeletesRulesOnlyOnOk) {
    testsupport::DialogAnswerer answers;
    PickColor colors;
    colors.colors = {QColor(255, 200, 200)};
    RulesUser user;
    auto* list = static_cast<TfrmConditionalFormatting*>(nullptr);
    user.Then([&](Vcl::TForm* form) {
            list = qobject_cast<TfrmConditionalFormatting*>(form);
            EXPECT_TRUE(list);
            if (!list)
                return int(Vcl::mrCancel);
            // Every control says what it is to a screen reader and in its tool tip.
            for (QWidget* w : list->findChildren<QWidget*>())
                if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(list) &&
                    !w->inherits("QScrollBar") && w->parentWidget() == list) {
                    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
                    EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
                }
            EXPECT_FALSE(list->btEdit->isEnabled());
            EXPECT_FALSE(list->btUp->isEnabled());
            list->btAdd->click();
            list->btAdd->click();
            EXPECT_EQ(list->Rules().size(), 2);
            EXPECT_EQ(list->Current(), 1);
            list->btUp->click();
            EXPECT_EQ(list->Rules()[0].field, QStringLiteral("name"));
            list->btAdd->click(); // cancelled
            list->SetCurrent(1);
            list->btEdit->click();
            list->SetCurrent(0);
            list->btDelete->click(); // the name rule
            EXPECT_EQ(list->Current(), 0);
            EXPECT_FALSE(list->btDown->isEnabled());
            list->btOk->click();
            return list->ModalResult();
        })
        // A text in a number column is refused with a German message and the editor stays.
        .Then([&](Vcl::TForm* form) {
            auto* e = qobject_cast<TfrmConditionalFormattingRule*>(form);
            for (QWidget* w : e->findChildren<QWidget*>())
                if (w->focusPolicy() != Qt::NoFocus && w->parentWidget() == e) {
                    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
                    EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
                }
            answers.Expect(QStringLiteral("„viel“ passt nicht zur Spalte"), Vcl::mrOk);
            EXPECT_EQ(FillRule(form, QStringLiteral("betrag"), Op::Greater,
                               QStringLiteral("viel")),
                      Vcl::mrNone);
            answers.Expect(QStringLiteral("Bitte einen Wert eingeben"), Vcl::mrOk);
            EXPECT_EQ(FillRule(form, QStringLiteral("betrag"), Op::Between, QStringLiteral("1")),
                      Vcl::mrNone);
            EXPECT_TRUE(e->edValue2->isEnabled());
            e->btBackground->click();
            EXPECT_TRUE(e->btBackgroundNone->isEnabled());
            return FillRule(form, QStringLiteral("betrag"), Op::Between, QStringLiteral("1"),
                            QStringLiteral("20"));
        })
        .Then([&](Vcl::TForm* form) {
            auto* e = qobject_cast<TfrmConditionalFormattingRule*>(form);
            // A new rule starts on the column of the selected one.
            EXPECT_EQ(e->cbField->currentData().toString(), QStringLiteral("betrag"));
            EXPECT_FALSE(e->edValue2->isEnabled());
            return FillRule(form, QStringLiteral("name"), Op::Contains, QStringLiteral("er"), {},
                            true);
        })
        .Then([](Vcl::TForm*) { return int(Vcl::mrCancel); })
        .Then([&](Vcl::TForm* form) {
            auto* e = qobject_cast<TfrmConditionalFormattingRule*>(form);
            EXPECT_EQ(e->edValue2->text(), QStringLiteral("20"));
            return FillRule(form, QStringLiteral("betrag"), Op::Between, QStringLiteral("1"),
                            QStringLiteral("15"));
        });
    ASSERT_TRUE(TfrmConditionalFormatting::Execute(&m_grid));
    const QList<TVoskCondFormatRule> rules = m_grid.ConditionalFormatting()->Rules();
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules[0].field, QStringLiteral("betrag"));
    EXPECT_EQ(rules[0].value2, QStringLiteral("15"));
    EXPECT_EQ(rules[0].background, QColor(255, 200, 200));

    // Abbrechen leaves the grid's rules as they were.
    RulesUser cancel;
    cancel.Then([](Vcl::TForm* form) {
        auto* l = qobject_cast<TfrmConditionalFormatting*>(form);
        l->btDelete->click();
        EXPECT_TRUE(l->Rules().isEmpty());
        l->btCancel->click();
        return l->ModalResult();
    });
    EXPECT_FALSE(TfrmConditionalFormatting::Execute(&m_grid));
    EXPECT_EQ(m_grid.ConditionalFormatting()->Rules(), rules);
}
