#include "core/SnapCommands.h"

#include "core/CCore.h"
#include "core/VSTSnap.h"
#include "dsp/CCompressor.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CPresetList.h"
#include "library/CRegion.h"

SnapCommands::SnapCommands(CCore& core) : m_core(core) {}
SnapCommands::~SnapCommands() = default;

void SnapCommands::StoreStack(CParamBlock& block) const {
    if (m_core.Equaliser()) m_core.Equaliser()->StoreParameters(block);
    if (m_core.Compressor()) m_core.Compressor()->StoreParameters(block);
    if (m_core.StereoImager()) m_core.StereoImager()->StoreParameters(block);
    if (m_core.ValveAmp()) m_core.ValveAmp()->StoreParameters(block);
}

CDSPSnap* SnapCommands::TakeSnap(CRegion& region, bool editMode) {
    auto* snap = new CDSPSnap(kTakenName);
    StoreStack(snap->Params());
    if (m_core.VSTChain()) StoreVSTChain(*m_core.VSTChain(), snap->Vst());
    else snap->Vst().Clear();
    region.Snaps().Append(snap);
    m_core.ApplyRegionSnap(region, editMode);
    return snap;
}

bool SnapCommands::Pick(CRegion& region, int n, bool editMode) {
    if (n < 0 || n >= region.Snaps().Count()) return false;
    region.Snaps().SetCurrent(n);
    m_core.ApplyRegionSnap(region, editMode);
    return true;
}

void SnapCommands::Favorite(CRegion& region) { region.Snaps().ToggleFavourite(); }

bool SnapCommands::CanCutOrDelete(const CRegion* region, int n) { return region && region->Snaps().CanDelete(n); }

bool SnapCommands::Delete(CRegion& region, int n) { return region.Snaps().Delete(n); }

bool SnapCommands::Copy(const CRegion& region, int n) {
    CDSPSnap* copy = region.Snaps().CopyOf(n);
    if (!copy) return false;
    m_clipboard.reset(copy);
    return true;
}

bool SnapCommands::Cut(CRegion& region, int n) {
    if (!CanCutOrDelete(&region, n)) return false;
    return Copy(region, n) && Delete(region, n);
}

bool SnapCommands::Paste(CRegion& region) {
    if (!m_clipboard) return false;
    region.Snaps().Append(new CDSPSnap(*m_clipboard));
    return true;
}

bool SnapCommands::Rename(CRegion& region, int n, const std::string& name) { return region.Snaps().Rename(n, name); }

CDSPPreset* SnapCommands::MakePreset(int node) {
    CPresetList* list = m_core.PresetList();
    if (!list) return nullptr;
    CDSPPreset* p = list->MakeUserPreset(node);
    if (!p) return nullptr;
    CParamBlock& block = p->Params();
    switch (PresetNode::Category(node)) {
    case 0: StoreStack(block); break;
    case 1: m_core.Equaliser()->StoreParameters(block); break;
    case 2: m_core.Compressor()->StoreParameters(block); break;
    case 3: m_core.StereoImager()->StoreParameters(block); break;
    default: break;
    }
    return p;
}

bool SnapCommands::ApplyFlat(int factoryFolder) {
    CPresetList* list = m_core.PresetList();
    const CDSPPreset* flat = list ? list->FirstInFolder(factoryFolder) : nullptr;
    if (!flat) return false;
    m_core.ApplyPreset(*flat);
    return true;
}

bool SnapCommands::PresetEditable(const CDSPPreset* preset) const {
    CPresetList* list = m_core.PresetList();
    return preset && list && !preset->IsFactory() && PresetNode::IsUserFolder(list->GetCurrentFolder()) &&
           preset->GetFolder() == list->GetCurrentFolder();
}

bool SnapCommands::RenamePreset(CDSPPreset* preset, const std::string& name) {
    if (!PresetEditable(preset)) return false;
    // Out and in again: user presets are kept in name order.
    CPresetList* list = m_core.PresetList();
    list->Remove(preset);
    preset->SetName(name);
    list->InsertUser(preset);
    return true;
}

bool SnapCommands::DeletePreset(CDSPPreset* preset) {
    if (!PresetEditable(preset)) return false;
    return m_core.PresetList()->Delete(preset);
}
