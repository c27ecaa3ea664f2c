// Every benchmark prints the machine's load average when it starts and when it ends, so that a
// figure can be read against how busy the machine was. Linked into each benchmark program: the
// start line comes before main, the end line after main returns or exit is called. A child that
// a benchmark starts for a fresh process inherits the mark and prints nothing, so the parent
// reads its child's output unchanged.

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void PrintLoad(const char* when) {
    char buf[128] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(buf, sizeof buf, f))
            buf[0] = 0;
        std::fclose(f);
    }
    // "1.00 0.80 0.60 2/345 6789": the three averages only.
    int spaces = 0;
    for (char* p = buf; *p; ++p)
        if ((*p == ' ' && ++spaces == 3) || *p == '\n') {
            *p = 0;
            break;
        }
    std::printf("load average at %s: %s\n", when, buf);
    std::fflush(stdout);
}

struct LoadAtStartAndEnd final {
    bool owner = false;
    LoadAtStartAndEnd() {
        if (std::getenv("KORVEX_BENCH_LOAD_SHOWN"))
            return;
        owner = true;
        setenv("KORVEX_BENCH_LOAD_SHOWN", "1", 1);
        PrintLoad("start");
    }
    ~LoadAtStartAndEnd() {
        if (owner)
            PrintLoad("end");
    }
};

const LoadAtStartAndEnd loadAtStartAndEnd;

} // namespace
