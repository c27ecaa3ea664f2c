// Loading and unloading packages whose requirements overlap, and packages with a broken unit.
#include "UnitTable.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

namespace {

QStringList g_log;
bool g_failInit = false;

// Trace lines of the packages whose names start with prefix, in the order they ran.
QStringList TraceOf(const QString& prefix) {
    QStringList lines;
    for (const QString& line : Rtl::UnitTrace())
        if (line.section(u' ', 1).startsWith(prefix))
            lines << line;
    return lines;
}

void Log(const char* what) { g_log << QString::fromLatin1(what); }

} // namespace

TEST(UnitLoad, DiamondRequirementsInitOnceAndFinalizeInExactReverse) {
    auto& base = Rtl::Package::Get("dia_base");
    base.AddUnit("UBase", [] { Log("+base"); }, [] { Log("-base"); });
    auto& left = Rtl::Package::Get("dia_left");
    left.Requires({"dia_base"});
    left.AddUnit("ULeft", [] { Log("+left"); }, [] { Log("-left"); });
    auto& right = Rtl::Package::Get("dia_right");
    right.Requires({"DIA_BASE"}); // package names are case-insensitive
    right.AddUnit("URight", [] { Log("+right"); }, [] { Log("-right"); });
    auto& top = Rtl::Package::Get("dia_top");
    top.Requires({"dia_left", "dia_right", "Dia_Left"});
    top.AddUnit("UTop1", [] { Log("+top1"); }, [] { Log("-top1"); });
    top.AddUnit("UTop2", [] { Log("+top2"); }, [] { Log("-top2"); });

    g_log.clear();
    top.Initialize();
    EXPECT_EQ(g_log, QStringList({"+base", "+left", "+right", "+top1", "+top2"}));
    EXPECT_EQ(base.UnitCounter("ubase"), 2);
    EXPECT_EQ(top.InitCount(), 1);
    EXPECT_EQ(&Rtl::Package::Get("DIA_TOP"), &top);
    EXPECT_TRUE(Rtl::Package::Exists("Dia_Top"));
    EXPECT_FALSE(Rtl::Package::Exists("dia_nirgends"));

    g_log.clear();
    top.Finalize();
    EXPECT_EQ(g_log, QStringList({"-top2", "-top1", "-right", "-left", "-base"}));
    EXPECT_EQ(TraceOf("dia_"),
              QStringList({"init dia_base.UBase", "init dia_left.ULeft", "init dia_right.URight",
                           "init dia_top.UTop1", "init dia_top.UTop2", "fini dia_top.UTop2",
                           "fini dia_top.UTop1", "fini dia_right.URight", "fini dia_left.ULeft",
                           "fini dia_base.UBase"}));
    for (auto* p : {&base, &left, &right, &top})
        for (const QString& unit : p->Units())
            EXPECT_EQ(p->UnitCounter(unit), 0) << unit.toStdString();
}

TEST(UnitLoad, ARequiredPackageLoadedOnItsOwnOutlivesTheOneThatNeedsIt) {
    auto& lib = Rtl::Package::Get("own_lib");
    lib.AddUnit("ULib", [] { Log("+lib"); }, [] { Log("-lib"); });
    auto& app = Rtl::Package::Get("own_app");
    app.Requires({"own_lib"});
    app.AddUnit("UApp", [] { Log("+app"); }, [] { Log("-app"); });

    g_log.clear();
    lib.Initialize();
    app.Initialize();
    app.Finalize();
    EXPECT_EQ(g_log, QStringList({"+lib", "+app", "-app"}));
    EXPECT_EQ(lib.UnitCounter("ULib"), 1);
    lib.Finalize();
    EXPECT_EQ(g_log.last(), "-lib");
}

