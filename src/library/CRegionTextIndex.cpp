#include "library/CRegionTextIndex.h"

#include <algorithm>
#include <functional>
#include <string>

#include "library/CRegion.h"
#include "library/CRegionStamps.h"

void CRegionTextIndex::Begin(int count) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    if (m_entries.size() > n) {
        for (size_t i = n; i < m_entries.size(); ++i) {
            const Entry& e = m_entries[i];
            for (uint8_t len : e.length) m_live -= len;
        }
    }
    m_entries.resize(n);
    m_suspects.clear();
    if (m_checked && CRegion::StampsIssued() != m_checkedAt) {
        // A few edits since the last walk: only the regions that took the stamps are looked at.
        // Many (a load, a long session away): every region is, once.
        if (!RegionsStampedSince(m_checkedAt, m_suspects) || m_suspects.size() > n / 8 + 64) {
            m_checked = false;
            m_suspects.clear();
        } else {
            std::sort(m_suspects.begin(), m_suspects.end(), std::less<const CRegion*>());
        }
    }
    // Stale bytes are dropped once they outweigh the live ones, so a library that is edited for
    // hours does not grow the buffer without end.
    if (m_text.size() > 2 * m_live + (1u << 20)) Compact();
}

const CRegionTextIndex::Entry& CRegionTextIndex::At(int i, const CRegion& region) {
    Entry& e = m_entries[static_cast<size_t>(i)];
    const bool look = !m_checked || (!m_suspects.empty() && std::binary_search(m_suspects.begin(), m_suspects.end(),
                                                                               &region, std::less<const CRegion*>()));
    if (e.region != &region || (look && e.stamp != region.TextStamp())) Make(e, region);
    return e;
}

void CRegionTextIndex::SetMark(int i, CRegion& region, uint32_t mark) {
    Entry& e = m_entries[static_cast<size_t>(i)];
    if (e.mark == mark) return;
    e.mark = mark;
    region.m_searchMark = mark; // without a new stamp: the entry knows
}

void CRegionTextIndex::End() {
    m_checkedAt = CRegion::StampsIssued();
    m_checked = true;
}

void CRegionTextIndex::Make(Entry& e, const CRegion& region) {
    for (uint8_t len : e.length) m_live -= len;
    const std::string* texts[kTexts] = {&region.GetName(),   &region.GetNotes(), &region.GetTitle(),
                                        &region.GetArtist(), &region.GetAlbum(), &region.GetGenre()};
    e.region = &region;
    e.stamp = region.TextStamp();
    e.mark = region.GetSearchMark();
    e.folder = region.IsFolder();
    e.offset = static_cast<uint32_t>(m_text.size());
    size_t total = 0;
    for (int t = 0; t < kTexts; ++t) {
        // The setters keep every text below 256 bytes; a longer one is searched in its first 255.
        const size_t len = texts[t]->size() < 255 ? texts[t]->size() : 255;
        e.length[t] = static_cast<uint8_t>(len);
        total += len;
    }
    m_text.resize(m_text.size() + total);
    char* out = m_text.data() + e.offset;
    for (int t = 0; t < kTexts; ++t) {
        const char* in = texts[t]->data();
        for (size_t k = 0; k < e.length[t]; ++k) *out++ = Lower(in[k]);
    }
    m_live += total;
}

void CRegionTextIndex::Compact() {
    std::vector<char> packed;
    packed.reserve(m_live);
    for (Entry& e : m_entries) {
        size_t len = 0;
        for (uint8_t l : e.length) len += l;
        const uint32_t at = static_cast<uint32_t>(packed.size());
        packed.insert(packed.end(), m_text.begin() + e.offset, m_text.begin() + e.offset + len);
        e.offset = at;
    }
    m_text.swap(packed);
}

std::string_view CRegionTextIndex::TextOf(const Entry& e, int text) const {
    size_t at = e.offset;
    for (int t = 0; t < text; ++t) at += e.length[t];
    return {m_text.data() + at, e.length[text]};
}

std::string_view CRegionTextIndex::AllFieldsOf(const Entry& e) const {
    size_t len = 0;
    for (int t = 0; t < Genre; ++t) len += e.length[t];
    return {m_text.data() + e.offset, len};
}
