#pragma once
// CRegion: a named range of one sample with its fades, markers, notes, tags and DSP snaps.
// With the Folder flag set the same record is a user folder of the region tree.
//
// Threading: main thread only. The audio and disk threads read start, end, fades and sample
// through the play list while the transport runs.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/FolderId.h"
#include "library/CDSPSnapList.h"
#include "library/CMarkersList.h"

class CSample;

// Region flag bits.
enum RegionFlag : uint32_t {
    RegionFolder = 0x01,
    RegionRoot = 0x02,
    RegionFadeInLog = 0x04,
    RegionFadeInExp = 0x08,
    RegionFadeOutLog = 0x10,
    RegionFadeOutExp = 0x20,
    RegionStoredStats = 0x40,
    RegionFound = 0x80,
};


class CRegion {
public:
    static constexpr int kNameSize = 256;
    static constexpr int kNotesSize = 256;
    static constexpr int kTagSize = 64;
    static constexpr int kGenreSize = 32;
    static constexpr int kHistorySize = 10;
    static constexpr int kOverviewSize = 1024;

    // A new region or folder. id −1 takes the next id from the folder counter (Folder flag) or
    // the region counter; an explicit id leaves the counters alone.
    CRegion(const std::string& name, int64_t start, int64_t end, CSample* sample, uint32_t flags, int32_t id,
            int32_t parentId);
    // An empty region for the database loader.
    CRegion();
    ~CRegion();
    CRegion(const CRegion&) = delete;
    CRegion& operator=(const CRegion&) = delete;

    // Counters: the last region id and the last folder id handed out (start 0 and 1000).
    static int32_t GetRegionCounter();
    static void SetRegionCounter(int32_t value);
    static int32_t GetFolderCounter();
    static void SetFolderCounter(int32_t value);

