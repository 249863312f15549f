#pragma once
// CFolderOps: what the folder panel and the region tree do to the library: which regions a
// folder node shows, new, delete, rename, the icon cycle, moving folders and regions onto
// folders, and the Found folder's scan of the VDisk for files no region claims. The tree's
// nodes themselves belong to the window; these functions change only the region list.
//
// Threading: main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CRegion;
class CRegionList;
class UiPort;

class CFolderOps {
public:
    static constexpr const char* kNotEmptyMessage = "Folder not empty. Please delete contents first.";

    // The regions a folder node shows, in region-list order (Found: before its scan).
    // present tells whether a region's sample file is there (for "Lost"); today and yesterday
    // are date stamps.
    static std::vector<CRegion*> Content(const CRegionList& list, int32_t folderId, int32_t today, int32_t yesterday,
                                         const std::function<bool(const CRegion&)>& present);

    // "New": a folder "NewFolder" under the selected folder, only when that is "User" or a user
    // folder; null otherwise. The folder takes the next folder id and is put in order.
    static CRegion* NewFolder(CRegionList& list, int32_t selectedId);

    // "Delete": only while the transport is stopped and only for user folders. A folder that
    // any record names as its parent is refused with kNotEmptyMessage (given through ui). On
    // success the folder is gone and its parent becomes the selected folder (parentOut).
    static bool DeleteFolder(CRegionList& list, int32_t id, bool transportStopped, UiPort& ui, int32_t& parentOut);

    // Editing a node's label: only user folders; the name is cut to 255 bytes and the folder
    // keeps its place in the list.
    static bool RenameFolder(CRegionList& list, int32_t id, const std::string& name);

    // Moving a folder onto a user folder. Refused (false, nothing changed) when the target is
    // not a user folder, is the folder itself, its present parent, or lies inside it.
    static bool MoveFolder(CRegionList& list, int32_t folderId, int32_t targetId);

    // Regions dropped on "User" or a user folder take it as their parent and lose the Found
    // flag. False (nothing changed) for any other target.
    static bool MoveRegions(CRegionList& list, const std::vector<CRegion*>& regions, int32_t targetId);

    // The scan of "Found": files of vdiskFolder that no region's stored sample claims (file name
    // compared without regard to case, folders and names beginning with "_" skipped). An
    // unclaimed file under 1,024 bytes that no reader opens (readable says so; what a write cut
    // short leaves behind) is deleted; every other unclaimed file is returned, sorted by name:
    // audio that a reader opens is never deleted here, however small.
    static std::vector<std::string> ScanUnclaimed(const CRegionList& list, const std::string& vdiskFolder,
                                                  const std::function<bool(const std::string&)>& readable);

    // Recovers the collected files with the progress dialog: for each file, import (the
    // import of a file in place whose root region carries the Found flag). A file that does not
    // come back stays where it is: it may be audio the library can read another day. An abort
    // ends the recovery. Returns how many came back; lines, when given, gets one (file, "OK"
    // or the import's message) per file tried.
    // import: (full path, message out) -> success.
    using FoundImport = std::function<bool(const std::string& path, std::string& message)>;
    static int RecoverFound(const std::vector<std::string>& files, const std::string& vdiskFolder, UiPort& ui,
                            const FoundImport& import,
                            std::vector<std::pair<std::string, std::string>>* lines = nullptr);
};

// The "Icon" button's colour cycle, one for the whole window: choices 2, 3, 4, 5, 6, 1, 2, …
class CFolderIconCycle {
public:
    // The next choice; the selected user folder then gets folder icon 2 × (choice − 1).
    int Next();
    // A press of "Icon": the cycle moves on at every press; the folder takes the icon only when
    // id is a user folder (false otherwise).
    bool Apply(CRegionList& list, int32_t id);
    static int IconFor(int choice) { return 2 * (choice - 1); }

private:
    int m_choice = 1;
};
