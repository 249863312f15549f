// The ID3v2 tag in front of exported MP3 files, and the batch edits of tags and names on
// regions. The 128-byte tag and the genre list are tested in tests/audiofile/Id3TagTest.cpp.
#include <gtest/gtest.h>

#include <cstring>

#include "ExportTestUtil.h"
#include "audiofile/AudioFileWav.h"
#include "export/Id3Tags.h"
#include "export/TagBatch.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

namespace {
std::string Bytes(const uint8_t* t, int off, int len) {
    return std::string(reinterpret_cast<const char*>(t + off), len);
}
} // namespace

TEST(Id3v2, FramesSizesAndEncodings) {
    EXPECT_TRUE(MakeId3v2Tag(TagSet{}).empty());
    TagSet t;
    t.title = "Caf\xC3\xA9";               // Latin-1 fits
    t.artist = "\xE6\x97\xA5\xE6\x9C\xAC"; // needs UTF-16
    t.year = 1999;
    t.track = 7;
    const auto tag = MakeId3v2Tag(t);
    ASSERT_GE(tag.size(), 10u);
    EXPECT_EQ(Bytes(tag.data(), 0, 3), "ID3");
    EXPECT_EQ(tag[3], 3);
    const size_t size = (size_t{tag[6]} << 21) | (size_t{tag[7]} << 14) | (size_t{tag[8]} << 7) | tag[9];
    EXPECT_EQ(size + 10, tag.size());
    // TIT2: size 5 (encoding 0 + four Latin-1 bytes).
    EXPECT_EQ(Bytes(tag.data(), 10, 4), "TIT2");
    EXPECT_EQ(tag[17], 5);
    EXPECT_EQ(tag[20], 0);
    EXPECT_EQ(Bytes(tag.data(), 21, 4), "Caf\xE9");
    // TPE1: UTF-16 with BOM, two characters.
    EXPECT_EQ(Bytes(tag.data(), 25, 4), "TPE1");
    EXPECT_EQ(tag[32], 7);
    EXPECT_EQ(tag[35], 1);
    EXPECT_EQ(tag[36], 0xFF);
    EXPECT_EQ(tag[37], 0xFE);
    EXPECT_EQ(tag[38], 0xE5); // U+65E5 little-endian
    EXPECT_EQ(tag[39], 0x65);
    const std::string s(tag.begin(), tag.end());
    EXPECT_NE(s.find(std::string("TYER\0\0\0\x05\0\0\0"
                                 "1999",
                                 14)),
              std::string::npos);
    EXPECT_NE(s.find(std::string("TRCK\0\0\0\x02\0\0\0"
                                 "7",
                                 11)),
              std::string::npos);
}

namespace {

struct Regions {
    std::vector<CRegion*> sel;
    CRegionList list;
    explicit Regions(int n) {
        for (int i = 0; i < n; ++i) {
            auto* r = new CRegion("r" + std::to_string(i), 0, 100, nullptr, 0, 1 + i, 1);
            r->SetTitle("title" + std::to_string(i));
            r->SetArtist("artist" + std::to_string(i));
            r->SetAlbum("album" + std::to_string(i));
            r->SetGenre("Jazz");
            r->SetYear(1990 + i);
            list.Insert(r);
            sel.push_back(r);
        }
    }
};

TagDialogAnswer Answer(TagChoice c, const std::string& title = "", const std::string& artist = "",
                       const std::string& album = "", const std::string& year = "", const std::string& genre = "") {
    return {c, title, artist, album, year, genre};
}

} // namespace

TEST(EditTags, WriteSkipAndTheOffersOfTheNextDialog) {
    Regions rs(3);
    TagEditSession session;
    std::vector<TagDialogFill> shown;
    std::vector<TagDialogAnswer> answers{Answer(TagChoice::Write, "New", "Band", "LP", "2007", "Rock"),
                                         Answer(TagChoice::Skip),
                                         Answer(TagChoice::Write, std::string(80, 't'), "", "", "abc", "")};
    size_t k = 0;
    EXPECT_TRUE(session.Run(rs.sel, [&](const TagDialogFill& f, const CRegion&) {
        shown.push_back(f);
        return answers[k++];
    }));
    ASSERT_EQ(shown.size(), 3u);
    // First dialog: the region's values, nothing remembered yet, the sorted genres.
    EXPECT_EQ(shown[0].title, "title0");
    EXPECT_EQ(shown[0].year, "1990");
    EXPECT_TRUE(shown[0].titleOffers.empty());
    EXPECT_EQ(shown[0].genreOffers.size(), 148u);
    EXPECT_EQ(shown[0].genreOffers, GenresSorted());
    // Second: the values written in the first step are offered.
    EXPECT_EQ(shown[1].titleOffers, std::vector<std::string>{"New"});
    EXPECT_EQ(shown[1].yearOffers, std::vector<std::string>{"2007"});
    EXPECT_EQ(shown[1].genreOffers.front(), "Rock");
    EXPECT_EQ(shown[1].genreOffers.size(), 149u);
    // Third: "Skip" made region 1's own values the remembered ones.
    EXPECT_EQ(shown[2].titleOffers, std::vector<std::string>{"title1"});
    EXPECT_EQ(rs.sel[0]->GetTitle(), "New");
    EXPECT_EQ(rs.sel[0]->GetYear(), 2007);
    EXPECT_EQ(rs.sel[0]->GetGenre(), "Rock");
    EXPECT_EQ(rs.sel[1]->GetTitle(), "title1");
    // "Write" takes the boxes as they are: cut to 63, empty boxes empty, no year is 0.
    EXPECT_EQ(rs.sel[2]->GetTitle(), std::string(63, 't'));
    EXPECT_EQ(rs.sel[2]->GetArtist(), "");
    EXPECT_EQ(rs.sel[2]->GetYear(), 0);
}

