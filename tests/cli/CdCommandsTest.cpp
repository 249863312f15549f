// sonquil-cli cd-list and cd-import on BIN/CUE images: the drive and track lists as the panel
// shows them (without a library), one report line per imported track, --tracks, the lookup of
// --cddb answered with --match against a loopback CDDB server, and one-line errors.
#include <gtest/gtest.h>

#include <regex>

#include "cdimport/CCDDBPrefs.h"
#include "cdimport/DiscImage.h"
#include "cdimport/LoopbackCddb.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

int Tool(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR='" + dir.Str() + "' " + SONQUIL_CLI + " --library '" +
                                  (dir / "lib").string() + "' " + args + " >'" + o + "' 2>'" + e + "' </dev/null");
    out = LoadText(o);
    err = LoadText(e);
    return status;
}

// Three silent audio tracks (a minute, then 75 and 60 frames) and a data track.
DiscImage MakeImage(const TempDir& dir) {
    DiscImage image;
    EXPECT_TRUE(MakeDiscImage(dir.Path(), "disc", {{true, 4500}, {true, 75}, {true, 60}, {false, 40}}, image));
    return image;
}

} // namespace

TEST(CdCommands, ListShowsTheImageAsADriveAndItsTracksWithoutALibrary) {
    TempDir dir;
    const DiscImage image = MakeImage(dir);
    std::string out, err;
    ASSERT_EQ(Tool(dir, "cd-list --device '" + image.cue.string() + "'", out, err), 0) << err;
    EXPECT_TRUE(std::regex_search(out, std::regex("\\* [0-9]+\tImage:disc\\.cue\t" + image.cue.string() + "\n")))
        << out;
    EXPECT_NE(out.find("Tracks\tTime\tSize\n"
                       "[x]  AudioTrack 01\t01:00\t10 MB\n"
                       "[x]  AudioTrack 02\t00:01\t0 MB\n"
                       "[x]  AudioTrack 03\t00:00\t0 MB\n"
                       "[ ]  DataTrack 04\t00:00\t0 MB\n"),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(dir / "lib" / "AudioDB")); // no library was made or needed

    EXPECT_NE(Tool(dir, "cd-list --device '" + (dir / "none.cue").string() + "'", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: no CD drive or disc image \"" + (dir / "none.cue").string() + "\"\n");
}

TEST(CdCommands, ImportReportsOneLinePerTrackAndTakesTheTracksAsked) {
    TempDir dir;
    const DiscImage image = MakeImage(dir);
    std::string out, err;
    const std::string device = " --device '" + image.cue.string() + "'";
    ASSERT_EQ(Tool(dir, "cd-import" + device + " --vdisk '" + (dir / "store").string() + "'", out, err), 0) << err;
    EXPECT_EQ(out, "Track 01\tOK\nTrack 02\tOK\nTrack 03\tOK\n"); // the audio tracks
    ASSERT_EQ(Tool(dir, "cd-import" + device + " --tracks 3,1-2", out, err), 0) << err;
    EXPECT_EQ(out, "Track 01\tOK\nTrack 02\tOK\nTrack 03\tOK\n");
    ASSERT_EQ(Tool(dir, "list", out, err), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 6) << out;
    EXPECT_NE(out.find("\tTrack 02\t"), std::string::npos) << out;

    // Mistakes are one line on stderr and a failing status.
    EXPECT_NE(Tool(dir, "cd-import" + device + " --tracks 0", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: --tracks wants track numbers from 1, like 1,3-5\n");
    EXPECT_NE(Tool(dir, "cd-import" + device + " --tracks 2-5", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: the disc has no track 5 (it has 4)\n");
    EXPECT_NE(Tool(dir, "cd-import" + device + " --match 2", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: --match answers the lookup of --cddb\n");
    EXPECT_NE(Tool(dir, "cd-import --tracks 1", out, err), 0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(CdCommands, ImportWithCddbTakesTheMatchAskedAndNamesTheTracks) {
    LoopbackCddb server([](const std::string& request) {
        if (request.find("cmd=cddb+query") != std::string::npos)
            return LoopbackCddb::Http("211 Found inexact matches, list follows (until terminating `.')\r\n"
                                      "rock 1a011204 Wrong Band / Wrong Album\r\n"
                                      "jazz 1a011204 Right Band / Right Album\r\n.\r\n");
        return LoopbackCddb::Http("210 jazz 1a011204\r\nDYEAR=1959\r\nTTITLE0=So What\r\nTTITLE1=Blue\r\n"
                                  "TTITLE2=Green\r\n.\r\n");
    });
    TempDir dir;
    const DiscImage image = MakeImage(dir);
    fs::create_directories(dir / "lib");
    CCDDBPrefs prefs;
    prefs.server = "127.0.0.1";
    prefs.port = server.Port();
    ASSERT_TRUE(prefs.Save((dir / "lib" / "CDDBPrefs.dat").string()));
    std::string out, err;
    ASSERT_EQ(Tool(dir,
                   "cd-import --device '" + image.cue.string() + "' --tracks 1,3 --cddb --match 2 --vdisk '" +
                       (dir / "store").string() + "'",
                   out, err),
              0)
        << err;
    EXPECT_EQ(out, "01-So What\tOK\n03-Green\tOK\n");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_NE(server.Requests()[1].find("cmd=cddb+read+jazz+1a011204"), std::string::npos);
    ASSERT_EQ(Tool(dir, "list", out, err), 0) << err;
    EXPECT_NE(out.find("01-So What"), std::string::npos) << out;
    // The settings file is written back at the end, as the program does.
    EXPECT_EQ(fs::file_size(dir / "lib" / "CDDBPrefs.dat"), 781u);

    // Nothing listening: the notice on stderr, and the tracks are imported unnamed.
    prefs.port = LoopbackCddb::DeadPort();
    ASSERT_TRUE(prefs.Save((dir / "lib" / "CDDBPrefs.dat").string()));
    ASSERT_EQ(Tool(dir, "cd-import --device '" + image.cue.string() + "' --tracks 2 --cddb", out, err), 0) << err;
    EXPECT_EQ(out, "Track 02\tOK\n");
    EXPECT_NE(err.find("Can't connect to remote server."), std::string::npos) << err;
}
