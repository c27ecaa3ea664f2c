#include "Uvoskrtl.Collections.h"

#include <QObject>

#include <gtest/gtest.h>

using namespace Uvoskrtl::Collections;
using S = TStringArrayHelper;

TEST(ArrayHelper, AppendModes) {
    QStringList a;
    S::Append(a, "x", {amFirst});
    EXPECT_EQ(a, QStringList({"x"}));
    S::Append(a, "y", {amFirst});
    S::Append(a, "z");
    EXPECT_EQ(a, QStringList({"y", "x", "z"}));
    S::Append(a, "x", {amIfNotExists, amFirst});
    EXPECT_EQ(a.size(), 3);

    QStringList b{"ABC"};
    S::AppendIfNotExists(b, "abc"); // case-sensitive
    EXPECT_EQ(b, QStringList({"ABC", "abc"}));
    S::AppendIfNotExists(b, "abc");
    EXPECT_EQ(b.size(), 2);
}

TEST(ArrayHelper, SearchUnionAndText) {
    EXPECT_EQ(S::IndexOf({}, "a"), -1);
    EXPECT_EQ(S::IndexOf({"a", "b", "b"}, "b"), 1);
    EXPECT_FALSE(S::Exists({"a"}, "A"));
    EXPECT_EQ(S::Union({"a", "b"}, {"b", "c"}), QStringList({"a", "b", "c"}));
    EXPECT_EQ(S::Union({"a", "a"}, {}), QStringList({"a"}));
    EXPECT_EQ(S::ToString({"a", "b", "c"}, ", ", "'", 2), QStringLiteral("'a', 'b', \r\n'c'"));
    EXPECT_EQ(S::ToString({}, ", "), QString());
    EXPECT_EQ(S::ToString(S::Create({"a", "b"}), ";"), QStringLiteral("a;b"));
    EXPECT_EQ(ArrayHelper<int>::ToString({1, 2, 3}, "|", "\"", 0), QStringLiteral("\"1\"|\"2\"|\"3\""));
}

TEST(ArrayHelper, FromString) {
    EXPECT_EQ(S::FromString("a;b;;c", ";"), QStringList({"a", "b", "", "c"}));
    EXPECT_TRUE(S::FromString("", ";").isEmpty());
    EXPECT_EQ(ArrayHelper<int>::FromString("1, 2,3", ","), QList<int>({1, 2, 3}));
    EXPECT_THROW(ArrayHelper<int>::FromString("1,x", ","), EConvertError);
    try {
        TComponentArrayHelper::FromString("a", ",");
        FAIL();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(),
                  "ArrayHelper<T>.FromString: Der Typ T kann aus einem String ausgelesen werden.");
    }
    try {
        QObject o;
        TComponentArrayHelper::ToString({&o}, ",");
        FAIL();
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().startsWith("ArrayHelper<T>.AsString"));
    }
}

TEST(ArrayHelper, ComponentsCompareByIdentity) {
    QObject a, b;
    a.setObjectName("same");
    b.setObjectName("same");
    QList<QObject*> list;
    TComponentArrayHelper::AppendIfNotExists(list, &a);
    TComponentArrayHelper::AppendIfNotExists(list, &b);
    TComponentArrayHelper::AppendIfNotExists(list, &a);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(TComponentArrayHelper::IndexOf(list, &b), 1);
    EXPECT_GE(ArrayHelperUseCount("component"), 1);
}
