// sonquil-cli recover: a library whose database is lost gets every take of its VDisk back
// (WAV, KX64 and Ogg Vorbis storage), byte for byte, and the scan deletes nothing a reader opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

int Tool(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR='" + dir.Str() + "' " + SONQUIL_CLI + " --library '" + dir.Str() +
                                  "' " + args + " >'" + o + "' 2>'" + e + "' </dev/null");
    out = LoadText(o);
    err = LoadText(e);
    return status;
}

std::vector<float> Take(int64_t frames, int seed) {
    std::vector<float> pcm(static_cast<size_t>(2 * frames));
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<float>((static_cast<int64_t>(i) * (7919 + seed) + seed) % 20000 - 10000) / 16000.0f;
    return pcm;
}

// The VDisk's audio files (not the System folder) with their bytes.
std::map<std::string, std::vector<uint8_t>> VDiskFiles(const fs::path& vdisk) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::directory_iterator(vdisk))
        if (e.is_regular_file() && e.path().filename().string()[0] != '_')
            files[e.path().filename().string()] = LoadBytes(e.path());
    return files;
}

} // namespace

TEST(RecoverCommand, ALostDatabaseGetsEveryTakeBackByteForByte) {
    TempDir dir;
    std::string out, err;
    ASSERT_TRUE(MakeWavFile(dir.Str(), "a.wav", Take(30000, 1), 44100));
    ASSERT_TRUE(MakeWavFile(dir.Str(), "b.wav", Take(40000, 2), 48000));
    ASSERT_TRUE(MakeWavFile(dir.Str(), "c.wav", Take(50000, 3), 44100));
    // One take in each storage format.
    ASSERT_EQ(Tool(dir,
                   "import --vdisk '" + (dir / "store").string() + "' --storage wav '" + (dir / "a.wav").string() + "'",
                   out, err),
              0)
        << err;
    ASSERT_EQ(Tool(dir, "import --storage kx64 '" + (dir / "b.wav").string() + "'", out, err), 0) << err;
    ASSERT_EQ(Tool(dir, "import --storage ogg-hq '" + (dir / "c.wav").string() + "'", out, err), 0) << err;
    const fs::path vdisk = dir / "store" / "VDisk";
    const std::map<std::string, std::vector<uint8_t>> before = VDiskFiles(vdisk);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(Tool(dir, "list", out, err), 0) << err;
    const std::string listed = out;

    // Nothing to recover while every file is claimed.
    ASSERT_EQ(Tool(dir, "recover", out, err), 0) << err;
    EXPECT_EQ(out, "");

    // The database is lost. Without --vdisk there is nothing to open.
    fs::remove_all(dir / "AudioDB");
    EXPECT_NE(Tool(dir, "recover", out, err), 0);
    EXPECT_NE(err.find("no library in"), std::string::npos) << err;
    // A stray of a write cut short, and a large file no reader opens.
    std::ofstream(vdisk / "991231235959", std::ios::binary) << std::string(500, 'x');
    std::ofstream(vdisk / "notes.txt", std::ios::binary) << std::string(3000, 'n');

    EXPECT_EQ(Tool(dir, "recover --vdisk '" + (dir / "store").string() + "'", out, err), 1) << err;
    std::map<std::string, std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    ASSERT_EQ(lines.size(), 4u) << out;
    for (const auto& [name, bytes] : before) EXPECT_EQ(lines[name], "OK") << name;
    EXPECT_EQ(lines["notes.txt"], "Format is not supported.");
    EXPECT_FALSE(fs::exists(vdisk / "991231235959"));
    EXPECT_TRUE(fs::exists(vdisk / "notes.txt")) << "a file the scan cannot bring back stays";

    // Every take is there again, as a stored sample of its own format, with the same audio file.
    std::map<std::string, std::vector<uint8_t>> after = VDiskFiles(vdisk);
    after.erase("notes.txt");
    EXPECT_TRUE(after == before);
    ASSERT_EQ(Tool(dir, "list", out, err), 0) << err;
    int formats[10] = {};
    std::istringstream rows(out);
    for (std::string row; std::getline(rows, row);) {
        std::vector<std::string> f;
        std::istringstream cells(row);
        for (std::string c; std::getline(cells, c, '\t');) f.push_back(c);
        ASSERT_EQ(f.size(), 10u) << row;
        EXPECT_EQ(fs::path(f[5]).parent_path(), vdisk) << row;
        EXPECT_EQ(f[2], "1") << "found takes come back into User: " << row;
        const int code = std::stoi(f[6]);
        ASSERT_TRUE(code >= 0 && code < 10) << row;
        ++formats[code];
        // The same frames, rate and channels as before the loss.
        const std::string tail = "\t" + f[3] + "\t" + f[4] + "\t" + f[5] + "\t" + f[6] + "\t" + f[7];
        EXPECT_NE(listed.find(tail), std::string::npos) << row << "\nwas:\n" << listed;
    }
    EXPECT_EQ(formats[0], 1);
    EXPECT_EQ(formats[3], 1);
    EXPECT_EQ(formats[6], 1);

    // A second run finds every take claimed and the library saved.
    EXPECT_EQ(Tool(dir, "recover", out, err), 1) << err;
    EXPECT_EQ(out, "notes.txt\tFormat is not supported.\n");
}
