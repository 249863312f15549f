#include "library/CPresetList.h"

#include <strings.h>

#include <utility>
#include <vector>

namespace {
struct FactoryPreset {
    const char* name;
    int32_t id;
    int32_t folder;
    int kind; // −1: the whole stack
    std::vector<std::pair<int, float>> changes;
};

// The factory presets in their table order. Each one-kind preset holds that kind's full "Flat"
// list with the changed values put in place.
const std::vector<FactoryPreset>& FactoryTable() {
    using K = int;
    const K eq = ParamKind::EQ, comp = ParamKind::Compressor, img = ParamKind::Imager;
    static const std::vector<FactoryPreset> table = {
        {"Flat", 1, 2, -1, {}},
        {"Flat", 101, 5, eq, {}},
        {"EP01", 102, 5, eq, {{9, 10}, {12, 10}, {15, -1}}},
        {"EP02", 103, 5, eq, {{9, 10}, {10, 6}, {11, 6}, {12, 10}, {15, -9}}},
        {"EP03", 104, 5, eq, {{9, 10}, {10, 6}, {12, 10}, {15, -5}}},
        {"EP04", 105, 5, eq, {{9, 10}, {11, 6}, {12, 10}, {15, -4}}},
        {"EP05", 106, 5, eq, {{9, 10}, {10, 12}, {12, 10}, {15, -5}}},
        {"EP06", 107, 5, eq, {{9, 10}, {11, 12}, {15, -3}}},
        {"EP07", 108, 5, eq, {{9, 10}, {10, 10}, {11, 10}, {12, 10}, {15, -15}}},
        {"EP08", 109, 5, eq, {{14, 10}, {9, 6}, {10, 6}, {12, 6}, {15, -9}}},
        {"EP09", 110, 5, eq, {{14, 10}, {9, 6}, {11, 6}, {12, 6}, {15, -7}}},
        {"Flat", 201, 8, comp, {}},
        {"DP01", 202, 8, comp, {{5, -30}, {6, 2}, {13, 3}}},
        {"DP02", 203, 8, comp, {{6, 2}, {7, 80}, {13, 2}, {14, 600}, {15, 2000}}},
        {"DP03", 204, 8, comp, {{5, -30}, {6, 2}, {7, 20}, {13, 3}, {14, 500}, {15, 3500}}},
        {"DP04", 205, 8, comp, {{5, -30}, {6, 4}, {7, 50}, {13, 5}, {14, 800}}},
        {"DP05", 206, 8, comp, {{6, 4}, {7, 80}, {13, 4}, {14, 200}, {15, 4500}}},
        {"DP06", 207, 8, comp, {{5, -30}, {6, 4}, {7, 60}, {13, 5}, {14, 500}, {15, 4000}}},
        {"DP07", 208, 8, comp, {{5, -30}, {6, 4}, {7, 1}, {13, 8}, {14, 800}, {15, 5500}}},
        {"DP08", 209, 8, comp, {{6, 4}, {7, 1}, {13, 5}, {14, 600}, {15, 5000}}},
        {"DP09", 210, 8, comp, {{5, -30}, {6, 4}, {7, 1}, {13, 8}, {15, 2000}}},
        {"Flat", 301, 11, img, {{8, 2000}}},
        {"SP01", 302, 11, img, {{3, 1}, {7, 1}, {8, 2000}}},
        {"SP02", 303, 11, img, {{4, 1}, {7, 1}, {8, 2000}}},
        {"SP03", 304, 11, img, {{5, -2}, {6, 3}, {7, 1}, {8, 500}}},
        {"SP04", 305, 11, img, {{5, -3}, {6, 6}, {7, 1}, {8, 1000}}},
        {"SP05", 306, 11, img, {{5, -5}, {6, 9}, {7, 1}, {8, 2000}}},
        {"SP06", 307, 11, img, {{5, -6}, {6, 12}, {7, 1}, {8, 4000}}},
        {"SP07", 308, 11, img, {{5, -3}, {6, 9}, {7, 1}, {8, 1000}}},
        {"SP08", 309, 11, img, {{5, -2}, {6, 6}, {7, 1}, {8, 2000}}},
        {"SP09", 310, 11, img, {{6, 3}, {7, 1}, {8, 5000}}},
    };
    return table;
}

void ApplyChanges(CParamBlock& block, int kind, const std::vector<std::pair<int, float>>& changes) {
    int n = block.kindCount;
    for (int i = 0; i < n && i < CParamBlock::kMaxKinds; ++i) {
        if (block.kinds[i] != kind) continue;
        for (int j = 0; j < block.valueCounts[i] && j < CParamBlock::kMaxValues; ++j)
            for (const auto& [id, value] : changes)
                if (block.ids[i * CParamBlock::kMaxValues + j] == id)
                    block.values[i * CParamBlock::kMaxValues + j] = value;
    }
}

// Negative: a goes first; names compared without regard to case.
int CompareNames(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()); }
} // namespace

