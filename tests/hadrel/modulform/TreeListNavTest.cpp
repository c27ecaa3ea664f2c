// A tree list under a navigation frame in the address module: the grid menu's items for a tree,
// layouts, preview and conditional formatting through the menu and the form's start, the
// navigator's multi-delete, Esc in the inline edit, and the workbook export with outline levels
// and colours.
#include "ModulFormFixture.h"

#include "ConditionalFormattingUser.h"
#include "FrameDBNavigate.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TopLabel.h"
#include "TreeListExport.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Uloghelper.h"
#include "WorkbookReader.h"

#include <VoskExceptions.h>

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include <archive.h>
#include <archive_entry.h>

namespace {

QByteArray ZipPart(const QString& path, const QString& part) {
    QByteArray data;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 10240) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            if (QString::fromUtf8(archive_entry_pathname(e)) != part)
                continue;
            char buf[8192];
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                data.append(buf, n);
        }
    }
    archive_read_free(a);
    return data;
}

struct SheetRow {
    int outlineLevel = 0;
    QStringList values, types;
};

QList<SheetRow> ReadRows(const QByteArray& xml) {
    QList<SheetRow> rows;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("row")) {
            rows.append(SheetRow{r.attributes().value(QLatin1String("outlineLevel")).toInt(), {},
                                 {}});
        } else if (r.isStartElement() && r.name() == QLatin1String("c")) {
            rows.last().types << r.attributes().value(QLatin1String("t")).toString();
            rows.last().values << QString();
        } else if (r.isStartElement() &&
                   (r.name() == QLatin1String("v") || r.name() == QLatin1String("t"))) {
            rows.last().values.last() = r.readElementText();
        }
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return rows;
}

} // namespace

class TreeListNavTest : public ModulFormFixture {
public:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "CREATE TABLE baum (dbrid int PRIMARY KEY, parent int REFERENCES baum (dbrid), "
            "name text NOT NULL, betrag numeric(10,2), datum date, aktiv boolean, notiz text)"));
    }

protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO baum VALUES (1, NULL, 'Werk Süd', 10.5, '2024-02-29', true, "
            "'Größter Standort'), (2, 1, 'Halle Ö', 2.25, NULL, false, NULL), "
            "(3, 2, 'Linie 1', NULL, '1970-03-01', NULL, NULL), "
            "(4, NULL, 'Lager', 0, NULL, true, NULL), (5, 4, 'Regal', 1, NULL, NULL, NULL)"));
    }
    void TearDown() override {
        ModulFormFixture::TearDown();
        s_dm->SetIsAdmin(false);
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM baum; DELETE FROM grid_layouts; DELETE FROM lastval; "
            "DELETE FROM gui_rights"));
    }

    struct Parts {
        TVoskClass* data;
        TVoskDBTreeView2* tree;
        TFrameDBNav* nav;
    };
    // A tree over baum with its navigation frame on a panel of the form.
    static Parts AddTree(TFormAdress* f) {
        auto* panel = new QWidget(f);
        panel->setGeometry(0, 0, 700, 400);
        auto* layout = new QVBoxLayout(panel);
        Parts p;
        p.data = Vcl::Owned(f, new TVoskClass(f), QStringLiteral("DataBaum"));
        p.data->SetSqlTable(QStringLiteral("baum"));
        p.data->SetKeyFieldName(QStringLiteral("dbrid"));
        p.nav = Vcl::Owned(f, new TFrameDBNav(f, panel), QStringLiteral("FrameBaum"));
        p.tree = Vcl::Owned(f, new TVoskDBTreeView2(panel), QStringLiteral("TreeBaum"));
        p.tree->SetKeyField(QStringLiteral("dbrid"));
        p.tree->SetParentField(QStringLiteral("parent"));
        p.tree->SetPreviewField(QStringLiteral("notiz"));
        p.tree->SetDataClass(p.data);
        p.nav->FSetDataSource(p.data);
        p.nav->FSetVoskDBGrid(p.tree);
        layout->addWidget(p.nav);
        layout->addWidget(p.tree, 1);
        p.data->Open();
        panel->show();
        return p;
    }
    static QString Names(const Parts& p) {
        QStringList names;
        const int col = p.data->FieldIndex(QStringLiteral("name"));
        for (int r : p.tree->TreeModel()->TreeOrder())
            names << p.data->Value(r, col).toString();
        return names.join(u',');
    }
    static void Select(const Parts& p, const QList<int>& keys) {
        // As the user's Ctrl+clicks: the class's cursor is not moved.
        p.tree->selectionModel()->clearSelection();
        const int col = p.data->FieldIndex(QStringLiteral("dbrid"));
        for (int r = 0; r < p.data->RecordCount(); ++r)
            if (keys.contains(p.data->Value(r, col).toInt()))
                p.tree->selectionModel()->select(p.tree->TreeModel()->IndexOfRow(r),
                                                 QItemSelectionModel::Select |
                                                     QItemSelectionModel::Rows);
    }
};

