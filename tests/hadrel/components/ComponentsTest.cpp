// The component start-up of a form (F2 definitions, grids, page controls, the walk itself), the
// component-settings walks and the admin state of open module windows.

#include "UDataModul_Dunmere.h"
#include "../modulform/ModulFormFixture.h"

#include "FrameDBNavigate.h"
#include "Korvexutils.h"
#include "TDBText.h"
#include "TQ32Control.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TVoskPageControl2.h"
#include "TopLabel.h"
#include "UGrundModulForm.h"
#include "UModulForm.Start.h"
#include "Uloghelper.h"
#include "VoskF2Controls.h"
#include "ModuleStarts.h"
#include "TVoskPopupMenu.h"
#include "URecNoParamPivot.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QFont>
#include <QScopeGuard>
#include <QFrame>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

namespace {

using testsupport::TestDatabase;

// A form that builds its components before the base form's creation starts them.
class TFormStartTest final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormStartTest(QObject* owner = nullptr,
                            std::function<void(TFormStartTest*)> build = {})
        : TFormKorvexGundForm(owner) {
        setObjectName(QStringLiteral("FormStartTest"));
        if (build)
            build(this);
    }
    QList<QObject*> F2Clicks;
    void F2BtClick(QObject* sender, int) override { F2Clicks << sender; }
};

// A component that counts its start-ups and may do something while it is started.
class TRefreshProbe final : public QObject, public Korvexutils::IVoskRefresh {
    Q_OBJECT
public:
    TRefreshProbe(QObject* owner, const QString& name) {
        Vcl::Owned(owner, this, name);
    }
    void InitRefresh() override {
        ++Started;
        if (OnStart)
            OnStart();
    }
    void DoRefresh() override {}
    bool IsRefreshed() const override { return false; }
    int Started = 0;
    std::function<void()> OnStart;
};

// A frame or component that keeps settings and notes each call in a shared list.
class TSettingsProbe final : public QFrame, public Korvexutils::ISaveCompSettings {
    Q_OBJECT
public:
    TSettingsProbe(QObject* owner, QWidget* parent, const QString& name, QStringList* calls)
        : QFrame(parent), m_calls(calls) {
        Vcl::Owned(owner, this, name);
        // A frame owns what is placed on it.
        Vcl::Owned(this, new QObject, QStringLiteral("Inner"));
    }
    void SaveCompSettings(QObject*) override { *m_calls << QStringLiteral("save ") + objectName(); }
    void LoadCompSettings(QObject*) override { *m_calls << QStringLiteral("load ") + objectName(); }

private:
    QStringList* m_calls;
};

class TNonWidgetSettings final : public QObject, public Korvexutils::ISaveCompSettings {
    Q_OBJECT
public:
    TNonWidgetSettings(QObject* owner, const QString& name, QStringList* calls) : m_calls(calls) {
        Vcl::Owned(owner, this, name);
    }
    void SaveCompSettings(QObject*) override { *m_calls << QStringLiteral("save ") + objectName(); }
    void LoadCompSettings(QObject*) override { *m_calls << QStringLiteral("load ") + objectName(); }

private:
    QStringList* m_calls;
};

// A module window without data class and print handler: what it shows depends on rights and rows.
class TFormRechteTest final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormRechteTest(QObject* owner = nullptr) : TModulForm(owner) {
        setObjectName(QStringLiteral("FormRechteTest"));
        // A navigation frame that a page owns, as a dashboard's pages own theirs.
        auto* pages = Vcl::Owned(this, new TVoskPageControl2(ClientArea()), QStringLiteral("Pages"));
        auto* page = new QWidget(pages);
        pages->addTab(page, QStringLiteral("Seite"));
        PageFrame = Vcl::Owned(page, new TFrameDBNav(page, page), QStringLiteral("FramePage"));
        ModulLayout()->addWidget(pages);
    }
    TFrameDBNav* PageFrame;
};

class ComponentsTest : public ModulFormFixture {
public:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO f2standard (f2s_name, f2s_query) VALUES "
            "('ORTE', 'SELECT DISTINCT ort FROM adressen ORDER BY ort')"));
    }

protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        s_dm->ClearQueryCache();
        s_dm->SetIsAdmin(false);
    }
    void TearDown() override {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM f2poss; DELETE FROM sondfunc; DELETE FROM settingsdyn; "
            "DELETE FROM reports; DELETE FROM modul_field; DELETE FROM lastval"));
        s_dm->SetIsAdmin(false);
        ModulFormFixture::TearDown();
    }
    static void F2(const QString& modul, const QString& feld, bool fast = false,
                   const QString& query = {}, const QString& filter = {},
                   const QString& standard = {}, bool deleted = false) {
        TVoskQuery2 q(&s_dm->Database(),
                      QStringLiteral("INSERT INTO f2poss (modulname, feldname, fastf2, f2_query, "
                                     "f2_filter, f2_standard, f2_deleted) VALUES (:m, :f, :fast, "
                                     ":q, :filter, :std, :del)"));
        q.Bind(QStringLiteral("m"), modul).Bind(QStringLiteral("f"), feld);
        q.Bind(QStringLiteral("fast"), fast);
        q.Bind(QStringLiteral("q"), query.isEmpty() ? QVariant() : QVariant(query));
        q.Bind(QStringLiteral("filter"), filter.isEmpty() ? QVariant() : QVariant(filter));
        q.Bind(QStringLiteral("std"), standard.isEmpty() ? QVariant() : QVariant(standard));
        q.Bind(QStringLiteral("del"), deleted);
        q.ExecSQL();
    }
    // feldname -> query of the F2 rows the module receives.
    static QMap<QString, QString> Definitions(const QString& modul) {
        TVoskQuery2 q(&s_dm->Database(), UGrundModulForm::F2DefinitionSql());
        q.Bind(QStringLiteral("modul"), modul);
        q.Open();
        QMap<QString, QString> rows;
        for (; !q.Eof(); q.Next())
            rows.insert(q.FieldByName(QStringLiteral("feldname")).AsString(),
                        q.FieldByName(QStringLiteral("f2_query")).AsString());
        return rows;
    }
    TFormStartTest* Make(std::function<void(TFormStartTest*)> build) {
        auto* f = TFormKorvexGundForm::Create<TFormStartTest>(nullptr, QStringList(),
                                                              std::move(build));
        m_forms.append(f);
        return f;
    }
    static TVoskEdit* Edit(TFormStartTest* f, const char* name) {
        return qobject_cast<TVoskEdit*>(Vcl::FindComponent(f, QString::fromLatin1(name)));
    }
};

