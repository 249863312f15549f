#pragma once
// RegionLoudness: the loudness of regions as the chain makes them ("Measure Loudness"), kept
// for "View Region Info" until the region or its snap changes. A region is measured as an
// export would render it (its snap recalled, through the whole chain, dithered to 16 bits),
// into a meter and no file.
//
// Threading: main thread only.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "loudness/LoudnessMeter.h"

class CCore;
class CRegion;
class ExportJob;

class RegionLoudness {
public:
    static constexpr const char* kReportCaption = "Loudness Report";
    static constexpr const char* kNoSelection = "No region selected.";

    explicit RegionLoudness(CCore& core) : m_core(core) {}

    // Measures the regions with the job's render (progress dialog, main timer off), keeps the
    // figures and shows the report of one line per region. editMode chooses the snaps as the
    // export does. False when nothing was measured (no region, a busy transport, an abort).
    bool Measure(ExportJob& job, const std::vector<CRegion*>& regions, bool editMode);

    // The region's figures while the region and the snap it would be rendered with are as they
    // were measured; false otherwise (never measured, or changed since).
    bool Known(const CRegion& region, bool editMode, LoudnessFigures& figures) const;

    // The rows "View Region Info" adds after its own: "Loudness", "Loudness Range" and "True
    // Peak", empty until measured.
    std::vector<std::pair<std::string, std::string>> Rows(const CRegion& region, bool editMode) const;

private:
    // What the render of the region depends on: its bounds, fades and sample, and the snap it
    // would be rendered with (or, without one, the chain as it is).
    uint64_t Fingerprint(const CRegion& region, bool editMode) const;

    struct Entry {
        uint64_t print = 0;
        LoudnessFigures figures;
    };
    CCore& m_core;
    std::map<int32_t, Entry> m_known; // by region id
};
