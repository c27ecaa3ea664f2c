#pragma once
// A connected data module on the suite's fresh database, texts for the tests, a temporary registry
// and an answerer for every question.

#include "DialogAnswerer.h"
#include "TestDatabase.h"
#include "UDM1.h"

#include <memory>

class FrameworkTest : public testsupport::DbTest {
public:
    static void SetUpTestSuite() {
        DbTest::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO text0 (t_nr, t_feld0) VALUES (3892, 'Modul schließen; sofort'), "
            "(4130, 'Änderungen speichern?'), (5555, 'Der Beleg ist gesperrt'), "
            "(900, 'xtt901'), (901, 'Doppelt übersetzt'), (10118, 'Fehler') "
            "ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = EXCLUDED.t_feld0"));
        s_dm = new TDM1(nullptr, true);
        s_dm->Connect();
    }
    static void TearDownTestSuite() {
        delete s_dm;
        s_dm = nullptr;
        DbTest::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        s_dm->ClearTextCache();
        s_dm->ClearSessionCaches();
    }
    static inline TDM1* s_dm = nullptr;
    testsupport::TempRegistry m_registry;
    testsupport::DialogAnswerer m_answers;
};
