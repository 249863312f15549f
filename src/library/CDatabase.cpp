#include "library/CDatabase.h"

#include <strings.h>
#include <unistd.h>

#include <memory>
#include <unordered_map>

#include "common/ByteIO.h"
#include "common/FixedText.h"
#include "common/UiPort.h"
#include "library/DbRecords.h"

namespace fs = std::filesystem;

namespace {

// As large as the output file's own buffer, so that pieces pass straight to the file rather
// than being copied into that buffer first.
constexpr size_t kFlushAt = 1 << 20;

// Collects records in a small buffer and passes it on in large pieces.
class ChunkedWriter {
public:
    explicit ChunkedWriter(DbSink& sink) : m_sink(sink) { m_w.Data().reserve(kFlushAt + (64 << 10)); }
    ByteWriter& W() { return m_w; }
    void Maybe() {
        if (m_w.Size() >= kFlushAt) Flush();
    }
    void Flush() {
        if (m_w.Size()) m_sink.Put(m_w.Data().data(), m_w.Size());
        m_w.Clear();
    }

private:
    DbSink& m_sink;
    ByteWriter m_w;
};

class OutFileSink : public DbSink {
public:
    explicit OutFileSink(DbOutFile& f) : m_f(f) {}
    void Put(const void* data, size_t n) override { m_f.Write(data, n); }

private:
    DbOutFile& m_f;
};

void WriteVDiskBlock(ByteWriter& w, const CVDisk& v) {
    int n = v.Count();
    w.I32(0);
    w.I32(n);
    for (int i = 0; i < CVDisk::kMaxEntries; ++i) w.I32(i < n ? v.At(i).serial : 0);
    for (int i = 0; i < CVDisk::kMaxEntries; ++i) w.Text(i < n ? v.At(i).location : "", CVDisk::kLocationSize);
    w.Zeros(16384);
}

// A block of another version leaves the table empty; the VDisk check then fails the load.
bool ReadVDiskBlock(ByteReader& r, CVDisk& v) {
    v.Clear();
    if (r.Left() < CDatabase::kVDiskBlockSize) {
        r.Fail();
        return false;
    }
    size_t start = r.Pos();
    int32_t version = r.I32();
    if (version == 0) {
        int32_t count = r.I32();
        if (count < 0) count = 0;
        if (count > CVDisk::kMaxEntries) count = CVDisk::kMaxEntries;
        int32_t serials[CVDisk::kMaxEntries];
        for (int32_t& s : serials) s = r.I32();
        for (int i = 0; i < CVDisk::kMaxEntries; ++i) {
            std::string loc = r.Text(CVDisk::kLocationSize);
            // A field without its NUL is cut rather than dropped, so every entry keeps its place
            // (entry 0 is the current VDisk); the cut location then fails the check and the
            // user is asked where the VDisk went.
            if (i < count) v.Add(serials[i], CutUtf8(loc, CVDisk::kLocationSize - 1));
        }
    }
    r.Seek(start + CDatabase::kVDiskBlockSize);
    return r.Ok();
}

void WriteRegionRecord(ByteWriter& w, const CRegion& g) {
    const int snaps = g.Snaps().Count();
    const int markers = g.Markers().Count();
    w.I32(3);
    w.Bytes("RGN\0\0\0\0\0", 8);
    w.Text(g.GetGenre(), CRegion::kGenreSize);
    w.I64(g.GetStart());
    w.I64(g.GetEnd());
    w.I32(g.GetId());
    w.I32(g.GetNextChild());
    w.I32(g.GetSampleId());
    w.U32(g.GetFlags());
    w.I32(g.GetParentId());
    w.Text(g.GetNotes(), CRegion::kNotesSize);
    w.I32(g.GetDate());
    w.I32(g.GetLeftPeak());
    w.I32(g.GetRightPeak());
    w.I32(g.GetLeftLevel());
    w.I32(g.GetRightLevel());
    w.I32(g.GetFolderIcon());
    w.I32(g.GetFadeInLength());
    w.I32(g.GetFadeOutLength());
    w.I32(snaps - 1);
    w.I32(markers);
    w.Zeros(12);
    w.Text(g.GetName(), CRegion::kNameSize);
    w.Text(g.GetTitle(), CRegion::kTagSize);
    w.Text(g.GetArtist(), CRegion::kTagSize);
    w.Text(g.GetAlbum(), CRegion::kTagSize);
    w.I32(g.GetYear());
    w.I32(g.GetTrack());
    w.Zeros(24);
    if (snaps - 1 > 0) DbRecords::WriteSnapBlock(w, g.Snaps());
    if (markers > 0) DbRecords::WriteMarkerBlock(w, g.Markers());
}

// Fills g from one record of any version 0 to 3. The sample and statistics are the caller's.
bool ReadRegionRecord(ByteReader& r, CRegion& g, std::string& error) {
    if (r.Left() < CDatabase::kRegionFixedSize) {
        error = "region record cut short";
        r.Fail();
        return false;
    }
    int32_t version = r.I32();
    if (version < 0 || version > 3) {
        error = "unknown region record version";
        r.Fail();
        return false;
    }
    if (version == 3) {
        r.Skip(8);
        g.SetGenre(r.Text(CRegion::kGenreSize));
    } else {
        g.SetName(r.Text(40));
    }
    g.SetStart(r.I64());
    g.SetEnd(r.I64());
    g.SetId(r.I32());
    g.SetNextChild(r.I32());
    g.SetSampleId(r.I32());
    g.SetFlags(r.U32());
    g.SetParentId(r.I32());
    g.SetNotes(r.Text(CRegion::kNotesSize));
    g.SetDate(r.I32());
    int32_t lp = r.I32(), rp = r.I32(), ll = r.I32(), rl = r.I32();
    g.SetPeakStats(lp, rp, ll, rl);
    g.SetFolderIcon(r.I32());
    g.SetFadeInLength(r.I32());
    g.SetFadeOutLength(r.I32());
    int32_t snapsMinus1 = r.I32();
    int32_t markers = r.I32();
    r.Skip(12);
    if (version == 2) r.Skip(CDatabase::kOldRegionExtra);
    if (version == 3) {
        g.SetName(r.Text(CRegion::kNameSize));
        g.SetTitle(r.Text(CRegion::kTagSize));
        g.SetArtist(r.Text(CRegion::kTagSize));
        g.SetAlbum(r.Text(CRegion::kTagSize));
        g.SetYear(r.I32());
        g.SetTrack(r.I32());
        r.Skip(24);
    }
    if (!r.Ok()) {
        error = "region record cut short";
        return false;
    }
    if (snapsMinus1 > 0 && !DbRecords::ReadSnapBlock(r, g.Snaps())) {
        error = "damaged snap block";
        return false;
    }
    if (markers > 0 && !DbRecords::ReadMarkerBlock(r, g.Markers())) {
        error = "damaged marker block";
        return false;
    }
    return true;
}

} // namespace