// ---- F2 definitions ----------------------------------------------------------------------------

TEST_F(ComponentsTest, F2DefinitionsMatchModuleFoldedAndShareByPrefix) {
    F2(QStringLiteral("TFormÄnderung"), QStringLiteral("EdStraße"));
    F2(QStringLiteral("tformaenderung"), QStringLiteral("EdKlein"));
    F2(QStringLiteral("TFormÄnderung"), QStringLiteral("EdWeg"), false, {}, {}, {}, true);
    F2(QStringLiteral("TFormEditTable"), QStringLiteral("EdTab"));
    F2(QStringLiteral("TFrameF2Register"), QStringLiteral("EdReg"));
    F2(QStringLiteral("TFormAnders"), QStringLiteral("EdAnders"));
    F2(QStringLiteral("TFormÄnderung"), QStringLiteral("EdSchnell"), true, QStringLiteral("SELECT 1"),
       QStringLiteral("x LIKE :Self"), QStringLiteral("ORTE"));

    const auto rows = Definitions(QStringLiteral("TFORMAENDERUNG"));
    EXPECT_EQ(rows.keys(), (QStringList{QStringLiteral("EDKLEIN"), QStringLiteral("EDSCHNELL"),
                                        QStringLiteral("EDSTRASSE")}));
    // A fast row takes the standard's query; a normal row carries none.
    EXPECT_EQ(rows.value(QStringLiteral("EDSCHNELL")),
              QStringLiteral("SELECT DISTINCT ort FROM adressen ORDER BY ort"));
    EXPECT_TRUE(rows.value(QStringLiteral("EDSTRASSE")).isEmpty());

    EXPECT_EQ(Definitions(QStringLiteral("TFormEditTable-adressen")).keys(),
              QStringList{QStringLiteral("EDTAB")});
    EXPECT_EQ(Definitions(QStringLiteral("TFrameF2Register-artikel")).keys(),
              QStringList{QStringLiteral("EDREG")});
    // The prefix shares only with its dash: the plain name is a module of its own.
    EXPECT_TRUE(Definitions(QStringLiteral("TFormEditTableX")).isEmpty());
    EXPECT_EQ(UGrundModulForm::AeoeueUpper(QStringLiteral("EdStraße")),
              QStringLiteral("EDSTRASSE"));
}

TEST_F(ComponentsTest, F2QueryOfAnOrdinaryModuleUsesTheIndex) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO f2poss (modulname, feldname) SELECT 'TFormModul' || (i % 5000), 'Ed' || i "
        "FROM generate_series(1, 200000) AS i; ANALYZE f2poss"));
    TVoskQuery2 q(&s_dm->Database(), QStringLiteral("EXPLAIN ") + UGrundModulForm::F2DefinitionSql());
    q.Bind(QStringLiteral("modul"), QStringLiteral("TFormModul42"));
    q.Open();
    QString plan;
    for (; !q.Eof(); q.Next())
        plan += q.Fields(0).AsString() + QLatin1Char('\n');
    EXPECT_TRUE(plan.contains(QLatin1String("f2poss_modulname_idx"))) << plan.toStdString();
}

// ---- the start-up walk -------------------------------------------------------------------------

TEST_F(ComponentsTest, EditsGetOneLookupButtonOrTheirFastLookup) {
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("edort"));
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("EdPlz"), true,
       QStringLiteral("SELECT plz, ort FROM adressen ORDER BY plz"), QStringLiteral("plz LIKE :Self"));
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("EdOhneKomponente"));
    TFormStartTest* f = Make([](TFormStartTest* f) {
        Vcl::Owned(f, new TVoskEdit(f->ClientArea()), QStringLiteral("EdOrt"));
        Vcl::Owned(f, new TVoskEdit(f->ClientArea()), QStringLiteral("EdPlz"));
    });
    TVoskEdit* ort = Edit(f, "EdOrt");
    TVoskEdit* plz = Edit(f, "EdPlz");
    ASSERT_EQ(ort->Buttons().Count(), 1);
    EXPECT_EQ(ort->Buttons().Kind(0), TVoskEditButtonKind::Ellipsis);
    EXPECT_TRUE(plz->FastF2Query().startsWith(QLatin1String("SELECT plz")));
    EXPECT_EQ(plz->Buttons().Count(), 0);

    // A second start of the form adds nothing; the button reaches the form's lookup.
    f->StartVoskComponent(f, nullptr);
    EXPECT_EQ(ort->Buttons().Count(), 1);
    ort->Buttons().Action(0)->trigger();
    EXPECT_EQ(f->F2Clicks, QList<QObject*>{ort});

    // The fast lookup lists the matching rows as the user types.
    EXPECT_EQ(plz->FastF2Matches(QStringLiteral("1001")),
              (QStringList{QStringLiteral("10010"), QStringLiteral("10011"),
                           QStringLiteral("10012"), QStringLiteral("10013"),
                           QStringLiteral("10014"), QStringLiteral("10015"),
                           QStringLiteral("10016"), QStringLiteral("10017"),
                           QStringLiteral("10018"), QStringLiteral("10019")}));
    f->show();
    plz->setFocus();
    QTest::keyClicks(plz, QStringLiteral("1002"));
    ASSERT_TRUE(plz->FastF2Popup());
    EXPECT_EQ(plz->FastF2Popup()->completionModel()->rowCount(), 1);
    EXPECT_TRUE(plz->FastF2Popup()->popup()->isVisible());
}

