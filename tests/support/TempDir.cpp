#include "support/TempDir.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sonquil-test-XXXXXX").string();
    char* p = mkdtemp(tmpl.data());
    m_path = p ? std::filesystem::path(p) : std::filesystem::temp_directory_path();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

int RunCommand(const std::string& cmd) {
    int rc = std::system(cmd.c_str());
    if (rc == -1) return -1;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

bool HaveProgram(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}
