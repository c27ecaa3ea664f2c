#pragma once
// Several statements in one round trip (libpq pipeline mode). Each statement is sent with a sync
// point of its own, so that one that fails leaves the others as they would be alone; inside a
// transaction, though, a failure aborts it for the statements after it, as it would one by one.
// The answers are read in order once all are sent.
//
//     TVoskPipeline p(db);
//     p.Add(q1);            // queries with their parameters bound
//     p.AddPrepare(text);   // or statements the server only prepares
//     p.Run();              // the queries are open now, or p.Error(i) says why not

#include "VoskDatabase.h"

#include <QByteArray>

#include <exception>
#include <vector>

class TVoskQuery2;

class TVoskPipeline final {
public:
    explicit TVoskPipeline(TVoskDatabase& db) : m_db(db) {}
    ~TVoskPipeline();
    TVoskPipeline(const TVoskPipeline&) = delete;
    TVoskPipeline& operator=(const TVoskPipeline&) = delete;

    // Each returns the statement's index. A query must stay alive until Run.
    int Add(TVoskQuery2& query);
    // The server parses and analyses sql (as the unnamed statement) and executes nothing.
    int AddPrepare(const QByteArray& sql);
    // A statement without parameters (BEGIN, SET LOCAL ...).
    int AddCommand(const QByteArray& sql);
    int Count() const { return int(m_items.size()); }

    // Sends everything and reads every answer; throws only when the connection fails. A query
    // that succeeded is open; for prepares and commands Result(i) holds the server's answer.
    void Run();
    // The failure of statement i as the query class throws it; null when it succeeded.
    std::exception_ptr Error(int i) const { return m_items[size_t(i)].error; }
    const PGresult* Result(int i) const { return m_items[size_t(i)].result; }

private:
    struct Item {
        TVoskQuery2* query = nullptr;
        QByteArray sql;
        bool prepare = false;
        PGresult* result = nullptr; // prepares and commands
        std::exception_ptr error;
    };
    TVoskDatabase& m_db;
    std::vector<Item> m_items;
};
