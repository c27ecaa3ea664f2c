#pragma once
// Connecting a benchmark to its database: a refused connection is told on stderr in the system's
// words, and the program ends with a failure instead of an uncaught exception.

#include "UDM1.h"

#include <cstdio>

namespace BenchDb {

inline bool Connected(TDM1& dm) {
    try {
        dm.Connect();
        return true;
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return false;
    }
}

} // namespace BenchDb
