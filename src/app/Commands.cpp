// The main window's command table: one row per menu item, shortcut and context-menu entry, in
// menu order. The controllers of the window areas bind the handlers (see CommandTable.h).
#include "app/CommandTable.h"

namespace {
constexpr unsigned kStoppedOrPlaying = kWhenStopped | kWhenPlaying;

const CommandRow kCommands[] = {
    // id, menu, caption, shortcut, modes, states, checkable
    {"file.importCopy", "File", "Import Audio File (Copy) ...", "", kInBrowse, kStoppedOrPlaying, false},
    {"file.importLink", "File", "Import Audio File (Link) ...", "", kInBrowse, kStoppedOrPlaying, false},
    {"file.sep1", "File", "-", "", kInBothModes, kInAnyState, false},
    {"file.quit", "File", "Quit", "", kInBothModes, kInAnyState, false},

    {"view.showImportReports", "View", "Show 'Import Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showLinkReports", "View", "Show 'Link Audio' Reports", "", kInBothModes, kInAnyState, true},

    {"setup.useSSE", "Setup", "Use SSE DSP Instructions", "", kInBothModes, kInAnyState, true},
    {"setup.storage.none", "Setup/Audio Storage/Compression", "No Compression", "", kInBothModes, kInAnyState, true},
    // Kept for the stored choice; not offered.
    {"setup.storage.lossless", "Setup/Audio Storage/Compression", "Lossless Compression", "", kNeverShown,
     kInAnyState, true},
    {"setup.storage.hq", "Setup/Audio Storage/Compression", "Lossy Compression HQ", "", kInBothModes, kInAnyState,
     true},
    {"setup.storage.sp", "Setup/Audio Storage/Compression", "Lossy Compression SP", "", kInBothModes, kInAnyState,
     true},
    {"setup.storage.lp", "Setup/Audio Storage/Compression", "Lossy Compression LP", "", kInBothModes, kInAnyState,
     true},
    {"setup.onImport.transcode", "Setup/Audio Storage/On Import", "Transcode Compressed Files", "", kInBothModes,
     kInAnyState, true},
    {"setup.onImport.clone", "Setup/Audio Storage/On Import", "Clone Compressed Files", "", kInBothModes,
     kInAnyState, true},
};
} // namespace

const CommandRow* MainWindowCommands(size_t& count) {
    count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}
