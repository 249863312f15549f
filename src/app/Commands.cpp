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
    // The selected regions' loudness through the chain, kept for "View Region Info".
    {"edit.measureLoudness", "Edit", "Measure Loudness", "", kInBothModes, kWhenStopped, false},
    // Region editing (RegionEditController): browse mode duplicates the selected regions, edit
    // mode makes a region from the range.
    {"edit.duplicate", "Edit", "Duplicate", "Ctrl+D", kInBothModes, kStoppedOrPlaying, false},
    {"edit.cloneDry", "Edit", "Clone Dry", "", kInBrowse, kStoppedOrPlaying, false},
    {"edit.cloneWet", "Edit", "Clone Wet", "", kInBrowse, kStoppedOrPlaying, false},
    {"edit.rename", "Edit", "Rename...", "", kInBrowse, kStoppedOrPlaying, false},
    {"edit.editTags", "Edit", "Edit Tags...", "", kInBrowse, kStoppedOrPlaying, false},
    // Region editing (RegionEditController): Delete with its separators.
    // The fades and the root-range view of the edit-mode area (EditController), in their menu place.
    {"edit.fade.inLin", "Edit/Fade", "Fade In To Cursor (Lin)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.inLog", "Edit/Fade", "Fade In To Cursor (Log)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.inExp", "Edit/Fade", "Fade In To Cursor (Exp)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.sep1", "Edit/Fade", "-", "", kInEdit, kInAnyState, false},
    {"edit.fade.outLin", "Edit/Fade", "Fade Out From Cursor (Lin)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.outLog", "Edit/Fade", "Fade Out From Cursor (Log)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.outExp", "Edit/Fade", "Fade Out From Cursor (Exp)", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.sep2", "Edit/Fade", "-", "", kInEdit, kInAnyState, false},
    {"edit.fade.resetIn", "Edit/Fade", "Reset Fade In", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.fade.resetOut", "Edit/Fade", "Reset Fade Out", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.showAsRangeOnRoot", "Edit", "Show Region As Range On Root", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.sepDelete1", "Edit", "-", "", kInBothModes, kInAnyState, false},
    {"edit.delete", "Edit", "Delete", "Del", kInBrowse, kStoppedOrPlaying, false},
    {"edit.sepDelete2", "Edit", "-", "", kInBothModes, kInAnyState, false},

    // The "DSP" menu: snaps and presets (SnapsController).
    {"dsp.takeSnap", "DSP", "Take Snap", "Ctrl+S", kInEdit, kStoppedOrPlaying, false},
    {"dsp.sep1", "DSP", "-", "", kInEdit, kInAnyState, false},
    {"dsp.copySnap", "DSP", "Copy Snap", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.cutSnap", "DSP", "Cut Snap", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.pasteSnap", "DSP", "Paste Snap", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.deleteSnap", "DSP", "Delete Snap", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.sep2", "DSP", "-", "", kInEdit, kInAnyState, false},
    {"dsp.makePresetStack", "DSP", "Make Preset (Stack)", "Ctrl+P", kInEdit, kStoppedOrPlaying, false},
    {"dsp.makePresetEQ", "DSP", "Make Preset (EQ)", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.makePresetImager", "DSP", "Make Preset (Stereo Imager)", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.makePresetCompressor", "DSP", "Make Preset (Compressor)", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.deletePreset", "DSP", "Delete Preset", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.sep3", "DSP", "-", "", kInEdit, kInAnyState, false},
    {"dsp.flatStack", "DSP", "Flat Stack", "Ctrl+F", kInEdit, kStoppedOrPlaying, false},
    {"dsp.flatEQ", "DSP", "Flat EQ", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.flatImager", "DSP", "Flat Stereo Imager", "", kInEdit, kStoppedOrPlaying, false},
    {"dsp.flatCompressor", "DSP", "Flat Compressor", "", kInEdit, kStoppedOrPlaying, false},
    // The region graph's context menu, its first two rows (the edit area adds the rest).
    {"graph.createRegion", "@RegionGraph", "Create New Region From Range", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.takeSnap", "@RegionGraph", "Take DSP Snap", "", kInEdit, kStoppedOrPlaying, false},
    // The preset tree's context menu (SnapsController).
    {"presetTree.make", "@PresetTree", "Make DSP Preset", "", kInBothModes, kStoppedOrPlaying, false},
    {"presetTree.rename", "@PresetTree", "Rename", "", kInBothModes, kStoppedOrPlaying, false},
    {"presetTree.sep1", "@PresetTree", "-", "", kInBothModes, kInAnyState, false},
    {"presetTree.delete", "@PresetTree", "Delete", "", kInBothModes, kStoppedOrPlaying, false},

    // The edit-mode area (EditController): the region graph's edit rows, the mode-dependent
    // selection rows, the transport's shuttle, the zoom, the region viewer's options and colour
    // scheme, and the region graph's context menu (all but its first two rows).
    {"edit.newMarker", "Edit", "New Marker at Cursor", "Ctrl+M", kInEdit, kStoppedOrPlaying, false},
    {"edit.markTracks", "Edit", "Mark Individual Tracks ", "", kInEdit, kStoppedOrPlaying, false},
    {"edit.prevMarker", "Edit", "Go to Previous Marker", "Shift+Tab", kInEdit, kStoppedOrPlaying, false},
    {"edit.nextMarker", "Edit", "Go to Next Marker", "Tab", kInEdit, kStoppedOrPlaying, false},
    {"edit.sepSelection", "Edit", "-", "", kInBothModes, kInAnyState, false},
    {"edit.selectAll", "Edit", "Select All", "Ctrl+A", kInBothModes, kStoppedOrPlaying, false},
    {"edit.deselectAll", "Edit", "Deselect All", "Ctrl+Shift+A", kInBothModes, kStoppedOrPlaying, false},
    {"edit.invertSelection", "Edit", "Invert Selection", "", kInBrowse, kStoppedOrPlaying, false},
    {"edit.rangeStartAtCursor", "Edit", "Start Selection At Cursor", "Ctrl+I", kInEdit, kStoppedOrPlaying, false},
    {"edit.rangeEndAtCursor", "Edit", "End Selection At Cursor", "Ctrl+O", kInEdit, kStoppedOrPlaying, false},

    // The region graph's context menu after "Create New Region From Range" and "Take DSP Snap".
    {"graph.sep1", "@RegionGraph", "-", "", kInEdit, kInAnyState, false},
    {"graph.rangeFromCursor", "@RegionGraph", "Range From Cursor", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.rangeToCursor", "@RegionGraph", "Range To Cursor", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.rangeAll", "@RegionGraph", "Range All", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.rangeReset", "@RegionGraph", "Range Reset", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.sep2", "@RegionGraph", "-", "", kInEdit, kInAnyState, false},
    {"graph.fadeIn", "@RegionGraph", "Fade In To Cursor", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.fadeOut", "@RegionGraph", "Fade Out From Cursor", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.resetFadeIn", "@RegionGraph", "Reset Fade In", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.resetFadeOut", "@RegionGraph", "Reset Fade Out", "", kInEdit, kStoppedOrPlaying, false},
    {"graph.sep3", "@RegionGraph", "-", "", kInEdit, kInAnyState, false},
    {"graph.showAsRange", "@RegionGraph", "Show Region As Range On Root", "", kInEdit, kStoppedOrPlaying, false},
    // End of the edit-mode area's rows.

    {"vtape.exportAll", "VTape", "Export All ...", "", kInBothModes, kWhenStopped, false},
    {"vtape.sep1", "VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.remove", "VTape", "Remove", "Alt+Del", kInBothModes, kInAnyState, false},
    {"vtape.sep2", "VTape", "-", "", kInBothModes, kInAnyState, false},
    {"vtape.selectAll", "VTape", "Select All", "Alt+A", kInBothModes, kInAnyState, false},
    {"vtape.deselectAll", "VTape", "Deselect All", "Shift+Alt+A", kInBothModes, kInAnyState, false},

    // The edit-mode area (EditController), continued: the "Transport" menu and the "View" menu's "Zoom".
    {"transport.decShuttle", "Transport", "Decrease Shuttle Speed", "Ctrl+J", kInEdit, kStoppedOrPlaying, false},
    {"transport.pause", "Transport", "Pause", "Ctrl+K", kInEdit, kStoppedOrPlaying, false},
    {"transport.incShuttle", "Transport", "Increase Shuttle Speed", "Ctrl+L", kInEdit, kStoppedOrPlaying, false},
    {"transport.microDec", "Transport", "Micro Decrease Speed", "Ctrl+Shift+J", kInEdit, kStoppedOrPlaying, false},
    {"transport.resetSpeed", "Transport", "Reset Speed to 1x", "Ctrl+Shift+K", kInEdit, kStoppedOrPlaying, false},
    {"transport.microInc", "Transport", "Micro Increase Speed", "Ctrl+Shift+L", kInEdit, kStoppedOrPlaying, false},

    {"view.zoom.start", "View/Zoom", "Zoom to Start", "", kInEdit, kInAnyState, false},
    {"view.zoom.end", "View/Zoom", "Zoom To End", "", kInEdit, kInAnyState, false},
    {"view.zoom.sep1", "View/Zoom", "-", "", kInEdit, kInAnyState, false},
    {"view.zoom.rangeStart", "View/Zoom", "Zoom To Range Start", "", kInEdit, kInAnyState, false},
    {"view.zoom.rangeEnd", "View/Zoom", "Zoom To Range End", "", kInEdit, kInAnyState, false},
    {"view.zoom.range", "View/Zoom", "Zoom To Range", "", kInEdit, kInAnyState, false},
    {"view.zoom.sep2", "View/Zoom", "-", "", kInEdit, kInAnyState, false},
    {"view.zoom.fadeIn", "View/Zoom", "Zoom To Fade In", "", kInEdit, kInAnyState, false},
    {"view.zoom.fadeOut", "View/Zoom", "Zoom To Fade Out", "", kInEdit, kInAnyState, false},
    {"view.zoom.sep3", "View/Zoom", "-", "", kInEdit, kInAnyState, false},
    {"view.zoom.cursor", "View/Zoom", "Zoom To Cursor", "", kInEdit, kInAnyState, false},
    {"view.zoom.sep4", "View/Zoom", "-", "", kInEdit, kInAnyState, false},
    {"view.zoom.reset", "View/Zoom", "Zoom Reset", "", kInEdit, kInAnyState, false},

    // End of the edit-mode area's rows here.

    {"view.showImportReports", "View", "Show 'Import Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showLinkReports", "View", "Show 'Link Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showExportReports", "View", "Show 'Export Audio' Reports", "", kInBothModes, kInAnyState, true}, // export

    {"setup.audioBoard", "Setup", "Audio Board...", "", kInBothModes, kWhenStopped, false},
    // The desktop's sound mixer (HelpController).
    {"setup.mixer", "Setup", "Windows Mixer...", "", kInBothModes, kInAnyState, false},
    // The plug-in folders (VSTChainSection).
    {"setup.vstFolders", "Setup", "VST Folders...", "", kInBothModes, kInAnyState, false},
    {"setup.extEncoders", "Setup", "External Encoders...", "", kInBothModes, kWhenStopped, false}, // export
    {"setup.cddbSettings", "Setup", "CDDB Settings...", "", kInBothModes, kInAnyState, false},     // CD import
    {"setup.useSSE", "Setup", "Use SSE DSP Instructions", "", kInBothModes, kInAnyState, true},
    {"setup.autoExpand", "Setup", "AutoExpand Panels", "", kInBothModes, kInAnyState, true}, // side sections
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
    // Preferences (PrefsController): the text size of the tapes, trees and lists.
    {"setup.font.small", "Setup/Font size", "Small", "", kInBothModes, kInAnyState, true},
    {"setup.font.medium", "Setup/Font size", "Medium", "", kInBothModes, kInAnyState, true},
    {"setup.font.large", "Setup/Font size", "Large", "", kInBothModes, kInAnyState, true},
    // End of the preferences rows; "Setup" -> "Meters" goes here (MetersController).
    // The edit-mode area (EditController), continued: the region viewer's options and colour scheme.
    {"setup.viewer.autoLoop", "Setup/Region Viewer", "AutoLoop Range", "", kInBothModes, kInAnyState, true},
    {"setup.viewer.scroll", "Setup/Region Viewer", "Scroll Graph When Playing", "", kInBothModes, kInAnyState, true},
    {"setup.viewer.mono", "Setup/Region Viewer", "Show As Mono", "", kInBothModes, kInAnyState, true},
    {"setup.viewer.log", "Setup/Region Viewer", "Show As Log", "", kInBothModes, kInAnyState, true},
    // The colour scheme of the region graph, shared by the meter bridge.
    {"setup.graph.blue", "Setup/Region Graph", "Blue", "", kInBothModes, kInAnyState, true},
    {"setup.graph.amber", "Setup/Region Graph", "Amber", "", kInBothModes, kInAnyState, true},
    {"setup.graph.yellow", "Setup/Region Graph", "Yellow", "", kInBothModes, kInAnyState, true},
    {"setup.graph.green", "Setup/Region Graph", "Green", "", kInBothModes, kInAnyState, true},
    {"setup.graph.sep1", "Setup/Region Graph", "-", "", kInEdit, kInAnyState, false},
    {"setup.graph.rebuild", "Setup/Region Graph", "Rebuild Graph", "", kInEdit, kWhenStopped, false},

    // End of the edit-mode area's rows here.
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

    // ---- side sections block: the marker list's context menu ("Edit Markers").
    {"markers.delete", "@Markers", "Delete", "", kInEdit, kInAnyState, false},
    {"markers.sep1", "@Markers", "-", "", kInEdit, kInAnyState, false},
    {"markers.lamp", "@Markers", "Lamp", "", kInEdit, kInAnyState, false},
    {"markers.downArrow", "@Markers", "Down Arrow", "", kInEdit, kInAnyState, false},
    {"markers.pin", "@Markers", "Pin", "", kInEdit, kInAnyState, false},
    {"markers.sep2", "@Markers", "-", "", kInEdit, kInAnyState, false},
    {"markers.moveToCursor", "@Markers", "Move Marker To Cursor", "", kInEdit, kInAnyState, false},
    // The chain list's context menu ("Edit DSP Chain", VSTChainSection).
    {"chain.addEffect", "@DSPChain", "Add VST Effect...", "", kInEdit, kStoppedOrPlaying, false},
    {"chain.removeEffect", "@DSPChain", "Remove VST Effect", "", kInEdit, kStoppedOrPlaying, false},
    // ---- end of the side sections block.
};
} // namespace

const CommandRow* MainWindowCommands(size_t& count) {
    count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}
