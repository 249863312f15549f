#include "app/ExportController.h"

#include <QAction>
#include <QWidget>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/TEditTagsForm.h"
#include "app/TExportForm.h"
#include "app/TExtEncodersForm.h"
#include "app/TRenameForm.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/RegionLoudness.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"
#include "library/CRegionList.h"

namespace {
// Preference key of the report switch: 1 = "Show 'Export Audio' Reports" unchecked.
constexpr int kExportReportsHidden = 24;
} // namespace

ExportController::ExportController(CCore& core, UiPort& ui, BrowserController& browser, QWidget* window)
    : AreaController(core), m_ui(ui), m_browser(browser), m_window(window),
      m_form(std::make_unique<TExportForm>(ui, browser.WorkList(), window)) {}

ExportController::~ExportController() = default;

void ExportController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("edit.export", [this](bool) { Export(kExportFromBrowser); });
    commands.Bind("vtape.exportAll", [this](bool) { Export(kExportFromVTape); });
    commands.Bind("edit.measureLoudness", [this](bool) { MeasureLoudness(); });
    commands.Bind("edit.rename", [this](bool) {
        if (!m_core.RegionList()) return;
        const int renamed = TRenameForm::RenameSelection(
            *m_core.RegionList(), BrowserSelection(), [this](const std::string& text) { m_ui.Notice(text); }, m_window);
        if (renamed > 0) Redraw();
    });
    commands.Bind("edit.editTags", [this](bool) {
        if (TEditTagsForm::EditSelection(m_tags, BrowserSelection(), m_window)) Redraw();
    });
    commands.Bind("view.showExportReports", [this](bool on) { m_showReports = on; });
    commands.Bind("setup.extEncoders", [this](bool) {
        TExtEncodersForm form(m_core.Encoders(), m_window);
        form.exec();
        // The export form builds its format list from the encoders each time it opens.
    });
}

void ExportController::CoreStarted() {
    CPrefs& prefs = *m_core.Prefs();
    m_showReports = !(prefs.Has(kExportReportsHidden) && prefs.GetByte(kExportReportsHidden) == 1);
    if (m_commands)
        if (QAction* a = m_commands->Action("view.showExportReports")) a->setChecked(m_showReports);
    m_job = std::make_unique<ExportJob>(m_core);
    m_loudness = std::make_unique<RegionLoudness>(m_core);
    m_job->SetMainTimerHook([this](bool on) {
        if (m_mainTimer) m_mainTimer(on);
    });
}

void ExportController::CoreStopping() {
    if (CPrefs* prefs = m_core.Prefs()) prefs->SetByte(kExportReportsHidden, m_showReports ? 0 : 1);
    m_loudness.reset();
    m_job.reset();
}

void ExportController::MeasureLoudness() {
    if (!m_job || !m_loudness || !m_core.Transport() || !m_core.Transport()->IsStopped()) return;
    m_loudness->Measure(*m_job, BrowserSelection(), m_mode == kModeEdit);
}

std::vector<std::pair<std::string, std::string>> ExportController::LoudnessRows(const CRegion& region) const {
    if (!m_loudness) return {};
    return m_loudness->Rows(region, m_mode == kModeEdit);
}

std::vector<CRegion*> ExportController::BrowserSelection() const {
    std::vector<CRegion*> v;
    const CTape& browser = m_browser.Browser();
    for (int k = 0; k < browser.CountSelected(); ++k)
        if (CRegion* r = browser.SelectedAt(k)) v.push_back(r);
    return v;
}

std::vector<CRegion*> ExportController::Regions(ExportSource source) const {
    if (source == kExportFromBrowser) return BrowserSelection();
    std::vector<CRegion*> v;
    const CTape& tape = m_browser.VTape();
    for (int i = 0; i < tape.Count(); ++i)
        if (CRegion* r = tape.RegionAt(i)) v.push_back(r);
    return v;
}

void ExportController::Export(ExportSource source) {
    if (!m_job) return;
    const std::vector<CRegion*> regions = Regions(source);
    if (!m_job->MayStart(source, regions.size())) return;
    m_form->Prepare(&m_core.Encoders(), m_folder);
    const bool go = m_form->exec() == QDialog::Accepted;
    // The folder chosen lasts until the program ends, whether or not this export ran.
    m_folder = m_form->Folder();
    if (!go) return;
    m_job->SetEditMode(m_mode == kModeEdit);
    m_job->Export(m_form->Choice(), regions, m_showReports);
    if (m_commands)
        if (QAction* a = m_commands->Action("view.showExportReports")) a->setChecked(m_showReports);
}

void ExportController::Redraw() {
    // A renamed region moves to its new place in the folder; the selection stays as it was.
    const std::vector<CRegion*> selected = BrowserSelection();
    if (CRegionList* list = m_core.RegionList()) m_browser.ShowFolder(list->GetSelectedFolder());
    for (CRegion* r : selected) m_browser.Browser().Select(r);
    m_browser.Redraw();
}
