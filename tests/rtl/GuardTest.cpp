#include "EventGuard.h"
#include "StrUtils.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(EventGuard, AbortIsSilentOthersReachTheClientSlot) {
    QStringList seen;
    Rtl::ClientErrorDisplay.Set([&](std::exception_ptr e, QObject*) {
        seen << Rtl::ExceptionClassName(e) + ":" + Rtl::ExceptionMessage(e);
    });
    EXPECT_TRUE(Rtl::Guarded([] {}));
    EXPECT_FALSE(Rtl::Guarded([] { throw EAbort(); }));
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_FALSE(Rtl::Guarded([] { throw EUserRights(QStringLiteral("keine Berechtigung"), 12); }));
    EXPECT_FALSE(Rtl::Guarded([] { throw std::runtime_error("boom"); }));
    EXPECT_FALSE(Rtl::Guarded([] { throw 5; }));
    EXPECT_EQ(seen, QStringList({"EUserRights:keine Berechtigung", "Exception:boom",
                                 "Exception:Unbekannter Fehler"}));

    // A display that aborts after showing its message ends in the guard too.
    Rtl::ClientErrorDisplay.Set([](std::exception_ptr, QObject*) { throw EAbort(); });
    EXPECT_FALSE(Rtl::Guarded([] { throw EVoskException(QStringLiteral("x")); }));

    Rtl::ClientErrorDisplay.Reset();
    int fallback = 0;
    Rtl::FallbackErrorDisplay.Set([&](std::exception_ptr, QObject*) { ++fallback; });
    Rtl::Guarded([] { throw EVoskException(QStringLiteral("y")); });
    EXPECT_EQ(fallback, 1);
    Rtl::FallbackErrorDisplay.Reset();
}

TEST(StrUtils, TruncateNeverSplitsASurrogatePair) {
    const QString s = QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("c");
    EXPECT_EQ(Rtl::TruncateText(s, 3), QStringLiteral("ab"));
    EXPECT_EQ(Rtl::TruncateText(s, 4), s.left(4));
    EXPECT_EQ(Rtl::TruncateText(s, 99), s);
    EXPECT_TRUE(Rtl::TruncateText(s, 0).isEmpty());
}

TEST(StrUtils, BooleanTextAndValues) {
    EXPECT_TRUE(Rtl::StrToBoolDef("-1", false));
    EXPECT_TRUE(Rtl::StrToBoolDef("True", false));
    EXPECT_FALSE(Rtl::StrToBoolDef("0", true));
    EXPECT_FALSE(Rtl::StrToBoolDef("False", true));
    EXPECT_TRUE(Rtl::StrToBoolDef("", true));
    EXPECT_FALSE(Rtl::StrToBoolDef("vielleicht", false));
    bool found = false;
    EXPECT_EQ(Rtl::ValueOf({"A=1", "ModulName=Adressen"}, "modulname", &found), "Adressen");
    EXPECT_TRUE(found);
    Rtl::ValueOf({"A=1"}, "B", &found);
    EXPECT_FALSE(found);
}