    // Name, cut to 255 bytes on a character boundary.
    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name);
    void Rename(const std::string& name) { SetName(name); }

    int64_t GetStart() const { return m_start; }
    void SetStart(int64_t v) { m_start = v; }
    int64_t GetEnd() const { return m_end; }
    void SetEnd(int64_t v) { m_end = v; }
    int64_t Length() const { return m_end - m_start; }
    CSample* GetSample() const { return m_sample; }
    void SetSample(CSample* sample) { m_sample = sample; }
    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }
    int32_t GetNextChild() const { return m_nextChild; }
    void SetNextChild(int32_t n) { m_nextChild = n; }
    int32_t GetSampleId() const { return m_sampleId; }
    void SetSampleId(int32_t id) { m_sampleId = id; }
    uint32_t GetFlags() const { return m_flags; }
    void SetFlags(uint32_t flags);
    bool IsFolder() const { return (m_flags & RegionFolder) != 0; }
    bool IsRoot() const { return (m_flags & RegionRoot) != 0; }
    int32_t GetParentId() const { return m_parentId; }
    void SetParentId(int32_t id) { m_parentId = id; }
    const std::string& GetNotes() const { return m_notes; }
    void SetNotes(const std::string& notes); // cut to 255 bytes
    // Changes with every change of what the search keeps copies of (name, notes, title, artist,
    // album, genre, the Folder flag, the search mark set from outside the search); unique over
    // all regions, so the copies know when they are stale.
    uint64_t TextStamp() const { return m_textStamp; }
    // How many stamps have been handed out: while it stands still, no region has changed what
    // the search copied, and no region has been made.
    static uint64_t StampsIssued();
    uint32_t GetSearchMark() const { return m_searchMark; }
    void SetSearchMark(uint32_t mark);
    int32_t GetDate() const { return m_date; }
    void SetDate(int32_t stamp) { m_date = stamp; }
    int32_t GetFolderIcon() const { return m_folderIcon; }
    void SetFolderIcon(int32_t icon) { m_folderIcon = icon; }

    // Peak statistics, 0..65535.
    int32_t GetLeftPeak() const { return m_leftPeak; }
    int32_t GetRightPeak() const { return m_rightPeak; }
    int32_t GetLeftLevel() const { return m_leftLevel; }
    int32_t GetRightLevel() const { return m_rightLevel; }
    void SetPeakStats(int32_t leftPeak, int32_t rightPeak, int32_t leftLevel, int32_t rightLevel);
    // Statistics over every pair of the sample's peak data (left, right interleaved), and the
    // overview over the pairs that the region's range covers. No pairs: statistics 0 and the
    // overview untouched.
    void ComputePeakStats(const uint16_t* pairs, int64_t pairCount);
    const uint8_t* GetOverview() const { return m_overview; }
    uint8_t* MutableOverview() { return m_overview; }
    // A peak value as shown: "%04.2fdB" of 20·log10(v / 65535), −99 for 0.
    static std::string PeakDisplay(int32_t value);

    // Fades: lengths in frames, shapes 0 Lin, 1 Log, 2 Exp kept as two flag bits per fade.
    int32_t GetFadeInLength() const { return m_fadeIn; }
    void SetFadeInLength(int32_t frames) { m_fadeIn = frames; }
    int32_t GetFadeOutLength() const { return m_fadeOut; }
    void SetFadeOutLength(int32_t frames) { m_fadeOut = frames; }
    int GetFadeInShape() const;
    void SetFadeInShape(int shape);
    int GetFadeOutShape() const;
    void SetFadeOutShape(int shape);

    // Tags.
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& v); // cut to 63 bytes
    const std::string& GetArtist() const { return m_artist; }
    void SetArtist(const std::string& v); // cut to 63 bytes
    const std::string& GetAlbum() const { return m_album; }
    void SetAlbum(const std::string& v); // cut to 63 bytes
    const std::string& GetGenre() const { return m_genre; }
    void SetGenre(const std::string& v); // cut to 31 bytes
    int32_t GetYear() const { return m_year; }
    void SetYear(int32_t v) { m_year = v; }
    int32_t GetTrack() const { return m_track; }
    void SetTrack(int32_t v) { m_track = v; }

    // The name of the next region made from this one: "<name>.<nnn>", then the number counts on.
    std::string ChildName();

    // View window and current range, relative to the region start; not stored.
    int32_t GetViewStart() const { return m_viewStart; }
    int32_t GetViewEnd() const { return m_viewEnd; }
    void SetViewWindow(int32_t start, int32_t end);
    // The whole region (0 .. end − start).
    void ResetViewWindow();
    bool HasRange() const { return m_rangeOn; }
    int32_t GetRangeStart() const { return m_rangeStart; }
    int32_t GetRangeEnd() const { return m_rangeEnd; }
    void SetRange(bool on, int32_t start, int32_t end);

    // Range history, newest first, at most ten entries; not stored.
    int GetHistoryCount() const { return m_historyCount; }
    // Entry i (0-based); false when out of range.
    bool GetHistoryEntry(int i, int32_t& start, int32_t& end) const;
    // Nothing happens when on is false.
    void AddToHistory(bool on, int32_t start, int32_t end);
    // 0 clears the current range; n ≥ 1 makes entry n − 1 the current range. False when n names
    // no entry.
    bool SelectHistory(int n);
    // Deletes entry n (1-based); false when n names no entry.
    bool DeleteHistory(int n);
    // "none", then "<start> - <end>" per entry as times at the sample's rate.
    std::vector<std::string> HistoryLines() const;

    // Notes, tags, markers, range history with the current range, and snaps of other (see
    // CopySnapsFrom).
    void CopyFrom(const CRegion& other);
    // Notes and tags (title, artist, album, genre, year, track) of other.
    void CopyNotesAndTags(const CRegion& other);
    // This region's own "Flat" first, then copies of other's snaps from the second on, with
    // other's current and favourite indexes.
    void CopySnapsFrom(const CRegion& other);

    CDSPSnapList& Snaps() { return m_snaps; }
    const CDSPSnapList& Snaps() const { return m_snaps; }
    CMarkersList& Markers() { return m_markers; }
    const CMarkersList& Markers() const { return m_markers; }

    // Marker operations. Each one refreshes the marker list view through the view hook.
    // A new marker at position p: text "<time> (you can edit this text)", icon 0.
    CMarker* NewMarker(int64_t position);
    bool DeleteMarker(int n);
    bool DeleteMarker(CMarker* marker);
    bool MoveMarker(int n, int64_t position);
    bool MoveMarker(CMarker* marker, int64_t position);
    void ShowMarkers() const;
    // The marker list view of the window: it is cleared and given every row.
    using MarkerViewHook = std::function<void(const std::vector<CMarkersList::Row>& rows)>;
    static void SetMarkerViewHook(MarkerViewHook hook);

    // The read-only info list: (label, value) rows in display order.
    std::vector<std::pair<std::string, std::string>> InfoList() const;

    // Sample rate of the region's sample, 0 without one.
    int32_t SampleRate() const;

private:
    std::string m_name;
    int64_t m_start = 0;
    int64_t m_end = 0;
    CSample* m_sample = nullptr;
    int32_t m_id = 0;
    int32_t m_nextChild = 1;
    int32_t m_sampleId = 0;
    uint32_t m_flags = 0;
    int32_t m_parentId = 0;
    std::string m_notes;
    uint32_t m_searchMark = 0;
    uint64_t m_textStamp = 0;
    int32_t m_date = 0;
    int32_t m_leftPeak = 0, m_rightPeak = 0, m_leftLevel = 0, m_rightLevel = 0;
    int32_t m_folderIcon = 0;
    int32_t m_fadeIn = 0, m_fadeOut = 0;
    CDSPSnapList m_snaps;
    CMarkersList m_markers;
    int32_t m_viewStart = 0, m_viewEnd = 0;
    bool m_rangeOn = false;
    int32_t m_rangeStart = 0, m_rangeEnd = 0;
    int32_t m_historyStart[kHistorySize] = {};
    int32_t m_historyEnd[kHistorySize] = {};
    int32_t m_historyCount = 0;
    uint8_t m_overview[kOverviewSize] = {};
    std::string m_title, m_artist, m_album, m_genre;
    int32_t m_year = 0, m_track = 0;

    void RefreshMarkerView() const;
    void TextChanged();

    // The search writes marks through its copies, which then stay valid.
    friend class CRegionTextIndex;
};
