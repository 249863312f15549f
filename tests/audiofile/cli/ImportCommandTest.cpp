// sonquil-cli import and mark-tracks on a library in a temporary folder: the report lines, the
// stored preferences, link, raw input, the lock, and the library kept across a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "../CompressedTestUtil.h"
#include "audiofile/AudioFileWav.h"
#include "common/MainThreadPort.h"
#include "common/SingleInstance.h"
#include "core/CCore.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/ScriptedUiPort.h"

namespace {

int Tool(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR='" + dir.Str() + "' " + IMPORT_CLI + " --library '" +
                                  (dir / "lib").string() + "' " + args + " >'" + o + "' 2>'" + e + "' </dev/null");
    auto slurp = [](const std::string& p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    out = slurp(o);
    err = slurp(e);
    return status;
}

// The library as the program would load it.
struct Loaded {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    explicit Loaded(const TempDir& dir) {
        CoreOptions options;
        options.baseFolder = dir / "lib";
        EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
    }
    ~Loaded() { core.Stop(); }
    CRegion* Region(const std::string& name) {
        CRegion* found = nullptr;
        core.RegionList()->ForEach([&](CRegion* r) {
            if (r->GetName() == name) found = r;
        });
        return found;
    }
};

// 60 s of music, 3 s of digital silence, 60 s of music.
void RecordSide(const std::string& folder, const std::string& name) {
    AudioFileWav w(folder, name);
    ASSERT_TRUE(w.OpenWrite(2, 44100, 16, 0));
    std::vector<float> block(2 * 44100);
    for (int s = 0; s < 123; ++s) {
        const bool silent = s >= 60 && s < 63;
        for (int i = 0; i < 44100; ++i)
            block[2 * i] = block[2 * i + 1] = silent ? 0.0f : 0.5f * std::sin(0.05f * static_cast<float>(i));
        w.WriteFloat(block.data(), 44100);
    }
    ASSERT_TRUE(w.FinishWrite());
}

} // namespace

TEST(ImportCommand, ImportsReportsAndKeepsTheLibraryAcrossARestart) {
    TempDir dir;
    std::filesystem::create_directories(dir / "lib");
    std::string out, err;
    // No library yet and no --vdisk: refused.
    MakeWav(dir, "Song.WAV", 44100, 2, 44100);
    EXPECT_NE(Tool(dir, "import '" + (dir / "Song.WAV").string() + "'", out, err), 0);
    EXPECT_NE(err.find("no library in"), std::string::npos) << err;
    // --vdisk makes it; the text file's line carries the probe's message and the exit says so.
    SaveBytes(dir / "notes.txt", std::vector<uint8_t>(50, 'n'));
    EXPECT_EQ(Tool(dir,
                   "import --vdisk '" + (dir / "store").string() + "' '" + (dir / "Song.WAV").string() + "' '" +
                       (dir / "notes.txt").string() + "'",
                   out, err),
              1)
        << err;
    EXPECT_EQ(out, "Song.WAV\tOK\nnotes.txt\tFormat is not supported.\n");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "store" / "VDisk"));
    {
        Loaded lib(dir);
        CRegion* r = lib.Region("Song");
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->GetEnd(), 44100);
        EXPECT_EQ(r->GetParentId(), 1);
        ASSERT_NE(r->GetSample(), nullptr);
        EXPECT_EQ(r->GetSample()->GetFormatCode(), kFormatWav);
        EXPECT_TRUE(r->GetSample()->FilePresent());
        std::string peakName;
        ASSERT_TRUE(r->GetSample()->PeakFileName(peakName));
        EXPECT_TRUE(std::filesystem::exists(dir / "store" / "VDisk" / peakName));
        // Loaded again, the region has its statistics and its thumbnail from the peak file.
        EXPECT_GT(r->GetLeftPeak(), 0);
        const uint8_t* overview = r->GetOverview();
        EXPECT_TRUE(std::any_of(overview, overview + CRegion::kOverviewSize, [](uint8_t b) { return b != 0; }));
    }
    // The list shows it in "User" (1) with its stored file in the VDisk.
    ASSERT_EQ(Tool(dir, "list", out, err), 0) << err;
    const size_t at = out.find("\tSong\t1\t0\t44100\t" + (dir / "store" / "VDisk").string() + "/");
    EXPECT_NE(at, std::string::npos) << out;
    EXPECT_NE(out.find("\t0\t44100\t16\t2\n", at), std::string::npos) << out;
    // While the program holds the library's lock nothing is touched.
    {
        SingleInstance program(SingleInstance::LibraryLockPath((dir / "lib" / "AudioDB").string()));
        ASSERT_TRUE(program.Acquire());
        EXPECT_NE(Tool(dir, "import '" + (dir / "Song.WAV").string() + "'", out, err), 0);
        EXPECT_EQ(err, "sonquil-cli: the library is in use: Sonquil or another sonquil-cli is running\n");
    }
    Loaded lib(dir);
    EXPECT_EQ(lib.core.SampleList()->Count(), 1);
}

