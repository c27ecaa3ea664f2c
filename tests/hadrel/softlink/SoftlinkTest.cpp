#include "SoftlinkFixture.h"

#include "Uloghelper.h"

using testsupport::TestDatabase;

class SoftlinkTest : public SoftlinkFixture {};

TEST(SoftlinkParse, TypesResultsAndCommandLines) {
    EXPECT_EQ(StrToExecType(QStringLiteral("exec")), etExec);
    EXPECT_EQ(StrToExecType(QStringLiteral("Link")), etLink);
    EXPECT_EQ(StrToExecType(QStringLiteral("LINKS")), etNone);
    EXPECT_EQ(StrToExecType(QString()), etNone);

    const QHash<int, bool> r =
        TSoftlink::ParseConditionsResult(QStringLiteral("{{1,true},{2,false}}"));
    EXPECT_EQ(r.size(), 2);
    EXPECT_TRUE(r.value(1));
    EXPECT_FALSE(r.value(2, true));
    EXPECT_TRUE(TSoftlink::ParseConditionsResult(QString()).isEmpty());

    TSoftlink::TExecCommand c;
    ASSERT_TRUE(
        TSoftlink::ParseExecApp(QStringLiteral("\"C:\\Program Files\\Tool\\t.exe\" -a <#x#>"), c));
    EXPECT_EQ(c.program, QStringLiteral("C:\\Program Files\\Tool\\t.exe"));
    EXPECT_EQ(c.folder, QStringLiteral("C:\\Program Files\\Tool\\"));
    EXPECT_EQ(c.params, QStringLiteral("-a <#x#>"));
    EXPECT_TRUE(c.windowsPath);
    ASSERT_TRUE(TSoftlink::ParseExecApp(QStringLiteral("C:\\Tool\\t.exe"), c));
    EXPECT_EQ(c.program, QStringLiteral("C:\\Tool\\t.exe"));
    EXPECT_TRUE(c.params.isEmpty());
    ASSERT_TRUE(TSoftlink::ParseExecApp(QStringLiteral("/usr/bin/tool --x \"<#a#>\""), c));
    EXPECT_EQ(c.program, QStringLiteral("/usr/bin/tool"));
    EXPECT_EQ(c.folder, QStringLiteral("/usr/bin"));
    EXPECT_FALSE(c.windowsPath);
    EXPECT_FALSE(TSoftlink::ParseExecApp(QStringLiteral("tool.exe <#a#>"), c));
    EXPECT_FALSE(TSoftlink::ParseExecApp(QStringLiteral("bin/tool"), c));

    TVoskClass2 query;
    query.SetQuerySql(QStringLiteral("SELECT a.*\nfrom  public.adressen a JOIN lastval ON true"));
    EXPECT_EQ(TSoftlink::TableName_Get(&query), QStringLiteral("public.adressen"));
    query.SetSqlTable(QStringLiteral("adressen"));
    EXPECT_EQ(TSoftlink::TableName_Get(&query), QStringLiteral("adressen"));
    EXPECT_EQ(TSoftlink::TableName_Get(nullptr), QString());

    EXPECT_EQ(TSoftlink::SplitArguments(QStringLiteral(" -a  'b c' \"d \\\"e\\\"\" f\\ g \"\"")),
              (QStringList{"-a", "b c", "d \"e\"", "f g", ""}));
}

TEST(SoftlinkParse, ConditionQueryBindsEveryPlaceholder) {
    const Korvexutils::TStringParams values{{QStringLiteral("ort"), QStringLiteral("Ort 1"), true},
                                            {QStringLiteral("dbrid"), 7, true}};
    const TSoftlink::TConditionQuery q = TSoftlink::ConditionQuery(
        {{1, 2, QStringLiteral("'<#ort#>' = 'Ort 1' -- nur Ort 1")},
         {2, QVariant(), QString()},
         {3, 5,
          QStringLiteral("'%<#ORT#>%' LIKE 'O''%' AND <#dbrid#> > 5 AND \"<#ort#>\" IS NULL")}},
        values);
    EXPECT_EQ(q.sql.toStdString(),
              "SELECT\r\n  array_agg(ARRAY[id::VARCHAR, coalesce(value, False)::VARCHAR])\r\n"
              "FROM (SELECT * FROM (\r\n"
              "  SELECT 1 AS id, 2 AS pos, :slp1 = 'Ort 1' -- nur Ort 1\r\n AS value\r\n"
              "UNION\r\n  SELECT 2, NULL, True\r\n"
              "\r\nUNION\r\n  SELECT 3, 5, ('%' || CAST(:slp1 AS text) || '%') LIKE 'O''%' AND "
              ":slp2 > 5 AND \"<#ort#>\" IS NULL\r\n"
              "\r\n) AS sub1 ORDER BY pos, id\r\n) AS sub");
    EXPECT_EQ(q.params.value(QStringLiteral("slp1")), QVariant(QStringLiteral("Ort 1")));
    EXPECT_EQ(q.params.value(QStringLiteral("slp2")), QVariant(7));
    EXPECT_EQ(q.params.size(), 2);
}

