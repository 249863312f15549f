#include "cli/TerminalUiPort.h"

#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterruptAsAbort(int sig) {
    if (g_interrupted) {
        // The second one: the person means it.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    g_interrupted = 1;
}

} // namespace

InterruptAsAbort::InterruptAsAbort() {
    g_interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = OnInterruptAsAbort;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_oldInt);
    // A tool started in the background of a script ignores Ctrl+C, and goes on ignoring it.
    if (!(m_oldInt.sa_flags & SA_SIGINFO) && m_oldInt.sa_handler == SIG_IGN) sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &action, &m_oldTerm);
}

InterruptAsAbort::~InterruptAsAbort() {
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
}

bool InterruptAsAbort::Interrupted() { return g_interrupted != 0; }

void TerminalUiPort::LetEventsThrough() {
    if (g_interrupted) {
        SetProgressAborted();
        SetDualAborted();
    }
}

TerminalUiPort::TerminalUiPort(std::FILE* in, std::FILE* out, std::FILE* err)
    : m_in(in), m_out(out), m_err(err), m_errIsTerminal(isatty(fileno(err)) != 0) {}

bool TerminalUiPort::Interactive() const { return m_in && isatty(fileno(m_in)) && m_errIsTerminal; }

bool TerminalUiPort::ReadLine(std::string& line) {
    line.clear();
    for (int c; (c = std::fgetc(m_in)) != EOF;) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

void TerminalUiPort::EndBarLine() {
    if (m_barShown) std::fputc('\n', m_err);
    m_barShown = false;
}

void TerminalUiPort::Notice(const std::string& text, const std::string& caption) {
    EndBarLine();
    ++m_notices;
    std::fprintf(m_err, "sonquil-cli: %s\n", text.c_str());
}

bool TerminalUiPort::Question(const std::string& text, const std::string& caption, bool warning) {
    EndBarLine();
    if (!Interactive()) {
        std::fprintf(m_err, "sonquil-cli: %s (answered no: not a terminal)\n", text.c_str());
        return false;
    }
    std::fprintf(m_err, "%s [y/N] ", text.c_str());
    std::fflush(m_err);
    std::string answer;
    if (!ReadLine(answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

bool TerminalUiPort::ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) {
    EndBarLine();
    if (!Interactive()) return false;
    std::fprintf(m_err, "%s (empty to cancel): ", title.c_str());
    std::fflush(m_err);
    return ReadLine(folder) && !folder.empty();
}

bool TerminalUiPort::ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter,
                                 bool multiple, std::vector<std::string>& files) {
    // The tool takes its files as arguments; nothing is chosen on the way.
    return false;
}

void TerminalUiPort::ReportAddLine(const std::string& file, const std::string& result) {
    m_report.emplace_back(file, result);
}

void TerminalUiPort::ReportShow() {
    EndBarLine();
    for (const auto& [file, result] : m_report) std::fprintf(m_out, "%s\t%s\n", file.c_str(), result.c_str());
    std::fflush(m_out);
}

void TerminalUiPort::SetProgressTextShown(const std::string& text) {
    EndBarLine();
    if (!text.empty()) std::fprintf(m_err, "%s\n", text.c_str());
}

void TerminalUiPort::DrawProgressBar(int percent) {
    // A bar only where a person watches; a log file gets the texts alone.
    if (!m_errIsTerminal) return;
    std::fprintf(m_err, "\r%3d%%", percent);
    std::fflush(m_err);
    m_barShown = true;
}

void TerminalUiPort::HideProgress() { EndBarLine(); }

void TerminalUiPort::SetDualTextShown(const std::string& text) { SetProgressTextShown(text); }

void TerminalUiPort::DrawDualBars(int overall, int detail) {
    if (!m_errIsTerminal) return;
    std::fprintf(m_err, "\r%3d%% %3d%%", overall, detail);
    std::fflush(m_err);
    m_barShown = true;
}

void TerminalUiPort::HideDual() { EndBarLine(); }
