#pragma once
// PeakFile: the small file of per-entry maxima kept beside every sample ("KXSF"). An entry is
// two uint16, the left and right peak of its frames on a 0..65535 scale. The wave viewer draws
// a whole sample from it and the region model makes each region's overview from it.
//
// All operations report failure as false or as a short count, without a message.
// Threading: one thread at a time per object.

#include <cstdint>
#include <string>
#include <vector>

#include "audiofile/CFile.h"

class PeakFile : public CFile {
public:
    static constexpr int kHeaderBytes = 1060;

    using CFile::CFile;

    // Checks the folder, opens the file and reads the magic and the header.
    bool OpenRead();
    // Whole entries read into buffer (count × 2 uint16).
    int32_t ReadEntries(uint16_t* buffer, int32_t count);
    // Sets the header, checks the folder, creates the file and writes magic and header.
    bool Create(int32_t valuesPerEntry, int32_t entryCount, int32_t bytesPerValue, int32_t framesPerEntry);
    // Whole entries written from buffer.
    int32_t WriteEntries(const uint16_t* buffer, int32_t count);

    // The header's entry count; after OpenRead it is bounded by the entries really in the file.
    int32_t EntryCount() const { return m_entryCount; }
    int32_t FramesPerEntry() const { return m_framesPerEntry; }
    int32_t ValuesPerEntry() const { return m_valuesPerEntry; }

private:
    int32_t m_version = 1;
    int32_t m_valuesPerEntry = 2;
    int32_t m_entryCount = 0;
    int32_t m_framesPerEntry = 256;
    int32_t m_bytesPerValue = 2;
};

// Reads every entry of a peak file as interleaved (left, right) pairs. False when the file
// cannot be opened or is not a peak file of 16-bit pairs.
bool ReadPeakPairs(const std::string& folder, const std::string& name, std::vector<uint16_t>& pairs);

// Frames per peak entry and per level block, by sample rate.
int32_t PeakFramesPerEntry(int32_t rate);
int32_t LevelFramesPerBlock(int32_t rate);

// The shared peak and level buffers, filled by whoever streams audio (import, recording, CD
// import, rebuild) and drawn by the wave viewer. One stream at a time fills them, on its own
// thread; the values grow on demand up to the fixed capacities.
struct PeakBuffers {
    static constexpr int64_t kPeakCapacity = 17000000;
    static constexpr int64_t kLevelCapacity = 2500000;

    std::vector<uint16_t> peaks;  // left, right per entry
    std::vector<uint16_t> levels; // mean |left|, mean |right| per level block
    int64_t peakCapacity = kPeakCapacity;
    int64_t levelCapacity = kLevelCapacity;

    void Clear() {
        peaks.clear();
        levels.clear();
    }
};

// Appends the peaks and levels of one block of the stereo float buffer. Counters start afresh
// at every call: feed blocks whose length is a multiple of both block lengths.
void BuildPeaks(const float* block, int32_t frames, PeakBuffers& buffers, int32_t framesPerEntry,
                int32_t framesPerLevel);

// One entry (the two maxima of |sample|) and one level pair (the two means of |sample|), each
// appended under BuildPeaks' capacity rule: for builders that find them another way.
void AppendPeakEntry(PeakBuffers& buffers, float maxLeft, float maxRight);
void AppendLevelPair(PeakBuffers& buffers, double meanLeft, double meanRight);

// Writes the peak buffer as a peak file (after an import, recording, CD import or rebuild).
bool WritePeakFile(const std::string& folder, const std::string& name, const PeakBuffers& buffers,
                   int32_t framesPerEntry);
