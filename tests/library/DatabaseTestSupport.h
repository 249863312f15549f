#pragma once
// Shared pieces of the database tests: a library with every field set, file snapshots and a
// file-system layer that fails one chosen call (the set of library objects is in tests/support).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "library/CDatabase.h"
#include "support/Files.h"
#include "support/TestLibrary.h"

namespace dbtest {

namespace fs = std::filesystem;

inline void ResetCounters() {
    CSample::SetCounter(0);
    CRegion::SetRegionCounter(0);
    CRegion::SetFolderCounter(1000);
}

class MemorySink : public DbSink {
public:
    std::vector<uint8_t> bytes;
    void Put(const void* data, size_t n) override {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
    }
};

inline std::vector<uint8_t> Encode(const CDatabase& db, const DbLibrary& lib) {
    MemorySink sink;
    db.Encode(lib, sink);
    return sink.bytes;
}

inline void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) { SaveBytes(p, bytes); }
inline std::vector<uint8_t> ReadFile(const fs::path& p) { return LoadBytes(p); }

// Every file of a folder with its bytes.
inline std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> m;
    for (const auto& e : fs::directory_iterator(folder)) m[e.path().filename().string()] = ReadFile(e.path());
    return m;
}

// A VDisk as the create dialogue leaves it: <location>/VDisk/System/Serial.
inline void MakeVDisk(const fs::path& location, int32_t serial) {
    fs::create_directories(location / "VDisk" / "System");
    std::ofstream(location / "VDisk" / "System" / "Serial") << serial;
}

inline CDSPSnap* MakeSnap(const std::string& name, int effects) {
    auto* s = new CDSPSnap(name);
    s->SetReserved1(77);
    s->Params().Append(1, 9, 10.5f);
    s->Params().Append(0, 10, 50.0f);
    s->Params().reserved[3] = 1234;
    for (int e = 0; e < effects; ++e)
        s->Vst().AddEffect("fx" + std::to_string(e) + ".so", static_cast<int16_t>(e + 1), static_cast<int16_t>(e & 3),
                           std::vector<float>(static_cast<size_t>(e + 2), 0.25f * e));
    if (effects > 0) {
        s->Vst().MutableSlot(0)->chunk = {1, 2, 3, 250};
        s->Vst().MutableSlot(0)->flags |= CVSTStatus::FlagChunk;
    }
    return s;
}

// A library with one of everything, every field away from its default.
inline void FillRich(TestLibrary& t) {
    ResetCounters();
    t.prefs.SetInt(1, -1);
    t.prefs.SetByte(42, 1);
    t.prefs.SetInt(101, 3);
    t.prefs.SetText(4, "some text");
    t.vdisk.Add(424242, "/media/store");
    t.vdisk.Add(17, "/old/place");
    auto* s1 = new CSample("260101120000", "", 1, 424242, 44100, 2, 16, 88200, 0, 352844);
    auto* s2 = new CSample("linked.ogg", "/home/u/music", 0, 424242, 48000, 1, 24, 123456789012LL, 6, 9876543210LL);
    s2->SetReserved(5);
    t.samples.Add(s1);
    t.samples.Add(s2);
    auto* folder = new CRegion("Drums", 0, 1, nullptr, RegionFolder, -1, 0);
    folder->SetFolderIcon(4);
    t.regions.Insert(folder);
    auto* root = new CRegion("beat", 0, 88200, s1, RegionRoot | RegionStoredStats, -1, FolderId::User);
    root->SetPeakStats(60000, 59000, 3000, 2900);
    t.regions.Insert(root);
    auto* sub = new CRegion("Beat.001", 100, 5000000000LL, s2, RegionFadeInExp | RegionFadeOutLog | RegionStoredStats,
                            -1, folder->GetId());
    sub->SetNextChild(7);
    sub->SetNotes("notes ü");
    sub->SetDate(MakeDateStamp(2024, 2, 29));
    sub->SetPeakStats(1, 2, 3, 4);
    sub->SetFadeInLength(441);
    sub->SetFadeOutLength(882);
    sub->SetTitle("Title");
    sub->SetArtist("Artist");
    sub->SetAlbum("Album");
    sub->SetGenre("Genre");
    sub->SetYear(1999);
    sub->SetTrack(12);
    sub->Snaps().Append(MakeSnap("first", 0));
    sub->Snaps().Append(MakeSnap("second", 3));
    sub->Snaps().SetCurrent(1);
    sub->Snaps().SetFavourite(2);
    sub->Markers().Insert(new CMarker(300, "three", 9, sub->GetId(), 2));
    sub->Markers().Insert(new CMarker(100, "one", 0, sub->GetId(), 1));
    t.regions.Insert(sub);
    auto* p = new CDSPPreset("My EQ", 1001, PresetNode::EQUser, CDSPPreset::FlagUser);
    p->Params().Append(1, 9, 10.0f);
    t.presets.InsertUser(p);
    t.presets.SetCounter(1001);
    t.vst.Add("/usr/lib/vst");
    t.vst.Add("/opt/vst");
}

// Fails the n-th call (counting from 0) of the calls that change or write files.
class FailingOps : public DbFileOps {
public:
    int failAt = -1;
    int calls = 0;
    bool Hit() { return calls++ == failAt; }
    bool CreateOut(const fs::path& p) override { return !Hit() && DbFileOps::CreateOut(p); }
    bool WriteOut(const void* d, size_t n) override { return !Hit() && DbFileOps::WriteOut(d, n); }
    bool SyncOut() override { return !Hit() && DbFileOps::SyncOut(); }
    bool CloseOut() override {
        if (Hit()) {
            DbFileOps::DiscardOut();
            return false;
        }
        return DbFileOps::CloseOut();
    }
    bool Rename(const fs::path& a, const fs::path& b) override { return !Hit() && DbFileOps::Rename(a, b); }
    // A link that fails takes its copy fallback down with it, so the step is one failure.
    bool noLinks = false; // a file system without hard links
    bool failNextCopy = false;
    bool Link(const fs::path& a, const fs::path& b) override {
        if (noLinks) return false;
        if (Hit()) {
            failNextCopy = true;
            return false;
        }
        return DbFileOps::Link(a, b);
    }
    bool Copy(const fs::path& a, const fs::path& b) override {
        if (failNextCopy) {
            failNextCopy = false;
            return false;
        }
        return !Hit() && DbFileOps::Copy(a, b);
    }
    bool SyncFolder(const fs::path& f) override { return !Hit() && DbFileOps::SyncFolder(f); }
};

} // namespace dbtest