TEST_F(ComponentsTest, GridColumnsRebuildOnceAndGetTheirButtons) {
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("ColOrt"));
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("ColNotiz"));
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("ColPlz"), true, QStringLiteral("SELECT plz FROM adressen"));
    TVoskDBGrid2* grid = nullptr;
    TVoskGridColumn *ort = nullptr, *notiz = nullptr, *plzCol = nullptr;
    TFormStartTest* f = Make([&](TFormStartTest* f) {
        grid = Vcl::Owned(f, new TVoskDBGrid2(f->ClientArea()), QStringLiteral("Grid"));
        ort = new TVoskGridColumn(f, QStringLiteral("ColOrt"), grid, QStringLiteral("ort"));
        notiz = new TVoskGridColumn(f, QStringLiteral("ColNotiz"), grid, QStringLiteral("email"));
        notiz->SetPropertiesKind(TVoskColumnPropertiesKind::BlobEdit);
        plzCol = new TVoskGridColumn(f, QStringLiteral("ColPlz"), grid, QStringLiteral("plz"));
    });
    EXPECT_EQ(grid->UpdatePairs(), 1);
    EXPECT_EQ(grid->UpdateLevel(), 0);
    EXPECT_TRUE(grid->F2Loaded());
    EXPECT_EQ(ort->PropertiesKind(), TVoskColumnPropertiesKind::ButtonEdit);
    ASSERT_EQ(ort->Buttons().size(), 1);
    ASSERT_EQ(notiz->Buttons().size(), 3);
    EXPECT_FALSE(notiz->Buttons()[0].visible);
    EXPECT_EQ(notiz->Buttons()[1].kind, TVoskEditButtonKind::DropDown);
    EXPECT_EQ(notiz->Buttons()[2].kind, TVoskEditButtonKind::Ellipsis);
    EXPECT_EQ(plzCol->PropertiesKind(), TVoskColumnPropertiesKind::None);
    EXPECT_EQ(grid->ColumnFastF2Query(plzCol), QStringLiteral("SELECT plz FROM adressen"));

    f->StartVoskComponent(f, nullptr);
    EXPECT_EQ(notiz->Buttons().size(), 3);
    EXPECT_EQ(ort->Buttons().size(), 1);
    EXPECT_EQ(grid->UpdatePairs(), 2);
}

TEST_F(ComponentsTest, TreeColumnsGetTheirButtonsAndFastLookupsInTheirInlineEditors) {
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("TreeOrt"));
    F2(QStringLiteral("TFormStartTest"), QStringLiteral("TreePlz"), true,
       QStringLiteral("SELECT plz FROM adressen"));
    TVoskDBTreeView2* tree = nullptr;
    TVoskClass2* data = nullptr;
    TVoskGridColumn *ort = nullptr, *plz = nullptr;
    TFormStartTest* f = Make([&](TFormStartTest* f) {
        data = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DataTree"));
        data->SetSqlTable(QStringLiteral("adressen"));
        data->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY dbrid LIMIT 3"));
        data->Open();
        tree = Vcl::Owned(f, new TVoskDBTreeView2(f->ClientArea()), QStringLiteral("Tree"));
        tree->SetDataClass(data);
        ort = new TVoskGridColumn(f, QStringLiteral("TreeOrt"), tree, QStringLiteral("ort"));
        plz = new TVoskGridColumn(f, QStringLiteral("TreePlz"), tree, QStringLiteral("plz"));
    });
    EXPECT_TRUE(tree->F2Loaded());
    EXPECT_EQ(tree->UpdateLevel(), 0);
    ASSERT_EQ(ort->Buttons().size(), 1);
    EXPECT_EQ(plz->FastF2Query(), QStringLiteral("SELECT plz FROM adressen"));
    EXPECT_TRUE(plz->Buttons().isEmpty());
    f->StartVoskComponent(f, nullptr);
    EXPECT_EQ(ort->Buttons().size(), 1);

    f->show();
    // The cell editor is named after its column.
    auto editorOf = [&](const TVoskGridColumn* column) {
        const QModelIndex cell =
            tree->TreeModel()->IndexOfRow(0, data->FieldIndex(column->FieldName()));
        tree->setCurrentIndex(cell);
        tree->edit(cell);
        QApplication::processEvents();
        return tree->viewport()->findChild<TVoskEdit*>(column->objectName());
    };
    TVoskEdit* edit = editorOf(ort);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->Buttons().Count(), 1);
    edit->Buttons().Action(0)->trigger();
    EXPECT_EQ(f->F2Clicks, QList<QObject*>{edit});
    tree->EndEdit(false);
    QApplication::processEvents();
    edit = editorOf(plz);
    ASSERT_TRUE(edit);
    // The tree looks up for its editor, as the form passes it the typed keys.
    EXPECT_TRUE(tree->HasFastLookup());
    EXPECT_TRUE(edit->FastF2Query().isEmpty());
    tree->EndEdit(false);
    data->Cancel();
}

