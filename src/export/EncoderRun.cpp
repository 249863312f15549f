#include "export/EncoderRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

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

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::atomic<bool>* cancel,
               int graceMs) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0); // a group of its own, led by the program
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;

    // Polled rather than a blocking wait, so that a cancel is seen while the program runs. The
    // leader is looked at without being reaped: while it is a zombie its group id cannot be
    // given to another process, so the group's stragglers can still be ended safely.
    using Clock = std::chrono::steady_clock;
    bool canceled = false, killed = false;
    Clock::time_point termAt{};
    for (;;) {
        siginfo_t info = {};
        const int w = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (w < 0 && errno != EINTR) break;
        if (w == 0 && info.si_pid == pid) break; // ended
        if (!canceled && cancel && cancel->load(std::memory_order_acquire)) {
            canceled = true;
            termAt = Clock::now();
            ::kill(-pid, SIGTERM);
        }
        if (canceled && !killed && Clock::now() - termAt >= std::chrono::milliseconds(graceMs)) {
            killed = true;
            ::kill(-pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // What the program left running in its group does not outlive a canceled item.
    if (canceled) ::kill(-pid, SIGKILL);
    int status = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &status, 0);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) return -1;
    }
    if (canceled) return kProgramCanceled;
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

namespace {

// Enough of a file's identity to tell whether a program made or changed it.
struct FileState {
    bool exists = false;
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime = {};
};

FileState StateOf(const std::string& path) {
    FileState f;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return f;
    f.exists = true;
    f.regular = S_ISREG(st.st_mode);
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.size = st.st_size;
    f.mtime = st.st_mtim;
    return f;
}

bool SameState(const FileState& a, const FileState& b) {
    return a.exists == b.exists && a.dev == b.dev && a.ino == b.ino && a.size == b.size &&
           a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec;
}

} // namespace

bool RunExternalEncoder(const ExtEncoderProfile& p, const std::string& wavPath, const std::string& outPath,
                        int32_t kbps, std::string& reportText, const std::atomic<bool>* cancel) {
    const std::string program = p.ProgramPath();
    const FileState before = StateOf(outPath);
    const int status = RunProgram(program, EncoderArguments(p.arguments, wavPath, outPath, kbps), cancel);
    if (status == kProgramCanceled) {
        reportText = "Canceled.";
        ::unlink(wavPath.c_str());
        // A half-encoded output goes; a file the encoder never touched (an earlier export of
        // the same name) stays as it was.
        const FileState after = StateOf(outPath);
        if (after.exists && after.regular && !SameState(before, after)) ::unlink(outPath.c_str());
        return false;
    }
    if (status != 0) {
        char text[1024];
        std::snprintf(text, sizeof text, "External encoder failed, check syntax:%s", program.c_str());
        reportText = text;
        return false;
    }
    ::unlink(wavPath.c_str());
    return true;
}
