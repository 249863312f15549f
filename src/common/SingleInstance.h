#pragma once
// A file lock held for as long as the object lives (flock, so a process that dies lets go of
// it at once). Two locks are built on it: the window's one-instance lock of a user's session,
// which a second window finds taken and ends silently; and the library lock in the library's
// own "AudioDB" folder, which whoever opens that library (the window, every library command of
// the tool) holds, whatever session, user or runtime folder it runs in.

#include <string>

class SingleInstance {
public:
    // The lock of a user's session: in the runtime folder when there is one, else in /tmp.
    static std::string DefaultLockPath();

    explicit SingleInstance(std::string lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The library lock of the library whose database folder ("AudioDB") is audioDbFolder.
    static std::string LibraryLockPath(const std::string& audioDbFolder);

    // True when this process now holds the lock; false when another holder has it (busy, when
    // given, is then true) or the lock file cannot be opened (busy false). A lock file made by
    // another user (a tool run through sudo) is still taken through a read-only open.
    bool Acquire(bool* busy = nullptr);
    bool Held() const { return m_fd >= 0; }

private:
    std::string m_path;
    int m_fd = -1;
};