TEST(UnitLoad, UnitsWithoutProceduresAreCountedButNotTraced) {
    auto& pkg = Rtl::Package::Get("bare_pkg");
    pkg.AddUnit("UNoInit", nullptr, [] { Log("-noinit"); });
    pkg.AddUnit("UNothing", nullptr, nullptr);
    g_log.clear();
    pkg.Initialize();
    EXPECT_EQ(pkg.UnitCounter("UNoInit"), 1);
    EXPECT_EQ(pkg.UnitCounter("unothing"), 1);
    EXPECT_TRUE(TraceOf("bare_").isEmpty());
    pkg.Finalize();
    EXPECT_EQ(g_log, QStringList({"-noinit"}));
    EXPECT_EQ(TraceOf("bare_"), QStringList({"fini bare_pkg.UNoInit"}));
    EXPECT_EQ(pkg.Units(), QStringList({"UNoInit", "UNothing"}));
}

// A unit whose initialization throws, as a module whose table is missing would: the load fails as
// a whole and leaves every counter as it was, so that a later load starts from scratch.
TEST(UnitLoad, AFailingInitializationUndoesTheLoad) {
    auto& base = Rtl::Package::Get("brk_base");
    base.AddUnit("UBase", [] { Log("+base"); }, [] { Log("-base"); });
    auto& pkg = Rtl::Package::Get("brk_pkg");
    pkg.Requires({"brk_base"});
    pkg.AddUnit("UFirst", [] { Log("+first"); }, [] { Log("-first"); });
    pkg.AddUnit(
        "UBroken",
        [] {
            Log("+broken");
            if (g_failInit)
                throw EVoskException(QStringLiteral("Tabelle fehlt"));
        },
        [] { Log("-broken"); });
    pkg.AddUnit("ULast", [] { Log("+last"); }, [] { Log("-last"); });

    g_log.clear();
    g_failInit = true;
    try {
        pkg.Initialize();
        FAIL() << "the broken unit was not reported";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Tabelle fehlt"));
    }
    EXPECT_EQ(g_log, QStringList({"+base", "+first", "+broken", "-first", "-base"}));
    EXPECT_EQ(pkg.InitCount(), 0);
    EXPECT_EQ(base.InitCount(), 0);
    for (const QString& unit : pkg.Units())
        EXPECT_EQ(pkg.UnitCounter(unit), 0) << unit.toStdString();
    EXPECT_EQ(base.UnitCounter("UBase"), 0);

    // Loaded again once the cause is gone, every unit runs, each once.
    g_log.clear();
    g_failInit = false;
    pkg.Initialize();
    EXPECT_EQ(g_log, QStringList({"+base", "+first", "+broken", "+last"}));
    g_log.clear();
    pkg.Finalize();
    EXPECT_EQ(g_log, QStringList({"-last", "-broken", "-first", "-base"}));
}

TEST(UnitLoad, AFailingFinalizationStillUnloadsTheRest) {
    auto& base = Rtl::Package::Get("fin_base");
    base.AddUnit("UBase", [] {}, [] { Log("-base"); });
    auto& pkg = Rtl::Package::Get("fin_pkg");
    pkg.Requires({"fin_base"});
    pkg.AddUnit("UFirst", [] {}, [] { Log("-first"); });
    pkg.AddUnit("UBroken", [] {}, [] {
        Log("-broken");
        throw EVoskException(QStringLiteral("Verbindung schon zu"));
    });
    pkg.AddUnit("ULast", [] {}, [] { Log("-last"); });
    pkg.Initialize();
    g_log.clear();
    try {
        pkg.Finalize();
        FAIL() << "the failing unit was not reported";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Verbindung schon zu"));
    }
    EXPECT_EQ(g_log, QStringList({"-last", "-broken", "-first", "-base"}));
    EXPECT_EQ(pkg.InitCount(), 0);
    EXPECT_EQ(base.InitCount(), 0);
    EXPECT_EQ(base.UnitCounter("UBase"), 0);
}

