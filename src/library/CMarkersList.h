#pragma once
// CMarkersList: a region's markers, sorted by position; equal positions keep insertion order.
// Owns its markers.
//
// Threading: main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/OList.h"
#include "library/CMarker.h"

class CMarkersList {
public:
    // One row of the marker list view.
    struct Row {
        std::string caption;
        int32_t icon = 0;
    };
    using RowSink = std::function<void(const std::string& caption, int32_t icon)>;

    CMarkersList() = default;
    ~CMarkersList();
    CMarkersList(const CMarkersList&) = delete;
    CMarkersList& operator=(const CMarkersList&) = delete;

    // Inserts before the first marker with a greater position (appends when none); takes ownership.
    void Insert(CMarker* marker);
    // The n-th marker (0-based) or null; the list's cursor stays where it was.
    CMarker* At(int n) const;
    // Takes the marker out without destroying it; false when it is not listed.
    bool Remove(CMarker* marker);
    int Count() const { return m_list.Count(); }
    // Index of a marker, or −1.
    int IndexOf(const CMarker* marker) const;
    // Removes and destroys every marker.
    void Clear();
    // Clears this list, then inserts a copy (all fields) of each marker of other.
    void CopyFrom(const CMarkersList& other);
    // One row per marker in list order: caption = text, image = icon.
    std::vector<Row> Show() const;
    void Show(const RowSink& sink) const;

    const TypedList<CMarker>& List() const { return m_list; }

private:
    TypedList<CMarker> m_list;
};