CDatabase::CDatabase(const fs::path& exeFolder, DbFileOps& ops)
    : m_folder(exeFolder / kFolderName), m_ops(ops), m_headerReserved(kHeaderReserved, 0) {}

fs::path CDatabase::BackupPath(int n) const { return m_folder / ("audiodb" + std::to_string(n) + ".adb"); }

bool CDatabase::Exists() {
    if (!m_ops.IsFolder(m_folder)) {
        m_ops.MakeFolder(m_folder);
        return false;
    }
    const fs::path file = FilePath();
    return m_ops.Exists(file) && !m_ops.IsFolder(file) && ::access(file.c_str(), R_OK) == 0;
}

bool CDatabase::FolderWritable(UiPort& ui) {
    // A folder that is not there (it could not be made) cannot take the database either; the
    // user is told rather than the program ending without a word.
    const fs::path test = m_folder / kTestName;
    if (m_ops.IsFolder(m_folder) && m_ops.CreateOut(test) && m_ops.CloseOut()) {
        m_ops.Remove(test);
        return true;
    }
    m_ops.DiscardOut();
    ui.Notice(kNotWritableMessage, kCaption);
    return false;
}

void CDatabase::Encode(const DbLibrary& lib, DbSink& sink) const {
    ChunkedWriter cw(sink);
    ByteWriter& w = cw.W();
    w.Bytes("KXDB", 4);
    w.I32(kFileVersion);
    w.Bytes(m_headerReserved.data(), kHeaderReserved);
    lib.prefs->WriteBlock(w);
    WriteVDiskBlock(w, *lib.vdisk);
    cw.Flush();

    w.I32(0);
    w.I32(CSample::GetCounter());
    w.I32(lib.samples->Count());
    lib.samples->ForEach([&](const CSample* s) {
        DbRecords::WriteSampleRecord(w, *s);
        cw.Maybe();
    });

    w.I32(0);
    w.I32(CRegion::GetRegionCounter());
    w.I32(lib.regions->Count());
    w.I32(CRegion::GetFolderCounter());
    w.Zeros(DbRecords::kReservedBlockArea);
    lib.regions->ForEach([&](const CRegion* g) {
        WriteRegionRecord(w, *g);
        cw.Maybe();
    });

    DbRecords::WritePresetsBlock(w, *lib.presets);
    lib.vstFolders->WriteBlock(w);
    cw.Flush();
}

