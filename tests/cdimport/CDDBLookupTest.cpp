// The CDDB lookup against a loopback HTTP server started here: the match questions in turn, the
// chosen record naming the tracks (an empty TTITLE0, a TTITLE3 over two lines), the messages when
// nothing listens, nothing matches or the record cannot be had, the "cdplayer.ini" fallback, and
// the proxy with its credentials rule.
#include <gtest/gtest.h>

#include <fstream>

#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/CDDBLookup.h"
#include "cdimport/DiscImage.h"
#include "cdimport/LoopbackCddb.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

// libcddb 1.3 keeps the proxy's encoded credentials when its connection is destroyed (a few
// bytes per lookup with credentials); nothing of ours can reach them to free them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcddb.so\n"; }

namespace {

const char* kRecord = "# xmcd\r\n"
                      "DISCID=0a011504\r\n"
                      "DTITLE=Second Artist / Second Album\r\n"
                      "DYEAR=2001\r\n"
                      "DGENRE=Ambient\r\n"
                      "TTITLE0=\r\n"
                      "TTITLE1=Track Two\r\n"
                      "TTITLE2=Track Three\r\n"
                      "TTITLE3=Track Four begins here\r\n"
                      "TTITLE3= and goes on\r\n"
                      "EXTD=\r\n"
                      "PLAYORDER=\r\n"
                      ".\r\n";

// Answers queries with three matches and reads with kRecord (or readStatus).
struct Server {
    int readStatus = 200;
    LoopbackCddb http{[this](const std::string& request) { return Answer(request); }};

    std::string Answer(const std::string& request) {
        if (request.find("cmd=cddb+query") != std::string::npos)
            return LoopbackCddb::Http("210 Found exact matches, list follows (until terminating `.')\r\n"
                                      "rock 0a011504 First Artist / First Album\r\n"
                                      "misc 0a011504 Second Artist / Second Album\r\n"
                                      "jazz 0a011505 Third Artist / Third Album\r\n"
                                      ".\r\n");
        if (request.find("cmd=cddb+read") != std::string::npos)
            return readStatus == 200
                       ? LoopbackCddb::Http(std::string("210 misc 0a011504 CD database entry follows\r\n") + kRecord)
                       : LoopbackCddb::Http("server error", readStatus);
        return LoopbackCddb::Http("500 Unrecognized command.\r\n");
    }
};

struct Rig {
    TempDir dir;
    DiscImage image;
    CCDRip rip;
    CCDDBPrefs prefs;
    ScriptedUiPort ui;

    Rig() {
        // Four silent tracks; the lookup only needs the table.
        EXPECT_TRUE(MakeDiscImage(dir.Path(), "disc", {{true, 300}, {true, 450}, {true, 200}, {true, 600}}, image));
        rip.Start();
        std::string error;
        rip.SelectDrive(rip.AddImage(image.cue.string(), error));
        EXPECT_EQ(rip.ReadTOC(), 4) << error;
        prefs.server = "127.0.0.1";
    }
    bool Lookup() { return RunCDDBLookup(rip, prefs, ui, dir.Str()); }
    std::vector<std::string> Notices() const {
        std::vector<std::string> v;
        for (const auto& m : ui.messages)
            if (m.kind == "notice") v.push_back(m.text);
        return v;
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> v;
        for (const auto& m : ui.messages)
            if (m.kind == "question") v.push_back(m.text);
        return v;
    }
};

} // namespace

TEST(CDDBLookup, MatchesAreOfferedInTurnAndTheChosenRecordNamesTheTracks) {
    Server server;
    Rig rig;
    rig.prefs.port = server.http.Port();
    rig.ui.questionAnswers = {false, true};
    ASSERT_TRUE(rig.Lookup());

    EXPECT_EQ(rig.Questions(),
              (std::vector<std::string>{
                  "3 matches found, select this entry?\n\nArtist: First Artist\nAlbum: First Album\nGenre: rock",
                  "3 matches found, select this entry?\n\nArtist: Second Artist\nAlbum: Second Album\nGenre: misc"}));
    EXPECT_TRUE(rig.Notices().empty());
    for (const auto& m : rig.ui.messages) EXPECT_EQ(m.caption, "");

    // The second match's record was read, with the query script and the greeting.
    const std::vector<std::string> requests = server.http.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].rfind("GET /~cddb/cddb.cgi?cmd=cddb+read+misc+0a011504&hello=", 0), 0u) << requests[1];
    EXPECT_NE(requests[1].find("+program+1.0&proto=6"), std::string::npos) << requests[1];

    const CDDiscInfo& info = rig.rip.DiscInfo();
    EXPECT_EQ(info.artist, "Second Artist");
    EXPECT_EQ(info.album, "Second Album");
    EXPECT_EQ(info.year, 2001);
    EXPECT_EQ(info.genre, "Ambient");
    EXPECT_EQ(info.discId, CCDRip::DiscIdOf(rig.rip.Toc()));
    // The table read after the lookup keeps the titles of the same disc.
    ASSERT_EQ(rig.rip.ReadTOC(), 4);
    EXPECT_EQ(rig.rip.TrackName(0), " AudioTrack 01"); // the empty TTITLE0 counted
    EXPECT_EQ(rig.rip.TrackName(1), "02-Track Two");
    EXPECT_EQ(rig.rip.TrackName(3), "04-Track Four begins here");
}