// A column that names a record of a link module: its header is marked after the start, and its
// cells' context menu opens the module on the cell's value. Columns without one keep the
// parent's menu.
TEST_F(ComponentsTest, LinkColumnsAreMarkedAndTheirCellsOpenTheirModules) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO linkmodule (lm_keyfield, lm_formclassname, lm_tablename, lm_caption, "
        "lm_order) VALUES ('Name', 'TFormAdress', 'adressen', 'Adressen', 1), "
        "('name', 'TFormListe', 'adressen', 'Adressliste', 2), "
        "('kein_feld', 'TFormX', 'adressen', 'Nirgends', 1)"));
    const auto cleanup = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral("DELETE FROM linkmodule WHERE lm_formclassname IN "
                                          "('TFormAdress', 'TFormListe', 'TFormX')"));
    });
    testsupport::ModuleStarts starts;
    QStringList& started = starts.started;

    TVoskDBGrid2* grid = nullptr;
    TVoskDBTreeView2* tree = nullptr;
    TVoskClass2 *data = nullptr, *treeData = nullptr;
    TFormStartTest* f = Make([&](TFormStartTest* f) {
        // The grid's class opens only after the start: the marks wait for its fields.
        data = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DataGrid"));
        data->SetSqlTable(QStringLiteral("adressen"));
        data->SetQuerySql(
            QStringLiteral("SELECT dbrid, name, ort FROM adressen ORDER BY dbrid LIMIT 3"));
        grid = Vcl::Owned(f, new TVoskDBGrid2(f->ClientArea()), QStringLiteral("Grid"));
        grid->SetDataClass(data);
        treeData = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DataTree"));
        treeData->SetSqlTable(QStringLiteral("adressen"));
        treeData->SetQuerySql(
            QStringLiteral("SELECT dbrid, name, ort FROM adressen ORDER BY dbrid LIMIT 3"));
        treeData->Open();
        tree = Vcl::Owned(f, new TVoskDBTreeView2(f->ClientArea()), QStringLiteral("Tree"));
        tree->SetDataClass(treeData);
    });
    data->Open();
    ASSERT_GE(data->RecordCount(), 2);
    const int nameCol = data->FieldIndex(QStringLiteral("name"));
    const int ortCol = data->FieldIndex(QStringLiteral("ort"));
    auto underlined = [](QAbstractItemModel* m, int col) {
        return m->headerData(col, Qt::Horizontal, Qt::FontRole).value<QFont>().underline();
    };
    for (QAbstractItemModel* m : {static_cast<QAbstractItemModel*>(grid->model()), tree->model()}) {
        EXPECT_TRUE(underlined(m, nameCol));
        EXPECT_FALSE(underlined(m, ortCol));
        EXPECT_FALSE(underlined(m, data->FieldIndex(QStringLiteral("dbrid"))));
        EXPECT_TRUE(m->headerData(nameCol, Qt::Horizontal, Qt::ToolTipRole)
                        .toString()
                        .endsWith(QStringLiteral("Adressen, Adressliste")));
        EXPECT_EQ(m->headerData(ortCol, Qt::Horizontal, Qt::ToolTipRole).toString(),
                  QStringLiteral("ort"));
    }

    f->show();
    auto rightClick = [&](int row, int col) {
        const QPoint at = grid->visualRect(grid->model()->index(row, col)).center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
        e.ignore();
        QApplication::sendEvent(grid->viewport(), &e);
        return e.isAccepted();
    };
    EXPECT_FALSE(rightClick(1, ortCol));
    EXPECT_FALSE(grid->LinkColumns().Menu());
    ASSERT_TRUE(rightClick(1, nameCol));
    EXPECT_EQ(data->RecNo(), 2); // the clicked row became current
    TVoskPopupMenu* menu = grid->LinkColumns().Menu();
    ASSERT_TRUE(menu && menu->isVisible());
    const QString name = data->FieldByName(QStringLiteral("name")).AsString().trimmed();
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Adressen: ") + name,
                                  QStringLiteral("Adressliste: ") + name}));
    menu->actions().value(0)->trigger();
    menu->close();
    EXPECT_EQ(started, QStringList{QStringLiteral("TFormAdress:Name=") + name});
}

