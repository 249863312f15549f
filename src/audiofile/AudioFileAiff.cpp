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

int16_t AudioFileAiff::ULawToLinear(uint8_t code) {
    const int x = ~code & 0xFF;
    const int t = (((x & 0x0F) << 3) + 0x84) << ((x & 0x70) >> 4);
    return static_cast<int16_t>((x & 0x80) ? 0x84 - t : t - 0x84);
}

int16_t AudioFileAiff::ALawToLinear(uint8_t code) {
    const int x = code ^ 0x55;
    int t = (x & 0x0F) << 4;
    const int seg = (x & 0x70) >> 4;
    if (seg == 0) t += 8;
    else t = (t + 0x108) << (seg - 1);
    return static_cast<int16_t>((x & 0x80) ? t : -t);
}

namespace {

bool IsType(const uint8_t type[4], const char* a, const char* b = nullptr) {
    return std::memcmp(type, a, 4) == 0 || (b != nullptr && std::memcmp(type, b, 4) == 0);
}

} // namespace

bool AudioFileAiff::ReadsCompression(const uint8_t type[4]) {
    return IsType(type, "NONE", "twos") || IsType(type, "sowt") || IsType(type, "fl32", "FL32") ||
           IsType(type, "fl64", "FL64") || IsType(type, "ulaw", "ULAW") || IsType(type, "alaw", "ALAW");
}

int AudioFileAiff::StoredSampleBytes() const {
    switch (m_kind) {
    case Kind::Float64: return 8;
    case Kind::ULaw:
    case Kind::ALaw: return 1;
    case Kind::Pcm: break;
    }
    return BytesPerSample(coding);
}

bool AudioFileAiff::OpenRead() {
    m_kind = Kind::Pcm;
    m_unsupportedCompression = false;
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[12];
    if (!ReadMark(h, "FORM", "No FORM chunk.")) return false;
    if (Read(h + 4, 8) < 8 || (std::memcmp(h + 8, "AIFF", 4) != 0 && std::memcmp(h + 8, "AIFC", 4) != 0)) {
        SetError("No AIFF chunk.");
        return false;
    }
    const bool aifc = std::memcmp(h + 8, "AIFC", 4) == 0;
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
            // AIFF-C adds the compression type (and its name, which says nothing more).
            uint8_t b[22];
            const uint32_t need = aifc ? 22 : 18;
            if (size < need || Read(b, need) < need) {
                SetError("Incomplete COMM chunk (malformed?).");
                return false;
            }
            channels = LoadBE16(b);
            sampleType = kSampleInt;
            bits = static_cast<int16_t>(LoadBE16(b + 6));
            rate = DecodeRate(b + 8);
            if (bits > 8 && bits < 32 && bits % 8 != 0) bits = (bits + 7) / 8 * 8;
            bool bigEndian = true;
            if (aifc) {
                const uint8_t* type = b + 18;
                if (!ReadsCompression(type)) {
                    m_unsupportedCompression = true;
                    SetError("Unsupported AIFF-C compression '" + std::string(reinterpret_cast<const char*>(type), 4) +
                             "'.");
                    return false;
                }
                // The sample size field of the coded kinds tells the width the samples had
                // before coding, not what is stored: it is set from the type instead.
                if (IsType(type, "sowt")) {
                    bigEndian = false;
                } else if (IsType(type, "fl32", "FL32")) {
                    bits = 32;
                    sampleType = kSampleFloat;
                } else if (IsType(type, "fl64", "FL64")) {
                    bits = 32; // delivered as 32-bit floats
                    sampleType = kSampleFloat;
                    m_kind = Kind::Float64;
                } else if (IsType(type, "ulaw", "ULAW")) {
                    bits = 16;
                    m_kind = Kind::ULaw;
                } else if (IsType(type, "alaw", "ALAW")) {
                    bits = 16;
                    m_kind = Kind::ALaw;
                }
            }
            if (!CheckReadFormat()) return false;
            if (!PcmCodingFor(bits, sampleType == kSampleFloat, bigEndian, false, coding)) {
                SetError("Unsupported sample size (8 to 32 bits only).");
                return false;
            }
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
    if (m_kind == Kind::Pcm) return StartAtData();
    // The coded kinds store other widths than they deliver: whole frames by the stored width.
    const int64_t frameBytes = static_cast<int64_t>(channels) * StoredSampleBytes();
    dataBytes -= dataBytes % frameBytes;
    frames = dataBytes / frameBytes;
    dataPos = 0;
    if (Seek(dataOffset) < 0) {
        SetError("Can't open file.");
        return false;
    }
    return true;
}

