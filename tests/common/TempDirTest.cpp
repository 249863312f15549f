// The test folder helper: a failure to make the folder fails the test and removes nothing,
// and a made folder goes with everything in it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(TempDir, MakesAFreshFolderAndRemovesOnlyThatOne) {
    TempDir outer;
    std::ofstream(outer / "keep.txt") << "mine";
    fs::path made;
    {
        TempDir a(outer.Path());
        TempDir b(outer.Path());
        made = a.Path();
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_EQ(a.Path().parent_path(), outer.Path());
        ASSERT_TRUE(fs::is_directory(a.Path()));
        EXPECT_TRUE(fs::is_empty(a.Path()));
        fs::create_directories(a / "deep" / "er");
        std::ofstream(a / "deep" / "er" / "f") << "x";
    }
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(fs::exists(outer / "keep.txt"));
}

TEST(TempDir, AFolderThatCannotBeMadeFailsAndLeavesItsParentAlone) {
    TempDir outer;
    std::ofstream(outer / "file") << "not a folder";
    std::ofstream(outer / "keep.txt") << "mine";
    // Under a plain file and under a missing folder mkdtemp fails.
    EXPECT_THROW(TempDir(outer / "file"), std::runtime_error);
    EXPECT_THROW(TempDir(outer / "missing"), std::runtime_error);
    EXPECT_TRUE(fs::exists(outer / "keep.txt"));
    EXPECT_TRUE(fs::is_regular_file(outer / "file"));
    EXPECT_FALSE(fs::exists(outer / "missing"));
    // The message names the place, for the test's failure report.
    try {
        TempDir t(outer / "missing");
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find((outer / "missing").string()), std::string::npos) << e.what();
    }
}

TEST(TempDir, TheSystemFolderIsNeverTakenAsTheTestFolder) {
    // A temporary folder where nothing can be made (even for root): the old fallback used the
    // temporary folder itself and removed all of it afterwards.
    TempDir guard;
    std::ofstream(guard / "file") << "x";
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/proc", 1);
    bool threw = false;
    try {
        TempDir t;
    } catch (const std::runtime_error&) {
        threw = true;
    }
    if (old) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");
    EXPECT_TRUE(threw);
    EXPECT_TRUE(fs::exists(guard / "file"));
}
