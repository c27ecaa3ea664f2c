#pragma once
// Clocks and ratios shared by the benchmarks. A ratio is the median of per-round paired ratios:
// both sides are measured in the same round, the side that goes first alternating, so that the
// load of a shared machine falls on both alike and a slow round shifts one ratio, not a median.
// Where the server's share would swamp the client's, the client's own process CPU time is the
// figure (the server runs in processes of its own).

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace BenchTiming {

struct Stamp final {
    double WallMs = 0;
    double CpuMs = 0; // this process, all its threads

    static Stamp Now() {
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return {std::chrono::duration<double, std::milli>(wall).count(),
                double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6};
    }
    // Time since this stamp.
    Stamp Elapsed() const {
        const Stamp now = Now();
        return {now.WallMs - WallMs, now.CpuMs - CpuMs};
    }
};

inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// side / base of each round, and their median.
class PairedRatio final {
public:
    void Add(double side, double base) { m_ratios.push_back(base > 0 ? side / base : 0); }
    double Median() const { return BenchTiming::Median(m_ratios); }
    const std::vector<double>& Ratios() const { return m_ratios; }

private:
    std::vector<double> m_ratios;
};

// Whether side A goes first in this round: the order alternates.
inline bool AFirst(int round) { return round % 2 == 0; }

// Runs both sides of one round in that round's order.
template <class A, class B>
void InTurn(int round, A&& a, B&& b) {
    if (AFirst(round)) {
        a();
        b();
    } else {
        b();
        a();
    }
}

} // namespace BenchTiming
