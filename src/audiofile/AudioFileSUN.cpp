#include "audiofile/AudioFileSUN.h"

#include <cstring>

#include "common/ByteIO.h"

bool AudioFileSUN::OpenRead() {
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[24];
    if (!ReadMark(h, ".snd", "No SUN header.")) return false;
    if (Read(h + 4, 20) < 20) {
        SetError("Incomplete SUN header found (malformed?).");
        return false;
    }
    const uint32_t offset = LoadBE32(h + 4);
    const uint32_t encoding = LoadBE32(h + 12);
    const uint32_t r = LoadBE32(h + 16);
    const uint32_t ch = LoadBE32(h + 20);
    sampleType = kSampleInt;
    switch (encoding) {
    case 2: bits = 8; break;
    case 3: bits = 16; break;
    case 4: bits = 24; break;
    case 5: bits = 32; break;
    case 6:
        bits = 32;
        sampleType = kSampleFloat;
        break;
    default: SetError("Encoding not supported."); return false;
    }
    if (offset < 24 || offset > fileSize) {
        SetError("Invalid SUN data offset (malformed?).");
        return false;
    }
    channels = ch > 2 ? 0 : ch;
    rate = r > 0x7FFFFFFF ? 0 : static_cast<int32_t>(r);
    if (!CheckReadFormat()) return false;
    PcmCodingFor(bits, sampleType == kSampleFloat, true, false, coding);
    dataOffset = offset;
    dataBytes = fileSize - offset;
    return StartAtData();
}

bool AudioFileSUN::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    SetWriteFormat(ch, r, b, type);
    dataOffset = 24;
    uint32_t encoding = 0;
    switch (b) {
    case 8: encoding = 2; break;
    case 16: encoding = 3; break;
    case 24: encoding = 4; break;
    case 32: encoding = type != 0 ? 6 : 5; break;
    default: break;
    }
    if (encoding == 0 || (type != 0 && b != 32) || (ch != 1 && ch != 2) || r <= 0) {
        SetError("Unsupported sample format.");
        return false;
    }
    PcmCodingFor(b, type != 0, true, false, coding);
    if (!OpenWriteChecked()) return false;
    uint8_t h[24];
    std::memcpy(h, ".snd", 4);
    StoreBE32(h + 4, 24);
    StoreBE32(h + 8, 0xFFFFFFFFu); // length unknown: the data runs to the end of the file
    StoreBE32(h + 12, encoding);
    StoreBE32(h + 16, static_cast<uint32_t>(r));
    StoreBE32(h + 20, ch);
    NoteWrite(24, Write(h, 24));
    if (!FinishResult()) {
        DiscardCreatedFile();
        return false;
    }
    return true;
}
