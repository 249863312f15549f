#pragma once
// LibrarySession: a command's hold on the program's library. It finds the library (--library
// DIR, or the program's folder) and starts the core with it; the core holds the library's own
// lock, so that neither the window nor another tool changes the same library meanwhile.
// A command that changed the library saves it through Close(); one that only read it does not.
//
// Threading: main thread only.

#include <filesystem>
#include <memory>
#include <string>

#include "cli/TerminalUiPort.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"

// What a library command says when a window or another tool holds the library.
inline constexpr const char* kLibraryInUse = "the library is in use: Sonquil or another sonquil-cli is running";

// The folder given by --library before the command, or empty.
void SetLibraryOption(const std::filesystem::path& folder);
// The folder that holds "AudioDB": --library, else the program's folder by its usual rule.
std::filesystem::path LibraryFolder();

// Creates a new library in base (its "AudioDB") whose VDisk lies in folder: made there, or
// taken as it is when folder already holds one (or is one). False with a message when the
// library is in use or no VDisk could be made.
bool CreateLibrary(const std::filesystem::path& base, const std::string& folder, std::string& error);

class LibrarySession {
public:
    LibrarySession();
    ~LibrarySession();

    // False with a message when the library is missing, in use or cannot be loaded. Without
    // sound cards the engine lists only the null device.
    bool Open(std::string& error, bool withSoundCards = true);
    CCore& Core() { return *m_core; }
    TerminalUiPort& Ui() { return m_ui; }
    // Saves the library (the shutdown of a complete start-up) and ends the core. False when the
    // save failed; the message has been shown.
    bool SaveAndClose();

private:
    TerminalUiPort m_ui;
    MainThreadPort m_mainThread;
    std::unique_ptr<CCore> m_core;
};
