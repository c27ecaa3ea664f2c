#pragma once
// The host's module libraries over the suite's database: a main menu with a plain module, a hidden
// one, edit tables and the lookup test, and test module forms of our own.

#include "ModulFormFixture.h"

#include "UHostModules.h"
#include "UModulForm.Start.h"
#include "Ukorvexinterface.h"

#include <QLineEdit>

// A module that takes the parameters of a further start.
class TFormStartProbe : public TModulForm, public IVoskModuleStartParams {
    Q_OBJECT
public:
    explicit TFormStartProbe(QObject* owner = nullptr, QWidget* parent = nullptr)
        : TModulForm(owner, parent) {
        for (const char* name : {"EdA", "EdB", "EdC"}) {
            auto* e = Vcl::Owned(this, new QLineEdit(this), QString::fromLatin1(name));
            ModulLayout()->addWidget(e);
        }
    }
    QLineEdit* Ed(const char* name) const {
        return qobject_cast<QLineEdit*>(Vcl::FindComponent(this, QString::fromLatin1(name)));
    }
    void SetModuleStartParams(const QStringList& lines) override { Received << lines; }
    QList<QStringList> Received;
};

class TFormStartProbeChild final : public TFormStartProbe {
    Q_OBJECT
public:
    using TFormStartProbe::TFormStartProbe;
};

class StartFixture : public ModulFormFixture {
public:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO mainmenu (mm_id, mm_caption, mm_text, mm_formclassname, mm_hidden, "
            "mm_action, mm_library, mm_proc, mm_sql, mm_readonly, mm_config) VALUES "
            "(1, 'Adressen', NULL, 'TFormAdress', false, 0, 'Adressen.M', 'ADRESSEN', NULL, false, NULL), "
            "(2, 'Geheim', NULL, 'TFormGeheim', true, 0, 'Adressen.M', 'ADRESSEN', NULL, false, NULL), "
            "(3, 'Tabelle', 101, 'TFormTabelle', false, 4, NULL, 'adressen', "
            "'SELECT * FROM adressen ORDER BY dbrid', false, 'cfg'), "
            "(4, 'Tabelle RO', 101, 'TFormTabelleRO', false, 7, NULL, 'adressen', "
            "'SELECT * FROM adressen ORDER BY dbrid', false, NULL), "
            "(5, 'Probe', NULL, 'TFormStartProbe', false, 0, 'Test.M', 'PROBE', NULL, false, NULL), "
            "(6, 'Suche', NULL, 'TFormLookupTest', false, 0, 'F2Test.M', 'LOOKUPTEST', NULL, false, NULL), "
            "(7, 'Kaputt', NULL, 'TFormOhneBibliothek', false, 0, NULL, NULL, NULL, false, NULL); "
            "INSERT INTO f2poss (modulname, feldname, f2_query) VALUES ('TFormLookupTest', 'EdWert', "
            "'SELECT name, ort FROM adressen ORDER BY name')"));
        UHostModules::Register();
        Ukorvexinterface::RegisterStartProc(
            QStringLiteral("Test.M"), QStringLiteral("PROBE"), [](const QStringList& p) -> QObject* {
                auto* f = TFormKorvexGundForm::Create<TFormStartProbe>(nullptr, p);
                UModulForm::ShowModulForm(f);
                return f;
            });
    }
    static void TearDownTestSuite() {
        UHostModules::Unregister();
        Ukorvexinterface::UnregisterProc(QStringLiteral("Test.M"), QStringLiteral("PROBE"));
        ModulFormFixture::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        s_dm->SetIsAdmin(true);
        UHostModules::RecordedCalls().clear();
    }
    void TearDown() override {
        // Modules opened by the routines under test are closed here, as the user would.
        for (Vcl::TForm* f : Vcl::Screen::Forms())
            if (qobject_cast<TModulForm*>(f) || qobject_cast<TKorvexF2Form*>(f))
                Track(f);
        ModulFormFixture::TearDown();
    }
    template <class T> T* Start(const QString& cls, const QStringList& pairs = {}, bool openNew = false) {
        Vcl::TForm* f = StartModuleByClass(cls, pairs, openNew, nullptr);
        QApplication::processEvents();
        return qobject_cast<T*>(f);
    }
};