TEST(CDDBLookup, DecliningEveryMatchSaysNoMatchesAndClearsEarlierTitles) {
    Server server;
    Rig rig;
    rig.prefs.port = server.http.Port();
    rig.rip.DiscInfo().titles[0] = "Old Title";
    rig.rip.DiscInfo().artist = "Old Artist";
    rig.rip.DiscInfo().year = 1970;
    rig.ui.questionAnswers = {false, false, false};
    EXPECT_FALSE(rig.Lookup());
    EXPECT_EQ(rig.Questions().size(), 3u);
    EXPECT_EQ(rig.Notices(), (std::vector<std::string>{"No matches."}));
    EXPECT_FALSE(rig.rip.DiscInfo().AnyTitle());
    EXPECT_EQ(rig.rip.DiscInfo().artist, "");
    EXPECT_EQ(rig.rip.DiscInfo().year, 0);
    EXPECT_EQ(server.http.Requests().size(), 1u); // no record was fetched
}

TEST(CDDBLookup, ARecordThatCannotBeFetchedIsSaid) {
    Server server;
    server.readStatus = 500;
    Rig rig;
    rig.prefs.port = server.http.Port();
    rig.ui.questionAnswers = {true};
    EXPECT_FALSE(rig.Lookup());
    EXPECT_EQ(rig.Notices(), (std::vector<std::string>{"Can't collect disk info from server."}));
    EXPECT_FALSE(rig.rip.DiscInfo().AnyTitle());
}

TEST(CDDBLookup, NothingListeningSaysSoOrOffersTheCDPlayerIniEntries) {
    Rig rig;
    rig.prefs.port = LoopbackCddb::DeadPort();
    rig.rip.DiscInfo().titles[1] = "Old";
    EXPECT_FALSE(rig.Lookup());
    EXPECT_EQ(rig.Notices(), (std::vector<std::string>{"Can't connect to remote server."}));
    EXPECT_TRUE(rig.Questions().empty());
    EXPECT_FALSE(rig.rip.DiscInfo().AnyTitle());

    // The CD player's title file in the program's folder knows the disc twice.
    char id[16];
    std::snprintf(id, sizeof id, "%08x", CCDRip::DiscIdOf(rig.rip.Toc()));
    std::ofstream(rig.dir / "cdplayer.ini") << "[" << id << "]\nartist=Ini Artist\ntitle=Ini Album\n0=One\n1=Two\n"
                                            << "[" << id << "]\nartist=Other\ntitle=Other\n0=Uno\n";
    rig.ui.messages.clear();
    rig.ui.questionAnswers = {false, true};
    ASSERT_TRUE(rig.Lookup());
    EXPECT_EQ(rig.Questions(),
              (std::vector<std::string>{"Can't access online CDDB server,\nuse entry 1 of 2 from cdplayer.ini?",
                                        "Can't access online CDDB server,\nuse entry 2 of 2 from cdplayer.ini?"}));
    EXPECT_TRUE(rig.Notices().empty());
    EXPECT_EQ(rig.rip.DiscInfo().titles[0], "Uno");
    EXPECT_EQ(rig.rip.DiscInfo().artist, "Other");
}

TEST(CDDBLookup, TheProxyGetsCredentialsOnlyWithBothUserAndPassword) {
    Server proxy;
    Rig rig;
    rig.prefs.server = "cddb.example.org"; // only the proxy is reached
    rig.prefs.port = 8880;
    rig.prefs.useProxy = true;
    rig.prefs.proxyServer = "127.0.0.1";
    rig.prefs.proxyPort = proxy.http.Port();
    rig.prefs.proxyUser = "joe";
    rig.prefs.proxyPassword = "pw";
    rig.ui.questionAnswers = {true};
    ASSERT_TRUE(rig.Lookup());
    std::vector<std::string> requests = proxy.http.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const std::string& r : requests) {
        EXPECT_EQ(r.rfind("GET http://cddb.example.org:8880/~cddb/cddb.cgi?cmd=cddb+", 0), 0u) << r;
        EXPECT_NE(r.find("Proxy-Authorization: Basic am9lOnB3\r\n"), std::string::npos) << r; // joe:pw
    }

    // An empty password: no credentials at all.
    rig.prefs.proxyPassword.clear();
    rig.ui.questionAnswers = {true};
    ASSERT_TRUE(rig.Lookup());
    requests = proxy.http.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i = 2; i < 4; ++i) EXPECT_EQ(requests[i].find("Proxy-Authorization"), std::string::npos) << requests[i];
}
