// A library of 100,000 regions in 200 folders: opening its database file written in list order
// and in random order, showing a folder of 5,000 regions and searching all regions for two words
// in "All Fields". Each is measured beside its peer in the same run:
// - opening: a plain fread of the same file (the part "beyond reading the file" is the
//   difference), and the old way of ordered insertion one by one on a smaller shuffled list;
// - showing a folder: a plain loop over the list comparing parent ids;
// - showing a folder on the browser (the folder's regions put on the browser's tape and laid
//   out): the same plain loop;
// - search: a plain loop with std::string::find over lower-case copies of the same fields; the
//   search also once right after loading (its lower-case copies made first) and after a
//   hundred regions' notes changed.
// Run: bench_browse [folder] (default: the system's temporary folder).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/UiPort.h"
#include "library/CDatabase.h"
#include "library/CFolderOps.h"
#include "library/CRegionSearch.h"
#include "views/CTape.h"

#include "support/NullUiPort.h"

namespace fs = std::filesystem;

namespace {

// Keeps the last notice, for the message of a failed load.
class QuietUi : public NullUiPort {
public:
    std::string last;
    void Notice(const std::string& text, const std::string&) override { last = text; }
};

struct Library {
    CPrefs prefs;
    CVDisk vdisk;
    CSampleList samples;
    CRegionList regions;
    CPresetList presets;
    CVSTFolders vst;
    DbLibrary Lib() { return {&prefs, &vdisk, &samples, &regions, &presets, &vst}; }
};

constexpr int kRegions = 100000;
constexpr int kFolders = 200;
const char* const kWords[] = {"piano",   "live", "take",  "drums", "bass",  "vocal",  "guitar", "strings",
                              "ambient", "loop", "intro", "outro", "verse", "chorus", "bridge", "mix"};

fs::path g_base;
fs::path Dir(const std::string& which) { return g_base / ("sonquil-bench-browse-" + which); }

std::string Phrase(std::mt19937& rng, int words) {
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i) s += ' ';
        s += kWords[rng() % 16];
    }
    return s;
}

// Regions with names, notes, title, artist and album of random words, spread evenly over the
// folders, appended in the order given (shuffled: not the list's order).
void Build(Library& l, bool shuffled, const fs::path& exe) {
    // A VDisk the load's check accepts.
    const fs::path store = exe / "store";
    fs::create_directories(store / "VDisk" / "System");
    if (FILE* f = std::fopen((store / "VDisk" / "System" / "Serial").c_str(), "w")) {
        std::fputs("4711", f);
        std::fclose(f);
    }
    l.vdisk.Add(4711, store.string());
    std::mt19937 rng(42);
    l.samples.Add(new CSample("2601011200", "/nowhere", 0, 0, 44100, 2, 16, 441000000, 0, 0));
    CSample* s = l.samples.At(0);
    for (int f = 0; f < kFolders; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "folder %03d", f);
        l.regions.List().Append(new CRegion(name, 0, 0, nullptr, RegionFolder, 1001 + f, 1));
    }
    std::vector<CRegion*> regions;
    for (int g = 0; g < kRegions; ++g) {
        char name[64];
        std::snprintf(name, sizeof name, "%s %06d", Phrase(rng, 3).c_str(), g);
        // The first folder holds 5,000 regions, the others share the rest.
        const int32_t folder = g < 5000 ? 1001 : 1002 + g % (kFolders - 1);
        auto* r = new CRegion(name, 0, 44100 * (1 + g % 300), s, RegionStoredStats, 1 + g, folder);
        r->SetNotes(Phrase(rng, 6));
        r->SetTitle(Phrase(rng, 2));
        r->SetArtist(Phrase(rng, 2));
        r->SetAlbum(Phrase(rng, 2));
        r->SetGenre("Pop");
        regions.push_back(r);
    }
    if (shuffled) {
        std::shuffle(regions.begin(), regions.end(), rng);
        for (CRegion* r : regions) l.regions.List().Append(r);
    } else {
        l.regions.InsertAll(regions);
    }
}

struct Saved {
    fs::path file;
    uint64_t bytes = 0;
};

