// The import rules that need no window: modes, file order, stored names, temporary folders, mail
// subjects and the node payload dragged between document windows.

#include <UFileImportMode.h>
#include <UImpDoku.State.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace UImpDoku;

TEST(FileImportModeTest, ConfiguredModesIgnoreLetterCaseAndFallBackToTheCallersDefault) {
    struct Case {
        const char* value;
        TFileImportMode def;
        bool ask;
        TFileImportMode mode; // the mode, or the preselection when asking
    };
    const Case cases[] = {
        {"MOVE", fimCopy, false, fimMove},        {"move", fimAsk, false, fimMove},
        {"Copy", fimLink, false, fimCopy},        {"LINK", fimCopy, false, fimLink},
        {"copy_askdel", fimCopy, true, fimMove},  {"COPY_AskDEL", fimLink, true, fimMove},
        {"ASK_USER", fimLink, true, fimCopy},     {"ask_user", fimCopy, true, fimCopy},
        {"DEFAULT", fimCopy, false, fimCopy},     {"", fimLink, false, fimLink},
        {"Unsinn", fimMove, false, fimMove},      {"DEFAULT", fimAsk, true, fimCopy},
        {" move ", fimCopy, false, fimMove},
    };
    for (const Case& c : cases) {
        const TImportModeChoice r = ImportModeFromConfig(QString::fromLatin1(c.value), c.def);
        EXPECT_EQ(r.ask, c.ask) << c.value;
        EXPECT_EQ(r.ask ? r.preselect : r.mode, c.mode) << c.value;
    }
}

TEST(FileImportModeTest, ChosenFilesGoPdfFirstThenImagesThenTheRestInNaturalOrder) {
    QStringList files{QStringLiteral("/in/b10.pdf"), QStringLiteral("/in/b2.pdf"),
                      QStringLiteral("/in/a.tif"), QStringLiteral("/in/c.docx")};
    SortForImport(files);
    EXPECT_EQ(files, (QStringList{QStringLiteral("/in/b2.pdf"), QStringLiteral("/in/b10.pdf"),
                                  QStringLiteral("/in/a.tif"), QStringLiteral("/in/c.docx")}));

    files = {QStringLiteral("z.txt"), QStringLiteral("Scan 10.PNG"), QStringLiteral("scan 9.jpeg"),
             QStringLiteral("A.PDF"), QStringLiteral("b.xlsx"), QStringLiteral("scan 9.tiff")};
    SortForImport(files);
    EXPECT_EQ(files, (QStringList{QStringLiteral("A.PDF"), QStringLiteral("scan 9.jpeg"),
                                  QStringLiteral("scan 9.tiff"), QStringLiteral("Scan 10.PNG"),
                                  QStringLiteral("b.xlsx"), QStringLiteral("z.txt")}));

    // Digits by value, leading zeros carry none, letters without regard to case.
    EXPECT_LT(NaturalCompare(u"x2", u"x10"), 0);
    EXPECT_GT(NaturalCompare(u"x10", u"x9"), 0);
    EXPECT_EQ(NaturalCompare(u"Rechnung007", u"rechnung7"), 0);
    EXPECT_LT(NaturalCompare(u"a", u"a1"), 0);
    EXPECT_LT(NaturalCompare(u"99999999999999999999", u"100000000000000000000"), 0);
    EXPECT_LT(NaturalCompare(u"ä", u"ö"), 0);
}

TEST(FileImportModeTest, StoredNamesNeverLeaveTheirFolder) {
    EXPECT_EQ(StoredFileName(QStringLiteral("/home/x/Belege/Rechnung 7.pdf")),
              QStringLiteral("Rechnung 7.pdf"));
    EXPECT_EQ(StoredFileName(QStringLiteral("C:\\Users\\x\\Angebot.docx")),
              QStringLiteral("Angebot.docx"));
    EXPECT_EQ(StoredFileName(QStringLiteral("../../etc/passwd")), QStringLiteral("passwd"));
    EXPECT_EQ(StoredFileName(QStringLiteral("Re: Frage? <Termin>*.eml")),
              QStringLiteral("Re_ Frage_ _Termin__.eml"));
    for (const char* bad : {"", ".", "..", "a/..", "a\\.", "  "})
        EXPECT_EQ(StoredFileName(QString::fromLatin1(bad)), QStringLiteral("_")) << bad;
    EXPECT_EQ(StoredFileName(QStringLiteral("Zeile\nzwei.txt")), QStringLiteral("Zeile_zwei.txt"));
}

