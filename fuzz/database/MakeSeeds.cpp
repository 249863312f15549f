// Seeds for the library's readers: encoded databases (an empty library and one with a sample,
// folders, regions with snaps and markers, a user preset and plug-in folders) and VDisk serial
// texts as the create dialogue and by-hand edits leave them.
//   fuzz_library_seeds CORPUS_ROOT   (makes CORPUS_ROOT/fuzz_database/ and fuzz_vdisk_serial/)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/CDatabase.h"

namespace {

namespace fs = std::filesystem;

class Bytes : public DbSink {
public:
    std::vector<uint8_t> data;
    void Put(const void* p, size_t n) override {
        const auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
    }
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

bool Save(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> Encode(Library& l) {
    Bytes sink;
    CDatabase(fs::path("/nonexistent")).Encode(l.Lib(), sink);
    return sink.data;
}

void Fill(Library& l) {
    l.prefs.SetInt(1, 3);
    l.prefs.SetText(4, "text");
    l.vdisk.Add(4711, "/media/store");
    auto* s = new CSample("260101120000", "", 1, 4711, 44100, 2, 16, 88200, 0, 352844);
    l.samples.Add(s);
    auto* folder = new CRegion("Drums", 0, 1, nullptr, RegionFolder, -1, 0);
    l.regions.Insert(folder);
    auto* r = new CRegion("beat", 0, 88200, s, RegionRoot | RegionStoredStats, -1, folder->GetId());
    r->SetPeakStats(60000, 59000, 3000, 2900);
    r->SetNotes("notes");
    auto* snap = new CDSPSnap("Unnamed Snap");
    CDSPPreset::FillFlatStack(snap->Params());
    snap->Vst().AddEffect("fx.so", 1, 0, std::vector<float>(3, 0.5f));
    r->Snaps().Append(snap);
    r->Markers().Insert(new CMarker(100, "one", 0, r->GetId(), 1));
    l.regions.Insert(r);
    auto* p = new CDSPPreset("My EQ", 1001, PresetNode::EQUser, CDSPPreset::FlagUser);
    p->Params().Append(1, 9, 10.0f);
    l.presets.InsertUser(p);
    l.vst.Add("/usr/lib/vst");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_library_seeds CORPUS_ROOT\n");
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root / "fuzz_database");
    fs::create_directories(root / "fuzz_vdisk_serial");
    int made = 0;
    {
        Library empty;
        made += Save(root / "fuzz_database" / "seed-empty", Encode(empty));
    }
    {
        Library rich;
        Fill(rich);
        made += Save(root / "fuzz_database" / "seed-library", Encode(rich));
    }
    const char* serials[] = {"4711", "-17\n", "  2147483647 ", "-2147483648", "99999999999", "12ab", "", "\n\n7"};
    int i = 0;
    for (const char* s : serials) {
        std::ofstream(root / "fuzz_vdisk_serial" / ("seed-" + std::to_string(i++))) << s;
        ++made;
    }
    std::printf("%d seeds\n", made);
    return 0;
}
