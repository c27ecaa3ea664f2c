#include "VoskTransaction.h"

#include "VoskDatabase.h"

#include <atomic>

namespace {
std::atomic<int> s_savepoints{0};
}

TVoskTransaction::TVoskTransaction(TVoskDatabase& db) : m_db(db) {
    if (m_db.InTransaction()) {
        m_savepoint = QStringLiteral("korvex_step_%1").arg(++s_savepoints);
        m_db.Exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
    } else {
        m_db.StartTransaction();
    }
}

TVoskTransaction::~TVoskTransaction() {
    if (!m_open)
        return;
    try {
        Rollback();
    } catch (...) {
    }
}

void TVoskTransaction::Commit() {
    if (!m_open)
        throw EVoskDatabaseError(QStringLiteral("Die Transaktion ist bereits beendet"));
    try {
        if (Nested())
            m_db.Exec(QStringLiteral("RELEASE SAVEPOINT ") + m_savepoint);
        else
            m_db.Commit();
        m_open = false;
    } catch (...) {
        Rollback();
        throw;
    }
}

void TVoskTransaction::Rollback() {
    if (!m_open)
        return;
    m_open = false;
    if (!m_db.Connected()) {
        // The transaction ended with the connection; the database learns that it is over.
        if (!Nested())
            m_db.Rollback();
        return;
    }
    if (Nested()) {
        // An outer transaction that already failed as a whole has no savepoint left to go back to.
        if (PQtransactionStatus(m_db.Handle()) != PQTRANS_IDLE)
            m_db.Exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + m_savepoint +
                      QStringLiteral("; RELEASE SAVEPOINT ") + m_savepoint);
    } else {
        m_db.Rollback();
    }
}
