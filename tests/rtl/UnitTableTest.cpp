#include "HookSlot.h"
#include "UnitTable.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

namespace {
QStringList g_calls;
Rtl::HookSlot<int(int)> g_slot;

void baseInit() { g_calls << "base.init"; }
void baseFini() { g_calls << "base.fini"; }
void aInit() {
    g_calls << "a.init";
    g_slot.Set([](int x) { return x * 2; });
}
void aFini() {
    g_calls << "a.fini";
    g_slot.Reset();
}
void bInit() { g_calls << "b.init"; }
void bFini() { g_calls << "b.fini"; }
} // namespace

TEST(UnitTable, RequiredPackagesFirstEachUnitOnceFinalizeInReverse) {
    auto& base = Rtl::Package::Get("test_base");
    base.AddUnit("UBase", baseInit, baseFini);
    auto& pkg = Rtl::Package::Get("test_pkg");
    pkg.Requires({"test_base"});
    pkg.AddUnit("UA", aInit, aFini);
    pkg.AddUnit("UB", bInit, bFini);
    auto& other = Rtl::Package::Get("test_other");
    other.Requires({"test_base"});

    EXPECT_FALSE(g_slot.Assigned());
    EXPECT_EQ(g_slot(21), 0); // an empty slot answers the default

    pkg.Initialize();
    EXPECT_EQ(g_calls, QStringList({"base.init", "a.init", "b.init"}));
    EXPECT_EQ(g_slot(21), 42);

    // A second package requiring base, and a second load of pkg, run nothing again.
    other.Initialize();
    pkg.Initialize();
    EXPECT_EQ(g_calls.size(), 3);
    EXPECT_EQ(base.UnitCounter("UBase"), 3);
    EXPECT_EQ(pkg.UnitCounter("ua"), 2);

    pkg.Finalize();
    EXPECT_EQ(g_calls.size(), 3);
    pkg.Finalize();
    EXPECT_EQ(g_calls, QStringList({"base.init", "a.init", "b.init", "b.fini", "a.fini"}));
    EXPECT_FALSE(g_slot.Assigned());
    other.Finalize();
    EXPECT_EQ(g_calls.last(), "base.fini");
    EXPECT_EQ(base.UnitCounter("UBase"), 0);
    EXPECT_EQ(pkg.UnitCounter("nope"), -1);

    pkg.Finalize(); // unbalanced finalize is harmless
    EXPECT_EQ(base.UnitCounter("UBase"), 0);
}

TEST(UnitTable, CircularRequirementIsRefused) {
    Rtl::Package::Get("cyc_a").Requires({"cyc_b"});
    Rtl::Package::Get("cyc_b").Requires({"cyc_a"});
    EXPECT_THROW(Rtl::Package::Get("cyc_a").Initialize(), EVoskException);
}
