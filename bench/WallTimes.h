#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <string>

// Mean wall time per named run, kept so that a program can print its ratio against the peer
// measured in the same run once every benchmark has finished.
class WallTimes {
public:
    // Times each iteration of `run` (which returns false on failure) and keeps the mean under
    // `key`.
    template <class F> void Timed(benchmark::State& state, const std::string& key, F&& run) {
        double total = 0;
        int runs = 0;
        for (auto _ : state) {
            const auto t0 = std::chrono::steady_clock::now();
            if (!run()) state.SkipWithError("the run failed");
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            ++runs;
        }
        if (runs) m_seconds[key] = total / runs;
    }

    // A mean taken by the caller.
    void Set(const std::string& key, double seconds) { m_seconds[key] = seconds; }

    // True with both means when both runs finished with a time above zero.
    bool Both(const std::string& a, const std::string& b, double& ta, double& tb) const {
        const auto ia = m_seconds.find(a), ib = m_seconds.find(b);
        if (ia == m_seconds.end() || ib == m_seconds.end() || ia->second <= 0 || ib->second <= 0) return false;
        ta = ia->second;
        tb = ib->second;
        return true;
    }

private:
    std::map<std::string, double> m_seconds;
};
