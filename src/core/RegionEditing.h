#pragma once
// RegionEditing: the commands that make and remove regions: Create New Region From Range (edit
// mode, on the region the wave viewer shows), Duplicate, Delete and Clone Dry / Clone Wet (browse
// mode, on the regions selected on the region browser). Questions and notices go through the UI
// port; the clones render through the engine's render path, as the export does, into a new
// sample of the VDisk.
//
// The window's views (the browser, the VTape, the work list, the wave viewer) are not known
// here: every region is handed to the remove hook just before it is destroyed, so the window can
// take it off its views while the pointer is still good; the new regions are returned.
//
// Deleting what the play list uses while the transport runs: the delete stops the transport
// before it destroys a region (or a sample) that the play list names or whose sample the play
// list reads, so the engine never reads a file that is being removed and the play list never
// outlives what it names. Everything else is left playing.
//
// Threading: main thread only. The clones wait for the render while serving the engine's
// hand-overs and letting the window's events through.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CCore;
class CRegion;
class CSample;

class RegionEditing {
public:
    static constexpr const char* kNoSelection = "No selection. Please select a portion\nto duplicate, first.";
    static constexpr const char* kMultipleCaption = "Multiple deletion confirmation";
    static constexpr const char* kMultipleText = "%d items selected. Delete?";
    static constexpr const char* kNoAudio = "Can't read the region's audio file.";
    static constexpr const char* kDeleteRegion = "Delete region? (no audio files are removed)";
    static constexpr const char* kDeleteSubRegions =
        "Deleting this root region will remove also its sub-regions. Delete?";
    static constexpr const char* kDeleteLinkedRoot = "Delete root region?";
    static constexpr const char* kDeleteStoredRoot = "Delete root region? (audio file will be removed!)";

    static constexpr int32_t kMinRange = 1024; // frames; a shorter range counts as none

    explicit RegionEditing(CCore& core);

    // The clones run with the main timer off; the window passes how (false stops, true restarts).
    void SetMainTimerHook(std::function<void(bool on)> hook) { m_mainTimer = std::move(hook); }
    // Called with each region just before it is destroyed (still listed nowhere in the library).
    void SetRemoveHook(std::function<void(CRegion* region)> hook) { m_removed = std::move(hook); }

    // What the wave viewer shows of its region: the range (frames relative to the region start)
    // and, when it has them, the peak pairs it draws (else the sample's peak file is read).
    struct ViewerRange {
        CRegion* region = nullptr;
        bool on = false;
        int32_t start = 0, end = 0;
        const std::vector<uint16_t>* peaks = nullptr;
    };
    // The new region, inserted into the region list; null (after the notice when no range is on)
    // when nothing was made. The window selects its folder and shows it on the browser.
    CRegion* CreateFromRange(const ViewerRange& range);

    // Duplicates of the regions in order, inserted into the region list. Empty, and nothing done,
    // when the transport is still busy after a stop of playback (recording, rendering).
    std::vector<CRegion*> Duplicate(const std::vector<CRegion*>& selected);

    struct DeleteResult {
        int regionsDeleted = 0;
        int samplesDeleted = 0;
        bool cancelled = false;        // a question was answered Cancel
        bool transportStopped = false; // the play list used something that was deleted
    };
    // The delete command over the selected regions with its questions.
    DeleteResult Delete(const std::vector<CRegion*>& selected);

    // Clone Dry (wet false) or Clone Wet of each region in order: the clones' root regions,
    // inserted into the region list with their samples in the sample list. aborted tells whether
    // the user stopped the loop; an aborted clone leaves neither a sample nor a file. Empty, and
    // nothing done, when the transport is still busy after a stop of playback.
    std::vector<CRegion*> Clone(const std::vector<CRegion*>& selected, bool wet, bool& aborted);

private:
    // Makes a clone of one region; null when it was aborted or failed (failure noticed).
    CRegion* CloneOne(CRegion& region, bool wet, int index, int count, bool& aborted);
    // Stops playback; false when the transport is still not stopped.
    bool StopPlayback();
    // Stops the transport when the play list names the region or reads its sample.
    void ReleaseFromPlayList(const CRegion* region, const CSample* sample, DeleteResult& result);
    void DestroyRegion(CRegion* region);
    void DestroySample(CSample* sample);

    CCore& m_core;
    std::function<void(bool)> m_mainTimer;
    std::function<void(CRegion*)> m_removed;
};
