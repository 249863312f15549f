#include "export/EncoderRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "export/ExtEncoders.h"

extern char** environ;

namespace {

// Copies word, putting value in place of the first not yet used placeholder of each kind;
// replaced text is never scanned again.
std::string Substitute(const std::string& word, const std::string values[4], bool used[4]) {
    static const char kinds[4] = {'s', 'd', 'k', 'b'};
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 1 < word.size()) {
            int k = -1;
            for (int j = 0; j < 4; ++j)
                if (word[i + 1] == kinds[j]) k = j;
            if (k >= 0 && !used[k]) {
                used[k] = true;
                out += values[k];
                ++i;
                continue;
            }
        }
        out += word[i];
    }
    return out;
}

} // namespace

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true; // "" is an empty word
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        word += c;
        inWord = true;
    }
    if (inWord) words.push_back(word);
    return words;
}

std::vector<std::string> EncoderArguments(const std::string& argTemplate, const std::string& wavPath,
                                          const std::string& outPath, int32_t kbps) {
    const std::string values[4] = {wavPath, outPath, std::to_string(kbps), std::to_string(kbps * 1000)};
    bool used[4] = {false, false, false, false};
    std::vector<std::string> args;
    for (const std::string& w : SplitArguments(argTemplate)) args.push_back(Substitute(w, values, used));
    return args;
}

std::string EncoderCommandLine(const ExtEncoderProfile& p, const std::string& wavPath, const std::string& outPath,
                               int32_t kbps) {
    const std::string values[4] = {"\"" + wavPath + "\"", "\"" + outPath + "\"", std::to_string(kbps),
                                   std::to_string(kbps * 1000)};
    bool used[4] = {false, false, false, false};
    return p.ProgramPath() + " " + Substitute(p.arguments, values, used);
}

int RunProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &status, 0);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) return -1;
    }
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool RunExternalEncoder(const ExtEncoderProfile& p, const std::string& wavPath, const std::string& outPath,
                        int32_t kbps, std::string& reportText) {
    const std::string program = p.ProgramPath();
    const int status = RunProgram(program, EncoderArguments(p.arguments, wavPath, outPath, kbps));
    if (status != 0) {
        char text[1024];
        std::snprintf(text, sizeof text, "External encoder failed, check syntax:%s", program.c_str());
        reportText = text;
        return false;
    }
    ::unlink(wavPath.c_str());
    return true;
}
