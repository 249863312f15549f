#include "core/ProgramFolder.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return exe.parent_path();
}

bool FolderWritable(const fs::path& folder) {
    // The effective user decides, as for the files the program then creates.
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
    if (geteuid() != 0) return true;
    // Root may write anywhere; a folder whose permission bits grant nobody a write was made
    // read-only on purpose, and counts as such for root too.
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool InstalledLayout(const fs::path& exeFolder) {
    std::error_code ec;
    return exeFolder.filename() == "bin" &&
           fs::is_regular_file(exeFolder.parent_path() / "share" / "applications" / "sonquil.desktop", ec);
}

fs::path ProgramDataFolder(const fs::path& exeFolder) {
    if (!InstalledLayout(exeFolder) && FolderWritable(exeFolder)) return exeFolder;
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