TEST(UnitLoad, AFailingLoadLeavesPackagesThatWereAlreadyLoadedAlone) {
    auto& shared = Rtl::Package::Get("keep_shared");
    shared.AddUnit("UShared", [] { Log("+shared"); }, [] { Log("-shared"); });
    auto& broken = Rtl::Package::Get("keep_broken");
    broken.Requires({"keep_shared"});
    broken.AddUnit("UBroken", [] { throw EVoskException(QStringLiteral("kaputt")); }, nullptr);

    g_log.clear();
    shared.Initialize();
    EXPECT_THROW(broken.Initialize(), EVoskException);
    EXPECT_EQ(g_log, QStringList({"+shared"}));
    EXPECT_EQ(shared.UnitCounter("UShared"), 1);
    EXPECT_EQ(shared.InitCount(), 1);
    broken.Finalize(); // never loaded: nothing to undo
    EXPECT_EQ(shared.UnitCounter("UShared"), 1);
    shared.Finalize();
    EXPECT_EQ(g_log, QStringList({"+shared", "-shared"}));
}

TEST(UnitLoad, ACycleIsReportedByNameAndDoesNotWedgeThePackages) {
    auto& a = Rtl::Package::Get("ring_a");
    auto& b = Rtl::Package::Get("ring_b");
    a.AddUnit("UA", [] { Log("+a"); }, [] { Log("-a"); });
    b.AddUnit("UB", [] { Log("+b"); }, [] { Log("-b"); });
    a.Requires({"ring_b"});
    b.Requires({"ring_a"});
    g_log.clear();
    try {
        a.Initialize();
        FAIL() << "cycle not refused";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("ring_a"))) << e.what();
    }
    EXPECT_TRUE(g_log.isEmpty());
    // Refused again, not "busy" forever, and b alone is refused the same way.
    EXPECT_THROW(a.Initialize(), EVoskException);
    EXPECT_THROW(b.Initialize(), EVoskException);
    EXPECT_EQ(a.UnitCounter("UA"), 0);
    EXPECT_EQ(b.UnitCounter("UB"), 0);
}

TEST(UnitLoad, RegistrationBeforeFirstUseCreatesThePackage) {
    // What KORVEX_UNIT does at static initialization, before anyone asked for the package.
    static const Rtl::UnitRegistration reg("static_pkg", "UStatic", [] { Log("+static"); },
                                           nullptr);
    ASSERT_TRUE(Rtl::Package::Exists("STATIC_PKG"));
    auto& pkg = Rtl::Package::Get("static_pkg");
    EXPECT_EQ(pkg.Name(), QStringLiteral("static_pkg"));
    EXPECT_EQ(pkg.Units(), QStringList({"UStatic"}));
    g_log.clear();
    pkg.Initialize();
    EXPECT_EQ(g_log, QStringList({"+static"}));
    pkg.Finalize();
}

// The IDE calls a package's Register once it is loaded: every unit's Register procedure, in unit
// order. A unit's library going away takes only its own entry, also when other units of the
// package have no procedures either.
TEST(UnitLoad, RegisterRunsTheUnitsRegisterProceduresAndUnloadingDropsOnlyItsUnit) {
    auto& pkg = Rtl::Package::Get("reg_pkg");
    {
        const Rtl::UnitRegistration first("reg_pkg", "UFirst", nullptr, nullptr,
                                          [] { Log("register first"); });
        const Rtl::UnitRegistration plain("reg_pkg", "UPlain", nullptr, nullptr);
        const Rtl::UnitRegistration second("reg_pkg", "USecond", nullptr, nullptr,
                                           [] { Log("register second"); });
        g_log.clear();
        pkg.Register();
        EXPECT_EQ(g_log, QStringList({"register first", "register second"}));
        {
            const Rtl::UnitRegistration gone("reg_pkg", "UGone", nullptr, nullptr);
        }
        EXPECT_EQ(pkg.Units(), QStringList({"UFirst", "UPlain", "USecond"}));
    }
    EXPECT_TRUE(pkg.Units().isEmpty());
}
