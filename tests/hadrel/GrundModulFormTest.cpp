#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "UGrundModulForm.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "TVoskClass.h"
#include "VoskControls.h"
#include "VoskTimer.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTest>

using namespace UGrundModulForm;

class TFormSample final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    using TFormKorvexGundForm::TFormKorvexGundForm;
};

// Counts its own FormDestroy, which the base destructor could never reach.
class TFormCounting final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    using TFormKorvexGundForm::TFormKorvexGundForm;
    void FormDestroy(QObject* sender) override {
        ++destroyed;
        TFormKorvexGundForm::FormDestroy(sender);
    }
    static inline int destroyed = 0;
};

class TFormBroken final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormBroken(QObject* owner) : TFormKorvexGundForm(owner) {
        PanelToolbars->setVisible(true);
    }
};

class TFormEmbedding final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    explicit TFormEmbedding(QObject* owner) : TFormKorvexGundForm(owner) {
        auto* inner = new TFormKorvexGundForm(this, this);
        Vcl::SetOwner(inner, this);
        inner->setObjectName(QStringLiteral("Inner"));
        innerHint = Vcl::Owned(inner, new QWidget(inner), QStringLiteral("InnerHint"));
        innerHint->setToolTip(QStringLiteral("xtt900"));
        outerHint = Vcl::Owned(this, new QWidget(this), QStringLiteral("OuterHint"));
        outerHint->setToolTip(QStringLiteral("xtt900"));
    }
    QWidget* innerHint;
    QWidget* outerHint;
};

class TFormAdress final : public TFormKorvexGundForm {
    Q_OBJECT
public:
    using TFormKorvexGundForm::TFormKorvexGundForm;
};


namespace {

TPositionInput Input(int mainWidth, int mainHeight) {
    TPositionInput in;
    in.geometry = QRect(10, 10, 567, 479);
    in.mainFormSize = QSize(mainWidth, mainHeight);
    in.mainClientHeight = mainHeight - 40;
    return in;
}

QString Key(const QString& name) { return SessionRegistryBase() + QStringLiteral("Module\\") + name; }

} // namespace

TEST(FormPositionTest, DefaultSizingFollowsMainFormSize) {
    auto in = Input(1200, 900);
    in.horzScrollRange = 300;
    TPositionResult r = ComputeFormPosition(in);
    EXPECT_TRUE(r.defaultSizing);
    EXPECT_EQ(r.geometry.width(), 1150);
    EXPECT_EQ(r.geometry.height(), 900 - 40 - 25);
    EXPECT_EQ(r.position, Vcl::poDefaultPosOnly);

    in.horzScrollRange = 1400; // content wider than the table's value
    EXPECT_EQ(ComputeFormPosition(in).geometry.width(), 1450);
    EXPECT_EQ(ComputeFormPosition(Input(1500, 1200)).geometry.width(), 1300);
    EXPECT_EQ(ComputeFormPosition(Input(1500, 1200)).geometry.height(), 1000);
    EXPECT_EQ(ComputeFormPosition(Input(1000, 1000)).geometry.width(), 940);
    EXPECT_EQ(ComputeFormPosition(Input(1000, 1000)).geometry.height(), 850);

    in = Input(1200, 1000);
    in.position = Vcl::poMainFormCenter;
    in.ribbonHeight = 100;
    EXPECT_EQ(ComputeFormPosition(in).geometry.height(), 750);

    in = Input(1200, 900);
    in.mdiChild = true;
    r = ComputeFormPosition(in);
    EXPECT_EQ(r.geometry.topLeft(), QPoint(0, 0));
    EXPECT_EQ(r.position, Vcl::poDefault);
}

TEST(FormPositionTest, StoredValuesAndParameters) {
    auto in = Input(1200, 900);
    in.stored.top = 40;
    in.stored.left = 50;
    in.stored.width = 800;
    TPositionResult r = ComputeFormPosition(in);
    EXPECT_FALSE(r.defaultSizing);
    EXPECT_EQ(r.position, Vcl::poDefault);
    EXPECT_EQ(r.geometry, QRect(50, 40, 800, 479));

    // Without a stored top the default table applies, but the opener's values win.
    in = Input(1200, 900);
    in.stored.left = 70;
    in.parWidth = 640;
    in.parTop = 5;
    r = ComputeFormPosition(in);
    EXPECT_TRUE(r.defaultSizing);
    EXPECT_EQ(r.geometry.width(), 640);
    EXPECT_EQ(r.geometry.top(), 5);
    EXPECT_EQ(r.geometry.left(), 70);

    in = Input(1200, 900);
    in.stored.top = 1;
    in.stored.width = 0; // a zero size from a damaged registry is ignored
    EXPECT_EQ(ComputeFormPosition(in).geometry.width(), 567);
}

