#include "library/Startup.h"

#include "library/CRegionList.h"

bool OpenLibraryAtStartup(CDatabase& db, UiPort& ui, const DbLibrary& lib) {
    // Both tests always run: the write test tells the user when the folder cannot be written.
    const bool exists = db.Exists();
    const bool writable = db.FolderWritable(ui);
    if (!writable) return false;
    if (exists) {
        if (!db.Load(lib, ui)) return false;
        // The search's copies are made while the user waits for the window anyway, not at the
        // first search.
        if (lib.regions) lib.regions->BuildTextIndex();
        return true;
    }
    // First start: nothing is written until the shutdown save, so a cancelled VDisk leaves
    // no database behind.
    return lib.vdisk->Create(ui);
}

bool SaveLibraryAtShutdown(CDatabase& db, UiPort& ui, const DbLibrary& lib, bool startupComplete) {
    if (!startupComplete) return true;
    return db.Save(lib, ui);
}
