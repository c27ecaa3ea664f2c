#include "DialogAnswerer.h"
#include "Vcl.Registry.h"

#include <gtest/gtest.h>

#include <QFile>

using Vcl::TRegistry;

namespace {
const QString kKey = QStringLiteral("\\Software\\Korvex\\Module\\TFormAdress");
}

TEST(Registry, ValuesRoundTripThroughTheFile) {
    testsupport::TempRegistry temp;
    {
        TRegistry reg;
        ASSERT_FALSE(reg.OpenKey(kKey, false));
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteInteger(QStringLiteral("ausgedockt_Top"), -42);
        reg.WriteString(QStringLiteral("Caption"),
                        QStringLiteral("Adressen, Kunden & Lieferanten"));
        reg.WriteString(QStringLiteral("Pfad/mit\\Trennern"), QStringLiteral("x"));
        reg.WriteBool(QStringLiteral("Maximized"), true);
        reg.CloseKey();
    }
    ASSERT_TRUE(QFile::exists(temp.FileName()));
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ausgedockt_Top")), -42);
    EXPECT_EQ(reg.ReadString(QStringLiteral("Caption")),
              QStringLiteral("Adressen, Kunden & Lieferanten"));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Pfad/mit\\Trennern")), QStringLiteral("x"));
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("Maximized")));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Maximized")), 1);
    QStringList names = reg.GetValueNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"Caption", "Maximized", "Pfad/mit\\Trennern", "ausgedockt_Top"}));
    EXPECT_THROW(reg.WriteInteger(QStringLiteral("Top"), 1), ERegistryException);
}

TEST(Registry, NamesMatchRegardlessOfCaseAndKeepTheirSpelling) {
    testsupport::TempRegistry temp;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteInteger(QStringLiteral("Width"), 800);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("software\\KORVEX\\module\\tformadress"), false));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Korvex\\Module\\TFormAdress"));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("WIDTH")), 800);
    reg.WriteInteger(QStringLiteral("width"), 900); // overwrites, no second value
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Width"}));

    // Relative paths continue from the current key.
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Korvex"), false));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Module\\TFormAdress"), false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Width")), 900);
}

TEST(Registry, MissingAndForeignValuesDoNotCrash) {
    testsupport::TempRegistry temp;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteString(QStringLiteral("Top"), QStringLiteral("oben"));
    reg.WriteString(QStringLiteral("Left"), QStringLiteral(" 12 "));
    EXPECT_THROW(reg.ReadInteger(QStringLiteral("Top")), ERegistryException);
    EXPECT_THROW(reg.ReadBool(QStringLiteral("Top")), ERegistryException);
    EXPECT_THROW(reg.ReadInteger(QStringLiteral("Height")), ERegistryException);
    EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Top")), std::nullopt);
    EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Height")), std::nullopt);
    EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Left")), 12);
    EXPECT_EQ(reg.ReadString(QStringLiteral("Height")), QString());
    try {
        reg.ReadInteger(QStringLiteral("Top"));
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("'Top'")));
        EXPECT_STREQ(e.ClassName(), "ERegistryException");
    }
}

TEST(Registry, DeletingValuesAndKeys) {
    testsupport::TempRegistry temp;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey + QStringLiteral("\\Spalten"), true));
    reg.WriteInteger(QStringLiteral("Breite"), 5);
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    reg.WriteInteger(QStringLiteral("Top"), 1);
    reg.WriteInteger(QStringLiteral("Left"), 2);
    EXPECT_TRUE(reg.DeleteValue(QStringLiteral("top")));
    EXPECT_FALSE(reg.DeleteValue(QStringLiteral("Top")));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Top")));
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("Left")));

    // Another registry object sees the same values before anything was closed.
    TRegistry second;
    EXPECT_TRUE(second.KeyExists(kKey + QStringLiteral("\\spalten")));

    EXPECT_TRUE(reg.DeleteKey(QStringLiteral("\\Software\\Korvex\\Module")));
    EXPECT_FALSE(reg.KeyExists(kKey));
    EXPECT_FALSE(second.KeyExists(kKey + QStringLiteral("\\Spalten")));
    EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\Software\\Korvex\\Module")));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\")));
}

TEST(Registry, DefaultFileLivesInTheUsersConfigFolder) {
    // The test main has put standard paths into test mode, so this is a throw-away folder.
    EXPECT_TRUE(TRegistry::FileName().endsWith(QStringLiteral("/korvex/registry.ini")));
    testsupport::TempRegistry temp;
    EXPECT_EQ(TRegistry::FileName(), temp.Folder() + QStringLiteral("/registry.ini"));
}
