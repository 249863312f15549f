#pragma once
// UiPort: the one interface through which library, engine and export code asks a person
// something or shows progress. The program implements it with Qt dialogs (src/app); the
// tests use a scripted implementation that records what was shown and answers from a queue.
//
// Threading: main thread only. The one exception of the export render (the audio thread
// setting the detail bar and reading the abort flag) goes through the owner's queued call.

#include <string>
#include <vector>

class UiPort {
public:
    virtual ~UiPort() = default;

    // Message boxes. Caption "" is the plain notice; start-up and database messages pass "Sonquil".
    virtual void Notice(const std::string& text, const std::string& caption = "") = 0;
    // OK/Cancel question: true for OK.
    virtual bool Question(const std::string& text, const std::string& caption = "", bool warning = false) = 0;

    // Choosers: false when the user cancels.
    virtual bool ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) = 0;
    virtual bool ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter,
                             bool multiple, std::vector<std::string>& files) = 0;

    // Single progress dialog ("In Progress...").
    void ProgressOpen(bool withAbort);
    void ProgressText(const std::string& text);
    // Sets the bar to a percentage; a bar that already shows the value is not touched.
    void ProgressBar(int percent);
    bool ProgressAborted() const { return m_singleAborted; }
    void ProgressClose();

    // Double progress dialog: overall and detail bars.
    void DualOpen();
    void DualText(const std::string& text);
    void DualBars(int overall, int detail);
    bool DualAborted() const { return m_dualAborted; }
    void DualClose();

    // Lets the window process its pending events between steps of a long operation.
    virtual void LetEventsThrough() = 0;

    // Report dialog: a two-column list ("File", "Result").
    virtual void ReportClear() = 0;
    virtual void ReportAddLine(const std::string& file, const std::string& result) = 0;
    // Caption, and the caller's setting that the "Don't show this dialog again " box writes to.
    virtual void ReportPrepare(const std::string& caption, bool* dontShowAgain) = 0;
    // Modal; "Ok" writes the check box into the setting, unchecks the box and closes.
    virtual void ReportShow() = 0;

protected:
    // Called by the "Abort" buttons.
    void SetProgressAborted() { m_singleAborted = true; }
    void SetDualAborted() { m_dualAborted = true; }

    // Implementations show, hide and draw. Bars arrive only when their value changed.
    virtual void ShowProgress(bool withAbort) = 0;
    virtual void SetProgressTextShown(const std::string& text) = 0;
    virtual void DrawProgressBar(int percent) = 0;
    virtual void HideProgress() = 0;
    virtual void ShowDual() = 0;
    virtual void SetDualTextShown(const std::string& text) = 0;
    virtual void DrawDualBars(int overall, int detail) = 0;
    virtual void HideDual() = 0;

private:
    int m_singleBar = 0;
    int m_dualOverall = 0;
    int m_dualDetail = 0;
    bool m_singleAborted = false;
    bool m_dualAborted = false;
};
