#include "common/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

std::string SingleInstance::DefaultLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && access(runtime, W_OK) == 0) return std::string(runtime) + "/Sonquil.lock";
    return "/tmp/Sonquil-" + std::to_string(getuid()) + ".lock";
}

std::string SingleInstance::LibraryLockPath(const std::string& audioDbFolder) {
    return audioDbFolder.empty() || audioDbFolder.back() == '/' ? audioDbFolder + "audiodb.lock"
                                                                : audioDbFolder + "/audiodb.lock";
}

SingleInstance::SingleInstance(std::string lockPath) : m_path(std::move(lockPath)) {}

SingleInstance::~SingleInstance() {
    if (m_fd >= 0) close(m_fd); // closing releases the lock; the file stays for the next start
}

bool SingleInstance::Acquire(bool* busy) {
    if (busy) *busy = false;
    if (m_fd >= 0) return true;
    // Readable by all: a lock file that root's run left behind must not shut the owner of the
    // library out; flock needs no write access.
    int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (busy) *busy = errno == EWOULDBLOCK;
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
