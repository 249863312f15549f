#pragma once
// A UiPort for tests: records every dialog shown and answers questions and choosers from
// queues the test fills. An empty queue answers Cancel.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/UiPort.h"

class ScriptedUiPort : public UiPort {
public:
    struct Message {
        std::string kind; // "notice" or "question"
        std::string text;
        std::string caption;
    };

    // Answers, consumed in order.
    std::deque<bool> questionAnswers;
    std::deque<std::string> folderAnswers;            // "" = cancel
    std::deque<std::vector<std::string>> fileAnswers; // empty = cancel
    // Called at each LetEventsThrough (e.g. to press "Abort" after n steps).
    std::function<void(ScriptedUiPort&)> onEvents;

    // What was shown.
    std::vector<Message> messages;
    std::vector<std::string> folderTitles;
    std::vector<std::string> progressTexts;
    std::vector<int> progressDraws;
    std::vector<std::pair<int, int>> dualDraws;
    std::vector<std::pair<std::string, std::string>> reportLines;
    std::string reportCaption;
    int reportShows = 0;
    bool reportDontShowAgain = false; // the check box state "Ok" writes back
    bool progressVisible = false;
    bool progressWithAbort = false;
    bool dualVisible = false;
    int eventCalls = 0;

    void Notice(const std::string& text, const std::string& caption = "") override;
    bool Question(const std::string& text, const std::string& caption = "", bool warning = false) override;
    bool ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) override;
    bool ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter, bool multiple,
                     std::vector<std::string>& files) override;
    void LetEventsThrough() override;
    void ReportClear() override { reportLines.clear(); }
    void ReportAddLine(const std::string& file, const std::string& result) override {
        reportLines.emplace_back(file, result);
    }
    void ReportPrepare(const std::string& caption, bool* dontShowAgain) override {
        reportCaption = caption;
        m_setting = dontShowAgain;
    }
    void ReportShow() override;

    // Presses "Abort" on the open dialog(s).
    void PressAbort() {
        SetProgressAborted();
        SetDualAborted();
    }

protected:
    void ShowProgress(bool withAbort) override {
        progressVisible = true;
        progressWithAbort = withAbort;
    }
    void SetProgressTextShown(const std::string& text) override { progressTexts.push_back(text); }
    void DrawProgressBar(int percent) override { progressDraws.push_back(percent); }
    void HideProgress() override { progressVisible = false; }
    void ShowDual() override { dualVisible = true; }
    void SetDualTextShown(const std::string& text) override { progressTexts.push_back(text); }
    void DrawDualBars(int overall, int detail) override { dualDraws.emplace_back(overall, detail); }
    void HideDual() override { dualVisible = false; }

private:
    bool* m_setting = nullptr;
};
