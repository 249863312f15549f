#pragma once
// The program's UiPort: Qt message boxes, file and folder dialogs and the shared progress and
// report dialogs. While a progress dialog shows, the main window is disabled.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/Dialogs.h"
#include "common/UiPort.h"

class QtUiPort : public UiPort {
public:
    explicit QtUiPort(QWidget* mainWindow);
    ~QtUiPort() override;

    // Creates the dialogs (after the main window exists).
    void CreateDialogs();

    void Notice(const std::string& text, const std::string& caption = "") override;
    bool Question(const std::string& text, const std::string& caption = "", bool warning = false) override;
    bool ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) override;
    // Where a folder chooser without a start folder opens: the user's music folder when it
    // exists, else the home folder.
    static QString DefaultFolderStart();
    bool ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter, bool multiple,
                     std::vector<std::string>& files) override;
    void LetEventsThrough() override;
    void ReportClear() override;
    void ReportAddLine(const std::string& file, const std::string& result) override;
    void ReportPrepare(const std::string& caption, bool* dontShowAgain) override;
    void ReportShow() override;

    TGaugeForm* gauge() const { return m_gauge; }
    TDualGaugeForm* dualGauge() const { return m_dual; }
    TReportForm* report() const { return m_report; }

protected:
    void ShowProgress(bool withAbort) override;
    void SetProgressTextShown(const std::string& text) override;
    void DrawProgressBar(int percent) override;
    void HideProgress() override;
    void ShowDual() override;
    void SetDualTextShown(const std::string& text) override;
    void DrawDualBars(int overall, int detail) override;
    void HideDual() override;

private:
    QPointer<QWidget> m_main;
    TGaugeForm* m_gauge = nullptr;
    TDualGaugeForm* m_dual = nullptr;
    TReportForm* m_report = nullptr;
    void Centre(QWidget* w);
    // Makes a shown progress dialog the active window.
    void TakeKeyboard(QWidget* dialog);
};
