#pragma once
// Database fixture: each test suite gets a fresh database cloned from the template that holds db/.
// While the suite runs, PGDATABASE names it, so every connection the code under test opens through
// the libpq environment lands there.

#include <gtest/gtest.h>

#include <QString>

#include <libpq-fe.h>

namespace testsupport {

class TestDatabase final {
public:
    static QString Create();              // new database, returns its name and sets PGDATABASE
    static void Drop(const QString& name); // drops it, closing any connection left open
    // Runs SQL on a separate connection to the current test database (for "another user").
    static void Exec(const QString& sql);
    static QString Scalar(const QString& sql);
};

class DbTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { s_name = TestDatabase::Create(); }
    static void TearDownTestSuite() { TestDatabase::Drop(s_name); }
    static const QString& DatabaseName() { return s_name; }

private:
    static inline QString s_name;
};

} // namespace testsupport
