#pragma once
// Large resource time lines for tests and benchmarks, the same for the same options: resources
// over a span of days, entities of one to five consecutive days (one row a day), a share of them
// flagged as clashing. Loaded with COPY into scheduling.entity and scheduling.resource_timeline,
// replacing what those tables held.

#include <QDate>

#include <cstdint>

#include <libpq-fe.h>

namespace PlantafelTimeline {

struct Options final {
    int Resources = 50;
    int FirstResourceId = 1;
    QDate Start = QDate(2025, 1, 1);
    int Days = 365;
    std::int64_t Rows = 100000; // time-line rows, reached exactly
    int MaxEntityDays = 5;       // entities last 1 to this many days
    double ConflictedShare = 0.1;
    std::uint32_t Seed = 20250101;
};

struct Summary final {
    std::int64_t Rows = 0;
    int Entities = 0;
    std::int64_t ConflictedRows = 0;
};

// Throws std::runtime_error with the server's message when a statement fails.
Summary Generate(PGconn* conn, const Options& options);

} // namespace PlantafelTimeline