TEST(ImportCommand, StorageAndCloneChoicesAreStoredLinkAndRawWork) {
    REQUIRE_TOOL("lame");
    TempDir dir;
    std::filesystem::create_directories(dir / "lib");
    MakeWav(dir, "src.wav", 44100, 2, 44100);
    ASSERT_EQ(0, RunCommand("lame --quiet -b 128 " + (dir / "src.wav").string() + " " + (dir / "m.mp3").string()));
    std::string out, err;
    ASSERT_EQ(Tool(dir,
                   "import --vdisk '" + (dir / "store").string() + "' --storage kx64 --on-import clone '" +
                       (dir / "m.mp3").string() + "' '" + (dir / "src.wav").string() + "'",
                   out, err),
              0)
        << err;
    // The choices stay: this import converts into KX64 without saying so again.
    std::filesystem::copy_file(dir / "src.wav", dir / "again.wav");
    ASSERT_EQ(Tool(dir, "import '" + (dir / "again.wav").string() + "'", out, err), 0) << err;
    // Link, and a raw file read as 16-bit big-endian mono at 22050 Hz.
    ASSERT_EQ(Tool(dir, "import --link '" + (dir / "src.wav").string() + "'", out, err), 0) << err;
    EXPECT_EQ(out, "src.wav\tOK\n");
    std::filesystem::copy_file(dir / "src.wav", dir / "pcm.raw");
    EXPECT_EQ(Tool(dir, "import '" + (dir / "pcm.raw").string() + "'", out, err), 1);
    EXPECT_EQ(out, "pcm.raw\tCan't read this file format\n");
    ASSERT_EQ(Tool(dir, "import --raw 16,22050,1,be '" + (dir / "pcm.raw").string() + "'", out, err), 0) << err;
    EXPECT_NE(Tool(dir, "import --raw 12,22050,1,be x", out, err), 0);
    EXPECT_NE(Tool(dir, "import --storage flac x", out, err), 0);

    Loaded lib(dir);
    EXPECT_EQ(lib.core.Prefs()->GetInt(101), 1);
    EXPECT_EQ(lib.core.Prefs()->GetByte(100), 0);
    EXPECT_EQ(lib.Region("m")->GetSample()->GetFormatCode(), kFormatMp3);
    EXPECT_EQ(lib.Region("again")->GetSample()->GetFormatCode(), kFormatKX64);
    int linked = 0;
    lib.core.SampleList()->ForEach([&](CSample* s) {
        if (!s->IsStored()) {
            ++linked;
            EXPECT_EQ(s->GetFolder(), dir.Str());
        }
    });
    EXPECT_EQ(linked, 1);
    const CSample* raw = lib.Region("pcm")->GetSample();
    EXPECT_EQ(raw->GetSampleRate(), 22050);
    EXPECT_EQ(raw->GetChannels(), 1);
    EXPECT_EQ(raw->GetFrameCount(), static_cast<int64_t>(std::filesystem::file_size(dir / "pcm.raw") / 2));
}

TEST(MarkTracksCommand, PrintsAndKeepsTheMarkersItAdded) {
    TempDir dir;
    std::filesystem::create_directories(dir / "lib");
    RecordSide(dir.Str(), "side.wav");
    std::string out, err;
    ASSERT_EQ(Tool(dir, "import --vdisk '" + (dir / "store").string() + "' '" + (dir / "side.wav").string() + "'", out,
                   err),
              0)
        << err;
    int id = 0;
    {
        Loaded lib(dir);
        id = lib.Region("side")->GetId();
    }
    ASSERT_EQ(Tool(dir, "mark-tracks " + std::to_string(id), out, err), 0) << err;
    // The music starts again at 63 s; the marker sits 4000 frames before the rise of the peaks.
    std::istringstream lines(out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_FALSE(std::getline(lines, line)) << out;
    const long long pos = std::stoll(out);
    EXPECT_NEAR(static_cast<double>(pos), 63.0 * 44100 - 4000, 512);
    EXPECT_NE(out.find("\t0:01:02:"), std::string::npos) << out;
    EXPECT_NE(out.find(" (you can edit this text)\n"), std::string::npos);
    {
        Loaded lib(dir);
        ASSERT_EQ(lib.Region("side")->Markers().Count(), 1);
    }
    EXPECT_NE(Tool(dir, "mark-tracks 99999", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: no region with id 99999\n");
    EXPECT_NE(Tool(dir, "mark-tracks x", out, err), 0);
}
