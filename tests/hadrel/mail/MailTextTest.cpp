#include "UEMailSenden.Mime.h"
#include "UEMailSenden.Text.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>

using namespace UEMailSenden;

TEST(MailText, ExpandEnvVarsReplacesReferencesAndKeepsStrayPercentSigns) {
    qputenv("KORVEX_MAIL_TEST", "Wert");
    qunsetenv("KORVEX_MAIL_UNSET");
    qunsetenv("DATE");
    const auto restore = qScopeGuard([] { qunsetenv("KORVEX_MAIL_TEST"); });

    EXPECT_EQ(ExpandEnvVars(QStringLiteral("a %KORVEX_MAIL_TEST% b")), QStringLiteral("a Wert b"));
    // Unset names vanish, "date" falls back to today in the user's locale, in any case.
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("[%KORVEX_MAIL_UNSET%]")), QStringLiteral("[]"));
    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("Stand %DATE%")), QStringLiteral("Stand ") + today);
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("%date%")), today);
    // "%%" is an empty reference; a percent sign before a blank starts none.
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("100%% sicher")), QStringLiteral("100 sicher"));
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("50 % Rabatt, %KORVEX_MAIL_TEST%")),
              QStringLiteral("50 % Rabatt, Wert"));
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("Ende %")), QStringLiteral("Ende %"));
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("%a-b%KORVEX_MAIL_TEST%")), QStringLiteral("%a-bWert"));
    // The walk goes on behind an inserted value: a value is never expanded again.
    qputenv("KORVEX_MAIL_TEST", "%KORVEX_MAIL_TEST%");
    EXPECT_EQ(ExpandEnvVars(QStringLiteral("%KORVEX_MAIL_TEST%")),
              QStringLiteral("%KORVEX_MAIL_TEST%"));
}

TEST(MailText, RecipientListsAndOneString) {
    EXPECT_EQ(SplitRecipients(QStringLiteral("a@x.de;b@y.de,,")),
              QStringList({"a@x.de", "b@y.de"}));
    EXPECT_EQ(SplitRecipients(QStringLiteral(" a@x.de ; ,b@y.de ")),
              QStringList({"a@x.de", "b@y.de"}));
    EXPECT_TRUE(SplitRecipients(QString()).isEmpty());

    QStringList list;
    ExtractList(QStringLiteral("a,,b,"), list, QStringLiteral(","), true, false);
    EXPECT_EQ(list, QStringList({"a", "", "b"})); // the empty last part never counts
    list.clear();
    ExtractList(QStringLiteral(" a ;b"), list, QStringLiteral(";"), false, true);
    EXPECT_EQ(list, QStringList({" a ;", "b"}));

    EXPECT_EQ(OneString(QStringLiteral("Zeile 1\r\nZeile 2\n\tEnde")),
              QStringLiteral("Zeile 1 Zeile 2 Ende"));
    EXPECT_EQ(OneString(QStringLiteral("\x01")), QStringLiteral(" "));

    const QRegularExpression id(QStringLiteral("^[0-9A-F]{8,16}$"));
    const QString a = ContentIdgenerate(), b = ContentIdgenerate();
    EXPECT_TRUE(id.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, b);
}

TEST(MailText, PlainAddressesOnly) {
    for (const char* good : {"a@x.de", "max.mustermann+angebot@firma-x.de", "ü@bücher.de"})
        EXPECT_TRUE(IsPlainAddress(QString::fromUtf8(good))) << good;
    // Each of these would change the mailto URL or the address the mail program sees.
    for (const char* bad : {"", "a b@x.de", "a@x.de?cc=b@y.de", "a@x.de&body=x", "\"a\"@x.de",
                            "Max <a@x.de>", "<a@x.de>", "a@x.de\r\n", "nur-ein-name",
                            "--attach@x.de", "a@x.de,b@y.de", "gruppe: a@x.de;", "a'b@x.de"})
        EXPECT_FALSE(IsPlainAddress(QString::fromUtf8(bad))) << bad;
}

TEST(MailText, LinkNotation) {
    const QString body =
        QStringLiteral("<img src=\"cid://dokument/?pd_id=4711&displayname=Plan.pdf\"> "
                       "<IMG SRC='CID://Dokument/?FILENAME=skizze'> "
                       "<img src=\"cid://dokument/?pd_id=12\"> "
                       "<img src=\"cid://dokument/?pd_id=1-2\"> <img src=cid://dokument/?pd_id=5>");
    const QList<TAttachmentLink> links = SearchAttachmentLinks(body);
    ASSERT_EQ(links.size(), 3);
    EXPECT_EQ(links[0], (TAttachmentLink{TAttachmentLinkSource::alsDMS, {}, "4711", "Plan.pdf"}));
    EXPECT_EQ(links[1], (TAttachmentLink{TAttachmentLinkSource::alsFile, "skizze", {}, {}}));
    EXPECT_EQ(links[2], (TAttachmentLink{TAttachmentLinkSource::alsDMS, {}, "12", {}}));

    // Every link to the document becomes the bare content id; others stay.
    QString text = body + QStringLiteral(" <object src='cid://dokument/?PD_ID=4711'>");
    EXPECT_EQ(RewriteLinks(text, links[0], QStringLiteral("0_attlnk_AB12")), 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<img src=\"cid:0_attlnk_AB12\"> ")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("<object src='cid:0_attlnk_AB12'>")));
    EXPECT_FALSE(text.contains(QStringLiteral("displayname")));
    EXPECT_EQ(RewriteLinks(text, links[1], QStringLiteral("1_attlnk_CD34")), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("SRC='cid:1_attlnk_CD34'")));
    EXPECT_EQ(SearchAttachmentLinks(text).size(), 1); // pd_id=12 is left
    // A link of no kind matches nothing.
    EXPECT_EQ(RewriteLinks(text, TAttachmentLink{}, QStringLiteral("x")), 0);
}

TEST(MailText, HtmlDocumentAndHandOffArguments) {
    const QString html =
        HtmlDocument(QStringLiteral("Hallo<br />Welt"), QStringLiteral("Deja'Vu <Sans>"), 11);
    const QStringList lines = html.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(
        lines[1],
        QStringLiteral(R"(<meta http-equiv="Content-Type" content="text/html; charset=UTF-8" />)"));
    EXPECT_EQ(lines[3],
              QStringLiteral(
                  "<style> body {font-family: 'DejaVu Sans', serif; font-size: 11pt;} </style>"));
    EXPECT_EQ(lines[6], QStringLiteral("<div>Hallo<br />Welt</div>"));
    EXPECT_FALSE(
        HtmlDocument(QString(), QStringLiteral("Arial"), 0).contains(QStringLiteral("<style>")));

    TMailHandOff hand;
    hand.recipients = QStringList{"SMTP:a@x.de", "b@y.de"};
    hand.subject = QStringLiteral("Angebot 4711");
    hand.noteText = QStringLiteral("Zeile 1\r\nZeile 2");
    hand.files = QStringList{"/tmp/a b.pdf", "/tmp/c.tif"};
    EXPECT_EQ(XdgEmailArguments(hand), QStringList({"--utf8", "--subject", "Angebot 4711", "--body",
                                                    "Zeile 1\nZeile 2", "--attach", "/tmp/a b.pdf",
                                                    "--attach", "/tmp/c.tif", "a@x.de", "b@y.de"}));
    // The program refuses empty option values: empty subject and body are left out.
    EXPECT_EQ(XdgEmailArguments(TMailHandOff{}), QStringList({"--utf8"}));
}
