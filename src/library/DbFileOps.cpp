#include "library/DbFileOps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Written data is handed to the disk in pieces of this size while writing goes on, so that the
// final flush finds little left to do. Only a hint: the flush still checks every byte.
constexpr uint64_t kWritebackPiece = 64u << 20;

void StartWriteback(int fd, uint64_t from, uint64_t to) {
    ::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(to - from), SYNC_FILE_RANGE_WRITE);
}

} // namespace

bool DbFileOps::CreateOut(const fs::path& p) {
    if (m_fd >= 0) DiscardOut();
    m_fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_outPos = m_outStarted = 0;
    return m_fd >= 0;
}

bool DbFileOps::WriteOut(const void* data, size_t n) {
    if (m_fd < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t k = ::write(m_fd, p, n);
        if (k < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (k == 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
        m_outPos += static_cast<uint64_t>(k);
    }
    if (m_outPos - m_outStarted >= kWritebackPiece) {
        StartWriteback(m_fd, m_outStarted, m_outPos);
        m_outStarted = m_outPos;
    }
    return true;
}

bool DbFileOps::SyncOut() { return m_fd >= 0 && ::fsync(m_fd) == 0; }

bool DbFileOps::CloseOut() {
    if (m_fd < 0) return false;
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
}

void DbFileOps::DiscardOut() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool DbFileOps::Exists(const fs::path& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

bool DbFileOps::Rename(const fs::path& from, const fs::path& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool DbFileOps::Link(const fs::path& from, const fs::path& to) { return ::link(from.c_str(), to.c_str()) == 0; }

bool DbFileOps::Remove(const fs::path& p) { return ::unlink(p.c_str()) == 0; }

bool DbFileOps::Copy(const fs::path& from, const fs::path& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    // In-kernel copy first; plain read and write where the file system refuses it.
    uint64_t copied = 0;
    for (;;) {
        ssize_t k = ::copy_file_range(in, nullptr, out, nullptr, kWritebackPiece, 0);
        if (k > 0) {
            StartWriteback(out, copied, copied + static_cast<uint64_t>(k));
            copied += static_cast<uint64_t>(k);
            continue;
        }
        if (k == 0) break;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            ok = false;
            break;
        }
        char buf[1 << 16];
        for (;;) {
            ssize_t r = ::read(in, buf, sizeof buf);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) ok = false;
            if (r <= 0) break;
            for (ssize_t done = 0; done < r;) {
                ssize_t w = ::write(out, buf + done, static_cast<size_t>(r - done));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    ok = false;
                    break;
                }
                done += w;
            }
            if (!ok) break;
        }
        break;
    }
    if (ok && ::fsync(out) != 0) ok = false;
    if (::close(out) != 0) ok = false;
    ::close(in);
    if (!ok) ::unlink(to.c_str());
    return ok;
}

bool DbFileOps::MakeFolder(const fs::path& p) {
    if (::mkdir(p.c_str(), 0755) == 0) return true;
    return IsFolder(p);
}

bool DbFileOps::IsFolder(const fs::path& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DbFileOps::SyncFolder(const fs::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool DbFileOps::ReadAll(const fs::path& p, std::string& bytes) {
    bytes.clear();
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // The size is only a hint: read until the end so a file that changes size is still read
    // as it is, never beyond what arrived.
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t k = ::read(fd, buf, sizeof buf);
        if (k < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (k == 0) break;
        bytes.append(buf, static_cast<size_t>(k));
    }
    ::close(fd);
    return true;
}

DbInFile::~DbInFile() {
    if (m_map) ::munmap(m_map, m_mapSize);
}

bool DbInFile::Open(DbFileOps& ops, const fs::path& p) {
    // Only the program's own file system layer maps; a replaced layer (tests) reads through itself.
    if (&ops == &DbFileOps::System()) {
        int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        if (st.st_size == 0) {
            ::close(fd);
            m_data = reinterpret_cast<const uint8_t*>("");
            m_size = 0;
            return true;
        }
        void* m = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (m != MAP_FAILED) {
            m_map = m;
            m_mapSize = static_cast<size_t>(st.st_size);
            m_data = static_cast<const uint8_t*>(m);
            m_size = m_mapSize;
            ::madvise(m, m_mapSize, MADV_SEQUENTIAL);
            return true;
        }
    }
    if (!ops.ReadAll(p, m_bytes)) return false;
    m_data = reinterpret_cast<const uint8_t*>(m_bytes.data());
    m_size = m_bytes.size();
    return true;
}

DbFileOps& DbFileOps::System() {
    static DbFileOps ops;
    return ops;
}

DbOutFile::DbOutFile(DbFileOps& ops, size_t bufferSize) : m_ops(ops), m_cap(bufferSize ? bufferSize : 1) {
    m_buf.reserve(m_cap);
}

DbOutFile::~DbOutFile() {
    if (m_open) m_ops.DiscardOut();
}

bool DbOutFile::Create(const fs::path& p) {
    m_ok = m_ops.CreateOut(p);
    m_open = m_ok;
    m_written = 0;
    m_buf.clear();
    return m_ok;
}

bool DbOutFile::Flush() {
    if (!m_ok) return false;
    if (!m_buf.empty() && !m_ops.WriteOut(m_buf.data(), m_buf.size())) m_ok = false;
    m_buf.clear();
    return m_ok;
}

void DbOutFile::Write(const void* data, size_t n) {
    if (!m_ok) return;
    m_written += n;
    const char* p = static_cast<const char*>(data);
    if (m_buf.size() + n > m_cap) {
        if (!Flush()) return;
        if (n >= m_cap) {
            if (!m_ops.WriteOut(p, n)) m_ok = false;
            return;
        }
    }
    m_buf.append(p, n);
}

bool DbOutFile::Finish() {
    if (!m_open) return false;
    Flush();
    if (m_ok && !m_ops.SyncOut()) m_ok = false;
    if (m_ok) {
        m_open = false;
        if (!m_ops.CloseOut()) m_ok = false;
    }
    if (!m_ok) Discard();
    return m_ok;
}

void DbOutFile::Discard() {
    if (m_open) m_ops.DiscardOut();
    m_open = false;
    m_ok = false;
}
