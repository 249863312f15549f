#pragma once
// CCDRip: the CD reader. It lists the CD drives (and the disc images a person opened, offered
// as drives too), reads the table of contents of the disc in the selected drive, shows the
// track list texts, and reads audio tracks into a file writer of the storage mode, feeding the
// peak builder on the way. It holds the disc information (titles from a lookup or from the
// disc's CD-TEXT) that names and tags the imported tracks.
//
// Drives and images are reached through libcdio: real drives through their device node, with
// libcdio-paranoia's error correction; BIN/CUE, cdrdao TOC and Nero NRG images through
// libcdio's image drivers. A drive is opened and closed around each operation; nothing stays
// open between operations, so a person may change the disc at any time.
//
// Threading: main thread only. Reading lets the window's events through between blocks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cdimport/CDDiscInfo.h"

class AudioFile;
class UiPort;
struct PeakBuffers;

// One entry of the drive list.
struct CDDrive {
    std::string vendor;  // the drive's vendor identification ("Image" for a disc image)
    std::string product; // its product identification (the image's file name)
    std::string device;  // what libcdio opens: the device node or the image's path
    bool image = false;
};

// One entry of the table of contents.
struct CDTocEntry {
    uint8_t control = 0; // bit value 4 set: a data track
    int32_t start = 0;   // start address in frames (75 per second), from the disc's start
};

class CCDRip {
public:
    static constexpr int kMaxDrives = 8;
    static constexpr int kFramesPerCall = 26;        // frames of one read call (61,152 bytes)
    static constexpr int kBytesPerFrame = 2352;      // one audio frame: 588 stereo 16-bit sample frames
    static constexpr int kSamplesPerFrame = 588;     // stereo sample frames in one CD frame
    static constexpr int kAttempts = 3;              // read calls per block before it is skipped
    static constexpr int kBlockFrames = 4096;        // stereo frames per block to the writer and peaks
    static constexpr int32_t kDataGapFrames = 11250; // lead-out and lead-in before a data session

    CCDRip();
    ~CCDRip();
    CCDRip(const CCDRip&) = delete;
    CCDRip& operator=(const CCDRip&) = delete;

    // Starts the CD service; false when it cannot be had (the program then has no CD import).
    bool Start();

    // Lists the machine's CD drives anew (at most 8, vendor and product asked of each), keeping
    // the images opened so far after them. The selected index becomes 0 when it is not below
    // the count. Returns the count.
    int ListDrives();
    int DriveCount() const { return static_cast<int>(m_drives.size()); }
    const CDDrive& Drive(int i) const { return m_drives.at(static_cast<size_t>(i)); }
    // "%s:%s" with the vendor and product identification.
    std::string DriveName(int i) const;
    // Offers a disc image (a .cue, .toc or .nrg file, or a .bin beside its .cue) as a drive and
    // returns its index; an image already listed keeps its index. -1 with a message when
    // libcdio cannot open it as a disc.
    int AddImage(const std::string& path, std::string& error);
    // The drive whose device, name ("%s:%s") or 1-based number is given; -1 when none.
    int FindDrive(const std::string& what) const;

    int SelectedDrive() const { return m_selected; }
    // Stores the index (0 when it is not below the drive count).
    void SelectDrive(int i);

    // Reads the table of contents of the selected drive: returns the number of tracks
    // (last − first + 1), 0 when there is no drive, no disc or no readable table (the track
    // list is then empty). The disc information stays while the same disc is in the drive and
    // is cleared for another one; a disc with CD-TEXT fills it when no lookup named it.
    int ReadTOC();
    int TrackCount() const { return m_toc.empty() ? 0 : static_cast<int>(m_toc.size()) - 1; }
    // The table: one entry per track, then the lead-out.
    const std::vector<CDTocEntry>& Toc() const { return m_toc; }
    int FirstTrack() const { return m_firstTrack; }

    // The track list's three texts of track i (0-based), as the panel shows them.
    std::string TrackName(int i) const;
    std::string TrackTime(int i) const;
    std::string TrackSize(int i) const;
    bool IsAudioTrack(int i) const;
    // The whole span of track i in frames (next start − start), as it is read.
    int32_t TrackFrames(int i) const;

    // The disc id of the disc in the selected drive (what the disc information is kept under).
    // False when there is no disc.
    bool ReadDiscId(uint32_t& id);
    // The CDDB disc id of a table of contents (tracks then lead-out, first track number).
    static uint32_t DiscIdOf(const std::vector<CDTocEntry>& toc);

    CDDiscInfo& DiscInfo() { return m_info; }
    const CDDiscInfo& DiscInfo() const { return m_info; }

    // The tracks to import (0-based, ascending).
    void ClearSelectedTracks() { m_selectedTracks.clear(); }
    void AddSelectedTrack(int i) { m_selectedTracks.push_back(i); }
    const std::vector<int>& SelectedTracks() const { return m_selectedTracks; }

    // Reads track i into writer, a file writer of the storage mode already named in the VDisk:
    // gives it the tags when a title is known, opens it (2 channels, 44,100 Hz, 16 bits, kbps
    // for the lossy mode), reads the track's whole span in calls of 26 frames (a block still
    // unreadable after three attempts is skipped), converts to floats and passes 4,096-frame
    // blocks to the peak builder and the writer, and finishes it. ui (optional) gets the detail
    // bar every fifth call, with overall as the other bar, and is asked whether the user aborted.
    // Returns the bytes read (0 when the drive could not be opened); aborted tells an abort
    // (the caller deletes the file). writeFailed tells that the writer could not open or finish.
    int64_t ReadTrack(int i, AudioFile& writer, int32_t kbps, PeakBuffers& peaks, UiPort* ui, int overall,
                      bool& aborted, bool& writeFailed);

    // For tests of unreadable blocks: called before every read call with its start frame and the
    // attempt (1..3); true makes that call fail.
    void SetReadFault(std::function<bool(int32_t frame, int attempt)> fault) { m_fault = std::move(fault); }

private:
    struct Disc; // an open drive or image
    bool Open(Disc& disc) const;

    std::vector<CDDrive> m_drives;
    int m_selected = 0;
    std::vector<CDTocEntry> m_toc;
    int m_firstTrack = 1;
    CDDiscInfo m_info;
    std::vector<int> m_selectedTracks;
    std::vector<float> m_block; // 4,096 stereo frames of floats
    std::function<bool(int32_t, int)> m_fault;
    bool m_started = false;
};
