#pragma once
// CWorkList: the regions made by finished recordings, in the order they came, and the export's
// automatic naming settings. It refers to regions and never owns them; deleting a region
// removes its items.
//
// Threading: main thread only.

#include <cstdint>
#include <string>
#include <vector>

class CRegion;

struct CWorkListItem {
    CRegion* region = nullptr;
};

class CWorkList {
public:
    enum NamingMode { RegionName = 0, BaseNameIndex = 1 };

    // Inserts before item index; −1 (or past the end) appends.
    void Insert(CRegion* region, int index = -1);
    // Whether any item was removed.
    bool RemoveAll(const CRegion* region);
    CRegion* RegionAt(int index) const;
    bool Contains(const CRegion* region) const;
    int Count() const { return static_cast<int>(m_items.size()); }

    int GetNamingMode() const { return m_namingMode; }
    void SetNamingMode(int mode) { m_namingMode = mode == BaseNameIndex ? BaseNameIndex : RegionName; }
    const std::string& GetBaseName() const { return m_baseName; }
    // Cut to 255 bytes on a character boundary, like every fixed text field.
    void SetBaseName(const std::string& name);
    int32_t GetStartIndex() const { return m_startIndex; }
    void SetStartIndex(int32_t index) { m_startIndex = index; }
    int32_t GetCurrentIndex() const { return m_currentIndex; }
    void SetCurrentIndex(int32_t index) { m_currentIndex = index; }

private:
    std::vector<CWorkListItem> m_items;
    int m_namingMode = RegionName;
    std::string m_baseName = "Master";
    int32_t m_startIndex = 1;
    int32_t m_currentIndex = 0;
};
