#include "cli/LibrarySession.h"

#include "core/ProgramFolder.h"

namespace fs = std::filesystem;

namespace {
fs::path g_libraryOption;

// Answers the first start's folder question with the --vdisk folder, once.
class VDiskAnswer : public TerminalUiPort {
public:
    explicit VDiskAnswer(std::string folder) : m_folder(std::move(folder)) {}
    bool ChooseFolder(const std::string&, const std::string&, std::string& folder) override {
        if (m_used) return false;
        m_used = true;
        folder = m_folder;
        return true;
    }
    void Notice(const std::string& text, const std::string& caption) override {
        // The first start's explanation is for the window; errors still reach stderr.
        if (text.rfind("Please select", 0) != 0) TerminalUiPort::Notice(text, caption);
    }

private:
    std::string m_folder;
    bool m_used = false;
};
} // namespace

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
    // The core takes the library's own lock while it opens the library.
    m_core = std::make_unique<CCore>(m_ui, m_mainThread);
    CoreOptions options;
    options.baseFolder = folder;
    options.withSoundCards = withSoundCards;
    switch (m_core->Start(options)) {
    case CCore::StartResult::Running: return true;
    case CCore::StartResult::LibraryInUse: error = kLibraryInUse; return false;
    default: error = "the library in " + folder.string() + " could not be opened"; return false;
    }
}

bool LibrarySession::SaveAndClose() {
    if (!m_core) return false;
    m_core->MarkStartupComplete();
    const bool saved = m_core->Stop();
    m_core.reset();
    return saved;
}

// A new library whose VDisk lies in folder.
bool CreateLibrary(const fs::path& base, const std::string& folder, std::string& error) {
    std::error_code ec;
    // --library may name a folder that is not there yet: a new library starts there.
    fs::create_directories(base, ec);
    fs::create_directories(folder, ec);
    VDiskAnswer ui(fs::absolute(folder, ec).string());
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = base;
    const CCore::StartResult started = core.Start(options);
    if (started != CCore::StartResult::Running) {
        core.Stop();
        error = started == CCore::StartResult::LibraryInUse ? kLibraryInUse : "no VDisk could be made in " + folder;
        return false;
    }
    core.MarkStartupComplete();
    if (!core.Stop()) {
        error = "the new library could not be saved";
        return false;
    }
    return true;
}
