#pragma once
// CPresetList: the factory presets, in table order, then the user presets by name (without
// regard to case). Owns its presets.
//
// Threading: main thread only.

#include <cstdint>
#include <vector>

#include "common/OList.h"
#include "library/CDSPPreset.h"

class CPresetList {
public:
    static constexpr int32_t kCounterStart = 1000;

    CPresetList() = default;
    ~CPresetList();
    CPresetList(const CPresetList&) = delete;
    CPresetList& operator=(const CPresetList&) = delete;

    // Adds the 31 factory presets (done once at start-up; not saved).
    void CreateFactory();
    // Inserts a user preset in name order after all factory presets; takes ownership.
    void InsertUser(CDSPPreset* preset);
    // Takes a preset out without destroying it / takes it out and destroys it.
    bool Remove(CDSPPreset* preset);
    bool Delete(CDSPPreset* preset);
    void Clear();

    // A new user preset "Unnamed" made from tree node n (1..12), id := ++counter, filed in the
    // User folder of n's category, inserted in order; the current folder becomes that folder.
    // Its parameter block is empty: the caller stores the processors' parameters into it.
    // Null when n is not a node of the tree.
    CDSPPreset* MakeUserPreset(int node);
    // User folder of a node's category (3, 6, 9 or 12), or −1.
    static int UserFolderFor(int node);

    int Count() const { return m_list.Count(); }
    CDSPPreset* At(int n) const { return m_list.At(n); }
    CDSPPreset* FindById(int32_t id) const;
    // First preset filed in folder, or null ("Flat Stack" and friends use folders 2, 5, 8, 11).
    CDSPPreset* FirstInFolder(int32_t folder) const;
    std::vector<CDSPPreset*> InFolder(int32_t folder) const;
    int UserCount() const;

    int32_t GetCounter() const { return m_counter; }
    void SetCounter(int32_t counter) { m_counter = counter; }
    int32_t GetCurrentFolder() const { return m_currentFolder; }
    void SetCurrentFolder(int32_t folder) { m_currentFolder = folder; }

    TypedList<CDSPPreset>& List() { return m_list; }
    const TypedList<CDSPPreset>& List() const { return m_list; }

private:
    TypedList<CDSPPreset> m_list;
    int32_t m_counter = kCounterStart;
    int32_t m_currentFolder = PresetNode::StacksFactory;
};
