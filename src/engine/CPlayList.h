#pragma once
// CPlayList: the regions to play, each at its start frame on the play timeline. Ordinary
// playback holds one region at frame 0; export holds the region it renders.
//
// An entry keeps what the disk thread needs of its region and sample (file, format, bounds,
// fades) as they were when the entry was added, so the disk thread never reads the library
// model while the main thread edits it.
//
// Threading: main thread only, and only while the transport is stopped (the swapper's copy
// points at the entries; the state change that starts a run publishes them).

#include <cstdint>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"

class CRegion;

struct PlayItem {
    const CRegion* region = nullptr; // identity only; never read by the engine threads
    int32_t start = 0;               // frame on the play timeline
    std::string folder;              // the sample file
    std::string fileName;
    int32_t formatCode = 0;
    int64_t sampleFrames = 0; // the sample's length, for readers that cannot know it
    int32_t sampleRate = 44100;
    // The layout of a raw sample, whose file does not state it (ignored for other formats).
    int32_t channels = 2;
    int32_t bits = 16;
    int32_t rawSampleType = kRawIntLE;
    int64_t regionStart = 0; // first frame in the sample
    int64_t length = 0;      // region length L; the entry supplies L + 1 frames
    int32_t fadeIn = 0, fadeOut = 0;
    int fadeInShape = 0, fadeOutShape = 0;
};

class CPlayList {
public:
    static constexpr int kMaxEntries = 10000;

    CPlayList() { m_items.reserve(kMaxEntries); }

    // Count and index 0.
    void Clear() {
        m_items.clear();
        m_index = 0;
    }
    // Appends the region at timeline frame start. False when the list is full or the region
    // has no sample.
    bool Add(const CRegion& region, int32_t start);
    // Appends an item made by the caller (a transient region that the library does not hold).
    bool AddItem(const PlayItem& item);

    int Count() const { return static_cast<int>(m_items.size()); }
    const PlayItem& Entry(int i) const { return m_items[static_cast<size_t>(i)]; }
    int Index() const { return m_index; }
    void SetIndex(int i) { m_index = i; }

private:
    std::vector<PlayItem> m_items; // capacity for every entry from the start: never reallocated
    int m_index = 0;
};
