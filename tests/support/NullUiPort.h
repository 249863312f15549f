#pragma once
// A UiPort that shows nothing and answers every question and chooser with Cancel: for the
// benchmarks and for tests that only need the library to run without a person.

#include <string>
#include <vector>

#include "common/UiPort.h"

class NullUiPort : public UiPort {
public:
    void Notice(const std::string&, const std::string&) override {}
    bool Question(const std::string&, const std::string&, bool) override { return false; }
    bool ChooseFolder(const std::string&, const std::string&, std::string&) override { return false; }
    bool ChooseFiles(const std::string&, const std::string&, const std::string&, bool,
                     std::vector<std::string>&) override {
        return false;
    }
    void LetEventsThrough() override {}
    void ReportClear() override {}
    void ReportAddLine(const std::string&, const std::string&) override {}
    void ReportPrepare(const std::string&, bool*) override {}
    void ReportShow() override {}

protected:
    void ShowProgress(bool) override {}
    void SetProgressTextShown(const std::string&) override {}
    void DrawProgressBar(int) override {}
    void HideProgress() override {}
    void ShowDual() override {}
    void SetDualTextShown(const std::string&) override {}
    void DrawDualBars(int, int) override {}
    void HideDual() override {}
};
