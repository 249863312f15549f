#include "core/ProgramFolder.h"

#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return exe.parent_path();
}

fs::path ProgramDataFolder(const fs::path& exeFolder) {
    if (access(exeFolder.c_str(), W_OK | X_OK) == 0) return exeFolder;
    fs::path base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The XDG base directory rules say a relative value is to be ignored.
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && home[0] ? home : "/tmp") / ".local" / "share";
    }
    fs::path folder = base / "Sonquil";
    std::error_code ec;
    fs::create_directories(folder, ec); // a failure shows later as the database's write test
    return folder;
}

fs::path ProgramFolderForTool(const fs::path& toolFolder) {
    std::error_code ec;
    if (fs::is_regular_file(toolFolder / "sonquil", ec)) return toolFolder;
    const fs::path buildTree = toolFolder.parent_path() / "app";
    if (fs::is_regular_file(buildTree / "sonquil", ec)) return buildTree;
    return toolFolder;
}
