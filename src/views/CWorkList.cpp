#include "views/CWorkList.h"

#include <algorithm>

#include "common/FixedText.h"

void CWorkList::Insert(CRegion* region, int index) {
    if (!region) return;
    CWorkListItem item{region};
    if (index < 0 || index >= Count()) {
        m_items.push_back(item);
    } else {
        m_items.insert(m_items.begin() + index, item);
    }
}

bool CWorkList::RemoveAll(const CRegion* region) {
    const size_t before = m_items.size();
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [&](const CWorkListItem& i) { return i.region == region; }),
                  m_items.end());
    return m_items.size() != before;
}

CRegion* CWorkList::RegionAt(int index) const {
    return index >= 0 && index < Count() ? m_items[static_cast<size_t>(index)].region : nullptr;
}

bool CWorkList::Contains(const CRegion* region) const {
    return std::any_of(m_items.begin(), m_items.end(), [&](const CWorkListItem& i) { return i.region == region; });
}

void CWorkList::SetBaseName(const std::string& name) { m_baseName = CutUtf8(name, 255); }