TEST_F(ComponentsTest, GridsOverRecordParametersOfferThemAsAPivotViewInTheirRowMenu) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO recnogroup (reg_pname, reg_tablename) VALUES ('Farbe', 'adressen'), "
        "('Gewicht', 'adressen');"
        "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_reg_pname, r_value) "
        "SELECT 'adressen', dbrid, 'Farbe', 'rot' FROM adressen WHERE name = 'Adresse 01' "
        "UNION ALL SELECT 'adressen', dbrid, 'Gewicht', '12' FROM adressen WHERE name = 'Adresse 01' "
        "UNION ALL SELECT 'adressen', dbrid, 'Farbe', 'blau' FROM adressen WHERE name = 'Adresse 02'"));
    const auto cleanup = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM recnokeyword; DELETE FROM recnogroup WHERE reg_pname IN "
            "('Farbe', 'Gewicht')"));
    });
    TLogSink::Clear();
    TVoskDBGrid2 *joined = nullptr, *renamed = nullptr, *plain = nullptr;
    TFormStartTest* f = Make([&](TFormStartTest* f) {
        auto grid = [f](const char* name, const QString& sql) {
            auto* data = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("Data") + name);
            data->SetSqlTable(QStringLiteral("adressen"));
            data->SetQuerySql(sql);
            data->Open();
            auto* g = Vcl::Owned(f, new TVoskDBGrid2(f->ClientArea()), QString::fromLatin1(name));
            g->SetDataClass(data);
            f->ClientLayout()->addWidget(g);
            return g;
        };
        joined = grid("GridJoined",
                      QStringLiteral("SELECT a.dbrid, a.name, p.recnoparam_params FROM adressen a "
                                     "LEFT JOIN TRecNoParam.pivot__by__dbrid('adressen') p "
                                     "ON p.recnoparam_dbrid = a.dbrid ORDER BY a.name LIMIT 3"));
        // The parameters' key column renamed: the record-parameter class attaches them.
        renamed = grid("GridRenamed",
                       QStringLiteral("SELECT a.dbrid, a.name FROM adressen a LEFT JOIN "
                                      "TRecNoParam.pivot__by__dbrid('adressen') p(id, params) "
                                      "ON p.id = a.dbrid ORDER BY a.name LIMIT 3"));
        plain = grid("GridPlain", QStringLiteral("SELECT dbrid, name FROM adressen LIMIT 3"));
    });
    auto* joinedData = qobject_cast<TVoskClass2*>(joined->DataClass());
    ASSERT_TRUE(joined->LinkColumns().Menu());
    EXPECT_TRUE(joined->LinkColumns().Menu()->RecNoParamPivot());
    EXPECT_FALSE(joinedData->AutoRecNoParamClass());
    EXPECT_TRUE(TLogSink::Contains(Vcl::FullName(joined) +
                                   QStringLiteral(": TRecNoParam-PivotView is enabled")));
    ASSERT_TRUE(renamed->LinkColumns().Menu());
    EXPECT_TRUE(renamed->LinkColumns().Menu()->RecNoParamPivot());
    EXPECT_TRUE(qobject_cast<TVoskClass2*>(renamed->DataClass())->AutoRecNoParamClass());
    EXPECT_FALSE(plain->LinkColumns().Menu());
    EXPECT_FALSE(TLogSink::Contains(Vcl::FullName(plain) +
                                    QStringLiteral(": TRecNoParam-PivotView is enabled")));

    // The user right-clicks a row (no link column) and picks the pivot view.
    f->show();
    QApplication::processEvents();
    const int nameCol = joinedData->FieldIndex(QStringLiteral("name"));
    const QPoint at = joined->visualRect(joined->model()->index(1, nameCol)).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, joined->viewport()->mapToGlobal(at));
    e.ignore();
    QApplication::sendEvent(joined->viewport(), &e);
    ASSERT_TRUE(e.isAccepted());
    TVoskPopupMenu* menu = joined->LinkColumns().Menu();
    ASSERT_TRUE(menu->isVisible());
    QAction* pivot = menu->findChild<QAction*>(QStringLiteral("miRecNoParamPivot"));
    ASSERT_TRUE(pivot && menu->actions().contains(pivot));
    EXPECT_EQ(pivot->text(), QStringLiteral("Eigenschaften als Pivot-Ansicht"));
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QApplication::processEvents();
    TFormRecNoParamPivot* view = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<TFormRecNoParamPivot*>(w); v && v->isVisible())
            view = v;
    ASSERT_TRUE(view);
    const auto guardView = qScopeGuard([view] { delete view; });
    EXPECT_EQ(view->windowTitle(), QStringLiteral("Eigenschaften - Pivot-Ansicht"));
    QTableWidget* t = view->GridPivot;
    ASSERT_EQ(t->columnCount(), 3);
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), QStringLiteral("Farbe"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QStringLiteral("Gewicht"));
    ASSERT_EQ(t->rowCount(), 3);
    auto cell = [t](int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); };
    EXPECT_EQ(cell(0, 1), QStringLiteral("rot"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("12"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("blau"));
    EXPECT_EQ(cell(1, 2), QString());
    EXPECT_EQ(cell(2, 1), QString());
}

TEST_F(ComponentsTest, WalkStartsEachOnceAndSurvivesChangesMeanwhile) {
    TRefreshProbe *a = nullptr, *b = nullptr, *c = nullptr;
    QPointer<TRefreshProbe> made;
    int madeStarts = 0;
    TFormStartTest* f = Make([&](TFormStartTest* f) {
        a = new TRefreshProbe(f, QStringLiteral("A"));
        b = new TRefreshProbe(f, QStringLiteral("B"));
        c = new TRefreshProbe(f, QStringLiteral("C"));
        // A's start frees B and moves itself behind C; a component made meanwhile starts too.
        a->OnStart = [f, &b, a, &made, &madeStarts] {
            delete b;
            b = nullptr;
            Vcl::SetOwner(a, f);
            if (!made) {
                made = new TRefreshProbe(f, QStringLiteral("D"));
                made->OnStart = [&madeStarts] { ++madeStarts; };
            }
        };
        // C's start fails: logged, and the walk goes on.
        c->OnStart = [] { throw EVoskException(QStringLiteral("kaputt")); };
    });
    EXPECT_EQ(a->Started, 1);
    EXPECT_EQ(c->Started, 1);
    EXPECT_EQ(madeStarts, 1);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("StartVoskComponent: C")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("StartVoskComponent: TFormStartTest")));
    Q_UNUSED(f);
}

