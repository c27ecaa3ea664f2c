// The registry with names and values that the INI format treats specially, several registry
// objects on one file, and keys that are missing or read-only.
#include "DialogAnswerer.h"
#include "Vcl.Registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <climits>

using Vcl::TRegistry;

namespace {

const QString kRoot = QStringLiteral("\\Software\\Korvex");

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

TEST(RegistryEdges, KeyNamesWithIniSpecialCharactersStayOneKey) {
    testsupport::TempRegistry temp;
    const QStringList odd{
        QStringLiteral("Spalten [Breite]"), QStringLiteral("a=b; c#d"),
        QStringLiteral("Größe Ä"),          QStringLiteral("General"),
        QStringLiteral("100% sicher"),      QStringLiteral("with/slash"),
        QStringLiteral("%2F literal"),      QStringLiteral(" leading space"),
        QStringLiteral("\"quoted\""),       QStringLiteral("Tab\there"),
    };
    {
        TRegistry reg;
        for (const QString& name : odd) {
            ASSERT_TRUE(reg.OpenKey(kRoot + u'\\' + name, true)) << name.toStdString();
            reg.WriteString(QStringLiteral("Name"), name);
        }
        reg.CloseKey();
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kRoot, false));
    for (const QString& name : odd) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + u'\\' + name));
        EXPECT_EQ(reg.CurrentPath(), kRoot.mid(1) + u'\\' + name);
        EXPECT_EQ(reg.ReadString(QStringLiteral("Name")), name);
        EXPECT_EQ(reg.GetValueNames(), QStringList({"Name"}));
    }
    // "with/slash" is not a key "with" with a subkey "slash".
    EXPECT_FALSE(reg.KeyExists(kRoot + QStringLiteral("\\with")));
    EXPECT_FALSE(reg.KeyExists(kRoot + QStringLiteral("\\%2F literal\\x")));
    // Case-insensitive beyond ASCII.
    EXPECT_TRUE(reg.KeyExists(kRoot + QStringLiteral("\\gRÖßE ä")));
}

TEST(RegistryEdges, ValueNamesWithSeparatorsAndEscapes) {
    testsupport::TempRegistry temp;
    const QStringList names{
        QStringLiteral("a/b"),   QStringLiteral("a\\b"),   QStringLiteral("%5C"),
        QStringLiteral("%2f"),   QStringLiteral("%%"),     QStringLiteral("x=y"),
        QStringLiteral("Straße"), QStringLiteral("[General]"), QStringLiteral("a;b"),
    };
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kRoot, true));
        for (qsizetype i = 0; i < names.size(); ++i)
            reg.WriteInteger(names[i], int(i));
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kRoot, false));
    EXPECT_EQ(Sorted(reg.GetValueNames()), Sorted(names));
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(reg.ReadInteger(names[i]), int(i)) << names[i].toStdString();
    // None of them leaked out as a key.
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("a")));
    EXPECT_TRUE(reg.DeleteValue(QStringLiteral("A/B")));
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("a\\b")));
    EXPECT_EQ(reg.GetValueNames().size(), names.size() - 1);
}

TEST(RegistryEdges, StringValuesRoundTripExactly) {
    testsupport::TempRegistry temp;
    const QStringList values{
        QString(),
        QStringLiteral("  Leerzeichen vorn und hinten  "),
        QStringLiteral("Zeile 1\nZeile 2\r\nZeile 3"),
        QStringLiteral("a,b,c"),
        QStringLiteral("\"in Anführungszeichen\""),
        QStringLiteral("C:\\Programme\\Korvex\\"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@ByteArray(abc)"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("; kein Kommentar # auch keiner"),
        QStringLiteral("Ümläute, ß und € ") + QString::fromUcs4(U"\U0001F600"),
        QStringLiteral("x").repeated(5000),
        QStringLiteral("=") ,
        QStringLiteral("\t"),
    };
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kRoot + QStringLiteral("\\Werte"), true));
        for (qsizetype i = 0; i < values.size(); ++i)
            reg.WriteString(QStringLiteral("v%1").arg(i), values[i]);
        reg.CloseKey();
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + QStringLiteral("\\Werte")));
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString name = QStringLiteral("v%1").arg(i);
        EXPECT_TRUE(reg.ValueExists(name)) << i;
        EXPECT_EQ(reg.ReadString(name), values[i]) << i;
    }
    // An empty string is a value: it exists, and is no number.
    EXPECT_EQ(reg.TryReadInteger(QStringLiteral("v0")), std::nullopt);
    EXPECT_THROW(reg.ReadInteger(QStringLiteral("v0")), ERegistryException);
}

