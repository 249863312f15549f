// sonquil-cli export on a library made by the tool itself: an export never writes over a file
// the library reads (linked, in the VDisk, reached through a link or "./"), nor over what the
// same export wrote before; an external encoder's intermediate file never takes a name that is
// there already; an item the encoder refuses, or one stopped by Ctrl+C (here SIGTERM, which the
// tool takes the same way), leaves no file and no process behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct Rig {
    TempDir dir;
    fs::path lib = dir / "lib";
    fs::path music = dir / "music";

    Rig() {
        fs::create_directories(lib);
        fs::create_directories(music);
    }

    int Tool(const std::string& args, std::string& out, std::string& err) const {
        const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
        const int status = RunCommand("XDG_RUNTIME_DIR=" + ShellQuote(dir.Str()) + " " + SONQUIL_CLI + " --library " +
                                      ShellQuote(lib.string()) + " " + args + " >" + ShellQuote(o) + " 2>" +
                                      ShellQuote(e) + " </dev/null");
        out = LoadText(o);
        err = LoadText(e);
        return status;
    }

    // A second of two sines at the rate, as a 16-bit stereo WAV file.
    static void MakeSong(const fs::path& file, int32_t rate) {
        std::vector<float> pcm(2 * static_cast<size_t>(rate));
        for (int32_t i = 0; i < rate; ++i) {
            pcm[2 * static_cast<size_t>(i)] = static_cast<float>(0.5 * std::sin(i * 0.05));
            pcm[2 * static_cast<size_t>(i) + 1] = static_cast<float>(0.3 * std::sin(i * 0.07));
        }
        ASSERT_TRUE(MakeWavFile(file.parent_path().string(), file.filename().string(), pcm, rate));
    }

    // Imports the file (linked or stored in the VDisk) and gives its region's id and the file the
    // library then reads, from the tool's list.
    void Import(const fs::path& file, bool link, int& id, std::string& libraryFile) const {
        std::string out, err;
        ASSERT_EQ(Tool("import --vdisk " + ShellQuote((lib / "store").string()) + (link ? " --link " : " ") +
                           ShellQuote(file.string()),
                       out, err),
                  0)
            << err;
        ASSERT_EQ(Tool("list", out, err), 0) << err;
        std::istringstream lines(out);
        std::string line;
        id = -1;
        while (std::getline(lines, line)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
            ASSERT_GE(f.size(), 6u) << line;
            if (f[1] != file.stem().string()) continue;
            id = std::stoi(f[0]);
            libraryFile = f[5];
        }
        ASSERT_GE(id, 0) << out;
    }
};

