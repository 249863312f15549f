#pragma once
// DbFileOps: the few file-system calls the database save and load make, behind one small
// interface so that tests can make any single step fail (tests run as root, so permissions
// alone cannot). Every call reports failure with false and leaves errno-style detail out:
// the callers only need to know whether to roll back.
//
// Threading: main thread only; one open output file at a time.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class DbFileOps {
public:
    virtual ~DbFileOps() = default;

    // Output file: create (truncating), append bytes, flush to disk, close.
    virtual bool CreateOut(const std::filesystem::path& p);
    virtual bool WriteOut(const void* data, size_t n);
    virtual bool SyncOut();
    virtual bool CloseOut();
    // Closes without any check (after a failure).
    virtual void DiscardOut();

    // True when something is there (file or folder).
    virtual bool Exists(const std::filesystem::path& p);
    // Atomic replace of to by from.
    virtual bool Rename(const std::filesystem::path& from, const std::filesystem::path& to);
    // A second name for an existing file (fails when to exists).
    virtual bool Link(const std::filesystem::path& from, const std::filesystem::path& to);
    virtual bool Remove(const std::filesystem::path& p);
    // A new file to with from's bytes, flushed to disk; a partial copy is removed.
    virtual bool Copy(const std::filesystem::path& from, const std::filesystem::path& to);
    // Makes a folder; true when it exists afterwards as a folder.
    virtual bool MakeFolder(const std::filesystem::path& p);
    virtual bool IsFolder(const std::filesystem::path& p);
    // Flushes a folder's entries so the renames in it survive a power cut.
    virtual bool SyncFolder(const std::filesystem::path& folder);

    // Whole-file read for the loader; false when the file cannot be opened or read.
    virtual bool ReadAll(const std::filesystem::path& p, std::string& bytes);

    // The default instance used by the program.
    static DbFileOps& System();

protected:
    int m_fd = -1;
    // Bytes written to the output file, and how many of them have been handed to the disk.
    uint64_t m_outPos = 0;
    uint64_t m_outStarted = 0;
};

// A whole input file, mapped read-only (or read into memory where mapping is refused). The
// loader only parses it, so a large database costs no copy.
class DbInFile {
public:
    DbInFile() = default;
    ~DbInFile();
    DbInFile(const DbInFile&) = delete;
    DbInFile& operator=(const DbInFile&) = delete;
    bool Open(DbFileOps& ops, const std::filesystem::path& p);
    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }

private:
    void* m_map = nullptr;
    size_t m_mapSize = 0;
    std::string m_bytes;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// A buffered, checked writer on top of DbFileOps. The first failure sticks: later writes do
// nothing and Ok() stays false, so a writer can emit a whole file and check once.
class DbOutFile {
public:
    explicit DbOutFile(DbFileOps& ops, size_t bufferSize = 1 << 20);
    ~DbOutFile();
    bool Create(const std::filesystem::path& p);
    void Write(const void* data, size_t n);
    // Flush, sync to disk and close; false if that or any earlier step failed.
    bool Finish();
    // Close after a failure (no checks).
    void Discard();
    bool Ok() const { return m_ok; }
    uint64_t Written() const { return m_written; }

private:
    bool Flush();
    DbFileOps& m_ops;
    std::string m_buf;
    size_t m_cap;
    bool m_open = false;
    bool m_ok = false;
    uint64_t m_written = 0;
};