Saved& SavedFile(bool shuffled) {
    static Saved files[2];
    Saved& f = files[shuffled ? 1 : 0];
    if (f.bytes == 0) {
        const fs::path exe = Dir(shuffled ? "random" : "sorted");
        fs::create_directories(exe);
        QuietUi ui;
        Library lib;
        Build(lib, shuffled, exe);
        CDatabase db(exe);
        db.Exists();
        if (!db.Save(lib.Lib(), ui)) std::fprintf(stderr, "save failed\n");
        f.file = db.FilePath();
        f.bytes = fs::file_size(f.file);
    }
    return f;
}

void Load(benchmark::State& state, bool shuffled, bool withIndex = false) {
    Saved& f = SavedFile(shuffled);
    QuietUi ui;
    CDatabase db(f.file.parent_path().parent_path());
    for (auto _ : state) {
        auto target = std::make_unique<Library>();
        const bool ok = db.Load(target->Lib(), ui);
        if (!ok || target->regions.Count() != kRegions + kFolders) {
            const std::string why = "load failed: " + ui.last + " regions " + std::to_string(target->regions.Count());
            state.SkipWithError(why.c_str());
            break;
        }
        if (withIndex) target->regions.BuildTextIndex();
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = static_cast<double>(f.bytes) / 1e6;
}
void BM_LoadSortedFile(benchmark::State& state) { Load(state, false); }
void BM_LoadRandomOrderFile(benchmark::State& state) { Load(state, true); }
// The load as start-up does it: the search's copies are made before the window shows.
void BM_LoadRandomOrderFileWithIndex(benchmark::State& state) { Load(state, true, true); }

void BM_PeerReadFile(benchmark::State& state) {
    Saved& f = SavedFile(true);
    std::vector<char> buf(f.bytes);
    for (auto _ : state) {
        FILE* fp = std::fopen(f.file.c_str(), "rb");
        size_t n = fp ? std::fread(buf.data(), 1, buf.size(), fp) : 0;
        if (fp) std::fclose(fp);
        benchmark::DoNotOptimize(n);
    }
}

// The old way of loading: ordered insertion of each record of a shuffled list.
void BM_PeerOneByOneInsertion(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::mt19937 rng(1);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back(Phrase(rng, 3) + " " + std::to_string(i));
    for (auto _ : state) {
        CRegionList list;
        for (const std::string& name : names) list.Insert(new CRegion(name, 0, 1, nullptr, 0, 1, 1));
        benchmark::DoNotOptimize(list.Count());
    }
}
void BM_InsertAll(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::mt19937 rng(1);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back(Phrase(rng, 3) + " " + std::to_string(i));
    for (auto _ : state) {
        CRegionList list;
        std::vector<CRegion*> batch;
        batch.reserve(names.size());
        for (const std::string& name : names) batch.push_back(new CRegion(name, 0, 1, nullptr, 0, 1, 1));
        list.InsertAll(std::move(batch));
        benchmark::DoNotOptimize(list.Count());
    }
}

Library& Browsing() {
    static Library* lib = [] {
        auto* l = new Library;
        const fs::path exe = Dir("browse");
        fs::create_directories(exe);
        Build(*l, false, exe);
        return l;
    }();
    return *lib;
}

void BM_ShowFolder(benchmark::State& state) {
    Library& l = Browsing();
    size_t shown = 0;
    for (auto _ : state) {
        auto regions = CFolderOps::Content(l.regions, 1001, 0, 0, [](const CRegion&) { return true; });
        shown = regions.size();
        benchmark::DoNotOptimize(regions.data());
    }
    state.counters["shown"] = static_cast<double>(shown);
}

void BM_PeerFolderLoop(benchmark::State& state) {
    Library& l = Browsing();
    for (auto _ : state) {
        std::vector<CRegion*> regions;
        l.regions.ForEach([&](CRegion* r) {
            if (!r->IsFolder() && r->GetParentId() == 1001) regions.push_back(r);
        });
        benchmark::DoNotOptimize(regions.data());
    }
}

void BM_SearchTwoWordsAllFields(benchmark::State& state) {
    Library& l = Browsing();
    SearchSettings s;
    s.text = "Piano LIVE";
    size_t found = 0;
    for (auto _ : state) {
        auto regions = CRegionSearch::Run(l.regions, s, 1);
        found = regions.size();
        benchmark::DoNotOptimize(regions.data());
    }
    state.counters["found"] = static_cast<double>(found);
}

// What the window does when a folder node is selected: the folder's regions, onto the browser's
// tape, laid out in a grid of 1,600 × 900 pixels.
void BM_ShowFolderOnBrowser(benchmark::State& state) {
    Library& l = Browsing();
    CTape browser(CTape::Grid);
    const CTape vtape(CTape::Strip);
    for (auto _ : state) {
        auto regions = CFolderOps::Content(l.regions, 1001, 0, 0, [](const CRegion&) { return true; });
        browser.Clear();
        for (CRegion* r : regions) browser.Add(r);
        browser.TakeSelectionFrom(vtape);
        browser.ScrollToStart();
        browser.SetArea(0, 0, 1599, 899);
        browser.Layout();
        benchmark::DoNotOptimize(browser.Count());
    }
    state.counters["shown"] = static_cast<double>(browser.Count());
}

// The first search of a session after start-up, which made the copies once the file was loaded.
void BM_SearchFirstAfterLoad(benchmark::State& state, bool indexAtLoad) {
    Saved& f = SavedFile(true);
    QuietUi ui;
    CDatabase db(f.file.parent_path().parent_path());
    SearchSettings s;
    s.text = "Piano LIVE";
    size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto l = std::make_unique<Library>();
        if (!db.Load(l->Lib(), ui)) {
            state.SkipWithError("load failed");
            break;
        }
        if (indexAtLoad) l->regions.BuildTextIndex();
        state.ResumeTiming();
        auto regions = CRegionSearch::Run(l->regions, s, 1);
        found = regions.size();
        benchmark::DoNotOptimize(regions.data());
        state.PauseTiming();
        l.reset();
        state.ResumeTiming();
    }
    state.counters["found"] = static_cast<double>(found);
}
void BM_SearchFirstAfterStartupLoad(benchmark::State& state) { BM_SearchFirstAfterLoad(state, true); }
// Without the copies made at load: the first search makes every one of them.
void BM_SearchFirstUnindexed(benchmark::State& state) { BM_SearchFirstAfterLoad(state, false); }

