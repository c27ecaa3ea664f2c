// Template expansion on a bare editor: where the caret lands, how continuation lines are indented,
// that one undo takes it all back, and which keys do not expand.
#include "UVoskSQLMemo.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QStringList kTemplates{
    QStringLiteral("sel"),
    QStringLiteral("|Auswahl mit Bedingung"),
    QStringLiteral("=SELECT *"),
    QStringLiteral("=FROM |t"),
    QStringLiteral("=WHERE a || b = '|'"),
    QStringLiteral("upd"),
    QStringLiteral("=UPDATE | SET"),
};

class AutoCompleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_editor.resize(600, 300);
        m_editor.show();
        m_editor.setTabWidth(4);
        m_complete.SetEditor(&m_editor);
        m_complete.SetAutoCompleteList(kTemplates);
    }
    void TypeAtEnd(const QString& text) {
        m_editor.setText(text);
        m_editor.setCursorPosition(0, int(text.size()));
    }
    QString BeforeCaret() const {
        int line = 0, index = 0;
        m_editor.getCursorPosition(&line, &index);
        QString t;
        for (int l = 0; l < line; ++l)
            t += m_editor.text(l);
        return t + m_editor.text(line).left(index);
    }
    TSynEdit m_editor;
    TSynAutoComplete m_complete;
};

} // namespace

TEST_F(AutoCompleteTest, ExpansionSkipsTheDescriptionIndentsByTabsAndPutsTheCaretAtTheLastMark) {
    m_editor.setIndentationsUseTabs(true);
    TypeAtEnd(QStringLiteral("        sel")); // the caret in display column 12, the token at 9
    int before = 0, after = 0;
    m_complete.OnBeforeExecute = [&](QObject*) { ++before; };
    m_complete.OnAfterExecute = [&](QObject*) { ++after; };
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    // Only the last "|" is the mark; the first and SQL's "||" stay.
    EXPECT_EQ(m_editor.text(),
              QStringLiteral("        SELECT *\n\t\tFROM |t\n\t\tWHERE a || b = ''"));
    EXPECT_TRUE(BeforeCaret().endsWith(QStringLiteral("b = '")));
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);

    // One undo removes the whole expansion.
    m_editor.undo();
    EXPECT_EQ(m_editor.text(), QStringLiteral("        sel"));

    m_editor.setIndentationsUseTabs(false);
    TypeAtEnd(QStringLiteral("        sel"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(m_editor.text(),
              QStringLiteral("        SELECT *\n        FROM |t\n        WHERE a || b = ''"));
}

TEST_F(AutoCompleteTest, OnlyTheExactShortcutOnAWritableEditorExpands) {
    TypeAtEnd(QStringLiteral("sel"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_FALSE(m_editor.text().contains(QStringLiteral("SELECT")));

    TypeAtEnd(QStringLiteral("sel"));
    m_editor.setReadOnly(true);
    int keyDownSeen = 0;
    m_editor.AddKeyDownHandler([&](QObject*, int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Space)
            ++keyDownSeen;
    });
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(m_editor.text(), QStringLiteral("sel"));
    EXPECT_EQ(keyDownSeen, 1); // the key went on to the editor's other handlers

    // The shortcut's own character is not typed after an expansion, the next key is.
    m_editor.setReadOnly(false);
    TypeAtEnd(QStringLiteral("upd"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    QTest::keyClick(&m_editor, Qt::Key_X);
    EXPECT_EQ(m_editor.text(), QStringLiteral("UPDATE x SET"));
}

TEST_F(AutoCompleteTest, ANonExactTokenOpensTheListWithDescriptionsAndPickingExpands) {
    TypeAtEnd(QStringLiteral("SELECT 1; s"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    TSynCompletionProposal* list = m_complete.InternalCompletion();
    ASSERT_TRUE(list);
    ASSERT_TRUE(m_complete.GetExecuting());
    ASSERT_EQ(list->Model()->rowCount(), 1);
    EXPECT_EQ(list->Model()->At(0)->shown, QStringLiteral("Auswahl mit Bedingung"));
    QTest::keyClick(&m_editor, Qt::Key_Return);
    EXPECT_FALSE(m_complete.GetExecuting());
    EXPECT_TRUE(m_editor.text().startsWith(QStringLiteral("SELECT 1; SELECT *\n")));

    // A token that nothing starts with opens no list; Esc closes an open one and keeps the text.
    TypeAtEnd(QStringLiteral("x"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_FALSE(m_complete.GetExecuting());
    TypeAtEnd(QStringLiteral("u"));
    QTest::keyClick(&m_editor, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_TRUE(m_complete.GetExecuting());
    QTest::keyClick(&m_editor, Qt::Key_Escape);
    EXPECT_FALSE(m_complete.GetExecuting());
    EXPECT_EQ(m_editor.text(), QStringLiteral("u"));
}

TEST_F(AutoCompleteTest, TokenListAndValueReadTheListAsTheExpansionDoes) {
    EXPECT_EQ(m_complete.GetTokenList(), QStringLiteral("sel\nupd\n"));
    EXPECT_EQ(m_complete.GetTokenValue(QStringLiteral("SEL")),
              QStringLiteral("SELECT *\nFROM |t\nWHERE a || b = '|'"));
    EXPECT_EQ(m_complete.GetTokenValue(QStringLiteral("nix")), QString());

    TypeAtEnd(QStringLiteral("a.b(sel"));
    EXPECT_EQ(m_complete.GetPreviousToken(&m_editor), QStringLiteral("sel"));
    TypeAtEnd(QStringLiteral("sel "));
    EXPECT_EQ(m_complete.GetPreviousToken(&m_editor), QString());
}

TEST(CompletionModelTest, PrefixRangesAreCaseInsensitiveAndEndAtTheLastMatch) {
    TSynCompletionModel model;
    std::vector<TSynCompletionModel::TEntry> entries;
    for (const char* s : {"Adressen", "adressen_view", "Ad", "art", "zeit", "ZZ", "a"})
        entries.push_back(
            {QString::fromLatin1(s), QString::fromLatin1(s), QString::fromLatin1(s).toLower()});
    model.SetEntries(std::move(entries));
    const auto shown = [&] {
        QStringList r;
        for (int i = 0; i < model.rowCount(); ++i)
            r << model.At(i)->shown;
        return r;
    };
    model.SetRange(QStringLiteral("AD"), true);
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Ad"), QStringLiteral("Adressen"),
                                    QStringLiteral("adressen_view")}));
    model.SetRange(QStringLiteral("zz"), true);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("ZZ")});
    model.SetRange(QStringLiteral("zzz"), true);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.FirstMatch(), -1);
    // Not limited: every entry stays, the first match is where the list goes.
    model.SetRange(QStringLiteral("ar"), false);
    EXPECT_EQ(model.rowCount(), 7);
    EXPECT_EQ(model.At(model.FirstMatch())->shown, QStringLiteral("art"));
    model.SetRange(QString(), true);
    EXPECT_EQ(model.rowCount(), 7);
}
