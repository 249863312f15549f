#pragma once
// CDSPSnapList: a region's snaps with the current one and an optional favourite. The first
// snap is always the "Flat" stack setting; it can be copied but never deleted, cut or renamed.
// Owns its snaps.
//
// Threading: main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "common/OList.h"
#include "library/CDSPSnap.h"

class CDSPSnapList {
public:
    // Snap list images: plain, current, favourite, both.
    enum Image : int { ImagePlain = 0, ImageCurrent = 1, ImageFavourite = 2, ImageBoth = 3 };
    struct Row {
        std::string caption;
        int image = 0;
    };

    // Holds one "Flat" snap; it is current; no favourite.
    CDSPSnapList();
    ~CDSPSnapList();
    CDSPSnapList(const CDSPSnapList&) = delete;
    CDSPSnapList& operator=(const CDSPSnapList&) = delete;

    int Count() const { return m_list.Count(); }
    CDSPSnap* At(int n) const { return m_list.At(n); }

    // Appends (taking ownership); the appended snap becomes current.
    void Append(CDSPSnap* snap);
    // Deletes snap n; never the first. When the current index is then past the end it moves to
    // the last snap. The favourite index is left as it is (see FavouriteValid).
    bool Delete(int n);
    bool CanDelete(int n) const { return n > 0 && n < Count(); }
    // A new copy of snap n (for the snap clipboard), or null.
    CDSPSnap* CopyOf(int n) const;
    // Renames snap n; the first snap cannot be renamed.
    bool Rename(int n, const std::string& name);

    int32_t GetCurrent() const { return m_current; }
    void SetCurrent(int32_t index) { m_current = index; }
    int32_t GetFavourite() const { return m_favourite; }
    void SetFavourite(int32_t index) { m_favourite = index; }
    // The "Favorite" command: the current snap becomes the favourite, or the favourite is
    // cleared when it already is the current snap.
    void ToggleFavourite();
    bool FavouriteValid() const { return m_favourite >= 0 && m_favourite < Count(); }
    // The snap to apply: the current one in edit mode or when there is no favourite, else the
    // favourite. Null when that index names no snap.
    CDSPSnap* SnapToApply(bool editMode) const;

    // Back to a single "Flat" snap, current, no favourite.
    void Reset();
    // Replaces every snap with a copy of other's, with its current and favourite indexes.
    void CopyFrom(const CDSPSnapList& other);
    // Appends a copy of each of other's snaps after its first ("Flat"); the last one appended
    // becomes current. Used when a region is duplicated or cloned.
    void AppendCopiesFrom(const CDSPSnapList& other);
    // One row per snap: caption = name, image by current/favourite.
    std::vector<Row> Show() const;

private:
    TypedList<CDSPSnap> m_list;
    int32_t m_current = 0;
    int32_t m_favourite = -1;
    void DestroyAll();
};
