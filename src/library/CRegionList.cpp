#include "library/CRegionList.h"

#include <algorithm>
#include <strings.h>

#include "library/CRegionTextIndex.h"

namespace {
// Name order of the region tree and browser: letter case does not count.
int CompareNames(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()); }
} // namespace

CRegionList::CRegionList() = default;
CRegionList::~CRegionList() { Clear(); }

CRegionTextIndex& CRegionList::TextIndex() const {
    if (!m_textIndex) m_textIndex = std::make_unique<CRegionTextIndex>();
    return *m_textIndex;
}

void CRegionList::BuildTextIndex() const {
    CRegionTextIndex& index = TextIndex();
    index.Begin(Count());
    int at = 0;
    m_list.ForEach([&](const CRegion* r) { index.At(at++, *r); });
    index.End();
}

void CRegionList::Insert(CRegion* region) {
    if (!region) return;
    const bool folder = region->IsFolder();
    // The list is always in order, so a record that sorts after the last one is appended
    // without the walk. The database writes records in list order, which keeps loading linear.
    if (CRegion* last = m_list.Last()) {
        if (folder ? last->IsFolder() && CompareNames(region->GetName(), last->GetName()) >= 0
                   : !last->IsFolder() && CompareNames(region->GetName(), last->GetName()) >= 0) {
            m_list.Append(region);
            return;
        }
    }
    OList::Position saved = m_list.GetCursor();
    m_list.Reset();
    while (!m_list.AtEnd()) {
        CRegion* r = m_list.Current();
        if (folder) {
            if (!r->IsFolder() || CompareNames(region->GetName(), r->GetName()) < 0) break;
        } else {
            if (!r->IsFolder() && CompareNames(region->GetName(), r->GetName()) < 0) break;
        }
        m_list.Advance();
    }
    m_list.InsertBeforeCursor(region);
    m_list.SetCursor(saved);
}

int CRegionList::Compare(const CRegion* a, const CRegion* b) {
    if (a->IsFolder() != b->IsFolder()) return a->IsFolder() ? -1 : 1;
    return CompareNames(a->GetName(), b->GetName());
}

void CRegionList::InsertAll(std::vector<CRegion*> regions) {
    regions.erase(std::remove(regions.begin(), regions.end(), nullptr), regions.end());
    if (regions.empty()) return;
    std::vector<CRegion*> all;
    all.reserve(static_cast<size_t>(m_list.Count()) + regions.size());
    m_list.ForEach([&](CRegion* r) { all.push_back(r); });
    all.insert(all.end(), regions.begin(), regions.end());
    std::stable_sort(all.begin(), all.end(), [](const CRegion* a, const CRegion* b) { return Compare(a, b) < 0; });
    m_list.Clear();
    for (CRegion* r : all) m_list.Append(r);
}

bool CRegionList::Remove(CRegion* region) { return m_list.Remove(region); }

bool CRegionList::Delete(CRegion* region) {
    if (!m_list.Remove(region)) return false;
    delete region;
    return true;
}

void CRegionList::Clear() {
    m_list.ForEach([](CRegion* r) { delete r; });
    m_list.Clear();
}

CRegion* CRegionList::RootOf(const CSample* sample) const {
    CRegion* found = nullptr;
    if (!sample) return found; // a missing sample is nobody's in particular
    m_list.ForEach([&](CRegion* r) {
        if (!found && r->IsRoot() && !r->IsFolder() && r->GetSample() == sample) found = r;
    });
    return found;
}

bool CRegionList::SameSample(const CRegion* a, const CRegion* b) {
    if (!a || !b) return false;
    if (a->GetSample() || b->GetSample()) return a->GetSample() == b->GetSample();
    return a->GetSampleId() != 0 && a->GetSampleId() == b->GetSampleId();
}

CRegion* CRegionList::OtherUserOfSample(const CRegion* region) const {
    if (!region) return nullptr;
    CRegion* found = nullptr;
    m_list.ForEach([&](CRegion* r) {
        if (!found && r != region && !r->IsFolder() && SameSample(r, region)) found = r;
    });
    return found;
}

CRegion* CRegionList::FolderById(int32_t id) const {
    CRegion* found = nullptr;
    m_list.ForEach([&](CRegion* r) {
        if (!found && r->IsFolder() && r->GetId() == id) found = r;
    });
    return found;
}

CRegion* CRegionList::NthInSelectedFolder(int n) const {
    if (n < 0) return nullptr;
    CRegion* found = nullptr;
    int i = 0;
    m_list.ForEach([&](CRegion* r) {
        if (found || r->IsFolder() || r->GetParentId() != m_selectedFolder) return;
        if (i++ == n) found = r;
    });
    return found;
}

CRegion* CRegionList::NthOfSameSample(const CRegion* region, int n) const {
    if (!region || n < 0) return nullptr;
    CRegion* found = nullptr;
    int i = 0;
    m_list.ForEach([&](CRegion* r) {
        if (found || r->IsFolder() || !SameSample(r, region)) return;
        if (i++ == n) found = r;
    });
    return found;
}

bool CRegionList::FolderEmpty(int32_t folderId) const {
    bool empty = true;
    m_list.ForEach([&](CRegion* r) {
        if (r->GetParentId() == folderId) empty = false;
    });
    return empty;
}

bool CRegionList::InFolder(const CRegion* region, int32_t folderId) const {
    if (!region) return false;
    int32_t id = region->GetParentId();
    // A damaged library could hold a cycle of parents; no chain is longer than the list.
    for (int steps = 0; steps <= Count() + 1; ++steps) {
        if (id == folderId) return true;
        if (id == 0) return false;
        const CRegion* folder = FolderById(id);
        if (!folder) return false;
        id = folder->GetParentId();
    }
    return false;
}

int32_t CRegionList::FolderForNew() const { return m_selectedFolder > 1000 ? m_selectedFolder : FolderId::User; }