TEST_F(TreeListNavTest, GridMenuOffersTheTreesItemsAndKeepsLayoutAndPreview) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    TFrameDBNav* nav = p.nav;
    // The header takes a tree as its grid as well.
    EXPECT_NO_THROW(f->TopLabel->SetVoskDBGrid(p.tree));
    f->TopLabel->PopupGridSettingsPopup();
    EXPECT_TRUE(f->TopLabel->GridViewItems.moAufklappen->isVisible());
    EXPECT_TRUE(f->TopLabel->GridViewItems.moConditionalFormating->isVisible());
    EXPECT_FALSE(f->TopLabel->moDrucken->isEnabled());
    f->TopLabel->SetVoskDBGrid(f->GridAdressen);

    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->GridViewItems.moAufklappen->isVisible());
    EXPECT_TRUE(nav->GridViewItems.moZusammenfalten->isVisible());
    EXPECT_TRUE(nav->GridViewItems.moTxtVorschau->isVisible());
    EXPECT_FALSE(nav->GridViewItems.moGruppierung->isVisible());
    EXPECT_FALSE(nav->moTabFilter->isVisible());
    EXPECT_FALSE(nav->moDrucken->isEnabled());
    EXPECT_TRUE(nav->moExportieren->isVisible());
    EXPECT_TRUE(nav->moExportieren->isEnabled());
    EXPECT_TRUE(nav->moLayoutSave->isEnabled());
    EXPECT_FALSE(nav->moLayoutLoad->isEnabled());

    nav->GridViewItems.moAufklappen->trigger();
    const QModelIndex halle = p.tree->TreeModel()->IndexOfRow(1);
    EXPECT_TRUE(p.tree->isExpanded(halle));
    nav->GridViewItems.moZusammenfalten->trigger();
    EXPECT_FALSE(p.tree->isExpanded(halle));

    // The user's layout round trip through the menu.
    const int name = p.tree->columnByFieldName(QStringLiteral("name"));
    p.tree->setColumnWidth(name, 233);
    p.tree->header()->moveSection(p.tree->header()->visualIndex(name), 0);
    nav->moLayoutSave->trigger();
    p.tree->setColumnWidth(name, 40);
    nav->PopupGridSettingsPopup();
    ASSERT_TRUE(nav->moLayoutLoad->isEnabled());
    EXPECT_TRUE(nav->moLayoutLoad->text().contains(QStringLiteral(" [ ") + s_dm->LoginName() +
                                                   QStringLiteral(" ] ")));
    nav->moLayoutLoad->trigger();
    EXPECT_EQ(p.tree->columnWidth(name), 233);

    // The preview is remembered for the user.
    nav->PopupGridSettingsPopup();
    nav->GridViewItems.moTxtVorschau->trigger();
    EXPECT_TRUE(p.tree->PreviewVisible());
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM lastval WHERE lv_key LIKE "
                  "'%TreeBaum_ShowPreviewText_%'")),
              QStringLiteral("1"));

    // A new window starts the tree with both.
    TFormAdress* g = Open();
    Parts q = AddTree(g);
    EXPECT_FALSE(q.tree->PreviewVisible());
    UGrundModulForm::StartVoskComponent(g, g, false);
    EXPECT_TRUE(q.tree->PreviewVisible());
    EXPECT_EQ(q.tree->columnWidth(name), 233);
    EXPECT_EQ(q.tree->header()->logicalIndex(0), name);
    EXPECT_EQ(q.tree->UpdateLevel(), 0);
}