bool CDatabase::Decode(const uint8_t* data, size_t size, DbContents& out, std::string& error,
                       const DbPeakSource& peaks) {
    ByteReader r(data, size);
    if (size < kHeaderSize) {
        error = "header cut short";
        return false;
    }
    r.Skip(4); // the magic has never been checked; files of every version carry it
    out.fileVersion = r.I32();
    out.headerReserved.resize(kHeaderReserved);
    r.Bytes(out.headerReserved.data(), kHeaderReserved);

    if (!out.prefs.ReadBlock(r)) {
        error = "preferences block cut short";
        return false;
    }
    if (!ReadVDiskBlock(r, out.vdisk)) {
        error = "VDisk block cut short";
        return false;
    }

    // Samples. Another block version would leave no way to find the blocks after it.
    if (r.I32() != 0 || !r.Ok()) {
        error = r.Ok() ? "unknown samples block version" : "samples block cut short";
        return false;
    }
    out.sampleCounter = r.I32();
    int32_t nSamples = r.I32();
    if (!r.Ok() || nSamples < 0 || static_cast<size_t>(nSamples) > r.Left() / DbRecords::kSampleSize) {
        error = "samples block cut short";
        return false;
    }
    std::unordered_map<int32_t, CSample*> byId;
    byId.reserve(static_cast<size_t>(nSamples));
    for (int32_t i = 0; i < nSamples; ++i) {
        auto s = std::make_unique<CSample>();
        bool filled = false;
        if (!DbRecords::ReadSampleRecord(r, *s, filled)) {
            error = "sample record cut short";
            return false;
        }
        if (!filled) continue;             // a record of an unknown version carries nothing usable
        byId.emplace(s->GetId(), s.get()); // first sample of an id wins, as a linear search would
        // Ids are never handed out twice: a counter behind an id already in the file (a damaged
        // or hand-made file) would give a new sample the id of an old one, and after the next
        // load the new sample's regions would find the old sample.
        if (s->GetId() > out.sampleCounter) out.sampleCounter = s->GetId();
        out.samples.Add(s.release());
    }

    // Regions.
    if (r.I32() != 0 || !r.Ok()) {
        error = r.Ok() ? "unknown regions block version" : "regions block cut short";
        return false;
    }
    out.regionCounter = r.I32();
    int32_t nRegions = r.I32();
    out.folderCounter = r.I32();
    r.Skip(DbRecords::kReservedBlockArea);
    if (!r.Ok() || nRegions < 0 || static_cast<size_t>(nRegions) > r.Left() / kRegionFixedSize) {
        error = "regions block cut short";
        return false;
    }
    std::unordered_map<int32_t, std::vector<uint16_t>> peakCache;
    // Records are gathered and put in order once at the end: a file in any order loads in
    // n log n, where inserting each record in order cost a walk of the list per record.
    std::vector<std::unique_ptr<CRegion>> loaded;
    loaded.reserve(static_cast<size_t>(nRegions));
    for (int32_t i = 0; i < nRegions; ++i) {
        auto g = std::make_unique<CRegion>();
        if (!ReadRegionRecord(r, *g, error)) return false;
        if (g->IsFolder()) {
            if (g->GetId() > out.folderCounter) out.folderCounter = g->GetId();
        } else if (g->GetId() > out.regionCounter) {
            out.regionCounter = g->GetId();
        }
        if (!g->IsFolder()) {
            auto it = byId.find(g->GetSampleId());
            g->SetSample(it == byId.end() ? nullptr : it->second);
        }
        if (!(g->GetFlags() & RegionStoredStats)) {
            g->SetPeakStats(0, 0, 0, 0);
            CSample* s = g->GetSample();
            if (s && peaks) {
                auto c = peakCache.find(s->GetId());
                if (c == peakCache.end()) {
                    std::vector<uint16_t> pairs;
                    if (!peaks(*s, out.vdisk, pairs)) pairs.clear();
                    c = peakCache.emplace(s->GetId(), std::move(pairs)).first;
                }
                if (!c->second.empty())
                    g->ComputePeakStats(c->second.data(), static_cast<int64_t>(c->second.size() / 2));
            }
        }
        g->ResetViewWindow();
        loaded.push_back(std::move(g));
    }
    {
        std::vector<CRegion*> records;
        records.reserve(loaded.size());
        for (auto& g : loaded) records.push_back(g.release());
        out.regions.InsertAll(std::move(records));
    }

    if (out.fileVersion > 0) {
        out.hasPresets = true;
        if (!DbRecords::ReadPresetsBlock(r, out.presets)) {
            error = "presets block cut short";
            return false;
        }
    }
    if (out.fileVersion > 1) {
        out.hasVstFolders = true;
        if (!out.vstFolders.ReadBlock(r)) {
            error = "VST folder block cut short";
            return false;
        }
    }
    return true;
}

