#include "common/FreshFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

int CreateFreshFile(const std::string& folder, const std::string& stem, const std::string& suffix, bool plainAllowed,
                    std::string& name) {
    if (plainAllowed) {
        const std::string plain = stem + suffix;
        const int fd = ::open(Join(folder, plain).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            name = plain;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    const std::string random = stem + ".XXXXXX" + suffix;
    std::string path = Join(folder, random);
    const int fd = ::mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) return -1;
    // mkstemps makes the file private; what we write here is as readable as any other file.
    ::fchmod(fd, 0644);
    name = path.substr(path.size() - random.size());
    return fd;
}
