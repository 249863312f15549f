#pragma once
// CRegionTextIndex: lower-case copies of every region's searched texts (name, notes, title,
// artist, album, genre), packed one region after the other in one buffer in list order, with
// the region's Folder flag and search mark. The search reads them instead of the regions: a
// search over a large library then walks two arrays from front to back, copies nothing and
// does not wait for 100,000 regions scattered over memory to arrive.
//
// An entry is made again when its place in the list holds another region or its region's stamp
// has changed. Reading a region's stamp means touching the region; that is skipped while no
// stamp has been issued since the last complete walk (CRegion::StampsIssued), because then no
// region has changed or been made since every entry was checked; and after a few changes only
// the regions that took the new stamps are looked at (CRegionStamps.h).
//
// Threading: main thread only, like the region list that owns it.

#include <cstdint>
#include <string_view>
#include <vector>

class CRegion;

class CRegionTextIndex {
public:
    // The order of the texts in an entry; the first five are the ones "All Fields" searches.
    enum Text { Name = 0, Notes = 1, Title = 2, Artist = 3, Album = 4, Genre = 5, kTexts = 6 };

    struct Entry {
        const CRegion* region = nullptr;
        uint64_t stamp = 0;
        uint32_t offset = 0;
        uint32_t mark = 0;           // the region's search mark
        uint8_t length[kTexts] = {}; // every searched text is shorter than 256 bytes
        bool folder = false;
    };

    // Prepares for a walk over a list of count records.
    void Begin(int count);
    // The entry of the record at list position i, made again first when it is stale.
    const Entry& At(int i, const CRegion& region);
    // Sets the search mark of the record at i (after At) on the region and in the entry.
    void SetMark(int i, CRegion& region, uint32_t mark);
    // The walk has called At for every position: from now on, until the next stamp, the
    // entries need no check against their regions.
    void End();
    std::string_view TextOf(const Entry& e, int text) const;
    // Name to album in one piece: a word missing here is in none of the "All Fields" texts.
    std::string_view AllFieldsOf(const Entry& e) const;

    // ASCII lower case: the search compares bytes, and UTF-8 sequences are left as they are.
    static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

private:
    void Make(Entry& e, const CRegion& region);
    void Compact();

    std::vector<Entry> m_entries;
    std::vector<char> m_text;
    size_t m_live = 0;                      // bytes of m_text that entries still use
    uint64_t m_checkedAt = 0;               // CRegion::StampsIssued() when the last walk ended
    bool m_checked = false;                 // there was such a walk; entries need a look only if suspect
    std::vector<const CRegion*> m_suspects; // sorted: regions stamped since that walk
};
