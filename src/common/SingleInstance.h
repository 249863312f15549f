#pragma once
// The one-instance lock: a file lock held for the life of the process. A second process
// that finds the lock taken ends silently and leaves the first one untouched.

#include <string>

class SingleInstance {
public:
    // The lock of a user's session: in the runtime folder when there is one, else in /tmp.
    static std::string DefaultLockPath();

    explicit SingleInstance(std::string lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock; false when another process holds it
    // (or the lock file cannot be made, which is treated the same: better refuse to start
    // than run two instances on one library).
    bool Acquire();
    bool Held() const { return m_fd >= 0; }

private:
    std::string m_path;
    int m_fd = -1;
};