TEST_F(ComponentsTest, FailingF2QueryIsLoggedAndTheFormOpens) {
    TestDatabase::Exec(QStringLiteral("ALTER TABLE f2poss RENAME TO f2poss_weg"));
    TFormStartTest* f = nullptr;
    EXPECT_NO_THROW(f = Make([](TFormStartTest* f) {
        Vcl::Owned(f, new TVoskEdit(f->ClientArea()), QStringLiteral("EdOrt"));
    }));
    TestDatabase::Exec(QStringLiteral("ALTER TABLE f2poss_weg RENAME TO f2poss"));
    ASSERT_TRUE(f);
    EXPECT_EQ(Edit(f, "EdOrt")->Buttons().Count(), 0);
}

TEST_F(ComponentsTest, PageControlReopensTheUsersPageAndKeepsIt) {
    auto build = [](TFormStartTest* f) {
        auto* pc = Vcl::Owned(f, new TVoskPageControl2(f->ClientArea()), QStringLiteral("Seiten"));
        for (const char* name : {"Eins", "Zwei", "Drei"}) {
            auto* p = new QWidget(pc);
            p->setObjectName(QString::fromLatin1(name));
            pc->addTab(p, QString::fromLatin1(name));
        }
    };
    TFormStartTest* f = Make(build);
    auto* pc = qobject_cast<TVoskPageControl2*>(Vcl::FindComponent(f, QStringLiteral("Seiten")));
    EXPECT_EQ(pc->currentIndex(), 0);
    EXPECT_TRUE(pc->DataChangeRegistered());
    pc->setCurrentIndex(2);
    f->PrepareDestruction(); // as a closed window goes: its page is kept
    delete f;
    TFormStartTest* again = Make(build);
    auto* pc2 = qobject_cast<TVoskPageControl2*>(Vcl::FindComponent(again, QStringLiteral("Seiten")));
    EXPECT_EQ(pc2->currentIndex(), 2);
}

TEST_F(ComponentsTest, CoordinatorsAndTextsAreStarted) {
    QList<QObject*> owners;
    TQ32Control::ControlWindowFactory.Set([&owners](QObject* owner) {
        owners << owner;
        return new QWidget;
    });
    TQ32Control* q32 = nullptr;
    TDBText* text = nullptr;
    Make([&](TFormStartTest* f) {
        q32 = new TQ32Control(f);
        text = Vcl::Owned(f, new TDBText(f->ClientArea()), QStringLiteral("TextName"));
    });
    TQ32Control::ControlWindowFactory.Reset();
    EXPECT_EQ(owners, QList<QObject*>{q32});
    EXPECT_TRUE(q32->ControlWindow());
    EXPECT_TRUE(text->Transparent());
    delete q32->ControlWindow();

    // Without the special-function package the window is explained, not silently missing.
    TQ32Control lone;
    m_answers.Expect(QStringLiteral("nicht zur Verfügung"), Vcl::mrOk);
    lone.ShowControlWindow();
}

// ---- settings walks ------------------------------------------------------------------------

TEST_F(ComponentsTest, SettingsWalkReachesEachComponentOnceLastFirst) {
    QStringList calls;
    Make([&calls](TFormStartTest* f) {
        auto* tabs = new QTabWidget(f->ClientArea());
        f->ClientLayout()->addWidget(tabs);
        auto* page = new QWidget(tabs);
        tabs->addTab(page, QStringLiteral("Seite"));
        new TSettingsProbe(f, page, QStringLiteral("FrameOnPage"), &calls);
        new TSettingsProbe(f, f->ClientArea(), QStringLiteral("FrameDirect"), &calls);
        new TNonWidgetSettings(f, QStringLiteral("First"), &calls);
        new TNonWidgetSettings(f, QStringLiteral("Last"), &calls);
    });
    TFormStartTest* f = qobject_cast<TFormStartTest*>(m_forms.last().data());
    f->LoadComponentSettings(f, f);
    // Controls first (depth first, last child first), then the other components last to first.
    EXPECT_EQ(calls, (QStringList{QStringLiteral("load FrameDirect"),
                                  QStringLiteral("load FrameOnPage"), QStringLiteral("load Last"),
                                  QStringLiteral("load First")}));
    calls.clear();
    Vcl::TCloseAction action = Vcl::caHide;
    f->FormClose(f, action);
    EXPECT_EQ(calls.size(), 4);
    EXPECT_TRUE(calls.contains(QStringLiteral("save FrameOnPage")));
}

// ---- admin state ---------------------------------------------------------------------------