TEST_F(TreeListNavTest, NavigatorDeletesSeveralSelectedNodesAtOnce) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    p.tree->FullExpand();
    Select(p, {3});
    // One node: the navigator's own delete goes on.
    EXPECT_NO_THROW(p.nav->DBNavigator1BeforeAction(nullptr, nbDelete));
    EXPECT_EQ(Names(p), QStringLiteral("Werk Süd,Halle Ö,Linie 1,Lager,Regal"));
    // Nodes inside a collapsed node are not what the user sees selected.
    Select(p, {2, 3, 5});
    p.tree->collapse(p.tree->TreeModel()->IndexOfRow(0));
    EXPECT_EQ(p.tree->SelectedNodeCount(), 1);
    EXPECT_NO_THROW(p.nav->DBNavigator1BeforeAction(nullptr, nbDelete));
    p.tree->FullExpand();
    // Several: the question names them; "Nein" keeps every one.
    m_answers.Expect(QStringLiteral("3 Datensätze löschen?"), Vcl::mrNo);
    EXPECT_THROW(p.nav->DBNavigator1BeforeAction(nullptr, nbDelete), EAbort);
    EXPECT_EQ(Names(p), QStringLiteral("Werk Süd,Halle Ö,Linie 1,Lager,Regal"));
    m_answers.Expect(QStringLiteral("3 Datensätze löschen?"), Vcl::mrYes);
    EXPECT_THROW(p.nav->DBNavigator1BeforeAction(nullptr, nbDelete), EAbort);
    EXPECT_EQ(Names(p), QStringLiteral("Werk Süd,Lager"));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM baum")),
              QStringLiteral("2"));
}

// The user's keys into the inline editor of the name column, the form's key handling included.
class TreeInlineKeys {
public:
    TreeInlineKeys(TFormAdress* f, TVoskDBTreeView2* tree) : m_form(f), m_tree(tree) {}
    // A window activation arriving late on a loaded machine may hand the focus back to the tree,
    // and an editor that loses the focus closes (deleted later): only the cell's live editor
    // counts, opened again until it is the form's active control.
    QLineEdit* Edit(int key, const QString& column = QStringLiteral("name")) {
        TVoskClass* data = m_tree->DataClass();
        m_tree->EndEdit(false);
        EXPECT_TRUE(data->Locate(QStringLiteral("dbrid"), key));
        const QModelIndex cell =
            m_tree->TreeModel()->IndexOfRow(data->CurrentRow(), data->FieldIndex(column));
        m_tree->window()->activateWindow();
        m_tree->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        m_tree->setCurrentIndex(cell);
        for (int i = 0; i < 5; ++i) {
            QLineEdit* editor = m_tree->InlineEditor();
            if (!editor) {
                m_tree->edit(cell);
                QApplication::processEvents();
                continue;
            }
            if (m_form->ActiveControl() == editor)
                break;
            editor->setFocus();
            QApplication::processEvents();
        }
        QLineEdit* editor = m_tree->InlineEditor();
        EXPECT_TRUE(editor && m_form->ActiveControl() == editor);
        return editor;
    }

private:
    TFormAdress* m_form;
    TVoskDBTreeView2* m_tree;
};

