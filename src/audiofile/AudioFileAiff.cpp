#include "audiofile/AudioFileAiff.h"

#include <algorithm>
#include <cstring>

#include "common/ByteIO.h"

int32_t AudioFileAiff::DecodeRate(const uint8_t ext[10]) {
    int e = ext[1];
    if (e < 11 || e > 17) e = 13;
    const uint32_t m = LoadBE16(ext + 2);
    const int shift = e - 14;
    return static_cast<int32_t>(shift >= 0 ? m << shift : m >> -shift);
}

void AudioFileAiff::EncodeRate(int32_t rate, uint8_t ext[10]) {
    int e = 11;
    if (rate >= 262144) e = 17;
    else if (rate >= 131072) e = 16;
    else if (rate >= 65536) e = 15;
    else if (rate >= 32768) e = 14;
    else if (rate >= 16384) e = 13;
    else if (rate >= 8192) e = 12;
    const int shift = 14 - e;
    const uint32_t r = static_cast<uint32_t>(rate);
    const uint32_t m = shift >= 0 ? r << shift : r >> -shift;
    std::memset(ext, 0, 10);
    ext[0] = 0x40;
    ext[1] = static_cast<uint8_t>(e);
    StoreBE16(ext + 2, static_cast<uint16_t>(m));
}

bool AudioFileAiff::OpenRead() {
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[12];
    if (!ReadMark(h, "FORM", "No FORM chunk.")) return false;
    if (Read(h + 4, 8) < 8 || std::memcmp(h + 8, "AIFF", 4) != 0) {
        SetError("No AIFF chunk.");
        return false;
    }
    bool haveComm = false, haveSsnd = false;
    int64_t pos = 12;
    while (!(haveComm && haveSsnd)) {
        uint8_t c[8];
        if (pos + 8 > fileSize || Seek(pos) < 0 || Read(c, 8) < 8) {
            SetError("No COMM/SSND chunks found (malformed?).");
            return false;
        }
        const uint32_t size = LoadBE32(c + 4);
        const int64_t body = pos + 8;
        int64_t next = body + size + (size & 1);
        if (std::memcmp(c, "COMM", 4) == 0 && !haveComm) {
            uint8_t b[18];
            if (size < 18 || Read(b, 18) < 18) {
                SetError("Incomplete COMM chunk (malformed?).");
                return false;
            }
            channels = LoadBE16(b);
            sampleType = kSampleInt;
            bits = static_cast<int16_t>(LoadBE16(b + 6));
            rate = DecodeRate(b + 8);
            if (bits > 8 && bits < 32 && bits % 8 != 0) bits = (bits + 7) / 8 * 8;
            if (!CheckReadFormat()) return false;
            PcmCodingFor(bits, false, true, false, coding);
            haveComm = true;
        } else if (std::memcmp(c, "SSND", 4) == 0 && !haveSsnd) {
            uint8_t b[8];
            // Size 0 is an unfinished file: the samples run to its end.
            if ((size != 0 && size < 8) || Read(b, 8) < 8) {
                SetError("Incomplete SSND chunk (malformed?).");
                return false;
            }
            const uint32_t offset = LoadBE32(b);
            dataOffset = std::min<int64_t>(body + 8 + static_cast<int64_t>(offset), fileSize);
            const int64_t avail = fileSize - dataOffset;
            // The chunk counts its offset and block-size fields and the offset bytes too.
            const int64_t stated = static_cast<int64_t>(size) - 8 - static_cast<int64_t>(offset);
            dataBytes = (size == 0) ? avail : std::clamp<int64_t>(stated, 0, avail);
            if (size == 0) next = fileSize;
            haveSsnd = true;
        }
        pos = next;
    }
    return StartAtData();
}

bool AudioFileAiff::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    SetWriteFormat(ch, r, b, type);
    dataOffset = 54;
    maxDataBytes = 0xFFFFFFFFLL - 47;
    // The rate field holds 16 significant bits at exponents up to 17.
    if ((ch != 1 && ch != 2) || r <= 0 || r >= 524288 || type != 0 || !PcmCodingFor(b, false, true, false, coding)) {
        SetError("Unsupported sample format.");
        return false;
    }
    if (!OpenWriteChecked()) return false;
    uint8_t h[54] = {};
    std::memcpy(h, "FORM", 4);
    std::memcpy(h + 8, "AIFF", 4);
    std::memcpy(h + 12, "COMM", 4);
    StoreBE32(h + 16, 18);
    StoreBE16(h + 20, static_cast<uint16_t>(ch));
    StoreBE16(h + 26, static_cast<uint16_t>(b));
    EncodeRate(r, h + 28);
    std::memcpy(h + 38, "SSND", 4);
    NoteWrite(54, Write(h, 54));
    if (!FinishResult()) {
        DiscardCreatedFile();
        return false;
    }
    return true;
}

bool AudioFileAiff::FinishWrite() {
    if (!IsOpen()) return false;
    const uint32_t pad = static_cast<uint32_t>(dataBytes & 1);
    if (pad) {
        const uint8_t zero = 0;
        NoteWrite(1, Write(&zero, 1));
    }
    uint8_t v[4];
    StoreBE32(v, static_cast<uint32_t>(dataBytes + 46 + pad));
    if (!WriteAt(4, v, 4)) writeFailed = true;
    StoreBE32(v, static_cast<uint32_t>(frames));
    if (!WriteAt(22, v, 4)) writeFailed = true;
    StoreBE32(v, static_cast<uint32_t>(dataBytes + 8));
    if (!WriteAt(42, v, 4)) writeFailed = true;
    return FinishResult();
}
