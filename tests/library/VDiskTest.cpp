#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/Clock.h"
#include "library/CSample.h"
#include "library/CVDisk.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {
// Makes a VDisk by hand at location with the given serial text.
void MakeVDisk(const fs::path& location, const std::string& serialText) {
    fs::create_directories(location / "VDisk" / "System");
    std::ofstream(location / "VDisk" / "System" / "Serial") << serialText;
}

const char* const kCreateInfo =
    "Please select a file folder for the application to\nstore audio files.\n\nThe application will create a new "
    "folder named\nVDisk at the location you'll select.\n\nNever modify VDisk contents with other tools.";
} // namespace

TEST(VDiskTest, CreateMakesAReadOnlySerialAndRetriesOnFailure) {
    TempDir dir;
    fs::create_directories(dir / "taken" / "VDisk");
    fs::create_directories(dir / "fresh");
    CVDisk table;
    ScriptedUiPort ui;
    ui.folderAnswers = {(dir / "taken").string(), (dir / "nowhere").string(), (dir / "fresh").string() + "/"};
    ASSERT_TRUE(table.Create(ui));

    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, kCreateInfo);
    EXPECT_EQ(ui.messages[0].caption, "Sonquil");
    for (int i : {1, 2}) {
        EXPECT_EQ(ui.messages[i].text, "Can't create VDisk at selected location.");
        EXPECT_EQ(ui.messages[i].caption, "Sonquil");
    }
    EXPECT_FALSE(fs::exists(dir / "taken" / "VDisk" / "System")); // the existing folder is left alone

    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.At(0).location, (dir / "fresh").string());
    int32_t serial = table.CurrentSerial();
    EXPECT_GE(serial, 0);
    EXPECT_LT(serial, 1000000);
    fs::path serialFile = dir / "fresh" / "VDisk" / "System" / "Serial";
    std::ifstream in(serialFile);
    std::string text;
    in >> text;
    EXPECT_EQ(text, std::to_string(serial));
    EXPECT_EQ(fs::status(serialFile).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_TRUE(CVDisk::Check((dir / "fresh").string(), serial));
    EXPECT_FALSE(CVDisk::Check((dir / "fresh").string(), serial + 1));

    std::string folder;
    ASSERT_TRUE(table.FolderOf(serial, folder));
    EXPECT_EQ(folder, (dir / "fresh").string() + "/VDisk");
    EXPECT_FALSE(table.FolderOf(serial + 1, folder));
    EXPECT_EQ(folder, "");

    ScriptedUiPort cancel;
    CVDisk other;
    EXPECT_FALSE(other.Create(cancel));
    EXPECT_EQ(other.Count(), 0);
}

TEST(VDiskTest, LocateAcceptsParentOrVDiskFolder) {
    TempDir dir;
    MakeVDisk(dir / "moved", "123456\n");
    const std::string parent = (dir / "moved").string();
    for (const std::string& answer : {parent, parent + "/", parent + "/VDisk", parent + "/VDisk/"}) {
        CVDisk table;
        ScriptedUiPort ui;
        ui.folderAnswers = {answer};
        ASSERT_TRUE(table.Locate(ui)) << answer;
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(table.At(0).serial, 123456);
        EXPECT_EQ(table.At(0).location, parent) << answer;
    }

    fs::create_directories(dir / "plain");
    MakeVDisk(dir / "emptyserial", "");
    CVDisk table;
    ScriptedUiPort ui;
    ui.folderAnswers = {(dir / "plain").string(), (dir / "emptyserial").string()};
    EXPECT_FALSE(table.Locate(ui));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Can't find VDisk.");
    EXPECT_EQ(ui.messages[0].caption, "");
    EXPECT_EQ(table.Count(), 0);
}

// A first start whose chosen place already holds a VDisk (the database was lost) takes that
// VDisk as it is, serial and files untouched, instead of refusing the place for ever.
TEST(VDiskTest, CreateTakesAVDiskThatIsAlreadyThere) {
    TempDir dir;
    MakeVDisk(dir / "old", "654321");
    std::ofstream(dir / "old" / "VDisk" / "261209120000", std::ios::binary) << std::string(5000, 't');
    for (const std::string& answer : {(dir / "old").string(), (dir / "old" / "VDisk").string()}) {
        CVDisk table;
        ScriptedUiPort ui;
        ui.folderAnswers = {answer};
        ASSERT_TRUE(table.Create(ui)) << answer;
        ASSERT_EQ(table.Count(), 1);
        EXPECT_EQ(table.At(0).serial, 654321);
        EXPECT_EQ(table.At(0).location, (dir / "old").string());
        ASSERT_EQ(ui.messages.size(), 1u) << "only the explanation before the question";
    }
    EXPECT_EQ(fs::file_size(dir / "old" / "VDisk" / "261209120000"), 5000u);
}

