#include <filesystem>
#include <string>

#include "cli/ExportCommands.h"

std::filesystem::path LibraryFolder(const Options& o) {
    auto it = o.values.find("library");
    if (it != o.values.end()) return it->second;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}
