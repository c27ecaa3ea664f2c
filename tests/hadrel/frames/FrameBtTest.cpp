// The report button bar on a designed dialog, with real python3 and a real database: what the
// built script holds, what comes back, which files stay, and that a failing script keeps the
// dialog open instead of handing its error on as a result.

#include "ModulFormFixture.h"

#include <Korvexcommonvcl.h>
#include <TKorvexPython.h>
#include <TfrmAdressliste.h>
#include <TfrmToDesignBase.h>
#include <UConstants.h>
#include <UFrameBt.h>
#include <UShutdownFiles.h>
#include <VoskF2Controls.h>
#include <VoskHelp.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

// A designed report dialog: the parameter controls, then the bar.
class TfrmTestReport final : public TfrmToDesignBase {
    Q_OBJECT
public:
    explicit TfrmTestReport(QObject* owner) : TfrmToDesignBase(owner) {
        SetModulName(QStringLiteral("Adressliste"));
        auto* layout = new QVBoxLayout(this);
        edName = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("edName"));
        mBemerkung = Vcl::Owned(this, new TVoskMemo(this), QStringLiteral("mBemerkung"));
        cbAktiv = Vcl::Owned(this, new TVoskCheckBox(this), QStringLiteral("cbAktiv"));
        dtStichtag = Vcl::Owned(this, new TVoskDateEdit(this), QStringLiteral("dtStichtag"));
        peSortierung = Vcl::Owned(this, new TVoskPickEdit(this), QStringLiteral("peSortierung"));
        peSortierung->addItems({QStringLiteral("Name"), QStringLiteral("Ort")});
        for (QWidget* w : {static_cast<QWidget*>(edName), static_cast<QWidget*>(mBemerkung),
                           static_cast<QWidget*>(cbAktiv), static_cast<QWidget*>(dtStichtag),
                           static_cast<QWidget*>(peSortierung)})
            layout->addWidget(w);
        FrameBt = new TFrameBt(this, this);
        layout->addWidget(FrameBt);
    }
    TVoskEdit* edName;
    TVoskMemo* mBemerkung;
    TVoskCheckBox* cbAktiv;
    TVoskDateEdit* dtStichtag;
    TVoskPickEdit* peSortierung;
    TFrameBt* FrameBt;
};

class RecordingHelp final : public Corvale::THelp {
public:
    void ShowKeyword(const QString& keyword, QWidget*) override { keywords << keyword; }
    QStringList keywords;
};

// Stands for the user in the address list dialog: presses OK and keeps what came back.
class PressOk final : public Korvexcommonvcl::ModalForms {
public:
    int Run(Vcl::TForm* form) override {
        auto* d = qobject_cast<TfrmAdressliste*>(form);
        if (!d)
            return Vcl::mrCancel;
        d->show();
        d->FrameBt->btOk->click();
        result = d->ResultText();
        d->hide();
        return d->ModalResult();
    }
    QString result;
};

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class FrameBtTest : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        CurrentSession_UConstants().SetBasePath(m_session.path());
        TFrameBt::FSavePythonScript = false;
        TFrameBt::FSavePythonResult = true;
        TFrameBt::FShowPythonResult = false;
    }
    void TearDown() override {
        delete m_dialog;
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM rtf WHERE rtf_id BETWEEN 7000 AND 7999; "
            "DELETE FROM settings WHERE s_name IN ('PythonTimeout', 'PythonInterpreter', "
            "'IsDevelopSystem')"));
        CurrentSession_UConstants().SetBasePath({});
        DeleteFilesOnShutdownNow();
        ModulFormFixture::TearDown();
    }

    static void AddReport(int id, const QString& script, bool blankSql = false) {
        testsupport::TestDatabase::Exec(
            QStringLiteral("INSERT INTO rtf (rtf_id, rtf_blanksql, rtf_script) VALUES (%1, %2, %3)")
                .arg(id)
                .arg(blankSql ? QStringLiteral("true") : QStringLiteral("false"),
                     "convert_from(decode('" + QString::fromLatin1(script.toUtf8().toHex()) +
                         "', 'hex'), 'UTF8')"));
    }
    TfrmTestReport* Dialog(int rtfId, QObject* owner = nullptr) {
        delete m_dialog;
        m_dialog = new TfrmTestReport(owner);
        m_dialog->FrameBt->OpenReport(rtfId);
        return m_dialog;
    }
    void Ok() {
        m_dialog->FrameBt->btOk->click();
        QApplication::processEvents();
    }

    QTemporaryDir m_session;
    QPointer<TfrmTestReport> m_dialog;
};