TEST_F(TreeListNavTest, EscInTheInlineEditUndoesTheTypingThenCancelsTheRecord) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    QPointer<QLineEdit> editor = TreeInlineKeys(f, p.tree).Edit(4);
    ASSERT_TRUE(editor);
    // The record is in edit from an earlier cell; the user types into this one.
    p.data->FieldByName(QStringLiteral("betrag")).SetValue(7);
    ASSERT_TRUE(p.data->InEdit());
    editor->selectAll();
    editor->insert(QStringLiteral("xyz"));
    // The form's key handling, as its key preview calls it.
    int key = Qt::Key_Escape;
    f->FormKeyDown(editor, key, Qt::NoModifier);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(editor->text(), QStringLiteral("Lager"));
    EXPECT_TRUE(p.data->InEdit());
    key = Qt::Key_Escape;
    f->FormKeyDown(editor, key, Qt::NoModifier);
    EXPECT_EQ(key, 0);
    QApplication::processEvents();
    EXPECT_FALSE(p.data->InEdit());
    EXPECT_FALSE(p.tree->InlineEditing());
    EXPECT_EQ(p.data->FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Lager"));
    EXPECT_EQ(p.data->FieldByName(QStringLiteral("betrag")).AsFloat(), 0.0);
}

TEST_F(TreeListNavTest, FastLookupOfTheInlineEditOpensBeyondTwoCharactersAndEscHidesItFirst) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    auto* column =
        new TVoskGridColumn(f, QStringLiteral("TreeName"), p.tree, QStringLiteral("name"));
    column->SetFastF2(QStringLiteral("SELECT name FROM baum ORDER BY name"),
                      QStringLiteral("name ILIKE :Self"));
    p.tree->LoadF2();
    QPointer<QLineEdit> editor = TreeInlineKeys(f, p.tree).Edit(2);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(p.tree->HasFastLookup());
    TLogSink::Clear();
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("li"));
    EXPECT_EQ(editor->text(), QStringLiteral("li"));
    EXPECT_EQ(p.tree->FastLookupSelf(), QStringLiteral("li%"));
    EXPECT_FALSE(p.tree->FastLookupShowing());
    QTest::keyClick(editor, Qt::Key_N);
    ASSERT_TRUE(p.tree->FastLookupShowing());
    EXPECT_EQ(p.tree->FastLookupPanel()->model()->index(0, 0).data().toString(),
              QStringLiteral("Linie 1"));
    EXPECT_TRUE(
        TLogSink::Contains(QStringLiteral("FastF2 %1.TreeBaum: lin%").arg(f->objectName())));
    // The panel leaves the keys with the editor, and a text that finds nothing hides it.
    EXPECT_EQ(f->ActiveControl(), editor.data());
    QTest::keyClick(editor, Qt::Key_X);
    EXPECT_FALSE(p.tree->FastLookupShowing());
    QTest::keyClick(editor, Qt::Key_Backspace);
    ASSERT_TRUE(p.tree->FastLookupShowing());
    // Backspace down to two characters hides it as well.
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_FALSE(p.tree->FastLookupShowing());
    QTest::keyClick(editor, Qt::Key_N);
    ASSERT_TRUE(p.tree->FastLookupShowing());

    // Esc: the panel first, then the typing, the editor all the while open.
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(p.tree->FastLookupShowing());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("lin"));
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(editor);
    EXPECT_NE(editor->text(), QStringLiteral("lin"));

    // A click on a row of the panel takes its value.
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Reg"));
    ASSERT_TRUE(p.tree->FastLookupShowing());
    QAbstractItemView* panel = p.tree->FastLookupPanel();
    QTest::mouseClick(panel->viewport(), Qt::LeftButton, {},
                      panel->visualRect(panel->model()->index(0, 0)).center());
    EXPECT_EQ(editor->text(), QStringLiteral("Regal"));
    EXPECT_FALSE(p.tree->FastLookupShowing());
    p.tree->EndEdit(false);
    p.data->Cancel();
}

