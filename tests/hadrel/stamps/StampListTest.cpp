// The stamp list over the stamp documents of "dokseals" / 0: names and passwords, pictures read
// once from the store, the password question.
#include "UFileViewerTIFF.Stamps.h"

#include <DialogAnswerer.h>
#include <RtlDialog.h>
#include <TestDatabase.h>
#include <UDM1.h>
#include <UFileViewerTIFF.Pages.h>
#include <Ukorvexclasses.Dokument.h>

#include <gtest/gtest.h>

#include <QBuffer>

using testsupport::TestDatabase;

namespace {

class StampListTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndoku WHERE pd_tablename = 'dokseals'; DELETE FROM dms_file;"));
        m_dm.Connect();
        TImageListLoader::Unload();
    }
    void TearDown() override {
        TImageListLoader::Unload();
        RtlDialog::FAskPasswordEx.Reset();
    }
    // A stamp document with its picture bytes; returns its id.
    int AddStamp(const QString& name, const QString& password, const QByteArray& bytes) {
        TDokument d;
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        const int id = d.DMSAddFileAsBLOB(b, QStringLiteral("stempel.png"),
                                          QStringLiteral("dokseals"), QStringLiteral("0"));
        TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_path = '%1', pd_dokident = %2 "
                                          "WHERE pd_id = %3")
                               .arg(name, password.isNull() ? QStringLiteral("NULL")
                                                            : QStringLiteral("'%1'").arg(password))
                               .arg(id));
        return id;
    }

    TDM1 m_dm;
    testsupport::DialogAnswerer m_answers;
};

} // namespace

TEST_F(StampListTest, NamesPasswordsAndPicturesReadOnce) {
    AddStamp(QStringLiteral("Geprüft"), {}, "PNG-1");
    const int secret = AddStamp(QStringLiteral("Vertraulich"), QStringLiteral("geheim"), "PNG-2");
    AddStamp(QStringLiteral("Leer"), QString(""), "PNG-3");
    TImageListLoader::EnsureLoaded();
    EXPECT_EQ(TImageListLoader::DokImageList().size(), 3);
    EXPECT_TRUE(TImageListLoader::DokImageList().contains(QStringLiteral("Geprüft\t ")));
    EXPECT_TRUE(TImageListLoader::DokImageList().contains(QStringLiteral("Vertraulich\t geheim")));
    EXPECT_FALSE(TImageListLoader::HasPassword(QStringLiteral("Geprüft")));
    EXPECT_FALSE(TImageListLoader::HasPassword(QStringLiteral("Leer")));
    EXPECT_TRUE(TImageListLoader::HasPassword(QStringLiteral("Vertraulich")));
    EXPECT_FALSE(TImageListLoader::HasPassword(QStringLiteral("Unbekannt")));

    EXPECT_EQ(TImageListLoader::GetImage(nullptr, QStringLiteral("Vertraulich")), "PNG-2");
    // The picture is read once per process: a store that changed since is not asked again.
    TestDatabase::Exec(
        QStringLiteral("SELECT lo_put(oid, 0, 'XXXX'::bytea) FROM dms_file f JOIN "
                       "picndoku p ON p.pd_dmsremotefile = f.name WHERE p.pd_id = %1")
            .arg(secret));
    EXPECT_EQ(TImageListLoader::GetImage(nullptr, QStringLiteral("Vertraulich")), "PNG-2");
    // A stamp added later is not seen until the list is loaded again.
    AddStamp(QStringLiteral("Später"), {}, "PNG-4");
    EXPECT_FALSE(TImageListLoader::Names().contains(QStringLiteral("Später")));
    try {
        TImageListLoader::GetImage(nullptr, QStringLiteral("Später"));
        FAIL() << "no exception";
    } catch (const EImagesException& e) {
        EXPECT_EQ(e.TextNr(), 17194);
        EXPECT_EQ(e.Message(), QStringLiteral("Grafik in Datenbank nicht gefunden."));
    }
    TImageListLoader::Unload();
    TImageListLoader::EnsureLoaded();
    EXPECT_EQ(TImageListLoader::GetImage(nullptr, QStringLiteral("Später")), "PNG-4");
}

TEST_F(StampListTest, OnlyTheRightPasswordUnlocksAStamp) {
    AddStamp(QStringLiteral("Geprüft"), {}, "PNG-1");
    AddStamp(QStringLiteral("Chef"), QStringLiteral("XXXXX"), "PNG-2");
    TImageListLoader::EnsureLoaded();
    QStringList asked;
    std::optional<QString> answer;
    RtlDialog::FAskPasswordEx.Set([&](const QString& caption, const QString& sub) {
        asked << caption + u'|' + sub;
        return answer;
    });
    TImageListLoader::CheckPassword(QStringLiteral("Geprüft")); // no password: no question
    EXPECT_TRUE(asked.isEmpty());

    answer = QStringLiteral("XXXXX");
    TImageListLoader::CheckPassword(QStringLiteral("Chef"));
    EXPECT_EQ(asked, QStringList{QStringLiteral("|Chef")});

    answer = QStringLiteral("xxxxx"); // case counts
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(TImageListLoader::CheckPassword(QStringLiteral("Chef")), EAbort);
    // Cancelled: refused, even for a password that reads like the dialog's cancel text.
    answer.reset();
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(TImageListLoader::CheckPassword(QStringLiteral("Chef")), EAbort);
    // No dialog at all: refused as well.
    RtlDialog::FAskPasswordEx.Reset();
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(TImageListLoader::CheckPassword(QStringLiteral("Chef")), EAbort);
}
