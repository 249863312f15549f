#pragma once
// CCDImportJob: "Import" of the CD panel, shared by the window and sonquil-cli's cd-import.
// For each checked track it makes a free VDisk name and a writer of the storage mode (KX64 for
// 3, Ogg Vorbis for 6, WAV otherwise), reads the track into it through the CD reader, and makes
// the sample, its peak file and its root region ("%02d-%s" with the track number and title, or
// "Track %02d") in the folder for new material, tagged from the disc information. The double
// progress dialog shows "Importing track %d of %d"; an abort deletes the file being written and
// keeps the tracks imported before. One report line per track goes to the UI port's report
// (the caller shows it).
//
// Threading: main thread only; playback must be stopped (the shared peak buffers are filled).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CCore;
class CRegion;
struct PeakBuffers;

// The caption of the report the window shows after an import of CD tracks.
inline constexpr const char* kCDImportReportCaption = "Import AudioCD Report";

// What the window does with the results; every hook may be empty.
struct CDImportHooks {
    std::function<void()> clearBrowserSelection;        // before the first track
    std::function<void(int32_t folderId)> selectFolder; // the new region's folder in the tree
    std::function<void(CRegion& region)> addToBrowser;  // the new region into view
    std::function<void()> redrawTapes;                  // after the loop
};

class CCDImportJob {
public:
    struct Result {
        int imported = 0;
        int failed = 0;
        bool aborted = false;
        std::vector<CRegion*> regions; // the root regions made, in track order (owned by the list)
    };

    // peaks: the shared peak buffers the import fills (the window's, so the viewer can draw them).
    CCDImportJob(CCore& core, PeakBuffers& peaks);

    void SetHooks(CDImportHooks hooks) { m_hooks = std::move(hooks); }

    // Imports tracks (0-based indices of the checked rows, any order: they are taken ascending)
    // from the CD reader's selected drive. The table of contents is read again first.
    Result Run(const std::vector<int>& tracks);

private:
    CCore& m_core;
    PeakBuffers& m_peaks;
    CDImportHooks m_hooks;
};
