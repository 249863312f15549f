// Save and load of a library of 10,000 samples and 100,000 regions, each region with five
// markers and two snaps, against the peer: fwrite and fread of one buffer of the same size in
// the same folder. Run: bench_database [folder] (default: the system's temporary folder).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

#include "library/CDatabase.h"
#include "support/NullUiPort.h"
#include "support/TestLibrary.h"

namespace fs = std::filesystem;

namespace {

using Library = TestLibrary;

fs::path g_base;
fs::path Exe() { return g_base / "sonquil-bench-db"; }

void Build(Library& l) {
    fs::path store = Exe() / "store";
    fs::create_directories(store / "VDisk" / "System");
    if (FILE* f = std::fopen((store / "VDisk" / "System" / "Serial").c_str(), "w")) {
        std::fputs("4711", f);
        std::fclose(f);
    }
    l.vdisk.Add(4711, store.string());
    for (int s = 0; s < 10000; ++s)
        l.samples.Add(new CSample("2601011200" + std::to_string(s), "", 1, 4711, 44100, 2, 16, 4410000, 0, 0));
    char name[32];
    for (int g = 0; g < 100000; ++g) {
        CSample* s = l.samples.At(0);
        std::snprintf(name, sizeof name, "region %06d", g);
        auto* r = new CRegion(name, 0, 4410000, s, RegionStoredStats, -1, 1);
        auto* snap = new CDSPSnap("Unnamed Snap");
        CDSPPreset::FillFlatStack(snap->Params());
        r->Snaps().Append(snap);
        for (int m = 0; m < 5; ++m) r->Markers().Insert(new CMarker(m * 44100, "marker", 0, r->GetId(), 0));
        l.regions.List().Append(r); // names are already in order
    }
}

struct Shared {
    Library lib;
    uint64_t bytes = 0;
    Shared() {
        fs::create_directories(Exe());
        Build(lib);
    }
};
Shared& State() {
    static Shared s;
    return s;
}

void BM_DatabaseSave(benchmark::State& state) {
    Shared& sh = State();
    NullUiPort ui;
    CDatabase db(Exe());
    db.Exists();
    for (auto _ : state) {
        if (!db.Save(sh.lib.Lib(), ui)) state.SkipWithError("save failed");
    }
    sh.bytes = fs::file_size(db.FilePath());
    state.counters["file_MB"] = static_cast<double>(sh.bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sh.bytes));
}

void BM_DatabaseLoad(benchmark::State& state) {
    Shared& sh = State();
    NullUiPort ui;
    CDatabase db(Exe());
    for (auto _ : state) {
        auto target = std::make_unique<Library>();
        if (!db.Load(target->Lib(), ui) || target->regions.Count() != 100000) state.SkipWithError("load failed");
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sh.bytes));
}

// The peer: one buffer of the database's size written with fwrite (and flushed to disk, as the
// save does) and read back with fread.
void BM_PeerWrite(benchmark::State& state) {
    Shared& sh = State();
    std::vector<char> buf(sh.bytes, 'x');
    fs::path p = Exe() / "peer.bin";
    for (auto _ : state) {
        FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(buf.data(), 1, buf.size(), f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sh.bytes));
}

void BM_PeerRead(benchmark::State& state) {
    Shared& sh = State();
    std::vector<char> buf(sh.bytes);
    fs::path p = Exe() / "peer.bin";
    for (auto _ : state) {
        FILE* f = std::fopen(p.c_str(), "rb");
        size_t n = std::fread(buf.data(), 1, buf.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sh.bytes));
}

} // namespace

BENCHMARK(BM_DatabaseSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeerWrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DatabaseLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeerRead)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    g_base = fs::temp_directory_path();
    benchmark::Initialize(&argc, argv);
    if (argc > 1) g_base = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    // SONQUIL_BENCH_KEEP leaves the files in place, to compare them between builds.
    std::error_code ec;
    if (!std::getenv("SONQUIL_BENCH_KEEP")) fs::remove_all(Exe(), ec);
    benchmark::Shutdown();
    return 0;
}
