// Where the program and the tool keep the library: beside a writable build tree or portable
// folder, in the user's data folder for an installed program (a read-only bin folder, or the bin
// folder of a prefix holding the desktop entry). Runs as root in CI, where a read-only folder
// must still count as read-only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/ProgramFolder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old) setenv(m_name, m_old->c_str(), 1);
        else unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// A prefix as cmake --install lays it out: bin with both programs, share with the entry.
fs::path MakePrefix(const fs::path& prefix, bool withEntry) {
    Touch(prefix / "bin" / "sonquil");
    Touch(prefix / "bin" / "sonquil-cli");
    if (withEntry) Touch(prefix / "share" / "applications" / "sonquil.desktop");
    return prefix / "bin";
}

// Gives a folder its write bits back at the end, so the temporary folder can be removed.
struct ReadOnly {
    explicit ReadOnly(fs::path p) : path(std::move(p)) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    ~ReadOnly() { fs::permissions(path, fs::perms::owner_write, fs::perm_options::add); }
    fs::path path;
};

} // namespace

TEST(ProgramFolder, BuildTreeAndPortableFolderKeepTheLibraryBesideTheExecutable) {
    TempDir dir;
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").string());
    const fs::path tree = dir / "build" / "src" / "app";
    fs::create_directories(tree);
    EXPECT_EQ(ProgramDataFolder(tree), tree);
    // A portable folder named bin, but without an installed desktop entry beside it.
    const fs::path portable = MakePrefix(dir / "portable", false);
    EXPECT_EQ(ProgramDataFolder(portable), portable);
    EXPECT_FALSE(fs::exists(dir / "data" / "Sonquil"));
}

TEST(ProgramFolder, ReadOnlyFolderUsesTheDataFolderAlsoForRoot) {
    TempDir dir;
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").string());
    const fs::path bin = dir / "app";
    fs::create_directories(bin);
    ReadOnly lock(bin);
    EXPECT_FALSE(FolderWritable(bin));
    EXPECT_EQ(ProgramDataFolder(bin), dir / "data" / "Sonquil");
    EXPECT_TRUE(fs::is_directory(dir / "data" / "Sonquil"));
    EXPECT_FALSE(FolderWritable(dir / "missing"));
}

TEST(ProgramFolder, InstalledPrefixUsesTheDataFolderEvenWhenBinIsWritable) {
    TempDir dir;
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").string());
    // cmake --install --prefix ~/.local leaves a bin folder its user may write.
    const fs::path bin = MakePrefix(dir / "local", true);
    EXPECT_TRUE(FolderWritable(bin));
    EXPECT_TRUE(InstalledLayout(bin));
    EXPECT_EQ(ProgramDataFolder(bin), dir / "data" / "Sonquil");
    // The tool beside the program finds the program's folder and so the same library.
    EXPECT_EQ(ProgramFolderForTool(bin), bin);
    EXPECT_EQ(ProgramDataFolder(ProgramFolderForTool(bin)), dir / "data" / "Sonquil");
}

TEST(ProgramFolder, DataFolderFollowsTheBaseDirectoryRules) {
    TempDir dir;
    const fs::path bin = MakePrefix(dir / "usr", true);
    ScopedEnv home("HOME", (dir / "home").string());
    {
        // A relative XDG_DATA_HOME is ignored, as is an empty one: ~/.local/share then.
        ScopedEnv xdg("XDG_DATA_HOME", std::string("relative/data"));
        EXPECT_EQ(ProgramDataFolder(bin), dir / "home" / ".local" / "share" / "Sonquil");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", std::string());
        EXPECT_EQ(ProgramDataFolder(bin), dir / "home" / ".local" / "share" / "Sonquil");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(ProgramDataFolder(bin), dir / "home" / ".local" / "share" / "Sonquil");
    }
    EXPECT_TRUE(fs::is_directory(dir / "home" / ".local" / "share" / "Sonquil"));
}

TEST(ProgramFolder, ToolInTheBuildTreeFindsTheProgramsFolder) {
    TempDir dir;
    Touch(dir / "src" / "app" / "sonquil");
    fs::create_directories(dir / "src" / "cli");
    EXPECT_EQ(ProgramFolderForTool(dir / "src" / "cli"), dir / "src" / "app");
    // Alone, the tool stands for the program's folder itself.
    fs::create_directories(dir / "alone");
    EXPECT_EQ(ProgramFolderForTool(dir / "alone"), dir / "alone");
}