TEST_F(ComponentsTest, AdminRightsShowAndHideButtonsInEveryOpenWindow) {
    TFormKorvexGundForm::ModulInitialize(nullptr);
    auto* one = Track(TFormKorvexGundForm::Create<TFormRechteTest>(nullptr));
    auto* two = Track(TFormKorvexGundForm::Create<TFormRechteTest>(nullptr));
    for (auto* f : {one, two}) {
        UModulForm::ShowModulForm(f);
    }
    QApplication::processEvents();
    for (auto* f : {one, two}) {
        EXPECT_TRUE(f->TopLabel->BtTools->isHidden());
        EXPECT_TRUE(f->TopLabel->PrintBt->isHidden());
        EXPECT_TRUE(f->TopLabel->InfoBt->isHidden());
        EXPECT_TRUE(f->TopLabel->bvPrintBar->isHidden());
    }
    s_dm->SetIsAdmin(true);
    for (auto* f : {one, two}) {
        EXPECT_FALSE(f->TopLabel->BtTools->isHidden());
        EXPECT_FALSE(f->TopLabel->bvBtTools->isHidden());
        EXPECT_FALSE(f->TopLabel->PrintBt->isHidden());
        EXPECT_FALSE(f->TopLabel->PrintBtFullAuto->isHidden());
        EXPECT_FALSE(f->TopLabel->PrintBar->isHidden());
        EXPECT_FALSE(f->TopLabel->InfoBt->isHidden());
        EXPECT_FALSE(f->TopLabel->BtSettingsModul->isHidden());
        EXPECT_FALSE(f->PageFrame->BtSettingsModul->isHidden()) << "a page's frame as well";
    }
    s_dm->SetIsAdmin(false);
    for (auto* f : {one, two}) {
        EXPECT_TRUE(f->TopLabel->BtTools->isHidden());
        EXPECT_TRUE(f->TopLabel->InfoBt->isHidden());
        EXPECT_TRUE(f->TopLabel->BtSettingsModul->isHidden());
        EXPECT_TRUE(f->PageFrame->BtSettingsModul->isHidden());
    }
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("ReloadCompSettings(ADMIN): TFormRechteTest")));
    TFormKorvexGundForm::ModulFinalize();
}

TEST_F(ComponentsTest, NonAdminSeesPrintAndInfoOnlyWithTheirRows) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO reports (r_descr, r_modulname) VALUES ('Liste', 'tformrechtetest'); "
        "INSERT INTO modul_field (modulname, feldname) VALUES ('TFormRechteTest', 'infobt')"));
    auto* with = Track(TFormKorvexGundForm::Create<TFormRechteTest>(nullptr));
    UModulForm::ShowModulForm(with);
    QApplication::processEvents();
    EXPECT_FALSE(with->TopLabel->PrintBt->isHidden());
    EXPECT_FALSE(with->TopLabel->bvPrintBar->isHidden());
    EXPECT_FALSE(with->TopLabel->InfoBt->isHidden());
    EXPECT_TRUE(with->TopLabel->BtTools->isHidden());

    // The address module has no report row; its own print handler shows the buttons.
    TFormAdress* adr = Open();
    EXPECT_FALSE(adr->TopLabel->PrintBt->isHidden());
    EXPECT_TRUE(adr->TopLabel->InfoBt->isHidden());
    // A header with a data class always has its tools.
    EXPECT_FALSE(adr->TopLabel->BtTools->isHidden());
}

// ---- special functions and the settings button -----------------------------------------------

TEST_F(ComponentsTest, CaptionButtonsOnlyForMenuButtonRows) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO sondfunc (sf_sqltable, sf_txtnr, sf_menubutton, sf_sql) VALUES "
        "('adressen', 3892, true, 'SELECT 1'), ('adressen', 4130, false, 'SELECT 1'), "
        "('andere', 3892, true, 'SELECT 1')"));
    TFormAdress* f = Open();
    const auto buttons = f->TopLabel->SondFuncButtons();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_FALSE(buttons.first()->isHidden());
    EXPECT_FALSE(buttons.first()->toolTip().isEmpty());
    EXPECT_FALSE(buttons.first()->accessibleName().isEmpty());
    // Starting again keeps one button.
    f->StartVoskComponent(f, nullptr);
    EXPECT_EQ(f->TopLabel->SondFuncButtons().size(), 1);
}

// A project-structure frame that notes what its class holds when it is told.
class TProjStructureProbe final : public QFrame, public IVoskProjStructure {
public:
    QStringList Seen;
    void ProjStructureRefresh(TVoskClass* data) override {
        Seen << data->FieldByName(QStringLiteral("ort")).AsString();
    }
};

TEST_F(ComponentsTest, SondFuncClickAsksRunsBoundAndRefreshes) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO sondfunc (dbrid, sf_sqltable, sf_txtnr, sf_menubutton, sf_sql) VALUES "
        "(501, 'adressen', 3892, true, 'UPDATE adressen SET ort = upper(ort) || :EdTelefon "
        "WHERE dbrid = :dbrid')"));
    TFormAdress* f = Open();
    const qint64 id = CurrentId(f);
    const QString before = DbValue(QStringLiteral("ort"), id);
    TVoskButton2* b = f->TopLabel->SondFuncButtons().value(0);
    ASSERT_TRUE(b);
    auto* structure = new TProjStructureProbe;
    structure->setParent(f);
    ASSERT_TRUE(f->TopLabel->GetCurrentClass());
    f->TopLabel->GetCurrentClass()->_FrameProjStructure = structure;

    m_answers.Expect(QStringLiteral("Sonderfunktion ausführen?"), Vcl::mrNo);
    f->TopLabel->SondFuncClick(b);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), before);
    EXPECT_TRUE(structure->Seen.isEmpty());

    f->EdTelefon->setText(QStringLiteral("-x"));
    m_answers.Expect(QStringLiteral("Sonderfunktion ausführen?"), Vcl::mrYes);
    f->TopLabel->SondFuncClick(b);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), before.toUpper() + QStringLiteral("-x"));
    // The refresh shows what the function wrote, and the project structure is told after it.
    EXPECT_EQ(f->EdOrt->text(), before.toUpper() + QStringLiteral("-x"));
    EXPECT_EQ(structure->Seen, QStringList{before.toUpper() + QStringLiteral("-x")});
    TestDatabase::Exec(QStringLiteral("UPDATE adressen SET ort = '%1' WHERE dbrid = %2")
                           .arg(before).arg(id));
}

