#include "RecordInfoFixture.h"

#include "TVoskDocumentViewer.h"

#include <QPointer>

namespace {

// The document window as a test sees it: what was asked of it, and whether the status-bar button
// was disabled meanwhile.
class RecordingDokments final : public QWidget, public UModulFormSeams::IFormDokments {
public:
    RecordingDokments(TModulForm* form, bool failTree) : m_form(form), m_failTree(failTree) {
        setWindowFlag(Qt::Window);
    }
    QWidget* Window() override { return this; }
    void SetOwnerModulForm(QWidget* form) override {
        calls << QStringLiteral("owner");
        owner = form;
    }
    void SetAlternateDokIdent(const QString& ident) override {
        calls << QStringLiteral("ident=") + ident;
    }
    void Show() override {
        calls << QStringLiteral("show");
        buttonDisabled = !m_form->BtDoku->isEnabled();
        show();
    }
    void TreeMenuCreate(bool expand) override {
        calls << QStringLiteral("tree=%1").arg(expand);
        if (m_failTree)
            throw EVoskException(QStringLiteral("Baum kaputt"));
    }
    bool TreeMenuSelect(const QString& node) override {
        calls << QStringLiteral("select=") + node;
        return true;
    }
    void SperrDokuAction(QObject*, QObject*, UModulFormSeams::TSperrDokuActionType) override {}
    TDokument* Dokument1() override { return nullptr; }

    QStringList calls;
    QWidget* owner = nullptr;
    bool buttonDisabled = false;

private:
    TModulForm* m_form;
    bool m_failTree;
};

class ScanButton final : public QObject, public UModulFormSeams::IScanButton {
public:
    QString Dokident__Get() override { return QStringLiteral("SCAN-7"); }
};

} // namespace

class DokuHookTest : public RecordInfoFixture {
protected:
    // Installs the recording window; the pointer follows the window made last.
    void RecordWindows(TModulForm* f, bool failTree = false) {
        UModulFormSeams::FormDokments.Set(
            [this, f, failTree](QObject*, const QString& table, const QString& recId,
                                TVoskClass* d) -> UModulFormSeams::IFormDokments* {
                m_args = {table, recId, d ? d->objectName() : QString()};
                auto* w = new RecordingDokments(f, failTree);
                m_window = w;
                return w;
            });
    }
    static QString Message(const std::function<void()>& f) {
        try {
            f();
        } catch (const EVoskException& e) {
            return e.Message();
        }
        return {};
    }
    QPointer<RecordingDokments> m_window;
    QStringList m_args;
};

TEST_F(DokuHookTest, TheStatusButtonOpensTheRecordsWindowWhileDisabled) {
    TFormAdress* f = OpenQuiet();
    RecordWindows(f);
    f->BtDoku->click();
    ASSERT_TRUE(m_window);
    EXPECT_EQ(m_args, QStringList({QStringLiteral("adressen"), QString::number(CurrentId(f)),
                                   QStringLiteral("DataAdressen")}));
    EXPECT_EQ(m_window->calls, QStringList({QStringLiteral("owner"), QStringLiteral("show"),
                                            QStringLiteral("tree=1")}));
    EXPECT_EQ(m_window->owner, f);
    EXPECT_TRUE(m_window->buttonDisabled);
    EXPECT_TRUE(f->BtDoku->isEnabled());
    delete m_window;
}

TEST_F(DokuHookTest, ScanButtonAndViewerHandOnTheirIdentAndNode) {
    TFormAdress* f = OpenQuiet();
    RecordWindows(f);
    ScanButton scan;
    f->BtDokuClick(&scan);
    ASSERT_TRUE(m_window);
    EXPECT_TRUE(m_window->calls.contains(QStringLiteral("ident=SCAN-7")));
    delete m_window;

    TVoskDocumentViewer viewer;
    viewer.SetDataClass(f->DataAdressen);
    viewer.SetNodeIdent(42);
    f->StartDMSFromPreview(&viewer);
    ASSERT_TRUE(m_window);
    EXPECT_EQ(m_window->calls.last(), QStringLiteral("select=42"));
    delete m_window;
    // Anything but a viewer is not a preview.
    QWidget other;
    f->StartDMSFromPreview(&other);
    EXPECT_FALSE(m_window);
}

TEST_F(DokuHookTest, AFailingWindowIsFreedAndTheButtonComesBack) {
    TFormAdress* f = OpenQuiet();
    RecordWindows(f, true);
    m_answers.Expect(QStringLiteral("Baum kaputt"), Vcl::mrOk);
    f->BtDokuClick(f->BtDoku);
    QApplication::processEvents();
    EXPECT_FALSE(m_window);
    EXPECT_TRUE(f->BtDoku->isEnabled());
}

