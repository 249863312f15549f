// The export form's boxes per format, the depth entries' meaning, the file-name rule and the
// names of an item's files.
#include <gtest/gtest.h>

#include "export/ExportSettings.h"
#include "export/ExtEncoders.h"

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

namespace {
ExportFormatEntry Entry(int32_t writer) {
    for (const auto& e : BuildExportFormatList(nullptr))
        if (e.writerCode == writer) return e;
    return {"", 0, writer, WriterExtension(writer), -1};
}
} // namespace

TEST(ExportSettings, BoxesShownPerFormat) {
    FormatBoxes wav = BoxesFor(Entry(kFormatWav), nullptr);
    EXPECT_EQ(wav.depths.size(), 4u);
    EXPECT_EQ(wav.depths[3], "32bit (float -1.0:+1.0)");
    EXPECT_TRUE(wav.channelBox);
    EXPECT_TRUE(wav.bitRates.empty());
    EXPECT_EQ(BoxesFor(Entry(kFormatAiff), nullptr).depths.size(), 3u);
    FormatBoxes raw = BoxesFor(Entry(kFormatRaw), nullptr);
    ASSERT_EQ(raw.depths.size(), 8u);
    EXPECT_EQ(raw.depths[5], "24bit MSB-Moto(3-byte packed)");
    EXPECT_EQ(BoxesFor(Entry(kFormatFlac), nullptr).depths, (std::vector<std::string>{"16bit", "24bit"}));
    FormatBoxes mp3 = BoxesFor(Entry(kFormatMp3), nullptr);
    EXPECT_TRUE(mp3.depths.empty());
    EXPECT_TRUE(mp3.channelBox);
    EXPECT_EQ(mp3.bitRates.size(), 14u);
    EXPECT_EQ(mp3.bitRates.front(), 32);
    EXPECT_EQ(mp3.bitRates.back(), 320);
    EXPECT_EQ(mp3.bitRateStart, 128);
    FormatBoxes aac = BoxesFor(Entry(kFormatAac), nullptr);
    EXPECT_FALSE(aac.channelBox);
    EXPECT_EQ(aac.bitRates.size(), 14u);
    EXPECT_EQ(BoxesFor(Entry(kFormatWma), nullptr).bitRates, (std::vector<int32_t>{48, 64, 80, 96, 128, 160}));

    // External encoders: only a template with %k or %b shows the bit-rate box.
    ExtEncoderList list;
    ASSERT_EQ(list.Add({"/bin", "sh", "%s %d -b %k", "mp3", "LAME"}), ProfileCheck::Ok);
    ASSERT_EQ(list.Add({"/bin", "sh", "%s", "flac", "FLAC"}), ProfileCheck::Ok);
    const auto formats = BuildExportFormatList(&list);
    const ExportFormatEntry& lame = formats[formats.size() - 2];
    const ExportFormatEntry& flac = formats.back();
    EXPECT_EQ(lame.caption, "LAME");
    EXPECT_EQ(lame.encoderIndex, 0);
    EXPECT_EQ(lame.writerCode, kFormatWav);
    EXPECT_EQ(BoxesFor(lame, &list).bitRates.size(), 14u);
    EXPECT_TRUE(BoxesFor(flac, &list).bitRates.empty());
    EXPECT_TRUE(BoxesFor(flac, &list).depths.empty());
    EXPECT_FALSE(BoxesFor(flac, &list).channelBox);
}

TEST(ExportSettings, DepthEntriesToBitsAndEncoding) {
    int32_t bits = 0, enc = 0;
    ASSERT_TRUE(DepthSetting(kFormatWav, 3, bits, enc)); // WAV 32-bit float
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(enc, 1);
    ASSERT_TRUE(DepthSetting(kFormatRaw, 5, bits, enc)); // "24bit MSB-Moto(3-byte packed)"
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(enc, 17);
    ASSERT_TRUE(DepthSetting(kFormatRaw, 3, bits, enc));
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(enc, 20);
    ASSERT_TRUE(DepthSetting(kFormatRaw, 7, bits, enc));
    EXPECT_EQ(enc, 21);
    ASSERT_TRUE(DepthSetting(kFormatRaw, 0, bits, enc));
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(enc, 16);
    ASSERT_TRUE(DepthSetting(kFormatFlac, 1, bits, enc));
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(enc, 0);
    ASSERT_TRUE(DepthSetting(kFormatMp3, -1, bits, enc)); // hidden box: 16 bits
    EXPECT_EQ(bits, 16);
    EXPECT_FALSE(DepthSetting(kFormatAiff, 3, bits, enc)); // AIFF has no float entry
    EXPECT_FALSE(DepthSetting(kFormatFlac, 2, bits, enc));
}

TEST(ExportSettings, NamesAndTheCharacterRule) {
    EXPECT_EQ(SafeFileName("a/b:c"), "a_b_c");
    EXPECT_EQ(SafeFileName("<>:\\\"/|*?ok"), "_________ok");
    EXPECT_EQ(ItemName(true, "Master", 1, 0, "x"), "Master1");
    EXPECT_EQ(ItemName(true, "Master", 1, 1, "x"), "Master2");
    EXPECT_EQ(ItemName(true, "Take", 998, 3, "x"), "Take1001");
    EXPECT_EQ(ItemName(false, "Master", 1, 0, "a/b:c"), "a/b:c");
    ItemFiles wav = ItemFileNames(Entry(kFormatWav), "a/b:c");
    EXPECT_EQ(wav.rendered, "a_b_c.wav");
    EXPECT_TRUE(wav.encoded.empty());
    EXPECT_EQ(ItemFileNames(Entry(kFormatRaw), "x").rendered, "x.raw");
    ExportFormatEntry ext{"LAME", -1, kFormatWav, ".mp3", 0};
    ItemFiles song = ItemFileNames(ext, "Song");
    EXPECT_EQ(song.rendered, "Song.wav");
    EXPECT_EQ(song.encoded, "Song.mp3");
}

TEST(ExportSettings, OutputFolderWithAndWithoutSubfolder) {
    TempDir dir;
    std::string out, message;
    EXPECT_FALSE(PrepareOutputFolder("", "x", out, message));
    EXPECT_EQ(message, "No export path selected.");
    ASSERT_TRUE(PrepareOutputFolder(dir.Str(), "", out, message));
    EXPECT_EQ(out, dir.Str());
    ASSERT_TRUE(PrepareOutputFolder(dir.Str(), "Mix: v2/final?", out, message));
    EXPECT_EQ(out, dir.Str() + "/Mix_ v2_final_");
    EXPECT_TRUE(std::filesystem::is_directory(out));
    ASSERT_TRUE(PrepareOutputFolder(dir.Str() + "/", "Mix: v2/final?", out, message)); // present: kept
    EXPECT_EQ(out, dir.Str() + "/Mix_ v2_final_");
    EXPECT_FALSE(PrepareOutputFolder(dir.Str() + "/missing", "sub", out, message));
    EXPECT_EQ(message, "Can't access selected export path.");
    std::ofstream(dir / "plain") << "x"; // a file where the subfolder would go
    EXPECT_FALSE(PrepareOutputFolder(dir.Str(), "plain", out, message));
    EXPECT_EQ(message, "Can't create selected subfolder.");
}
