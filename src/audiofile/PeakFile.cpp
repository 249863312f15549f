#include "audiofile/PeakFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/ByteIO.h"

namespace {

constexpr int kMagicBytes = 4;
constexpr int kRecordBytes = PeakFile::kHeaderBytes - kMagicBytes;

// A peak on the 0..65535 scale; louder-than-full-scale float material saturates.
inline uint16_t PeakValue(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 1.0) return 65535;
    return static_cast<uint16_t>(v * 65535.0);
}

} // namespace

bool PeakFile::OpenRead() {
    if (!FolderExists() || !OpenForRead()) return false;
    uint8_t h[PeakFile::kHeaderBytes];
    if (Read(h, kHeaderBytes) < kHeaderBytes || std::memcmp(h, "KXSF", 4) != 0) {
        Close();
        return false;
    }
    ByteReader r(h + 4, kRecordBytes);
    m_version = r.I32();
    m_valuesPerEntry = r.I32();
    m_entryCount = r.I32();
    m_framesPerEntry = r.I32();
    m_bytesPerValue = r.I32();
    // Never promise more entries than the file holds.
    const int64_t inFile = std::max<int64_t>(0, (FileSize() - kHeaderBytes) / 4);
    m_entryCount = static_cast<int32_t>(std::clamp<int64_t>(m_entryCount, 0, inFile));
    return true;
}

int32_t PeakFile::ReadEntries(uint16_t* buffer, int32_t count) {
    if (count <= 0 || buffer == nullptr) return 0;
    // Straight into the caller's buffer, then each value from its two little-endian bytes in
    // place: a value's bytes are exactly the bytes it replaces.
    const int64_t got = Read(buffer, static_cast<int64_t>(count) * 4);
    const int32_t whole = static_cast<int32_t>(got / 4);
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < 2 * static_cast<int64_t>(whole); ++i) {
        const uint16_t v = LoadLE16(bytes + 2 * i);
        std::memcpy(bytes + 2 * i, &v, 2);
    }
    return whole;
}

bool PeakFile::Create(int32_t valuesPerEntry, int32_t entryCount, int32_t bytesPerValue, int32_t framesPerEntry) {
    m_version = 1;
    m_valuesPerEntry = valuesPerEntry;
    m_entryCount = entryCount;
    m_bytesPerValue = bytesPerValue;
    m_framesPerEntry = framesPerEntry;
    if (!FolderExists() || !OpenForWrite()) return false;
    ByteWriter w;
    w.Bytes("KXSF", 4);
    w.I32(m_version);
    w.I32(m_valuesPerEntry);
    w.I32(m_entryCount);
    w.I32(m_framesPerEntry);
    w.I32(m_bytesPerValue);
    w.Zeros(12 + 1024);
    const int64_t n = static_cast<int64_t>(w.Size());
    return Write(w.Data().data(), n) == n;
}

int32_t PeakFile::WriteEntries(const uint16_t* buffer, int32_t count) {
    if (count <= 0 || buffer == nullptr) return 0;
    // Through a small staging block: the file keeps no buffer, and a write of millions of
    // entries needs no copy of them.
    constexpr int32_t kChunkEntries = 4096;
    uint8_t raw[kChunkEntries * 4];
    int32_t written = 0;
    while (written < count) {
        const int32_t n = std::min(kChunkEntries, count - written);
        const uint16_t* src = buffer + 2 * static_cast<int64_t>(written);
        for (int32_t i = 0; i < 2 * n; ++i) StoreLE16(raw + 2 * i, src[i]);
        const int64_t put = Write(raw, static_cast<int64_t>(n) * 4);
        written += static_cast<int32_t>(put / 4);
        if (put != static_cast<int64_t>(n) * 4) break;
    }
    return written;
}

bool ReadPeakPairs(const std::string& folder, const std::string& name, std::vector<uint16_t>& pairs) {
    pairs.clear();
    PeakFile file(folder, name);
    if (!file.OpenRead()) return false;
    if (file.ValuesPerEntry() != 2) return false;
    const int32_t count = file.EntryCount();
    pairs.resize(static_cast<size_t>(count) * 2);
    const int32_t got = file.ReadEntries(pairs.data(), count);
    pairs.resize(static_cast<size_t>(got) * 2);
    return true;
}

int32_t PeakFramesPerEntry(int32_t rate) { return rate <= 22049 ? 64 : rate <= 44099 ? 128 : 256; }
int32_t LevelFramesPerBlock(int32_t rate) { return rate <= 22049 ? 1024 : rate <= 44099 ? 2048 : 4096; }

void AppendPeakEntry(PeakBuffers& buffers, float maxLeft, float maxRight) {
    if (static_cast<int64_t>(buffers.peaks.size()) < buffers.peakCapacity - 3) {
        buffers.peaks.push_back(PeakValue(maxLeft));
        buffers.peaks.push_back(PeakValue(maxRight));
    }
}

void AppendLevelPair(PeakBuffers& buffers, double meanLeft, double meanRight) {
    if (static_cast<int64_t>(buffers.levels.size()) < buffers.levelCapacity - 3) {
        buffers.levels.push_back(PeakValue(meanLeft));
        buffers.levels.push_back(PeakValue(meanRight));
    }
}

void BuildPeaks(const float* block, int32_t frames, PeakBuffers& buffers, int32_t framesPerEntry,
                int32_t framesPerLevel) {
    if (block == nullptr || frames <= 0 || framesPerEntry <= 0 || framesPerLevel <= 0) return;
    float maxL = 0.0f, maxR = 0.0f;
    int32_t countdown = framesPerEntry;
    for (int32_t i = 0; i < frames; ++i) {
        maxL = std::max(maxL, std::fabs(block[2 * i]));
        maxR = std::max(maxR, std::fabs(block[2 * i + 1]));
        if (--countdown == 0) {
            AppendPeakEntry(buffers, maxL, maxR);
            maxL = maxR = 0.0f;
            countdown = framesPerEntry;
        }
    }
    double sumL = 0.0, sumR = 0.0;
    countdown = framesPerLevel;
    for (int32_t i = 0; i < frames; ++i) {
        sumL += std::fabs(block[2 * i]);
        sumR += std::fabs(block[2 * i + 1]);
        if (--countdown == 0) {
            AppendLevelPair(buffers, sumL / framesPerLevel, sumR / framesPerLevel);
            sumL = sumR = 0.0;
            countdown = framesPerLevel;
        }
    }
}

bool WritePeakFile(const std::string& folder, const std::string& name, const PeakBuffers& buffers,
                   int32_t framesPerEntry) {
    const int32_t entries = static_cast<int32_t>(buffers.peaks.size() / 2);
    PeakFile file(folder, name);
    if (!file.Create(2, entries, 2, framesPerEntry)) {
        file.Delete();
        return false;
    }
    const bool ok = file.WriteEntries(buffers.peaks.data(), entries) == entries;
    file.Close();
    // A half-written peak file would be trusted later: leave none instead.
    if (!ok) file.Delete();
    return ok;
}
