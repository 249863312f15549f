#include "audiofile/AudioFileRaw.h"

bool AudioFileRaw::CodingFor(int32_t b, int32_t code, SampleCoding& out) {
    const bool ordered = code == kRawIntLE || code == kRawIntBE;
    switch (b) {
    case 8: out = ordered ? SampleCoding::S8 : SampleCoding::U8; return true;
    case 16: out = code == kRawIntBE ? SampleCoding::S16BE : SampleCoding::S16LE; return true;
    case 24: out = code == kRawIntBE ? SampleCoding::S24BE : SampleCoding::S24LE; return true;
    case 32:
        if (ordered) out = code == kRawIntBE ? SampleCoding::S32BE : SampleCoding::S32LE;
        else out = code == kRawFloatBE ? SampleCoding::F32BE : SampleCoding::F32LE;
        return true;
    default: return false;
    }
}

bool AudioFileRaw::OpenRead() {
    if (!OpenReadChecked()) return false;
    if (!CheckReadFormat() || !CodingFor(bits, sampleType, coding)) {
        if (errorText.empty()) SetError("Unsupported sample size (8, 16, 24 or 32 bits only).");
        Close();
        return false;
    }
    dataOffset = 0;
    dataBytes = FileSize();
    frames = dataBytes / FrameBytes();
    dataPos = 0;
    return true;
}

bool AudioFileRaw::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    SetWriteFormat(ch, r, b, type);
    dataOffset = 0;
    if ((ch != 1 && ch != 2) || r <= 0 || !CodingFor(b, type, coding)) {
        SetError("Unsupported sample format.");
        return false;
    }
    return OpenWriteChecked();
}

bool AudioFileEmpty::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    SetWriteFormat(ch, r, b, type);
    return OpenWriteChecked();
}