TEST_F(TreeListNavTest, UpAndDownInTheInlineEditCarryTheValueToTheNextNode) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    p.tree->expandAll();
    TreeInlineKeys keys(f, p.tree);
    QPointer<QLineEdit> editor = keys.Edit(2);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Halle Nord"));
    QTest::keyClick(editor, Qt::Key_Down);
    // The edited row is written, the next one's editor holds the value with the caret at the end.
    const auto nameOf = [](int key) {
        return testsupport::TestDatabase::Scalar(
            QStringLiteral("SELECT name FROM baum WHERE dbrid = %1").arg(key));
    };
    EXPECT_EQ(nameOf(2), QStringLiteral("Halle Nord"));
    EXPECT_EQ(p.data->FieldByName(QStringLiteral("dbrid")).AsInteger(), 3);
    editor = p.tree->InlineEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("Halle Nord"));
    EXPECT_EQ(editor->cursorPosition(), editor->text().size());
    // Esc there gives the row its own value back; nothing reached it.
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("Linie 1"));
    // A refused post keeps the row and its editor, with what was typed.
    editor = keys.Edit(5);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Regal B"));
    p.data->BeforePost = [](TVoskClass*) {
        throw EVoskException(QStringLiteral("Regal gesperrt"));
    };
    m_answers.Expect(QStringLiteral("Regal gesperrt"), Vcl::mrOk);
    QTest::keyClick(editor, Qt::Key_Up);
    EXPECT_EQ(p.data->FieldByName(QStringLiteral("dbrid")).AsInteger(), 5);
    EXPECT_TRUE(p.data->InEdit());
    editor = p.tree->InlineEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("Regal B"));
    p.data->BeforePost = nullptr;
    p.tree->EndEdit(false);
    p.data->Cancel();

    // Up carries upwards; the topmost node goes nowhere and keeps its editor.
    editor = keys.Edit(1);
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_Up);
    EXPECT_EQ(p.data->FieldByName(QStringLiteral("dbrid")).AsInteger(), 1);
    EXPECT_EQ(p.tree->InlineEditor(), editor.data());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Werk"));
    p.tree->EndEdit(false);
    p.data->Cancel();
    EXPECT_EQ(nameOf(1), QStringLiteral("Werk Süd"));
}

TEST_F(TreeListNavTest, ExportWritesTheTreeWithOutlineLevelsAndTypedCells) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    p.tree->SetHiddenFields({QStringLiteral("parent"), QStringLiteral("notiz")});
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Baum.xlsx"));
    m_answers.ExpectFile({}, {file});
    p.nav->moExportierenClick();
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const QList<SheetRow> rows =
        ReadRows(ZipPart(file, QStringLiteral("xl/worksheets/sheet1.xml")));
    ASSERT_EQ(rows.size(), 6);
    const QList<int> cols = p.tree->ShownColumns();
    QStringList header;
    for (int c : cols)
        header << p.tree->TreeModel()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(rows[0].values, header);
    const int name = cols.indexOf(p.tree->columnByFieldName(QStringLiteral("name")));
    const int betrag = cols.indexOf(p.tree->columnByFieldName(QStringLiteral("betrag")));
    QStringList names;
    QList<int> levels;
    for (int r = 1; r < rows.size(); ++r) {
        names << rows[r].values.value(name);
        levels << rows[r].outlineLevel;
    }
    EXPECT_EQ(names.join(u','), QStringLiteral("Werk Süd,Halle Ö,Linie 1,Lager,Regal"));
    EXPECT_EQ(levels, (QList<int>{0, 1, 2, 0, 1}));
    // The first row: a number and a date as numbers, a Boolean typed, the name as text.
    EXPECT_EQ(rows[1].values.value(betrag), QStringLiteral("10.5"));
    EXPECT_TRUE(rows[1].types.value(betrag).isEmpty());
    EXPECT_TRUE(rows[1].values.contains(QStringLiteral("45351"))); // 2024-02-29
    EXPECT_TRUE(rows[1].types.contains(QStringLiteral("b")));
    EXPECT_EQ(rows[1].types.value(name), QStringLiteral("inlineStr"));
}

