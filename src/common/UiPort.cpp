#include "common/UiPort.h"

#include <algorithm>

void UiPort::ProgressOpen(bool withAbort) {
    m_singleAborted = false;
    m_singleBar = 0;
    ShowProgress(withAbort);
    DrawProgressBar(0);
}

void UiPort::ProgressText(const std::string& text) { SetProgressTextShown(text); }

void UiPort::ProgressBar(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == m_singleBar) return;
    m_singleBar = percent;
    DrawProgressBar(percent);
}

void UiPort::ProgressClose() { HideProgress(); }

void UiPort::DualOpen() {
    m_dualAborted = false;
    m_dualOverall = 0;
    m_dualDetail = 0;
    ShowDual();
    DrawDualBars(0, 0);
}

void UiPort::DualText(const std::string& text) { SetDualTextShown(text); }

void UiPort::DualBars(int overall, int detail) {
    overall = std::clamp(overall, 0, 100);
    detail = std::clamp(detail, 0, 100);
    if (overall == m_dualOverall && detail == m_dualDetail) return;
    m_dualOverall = overall;
    m_dualDetail = detail;
    DrawDualBars(overall, detail);
}

void UiPort::DualClose() { HideDual(); }