TEST(VDiskTest, CheckOnLoadRelocatesAndOldSamplesBecomeLost) {
    TempDir dir;
    MakeVDisk(dir / "home", "42");
    MakeVDisk(dir / "elsewhere", "77");
    CVDisk& table = CVDisk::Table();
    table.Clear();

    ScriptedUiPort none;
    EXPECT_FALSE(table.CheckOnLoad(none));
    ASSERT_EQ(none.messages.size(), 1u);
    EXPECT_EQ(none.messages[0].text, "No VDisk info available, database corrupted.");
    EXPECT_EQ(none.messages[0].caption, "Sonquil");

    ASSERT_TRUE(table.Add(42, (dir / "home").string()));
    ScriptedUiPort quiet;
    EXPECT_TRUE(table.CheckOnLoad(quiet));
    EXPECT_TRUE(quiet.messages.empty());

    table.Clear();
    ASSERT_TRUE(table.Add(42, (dir / "gone").string()));
    CSample stored("240101000000", "", 1, 42, 44100, 2, 16, 10, 0, 0, 1);
    ScriptedUiPort ui;
    ui.folderAnswers = {(dir / "elsewhere").string()};
    ASSERT_TRUE(table.CheckOnLoad(ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "VDisk not found.\nPath was:" + (dir / "gone").string() +
                                       "\nPlease enter the new path if the VDisk was moved.");
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(table.CurrentSerial(), 77);
    EXPECT_EQ(stored.FolderPath(), "");

    ScriptedUiPort cancel;
    table.Clear();
    ASSERT_TRUE(table.Add(42, (dir / "gone").string()));
    EXPECT_FALSE(table.CheckOnLoad(cancel));
    table.Clear();
}

TEST(VDiskTest, TableLimits) {
    CVDisk table;
    EXPECT_FALSE(table.Add(1, std::string(512, 'p')));
    EXPECT_TRUE(table.Add(1, std::string(511, 'p')));
    for (int i = 1; i < CVDisk::kMaxEntries; ++i) ASSERT_TRUE(table.Add(i + 1, "/x"));
    EXPECT_FALSE(table.Add(99, "/x"));
    EXPECT_EQ(table.Count(), 64);
    EXPECT_EQ(table.At(64).location, "");
}

TEST(VDiskTest, SerialTextParsing) {
    int32_t v = -1;
    EXPECT_TRUE(CVDisk::ParseSerialNumber("  \n123456 junk", v));
    EXPECT_EQ(v, 123456);
    EXPECT_TRUE(CVDisk::ParseSerialNumber("-5", v));
    EXPECT_EQ(v, -5);
    EXPECT_FALSE(CVDisk::ParseSerialNumber("", v));
    EXPECT_FALSE(CVDisk::ParseSerialNumber("abc", v));
    EXPECT_FALSE(CVDisk::ParseSerialNumber("99999999999999999999", v));

    EXPECT_TRUE(CVDisk::ParseSerialWord("  987x 1", v));
    EXPECT_EQ(v, 987);
    EXPECT_TRUE(CVDisk::ParseSerialWord("abc", v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(CVDisk::ParseSerialWord(" \n ", v));
    EXPECT_FALSE(CVDisk::ParseSerialWord("99999999999999999999", v));
}

TEST(VDiskTest, NewFileNamesSkipToTheNextFreeSecond) {
    TempDir dir;
    Clock::SetFixed({2024, 12, 31, 23, 59, 58});
    std::string name;
    ASSERT_TRUE(CVDisk::NewFileName(dir.Str(), name));
    EXPECT_EQ(name, "241231235958");
    std::ofstream(dir / name) << "a";
    ASSERT_TRUE(CVDisk::NewFileName(dir.Str(), name));
    EXPECT_EQ(name, "241231235959");
    std::ofstream(dir / name) << "b";
    fs::create_directory(dir / "250101000000"); // a folder takes the name as well
    ASSERT_TRUE(CVDisk::NewFileName(dir.Str(), name));
    EXPECT_EQ(name, "250101000001");
    Clock::ClearFixed();
}
