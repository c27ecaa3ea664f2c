// The grid menu's conditional formatting in the header and the navigation frame: the item opens
// the rules dialog of the frame's grid, and the rules are kept with the saved layout.
#include "ModulFormFixture.h"

#include "ConditionalFormattingUser.h"
#include "FrameDBNavigate.h"
#include "TopLabel.h"
#include "UDataModul_Dunmere.h"

class ConditionalFormattingMenuTest : public ModulFormFixture {
protected:
    void TearDown() override {
        ModulFormFixture::TearDown();
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM grid_layouts"));
    }
};

TEST_F(ConditionalFormattingMenuTest, NavigationFrameItemEditsTheRulesKeptWithTheLayout) {
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    nav->PopupGridSettingsPopup();
    QAction* item = nav->GridViewItems.moConditionalFormating;
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(item->objectName(), QStringLiteral("moConditionalFormating"));
    EXPECT_FALSE(item->toolTip().isEmpty());
    {
        AddRule user(QStringLiteral("vorname"), QStringLiteral("Jörg"));
        item->trigger();
        // The rules name what the user sees: hidden keys are not offered.
        EXPECT_TRUE(user.fields.contains(QStringLiteral("vorname")));
        for (const QString& hidden : grid->HiddenFields())
            EXPECT_FALSE(user.fields.contains(hidden, Qt::CaseInsensitive));
    }
    ASSERT_EQ(grid->ConditionalFormatting()->Rules().size(), 1);
    nav->moLayoutSave->trigger();

    TFormAdress* g = Open();
    const QList<TVoskCondFormatRule> rules =
        g->GridAnsprechpartner->ConditionalFormatting()->Rules();
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules[0].field, QStringLiteral("vorname"));
    EXPECT_EQ(rules[0].value1, QStringLiteral("Jörg"));

    // A stored rule that does not parse leaves the rest of the layout in force.
    testsupport::TestDatabase::Exec(QStringLiteral(
        "UPDATE grid_layouts SET gl_layout = jsonb_set(gl_layout::jsonb, "
        "'{conditionalFormatting,0,op}', '\"fast\"')::text"));
    // The session reads its layouts once; a refresh of the table reads them again.
    TVoskDM_Dunmere::Instance()->RefreshCache(QStringLiteral("grid_layouts"), false);
    TFormAdress* h = Open();
    EXPECT_TRUE(h->GridAnsprechpartner->ConditionalFormatting()->IsEmpty());
    EXPECT_EQ(h->GridAnsprechpartner->columnWidth(0), grid->columnWidth(0));
}

TEST_F(ConditionalFormattingMenuTest, HeaderItemOpensTheDialogOfItsGrid) {
    TFormAdress* f = Open();
    TTopLabelFrame* top = f->TopLabel;
    auto* grid = qobject_cast<TVoskDBGrid2*>(top->VoskDBGrid());
    ASSERT_TRUE(grid);
    top->PopupGridSettingsPopup();
    EXPECT_TRUE(top->GridViewItems.moConditionalFormating->isVisible());
    AddRule user(QStringLiteral("ort"), QStringLiteral("Ort 3"));
    top->GridViewItems.moConditionalFormating->trigger();
    ASSERT_EQ(grid->ConditionalFormatting()->Rules().size(), 1);
    EXPECT_EQ(grid->ConditionalFormatting()->Rules()[0].field, QStringLiteral("ort"));
}