// A search after a hundred regions' notes changed: only their copies are made again.
void BM_SearchAfterEdits(benchmark::State& state) {
    Library& l = Browsing();
    SearchSettings s;
    s.text = "Piano LIVE";
    std::mt19937 rng(3);
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 100; ++k)
            l.regions.At(static_cast<int>(rng() % 100000) + kFolders)->SetNotes(Phrase(rng, 6));
        state.ResumeTiming();
        auto regions = CRegionSearch::Run(l.regions, s, 1);
        benchmark::DoNotOptimize(regions.data());
    }
}

void BM_PeerSearchFindLoop(benchmark::State& state) {
    Library& l = Browsing();
    auto lower = [](std::string v) {
        for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return v;
    };
    const std::vector<std::string> words = {"piano", "live"};
    size_t found = 0;
    for (auto _ : state) {
        std::vector<CRegion*> regions;
        l.regions.ForEach([&](CRegion* r) {
            if (r->IsFolder()) return;
            const std::string fields[] = {lower(r->GetName()), lower(r->GetNotes()), lower(r->GetTitle()),
                                          lower(r->GetArtist()), lower(r->GetAlbum())};
            for (const std::string& f : fields) {
                bool all = true;
                for (const std::string& w : words) all = all && f.find(w) != std::string::npos;
                if (all) {
                    regions.push_back(r);
                    return;
                }
            }
        });
        found = regions.size();
        benchmark::DoNotOptimize(regions.data());
    }
    state.counters["found"] = static_cast<double>(found);
}

} // namespace

BENCHMARK(BM_PeerReadFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadSortedFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadRandomOrderFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadRandomOrderFileWithIndex)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeerOneByOneInsertion)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_InsertAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerFolderLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowFolderOnBrowser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTwoWordsAllFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchFirstAfterStartupLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SearchFirstUnindexed)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeerSearchFindLoop)->Unit(benchmark::kMillisecond);
// Last: it changes the notes that the searches above look at.
BENCHMARK(BM_SearchAfterEdits)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    g_base = fs::temp_directory_path();
    benchmark::Initialize(&argc, argv);
    if (argc > 1) g_base = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    fs::remove_all(Dir("random"), ec);
    fs::remove_all(Dir("sorted"), ec);
    fs::remove_all(Dir("browse"), ec);
    fs::remove_all(Dir("first"), ec);
    benchmark::Shutdown();
    return 0;
}
