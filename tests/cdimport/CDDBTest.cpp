// The CDDB settings file byte for byte, the e-mail check, and the readers of what a server or a
// "cdplayer.ini" gives back, with the record rules of the lookup (continuation lines, an empty
// title that still counts, the year and the genre).
#include <gtest/gtest.h>

#include <fstream>

#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CDDBRecord.h"
#include "support/Files.h"
#include "support/TempDir.h"

TEST(CDDBPrefs, FileHoldsEveryFieldAtItsOffsetWithThePasswordNegated) {
    CCDDBPrefs p;
    p.server = "cddb.example.net";
    p.queryScript = "/cgi/cddb";
    p.email = "me@example.net";
    p.proxyServer = "proxy.lan";
    p.proxyUser = "joe";
    p.proxyPassword = std::string("\x01"
                                  "A",
                                  2);
    p.port = 8080;
    p.proxyPort = 3128;
    p.useProxy = true;
    const std::vector<uint8_t> b = p.ToBytes();
    ASSERT_EQ(b.size(), 781u);
    auto text = [&](size_t at) { return std::string(reinterpret_cast<const char*>(&b[at])); };
    EXPECT_EQ(b[0] | b[1] | b[2] | b[3], 0); // version 0
    EXPECT_EQ(text(4), "cddb.example.net");
    EXPECT_EQ(text(132), "/cgi/cddb");
    EXPECT_EQ(text(260), "me@example.net");
    EXPECT_EQ(text(388), "proxy.lan");
    EXPECT_EQ(text(516), "joe");
    // Byte 1 is stored as 255, "A" (65) as 191, the NUL padding stays 0.
    EXPECT_EQ(b[644], 255);
    EXPECT_EQ(b[645], 191);
    EXPECT_EQ(b[646], 0);
    EXPECT_EQ(b[771], 0);
    EXPECT_EQ(b[772] | (b[773] << 8), 8080);
    EXPECT_EQ(b[776] | (b[777] << 8), 3128);
    EXPECT_EQ(b[780], 1);

    TempDir dir;
    const std::string path = (dir / "CDDBPrefs.dat").string();
    ASSERT_TRUE(p.Save(path));
    EXPECT_EQ(LoadBytes(path), b);
    CCDDBPrefs q;
    ASSERT_TRUE(q.Load(path));
    EXPECT_EQ(q.proxyPassword, p.proxyPassword);
    EXPECT_EQ(q.server, p.server);
    EXPECT_EQ(q.queryScript, p.queryScript);
    EXPECT_EQ(q.email, p.email);
    EXPECT_EQ(q.proxyServer, p.proxyServer);
    EXPECT_EQ(q.proxyUser, p.proxyUser);
    EXPECT_EQ(q.port, 8080);
    EXPECT_EQ(q.proxyPort, 3128);
    EXPECT_TRUE(q.useProxy);
}

TEST(CDDBPrefs, MissingShortOrUnterminatedFilesAreReadSafely) {
    TempDir dir;
    CCDDBPrefs p;
    p.server = "changed";
    // No file: the defaults, which pass the e-mail check.
    EXPECT_TRUE(p.Load((dir / "none.dat").string()));
    EXPECT_EQ(p.server, CCDDBPrefs::kDefaultServer);
    EXPECT_EQ(p.queryScript, "/~cddb/cddb.cgi");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.proxyPort, 0);
    EXPECT_FALSE(p.useProxy);
    EXPECT_TRUE(IsValidCDDBEmail(p.email));

    // A short file keeps the defaults.
    std::ofstream(dir / "short.dat", std::ios::binary) << std::string(780, 'x');
    p.server = "changed";
    EXPECT_FALSE(p.Load((dir / "short.dat").string()));
    EXPECT_EQ(p.server, CCDDBPrefs::kDefaultServer);

    // Fields without a NUL end at their field: 127 bytes each, never the next field.
    std::vector<uint8_t> b(781, 'x');
    CCDDBPrefs q;
    ASSERT_TRUE(q.FromBytes(b.data(), b.size()));
    EXPECT_EQ(q.server, std::string(127, 'x'));
    EXPECT_EQ(q.proxyUser, std::string(127, 'x'));
    EXPECT_EQ(q.proxyPassword.size(), 127u);

    // Texts too long for their field are cut when written.
    q.Reset();
    q.server = std::string(300, 's');
    EXPECT_EQ(q.ToBytes().size(), 781u);
    CCDDBPrefs r;
    ASSERT_TRUE(r.FromBytes(q.ToBytes().data(), 781));
    EXPECT_EQ(r.server, std::string(127, 's'));
}

TEST(CDDBPrefs, EmailCheckAndProxyCredentialsRule) {
    EXPECT_FALSE(IsValidCDDBEmail(""));
    EXPECT_FALSE(IsValidCDDBEmail("user.example.org"));
    EXPECT_FALSE(IsValidCDDBEmail("user@localhost"));       // no "." after the "@"
    EXPECT_FALSE(IsValidCDDBEmail("first.last@localhost")); // the "." before it does not count
    EXPECT_TRUE(IsValidCDDBEmail("user@example.org"));
    EXPECT_FALSE(IsValidCDDBEmail("a@b@example.org"));

    CCDDBPrefs p;
    p.proxyUser = "joe";
    p.proxyPassword = "pw";
    EXPECT_FALSE(p.SendsProxyCredentials()); // the proxy is not in use
    p.useProxy = true;
    EXPECT_TRUE(p.SendsProxyCredentials());
    p.proxyPassword.clear();
    EXPECT_FALSE(p.SendsProxyCredentials());
    p.proxyPassword = "pw";
    p.proxyUser.clear();
    EXPECT_FALSE(p.SendsProxyCredentials());
}