TEST_F(ComponentsTest, SondFuncFailuresChangeNothing) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO sondfunc (dbrid, sf_sqltable, sf_txtnr, sf_menubutton, sf_sql, sf_rtf) VALUES "
        "(601, 'adressen', 3892, false, 'UPDATE adressen SET ort = ''A'' WHERE dbrid = :dbrid; "
        "SELECT 1/0', NULL), "
        "(602, 'adressen', 3892, false, 'UPDATE adressen SET ort = ''B'' WHERE dbrid = :dbrid', 7)"));
    TFormAdress* f = Open();
    const qint64 id = CurrentId(f);
    const QString before = DbValue(QStringLiteral("ort"), id);
    TVoskMenuItem item;
    item.SetDataValue(601);
    m_answers.Expect(QStringLiteral("Sonderfunktion ausführen?"), Vcl::mrYes);
    m_answers.Expect(QStringLiteral("nichts geändert"), Vcl::mrOk);
    EXPECT_THROW(f->TopLabel->SondFuncClick(&item), EAbort);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), before);

    // A report function whose run-time form is not closed with OK stops before its SQL.
    ExecRtfProc = [](TExecRTFResult& r, QStringList&, QWidget*) { r.ModalResult = Vcl::mrCancel; };
    item.SetDataValue(602);
    f->TopLabel->SondFuncClick(&item);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), before);
    ExecRtfProc = [](TExecRTFResult& r, QStringList&, QWidget*) { r.ModalResult = Vcl::mrOk; };
    f->TopLabel->SondFuncClick(&item);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), QStringLiteral("B"));
    ExecRtfProc = nullptr;
    TestDatabase::Exec(QStringLiteral("UPDATE adressen SET ort = '%1' WHERE dbrid = %2")
                           .arg(before).arg(id));

    // A function removed meanwhile, and senders that carry no function.
    item.SetDataValue(999);
    m_answers.Expect(QStringLiteral("gibt es nicht mehr"), Vcl::mrOk);
    EXPECT_THROW(f->TopLabel->SondFuncClick(&item), EAbort);
    TVoskMenuItem empty;
    EXPECT_THROW(f->TopLabel->SondFuncClick(&empty), EVoskException);
    EXPECT_THROW(f->TopLabel->SondFuncClick(f), EVoskException);
}

TEST_F(ComponentsTest, SettingsButtonFollowsRowsPopupAndRights) {
    TFormAdress* f = Open();
    TSettingsModul* s = f->TopLabel->SettingsModul();
    EXPECT_EQ(s->SettingsName(), QStringLiteral("TFormAdress"));
    EXPECT_FALSE(s->SettingsExists());
    EXPECT_FALSE(s->GetButtonVisible());
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settingsdyn (sd_type, sd_config) VALUES "
        "('MenuItem', E'[Modul_Settings]\\nName=TFormAdress'), ('menuitem', 'keine INI'), "
        "('menuitem', E'[modul_settings]\\nname=TFormAdress'), ('menuitem', NULL)"));
    TestDatabase::Exec(QStringLiteral("UPDATE settingsdyn SET sd_deleted = true WHERE sd_config "
                                      "= E'[modul_settings]\\nname=TFormAdress'"));
    // The session reads the settings rows once; a refresh of the table reads them again.
    EXPECT_FALSE(s->SettingsExists());
    TVoskDM_Dunmere::Instance()->RefreshCache(QStringLiteral("SettingsDyn"), false);
    // INI keys and sections ignore case; text that is no INI gives NULL, never an error.
    EXPECT_TRUE(s->SettingsExists());
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM settingsdyn WHERE "
                  "TSystem.INI_GetValue(sd_config, 'modul_settings', 'name') IS NULL")),
              QStringLiteral("2"));
    EXPECT_TRUE(s->GetButtonVisible());

    // The button opens the popup once extended by the settings item.
    TVoskPopupMenu popup;
    s->SetOptionalPopup(&popup);
    s->DoButtonClick(f->TopLabel->BtSettingsModul);
    s->DoButtonClick(f->TopLabel->BtSettingsModul);
    ASSERT_TRUE(s->SettingsItem());
    EXPECT_EQ(popup.actions().size(), 2); // separator and item, once
    popup.hide();
    s->SetOptionalPopup(nullptr);

    // Only frames carry the button; anything else is refused in every build.
    QWidget plain;
    EXPECT_THROW(TSettingsModul{&plain}, Rtl::EAssertionFailed);
    EXPECT_THROW(s->Assign(&plain), EConvertError);
}

TEST_F(ComponentsTest, ModuleStartFocusesTheMainControl) {
    TFormAdress* f = Open();
    TQ32Control* q32 = TQ32Control::Of(f->DataAdressen);
    ASSERT_TRUE(q32);
    EXPECT_TRUE(q32->isRegistered(f->EdName));
    EXPECT_FALSE(q32->isRegistered(f->EdOrt));
    EXPECT_TRUE(q32->MainCtrlFocus());
    EXPECT_EQ(f->focusWidget(), f->EdName);
}

} // namespace

#include "ComponentsTest.moc"