TEST(FormPositionTest, CorrectedRectLandsInsideArea) {
    const QRect area(0, 0, 1000, 800);
    EXPECT_EQ(Korvexcommonvcl::CorrectedWindowRect(QRect(5000, -300, 400, 300), area, false),
              QRect(600, 0, 400, 300));
    EXPECT_EQ(Korvexcommonvcl::CorrectedWindowRect(QRect(0, 0, 1400, 300), area, false),
              QRect(0, 0, 1000, 300));
    EXPECT_EQ(Korvexcommonvcl::CorrectedWindowRect(QRect(-50, 0, 1400, 300), area, true).width(),
              1400);
}

class GrundModulFormTest : public FrameworkTest {
protected:
    void TearDown() override {
        SimpleStyle = false;
        _MaxWindows = false;
        UpdateModuleIconProc = nullptr;
        TVoskClass::AliasHook.Reset();
        QApplication::processEvents();
    }
    static void CloseAndFlush(TFormKorvexGundForm* f) {
        QPointer<TFormKorvexGundForm> p(f);
        f->Close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(p.isNull()) << "a closed base form frees itself";
    }
    bool RegistryHasValues() const {
        Vcl::TRegistry reg;
        return reg.KeyExists(SessionRegistryBase() + QStringLiteral("Module"));
    }
};

TEST_F(GrundModulFormTest, SavesAndLoadsPositionUnderUndockedPrefix) {
    auto* f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    ASSERT_TRUE(f->ToolForm);
    EXPECT_EQ(f->FocusTimer->interval(), 100);
    EXPECT_EQ(f->PanelToolbars->parentWidget(), f->ToolForm.data());
    f->show();
    EXPECT_EQ(f->FPositionLoadName, QStringLiteral("TFormSample"));
    f->move(120, 80);
    f->resize(610, 420);
    CloseAndFlush(f);

    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(Key(QStringLiteral("TFormSample"))));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Top")), 80);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Left")), 120);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Width")), 610);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Height")), 420);
    EXPECT_FALSE(reg.ReadBool(QStringLiteral("ausgedockt_Maximized")));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Top")));
    reg.CloseKey();

    f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    f->show();
    EXPECT_EQ(f->pos(), QPoint(120, 80));
    EXPECT_EQ(f->size(), QSize(610, 420));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral(
        "TFormKorvexGundForm.LoadPosition(True): TFormSample FormStyle=fsNormal "
        "SimpleStyle=False LoadLastScreenPosition=True")));
    CloseAndFlush(f);
}

TEST_F(GrundModulFormTest, MaximizedWindowStoresOffsetAndKeepsSize) {
    {
        Vcl::TRegistry reg;
        reg.OpenKey(Key(QStringLiteral("TFormSample")), true);
        reg.WriteInteger(QStringLiteral("ausgedockt_Top"), 100);
        reg.WriteInteger(QStringLiteral("ausgedockt_Left"), 200);
        reg.WriteInteger(QStringLiteral("ausgedockt_Width"), 700);
        reg.WriteInteger(QStringLiteral("ausgedockt_Height"), 500);
        reg.CloseKey();
    }
    auto* f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    f->show();
    f->SetWindowState(Vcl::wsMaximized);
    QApplication::processEvents();
    const QPoint at = f->pos();
    CloseAndFlush(f);

    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(Key(QStringLiteral("TFormSample"))));
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("ausgedockt_Maximized")));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Top")), at.y() + 30);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Left")), at.x() + 30);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Width")), 700);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Height")), 500);
}

