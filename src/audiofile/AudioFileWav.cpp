#include "audiofile/AudioFileWav.h"

#include <algorithm>
#include <cstring>

#include "common/ByteIO.h"

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
// The tail shared by the sub-format GUIDs of the extensible format (after the 4-byte tag).
constexpr uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The hint is given for any tag with both bits of 0x5000 set, judged on the tag as stored in
// the file: that covers 0xFFFE, so an extensible header whose sub-format we cannot read gets
// it too.
bool LooksLikeMpeg(uint32_t tag) { return (tag & 0x5000) == 0x5000; }

} // namespace

bool AudioFileWav::ReadFmt(int64_t bodyPos, uint32_t size) {
    if (size < 16) {
        SetError("Incomplete fmt chunk (malformed?).");
        return false;
    }
    uint8_t b[40] = {};
    const int64_t want = std::min<int64_t>(size, 40);
    if (Seek(bodyPos) < 0 || Read(b, want) != want) {
        SetError("Incomplete fmt chunk (malformed?).");
        return false;
    }
    const uint32_t storedTag = LoadLE16(b);
    uint32_t tag = storedTag;
    channels = LoadLE16(b + 2);
    rate = static_cast<int32_t>(LoadLE32(b + 4));
    const uint16_t blockAlign = LoadLE16(b + 12);
    bits = LoadLE16(b + 14);

    if (tag == kTagExtensible && want >= 40 && LoadLE16(b + 16) >= 22 && LoadLE16(b + 26) == 0 &&
        std::memcmp(b + 28, kGuidTail, sizeof kGuidTail) == 0) {
        // A valid extensible header: its sub-format says what the samples are.
        tag = LoadLE16(b + 24);
    }
    if (tag == kTagPcm) {
        sampleType = kSampleInt;
    } else if (tag == kTagFloat) {
        sampleType = kSampleFloat;
    } else {
        SetError(LooksLikeMpeg(storedTag) ? "May contain MPEG data. Rename to .mp3 and retry, please."
                                          : "Unsupported sample datatype.");
        return false;
    }
    // Containers are whole bytes: 20 bits are stored as 24, 12 as 16.
    if (bits > 8 && bits < 32 && bits % 8 != 0) bits = (bits + 7) / 8 * 8;
    if (bits == 24 && channels > 0 && blockAlign / channels == 4) {
        SetError("Zero-padded 24bit not supported.");
        return false;
    }
    if (!CheckReadFormat()) return false;
    if (!PcmCodingFor(bits, sampleType == kSampleFloat, false, true, coding)) {
        SetError("Unsupported sample datatype.");
        return false;
    }
    return true;
}

bool AudioFileWav::OpenRead() {
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[12];
    if (!ReadMark(h, "RIFF", "No RIFF chunk.")) return false;
    if (Read(h + 4, 8) < 8 || std::memcmp(h + 8, "WAVE", 4) != 0) {
        SetError("No WAVE chunk.");
        return false;
    }
    bool haveFmt = false, haveData = false;
    int64_t pos = 12;
    while (!(haveFmt && haveData)) {
        uint8_t c[8];
        if (pos + 8 > fileSize || Seek(pos) < 0 || Read(c, 8) < 8) {
            SetError("No FMT/DATA chunks found (malformed?).");
            return false;
        }
        const uint32_t size = LoadLE32(c + 4);
        const int64_t body = pos + 8;
        // A chunk of odd size is followed by a pad byte.
        int64_t next = body + size + (size & 1);
        if (std::memcmp(c, "fmt ", 4) == 0 && !haveFmt) {
            if (!ReadFmt(body, size)) return false;
            haveFmt = true;
        } else if (std::memcmp(c, "data", 4) == 0 && !haveData) {
            dataOffset = body;
            const int64_t avail = fileSize - body;
            // 0 (and a length beyond the file, as streaming writers leave) runs to the end.
            dataBytes = (size == 0) ? avail : std::min<int64_t>(size, avail);
            if (size == 0) next = fileSize;
            haveData = true;
        }
        pos = next;
    }
    return StartAtData();
}

bool AudioFileWav::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    SetWriteFormat(ch, r, b, type);
    dataOffset = 44;
    maxDataBytes = 0xFFFFFFFFLL - 37;
    if ((ch != 1 && ch != 2) || r <= 0 || !PcmCodingFor(b, type != 0, false, true, coding)) {
        SetError("Unsupported sample format.");
        return false;
    }
    if (!OpenWriteChecked()) return false;
    ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32(0);
    w.Bytes("WAVE", 4);
    w.Bytes("fmt ", 4);
    w.U32(16);
    w.U16(type != 0 ? kTagFloat : kTagPcm);
    w.U16(static_cast<uint16_t>(ch));
    w.U32(static_cast<uint32_t>(r));
    w.U32(ch * static_cast<uint32_t>(r) * static_cast<uint32_t>(b / 8));
    w.U16(static_cast<uint16_t>(ch * b / 8));
    w.U16(static_cast<uint16_t>(b));
    w.Bytes("data", 4);
    w.U32(0);
    const int64_t n = static_cast<int64_t>(w.Size());
    NoteWrite(n, Write(w.Data().data(), n));
    if (!FinishResult()) {
        DiscardCreatedFile();
        return false;
    }
    return true;
}

bool AudioFileWav::FinishWrite() {
    if (!IsOpen()) return false;
    // RIFF chunks are padded to even length; readers that honour the pad depend on it.
    const uint32_t pad = static_cast<uint32_t>(dataBytes & 1);
    if (pad) {
        const uint8_t zero = 0;
        NoteWrite(1, Write(&zero, 1));
    }
    uint8_t v[4];
    StoreLE32(v, static_cast<uint32_t>(dataBytes + 36 + pad));
    if (!WriteAt(4, v, 4)) writeFailed = true;
    StoreLE32(v, static_cast<uint32_t>(dataBytes));
    if (!WriteAt(40, v, 4)) writeFailed = true;
    return FinishResult();
}

bool AudioFileWav::KeepWritten(int64_t& kept) {
    // The data chunk ends after the last whole frame; the header is patched in place.
    const int64_t end = dataOffset + dataBytes;
    if (!IsOpen() || !Truncate(end) || Seek(end) < 0) return false;
    writeFailed = false;
    errorText.clear();
    kept = dataBytes / FrameBytes();
    return true;
}