TEST_F(SoftlinkTest, ServerOrdersByPositionNullsLastThenId) {
    const TSoftlink::TConditionQuery q =
        TSoftlink::ConditionQuery({{5, QVariant(), QStringLiteral("NULL")},
                                   {4, 1, {}},
                                   {2, 1, QStringLiteral("1 = 2")},
                                   {9, QVariant(), {}}},
                                  {});
    EXPECT_EQ(s_dm->LoadVar(q.sql, q.params).toString(),
              QStringLiteral("{{2,false},{4,true},{5,false},{9,true}}"));
}

TEST_F(SoftlinkTest, EntriesGroupsAndConditionsOfOneTable) {
    TFormAdress* f = Open();
    const int only = AddLink(QStringLiteral("LINK"), 1, QStringLiteral("Karte"), {},
                             QStringLiteral("https://karte.example/?q=<#ort#>"), {});
    QList<QAction*> items = Popup(f);
    // One link goes straight into the menu, followed by the separator and the module link.
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("miSoftlink_0"));
    EXPECT_EQ(items[0]->text(), QStringLiteral("Karte"));
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->objectName(), QStringLiteral("miModulLinkGroup"));
    const TSoftlinkPopupItem item = f->Softlink()->Items().at(0);
    EXPECT_EQ(item.id, only);
    EXPECT_EQ(item.field_name, QStringLiteral("ort"));
    EXPECT_EQ(item.field_value, QVariant(QStringLiteral("Ort 1")));
    EXPECT_EQ(item.dbrid, f->DataAdressen->FieldByName(QStringLiteral("dbrid")).AsString());
    // A second data class on the same table finds the entry there already.
    f->Softlink()->MenuItems_Add(f->DataAdressen);
    EXPECT_EQ(f->Softlink()->Items().size(), 1);
    EXPECT_EQ(f->pmuSoftlink->actions().size(), 3);
    // A developer's installation shows where an entry comes from.
    qputenv("KORVEX_DEVELOP_SYSTEM", "1");
    Popup(f);
    qunsetenv("KORVEX_DEVELOP_SYSTEM");
    EXPECT_EQ(f->pmuSoftlink->actions().at(0)->text(),
              QStringLiteral("Karte [adressen(%1), \"\", LINK, 1]").arg(item.dbrid));

    // Several links make a group named after the table; a NULL condition disables its entry.
    AddLink(QStringLiteral("LINK"), QVariant(), QStringLiteral("Ohne Position"), {},
            QStringLiteral("https://a.example/"), {});
    AddLink(QStringLiteral("LINK"), 2, QStringLiteral("Unbestimmt"), {},
            QStringLiteral("https://b.example/"), QStringLiteral("NULL::boolean"));
    const AliasOverride alias(QString(), QStringLiteral("Anschriften"));
    TVoskDM_Dunmere::Instance()->ClearCache();
    items = Popup(f);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("miSoftlinkGroup_adressen"));
    EXPECT_EQ(items[0]->text(), QStringLiteral("Anschriften"));
    ASSERT_TRUE(items[0]->menu());
    const QList<QAction*> group = items[0]->menu()->actions();
    ASSERT_EQ(group.size(), 3);
    EXPECT_EQ(group[0]->text(), QStringLiteral("Karte"));
    EXPECT_EQ(group[1]->text(), QStringLiteral("Unbestimmt"));
    EXPECT_FALSE(group[1]->isEnabled());
    EXPECT_EQ(group[2]->text(), QStringLiteral("Ohne Position"));
    EXPECT_TRUE(group[2]->isEnabled());

    // The next opening evaluates the conditions of the table in one round trip; the module's
    // contacts table has no links, which costs the warning's event-log row and nothing more.
    const qint64 before = s_dm->Database().RoundTrips();
    Popup(f);
    EXPECT_EQ(s_dm->Database().RoundTrips() - before, 2);
    EXPECT_EQ(f->Softlink()->Items().size(), 3);

    // The group exists already: a second pass for the table warns and adds nothing.
    f->Softlink()->MenuItems_Add(f->DataAdressen);
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("ItemGroup \"miSoftlinkGroup_adressen\" existiert bereits")));
    EXPECT_EQ(f->Softlink()->Items().size(), 3);
    EXPECT_EQ(items.size(), f->pmuSoftlink->actions().size());
}

