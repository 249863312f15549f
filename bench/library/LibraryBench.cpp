// Library model costs against plain standard-library peers measured in the same run:
// ordered insertion of region records into the region list against a std::multiset of the
// same records in the same order, and the
// peak statistics of a region against a bare loop over the same pairs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <set>
#include <string>
#include <strings.h>
#include <vector>

#include "library/CRegionList.h"
#include "library/CSample.h"

namespace {
std::vector<std::string> Names(int n) {
    std::vector<std::string> names;
    uint32_t x = 12345;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        names.push_back("Take " + std::to_string(x % 100000));
    }
    return names;
}

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

// The peer holds the same region records, so both sides pay for making them.
struct RegionLess {
    bool operator()(const CRegion* a, const CRegion* b) const { return CaseLess()(a->GetName(), b->GetName()); }
};
using PeerSet = std::multiset<CRegion*, RegionLess>;
void DestroyPeer(PeerSet& set) {
    for (CRegion* r : set) delete r;
}

void BM_RegionListInsert(benchmark::State& state) {
    std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CRegionList list;
        for (const std::string& n : names) list.Insert(new CRegion(n, 0, 100, nullptr, 0, 1, 1));
        benchmark::DoNotOptimize(list.Count());
    }
}
BENCHMARK(BM_RegionListInsert)->Arg(1000)->Arg(4000);

void BM_PeerMultisetInsert(benchmark::State& state) {
    std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PeerSet set;
        for (const std::string& n : names) set.insert(new CRegion(n, 0, 100, nullptr, 0, 1, 1));
        benchmark::DoNotOptimize(set.size());
        DestroyPeer(set);
    }
}
BENCHMARK(BM_PeerMultisetInsert)->Arg(1000)->Arg(4000);

// Loading: the database holds the records in list order.
void BM_RegionListLoadSorted(benchmark::State& state) {
    std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
    std::stable_sort(names.begin(), names.end(), CaseLess());
    for (auto _ : state) {
        CRegionList list;
        for (const std::string& n : names) list.Insert(new CRegion(n, 0, 100, nullptr, 0, 1, 1));
        benchmark::DoNotOptimize(list.Count());
    }
}
BENCHMARK(BM_RegionListLoadSorted)->Arg(4000)->Arg(50000);

void BM_PeerMultisetLoadSorted(benchmark::State& state) {
    std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
    std::stable_sort(names.begin(), names.end(), CaseLess());
    for (auto _ : state) {
        PeerSet set;
        for (const std::string& n : names) set.insert(set.end(), new CRegion(n, 0, 100, nullptr, 0, 1, 1));
        benchmark::DoNotOptimize(set.size());
        DestroyPeer(set);
    }
}
BENCHMARK(BM_PeerMultisetLoadSorted)->Arg(4000)->Arg(50000);

std::vector<uint16_t> Peaks(int pairs) {
    std::vector<uint16_t> v(static_cast<size_t>(pairs) * 2);
    uint32_t x = 1;
    for (auto& p : v) {
        x = x * 1103515245u + 12345u;
        p = static_cast<uint16_t>(x >> 16);
    }
    return v;
}

void BM_ComputePeakStats(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<uint16_t> peaks = Peaks(n);
    CSample sample("a.wav", "/x", 0, 1, 44100, 2, 16, 44100LL * 600, 0, 0, 1);
    CRegion region("r", 0, sample.GetFrameCount(), &sample, 0, 1, 1);
    for (auto _ : state) {
        region.ComputePeakStats(peaks.data(), n);
        benchmark::DoNotOptimize(region.GetLeftLevel());
    }
}
BENCHMARK(BM_ComputePeakStats)->Arg(1 << 20);

void BM_PeerPeakLoop(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<uint16_t> peaks = Peaks(n);
    for (auto _ : state) {
        int lp = 0, rp = 0;
        double ls = 0, rs = 0;
        const double w = 0.707 / n;
        for (int i = 0; i < n; ++i) {
            int l = peaks[2 * i], r = peaks[2 * i + 1];
            lp = l > lp ? l : lp;
            rp = r > rp ? r : rp;
            ls += w * l;
            rs += w * r;
        }
        benchmark::DoNotOptimize(lp + rp + ls + rs);
    }
}
BENCHMARK(BM_PeerPeakLoop)->Arg(1 << 20);
} // namespace