TEST_F(GrundModulFormTest, DialogsNoSaveAndSimpleStyleTouchNoRegistry) {
    struct TDialogForm final : TFormKorvexGundForm {
        explicit TDialogForm(QObject* o) : TFormKorvexGundForm(o) { SetBorderStyle(Vcl::bsDialog); }
    };
    auto* d = TFormKorvexGundForm::Create<TDialogForm>(nullptr);
    EXPECT_FALSE(d->ToolForm);
    EXPECT_EQ(d->FocusTimer, nullptr);
    d->show();
    EXPECT_FALSE(d->FPositionLoaded);
    CloseAndFlush(d);

    auto* n = TFormKorvexGundForm::Create<TFormSample>(
        nullptr, {QStringLiteral("ModulPositionNoSave=True")});
    n->show();
    CloseAndFlush(n);

    SimpleStyle = true;
    struct TMdiForm final : TFormKorvexGundForm {
        explicit TMdiForm(QObject* o) : TFormKorvexGundForm(o) { SetFormStyle(Vcl::fsMDIChild); }
    };
    auto* m = TFormKorvexGundForm::Create<TMdiForm>(nullptr);
    m->show();
    CloseAndFlush(m);
    EXPECT_FALSE(RegistryHasValues());
    EXPECT_FALSE(QFile::exists(m_registry.FileName()) && RegistryHasValues());
}

TEST_F(GrundModulFormTest, BadRegistryValuesAreSkippedAndWindowLandsOnScreen) {
    {
        Vcl::TRegistry reg;
        reg.OpenKey(Key(QStringLiteral("TFormSample")), true);
        reg.WriteString(QStringLiteral("ausgedockt_Top"), QStringLiteral("oben"));
        reg.WriteInteger(QStringLiteral("ausgedockt_Left"), 90000);
        reg.WriteString(QStringLiteral("ausgedockt_Maximized"), QStringLiteral("ja"));
        reg.CloseKey();
    }
    auto* f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    f->show();
    EXPECT_NE(f->WindowState(), Vcl::wsMaximized);
    const QRect screen = f->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f->frameGeometry().topLeft())) << f->frameGeometry().x();
    CloseAndFlush(f);
}

TEST_F(GrundModulFormTest, CloseAsksOncePerPostableDataClassWithAlias) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS kunden (dbrid serial PRIMARY KEY, name text);"
        "CREATE TABLE IF NOT EXISTS posten (dbrid serial PRIMARY KEY, name text);"
        "INSERT INTO kunden (name) VALUES ('alt'); INSERT INTO posten (name) VALUES ('alt');"));
    TVoskClass::AliasHook.Set([](const QString& table) {
        return table == QLatin1String("kunden") ? QStringLiteral("Kunden") : QString();
    });
    auto* f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    auto open = [f](const QString& table, const QString& name, bool change) {
        auto* c = Vcl::Owned(f, new TVoskClass(f), name);
        c->SetSqlTable(table);
        c->SetKeyFieldName(QStringLiteral("dbrid"));
        c->Open();
        if (change) {
            c->Edit();
            c->SetValue(c->FieldIndex(QStringLiteral("name")), QStringLiteral("neu"));
        }
        return c;
    };
    open(QStringLiteral("kunden"), QStringLiteral("Kd"), true);
    open(QStringLiteral("posten"), QStringLiteral("Pos"), true);
    open(QStringLiteral("posten"), QStringLiteral("Unveraendert"), false);
    // Without an alias the table's name stands for it, never the component's.
    m_answers.Expect(QStringLiteral("Kunden: Änderungen speichern?"), Vcl::mrYes)
        .Expect(QStringLiteral("posten: Änderungen speichern?"), Vcl::mrNo);
    f->show();
    CloseAndFlush(f);
    EXPECT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT name FROM kunden")),
              QStringLiteral("neu"));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT name FROM posten")),
              QStringLiteral("alt"));
}

TEST_F(GrundModulFormTest, CreationRulesAndCleanUp) {
    try {
        TFormKorvexGundForm::Create<TFormBroken>(nullptr);
        ADD_FAILURE() << "a visible PanelToolbars must stop creation";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TFormKorvexGundForm.FormCreate: PanelToolbars."
                                              "Visible > muß in dfm inivisble, da Umsetzen von "
                                              "Parent"));
    }

    // The deferred call reaches the host once, and never a form freed before it ran.
    QList<QPointer<TFormKorvexGundForm>> called;
    UpdateModuleIconProc = [&](TFormKorvexGundForm* form) { called.append(form); };
    auto* kept = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    auto* gone = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    EXPECT_TRUE(called.isEmpty());
    TFormSample* pointsAtGone = static_cast<TFormSample*>(gone);
    gone->AddVariableOfMe(pointsAtGone);
    delete gone;
    EXPECT_EQ(pointsAtGone, nullptr);
    QApplication::processEvents();
    ASSERT_EQ(called.size(), 1);
    EXPECT_EQ(called[0].data(), kept);

    // The grid columns' lookup button is set; a sender outside any form is ignored.
    EXPECT_TRUE(bool(TVoskColumnHandler::F2ButtonCode));
    TVoskColumnHandler::F2ButtonCode(nullptr);

    // Embedded tool bar: no tool window, tool bar shown inside the form.
    auto* e = TFormKorvexGundForm::Create<TFormSample>(nullptr,
                                                       {QStringLiteral("EmbeddedToolForm=1")});
    EXPECT_FALSE(e->ToolForm);
    EXPECT_EQ(e->PanelToolbars->parentWidget(), e);
    EXPECT_FALSE(e->PanelToolbars->isHidden());
    delete e;
    delete kept;
}

