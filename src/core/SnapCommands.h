#pragma once
// SnapCommands: taking DSP snaps into a region, the snap list's commands with the one-snap
// clipboard, and making, renaming and deleting presets, on the core's processors and preset
// list. The window's snap list, preset list and "DSP" menu call these and redraw.
//
// A snap also keeps the hosted VST chain (up to 16 effects with their programs, flags and
// parameters), and applying it rebuilds the chain (core/VSTSnap.h).
//
// Threading: main thread only.

#include <memory>
#include <string>

class CCore;
class CDSPPreset;
class CDSPSnap;
class CParamBlock;
class CRegion;

class SnapCommands {
public:
    static constexpr const char* kTakenName = "Unnamed Snap";

    explicit SnapCommands(CCore& core);
    ~SnapCommands();

    // The parameters of the equaliser, the compressor, the stereo imager and the valve
    // amplifier, in that order, into block (kinds 1, 2, 3, 0).
    void StoreStack(CParamBlock& block) const;

    // "Take Snap": a new "Unnamed Snap" of the stack appended to the region's list (it becomes
    // current), then the region's snap applied as the mode chooses.
    CDSPSnap* TakeSnap(CRegion& region, bool editMode);
    // A snap picked in the snap list: it becomes current and is applied. False when n names no
    // snap.
    bool Pick(CRegion& region, int n, bool editMode);

    // The snap list's commands on snap n of the region.
    void Favorite(CRegion& region);
    bool Delete(CRegion& region, int n);
    bool Copy(const CRegion& region, int n);
    bool Cut(CRegion& region, int n);
    // Appends a copy of the clipboard's snap (it becomes current); false when it is empty.
    bool Paste(CRegion& region);
    bool Rename(CRegion& region, int n, const std::string& name);
    bool HasClipboard() const { return m_clipboard != nullptr; }
    const CDSPSnap* Clipboard() const { return m_clipboard.get(); }
    // The enable rules: "Cut" and "Delete" need a selected snap other than the first.
    static bool CanCutOrDelete(const CRegion* region, int n);

    // A new user preset from tree node n (1..12): the whole stack for 1..3, else the one
    // processor of the node's category, filed in that category's User folder and inserted in
    // order; the current folder becomes that folder. Null when n is no node.
    CDSPPreset* MakePreset(int node);
    // "Flat Stack" and friends: the first preset of folder 2, 5, 8 or 11 applied.
    bool ApplyFlat(int factoryFolder);
    // Rename and delete act on user presets only, and only while a User folder is current.
    bool RenamePreset(CDSPPreset* preset, const std::string& name);
    bool DeletePreset(CDSPPreset* preset);
    bool PresetEditable(const CDSPPreset* preset) const;

private:
    CCore& m_core;
    std::unique_ptr<CDSPSnap> m_clipboard;
};
