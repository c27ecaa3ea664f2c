#include "SoftlinkFixture.h"

#include "DMSys.h"
#include "TQ32Control.h"
#include "TVoskTaskDialog.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QUrlQuery>

using testsupport::TestDatabase;

namespace {

// A module whose key controls are plain edits, so that a test decides their names and values.
class TLinkModul final : public TModulForm {
    Q_OBJECT
public:
    explicit TLinkModul(QObject* owner = nullptr) : TModulForm(owner) {
        setObjectName(QStringLiteral("LinkModul"));
        Data = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataLink"));
        Data->SetSqlTable(QStringLiteral("adressen"));
        Data->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY dbrid"));
        Control = new TQ32Control(Data);
        TopLabel->FSetDataSource(Data);
        TopLabel->Toplabel->setText(QStringLiteral("Verknüpfungen"));
    }
    QLineEdit* Key(const QString& name, const QString& value) {
        auto* e = Vcl::Owned(this, new QLineEdit(value, this), name);
        Control->AddEditControl(e);
        return e;
    }
    TVoskClass2* Data;
    TQ32Control* Control;
};

} // namespace

class ModulLinkTest : public SoftlinkFixture {
protected:
    void TearDown() override {
        TestDatabase::Exec(
            QStringLiteral("DELETE FROM settings WHERE s_name = 'ModulLink.ServerID'"));
        TVoskTaskDialog::FVoskSendMail.Reset();
        SoftlinkFixture::TearDown();
    }
    TLinkModul* OpenLinkModul() {
        auto* f = Track(TFormKorvexGundForm::Create<TLinkModul>(nullptr, {}));
        UModulForm::ShowModulForm(f);
        QApplication::processEvents();
        return f;
    }
    static QString Hash() { return s_dm->ModulLink_Hash(); }
};

TEST_F(ModulLinkTest, LinkNamesTheModuleAndEncodesEachKeyValue) {
    TLinkModul* f = OpenLinkModul();
    // Without key controls: the module alone, then the hash; no server reference, no server id.
    const QString plain = QStringLiteral("korvex://open/params?modul=TLinkModul");
    EXPECT_EQ(f->GetModulLink(0), plain + QStringLiteral("&hash=") + Hash());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(Hash()).hasMatch());

    TestDatabase::Exec(QStringLiteral("INSERT INTO settings VALUES ('ModulLink.ServerID', '7')"));
    f->Key(QStringLiteral("EdKundenNr"), QStringLiteral("K 4711"));
    f->Key(QStringLiteral("Ort"), QStringLiteral("Köln"));
    EXPECT_EQ(f->GetModulLink(0),
              plain + QStringLiteral("&edkundennr=K%204711&ort=K%C3%B6ln&server_id=7&hash=") +
                  Hash());

    // Separators inside a value stay part of it.
    f->Key(QStringLiteral("Zusatz"), QStringLiteral("a&b=c#d+e"));
    const QUrlQuery query(QUrl(f->GetModulLink(0)));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("zusatz"), QUrl::FullyDecoded),
              QStringLiteral("a&b=c#d+e"));
    EXPECT_EQ(query.queryItems().size(), 6);

    // Not connected: the link ends after the parameters.
    s_dm->Disconnect();
    const QString offline = f->GetModulLink(0);
    s_dm->Connect();
    EXPECT_EQ(offline, plain + QStringLiteral(
                                   "&edkundennr=K%204711&ort=K%C3%B6ln&zusatz=a%26b%3Dc%23d%2Be"));
    EXPECT_EQ(f->GetModulLink(2), QString());
}

TEST_F(ModulLinkTest, DescriptionNamesTheFieldsByTheirAlias) {
    TLinkModul* f = OpenLinkModul();
    EXPECT_EQ(f->GetModulLink(1), QStringLiteral("Modul: 'Verknüpfungen'"));
    f->Key(QStringLiteral("Ort"), QStringLiteral("Köln"));
    f->Key(QStringLiteral("EdFrei"), QStringLiteral("x"));
    QString text;
    {
        const AliasOverride alias(QStringLiteral("ort"), QStringLiteral("Wohnort"));
        text = f->GetModulLink(1);
    }
    EXPECT_EQ(text, QStringLiteral("Modul: 'Verknüpfungen', Wohnort: 'Köln', EdFrei: 'x'"));

    // A module without control handler hands out no link at all.
    TFormAdress* a = Open();
    delete TQ32Control::Of(a->DataAdressen);
    EXPECT_EQ(a->GetModulLink(0), QString());
    EXPECT_EQ(a->GetModulLink(1), QStringLiteral("Modul: 'Adressen'"));
}

