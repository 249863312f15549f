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

    // Export, tags and renaming (ExportController).
    {"edit.export", "Edit", "Export...", "", kInBothModes, kWhenStopped, false},
    {"edit.rename", "Edit", "Rename...", "", kInBrowse, kStoppedOrPlaying, false},
    {"edit.editTags", "Edit", "Edit Tags...", "", kInBrowse, kStoppedOrPlaying, false},

    {"vtape.exportAll", "VTape", "Export All ...", "", kInBothModes, kWhenStopped, false},
    {"vtape.sep1", "VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.remove", "VTape", "Remove", "Alt+Del", kInBothModes, kInAnyState, false},
    {"vtape.sep2", "VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.selectAll", "VTape", "Select All", "Alt+A", kInBothModes, kInAnyState, false},
    {"vtape.deselectAll", "VTape", "Deselect All", "Shift+Alt+A", kInBothModes, kInAnyState, false},

    {"view.showImportReports", "View", "Show 'Import Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showLinkReports", "View", "Show 'Link Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showExportReports", "View", "Show 'Export Audio' Reports", "", kInBothModes, kInAnyState, true}, // export

    {"setup.audioBoard", "Setup", "Audio Board...", "", kInBothModes, kWhenStopped, false},
    // The desktop's sound mixer (HelpController).
    {"setup.mixer", "Setup", "Windows Mixer...", "", kInBothModes, kInAnyState, false},
    {"setup.extEncoders", "Setup", "External Encoders...", "", kInBothModes, kWhenStopped, false}, // export
    {"setup.useSSE", "Setup", "Use SSE DSP Instructions", "", kInBothModes, kInAnyState, true},
    {"setup.storage.none", "Setup/Audio Storage/Compression", "No Compression", "", kInBothModes, kInAnyState, true},
    // Kept for the stored choice; not offered.
    {"setup.storage.lossless", "Setup/Audio Storage/Compression", "Lossless Compression", "", kNeverShown, kInAnyState,
     true},
    {"setup.storage.hq", "Setup/Audio Storage/Compression", "Lossy Compression HQ", "", kInBothModes, kInAnyState,
     true},
    {"setup.storage.sp", "Setup/Audio Storage/Compression", "Lossy Compression SP", "", kInBothModes, kInAnyState,
     true},
    {"setup.storage.lp", "Setup/Audio Storage/Compression", "Lossy Compression LP", "", kInBothModes, kInAnyState,
     true},
    {"setup.onImport.transcode", "Setup/Audio Storage/On Import", "Transcode Compressed Files", "", kInBothModes,
     kInAnyState, true},
    {"setup.onImport.clone", "Setup/Audio Storage/On Import", "Clone Compressed Files", "", kInBothModes, kInAnyState,
     true},
    // "Setup" -> "Meters" and the meters' own menu share these rows (see MetersController).
    {"meters.scale0", "@Meters Scale", "Linear", "", kInBothModes, kInAnyState, true},
    {"meters.scale1", "@Meters Scale", "Log 140 dB", "", kInBothModes, kInAnyState, true},
    {"meters.scale2", "@Meters Scale", "Log 90 dB", "", kInBothModes, kInAnyState, true},
    {"meters.scale3", "@Meters Scale", "Log 60 dB", "", kInBothModes, kInAnyState, true},
    {"meters.scale4", "@Meters Scale", "Special", "", kInBothModes, kInAnyState, true},
    {"meters.hold0", "@Meters Hold", "Shortest", "", kInBothModes, kInAnyState, true},
    {"meters.hold1", "@Meters Hold", "Short", "", kInBothModes, kInAnyState, true},
    {"meters.hold2", "@Meters Hold", "Medium", "", kInBothModes, kInAnyState, true},
    {"meters.hold3", "@Meters Hold", "Long", "", kInBothModes, kInAnyState, true},
    {"meters.hold4", "@Meters Hold", "Longest", "", kInBothModes, kInAnyState, true},
    {"meters.decay0", "@Meters Decay", "Slowest", "", kInBothModes, kInAnyState, true},
    {"meters.decay1", "@Meters Decay", "Slow", "", kInBothModes, kInAnyState, true},
    {"meters.decay2", "@Meters Decay", "Medium", "", kInBothModes, kInAnyState, true},
    {"meters.decay3", "@Meters Decay", "Fast", "", kInBothModes, kInAnyState, true},
    {"meters.decay4", "@Meters Decay", "Fastest", "", kInBothModes, kInAnyState, true},
    {"meters.persistence", "@Meters", "Persistence", "", kInBothModes, kInAnyState, true},

    // The "Help" menu (HelpController); "About..." only while the transport is stopped.
    {"help.help", "Help", "Help...", "", kInBothModes, kInAnyState, false},
    {"help.sep1", "Help", "-", "", kInBothModes, kInAnyState, false},
    {"help.homePage", "Help", "Orbeline Home Page", "", kInBothModes, kInAnyState, false},
    {"help.sep2", "Help", "-", "", kInBothModes, kInAnyState, false},
    {"help.about", "Help", "About...", "", kInBothModes, kWhenStopped, false},

    // The VTape's context menu.
    {"vtape.importClone", "@VTape", "Import Audio File (Clone)...", "", kInBothModes, kWhenStopped, false},
    {"vtape.linkOpen", "@VTape", "Link Audio File (Open)...", "", kInBothModes, kWhenStopped, false},
    {"vtape.sep3", "@VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.removeItem", "@VTape", "Remove Item", "", kInBothModes, kInAnyState, false},
    {"vtape.sep4", "@VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.locateItem", "@VTape", "Locate Item (Browse Panel)", "", kInBothModes, kInAnyState, false},
    {"vtape.viewItem", "@VTape", "View Item (Region Graph)", "", kInBothModes, kInAnyState, false},
};
} // namespace

const CommandRow* MainWindowCommands(size_t& count) {
    count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}