TEST(RegistryEdges, IntegersAtTheirLimitsAndTextThatIsNoInteger) {
    testsupport::TempRegistry temp;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kRoot, true));
    reg.WriteInteger(QStringLiteral("min"), INT_MIN);
    reg.WriteInteger(QStringLiteral("max"), INT_MAX);
    reg.WriteInteger(QStringLiteral("zero"), 0);
    reg.WriteString(QStringLiteral("big"), QStringLiteral("3000000000"));
    reg.WriteString(QStringLiteral("float"), QStringLiteral("1.5"));
    reg.WriteString(QStringLiteral("text"), QStringLiteral("True"));
    reg.WriteBool(QStringLiteral("off"), false);
    reg.CloseKey();

    TRegistry again;
    ASSERT_TRUE(again.OpenKey(kRoot, false));
    EXPECT_EQ(again.ReadInteger(QStringLiteral("min")), INT_MIN);
    EXPECT_EQ(again.ReadInteger(QStringLiteral("max")), INT_MAX);
    EXPECT_EQ(again.ReadString(QStringLiteral("max")), QStringLiteral("2147483647"));
    EXPECT_FALSE(again.ReadBool(QStringLiteral("zero")));
    EXPECT_FALSE(again.ReadBool(QStringLiteral("off")));
    EXPECT_EQ(again.ReadInteger(QStringLiteral("off")), 0);
    // Out of range or not whole: refused, never wrapped or cut.
    EXPECT_EQ(again.TryReadInteger(QStringLiteral("big")), std::nullopt);
    EXPECT_EQ(again.TryReadInteger(QStringLiteral("float")), std::nullopt);
    EXPECT_THROW(again.ReadBool(QStringLiteral("text")), ERegistryException);
    // A value of another type is overwritten in place, keeping one value.
    again.WriteInteger(QStringLiteral("TEXT"), 7);
    EXPECT_EQ(again.ReadInteger(QStringLiteral("text")), 7);
    EXPECT_EQ(again.GetValueNames().filter(QStringLiteral("text"), Qt::CaseInsensitive).size(), 1);
}

TEST(RegistryEdges, ReadOnlyKeyRefusesEveryWriteAndChangesNothing) {
    testsupport::TempRegistry temp;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kRoot + QStringLiteral("\\Fest\\Unter"), true));
        reg.WriteString(QStringLiteral("a"), QStringLiteral("1"));
        ASSERT_TRUE(reg.OpenKey(kRoot + QStringLiteral("\\Fest"), false));
        reg.WriteString(QStringLiteral("b"), QStringLiteral("2"));
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + QStringLiteral("\\Fest")));
    EXPECT_THROW(reg.WriteString(QStringLiteral("b"), QStringLiteral("x")), ERegistryException);
    EXPECT_THROW(reg.WriteBool(QStringLiteral("neu"), true), ERegistryException);
    EXPECT_THROW(reg.DeleteValue(QStringLiteral("b")), ERegistryException);
    EXPECT_THROW(reg.DeleteKey(QStringLiteral("Unter")), ERegistryException);
    reg.CloseKey();

    TRegistry check;
    ASSERT_TRUE(check.OpenKey(kRoot + QStringLiteral("\\Fest"), false));
    EXPECT_EQ(check.ReadString(QStringLiteral("b")), QStringLiteral("2"));
    EXPECT_FALSE(check.ValueExists(QStringLiteral("neu")));
    EXPECT_TRUE(check.KeyExists(QStringLiteral("Unter")));

    // Opening for writing again lifts the protection; a failed read-only open keeps the old key.
    ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + QStringLiteral("\\Fest")));
    EXPECT_FALSE(reg.OpenKeyReadOnly(QStringLiteral("Gibtsnicht")));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Korvex\\Fest"));
    EXPECT_THROW(reg.WriteString(QStringLiteral("b"), QStringLiteral("x")), ERegistryException);
    ASSERT_TRUE(reg.OpenKey(kRoot + QStringLiteral("\\Fest"), false));
    reg.WriteString(QStringLiteral("b"), QStringLiteral("3"));
    EXPECT_EQ(check.ReadString(QStringLiteral("b")), QStringLiteral("3"));
}

TEST(RegistryEdges, MissingKeysAndValuesAnswerQuietly) {
    testsupport::TempRegistry temp;
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("\\Nirgends\\Tiefer"), false));
    EXPECT_EQ(reg.CurrentPath(), QString());
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\Nirgends")));
    EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\Nirgends")));
    EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\"))); // the root is never deleted
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("x")));
    EXPECT_FALSE(reg.DeleteValue(QStringLiteral("x")));
    EXPECT_TRUE(reg.GetValueNames().isEmpty());
    EXPECT_EQ(reg.ReadString(QStringLiteral("x")), QString());
    try {
        reg.ReadInteger(QStringLiteral("Breite"));
        FAIL() << "missing value read as a number";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Datenabruf für 'Breite' fehlgeschlagen"));
    }
    // A key made but never written holds nothing and so does not exist for the next reader.
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Leer\\Schlüssel"), true));
    reg.CloseKey();
    TRegistry other;
    EXPECT_FALSE(other.KeyExists(QStringLiteral("\\Leer\\Schlüssel")));
    // Empty path segments are ignored, as in "\\A\\\\B\\".
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\A\\\\B\\"), true));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("A\\B"));
    reg.WriteInteger(QStringLiteral("n"), 1);
    EXPECT_TRUE(other.KeyExists(QStringLiteral("\\A\\B")));
}