TEST(EditTags, CancelStopsAtOnceAndWriteToAllWritesOnlyNonEmpty) {
    Regions rs(4);
    TagEditSession session;
    int asked = 0;
    EXPECT_FALSE(session.Run(rs.sel, [&](const TagDialogFill&, const CRegion&) {
        ++asked;
        return Answer(TagChoice::Cancel, "X");
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(rs.sel[0]->GetTitle(), "title0");

    asked = 0;
    EXPECT_TRUE(session.Run(rs.sel, [&](const TagDialogFill&, const CRegion&) {
        return ++asked == 1 ? Answer(TagChoice::Skip) : Answer(TagChoice::WriteToAll, "", "", "Best Of", "", "");
    }));
    EXPECT_EQ(asked, 2); // no more dialogs after "Write Non-Empty Tags To Whole Selection"
    EXPECT_EQ(rs.sel[0]->GetAlbum(), "album0");
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(rs.sel[i]->GetAlbum(), "Best Of");
        EXPECT_EQ(rs.sel[i]->GetTitle(), "title" + std::to_string(i));
        EXPECT_EQ(rs.sel[i]->GetYear(), 1990 + i);
        EXPECT_EQ(rs.sel[i]->GetGenre(), "Jazz");
    }
    EXPECT_EQ(YearBoxText(0), "");
    EXPECT_EQ(YearBoxText(12), "  12");
    EXPECT_EQ(YearBoxText(10000), "");
}

TEST(RenameRegions, RenamesReplacesInTheListRefusesLongNamesAndCancels) {
    Regions rs(3);
    std::vector<std::string> notices;
    std::vector<RenameAnswer> answers{{RenameChoice::Rename, "zzz last"},
                                      {RenameChoice::Rename, std::string(256, 'n')},
                                      {RenameChoice::Rename, "aaa first"}};
    size_t k = 0;
    EXPECT_EQ(RenameRegions(
                  rs.list, rs.sel, [&](const CRegion&) { return answers[k++]; },
                  [&](const std::string& m) { notices.push_back(m); }),
              2);
    EXPECT_EQ(notices, std::vector<std::string>{"Error: Max name size is 255 chars."});
    EXPECT_EQ(rs.sel[1]->GetName(), "r1");
    ASSERT_EQ(rs.list.Count(), 3);
    EXPECT_EQ(rs.list.At(0)->GetName(), "aaa first"); // placed again by the new name
    EXPECT_EQ(rs.list.At(2)->GetName(), "zzz last");

    int asked = 0;
    EXPECT_EQ(RenameRegions(
                  rs.list, rs.sel,
                  [&](const CRegion& r) {
                      ++asked;
                      return asked == 1 ? RenameAnswer{RenameChoice::Skip, "ignored"}
                                        : RenameAnswer{RenameChoice::Cancel, "x"};
                  },
                  [&](const std::string&) {}),
              0);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(rs.sel[0]->GetName(), "zzz last");
    // Exactly 255 bytes is allowed.
    EXPECT_EQ(RenameRegions(
                  rs.list, {rs.sel[1]},
                  [&](const CRegion&) {
                      return RenameAnswer{RenameChoice::Rename, std::string(255, 'm')};
                  },
                  [&](const std::string&) {}),
              1);
    EXPECT_EQ(rs.sel[1]->GetName().size(), 255u);
}

TEST(TagEditsOfOneRegion, OnlyTheGivenFieldsChangeAndRegionsAreFoundById) {
    Regions rs(2);
    auto* folder = new CRegion("f", 0, 0, nullptr, RegionFolder, 2, 1); // same id, but a folder
    rs.list.Insert(folder);
    CRegion* r = FindRegionById(rs.list, 2);
    ASSERT_EQ(r, rs.sel[1]);
    EXPECT_EQ(FindRegionById(rs.list, 77), nullptr);
    const std::string album = "New", genre = std::string(40, 'g');
    const int32_t track = 4;
    TagEdits e;
    e.album = &album;
    e.genre = &genre;
    e.track = &track;
    ApplyTagEdits(*r, e);
    EXPECT_EQ(TagLine(*r), "title1|artist1|New|1991|" + std::string(31, 'g') + "|4");
    EXPECT_EQ(TagLine(*rs.sel[0]), "title0|artist0|album0|1990|Jazz|0");
}
