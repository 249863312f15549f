#pragma once
// The library's part of the program's start-up and shutdown: opening (or creating) the
// library before the audio and disk threads start, and saving it when the window closes.
//
// Threading: main thread only.

#include "library/CDatabase.h"

class UiPort;

// Opens the library: with a database and a writable folder it is loaded (VDisk check and
// locate included) and the search's copies of the region texts are made; without a database the user is asked to create
// a VDisk. True when start-up may go on; false ends start-up (whatever had to be said has been shown).
bool OpenLibraryAtStartup(CDatabase& db, UiPort& ui, const DbLibrary& lib);

// Saves the library when start-up completed; a run that ended during start-up never
// overwrites a library it did not load. True when nothing needed saving or the save worked.
bool SaveLibraryAtShutdown(CDatabase& db, UiPort& ui, const DbLibrary& lib, bool startupComplete);
