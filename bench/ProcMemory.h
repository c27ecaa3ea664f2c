#pragma once
// The process's own memory figures from /proc, for benchmarks that report bytes per row.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace BenchMemory {

// A "Key:   1234 kB" line of /proc/self/status, in kB; 0 when it is missing.
inline long StatusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

// Starts the peak (VmHWM) afresh from the current resident size.
inline void ResetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
}

} // namespace BenchMemory
