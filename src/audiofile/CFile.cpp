#include "audiofile/CFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FixedText.h"

namespace {
// The fields are fixed at 512 characters in the records of this system.
constexpr size_t kFieldBytes = 511;
} // namespace

CFile::CFile(const std::string& folder_, const std::string& path_)
    : folder(CutUtf8(folder_, kFieldBytes)), path(CutUtf8(path_, kFieldBytes)) {}

CFile::~CFile() {
    if (handle != -1) ::close(handle);
    handle = -1;
}

void CFile::Close() {
    if (handle != -1) ::close(handle);
    handle = -1;
}

bool CFile::FolderExists() const {
    if (folder.empty()) return false; // no folder: a stored sample whose VDisk is unknown
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return ::access(folder.c_str(), X_OK) == 0;
}

std::string CFile::FullPath() const {
    if (folder.empty() || (!path.empty() && path[0] == '/')) return path;
    if (folder.back() == '/') return folder + path;
    return folder + "/" + path;
}

bool CFile::Exists() const {
    if (!FolderExists()) return false;
    int fd = ::open(FullPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return false;
    struct stat st;
    bool regular = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return regular;
}

bool CFile::OpenForRead() {
    Close();
    int fd = ::open(FullPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    handle = fd;
    return true;
}

bool CFile::OpenForWrite() {
    Close();
    int fd = ::open(FullPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd == -1) return false;
    handle = fd;
    return true;
}

int64_t CFile::Seek(int64_t offset, Origin origin) {
    if (handle == -1) return -1;
    int whence = origin == FromStart ? SEEK_SET : origin == FromCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(handle, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t CFile::Read(void* buffer, int64_t bytes) {
    if (handle == -1 || bytes <= 0) return 0;
    char* p = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < bytes) {
        ssize_t r = ::read(handle, p + done, static_cast<size_t>(bytes - done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (r == 0) break;
        done += r;
    }
    return done;
}

int64_t CFile::Write(const void* buffer, int64_t bytes) {
    if (handle == -1 || bytes <= 0) return 0;
    const char* p = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < bytes) {
        ssize_t r = ::write(handle, p + done, static_cast<size_t>(bytes - done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (r == 0) break;
        done += r;
    }
    return done;
}

bool CFile::WriteAt(int64_t offset, const void* buffer, int64_t bytes) {
    if (handle == -1 || offset < 0) return false;
    const char* p = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < bytes) {
        ssize_t r = ::pwrite(handle, p + done, static_cast<size_t>(bytes - done), static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        done += r;
    }
    return true;
}

bool CFile::Truncate(int64_t size) {
    if (handle == -1 || size < 0) return false;
    for (;;) {
        if (::ftruncate(handle, static_cast<off_t>(size)) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool CFile::Delete() {
    if (!FolderExists()) return false;
    return ::unlink(FullPath().c_str()) == 0;
}

int64_t CFile::FileSize() const {
    if (handle == -1) return -1;
    struct stat st;
    if (::fstat(handle, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}
