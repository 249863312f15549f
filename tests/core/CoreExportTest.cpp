// What the core keeps for the export: the external encoder list, read when the library opens
// and written back only after a complete start-up, and the recall of a region's snap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "dsp/CParaEQ4B.h"
#include "export/ExtEncoders.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "support/Files.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const fs::path& p) { return LoadBytes(p); }

// Starts a core on the folder (making the library on the first start).
bool Start(CCore& core, ScriptedUiPort& ui, const TempDir& dir) {
    fs::create_directories(dir / "store");
    ui.folderAnswers = {(dir / "store").string()};
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    return core.Start(options) == CCore::StartResult::Running;
}

// The library as the program leaves it after its first run (which writes an empty list).
void MakeLibrary(const TempDir& dir) {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    ASSERT_TRUE(Start(core, ui, dir));
    core.MarkStartupComplete();
    ASSERT_TRUE(core.Stop());
    ASSERT_EQ(Bytes(dir / "Encoders.dat"), std::vector<uint8_t>(8, 0));
}

} // namespace

TEST(CoreExport, EncodersAreReadAtStartAndWrittenOnlyAfterACompleteStartUp) {
    TempDir dir;
    MakeLibrary(dir);
    ExtEncoderList two;
    ASSERT_EQ(two.Add({"/bin", "true", "%s %d", "a", "First"}), ProfileCheck::Ok);
    ASSERT_EQ(two.Add({"/bin", "true", "%s %d -b %k", "b", "Second"}), ProfileCheck::Ok);
    std::string error;
    ASSERT_TRUE(two.Save((dir / "Encoders.dat").string(), error)) << error;
    const std::vector<uint8_t> original = Bytes(dir / "Encoders.dat");
    ASSERT_EQ(original.size(), 8u + 2u * 1096u);
    {
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        ASSERT_TRUE(Start(core, ui, dir));
        ASSERT_EQ(core.Encoders().Count(), 2);
        EXPECT_EQ(core.Encoders().At(1).name, "Second");
        core.Encoders().Delete(0);
        // A start-up that never completed must not replace the user's list.
        ASSERT_TRUE(core.Stop());
    }
    EXPECT_EQ(Bytes(dir / "Encoders.dat"), original);
    {
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        ASSERT_TRUE(Start(core, ui, dir));
        core.MarkStartupComplete();
        core.Encoders().Delete(1);
        core.Encoders().Delete(0);
        ASSERT_TRUE(core.Stop());
        EXPECT_TRUE(ui.messages.empty());
    }
    // Deleting every profile leaves the reserved word and a count of 0.
    EXPECT_EQ(Bytes(dir / "Encoders.dat"), std::vector<uint8_t>(8, 0));
}

TEST(CoreExport, MissingAndDamagedEncoderFiles) {
    TempDir dir;
    MakeLibrary(dir);
    fs::remove(dir / "Encoders.dat");
    {
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        ASSERT_TRUE(Start(core, ui, dir));
        EXPECT_EQ(core.Encoders().Count(), 0);
        EXPECT_TRUE(ui.messages.empty()); // a missing file is an empty list
        ASSERT_TRUE(core.Stop());
    }
    EXPECT_FALSE(fs::exists(dir / "Encoders.dat"));

    // A count of three with one record: the whole record is kept and the user is told.
    ExtEncoderList one;
    ASSERT_EQ(one.Add({"/bin", "true", "%s", "x", "Kept"}), ProfileCheck::Ok);
    std::vector<uint8_t> bytes = one.Serialize();
    bytes[4] = 3;
    std::ofstream(dir / "Encoders.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    ASSERT_TRUE(Start(core, ui, dir));
    ASSERT_EQ(core.Encoders().Count(), 1);
    EXPECT_EQ(core.Encoders().At(0).name, "Kept");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("The external encoder list could not be read completely: ", 0), 0u);
    EXPECT_EQ(ui.messages[0].caption, "Sonquil");
}

TEST(CoreExport, ARegionsSnapIsRecalledAsTheModeChooses) {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = false;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    CRegion region("r", 0, 1000, nullptr, 0, -1, FolderId::User);
    for (float out : {-4.0f, -9.0f}) {
        CParaEQ4B eq;
        eq.SetParam(CParaEQ4B::IdOutput, out);
        auto* snap = new CDSPSnap("s");
        eq.StoreParameters(snap->Params());
        region.Snaps().Append(snap);
    }
    region.Snaps().SetFavourite(1); // -4 dB
    region.Snaps().SetCurrent(2);   // -9 dB
    ASSERT_TRUE(core.ApplyRegionSnap(region, false));
    EXPECT_EQ(core.Equaliser()->Param(CParaEQ4B::IdOutput, 0.0f), -4.0f); // browse mode: the favourite
    ASSERT_TRUE(core.ApplyRegionSnap(region, true));
    EXPECT_EQ(core.Equaliser()->Param(CParaEQ4B::IdOutput, 0.0f), -9.0f); // edit mode: the current one
    region.Snaps().SetCurrent(7);
    EXPECT_FALSE(core.ApplyRegionSnap(region, true)); // no such snap: nothing changes
    EXPECT_EQ(core.Equaliser()->Param(CParaEQ4B::IdOutput, 0.0f), -9.0f);
}