TEST(CDDBRecord, TitlesFollowTheLineRules) {
    const std::string record = "# xmcd\r\n"
                               "DISCID=1f00e203\r\n"
                               "DTITLE=The Band / First Album\r\n"
                               "DYEAR= 1987\r\n"
                               "DGENRE=Progressive Rock\r\n"
                               "TTITLE0=\r\n"
                               "TTITLE1=Second\r\n"
                               "TTITLE2=Third\r\n"
                               "TTITLE3=Fourth, first line\r\n"
                               "TTITLE3= and its continuation\r\n"
                               "TTITLE4=Fifth\n"
                               "EXTD=\r\n"
                               ".\r\n"
                               "TTITLE5=after the end\r\n";
    CDDiscInfo info;
    ASSERT_TRUE(ParseCDDBRecord(record, info));
    // The empty TTITLE0 leaves track 1 untitled but counts it.
    EXPECT_EQ(info.titles[0], "");
    EXPECT_EQ(info.titles[1], "Second");
    EXPECT_EQ(info.titles[2], "Third");
    // A title over two lines keeps its first line only.
    EXPECT_EQ(info.titles[3], "Fourth, first line");
    EXPECT_EQ(info.titles[4], "Fifth");
    EXPECT_EQ(info.titles[5], ""); // nothing after the "." line
    EXPECT_EQ(info.year, 1987);
    EXPECT_EQ(info.genre, "Progressive Rock");
}

TEST(CDDBRecord, LongLinesNumbersAndFieldSizesAreBounded) {
    CDDiscInfo info;
    // A line of more than 80 characters goes on as the next line: here the 81st character starts
    // a TTITLE line of its own.
    const std::string record = "TTITLE0=" + std::string(72, 'L') +
                               "TTITLE1=Split\nTTITLE99=beyond\nTTITLE-1=negative\n" +
                               "TTITLE2=" + std::string(70, 'x') + "\nDGENRE=" + std::string(40, 'g') +
                               "\nDYEAR=\nDYEAR=abc\n";
    ASSERT_TRUE(ParseCDDBRecord(record, info));
    EXPECT_EQ(info.titles[0], std::string(63, 'L')); // 63 characters a title
    EXPECT_EQ(info.titles[1], "Split");
    EXPECT_EQ(info.titles[2], std::string(63, 'x'));
    EXPECT_EQ(info.titles[3], "");
    EXPECT_EQ(info.genre, std::string(31, 'g')); // 31 of the genre
    EXPECT_EQ(info.year, 0);

    // Nothing but empty titles: none found.
    CDDiscInfo none;
    EXPECT_FALSE(ParseCDDBRecord("TTITLE0=\nTTITLE1=\n", none));
    EXPECT_FALSE(ParseCDDBRecord("", none));
}

TEST(CDDBRecord, AnswersAndMatchTitles) {
    std::string body, record;
    int status = 0;
    EXPECT_TRUE(HttpAnswerBody("HTTP/1.0 200 OK\r\nA: b\r\n\r\n210 rock 1 entry\r\nTTITLE0=x\r\n.\r\n", body, status));
    EXPECT_EQ(status, 200);
    ASSERT_TRUE(CDDBReadAnswerRecord(body, record));
    EXPECT_EQ(record, "TTITLE0=x\r\n.\r\n");
    EXPECT_FALSE(HttpAnswerBody("HTTP/1.1 404 Not Found\r\n\r\nno", body, status));
    EXPECT_EQ(status, 404);
    EXPECT_FALSE(HttpAnswerBody("HTTP/1.0 200 OK\r\nno end of headers", body, status));
    EXPECT_FALSE(HttpAnswerBody("garbage", body, status));
    EXPECT_FALSE(CDDBReadAnswerRecord("401 rock 1 No such CD entry in database.\r\n", record));

    EXPECT_EQ(AlbumTitleOfMatch({"rock", "1", "The Band", "The Band / First Album"}), "First Album");
    EXPECT_EQ(AlbumTitleOfMatch({"rock", "1", "The Band", "First Album"}), "First Album");
    EXPECT_EQ(AlbumTitleOfMatch({"rock", "1", "Bach", "Bachianas"}), "Bachianas");
}

TEST(CDDBRecord, CDPlayerIniEntriesForTheDisc) {
    const std::string ini = "[Other]\nartist=Nobody\n"
                            "[19002904]\nEntryType=1\nartist=Disc Image Band\ntitle=Made By Sox\nnumtracks=3\n"
                            "0=Concert A\n2=Chord\n"
                            "[0x19002904]\r\nartist=Second Entry\r\ntitle=Again\r\n1=Only Two\r\n"
                            "[19002905]\nartist=Wrong Disc\n";
    const std::vector<CDPlayerIniEntry> e = ParseCDPlayerIni(ini, 0x19002904);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].artist, "Disc Image Band");
    EXPECT_EQ(e[0].title, "Made By Sox");
    ASSERT_EQ(e[0].tracks.size(), 3u);
    EXPECT_EQ(e[1].artist, "Second Entry");

    CDDiscInfo info;
    ASSERT_TRUE(ParseCDDBRecord(CDPlayerIniRecord(e[0]), info));
    EXPECT_EQ(info.titles[0], "Concert A");
    EXPECT_EQ(info.titles[1], "");
    EXPECT_EQ(info.titles[2], "Chord");
    const CDDBMatch m = CDPlayerIniMatch(e[0], 0x19002904);
    EXPECT_EQ(m.category, "cdplayerini");
    EXPECT_EQ(m.discId, "19002904");
    EXPECT_TRUE(ParseCDPlayerIni("[19002904]\n99=x\n100=y\n12345678901=z\n", 0x19002904).size() == 1);
}
