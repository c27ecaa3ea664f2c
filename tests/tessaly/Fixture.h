#pragma once
// A small customer table per test, read and written through the data class on its own connection;
// TestDatabase works on a separate one, as another user would.

#include <TVoskClass.h>
#include <TestDatabase.h>
#include <VoskDatabase.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Readable failure output for the many text comparisons.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

class KundenTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DROP TABLE IF EXISTS kunden; "
            "CREATE TABLE kunden (dbrid serial PRIMARY KEY, name text NOT NULL, plz varchar(5), "
            "betrag numeric(10,2), aktiv boolean, note int CHECK (note BETWEEN 1 AND 6), "
            "insert_by text DEFAULT 'system'); "
            "INSERT INTO kunden (name, plz, betrag, aktiv, note) VALUES "
            "('Müller', '10115', 12.50, true, 2), ('Schmidt', NULL, NULL, false, 3), "
            "('Weber', '80331', 0.10, NULL, NULL)"));
        m_db.Connect();
    }

    // The class on table kunden, open.
    void open(TVoskClass& c) {
        c.SetDatabase(&m_db);
        c.SetSqlTable(QStringLiteral("kunden"));
        c.Open();
    }
    static QString scalar(const QString& sql) { return testsupport::TestDatabase::Scalar(sql); }

    TVoskDatabase m_db;
};

// The refusal of a write whose row another user changed meanwhile.
inline const QString kChanged = QStringLiteral(
    "Der Datensatz wurde inzwischen von einem anderen Benutzer geändert. Bitte aktualisieren Sie "
    "die Daten.");

// The message of the EVoskException f throws; fails the test when it throws none.
inline QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVoskException& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no EVoskException";
    return {};
}