TEST_F(ModulLinkTest, CopyAndMailTheLinkFromTheMenu) {
    TFormAdress* f = Open();
    const QString link = f->GetModulLink(0);
    EXPECT_TRUE(link.startsWith(
        QStringLiteral("korvex://open/params?modul=TFormAdress&edname=Adresse%2001&hash=")));
    // No soft links: no separator before the module link.
    QList<QAction*> items = Popup(f);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0], f->miModulLinkGroup.data());
    EXPECT_FALSE(f->miTrenner);
    ASSERT_TRUE(f->miModulLinkCopy && f->miModulLinkMailSend);
    EXPECT_EQ(f->miModulLinkCopy->icon().cacheKey(), DMSys()->ImageList()->Icon(60).cacheKey());

    f->miModulLinkCopy->trigger();
    EXPECT_EQ(m_answers.Text(), link);

    // Without a mail sender the entry says so (the package's own one is taken out).
    TVoskTaskDialog::FVoskSendMail.Reset();
    m_answers.Expect(QStringLiteral("kein E-Mail-Versand"), Vcl::mrOk);
    f->miModulLinkMailSend->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);

    struct Mail {
        QString to, subject, body;
        QStringList attachments, names;
    };
    QList<Mail> sent;
    TVoskTaskDialog::FVoskSendMail.Set([&](const QString& to, const QString& subject,
                                           const QString& body, const QStringList& attachments,
                                           const QStringList& names) {
        sent.append({to, subject, body, attachments, names});
        return true;
    });
    f->miModulLinkMailSend->trigger();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].to.isEmpty());
    EXPECT_EQ(sent[0].subject, QStringLiteral("Modul: 'Adressen', EdName: 'Adresse 01'"));
    EXPECT_EQ(sent[0].body, QStringLiteral("<a href=\"%1\">KORVEX-Link</a>").arg(link));
    EXPECT_TRUE(sent[0].attachments.isEmpty() && sent[0].names.isEmpty());

    // Entries are made anew on each opening; the old ones are gone.
    QPointer<TVoskMenuItem> old = f->miModulLinkCopy;
    Popup(f);
    EXPECT_FALSE(old);
    EXPECT_EQ(f->pmuSoftlink->actions().size(), 1);
}

TEST_F(ModulLinkTest, TheButtonOpensTheMenuOfTheAddressModule) {
    AddLink(QStringLiteral("LINK"), 1, QStringLiteral("E-Mail schreiben"), {},
            QStringLiteral("mailto:<#email#>"), QStringLiteral("'<#email#>' <> ''"));
    AddLink(QStringLiteral("LINK"), 2, QStringLiteral("Ort auf der Karte suchen"), {},
            QStringLiteral("https://karte.example/search?query=<#plz#> <#ort#>"), {});
    TFormAdress* f = Open();
    ASSERT_TRUE(f->BtSoftlink && f->BtDoku);
    EXPECT_TRUE(f->Softlink()->BtSoftlinkEnabled());
    EXPECT_FALSE(f->BtSoftlink->toolTip().isEmpty());
    f->BtSoftlink->click();
    QApplication::processEvents();
    EXPECT_TRUE(f->pmuSoftlink->isVisible());
    QAction* mail = Find(f->pmuSoftlink, QStringLiteral("miSoftlink_0"));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->text(), QStringLiteral("E-Mail schreiben"));
    EXPECT_FALSE(mail->isEnabled()); // this address has no mail address
    EXPECT_TRUE(Find(f->pmuSoftlink, QStringLiteral("miSoftlink_1"))->isEnabled());
    EXPECT_TRUE(f->miTrenner && f->miModulLinkGroup);
    f->pmuSoftlink->hide();

    SetField(f, QStringLiteral("email"), QStringLiteral("adresse01@beispiel.de"));
    f->BtSoftlink->click();
    QApplication::processEvents();
    EXPECT_TRUE(Find(f->pmuSoftlink, QStringLiteral("miSoftlink_0"))->isEnabled());
    f->pmuSoftlink->hide();

    // An empty or closed data class has no record to link to.
    f->DataAdressen->Close();
    f->BtSoftlink->click();
    QApplication::processEvents();
    EXPECT_FALSE(f->pmuSoftlink->isVisible());
}

#include "ModulLinkTest.moc"
