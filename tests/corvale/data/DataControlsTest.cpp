#include <Fixture.h>

#include <DialogAnswerer.h>
#include <TVoskDBEdit.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBMemo.h>
#include <TVoskDBNavigator.h>
#include <TVoskDataModel.h>
#include <TVoskPopupMenu.h>
#include <TVoskStatusBar.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QTest>

class DataControlsTest : public KundenTest {
protected:
    bool enabled(TVoskDBNavigator& nav, NavBtn b) { return nav.ButtonControl(b)->isEnabled(); }
};

TEST_F(DataControlsTest, NavigatorDrivesTheClassAndFollowsItsState) {
    testsupport::DialogAnswerer answers;
    TVoskClass c;
    TVoskDBNavigator nav;
    nav.SetDataSource(&c);
    EXPECT_FALSE(enabled(nav, nbNext));
    EXPECT_FALSE(enabled(nav, nbRefresh));
    open(c);
    EXPECT_EQ(nav.ButtonControl(nbPost)->objectName(), QStringLiteral("nbPost"));
    EXPECT_FALSE(enabled(nav, nbFirst));
    EXPECT_TRUE(enabled(nav, nbNext));
    EXPECT_TRUE(enabled(nav, nbEdit));
    EXPECT_FALSE(enabled(nav, nbPost));

    nav.ButtonControl(nbLast)->trigger();
    EXPECT_EQ(c.RecNo(), 3);
    EXPECT_FALSE(enabled(nav, nbNext));
    EXPECT_TRUE(enabled(nav, nbPrior));

    nav.ButtonControl(nbEdit)->trigger();
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_TRUE(enabled(nav, nbPost));
    EXPECT_FALSE(enabled(nav, nbEdit));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Weberei"));
    nav.ButtonControl(nbPost)->trigger();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 3")),
              QStringLiteral("Weberei"));

    // The hook may stop any action.
    QList<NavBtn> asked;
    nav.BeforeAction = [&](NavBtn b) {
        asked << b;
        if (b == nbFirst)
            throw EAbort();
    };
    nav.ButtonControl(nbFirst)->trigger();
    EXPECT_EQ(c.RecNo(), 3);
    EXPECT_EQ(asked, QList<NavBtn>{nbFirst});

    // Delete asks first; no keeps the row.
    answers.Expect(QStringLiteral("Datensatz löschen?"), Vcl::mrNo);
    nav.ButtonControl(nbDelete)->trigger();
    EXPECT_EQ(c.RecordCount(), 3);
    answers.Expect(QStringLiteral("Datensatz löschen?"), Vcl::mrYes);
    nav.ButtonControl(nbDelete)->trigger();
    EXPECT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("2"));

    nav.ButtonControl(nbInsert)->trigger();
    EXPECT_EQ(c.State(), dsInsert);
    nav.ButtonControl(nbCancel)->trigger();
    EXPECT_EQ(c.RecordCount(), 2);

    c.SetReadOnly(true);
    for (NavBtn b : {nbInsert, nbDelete, nbEdit, nbPost, nbCancel})
        EXPECT_FALSE(enabled(nav, b)) << int(b);
    EXPECT_TRUE(enabled(nav, nbRefresh));

    nav.SetVisibleButtons({nbFirst, nbLast});
    EXPECT_TRUE(nav.ButtonControl(nbFirst)->isVisible());
    EXPECT_FALSE(nav.ButtonControl(nbPost)->isVisible());
}