TEST_F(DokuHookTest, ConfigurationFaultsAndEmptyIdsAreNamed) {
    TFormAdress* f = OpenQuiet();
    RecordWindows(f);
    auto* c = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DokuTest"));
    f->TopLabel->FSetDokumentClass(c);
    c->SetQuerySql(QStringLiteral("SELECT 1 AS x"));
    c->Open();
    EXPECT_EQ(Message([&] { f->BtDokuClick(f->BtDoku); }),
              QStringLiteral("TopLabel._DocumentClass TVoskClass2.DokuTest: Class has no dbrid or "
                             "repository_dbrid"));
    c->Close();
    c->SetQuerySql(QStringLiteral("SELECT 1 AS dbrid"));
    c->Open();
    EXPECT_EQ(Message([&] { f->BtDokuClick(f->BtDoku); }),
              QStringLiteral("TopLabel._DocumentClass TVoskClass2.DokuTest: No tablename/sqltable "
                             "or repository_tablename"));
    c->Close();
    c->SetQuerySql(QStringLiteral("SELECT dbrid, NULL::bigint AS repository_dbrid, "
                                  "'lager'::text AS repository_tablename FROM adressen"));
    c->Open();
    m_answers.Expect(QStringLiteral("Keine Objektablage: Datensatz in TVoskClass2.DokuTest nicht "
                                    "vorhanden.\r\n\r\ntable=lager, repository_dbrid=null/empty"),
                     Vcl::mrOk);
    f->BtDokuClick(f->BtDoku);
    EXPECT_FALSE(m_window);

    f->TopLabel->FSetDokumentClass(nullptr);
    EXPECT_EQ(Message([&] { f->BtDokuClick(f->BtDoku); }),
              QStringLiteral("[TModulForm.BtDokuClick]: Die Dokumentklasse ist nicht definiert"));
    f->TopLabel->FSetDokumentClass(f->DataAdressen);
    UModulFormSeams::FormDokments.Reset();
    m_answers.Expect(
        QStringLiteral("Dokumentverwaltung ist in dieser Installation nicht verfügbar"), Vcl::mrOk);
    f->BtDokuClick(f->BtDoku);
}

TEST_F(DokuHookTest, SaveQuestionOnlyWhereTheWorkModeAsks) {
    TFormAdress* f = OpenQuiet();
    const qint64 id = CurrentId(f);
    // No work modes: saved without a question.
    f->TopLabel->SetWithWorkModes(false);
    Type(f->EdOrt, QStringLiteral("Ohne Frage"));
    Click(f, nbPost);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), QStringLiteral("Ohne Frage"));
    f->TopLabel->SetWithWorkModes(true);
    // A new record is saved without a question.
    f->DataAdressen->Append();
    f->DataAdressen->FieldByName(QStringLiteral("name"))
        .SetAsString(QStringLiteral("Neu ohne Frage"));
    f->DataAdressen->Post();
    EXPECT_TRUE(m_answers.Questions().empty());
}

TEST_F(DokuHookTest, NoCancelsTheOwnedClassesAndRefusesThePost) {
    TFormAdress* f = OpenQuiet();
    const qint64 id = CurrentId(f);
    const QString before = DbValue(QStringLiteral("name"), id);
    auto* sub = Vcl::Owned(f->DataAdressen, new TVoskClass2(f->DataAdressen),
                           QStringLiteral("SubAdressen"));
    sub->SetSqlTable(QStringLiteral("adressen"));
    sub->Open();
    sub->Edit();
    sub->FieldByName(QStringLiteral("ort")).SetAsString(QStringLiteral("Unterklasse"));
    f->DataAdressen->Edit();
    f->DataAdressen->FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Nein"));
    m_answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrNo)
        .Expect(QStringLiteral("Speichern abgebrochen."), Vcl::mrOk);
    EXPECT_THROW(f->DataAdressen->Post(), EAbort);
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_FALSE(sub->InEdit());
    EXPECT_EQ(DbValue(QStringLiteral("name"), id), before);
}

TEST_F(DokuHookTest, AnUnnamedClassIsAskedForByItsClassName) {
    TestDatabase::Exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS ohnealias (dbrid serial PRIMARY KEY, t text);"
                       "INSERT INTO ohnealias (t) VALUES ('a')"));
    TFormAdress* f = OpenQuiet();
    TVoskClass2 c;
    c.SetSqlTable(QStringLiteral("ohnealias"));
    c.Open();
    c.Edit();
    m_answers.Expect(QStringLiteral("TVoskClass2: Änderungen speichern?"), Vcl::mrYes);
    f->AskBeforePost(&c);
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(m_answers.Questions()[0].text, QStringLiteral("TVoskClass2: Änderungen speichern?"));
    c.Cancel();
}