TEST_F(FrameBtTest, BlankSqlAndEmptyScriptCloseWithoutPython) {
    AddReport(7001, QStringLiteral("\n  SELECT * FROM adressen  \n\n"), true);
    TfrmTestReport* d = Dialog(7001);
    Ok();
    EXPECT_EQ(d->ResultText(), QStringLiteral("\n  SELECT * FROM adressen"));
    EXPECT_EQ(readFile(TFrameBt::ScriptFileName(7001)), QStringLiteral("rtf_blanksql"));
    EXPECT_EQ(d->ModalResult(), Vcl::mrOk);
    EXPECT_TRUE(FilesToDeleteOnShutdown().contains(TFrameBt::ScriptFileName(7001)));

    AddReport(7002, QStringLiteral("  \n "));
    d = Dialog(7002);
    d->SetResultText(QStringLiteral("alt"));
    Ok();
    EXPECT_EQ(d->ResultText(), QString());
    EXPECT_EQ(readFile(TFrameBt::ScriptFileName(7002)), QStringLiteral("rtf_script is empty"));
}

TEST_F(FrameBtTest, ScriptGetsEveryDialogValueBackUnchanged) {
    AddReport(7010, QStringLiteral(
                        "import json\n"
                        "print('\\n  \\n')\n"
                        "print(json.dumps([edname, mbemerkung, cbaktiv, dtstichtag, pesortierung,"
                        " modulname, modulname_ownerform]))\n"
                        "print('\\n\\n   ')\n"));
    TfrmTestReport* d = Dialog(7010);
    const QString nasty = QStringLiteral("O'Brien \"\"\" ''' \\ C:\\neu \\n ä");
    d->edName->setText(nasty);
    d->mBemerkung->setPlainText(QStringLiteral("Zeile 1\nZeile 2 – Größe\n'''"));
    d->cbAktiv->setChecked(true);
    d->dtStichtag->setText(QStringLiteral("24.12.2026"));
    d->peSortierung->setEditText(QStringLiteral("Ort"));
    Ok();
    ASSERT_EQ(d->ModalResult(), Vcl::mrOk) << d->ResultText().toStdString();
    // Blank lines before and white space after the output are gone.
    const QJsonArray v = QJsonDocument::fromJson(d->ResultText().toUtf8()).array();
    ASSERT_EQ(v.size(), 7) << d->ResultText().toStdString();
    EXPECT_EQ(v.at(0).toString(), nasty);
    EXPECT_EQ(v.at(1).toString(), QStringLiteral("Zeile 1\nZeile 2 – Größe\n'''"));
    EXPECT_TRUE(v.at(2).toBool());
    EXPECT_EQ(v.at(3).toString(), QStringLiteral("2026-12-24"));
    EXPECT_EQ(v.at(4).toString(), QStringLiteral("Ort"));
    EXPECT_EQ(v.at(5).toString(), QStringLiteral("Adressliste"));

    // Without a module form behind the dialog the module lines are placeholders.
    const QString script = readFile(TFrameBt::ScriptFileName(7010));
    EXPECT_TRUE(script.startsWith(QStringLiteral("# -*- coding: utf-8 -*-\nHOSTNAME = '")));
    EXPECT_TRUE(script.contains(QStringLiteral(
        "\n#modulinfo_id       = \n#modulinfo_keys     = \n#modulinfo_table    = \nfirma")));
    EXPECT_TRUE(script.contains(QStringLiteral("\ndtstichtag = '2026-12-24'\n")));
    EXPECT_EQ(QFile(TFrameBt::ScriptFileName(7010)).permissions() &
                  (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
    EXPECT_EQ(readFile(TFrameBt::ResultFileName(7010)), d->ResultText());

    // An empty date is None, an unchecked box False.
    d->dtStichtag->clear();
    d->cbAktiv->setChecked(false);
    d->SetModalResult(Vcl::mrNone);
    Ok();
    const QJsonArray w = QJsonDocument::fromJson(d->ResultText().toUtf8()).array();
    EXPECT_TRUE(w.at(3).isNull());
    EXPECT_FALSE(w.at(2).toBool());
}

TEST_F(FrameBtTest, ModuleFormNamesItsRecord) {
    AddReport(7015, QStringLiteral("print(modulinfo_table, modulinfo_id != '')"));
    TFormAdress* module = Open();
    TfrmTestReport* d = Dialog(7015, module);
    Ok();
    EXPECT_EQ(d->ResultText(), QStringLiteral("adressen True"));
    EXPECT_EQ(d->ModulNameOwnerForm().isEmpty(), false);
    d->hide();
}

TEST_F(FrameBtTest, ResultFileFollowsTheMenuAcrossBars) {
    AddReport(7020, QStringLiteral("print('fertig')"));
    TfrmTestReport* d = Dialog(7020);
    EXPECT_TRUE(d->FrameBt->miSavePythonResult->isChecked());
    d->FrameBt->miSavePythonResult->setChecked(false);
    Ok();
    EXPECT_EQ(d->ResultText(), QStringLiteral("fertig"));
    EXPECT_FALSE(QFile::exists(TFrameBt::ResultFileName(7020)));

    d = Dialog(7020);
    EXPECT_FALSE(d->FrameBt->miSavePythonResult->isChecked());
    // Keeping the script keeps its result too.
    d->FrameBt->miSavePythonScript->trigger();
    EXPECT_TRUE(d->FrameBt->miSavePythonResult->isChecked());
}

TEST_F(FrameBtTest, InvalidControlKeepsTheDialogAndWritesNothing) {
    AddReport(7030, QStringLiteral("print('nie')"));
    TfrmTestReport* d = Dialog(7030);
    d->dtStichtag->setText(QStringLiteral("31.02.2026"));
    m_answers.Expect(QStringLiteral("Eingabe ungültig"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);
    EXPECT_FALSE(QFile::exists(TFrameBt::ScriptFileName(7030)));
    EXPECT_EQ(d->dtStichtag->palette().color(QPalette::Base), QColor(247, 182, 166));

    d->dtStichtag->clear();
    d->edName->SetRequired(true);
    m_answers.Expect(QStringLiteral("Eingabe ungültig"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);
    d->peSortierung->SetItemsOnly(true);
    d->peSortierung->setEditText(QStringLiteral("Quatsch"));
    d->edName->setText(QStringLiteral("x"));
    m_answers.Expect(QStringLiteral("Eingabe ungültig"), Vcl::mrOk);
    Ok();
    EXPECT_FALSE(QFile::exists(TFrameBt::ScriptFileName(7030)));
}

TEST_F(FrameBtTest, FailingScriptsKeepTheDialogOpenWithTheirOutput) {
    AddReport(7040, QStringLiteral("print('vorher')\nraise ValueError('kaputt')\n"));
    AddReport(7041, QStringLiteral("print('offen'\n"));
    AddReport(7042, QStringLiteral("import time\ntime.sleep(60)\n"));

    TfrmTestReport* d = Dialog(7040);
    m_answers.Expect(QStringLiteral("Fehlercode 1"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);
    EXPECT_EQ(d->ResultText(), QString());
    EXPECT_FALSE(QFile::exists(TFrameBt::ResultFileName(7040)));
    ASSERT_FALSE(m_answers.Questions().empty());
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("ValueError: kaputt")));
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("vorher")));

    d = Dialog(7041);
    m_answers.Expect(QStringLiteral("Error: Skript kann nicht ausgeführt werden"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);

    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES ('PythonTimeout', '1')"));
    d = Dialog(7042);
    m_answers.Expect(QStringLiteral("nach 1 Sekunden abgebrochen"), Vcl::mrOk);
    QElapsedTimer t;
    t.start();
    Ok();
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);

    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settings (s_name, s_value) VALUES ('PythonInterpreter', '/kein/python3')"));
    d = Dialog(7040);
    m_answers.Expect(QStringLiteral("kann nicht gestartet werden"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);
}

TEST_F(FrameBtTest, DevelopersAreToldAboutUpperCaseFieldNames) {
    AddReport(7050, QStringLiteral("print(edName)\n"));
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settings (s_name, s_value) VALUES ('IsDevelopSystem', 'true')"));
    Dialog(7050);
    m_answers.Expect(QStringLiteral("Kleinschreibung der RTF-Felder"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(m_dialog->ModalResult(), Vcl::mrNone);
}

TEST_F(FrameBtTest, CheckAllListsEveryRejectedScript) {
    AddReport(7060, QStringLiteral("print('gut')\n"));
    AddReport(7061, QStringLiteral("def f(:\n    pass\n"));
    AddReport(7062, QStringLiteral("x = [1, 2]\nprint(x)\n"));
    AddReport(7063, QStringLiteral("def f(: kein Python"), true);
    TfrmTestReport* d = Dialog(7062);
    d->FrameBt->miPythonScriptsCheck->trigger();
    const QString report = readFile(TFrameBt::CheckAllFileName());
    EXPECT_EQ(report.count(QStringLiteral("rtf_id: ")), 1) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("rtf_id: 7061, check_result: ")));
    EXPECT_TRUE(report.contains(QStringLiteral("SyntaxError")));
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_EQ(m_answers.OpenedUrls().front().toLocalFile(), TFrameBt::CheckAllFileName());
    // The bar is back on its own report afterwards.
    Ok();
    EXPECT_EQ(d->ResultText(), QStringLiteral("[1, 2]"));

    // Without an interpreter every script is listed with the reason.
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settings (s_name, s_value) VALUES ('PythonInterpreter', '/kein/python3')"));
    d->FrameBt->miPythonScriptsCheck->trigger();
    const QString none = readFile(TFrameBt::CheckAllFileName());
    EXPECT_EQ(none.count(QStringLiteral("(except)check_result: Python (\"/kein/python3\") kann "
                                        "nicht gestartet werden")),
              3)
        << none.toStdString();
}

TEST_F(FrameBtTest, CancelHelpAndPrintSettings) {
    AddReport(7070, QStringLiteral("print(1)"));
    TfrmTestReport* d = Dialog(7070);
    RecordingHelp help;
    Corvale::THelp* old = Corvale::THelp::SetInstance(&help);
    d->FrameBt->btHelp->click();
    d->SetHelpKeyword(QStringLiteral("Adressliste"));
    d->FrameBt->btHelp->click();
    Corvale::THelp::SetInstance(old);
    EXPECT_EQ(help.keywords,
              QStringList({QStringLiteral("Link: FormDesign"), QStringLiteral("Adressliste")}));

    d->cbAktiv->setChecked(true);
    d->FrameBt->btSavePrintSettingsClick();
    EXPECT_EQ(readFile(d->PrintSettingsFileName()), QStringLiteral("cbaktiv=-1\n"));
    d->SetModulName(QStringLiteral("../../etc/passwd"));
    // A module name names a file in the session's folder, never a path elsewhere.
    EXPECT_EQ(QFileInfo(d->PrintSettingsFileName()).absolutePath() + u'/',
              CurrentSession_UConstants().BasePath());

    d->FrameBt->btCancel->click();
    EXPECT_EQ(d->ModalResult(), Vcl::mrAbort);

    // A report that is not there is said so; the dialog stays.
    d = Dialog(7999);
    m_answers.Expect(QStringLiteral("Der Bericht 7999 ist nicht vorhanden"), Vcl::mrOk);
    Ok();
    EXPECT_EQ(d->ModalResult(), Vcl::mrNone);
    EXPECT_EQ(d->FrameBt->objectName(), QStringLiteral("FrameBt"));
}

TEST_F(FrameBtTest, AddressModulePrintsTheAddressList) {
    const QString demo = readFile(QStringLiteral(KORVEX_SOURCE_DIR "/db/demo/230_rtf_demo.sql"));
    ASSERT_FALSE(demo.isEmpty());
    testsupport::TestDatabase::Exec(
        QStringLiteral("DELETE FROM rtf WHERE rtf_id BETWEEN 9001 AND 9003; ") + demo);
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settings (s_name, s_value) VALUES ('Firma', 'Muster & Söhne')"));
    TFormAdress* module = Open();
    PressOk user;
    Korvexcommonvcl::ModalForms* old = Korvexcommonvcl::ModalForms::SetInstance(&user);
    module->TopLabel->OnPrintBtClick(module, false, false, false);
    Korvexcommonvcl::ModalForms::SetInstance(old);
    testsupport::TestDatabase::Exec(
        QStringLiteral("DELETE FROM rtf WHERE rtf_id BETWEEN 9001 AND 9003; DELETE FROM settings "
                       "WHERE s_name = 'Firma'"));
    EXPECT_TRUE(
        user.result.startsWith(QStringLiteral("Adressliste fuer Muster & Söhne\nStichtag: ")))
        << user.result.toStdString();
    EXPECT_TRUE(user.result.endsWith(QStringLiteral("Nur aktive: ja\nSortierung: Name")));
}

TEST(FrameBtOutput, BlankLinesBeforeAndWhiteSpaceAfterAreTrimmed) {
    EXPECT_EQ(TFrameBt::TrimScriptOutput(QStringLiteral("\n   \r\n\nabc\n  def \r\n\n\t ")),
              QStringLiteral("abc\n  def"));
    // Indentation of the first line and blank lines inside stay.
    EXPECT_EQ(TFrameBt::TrimScriptOutput(QStringLiteral("  x\n\n y")), QStringLiteral("  x\n\n y"));
    EXPECT_EQ(TFrameBt::TrimScriptOutput(QStringLiteral(" \n \n")), QString());
}

#include "FrameBtTest.moc"