TEST(RegistryEdges, TheRootKeyHoldsValuesToo) {
    testsupport::TempRegistry temp;
    {
        TRegistry reg;
        reg.WriteString(QStringLiteral("Version"), QStringLiteral("3"));
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\General"), true));
        reg.WriteString(QStringLiteral("Version"), QStringLiteral("im Schlüssel"));
    }
    TRegistry reg;
    EXPECT_EQ(reg.ReadString(QStringLiteral("version")), QStringLiteral("3"));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Version"}));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("general"), false));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Version")), QStringLiteral("im Schlüssel"));
}

TEST(RegistryEdges, SeveralRegistryObjectsShareOneFile) {
    testsupport::TempRegistry temp;
    const QString key = kRoot + QStringLiteral("\\Module\\TFormAdress");
    auto first = std::make_unique<TRegistry>();
    auto second = std::make_unique<TRegistry>();
    ASSERT_TRUE(first->OpenKey(key, true));
    ASSERT_TRUE(second->OpenKey(key, true));
    first->WriteInteger(QStringLiteral("Top"), 10);
    second->WriteInteger(QStringLiteral("Left"), 20);
    // Each sees the other's value at once, before anything reached the file.
    EXPECT_EQ(first->ReadInteger(QStringLiteral("Left")), 20);
    EXPECT_EQ(second->ReadInteger(QStringLiteral("top")), 10);
    second->WriteInteger(QStringLiteral("TOP"), 11);
    EXPECT_EQ(first->ReadInteger(QStringLiteral("Top")), 11);
    first.reset();
    second.reset(); // neither object's save loses the other's values

    TRegistry third;
    ASSERT_TRUE(third.OpenKey(key, false));
    EXPECT_EQ(Sorted(third.GetValueNames()), QStringList({"Left", "Top"}));
    EXPECT_EQ(third.ReadInteger(QStringLiteral("Top")), 11);

    // A key deleted by one object is gone for another that stands in it; writing makes it anew.
    TRegistry fourth;
    ASSERT_TRUE(fourth.OpenKey(key, false));
    EXPECT_TRUE(third.DeleteKey(key));
    EXPECT_FALSE(fourth.ValueExists(QStringLiteral("Top")));
    fourth.WriteInteger(QStringLiteral("Top"), 1);
    EXPECT_TRUE(third.KeyExists(key));
    EXPECT_EQ(third.GetValueNames(), QStringList({"Top"}));
}

TEST(RegistryEdges, BaseFolderThatDoesNotExistYetIsMade) {
    testsupport::TempRegistry temp;
    const QString deeper = temp.Folder() + QStringLiteral("/noch/nicht/da");
    const QString old = TRegistry::SetBaseFolder(deeper);
    EXPECT_EQ(old, temp.Folder());
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kRoot, true));
        reg.WriteString(QStringLiteral("x"), QStringLiteral("y"));
        reg.CloseKey();
    }
    EXPECT_TRUE(QFile::exists(deeper + QStringLiteral("/registry.ini")));
    TRegistry::SetBaseFolder(old);
    // The registry of the other folder is a different one.
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists(kRoot));
}

TEST(RegistryEdges, HandEditedFileIsReadAsFarAsItMakesSense) {
    testsupport::TempRegistry temp;
    QFile file(temp.FileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Software/Korvex/Hand]\n"
               "Breite=120\n"
               "Liste=a, b, c\n"
               "Leer=\n"
               "Zahl= 42 \n"
               "kaputt ohne gleich\n");
    file.close();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\software\\korvex\\hand"), false));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Korvex\\Hand"));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Breite")), 120);
    EXPECT_EQ(reg.ReadString(QStringLiteral("Liste")), QStringLiteral("a, b, c"));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Leer")), QString());
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Zahl")), 42);
}

TEST(RegistryEdges, TheUnnamedValueBelongsToItsOwnKey) {
    testsupport::TempRegistry temp;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kRoot, true));
        reg.WriteString(QStringLiteral("Standard"), QStringLiteral("Eltern"));
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("Standard"), true));
        reg.WriteString(QString(), QStringLiteral("Vorgabe"));
        reg.WriteString(QStringLiteral("Name"), QStringLiteral("benannt"));
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kRoot + QStringLiteral("\\Standard"), false));
    EXPECT_TRUE(reg.ValueExists(QString()));
    EXPECT_EQ(reg.ReadString(QString()), QStringLiteral("Vorgabe"));
    EXPECT_EQ(Sorted(reg.GetValueNames()), QStringList({"", "Name"}));
    // The parent's value of the same name as the key is left alone.
    ASSERT_TRUE(reg.OpenKey(kRoot, false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Standard"}));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Standard")), QStringLiteral("Eltern"));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Standard"), false));
    EXPECT_TRUE(reg.DeleteValue(QString()));
    EXPECT_FALSE(reg.ValueExists(QString()));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Name")), QStringLiteral("benannt"));
}
