#include "cli/LibrarySession.h"

#include "core/ProgramFolder.h"

namespace fs = std::filesystem;

namespace {
fs::path g_libraryOption;
}

void SetLibraryOption(const fs::path& folder) { g_libraryOption = folder; }

fs::path LibraryFolder() {
    if (!g_libraryOption.empty()) return g_libraryOption;
    return ProgramDataFolder(ProgramFolderForTool(ExecutableFolder()));
}

LibrarySession::LibrarySession() = default;

LibrarySession::~LibrarySession() {
    // Without SaveAndClose nothing is written: a command that failed half way leaves the
    // library as it found it.
    if (m_core) m_core->Stop();
}

bool LibrarySession::Open(std::string& error, bool withSoundCards) {
    const fs::path folder = LibraryFolder();
    std::error_code ec;
    if (!fs::is_regular_file(folder / "AudioDB" / "audiodb.adb", ec)) {
        error = "no library in " + folder.string() + " (start Sonquil once to create it, or give --library DIR)";
        return false;
    }
    m_lock = std::make_unique<SingleInstance>(SingleInstance::DefaultLockPath());
    if (!m_lock->Acquire()) {
        error = "the library is in use: Sonquil or another sonquil-cli is running";
        return false;
    }
    m_core = std::make_unique<CCore>(m_ui, m_mainThread);
    CoreOptions options;
    options.baseFolder = folder;
    options.withSoundCards = withSoundCards;
    if (m_core->Start(options) != CCore::StartResult::Running) {
        error = "the library in " + folder.string() + " could not be opened";
        return false;
    }
    return true;
}

bool LibrarySession::SaveAndClose() {
    if (!m_core) return false;
    m_core->MarkStartupComplete();
    const bool saved = m_core->Stop();
    m_core.reset();
    return saved;
}
