#include "support/TempDir.h"

#include <fstream>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir() { Make(std::filesystem::temp_directory_path()); }

TempDir::TempDir(const std::filesystem::path& parent) { Make(parent); }

void TempDir::Make(const std::filesystem::path& parent) {
    std::string tmpl = (parent / "sonquil-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        // Falling back to a shared folder would let the destructor remove what others own.
        throw std::runtime_error("TempDir: cannot make a folder in " + parent.string() + ": " + std::strerror(errno));
    }
    m_path = tmpl;
}

TempDir::~TempDir() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int RunCommand(const std::string& cmd) {
    int rc = std::system(cmd.c_str());
    if (rc == -1) return -1;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

bool ProcessRunning(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

bool HaveProgram(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0; }
