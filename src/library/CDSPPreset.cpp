#include "library/CDSPPreset.h"

#include <utility>
#include <vector>

#include "common/FixedText.h"

namespace {
using Entries = std::vector<std::pair<int, float>>;

// The "Flat" setting of each processor kind, in its stored order.
const Entries& FlatEntries(int kind) {
    static const Entries valve = {{0, 1}, {1, 0}, {2, 1}, {3, 0}, {4, 0}, {9, 0}, {10, 50}, {11, 0}, {12, 0}, {13, 0}};
    static const Entries eq = {{0, 1},    {1, 10},   {2, 20000}, {13, 50}, {14, 0}, {3, 100}, {4, 1000}, {5, 4000},
                               {6, 5000}, {7, 0.1f}, {8, 0.1f},  {9, 0},   {10, 0}, {11, 0},  {12, 0},   {15, 0}};
    static const Entries comp = {{0, 1},  {1, -60}, {2, 1},  {4, 100}, {5, -20},  {6, 1},    {7, 10},
                                 {8, 50}, {11, 0},  {12, 1}, {13, 0},  {14, 300}, {15, 3000}};
    static const Entries imager = {{0, 1}, {1, 1}, {2, 1}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {9, 0}, {8, 900}};
    static const Entries none;
    switch (kind) {
    case ParamKind::Valve: return valve;
    case ParamKind::EQ: return eq;
    case ParamKind::Compressor: return comp;
    case ParamKind::Imager: return imager;
    default: return none;
    }
}
} // namespace

CDSPPreset::CDSPPreset(const std::string& name, int32_t id, int32_t folder, int32_t flags)
    : m_id(id), m_folder(folder), m_flags(flags) {
    SetName(name);
}

void CDSPPreset::SetName(const std::string& name) { m_name = CutUtf8(name, kNameSize - 1); }

bool CDSPPreset::AppendFlat(CParamBlock& block, int kind) {
    const Entries& e = FlatEntries(kind);
    if (e.empty()) return false;
    for (const auto& [id, value] : e)
        if (!block.Append(kind, id, value)) return false;
    return true;
}

void CDSPPreset::FillFlatStack(CParamBlock& block) {
    block.Clear();
    AppendFlat(block, ParamKind::Valve);
    AppendFlat(block, ParamKind::EQ);
    AppendFlat(block, ParamKind::Compressor);
    AppendFlat(block, ParamKind::Imager);
}