TEST(FileImportModeTest, OnlyFilesInsideATemporaryFolderCountAsTemporary) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Drop")));
    const QString inside = dir.filePath(QStringLiteral("Drop/a.pdf"));
    EXPECT_TRUE(IsInsideFolder(inside, {QStringLiteral("/nirgends"), dir.path()}));
    EXPECT_TRUE(IsInsideFolder(inside, {dir.path() + u'/'}));
    EXPECT_FALSE(IsInsideFolder(dir.path() + QStringLiteral("-other/a.pdf"), {dir.path()}));
    EXPECT_FALSE(IsInsideFolder(dir.path(), {dir.path()}));
    EXPECT_FALSE(IsInsideFolder(inside, {QString()}));
}

TEST(FileImportModeTest, HashesAndMailSubjectsAreReadAsOtherProgramsWriteThem) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("abc.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("abc");
    f.close();
    const TFileHashes h = FileHashes(f.fileName());
    EXPECT_EQ(h.md5, QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(h.sha256,
              QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_TRUE(FileHashes(dir.filePath(QStringLiteral("fehlt"))).sha256.isEmpty());

    EXPECT_EQ(MailSubject("From: a@b\r\nSubject: Angebot 7\r\n\r\nSubject: nicht das\r\n"),
              QStringLiteral("Angebot 7"));
    EXPECT_EQ(MailSubject("subject: =?UTF-8?B?UmVjaG51bmcgw5xiZXJzaWNodA==?=\n folgt\n\nx"),
              QStringLiteral("Rechnung Übersicht folgt"));
    EXPECT_EQ(MailSubject("Subject: =?iso-8859-1?Q?Gr=FC=DFe_aus?= =?utf-8?q?_K=C3=B6ln?=\n\n"),
              QStringLiteral("Grüße aus Köln"));
    EXPECT_EQ(MailSubject("From: a@b\n\nSubject: im Text\n"), QString());
}

TEST(FileImportModeTest, NodePayloadRoundTripsAndDropsFollowTheDragRules) {
    const TDokuNodeDrag d{7, QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("42"),
                          DokState::nkDocument};
    const auto back = DecodeNodeDrag(EncodeNodeDrag(d));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->windowSerial, 7u);
    EXPECT_EQ(back->table, d.table);
    EXPECT_EQ(back->recId, d.recId);
    EXPECT_EQ(back->nodeId, d.nodeId);
    EXPECT_EQ(back->kind, d.kind);
    for (const char* bad : {"", "{", "[]", "{\"window\":\"x\",\"table\":\"t\",\"recid\":\"1\","
                                           "\"node\":\"1\",\"kind\":9}",
                            "{\"window\":\"1\",\"table\":\"t\",\"recid\":\"1\",\"node\":1,"
                            "\"kind\":9}"})
        EXPECT_FALSE(DecodeNodeDrag(QByteArray(bad))) << bad;

    using namespace DokState;
    // From another window: documents only.
    EXPECT_TRUE(AcceptNodeDrop(true, nkDocument, nkFolder, false));
    EXPECT_FALSE(AcceptNodeDrop(true, nkCustomFolder, nkFolder, false));
    // Within: onto folders and the root, never onto the present parent, never a folder into one
    // of the record's own, and configured folders and the root never move.
    EXPECT_TRUE(AcceptNodeDrop(false, nkDocument, nkCustomFolder, false));
    EXPECT_TRUE(AcceptNodeDrop(false, nkDocument, nkRoot, false));
    EXPECT_TRUE(AcceptNodeDrop(false, nkCustomFolder, nkNone, false));
    EXPECT_FALSE(AcceptNodeDrop(false, nkDocument, nkFolder, true));
    EXPECT_FALSE(AcceptNodeDrop(false, nkCustomFolder, nkCustomFolder, false));
    EXPECT_FALSE(AcceptNodeDrop(false, nkFolder, nkCustomFolder, false));
    EXPECT_FALSE(AcceptNodeDrop(false, nkRoot, nkFolder, false));
    EXPECT_FALSE(AcceptNodeDrop(false, nkDocument, nkDocument, false));

    EXPECT_EQ(FillTextS(QStringLiteral("Datei \"%s\" (%s) %s"), {QStringLiteral("a%s"),
                                                                 QStringLiteral("/x")}),
              QStringLiteral("Datei \"a%s\" (/x) %s"));
}
