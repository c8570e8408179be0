// Timing and reporting for the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One row of the table that scripts/bench.sh prints: the figure, the baseline it is compared
// with (empty when the goal is absolute), the ratio, the goal and whether it is met. Rows
// start with "ROW|" so that the script can pick them out of the other output.
inline void row(const std::string& name, const std::string& figure, const std::string& baseline,
                const std::string& ratio, const std::string& goal, const std::string& verdict) {
    std::printf("ROW|%s|%s|%s|%s|%s|%s\n", name.c_str(), figure.c_str(), baseline.c_str(),
                ratio.c_str(), goal.c_str(), verdict.c_str());
    std::fflush(stdout);
}

inline std::string verdict(bool met) {
    return met ? "met" : "NOT MET";
}

inline std::string fmt(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace bench