TEST_F(DataControlsTest, EditAndMemoWriteThroughToTheField) {
    TVoskClass c;
    TVoskDBEdit edit;
    TVoskDBMemo memo;
    edit.SetDataClass(&c);
    edit.SetDataField(QStringLiteral("plz"));
    memo.SetDataClass(&c);
    memo.SetDataField(QStringLiteral("name"));
    open(c);
    EXPECT_EQ(edit.text(), QStringLiteral("10115"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("Müller"));
    EXPECT_FALSE(edit.isReadOnly());

    edit.setFocus();
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("20095"));
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("20095"));

    memo.moveCursor(QTextCursor::End);
    memo.insertPlainText(QStringLiteral("\nZweigstelle"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(),
              QStringLiteral("Müller\nZweigstelle"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT plz || '|' || name FROM kunden WHERE dbrid = 1")),
              QStringLiteral("20095|Müller\nZweigstelle"));

    // Moving shows the next record; clearing the text stores null.
    c.Next();
    EXPECT_EQ(edit.text(), QString());
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("Schmidt"));
    c.First();
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_TRUE(c.FieldByName(QStringLiteral("plz")).IsNull());
    c.Cancel();
    EXPECT_EQ(edit.text(), QStringLiteral("20095"));

    c.SetReadOnly(true);
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_TRUE(memo.isReadOnly());
}

TEST_F(DataControlsTest, GridAndClassShareTheCurrentRow) {
    TVoskClass c;
    open(c);
    TVoskDBGrid2 grid;
    grid.SetDataClass(&c);
    QAbstractItemModelTester tester(grid.DataModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const int name = grid.columnByFieldName(QStringLiteral("NAME"));
    ASSERT_GE(name, 0);
    EXPECT_EQ(grid.columnByFieldName(QStringLiteral("fehlt")), -1);
    EXPECT_EQ(grid.currentIndex().row(), 0);

    c.Last();
    EXPECT_EQ(grid.currentIndex().row(), 2);
    grid.setCurrentIndex(grid.model()->index(1, name));
    EXPECT_EQ(c.RecNo(), 2);

    // A bad value posted by moving on: the server refuses, grid and class stay on the record.
    c.FieldByName(QStringLiteral("note")).SetAsInteger(7);
    {
        testsupport::DialogAnswerer answers;
        answers.ExpectAny(Vcl::mrOk); // the error display
        grid.setCurrentIndex(grid.model()->index(0, name));
    }
    EXPECT_EQ(c.RecNo(), 2);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    c.Cancel();

    grid.BeginUpdate();
    grid.BeginUpdate();
    grid.EndUpdate();
    EXPECT_FALSE(grid.updatesEnabled());
    c.Refresh();
    grid.EndUpdate();
    EXPECT_TRUE(grid.updatesEnabled());
    EXPECT_EQ(grid.currentIndex().row(), 1);

    c.SetReadOnly(true);
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, name)) & Qt::ItemIsEditable);
}

TEST(StatusBarAndMenuTest, PanelsAndItems) {
    TVoskStatusBar bar;
    const int a = bar.AddPanel(QStringLiteral("Bereit"), 120);
    const int b = bar.AddPanel({}, -1);
    EXPECT_EQ(bar.PanelCount(), 2);
    bar.SetPanelText(b, QStringLiteral("3 Datensätze"));
    EXPECT_EQ(bar.Panel(b)->text(), QStringLiteral("3 Datensätze"));
    EXPECT_EQ(bar.Panel(a)->width(), 120);
    bar.SetPanelVisible(a, false);
    EXPECT_FALSE(bar.PanelVisible(a));
    EXPECT_TRUE(bar.PanelVisible(b));
    EXPECT_THROW(bar.SetPanelText(5, {}), ERangeError);

    TVoskPopupMenu menu;
    TVoskMenuItem* item = menu.AddItem(QStringLiteral("Kopieren"), 0, 7);
    menu.addSeparator();
    EXPECT_EQ(menu.Items(), QList<TVoskMenuItem*>{item});
    EXPECT_EQ(item->property("Tag").toLongLong(), 7);
    // Without a data module the text number keeps the item's own text.
    item->SetTextNr(4711);
    EXPECT_EQ(item->text(), QStringLiteral("Kopieren"));
    EXPECT_EQ(item->TextNr(), 4711);
}