TEST_F(SoftlinkTest, RecordValuesInConditionsAreComparedAsValues) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("LINK"), 1, QStringLiteral("Anna"), {},
            QStringLiteral("mailto:<#email#>"), QStringLiteral("'<#email#>' = 'anna@beispiel.de'"));
    AddLink(QStringLiteral("LINK"), 2, QStringLiteral("Hat Mail"), {},
            QStringLiteral("mailto:<#email#>"), QStringLiteral("'<#email#>' <> ''"));
    auto enabled = [&](int i) {
        Popup(f);
        return f->Softlink()->Items().at(i).menuItem->isEnabled();
    };
    EXPECT_FALSE(enabled(0));
    EXPECT_FALSE(enabled(1)); // no mail address: the text is empty
    SetField(f, QStringLiteral("email"), QStringLiteral("x' OR 1=1 --"));
    EXPECT_FALSE(enabled(0));
    EXPECT_TRUE(enabled(1));
    SetField(f, QStringLiteral("email"), QStringLiteral("anna@beispiel.de"));
    EXPECT_TRUE(enabled(0));
}

TEST_F(SoftlinkTest, AConditionTheServerRefusesDisablesItsTableOnly) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("LINK"), 1, QStringLiteral("Gut"), {},
            QStringLiteral("https://a.example/"), QStringLiteral("true"));
    AddLink(QStringLiteral("LINK"), 2, QStringLiteral("Kaputt"), {},
            QStringLiteral("https://b.example/"), QStringLiteral("keine_spalte = 1"));
    const QList<QAction*> items = Popup(f);
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("TSoftlink.Conditions_Check: ERROR bei Condition (keine_spalte = 1)")));
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("ERROR bei Condition (true)")));
    ASSERT_EQ(f->Softlink()->Items().size(), 2);
    for (const TSoftlinkPopupItem& i : f->Softlink()->Items())
        EXPECT_FALSE(i.menuItem->isEnabled()) << i.caption.toStdString();
    EXPECT_TRUE(Find(f->pmuSoftlink, QStringLiteral("miModulLinkCopy")));
}

TEST_F(SoftlinkTest, ExecKeepsEachValueInsideItsArgument) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("EXEC"), 1, QStringLiteral("Werkzeug"),
            QStringLiteral("\"/opt/Mein Werkzeug/start\" --name <#name#> \"Ort: <#ort#>\""), {},
            {});
    for (const QString& name : {QStringLiteral("Anna Berg"), QStringLiteral("a b; rm -rf ~")}) {
        SetField(f, QStringLiteral("name"), name);
        Popup(f);
        f->Softlink()->Items().at(0).menuItem->trigger();
        ASSERT_FALSE(m_answers.Launched().empty());
        const auto& run = m_answers.Launched().back();
        EXPECT_EQ(run.program, QStringLiteral("/opt/Mein Werkzeug/start"));
        EXPECT_EQ(run.workingFolder, QStringLiteral("/opt/Mein Werkzeug"));
        EXPECT_EQ(run.arguments, (QStringList{"--name", name, "Ort: Ort 1"}));
    }
    EXPECT_EQ(m_answers.Launched().size(), 2u);
}

TEST_F(SoftlinkTest, BadExecLinesAreRefusedWithTheirText) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("EXEC"), 1, QStringLiteral("Ohne Pfad"),
            QStringLiteral("werkzeug <#name#>"), {}, {});
    AddLink(QStringLiteral("EXEC"), 2, QStringLiteral("Leer"), QStringLiteral("  "), {}, {});
    AddLink(QStringLiteral("EXEC"), 3, QStringLiteral("Windows"),
            QStringLiteral("C:\\Programme\\Werkzeug\\start.exe <#name#>"), {}, {});
    AddLink(QStringLiteral("MAIL"), 4, QStringLiteral("Unbekannt"), {}, {}, {});
    Popup(f);
    const auto& items = f->Softlink()->Items();
    ASSERT_EQ(items.size(), 4);
    const QString dbrid = items[0].dbrid;
    m_answers
        .Expect(QStringLiteral("TSoftlink.DoExecuteSoftlink: \"slink_app\" ist fehlerhaft"),
                Vcl::mrOk)
        .Expect(QStringLiteral("TSoftlink.DoExecuteSoftlink: slink_app ist leer [Table: adressen, "
                               "dbrid: %1, Order: 2]")
                    .arg(dbrid),
                Vcl::mrOk)
        .Expect(QStringLiteral("Das Programm \"C:\\Programme\\Werkzeug\\start.exe\" konnte nicht "
                               "gestartet werden"),
                Vcl::mrOk)
        .Expect(QStringLiteral("TSoftlink.DoExecuteSoftlink: Ausführungstyp wurde nicht definiert "
                               "(adressen.dbrid: %1, order: 4)")
                    .arg(dbrid),
                Vcl::mrOk);
    m_answers.SetShellSucceeds(false);
    for (const TSoftlinkPopupItem& i : items)
        i.menuItem->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    // Only the Windows path reached the launcher, which could not start it.
    ASSERT_EQ(m_answers.Launched().size(), 1u);
    EXPECT_EQ(m_answers.Launched()[0].arguments, QStringList{QStringLiteral("Adresse 01")});
}

