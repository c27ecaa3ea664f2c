#pragma once
// Several queries in one round trip (libpq pipeline mode). Each is sent with a sync point of its
// own, so that one that fails leaves the others as they would be alone; inside a transaction,
// though, a failure aborts it for the queries after it, as it would one by one. The answers are
// read in order once all are sent.
//
//     TVoskPipeline p(db);
//     p.Add(q1);            // queries with their parameters bound
//     p.Add(q2);
//     p.Run();              // the queries are open now, or p.Error(i) says why not

#include "VoskDatabase.h"

#include <exception>
#include <vector>

class TVoskQuery2;

class TVoskPipeline final {
public:
    explicit TVoskPipeline(TVoskDatabase& db) : m_db(db) {}
    TVoskPipeline(const TVoskPipeline&) = delete;
    TVoskPipeline& operator=(const TVoskPipeline&) = delete;

    // Returns the query's index. The query must stay alive until Run.
    int Add(TVoskQuery2& query);
    int Count() const { return int(m_items.size()); }

    // Sends everything and reads every answer; throws only when the connection fails. A query
    // that succeeded is open.
    void Run();
    // The failure of query i as the query class throws it; null when it succeeded.
    std::exception_ptr Error(int i) const { return m_items[size_t(i)].error; }

private:
    struct Item {
        TVoskQuery2* query = nullptr;
        std::exception_ptr error;
    };
    TVoskDatabase& m_db;
    std::vector<Item> m_items;
};
