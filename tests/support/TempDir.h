#pragma once
// A fresh temporary folder for one test, removed with everything in it afterwards.
//
// When the folder cannot be made the constructor throws, so the test fails where it stands
// (GoogleTest and QtTest report the exception) instead of writing into a folder it does not
// own. The destructor removes only the folder this object made.

#include <filesystem>
#include <string>

class TempDir {
public:
    // A new folder in the system's temporary folder.
    TempDir();
    // A new folder inside parent.
    explicit TempDir(const std::filesystem::path& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    void Make(const std::filesystem::path& parent);
    std::filesystem::path m_path; // empty until mkdtemp made it
};

// s in single quotes for the shell, whatever it holds.
std::string ShellQuote(const std::string& s);
// Runs a shell command; returns its exit status.
int RunCommand(const std::string& cmd);
// Whether the process is alive; a zombie that no parent reaps (the child of an ended script)
// counts as gone.
bool ProcessRunning(long pid);
// True when a program is on the PATH.
bool HaveProgram(const std::string& name);
