#include "core/RegionLoudness.h"

#include <cstring>

#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "dsp/CCompressor.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "library/CDSPSnap.h"
#include "library/CParamBlock.h"
#include "library/CRegion.h"

namespace {

// FNV-1a: enough to tell one setting of a region from another.
class Print {
public:
    template <typename T> void Add(const T& v) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        for (unsigned char b : bytes) m_h = (m_h ^ b) * 1099511628211ull;
    }
    void Add(const CParamBlock& p) {
        Add(p.kindCount);
        for (int k = 0; k < p.kindCount && k < CParamBlock::kMaxKinds; ++k) {
            Add(p.kinds[k]);
            Add(p.valueCounts[k]);
            for (int i = 0; i < p.valueCounts[k] && i < CParamBlock::kMaxValues; ++i) {
                Add(p.ids[k * CParamBlock::kMaxValues + i]);
                Add(p.values[k * CParamBlock::kMaxValues + i]);
            }
        }
    }
    uint64_t Value() const { return m_h; }

private:
    uint64_t m_h = 14695981039346656037ull;
};

} // namespace

uint64_t RegionLoudness::Fingerprint(const CRegion& region, bool editMode) const {
    Print p;
    p.Add(region.GetStart());
    p.Add(region.GetEnd());
    p.Add(region.GetFadeInLength());
    p.Add(region.GetFadeOutLength());
    p.Add(region.GetFadeInShape());
    p.Add(region.GetFadeOutShape());
    p.Add(reinterpret_cast<uintptr_t>(region.GetSample()));
    if (const CDSPSnap* snap = region.Snaps().SnapToApply(editMode)) {
        p.Add(1);
        p.Add(snap->Params());
    } else {
        CParamBlock chain;
        for (CProcessor* proc :
             {static_cast<CProcessor*>(m_core.Equaliser()), static_cast<CProcessor*>(m_core.Compressor()),
              static_cast<CProcessor*>(m_core.StereoImager()), static_cast<CProcessor*>(m_core.ValveAmp())})
            if (proc) proc->StoreParameters(chain);
        p.Add(0);
        p.Add(chain);
    }
    // The valve amplifier keeps its master switches out of snaps; they change the render too.
    if (const CTubeAmp* valve = m_core.ValveAmp()) {
        p.Add(valve->BypassAll());
        p.Add(valve->BypassDsp());
        p.Add(valve->Param(CTubeAmp::IdMonoCheck));
    }
    return p.Value();
}

bool RegionLoudness::Measure(ExportJob& job, const std::vector<CRegion*>& regions, bool editMode) {
    UiPort& ui = m_core.Ui();
    if (regions.empty()) {
        ui.Notice(kNoSelection);
        return false;
    }
    // The prints are taken before the render: it recalls each region's snap into the chain.
    std::vector<uint64_t> prints;
    for (const CRegion* r : regions) prints.push_back(r ? Fingerprint(*r, editMode) : 0);
    job.SetEditMode(editMode);
    std::vector<LoudnessFigures> figures;
    std::vector<bool> measured;
    const bool complete = job.MeasureRegions(regions, figures, measured);
    bool any = false;
    for (size_t i = 0; i < regions.size(); ++i) {
        if (!regions[i] || !measured[i]) continue;
        m_known[regions[i]->GetId()] = Entry{prints[i], figures[i]};
        any = true;
    }
    ui.ReportPrepare(kReportCaption, nullptr);
    ui.ReportShow();
    return complete && any;
}

bool RegionLoudness::Known(const CRegion& region, bool editMode, LoudnessFigures& figures) const {
    const auto it = m_known.find(region.GetId());
    if (it == m_known.end() || it->second.print != Fingerprint(region, editMode)) return false;
    figures = it->second.figures;
    return true;
}

std::vector<std::pair<std::string, std::string>> RegionLoudness::Rows(const CRegion& region, bool editMode) const {
    LoudnessFigures f;
    if (!Known(region, editMode, f)) return {{"Loudness", ""}, {"Loudness Range", ""}, {"True Peak", ""}};
    return {{"Loudness", LoudnessText(f.integrated, "LUFS")},
            {"Loudness Range", LoudnessText(f.range, "LU")},
            {"True Peak", LoudnessText(f.truePeak, "dBTP")}};
}