int32_t AudioFileAiff::ReadSamples(void* buffer, int32_t n, bool asFloat) {
    if (m_kind == Kind::Pcm) return PcmRead(buffer, n, asFloat);
    if (n <= 0 || buffer == nullptr) return 0;
    const int32_t whole = m_kind == Kind::Float64 ? ReadFloat64(buffer, n, asFloat) : ReadG711(buffer, n, asFloat);
    std::memset(static_cast<uint8_t*>(buffer) + static_cast<int64_t>(whole) * 8, 0, static_cast<size_t>(n - whole) * 8);
    return whole;
}

int32_t AudioFileAiff::ReadG711(void* buffer, int32_t n, bool asFloat) {
    // One byte a sample: read into the front of the buffer and widen from the end, as the
    // common path does.
    const int64_t ch = channels;
    const int64_t want = static_cast<int64_t>(n) * ch;
    const int64_t left = std::max<int64_t>(0, dataBytes - dataPos);
    const int64_t got = IsOpen() ? std::max<int64_t>(0, Read(buffer, std::min(want, left))) : 0;
    dataPos += got;
    const int64_t whole = got / ch;
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    float* f = static_cast<float*>(buffer);
    int32_t* v = static_cast<int32_t*>(buffer);
    const bool ulaw = m_kind == Kind::ULaw;
    for (int64_t i = whole * ch - 1; i >= 0; --i) {
        const int16_t x = ulaw ? ULawToLinear(in[i]) : ALawToLinear(in[i]);
        // Mono goes to both sides of frame i; stereo sample i is value i.
        const int64_t at = ch == 1 ? 2 * i : i;
        if (asFloat) {
            f[at] = static_cast<float>(x) / 32768.0f;
            if (ch == 1) f[at + 1] = f[at];
        } else {
            v[at] = x;
            if (ch == 1) v[at + 1] = x;
        }
    }
    return static_cast<int32_t>(whole);
}

int32_t AudioFileAiff::ReadFloat64(void* buffer, int32_t n, bool asFloat) {
    // Eight bytes a sample is wider than the output: staged through a block of our own.
    constexpr int32_t kStage = 4096;
    const int64_t ch = channels;
    const int64_t frameBytes = ch * 8;
    m_scratch.resize(static_cast<size_t>(kStage * frameBytes));
    float* f = static_cast<float*>(buffer);
    int32_t done = 0;
    while (done < n && IsOpen()) {
        const int64_t left = std::max<int64_t>(0, dataBytes - dataPos);
        const int64_t want = std::min<int64_t>(std::min<int64_t>(n - done, kStage) * frameBytes, left);
        if (want <= 0) break;
        const int64_t got = std::max<int64_t>(0, Read(m_scratch.data(), want));
        dataPos += got;
        const int64_t whole = got / frameBytes;
        for (int64_t i = 0; i < whole; ++i) {
            for (int64_t c = 0; c < 2; ++c) {
                const int64_t src = (i * ch + (ch == 1 ? 0 : c)) * 8;
                uint64_t bitsOf = 0;
                for (int k = 0; k < 8; ++k) bitsOf = (bitsOf << 8) | m_scratch[static_cast<size_t>(src + k)];
                double d;
                std::memcpy(&d, &bitsOf, 8);
                const float x = static_cast<float>(d);
                float* out = f + 2 * (done + i) + c;
                if (asFloat) *out = x;
                else std::memcpy(out, &x, 4); // float samples keep their bit pattern
            }
        }
        done += static_cast<int32_t>(whole);
        if (got < want) break;
    }
    return done;
}

bool AudioFileAiff::SeekFrame(int64_t frame) {
    if (m_kind == Kind::Pcm) return AudioFile::SeekFrame(frame);
    if (!IsOpen()) return false;
    const int64_t frameBytes = static_cast<int64_t>(channels) * StoredSampleBytes();
    frame = std::clamp<int64_t>(frame, 0, dataBytes / frameBytes);
    dataPos = frame * frameBytes;
    return Seek(dataOffset + dataPos) >= 0;
}

bool AudioFileAiff::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    m_kind = Kind::Pcm; // plain AIFF is all this class writes
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