void CDatabase::Commit(DbContents& in, const DbLibrary& lib) {
    *lib.prefs = in.prefs;
    lib.samples->Clear();
    while (CSample* s = in.samples.At(0)) {
        in.samples.Remove(s);
        lib.samples->Add(s);
    }
    lib.regions->Clear();
    while (CRegion* g = in.regions.At(0)) {
        in.regions.Remove(g);
        lib.regions->List().Append(g);
    }
    CSample::SetCounter(in.sampleCounter);
    CRegion::SetRegionCounter(in.regionCounter);
    CRegion::SetFolderCounter(in.folderCounter);
    if (in.hasPresets) {
        for (int i = lib.presets->Count() - 1; i >= 0; --i) {
            CDSPPreset* p = lib.presets->At(i);
            if (!p->IsFactory()) lib.presets->Delete(p);
        }
        lib.presets->SetCounter(in.presets.GetCounter());
        while (CDSPPreset* p = in.presets.At(0)) {
            in.presets.Remove(p);
            lib.presets->InsertUser(p);
        }
    }
    if (in.hasVstFolders) *lib.vstFolders = in.vstFolders;
}

bool CDatabase::Load(const DbLibrary& lib, UiPort& ui) {
    auto contents = std::make_unique<DbContents>();
    std::string error;
    bool ok;
    {
        DbInFile in;
        if (!in.Open(m_ops, FilePath())) return false;
        ok = Decode(in.Data(), in.Size(), *contents, error, m_peaks);
    }
    if (!ok) {
        ui.Notice(kDamagedMessage, kCaption);
        return false;
    }
    CVDisk previous = *lib.vdisk;
    *lib.vdisk = contents->vdisk;
    if (!lib.vdisk->CheckOnLoad(ui)) {
        *lib.vdisk = previous;
        return false;
    }
    m_headerReserved = contents->headerReserved;
    Commit(*contents, lib);
    return true;
}

bool CDatabase::Save(const DbLibrary& lib, UiPort& ui) {
    const fs::path tmp = m_folder / kTempName;
    m_ops.Remove(tmp);
    DbOutFile out(m_ops);
    bool ok = out.Create(tmp);
    if (ok) {
        OutFileSink sink(out);
        Encode(lib, sink);
        ok = out.Finish();
    }
    if (ok) ok = Rotate(tmp);
    if (!ok) {
        out.Discard();
        m_ops.Remove(tmp);
        ui.Notice(kSaveFailedMessage, kCaption);
    }
    return ok;
}

// Moves the backups one place down and the new file into place. Deleting is put off to the
// end and every rename is remembered, so that a failed step can put each file back; the one
// step that replaces "audiodb.adb" is a single atomic rename.
bool CDatabase::Rotate(const fs::path& tmp) {
    const fs::path adb = FilePath();
    const fs::path copy0 = m_folder / "audiodb0.tmp";
    const fs::path old3 = m_folder / "audiodb3.old";
    const fs::path oldAdb = m_folder / "audiodb.old";
    m_ops.Remove(copy0);
    m_ops.Remove(old3);
    m_ops.Remove(oldAdb);

    std::vector<std::pair<fs::path, fs::path>> done;
    auto move = [&](const fs::path& from, const fs::path& to) {
        if (!m_ops.Exists(from)) return true;
        if (!m_ops.Rename(from, to)) return false;
        done.emplace_back(from, to);
        return true;
    };
    bool hadAdb = m_ops.Exists(adb);
    bool linked = false, replaced = false, placed0 = false;
    bool ok = m_ops.Copy(tmp, copy0) && move(BackupPath(3), old3) && move(BackupPath(2), BackupPath(3)) &&
              move(BackupPath(1), BackupPath(2)) && move(BackupPath(0), BackupPath(1));
    // The old file stays reachable for a rollback: a second name for it, or a copy where the
    // file system has no hard links (vfat, some network shares).
    if (ok && hadAdb) ok = linked = m_ops.Link(adb, oldAdb) || m_ops.Copy(adb, oldAdb);
    if (ok) ok = replaced = m_ops.Rename(tmp, adb);
    if (ok) ok = placed0 = m_ops.Rename(copy0, BackupPath(0));
    if (ok) ok = m_ops.SyncFolder(m_folder);
    if (ok) {
        m_ops.Remove(old3);
        m_ops.Remove(oldAdb);
        return true;
    }
    // Put everything back, newest step first.
    if (placed0) m_ops.Remove(BackupPath(0));
    if (replaced) {
        if (linked) m_ops.Rename(oldAdb, adb);
        else m_ops.Remove(adb);
    } else if (linked) {
        m_ops.Remove(oldAdb);
    }
    for (auto it = done.rbegin(); it != done.rend(); ++it) m_ops.Rename(it->second, it->first);
    m_ops.Remove(copy0);
    return false;
}