TEST_F(SoftlinkTest, LinksEncodeValuesAndFileLinksStayInTheirFolder) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("LINK"), 1, QStringLiteral("Mail"), {},
            QStringLiteral("'mailto:<#email#>'"), {});
    AddLink(QStringLiteral("LINK"), 2, QStringLiteral("Suche"), {},
            QStringLiteral("https://suche.example/?q=<#name#>&ort=<#ort#>"), {});
    AddLink(QStringLiteral("LINK"), 3, QStringLiteral("Datei"), {},
            QStringLiteral("/srv/dokumente/<#name#>.pdf"), {});
    SetField(f, QStringLiteral("email"), QStringLiteral("jörg@beispiel.de"));
    SetField(f, QStringLiteral("name"), QStringLiteral("A&B=C #1"));
    Popup(f);
    const auto& items = f->Softlink()->Items();
    ASSERT_EQ(items.size(), 3);
    items[0].menuItem->trigger();
    items[1].menuItem->trigger();
    items[2].menuItem->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 3);
    EXPECT_EQ(m_answers.OpenedUrls()[0].toString(QUrl::FullyEncoded),
              QStringLiteral("mailto:j%C3%B6rg@beispiel.de"));
    EXPECT_EQ(m_answers.OpenedUrls()[1].toString(QUrl::FullyEncoded),
              QStringLiteral("https://suche.example/?q=A%26B%3DC%20%231&ort=Ort%201"));
    EXPECT_EQ(m_answers.OpenedUrls()[2],
              QUrl::fromLocalFile(QStringLiteral("/srv/dokumente/A&B=C #1.pdf")));

    SetField(f, QStringLiteral("name"), QStringLiteral("../geheim"));
    Popup(f);
    m_answers.Expect(QStringLiteral("Der Wert \"../geheim\" von <#name#> ist in einem Dateilink "
                                    "nicht erlaubt"),
                     Vcl::mrOk);
    f->Softlink()->Items().at(2).menuItem->trigger();
    EXPECT_EQ(m_answers.OpenedUrls().size(), 3);
}

TEST_F(SoftlinkTest, ALinkThatIsOnlyTheRecordsWebAddressOpensIt) {
    TFormAdress* f = Open();
    AddLink(QStringLiteral("LINK"), 1, QStringLiteral("Homepage"), {},
            QStringLiteral("<#email#>"), {});
    const struct {
        QString value;
        QString opened; // empty: refused as a file link
    } cases[] = {
        {QStringLiteral("https://www.example.com/kontakt"),
         QStringLiteral("https://www.example.com/kontakt")},
        {QStringLiteral("mailto:info@example.com"), QStringLiteral("mailto:info@example.com")},
        {QStringLiteral("file:///etc/passwd"), {}},
        {QStringLiteral("javascript:alert(1)/x"), {}},
    };
    for (const auto& c : cases) {
        SetField(f, QStringLiteral("email"), c.value);
        Popup(f);
        const qsizetype before = m_answers.OpenedUrls().size();
        if (c.opened.isEmpty())
            m_answers.Expect(QStringLiteral("ist in einem Dateilink nicht erlaubt"), Vcl::mrOk);
        f->Softlink()->Items().at(0).menuItem->trigger();
        if (c.opened.isEmpty()) {
            EXPECT_EQ(m_answers.OpenedUrls().size(), before) << c.value.toStdString();
        } else {
            ASSERT_EQ(m_answers.OpenedUrls().size(), before + 1) << c.value.toStdString();
            EXPECT_EQ(m_answers.OpenedUrls().last().toString(QUrl::FullyEncoded), c.opened);
        }
    }
}
