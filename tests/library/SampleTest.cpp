#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/TempDir.h"

TEST(SampleTest, ByteSizeAndDataRate) {
    CSample wav("a.wav", "/x", 0, 1, 44100, 2, 24, 44100, 0, 999, 1);
    EXPECT_EQ(wav.ByteSize(), 44100 * 2 * 3);
    EXPECT_EQ(wav.DataRate(), 2117); // 2116.8 + 0.5
    CSample mono8("m.raw", "/x", 0, 1, 8000, 1, 8, 16000, 9, 0, 2);
    EXPECT_EQ(mono8.DataRate(), 64);
    for (int code : {2, 3, 6}) {
        CSample packed("p", "/x", 0, 1, 44100, 2, 16, 441000, code, 160000, 3);
        EXPECT_EQ(packed.ByteSize(), 160000);
        EXPECT_EQ(packed.DataRate(), 128);
    }
    // Lengths above 4 GiB of PCM need 64-bit arithmetic.
    CSample huge("h.wav", "/x", 0, 1, 48000, 2, 32, 1LL << 31, 0, 0, 4);
    EXPECT_EQ(huge.ByteSize(), (1LL << 31) * 8);
    // A damaged record's fields whose product passes 64 bits give the largest size, not a
    // wrapped-around one.
    CSample damaged("d.wav", "/x", 0, 1, 48000, 2, 32, 1LL << 61, 0, 0, 4);
    EXPECT_EQ(damaged.ByteSize(), INT64_MAX / 8);
    EXPECT_GT(damaged.DataRate(), 0);
    CSample none("n.wav", "/x", 0, 1, 0, 2, 16, 100, 0, 0, 5);
    EXPECT_EQ(none.DataRate(), 0);
    CSample empty("e.wav", "/x", 0, 1, 44100, 2, 16, 0, 0, 0, 6);
    EXPECT_EQ(empty.DataRate(), 0);
}

TEST(SampleTest, PeakFileNames) {
    std::string name = "unchanged";
    CSample linked("a.wav", "/music", 0, 1, 44100, 2, 16, 10, 0, 0, 12);
    ASSERT_TRUE(linked.PeakFileName(name));
    EXPECT_EQ(name, "_12a.wav_");
    CSample stored("x", "", 1, 1, 44100, 2, 16, 10, 0, 0, 13);
    ASSERT_TRUE(stored.PeakFileName(name));
    EXPECT_EQ(name, "_x");

    // Longest names that still fit 255 characters, and one more that does not.
    CSample storedMax(std::string(254, 's'), "", 1, 1, 44100, 2, 16, 10, 0, 0, 14);
    ASSERT_TRUE(storedMax.PeakFileName(name));
    EXPECT_EQ(name.size(), 255u);
    CSample storedOver(std::string(255, 's'), "", 1, 1, 44100, 2, 16, 10, 0, 0, 15);
    name = "unchanged";
    EXPECT_FALSE(storedOver.PeakFileName(name));
    EXPECT_EQ(name, "unchanged");
    CSample linkedMax(std::string(251, 'l'), "/m", 0, 1, 44100, 2, 16, 10, 0, 0, 12);
    ASSERT_TRUE(linkedMax.PeakFileName(name));
    EXPECT_EQ(name.size(), 255u);
    CSample linkedOver(std::string(251, 'l'), "/m", 0, 1, 44100, 2, 16, 10, 0, 0, 123);
    EXPECT_FALSE(linkedOver.PeakFileName(name));
}

TEST(SampleTest, FolderPathComesFromTheVDiskTable) {
    TempDir dir;
    CVDisk& table = CVDisk::Table();
    table.Clear();
    ASSERT_TRUE(table.Add(4711, dir.Str()));
    std::filesystem::create_directories(dir / "VDisk");
    std::ofstream(dir / "VDisk" / "250101120000") << "x";

    CSample stored("250101120000", "", 1, 4711, 44100, 2, 16, 10, 0, 0, 1);
    EXPECT_EQ(stored.FolderPath(), dir.Str() + "/VDisk");
    EXPECT_EQ(stored.PeakFileFolder(), dir.Str() + "/VDisk");
    EXPECT_TRUE(stored.FilePresent());

    CSample otherDisk("250101120000", "", 1, 99, 44100, 2, 16, 10, 0, 0, 2);
    EXPECT_EQ(otherDisk.FolderPath(), "");
    EXPECT_FALSE(otherDisk.FilePresent());

    CSample linked("250101120000", (dir / "VDisk").string(), 0, 4711, 44100, 2, 16, 10, 0, 0, 3);
    EXPECT_TRUE(linked.FilePresent());
    CSample missing("gone.wav", dir.Str(), 0, 4711, 44100, 2, 16, 10, 0, 0, 4);
    EXPECT_FALSE(missing.FilePresent());
    std::filesystem::create_directories(dir / "adir");
    CSample folderNamed("adir", dir.Str(), 0, 4711, 44100, 2, 16, 10, 0, 0, 5);
    EXPECT_FALSE(folderNamed.FilePresent());
    table.Clear();
}

TEST(SampleTest, SampleListFindsById) {
    CSampleList list;
    CSample* a = new CSample("a", "/x", 0, 1, 44100, 2, 16, 10, 0, 0, 7);
    CSample* b = new CSample("b", "/x", 0, 1, 44100, 2, 16, 10, 0, 0, 8);
    CSample* dup = new CSample("c", "/x", 0, 1, 44100, 2, 16, 10, 0, 0, 7);
    list.Add(a);
    list.Add(b);
    list.Add(dup);
    list.List().Reset();
    list.List().Advance();
    EXPECT_EQ(list.FindById(7), a);
    EXPECT_EQ(list.List().Current(), b); // the caller's cursor is untouched
    EXPECT_EQ(list.FindById(9), nullptr);
    EXPECT_TRUE(list.Delete(a));
    EXPECT_EQ(list.FindById(7), dup);
    EXPECT_EQ(list.Count(), 2);
}