// The tool's last line on stderr, its own message.
std::string LastMessage(const std::string& err) {
    const size_t at = err.rfind("sonquil-cli:");
    return at == std::string::npos ? err : err.substr(at);
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(ExportSafety, NeverWritesOverAFileTheLibraryReads) {
    Rig rig;
    Rig::MakeSong(rig.music / "Song.wav", 44100);
    int song = 0;
    std::string songFile;
    rig.Import(rig.music / "Song.wav", true, song, songFile);
    ASSERT_TRUE(fs::equivalent(songFile, rig.music / "Song.wav"));
    const std::string original = LoadText(rig.music / "Song.wav");
    const std::string id = std::to_string(song);
    std::string out, err;

    // The source's own folder, the same folder spelt with "./", and a symbolic link to the file.
    fs::create_directories(rig.dir / "links");
    fs::create_symlink(rig.music / "Song.wav", rig.dir / "links" / "Song.wav");
    for (const fs::path& to : {rig.music, rig.music / "." / "", rig.dir / "links"}) {
        EXPECT_NE(rig.Tool("export " + id + " --format wav --to " + ShellQuote(to.string()), out, err), 0) << to;
        EXPECT_EQ(out, "Song.wav\tWould overwrite a library file.\n") << to;
        EXPECT_EQ(LastMessage(err), "sonquil-cli: 1 of 1 files failed\n");
        ASSERT_TRUE(LoadText(rig.music / "Song.wav") == original) << "the recording was written over via " << to;
    }

    // A file stored in the VDisk is as much the library's. Its stored name never meets an
    // export's name, but a link of the export's name to it would lead the writer there.
    fs::create_directories(rig.dir / "incoming");
    Rig::MakeSong(rig.dir / "incoming" / "Stored.wav", 44100);
    int stored = 0;
    std::string storedFile;
    rig.Import(rig.dir / "incoming" / "Stored.wav", false, stored, storedFile);
    const fs::path vdiskFile(storedFile);
    ASSERT_NE(vdiskFile.parent_path(), rig.dir / "incoming");
    ASSERT_TRUE(fs::exists(vdiskFile));
    const std::string storedBytes = LoadText(vdiskFile);
    fs::create_directories(rig.dir / "shelf");
    fs::create_symlink(vdiskFile, rig.dir / "shelf" / "Stored.wav");
    EXPECT_NE(rig.Tool("export " + std::to_string(stored) + " --format wav --to " +
                           ShellQuote((rig.dir / "shelf").string()),
                       out, err),
              0);
    EXPECT_EQ(out, "Stored.wav\tWould overwrite a library file.\n");
    EXPECT_TRUE(LoadText(vdiskFile) == storedBytes);

    // An external encoder whose own file would be the library's: refused before anything runs.
    ASSERT_EQ(rig.Tool("encoders add Copy /bin/cp '%s %d' wav", out, err), 0) << err;
    EXPECT_NE(rig.Tool("export " + id + " --format Copy --to " + ShellQuote(rig.music.string()), out, err), 0);
    EXPECT_EQ(out, "Song.wav\tWould overwrite a library file.\n");
    EXPECT_TRUE(LoadText(rig.music / "Song.wav") == original);
    EXPECT_EQ(Names(rig.music), (std::set<std::string>{"Song.wav"}));
}

TEST(ExportSafety, TheIntermediateWavTakesANameOfItsOwn) {
    Rig rig;
    Rig::MakeSong(rig.music / "Song.wav", 44100);
    int song = 0;
    std::string songFile;
    rig.Import(rig.music / "Song.wav", true, song, songFile);
    const std::string original = LoadText(rig.music / "Song.wav");
    const std::string id = std::to_string(song);
    std::string out, err;
    // "cp" stands for an encoder: the final file then holds exactly what it was given.
    ASSERT_EQ(rig.Tool("encoders add Enc /bin/cp '%s %d' mp3", out, err), 0) << err;

    // Beside the linked source, "Song.wav" is the library's; the encoder still gets a WAV file,
    // the final file is named as always, and the intermediate file is gone afterwards.
    ASSERT_EQ(rig.Tool("export " + id + " --format Enc --to " + ShellQuote(rig.music.string()), out, err), 0) << err;
    EXPECT_EQ(out.rfind("Song.mp3\tOK (", 0), 0u) << out;
    EXPECT_TRUE(LoadText(rig.music / "Song.wav") == original);
    EXPECT_EQ(Names(rig.music), (std::set<std::string>{"Song.wav", "Song.mp3"}));
    const std::string encoded = LoadText(rig.music / "Song.mp3");
    EXPECT_EQ(encoded.substr(0, 4), "RIFF");
    EXPECT_EQ(encoded.size(), 44u + 44101u * 4u);

    // An ordinary file of that name elsewhere is left alone just the same.
    const fs::path other = rig.dir / "other";
    fs::create_directories(other);
    {
        std::ofstream keep(other / "Song.wav", std::ios::binary);
        keep << "not an export";
    }
    ASSERT_EQ(rig.Tool("export " + id + " --format Enc --to " + ShellQuote(other.string()), out, err), 0) << err;
    EXPECT_EQ(LoadText(other / "Song.wav"), "not an export");
    EXPECT_TRUE(LoadText(other / "Song.mp3") == encoded);
    EXPECT_EQ(Names(other), (std::set<std::string>{"Song.wav", "Song.mp3"}));

    // In a folder of its own the intermediate file keeps the plain name, which stays with the
    // WAV file when the encoder fails, for running the encoder by hand.
    ASSERT_EQ(rig.Tool("encoders add Broken /bin/false '%s %d' xyz", out, err), 0) << err;
    const fs::path clean = rig.dir / "clean";
    fs::create_directories(clean);
    EXPECT_NE(rig.Tool("export " + id + " --format Broken --to " + ShellQuote(clean.string()), out, err), 0);
    EXPECT_EQ(out, "Song.xyz\tExternal encoder failed, check syntax:/bin/false\n");
    EXPECT_EQ(Names(clean), (std::set<std::string>{"Song.wav"}));
}

TEST(ExportSafety, TwoItemsOfOneNameWriteTheFirstOnly) {
    Rig rig;
    Rig::MakeSong(rig.music / "Song.wav", 44100);
    int song = 0;
    std::string songFile;
    rig.Import(rig.music / "Song.wav", true, song, songFile);
    const std::string id = std::to_string(song);
    std::string out, err;
    const fs::path one = rig.dir / "one", twice = rig.dir / "twice";
    fs::create_directories(one);
    fs::create_directories(twice);
    ASSERT_EQ(rig.Tool("export " + id + " --format wav --bits 24 --to " + ShellQuote(one.string()), out, err), 0)
        << err;
    // The region twice: the first item writes the file, the second is refused.
    EXPECT_NE(rig.Tool("export " + id + " " + id + " --format wav --bits 24 --to " + ShellQuote(twice.string()), out,
                       err),
              0);
    EXPECT_EQ(out.substr(out.find('\n') + 1), "Song.wav\tWould overwrite a file written earlier in this export.\n")
        << out;
    EXPECT_EQ(out.rfind("Song.wav\tOK (", 0), 0u) << out;
    EXPECT_TRUE(LoadText(twice / "Song.wav") == LoadText(one / "Song.wav"));
    EXPECT_EQ(Names(twice), (std::set<std::string>{"Song.wav"}));

    // An external encoder's files count the same way.
    ASSERT_EQ(rig.Tool("encoders add Enc /bin/cp '%s %d' mp3", out, err), 0) << err;
    EXPECT_NE(rig.Tool("export " + id + " " + id + " --format Enc --to " + ShellQuote(twice.string()), out, err), 0);
    EXPECT_EQ(out.substr(out.find('\n') + 1), "Song.mp3\tWould overwrite a file written earlier in this export.\n")
        << out;
    EXPECT_EQ(Names(twice), (std::set<std::string>{"Song.wav", "Song.mp3"}));

    // A file of an earlier export is still written over, as ever.
    ASSERT_EQ(rig.Tool("export " + id + " --format wav --to " + ShellQuote(twice.string()), out, err), 0) << err;
    EXPECT_NE(LoadText(twice / "Song.wav"), LoadText(one / "Song.wav"));
}

TEST(ExportSafety, SettingsAnEncoderRefusesLeaveNoFile) {
    Rig rig;
    // No Vorbis, AAC or WMA mode takes this rate; the writers find out only from the encoder.
    Rig::MakeSong(rig.music / "Fast.wav", 400000);
    int fast = 0;
    std::string file;
    rig.Import(rig.music / "Fast.wav", true, fast, file);
    const fs::path to = rig.dir / "masters";
    fs::create_directories(to);
    std::string out, err;
    for (const char* format : {"ogg", "aac", "wma"}) {
        const std::string args = "export " + std::to_string(fast) + " --format " + format + " --to " +
                                 ShellQuote(to.string());
        if (rig.Tool(args, out, err) != 0 && err.find("not available in this build") != std::string::npos) continue;
        EXPECT_EQ(out, "Fast." + std::string(format) + "\tCan't write output file.\n") << format << ": " << err;
        EXPECT_TRUE(Names(to).empty()) << format << " left " << *Names(to).begin();
        for (const auto& name : Names(to)) fs::remove(to / name);
    }
}

TEST(ExportSafety, InterruptEndsAHungEncoderAndLeavesNothing) {
    Rig rig;
    Rig::MakeSong(rig.music / "Song.wav", 44100);
    int song = 0;
    std::string file;
    rig.Import(rig.music / "Song.wav", true, song, file);
    // An encoder that starts a child, makes its output and then hangs: ending the item must
    // reach both processes.
    const fs::path encoder = rig.dir / "hang.sh";
    {
        std::ofstream s(encoder);
        s << "#!/bin/sh\nd=$(dirname \"$0\")\n: > \"$2\"\nsleep 120 &\necho $! > \"$d/child.pid\"\necho $$ > "
             "\"$d/encoder.pid\"\nwait\n";
    }
    fs::permissions(encoder, fs::perms::owner_all);
    std::string out, err;
    ASSERT_EQ(rig.Tool("encoders add Hang " + ShellQuote(encoder.string()) + " '%s %d' mp3", out, err), 0) << err;
    const fs::path to = rig.dir / "masters";
    fs::create_directories(to);
    const std::string o = (rig.dir / "out.txt").string(), e = (rig.dir / "err.txt").string();
    const std::string status = (rig.dir / "status").string();
    // The tool in the background; once the encoder runs, the tool is told to stop.
    const std::string script = "XDG_RUNTIME_DIR=" + ShellQuote(rig.dir.Str()) + " " + SONQUIL_CLI + " --library " +
                               ShellQuote(rig.lib.string()) + " export " + std::to_string(song) + " " +
                               std::to_string(song) + " --format Hang --to " + ShellQuote(to.string()) + " >" +
                               ShellQuote(o) + " 2>" + ShellQuote(e) + " </dev/null & tool=$!; n=0; while [ ! -s " +
                               ShellQuote((rig.dir / "encoder.pid").string()) +
                               " ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done; kill -TERM $tool; wait $tool; "
                               "echo $? > " +
                               ShellQuote(status);
    ASSERT_EQ(RunCommand("sh -c " + ShellQuote(script)), 0);
    EXPECT_NE(LoadText(status), "0\n");
    EXPECT_EQ(LoadText(o), "Song.mp3\tCanceled.\n");
    EXPECT_EQ(LastMessage(LoadText(e)), "sonquil-cli: the export was aborted\n");
    const long encoderPid = std::atol(LoadText(rig.dir / "encoder.pid").c_str());
    const long childPid = std::atol(LoadText(rig.dir / "child.pid").c_str());
    ASSERT_GT(encoderPid, 0);
    ASSERT_GT(childPid, 0);
    EXPECT_FALSE(ProcessRunning(encoderPid));
    EXPECT_FALSE(ProcessRunning(childPid));
    if (ProcessRunning(childPid)) ::kill(static_cast<pid_t>(childPid), SIGKILL);
    if (ProcessRunning(encoderPid)) ::kill(static_cast<pid_t>(encoderPid), SIGKILL);
    // Neither the intermediate WAV file nor the encoder's begun output is left.
    EXPECT_TRUE(Names(to).empty());
}