CPresetList::~CPresetList() { Clear(); }

void CPresetList::Clear() {
    m_list.ForEach([](CDSPPreset* p) { delete p; });
    m_list.Clear();
}

void CPresetList::CreateFactory() {
    // Factory presets go before every user preset, in table order.
    OList::Position saved = m_list.GetCursor();
    m_list.Reset();
    while (!m_list.AtEnd() && m_list.Current()->IsFactory()) m_list.Advance();
    for (const FactoryPreset& f : FactoryTable()) {
        CDSPPreset* p = new CDSPPreset(f.name, f.id, f.folder, CDSPPreset::FlagFactory);
        if (f.kind < 0) {
            CDSPPreset::FillFlatStack(p->Params());
        } else {
            CDSPPreset::AppendFlat(p->Params(), f.kind);
            ApplyChanges(p->Params(), f.kind, f.changes);
        }
        m_list.InsertBeforeCursor(p);
    }
    m_list.SetCursor(saved);
}

void CPresetList::InsertUser(CDSPPreset* preset) {
    if (!preset) return;
    OList::Position saved = m_list.GetCursor();
    m_list.Reset();
    while (!m_list.AtEnd()) {
        CDSPPreset* p = m_list.Current();
        if (!p->IsFactory() && CompareNames(p->GetName(), preset->GetName()) > 0) break;
        m_list.Advance();
    }
    m_list.InsertBeforeCursor(preset);
    m_list.SetCursor(saved);
}

bool CPresetList::Remove(CDSPPreset* preset) { return m_list.Remove(preset); }

bool CPresetList::Delete(CDSPPreset* preset) {
    if (!m_list.Remove(preset)) return false;
    delete preset;
    return true;
}

int CPresetList::UserFolderFor(int node) {
    int category = PresetNode::Category(node);
    if (category < 0) return -1;
    return category * 3 + 3;
}

CDSPPreset* CPresetList::MakeUserPreset(int node) {
    int folder = UserFolderFor(node);
    if (folder < 0) return nullptr;
    CDSPPreset* p = new CDSPPreset("Unnamed", ++m_counter, folder, CDSPPreset::FlagUser);
    m_currentFolder = folder;
    InsertUser(p);
    return p;
}

CDSPPreset* CPresetList::FindById(int32_t id) const {
    CDSPPreset* found = nullptr;
    m_list.ForEach([&](CDSPPreset* p) {
        if (!found && p->GetId() == id) found = p;
    });
    return found;
}

CDSPPreset* CPresetList::FirstInFolder(int32_t folder) const {
    CDSPPreset* found = nullptr;
    m_list.ForEach([&](CDSPPreset* p) {
        if (!found && p->GetFolder() == folder) found = p;
    });
    return found;
}

std::vector<CDSPPreset*> CPresetList::InFolder(int32_t folder) const {
    std::vector<CDSPPreset*> out;
    m_list.ForEach([&](CDSPPreset* p) {
        if (p->GetFolder() == folder) out.push_back(p);
    });
    return out;
}

int CPresetList::UserCount() const {
    int n = 0;
    m_list.ForEach([&](CDSPPreset* p) {
        if (!p->IsFactory()) ++n;
    });
    return n;
}
