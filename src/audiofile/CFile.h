#pragma once
// CFile: the base of every disk file object (audio files, peak files). It holds the OS handle,
// the folder and the name within it, and the message of the last failing open.
//
// Every open and delete first checks that the folder exists and can be entered, then
// addresses the file as `path` relative to `folder` (a full path in `path` is used as it
// stands). Opening depends only on the object's own fields, never on process-wide state, so
// several threads may open different files at the same time.
//
// Threading: one thread at a time per object.

#include <cstdint>
#include <string>

class CFile {
public:
    enum Origin { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    CFile(const std::string& folder, const std::string& path);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Closes the handle if open and marks it invalid.
    virtual void Close();

    // The folder can be entered and the file can be opened for reading.
    bool Exists() const;
    // The new position, or -1 on failure.
    int64_t Seek(int64_t offset, Origin origin = FromStart);
    // Counts actually transferred; 0 on any OS failure.
    int64_t Read(void* buffer, int64_t bytes);
    int64_t Write(const void* buffer, int64_t bytes);
    // Writes at an absolute offset without moving the current position (header patches).
    bool WriteAt(int64_t offset, const void* buffer, int64_t bytes);
    // Cuts the open file to size bytes (needs no new space on the disk).
    bool Truncate(int64_t size);
    // Checks the folder, then deletes the file.
    bool Delete();
    // Size of the open file in bytes; -1 when closed.
    int64_t FileSize() const;

    bool IsOpen() const { return handle != -1; }
    bool FolderExists() const;
    // The folder joined with the path (the path alone when it is absolute or folder is empty).
    std::string FullPath() const;

    const std::string& Folder() const { return folder; }
    const std::string& Path() const { return path; }
    const std::string& ErrorText() const { return errorText; }

protected:
    // Opens for shared sequential reading / creates or truncates for writing.
    bool OpenForRead();
    bool OpenForWrite();
    void SetError(const std::string& text) { errorText = text; }

    int handle = -1;
    std::string folder;
    std::string path;
    std::string errorText;
};
