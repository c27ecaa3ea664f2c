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
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <utility>

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

TEST_F(DataControlsTest, NavigatorReportsAPressAfterItsActionUnlessRefused) {
    testsupport::DialogAnswerer answers;
    TVoskClass c;
    open(c);
    TVoskDBNavigator nav;
    nav.SetDataSource(&c);
    QList<std::pair<NavBtn, int>> reported; // the button and the record it left the class on
    nav.OnClick = [&](NavBtn b) { reported.append({b, c.RecNo()}); };
    nav.ButtonControl(nbNext)->trigger();
    nav.BeforeAction = [](NavBtn b) {
        if (b == nbLast)
            throw EAbort();
    };
    nav.ButtonControl(nbLast)->trigger();
    // Declining the delete question is the user's answer, not a refusal: the press is reported.
    answers.Expect(QStringLiteral("Datensatz löschen?"), Vcl::mrNo);
    nav.ButtonControl(nbDelete)->trigger();
    EXPECT_EQ(reported, (QList<std::pair<NavBtn, int>>{{nbNext, 2}, {nbDelete, 2}}));
    EXPECT_EQ(c.RecordCount(), 3);

    nav.SetConfirmDelete(false);
    nav.ButtonControl(nbDelete)->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("2"));

    // Button sets combine as flags; bits of no button are dropped.
    nav.SetVisibleButtons(nbPost | nbCancel | NavBtn(0x400));
    EXPECT_EQ(nav.VisibleButtons(), nbPost | nbCancel);
    EXPECT_TRUE(nav.ButtonControl(nbCancel)->isVisible());
    EXPECT_FALSE(nav.ButtonControl(nbNext)->isVisible());
    EXPECT_EQ(nav.ButtonControl(NavBtn(0x400)), nullptr);
    EXPECT_EQ(TVoskDBNavigator::AllButtons(), NavBtnSet(0x3FF));
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

TEST_F(DataControlsTest, EditHandsTextSetByCodeToTheField) {
    TVoskClass c;
    TVoskDBEdit edit;
    edit.SetDataClass(&c);
    edit.SetDataField(QStringLiteral("plz"));
    edit.setText(QStringLiteral("20095"));
    EXPECT_FALSE(edit.PostEditValue()); // the class is closed
    open(c);
    EXPECT_FALSE(edit.PostEditValue()); // the edit shows the field's value
    edit.setText(QStringLiteral("20095"));
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_TRUE(edit.PostEditValue());
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("20095"));
    c.Cancel();

    // A refused value reaches the caller, and the edit shows the field's value again.
    c.SetReadOnly(true);
    edit.setText(QStringLiteral("99999"));
    EXPECT_THROW(edit.PostEditValue(), EVoskException);
    EXPECT_EQ(edit.text(), QStringLiteral("10115"));

    edit.SetDataField(QStringLiteral("fehlt"));
    edit.setText(QStringLiteral("x"));
    EXPECT_FALSE(edit.PostEditValue());
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

TEST_F(DataControlsTest, GridDeletesItsSelectionAndEditsTheFirstShownColumn) {
    TVoskClass c;
    open(c);
    TVoskDBGrid2 grid;
    grid.SetDataClass(&c);
    const int name = grid.columnByFieldName(QStringLiteral("name"));
    ASSERT_GT(name, 0);
    for (int col = 0; col < name; ++col)
        grid.setColumnHidden(col, true);
    grid.show();
    EXPECT_EQ(grid.SelectedRowCount(), 1); // without multi-select only the current row

    c.Last();
    grid.EditFirstVisibleColumn();
    EXPECT_EQ(grid.currentIndex(), grid.model()->index(2, name));
    auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(grid.currentIndex()));
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("Verworfen"));
    grid.EndEdit(false);
    EXPECT_EQ(grid.indexWidget(grid.currentIndex()), nullptr);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Weber"));
    grid.EditFirstVisibleColumn();
    editor = qobject_cast<QLineEdit*>(grid.indexWidget(grid.currentIndex()));
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("Wagner"));
    grid.EndEdit(true);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Wagner"));
    c.Post();

    grid.setSelectionMode(QAbstractItemView::ExtendedSelection);
    const auto rows = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    grid.selectionModel()->clearSelection();
    grid.selectionModel()->select(grid.model()->index(0, name), rows);
    grid.selectionModel()->select(grid.model()->index(2, name), rows);
    EXPECT_EQ(grid.SelectedRowCount(), 2);
    testsupport::DialogAnswerer answers;
    answers.Expect(QStringLiteral("2 Datensätze löschen?"), Vcl::mrNo);
    EXPECT_FALSE(grid.DeleteSelection());
    EXPECT_EQ(c.RecordCount(), 3);
    answers.Expect(QStringLiteral("2 Datensätze löschen?"), Vcl::mrYes);
    EXPECT_TRUE(grid.DeleteSelection());
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(name, ',') FROM kunden")),
              QStringLiteral("Schmidt"));
    EXPECT_EQ(c.RecordCount(), 1);
    EXPECT_TRUE(grid.updatesEnabled());
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

TEST(StatusBarAndMenuTest, ContainersTakeTheirPanelsPlaces) {
    TVoskStatusBar bar;
    bar.AddPanel(QStringLiteral("Erstellt:"), 80);
    const int audit = bar.AddPanel(QStringLiteral("Bearbeitet:"), 90);
    const int between = bar.AddPanel(QStringLiteral("Wiedervorlage:"), 90);
    const int doku = bar.AddPanel({}, 70);
    const int rest = bar.AddPanel({}, -1);
    auto* auditBox = new QWidget;
    auto* dokuBox = new QWidget;
    bar.SetPanelContainer(audit, auditBox);
    bar.SetPanelContainer(doku, dokuBox);
    EXPECT_EQ(auditBox->parentWidget(), &bar);
    EXPECT_EQ(bar.PanelContainer(doku), dokuBox);
    EXPECT_EQ(bar.PanelContainer(rest), nullptr);
    bar.resize(600, 24);
    bar.show();
    QApplication::processEvents();
    EXPECT_TRUE(bar.Panel(audit)->isHidden());
    EXPECT_LT(bar.Panel(0)->x(), auditBox->x());
    EXPECT_LT(auditBox->x(), bar.Panel(between)->x());
    EXPECT_LT(bar.Panel(between)->x(), dokuBox->x());
    EXPECT_LT(dokuBox->x(), bar.Panel(rest)->x());

    // The switch is the panel's; the text stays hidden and the container is left to its owner.
    bar.SetPanelVisible(audit, false);
    EXPECT_FALSE(bar.PanelVisible(audit));
    EXPECT_FALSE(auditBox->isHidden());
    bar.SetPanelVisible(audit, true);
    EXPECT_TRUE(bar.PanelVisible(audit));
    EXPECT_TRUE(bar.Panel(audit)->isHidden());
    EXPECT_EQ(bar.PanelWidth(audit), 90);
    EXPECT_THROW(bar.SetPanelContainer(5, auditBox), ERangeError);
}
