#pragma once
// The command-line tool's UiPort: notices and progress on stderr, report lines on stdout.
// Questions and choices are asked on the terminal when there is one; without a terminal (a
// script, a pipe) a question is answered "no" and a choice is cancelled, so a batch never waits
// for a person who is not there.
//
// Threading: main thread only.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "common/UiPort.h"

// While one lives, Ctrl+C (SIGINT) and SIGTERM press "Abort" on the tool's progress dialogs
// instead of ending the tool at once: a long operation then stops the way the window's button
// stops it, at its next LetEventsThrough (an external encoder ended, a partial file deleted,
// the report written). A second signal ends the tool as it would without the guard.
class InterruptAsAbort {
public:
    InterruptAsAbort();
    ~InterruptAsAbort();
    InterruptAsAbort(const InterruptAsAbort&) = delete;
    InterruptAsAbort& operator=(const InterruptAsAbort&) = delete;
    static bool Interrupted();

private:
    struct sigaction m_oldInt = {}, m_oldTerm = {};
};

class TerminalUiPort : public UiPort {
public:
    // in: where answers are read from; err: where notices and progress go; out: the report.
    TerminalUiPort(std::FILE* in = stdin, std::FILE* out = stdout, std::FILE* err = stderr);

    void Notice(const std::string& text, const std::string& caption = "") override;
    // Notices shown so far: a command whose work reported a failure this way exits non-zero.
    int Notices() const { return m_notices; }
    bool Question(const std::string& text, const std::string& caption = "", bool warning = false) override;
    bool ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) override;
    bool ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter, bool multiple,
                     std::vector<std::string>& files) override;
    // Where an interrupt (see InterruptAsAbort) presses "Abort".
    void LetEventsThrough() override;
    void ReportClear() override { m_report.clear(); }
    void ReportAddLine(const std::string& file, const std::string& result) override;
    void ReportPrepare(const std::string&, bool*) override {}
    void ReportShow() override;

protected:
    void ShowProgress(bool withAbort) override {}
    void SetProgressTextShown(const std::string& text) override;
    void DrawProgressBar(int percent) override;
    void HideProgress() override;
    void ShowDual() override {}
    void SetDualTextShown(const std::string& text) override;
    void DrawDualBars(int overall, int detail) override;
    void HideDual() override;

private:
    bool Interactive() const;
    bool ReadLine(std::string& line);
    void EndBarLine();

    std::FILE* m_in;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_errIsTerminal;
    bool m_barShown = false;
    int m_notices = 0;
    std::vector<std::pair<std::string, std::string>> m_report;
};
