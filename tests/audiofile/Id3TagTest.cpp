// The 128-byte ID3 tag and the genre list it indexes: the bytes export writes and the
// fields import reads back from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/CFile.h"
#include "audiofile/Id3Tag.h"
#include "support/TempDir.h"

namespace {
std::string Bytes(const uint8_t* t, int off, int len) {
    return std::string(reinterpret_cast<const char*>(t + off), len);
}
} // namespace

TEST(GenreList, IndexNamesAndSortedOffer) {
    EXPECT_STREQ(GenreName(0), "Blues");
    EXPECT_STREQ(GenreName(17), "Rock");
    EXPECT_STREQ(GenreName(141), "Christian Rock ");
    EXPECT_STREQ(GenreName(147), "Synthpop");
    EXPECT_STREQ(GenreName(148), "");
    EXPECT_EQ(GenreIndex("rock"), 17);
    EXPECT_EQ(GenreIndex("ROCK"), 17);
    EXPECT_EQ(GenreIndex("Rock "), 255);           // a trailing space the list does not hold
    EXPECT_EQ(GenreIndex("christian rock "), 141); // the one it does
    EXPECT_EQ(GenreIndex("Christian Rock"), 255);
    EXPECT_EQ(GenreIndex(""), 255);
    const auto sorted = GenresSorted();
    ASSERT_EQ(sorted.size(), 148u);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    EXPECT_EQ(sorted.front(), "A capella");
    EXPECT_NE(std::find(sorted.begin(), sorted.end(), "Christian Rock "), sorted.end());
}

TEST(Id3v1, FieldsYearTrackAndGenreAsLaidOut) {
    TagSet t;
    t.title = "A title that is far longer than thirty bytes";
    t.artist = "Artist";
    t.album = "";
    t.comment = "Notes on this region, long enough to run over";
    t.genre = "rock";
    t.year = 2007;
    t.track = 12;
    uint8_t b[128];
    BuildId3v1(t, b);
    EXPECT_EQ(Bytes(b, 0, 3), "TAG");
    EXPECT_EQ(Bytes(b, 3, 30), "A title that is far longer tha");
    EXPECT_EQ(Bytes(b, 33, 30), std::string("Artist") + std::string(24, '\0'));
    EXPECT_EQ(Bytes(b, 63, 30), std::string(30, '\0'));
    EXPECT_EQ(Bytes(b, 93, 4), "2007");
    EXPECT_EQ(Bytes(b, 97, 28), "Notes on this region, long e");
    EXPECT_EQ(b[125], 0);
    EXPECT_EQ(b[126], 12);
    EXPECT_EQ(b[127], 17);

    // Track 0 or 100 leaves the comment's last two bytes as comment text; year 0 is "0000".
    for (int track : {0, 100}) {
        t.track = track;
        t.year = 0;
        t.genre = "Rock ";
        BuildId3v1(t, b);
        EXPECT_EQ(Bytes(b, 97, 30), "Notes on this region, long eno");
        EXPECT_EQ(Bytes(b, 93, 4), "0000");
        EXPECT_EQ(b[127], 255);
    }
    // A cut never splits a character: "é" is two bytes and would straddle byte 30.
    t.title = std::string(29, 'a') + "\xC3\xA9";
    BuildId3v1(t, b);
    EXPECT_EQ(Bytes(b, 3, 30), std::string(29, 'a') + '\0');

    // Years outside four digits: the last four digits, nothing for a negative year.
    t.year = 12345;
    BuildId3v1(t, b);
    EXPECT_EQ(Bytes(b, 93, 4), "2345");
    t.year = -5;
    BuildId3v1(t, b);
    EXPECT_EQ(Bytes(b, 93, 4), "0000");
}

TEST(Id3v1, WhatIsWrittenReadsBackFieldByField) {
    TagSet t;
    t.title = "Caf\xC3\xA9";
    t.artist = "Artist";
    t.album = "Album";
    t.comment = "Notes";
    t.genre = "christian rock ";
    t.year = 1999;
    t.track = 7;
    uint8_t b[kId3Bytes];
    BuildId3v1(t, b);
    TagSet u;
    ASSERT_TRUE(ParseId3v1(b, u));
    EXPECT_EQ(u.title, t.title);
    EXPECT_EQ(u.artist, t.artist);
    EXPECT_EQ(u.album, t.album);
    EXPECT_EQ(u.comment, t.comment);
    EXPECT_EQ(u.genre, "Christian Rock "); // the list's spelling
    EXPECT_EQ(u.year, 1999);
    EXPECT_EQ(u.track, 7);
    b[0] = 'X';
    EXPECT_FALSE(ParseId3v1(b, u));
}

TEST(Id3v1, AppendsAtTheEndAndRestoresThePosition) {
    TempDir dir;
    AudioFileWav f(dir.Str(), "x.bin");
    ASSERT_TRUE(f.OpenWrite(2, 44100, 16, 0));
    std::vector<float> pcm(200, 0.1f);
    f.WriteFloat(pcm.data(), 100);
    ASSERT_EQ(f.Seek(10), 10);
    TagSet t;
    t.title = "T";
    ASSERT_TRUE(WriteId3v1(f, t));
    EXPECT_EQ(f.Seek(0, CFile::FromCurrent), 10);
    const int64_t size = f.FileSize();
    ASSERT_TRUE(WriteId3v1(f, t)); // a file that ends in a tag gets a second one
    EXPECT_EQ(f.FileSize(), size + 128);
    f.Close();
    const auto b = LoadBytes(dir / "x.bin");
    EXPECT_EQ(Bytes(b.data(), static_cast<int>(b.size()) - 128, 4), std::string("TAGT"));
    EXPECT_EQ(Bytes(b.data(), static_cast<int>(b.size()) - 256, 4), std::string("TAGT"));
    EXPECT_FALSE(WriteId3v1(f, t)); // a closed file takes no tag, and says so
}
