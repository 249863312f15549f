#pragma once
// ExportController: export, external encoders, tags and renaming from the window. It binds
// "Export..." (the region browser's selection) and the VTape's "Export All ..." (the tape's
// items in tape order) to the export form and the export job, "External Encoders..." to the
// "Encoders" dialog, "Rename..." and "Edit Tags..." to the batch dialogs over the browser's
// selection, and "Show 'Export Audio' Reports" to the report setting kept in the preferences.
// The regions come from the browser area's two tapes, which it only reads.
//
// Threading: main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AreaController.h"
#include "core/ExportJob.h"
#include "export/TagBatch.h"

class BrowserController;
class CommandTable;
class CRegion;
class RegionLoudness;
class QWidget;
class TExportForm;
class UiPort;

class ExportController : public AreaController {
public:
    ExportController(CCore& core, UiPort& ui, BrowserController& browser, QWidget* window);
    ~ExportController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void ModeChanged(int mode) override { m_mode = mode; }
    void CoreStopping() override;

    // The window's main timer is off while an export runs.
    void SetMainTimerHook(std::function<void(bool on)> hook) { m_mainTimer = std::move(hook); }

    // The export command for a source (kExportFromVTape or kExportFromBrowser).
    void Export(ExportSource source);
    // "Measure Loudness" over the browser's selection.
    void MeasureLoudness();
    // The loudness rows "View Region Info" adds for a region (empty figures until measured).
    std::vector<std::pair<std::string, std::string>> LoudnessRows(const CRegion& region) const;

private:
    std::vector<CRegion*> Regions(ExportSource source) const;
    std::vector<CRegion*> BrowserSelection() const;
    void Redraw();

    UiPort& m_ui;
    BrowserController& m_browser;
    QWidget* m_window;
    CommandTable* m_commands = nullptr;
    std::unique_ptr<TExportForm> m_form;
    std::unique_ptr<ExportJob> m_job;
    std::unique_ptr<RegionLoudness> m_loudness;
    std::function<void(bool)> m_mainTimer;
    TagEditSession m_tags; // remembers the values last written in this run
    std::string m_folder;  // the export folder, kept until the program ends
    bool m_showReports = true;
    int m_mode = 0;
};
