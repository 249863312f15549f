#pragma once
// CRegionList: every region and user folder, in display order: folders first, then regions,
// each group sorted by name without regard to case; equal names keep insertion order.
// Owns its records.
//
// Threading: main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "common/OList.h"
#include "library/CRegion.h"

class CSample;
class CRegionTextIndex;

class CRegionList {
public:
    CRegionList();
    ~CRegionList();
    CRegionList(const CRegionList&) = delete;
    CRegionList& operator=(const CRegionList&) = delete;

    // Inserts in display order; takes ownership.
    void Insert(CRegion* region);
    // Takes ownership of every record and puts all of them in display order at once, with the
    // same result as inserting them one by one in the vector's order (equal names keep that
    // order, after the records already in the list). One stable sort instead of n ordered
    // insertions: a library file whose records are not in list order must load in n log n.
    void InsertAll(std::vector<CRegion*> regions);
    // The display order: negative when a comes before b.
    static int Compare(const CRegion* a, const CRegion* b);
    // Takes a record out without destroying it / takes it out and destroys it.
    bool Remove(CRegion* region);
    bool Delete(CRegion* region);
    // Destroys every record.
    void Clear();

    int Count() const { return m_list.Count(); }
    CRegion* At(int n) const { return m_list.At(n); }

    // First region with the Root flag whose sample is sample, or null.
    CRegion* RootOf(const CSample* sample) const;
    // The first region (not a folder, not region itself) of the same sample, or null.
    CRegion* OtherUserOfSample(const CRegion* region) const;
    bool SampleUsedElsewhere(const CRegion* region) const { return OtherUserOfSample(region) != nullptr; }
    // Whether two regions read the same sample: the same sample object, or, while the sample is
    // missing (regions in "Lost"), the same sample id from the database. Two missing samples
    // are not one sample.
    static bool SameSample(const CRegion* a, const CRegion* b);
    // First folder record with that id, or null.
    CRegion* FolderById(int32_t id) const;
    // The n-th region (0-based, list order, folders not counted) whose parent is the selected folder.
    CRegion* NthInSelectedFolder(int n) const;
    // The n-th region (0-based) whose sample is region's sample.
    CRegion* NthOfSameSample(const CRegion* region, int n) const;
    // No record has the folder as its parent.
    bool FolderEmpty(int32_t folderId) const;
    // Whether the region lies in the folder or any folder below it.
    bool InFolder(const CRegion* region, int32_t folderId) const;
    // The selected folder when it is a user folder (above 1000), else "User" (1).
    int32_t FolderForNew() const;

    int32_t GetSelectedFolder() const { return m_selectedFolder; }
    void SetSelectedFolder(int32_t id) { m_selectedFolder = id; }
    int32_t GetLastShown() const { return m_lastShown; }
    void SetLastShown(int32_t id) { m_lastShown = id; }

    TypedList<CRegion>& List() { return m_list; }
    const TypedList<CRegion>& List() const { return m_list; }
    template <typename F> void ForEach(F&& f) const { m_list.ForEach(f); }

    // The lower-case copies of the searched texts, kept with the list for the search.
    CRegionTextIndex& TextIndex() const;
    // Makes every region's copies now, so that the first search does not pay for them: called
    // once the library has loaded, when a pause is expected anyway.
    void BuildTextIndex() const;

private:
    TypedList<CRegion> m_list;
    int32_t m_selectedFolder = FolderId::User;
    int32_t m_lastShown = -1;
    mutable std::unique_ptr<CRegionTextIndex> m_textIndex;
};