TEST_F(TreeListNavTest, ConditionalFormattingColoursTheTreeKeepsWithTheLayoutAndIsExported) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    p.tree->SetHiddenFields({QStringLiteral("parent"), QStringLiteral("notiz")});
    p.nav->PopupGridSettingsPopup();
    QAction* item = p.nav->GridViewItems.moConditionalFormating;
    ASSERT_TRUE(item->isVisible());
    {
        AddRule user(QStringLiteral("name"), QStringLiteral("Lager"));
        item->trigger();
        EXPECT_FALSE(user.fields.contains(QStringLiteral("parent")));
    }
    ASSERT_EQ(p.tree->ConditionalFormatting()->Rules().size(), 1);

    TVoskCondFormatRule betrag;
    betrag.field = QStringLiteral("betrag");
    betrag.op = TVoskCondOperator::Equal;
    betrag.value1 = QStringLiteral("2,25");
    betrag.background = QColor(0, 200, 0);
    TVoskCondFormatRule datum;
    datum.field = QStringLiteral("datum");
    datum.op = TVoskCondOperator::Contains;
    datum.value1 = QStringLiteral("1970");
    datum.background = QColor(200, 0, 0);
    p.tree->ConditionalFormatting()->SetRules({betrag, datum});
    p.tree->FullExpand();
    const int betragCol = p.tree->columnByFieldName(QStringLiteral("betrag"));
    auto painted = [&](int row, int col) {
        const QImage image = p.tree->viewport()->grab().toImage();
        return image.pixelColor(
            p.tree->visualRect(p.tree->TreeModel()->IndexOfRow(row, col)).topLeft() +
            QPoint(2, 2));
    };
    p.data->SetRecNo(1); // the selection paints over the rule
    EXPECT_EQ(painted(1, betragCol), QColor(0, 200, 0)) << "Halle Ö";
    EXPECT_NE(painted(4, betragCol), QColor(0, 200, 0)) << "Regal";

    // Kept with the layout.
    p.nav->moLayoutSave->trigger();
    p.tree->ConditionalFormatting()->SetRules({});
    p.nav->PopupGridSettingsPopup();
    p.nav->moLayoutLoad->trigger();
    EXPECT_EQ(p.tree->ConditionalFormatting()->Rules(), (QList<TVoskCondFormatRule>{betrag, datum}));

    // In the workbook: the comparison as the workbook's own format, the search in the shown date
    // fixed in the cell of "Linie 1" (third in tree order).
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Baum.xlsx"));
    m_answers.ExpectFile({}, {file});
    p.nav->moExportierenClick();
    const auto looks = testsupport::ReadWorkbookLooks(file);
    ASSERT_EQ(looks.size(), 1);
    const QList<int> cols = p.tree->ShownColumns();
    const QString b(QChar(char16_t(u'A' + cols.indexOf(betragCol))));
    ASSERT_EQ(looks[0].condFormats.size(), 1);
    EXPECT_EQ(looks[0].condFormats[0].range, b + QStringLiteral("2:") + b + u'6');
    EXPECT_EQ(looks[0].condFormats[0].formula,
              QStringLiteral("AND(ISNUMBER(%1),%1=2.25)").arg(b + u'2'));
    EXPECT_EQ(looks[0].condFormats[0].look.fill, QStringLiteral("00C800"));
    const int d = int(cols.indexOf(p.tree->columnByFieldName(QStringLiteral("datum"))));
    ASSERT_EQ(looks[0].cells.size(), 5);
    for (int r = 0; r < 5; ++r)
        for (qsizetype c = 0; c < looks[0].cells[r].size(); ++c)
            EXPECT_EQ(looks[0].cells[r][c].fill,
                      r == 2 && c == d ? QStringLiteral("C80000") : QString())
                << r << "," << c;
    EXPECT_EQ(looks[0].numberFormats[2][d], QStringLiteral("dd.mm.yyyy"));
}

TEST_F(TreeListNavTest, FailedTreeExportLeavesTheOldWorkbook) {
    TFormAdress* f = Open();
    Parts p = AddTree(f);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alt.xlsx"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("alter Inhalt");
    }
    // A tree without data refuses before anything is written.
    TVoskDBTreeView2 empty;
    EXPECT_THROW(ExportTreeListToXLSX(file, &empty), EVoskException);
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("alter Inhalt"));
    // A folder that is not there: the message names the file and the cause, nothing is left.
    try {
        ExportTreeListToXLSX(dir.filePath(QStringLiteral("weg/neu.xlsx")), p.tree);
        FAIL() << "no error";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("neu.xlsx")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Ordner existiert nicht")));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs |
                                         QDir::NoDotAndDotDot)
                  .size(),
              1);
}