TEST_F(GrundModulFormTest, CloseButtonMinimizesListedModules) {
    auto* f = TFormKorvexGundForm::Create<TFormSample>(nullptr);
    EXPECT_EQ(f->ToolButtonCloseModule->ImageIndex(), 0);
    auto* a = TFormKorvexGundForm::Create<TFormAdress>(nullptr);
    EXPECT_EQ(a->ToolButtonCloseModule->ImageIndex(), 317);
    EXPECT_EQ(a->ToolButtonCloseModule->toolTip(), QStringLiteral("Schließen (Minimieren)"));
    a->show();
    a->ToolButtonCloseModule->click();
    EXPECT_EQ(a->WindowState(), Vcl::wsMinimized);
    delete a;
    QPointer<TFormKorvexGundForm> p(f);
    f->show();
    f->ToolButtonCloseModule->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(p.isNull());
}

TEST_F(GrundModulFormTest, HintTranslation) {
    auto* f = TFormKorvexGundForm::Create<TFormEmbedding>(nullptr);
    // The marker's text keeps its semicolons.
    EXPECT_EQ(f->ToolButtonCloseModule->toolTip(), QStringLiteral("Modul schließen; sofort"));
    EXPECT_TRUE(Corvale::ShowHint(f->ToolButtonCloseModule));
    // Translated once: the text of 900 is itself a marker and stays as it is.
    EXPECT_EQ(f->outerHint->toolTip(), QStringLiteral("xtt901"));
    EXPECT_EQ(f->innerHint->toolTip(), QStringLiteral("xtt900"));
    delete f;

    EXPECT_EQ(TTranslationCombo::TranslateHint(QStringLiteral("Speichern; Schließen;Weiter")),
              QStringLiteral("Speichern\nSchließen\nWeiter"));
    EXPECT_EQ(TTranslationCombo::TranslateHint(QStringLiteral("xtt77777")), QStringLiteral("*"));
    QWidget plain;
    TTranslationCombo::SetComponentTranslation(&plain);
    EXPECT_TRUE(plain.toolTip().isEmpty());
    EXPECT_FALSE(Corvale::ShowHint(&plain));
}

TEST_F(GrundModulFormTest, PackageWritesLoadLogAndFillsErrorSlot) {
    TLogSink::Clear();
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    EXPECT_TRUE(TDM1::RaiseQ32ClientExceptionProc.Assigned());
    hadrel.Finalize();
    EXPECT_FALSE(TDM1::RaiseQ32ClientExceptionProc.Assigned());
    const QStringList lines = TLogSink::Lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("LOAD hadrel"))) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("UNLOAD hadrel")));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT string_agg(ll_tag, ',' ORDER BY ll_id) FROM loadlog")),
              QStringLiteral("LOAD,UNLOAD"));
}

#include "GrundModulFormTest.moc"

TEST_F(GrundModulFormTest, DerivedFormDestroyRunsOnceWhateverFreesTheForm) {
    TFormCounting::destroyed = 0;
    auto* closed = TFormKorvexGundForm::Create<TFormCounting>(nullptr);
    closed->show();
    CloseAndFlush(closed);
    EXPECT_EQ(TFormCounting::destroyed, 1);

    // Freed with its owner, or released: once each, never again by the destructor.
    auto* owner = new QObject;
    TFormKorvexGundForm::Create<TFormCounting>(owner);
    delete owner;
    EXPECT_EQ(TFormCounting::destroyed, 2);
    QPointer<TFormCounting> released = TFormKorvexGundForm::Create<TFormCounting>(nullptr);
    released->Release();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(released.isNull());
    EXPECT_EQ(TFormCounting::destroyed, 3);
}
