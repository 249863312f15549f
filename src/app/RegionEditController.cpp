#include "app/RegionEditController.h"

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "core/CCore.h"
#include "core/RegionEditing.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"

RegionEditController::RegionEditController(CCore& core, BrowserController& browser, CWaveViewer& viewer)
    : AreaController(core), m_browser(browser), m_viewer(viewer) {}

RegionEditController::~RegionEditController() = default;

void RegionEditController::RegisterCommands(CommandTable& commands) {
    commands.Bind("edit.duplicate", [this](bool) {
        if (m_mode == kModeEdit) CreateFromRange();
        else DuplicateSelection();
    });
    commands.Bind("edit.cloneDry", [this](bool) { CloneSelection(false); });
    commands.Bind("edit.cloneWet", [this](bool) { CloneSelection(true); });
    commands.Bind("edit.delete", [this](bool) { DeleteSelection(); });
    commands.Bind("graph.createRegion", [this](bool) { CreateFromRange(); });
}

void RegionEditController::CoreStarted() {
    m_editing = std::make_unique<RegionEditing>(m_core);
    m_editing->SetMainTimerHook([this](bool on) {
        if (m_mainTimer) m_mainTimer(on);
    });
    // A region leaves the window's views while its pointer is still good.
    m_editing->SetRemoveHook([this](CRegion* r) {
        m_browser.ForgetRegion(r);
        if (m_viewer.CurrentRegion() == r || m_viewer.LoadedRegion() == r) {
            m_viewer.RemoveRegion();
            if (m_viewerCleared) m_viewerCleared();
        }
    });
}

void RegionEditController::CoreStopping() { m_editing.reset(); }

std::vector<CRegion*> RegionEditController::Selection() const {
    std::vector<CRegion*> v;
    const CTape& tape = const_cast<BrowserController&>(m_browser).Browser();
    for (int k = 0; k < tape.CountSelected(); ++k)
        if (CRegion* r = tape.SelectedAt(k)) v.push_back(r);
    return v;
}

void RegionEditController::SelectOnly(const std::vector<CRegion*>& sources, const std::vector<CRegion*>& made) {
    CTape& tape = m_browser.Browser();
    for (CRegion* r : sources) tape.Deselect(r);
    for (CRegion* r : made) {
        if (!tape.Contains(r)) tape.Add(r);
        tape.Select(r);
    }
    if (!made.empty()) tape.SetCurrent(made.back());
    tape.Layout();
    if (!made.empty()) tape.EnsureVisible(made.back());
    m_browser.BrowserSelectionChanged();
}

CRegion* RegionEditController::CreateFromRange() {
    if (!m_editing) return nullptr;
    RegionEditing::ViewerRange range;
    range.region = m_viewer.CurrentRegion();
    range.on = m_viewer.RangeActive();
    range.start = m_viewer.RangeStart();
    range.end = m_viewer.RangeEnd();
    CRegion* made = m_editing->CreateFromRange(range);
    if (!made) return nullptr;
    m_browser.ShowCreatedRegion(made);
    if (m_changed) m_changed();
    return made;
}

std::vector<CRegion*> RegionEditController::DuplicateSelection() {
    if (!m_editing) return {};
    const std::vector<CRegion*> sources = Selection();
    std::vector<CRegion*> made = m_editing->Duplicate(sources);
    if (!made.empty()) SelectOnly(sources, made);
    return made;
}

void RegionEditController::DeleteSelection() { DeleteRegions(Selection()); }

void RegionEditController::DeleteRegions(const std::vector<CRegion*>& regions) {
    if (!m_editing) return;
    const RegionEditing::DeleteResult r = m_editing->Delete(regions);
    // A deleted root region clears the wave viewer whatever it showed.
    if (r.samplesDeleted > 0 && m_viewer.CurrentRegion()) {
        m_viewer.RemoveRegion();
        if (m_viewerCleared) m_viewerCleared();
    }
    if (r.regionsDeleted > 0) {
        m_browser.BrowserSelectionChanged();
        if (m_changed) m_changed();
    }
}

std::vector<CRegion*> RegionEditController::CloneSelection(bool wet) {
    if (!m_editing) return {};
    const std::vector<CRegion*> sources = Selection();
    bool aborted = false;
    std::vector<CRegion*> made = m_editing->Clone(sources, wet, aborted);
    if (!made.empty()) SelectOnly(sources, made);
    return made;
}
