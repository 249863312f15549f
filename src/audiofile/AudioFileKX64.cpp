#include "audiofile/AudioFileKX64.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "audiofile/KX64BitReader.h"
#include "common/ByteIO.h"

// The file is the block container: header, group markers, block markers and per-channel
// records. What a channel's payload holds is the business of the predictors
// (KX64Predictor) and of the bit coder (KX64BitWriter, KX64BitReader).

static_assert(AudioFileKX64::kMaxBlockFrames == KX64Predictor::kMaxFrames);

namespace {

constexpr uint8_t kGroupMarker = 0x55;
constexpr uint8_t kBlockMarker = 0xAA;
constexpr int kRecordBytes = 156;
constexpr int kReadBuffer = 1 << 16;

int32_t ScaleFor(int bits) {
    switch (bits) {
    case 8: return 127;
    case 16: return 32767;
    default: return 8388607;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------
// Channel coder

AudioFileKX64::ChannelCode AudioFileKX64::EncodeChannel(const int32_t* x, int n, uint8_t* out) {
    return KX64Predictor::Encode(x, n, out);
}

bool AudioFileKX64::DecodeChannel(const uint8_t* payload, uint32_t payloadBytes, int predictor, int k, int32_t c,
                                  int32_t* x, int n) {
    const int got = KX64BitReader::ReadResiduals(payload, payloadBytes, k, x, n);
    if (got < n) std::fill(x + got, x + n, 0);
    // The inverse predictor over what was decoded.
    KX64Predictor::Restore(predictor, c, x, got);
    return got == n;
}

// ---------------------------------------------------------------------------------------
// Writer

bool AudioFileKX64::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    m_writing = false;
    SetWriteFormat(ch, r, b, type);
    dataOffset = kHeaderBytes;
    m_blocksWritten = 0;
    m_markerLenPos = 0;
    m_inputFrames = 0;
    m_keptBytes = m_keptBlocks = 0;
    m_stageFrames = 0;
    m_stagePos = 0;
    m_blockLen = kBlockFrames;
    m_framesPerGroup = static_cast<int64_t>(kBlockFrames) * kBlocksPerGroup;
    m_isFloat = type != 0;
    if ((ch != 1 && ch != 2) || r <= 0 || (b != 8 && b != 16 && b != 24 && b != 32) || (m_isFloat && b != 32)) {
        SetError("Unsupported sample format.");
        return false;
    }
    if (!OpenWriteChecked()) return false;
    m_stage.assign(static_cast<size_t>(kBlockFrames) * ch, 0);
    // The writer stages each channel in its own array, ready for the coder.
    for (int c = 0; c < 2; ++c) m_channel[c].assign(c < static_cast<int>(ch) ? kBlockFrames : 0, 0);
    m_blockBuf.assign(5 + 2 * (10 + kMaxPayload + 16), 0);
    m_writing = true;

    ByteWriter w;
    w.Bytes("KX64", 4);
    w.U64(0);
    w.Bytes("PRMS", 4);
    w.U64(kRecordBytes);
    w.I64(0);
    w.U32(kBlockFrames);
    w.U32(static_cast<uint32_t>(r));
    w.U32(ch == 2 ? 3 : 16);
    w.I16(static_cast<int16_t>(ch));
    w.I16(static_cast<int16_t>(b));
    w.I16(static_cast<int16_t>((b + 7) / 8));
    // The reserved word after bytes per sample marks 32-bit float material; integer files
    // keep it zero.
    w.I16(m_isFloat ? 1 : 0);
    w.I32(kBlocksPerGroup);
    w.Zeros(124);
    w.Bytes("SMPL", 4);
    w.U64(0);
    const int64_t n = static_cast<int64_t>(w.Size());
    NoteWrite(n, Write(w.Data().data(), n));
    return FinishResult();
}

bool AudioFileKX64::CodeBlock() {
    const int ch = static_cast<int>(channels);
    if (m_blocksWritten % kBlocksPerGroup == 0) {
        const int64_t markerPos = kHeaderBytes + dataBytes;
        uint8_t marker[5] = {kGroupMarker, 0, 0, 0, 0};
        NoteWrite(5, Write(marker, 5));
        if (m_blocksWritten > 0) {
            uint8_t len[4];
            StoreLE32(len, static_cast<uint32_t>(markerPos - (m_markerLenPos + 4)));
            if (!WriteAt(m_markerLenPos, len, 4)) writeFailed = true;
        }
        m_markerLenPos = markerPos + 1;
        dataBytes += 5;
    }
    uint8_t* out = m_blockBuf.data();
    size_t pos = 5;
    for (int c = 0; c < ch; ++c) {
        ChannelCode code = EncodeChannel(m_channel[c].data(), kBlockFrames, out + pos + 10);
        StoreLE32(out + pos, code.payloadBytes);
        out[pos + 4] = static_cast<uint8_t>(code.predictor);
        out[pos + 5] = static_cast<uint8_t>(code.k);
        StoreLE32(out + pos + 6, static_cast<uint32_t>(code.coefficient));
        pos += 10 + code.payloadBytes;
    }
    out[0] = kBlockMarker;
    StoreLE32(out + 1, static_cast<uint32_t>(pos - 5));
    NoteWrite(static_cast<int64_t>(pos), Write(out, static_cast<int64_t>(pos)));
    dataBytes += static_cast<int64_t>(pos);
    ++m_blocksWritten;
    m_stageFrames = 0;
    if (!writeFailed) {
        m_keptBytes = dataBytes;
        m_keptBlocks = m_blocksWritten;
    }
    return !writeFailed;
}

int32_t AudioFileKX64::WriteFloat(float* buffer, int32_t n) {
    if (!IsOpen() || !m_writing || buffer == nullptr || n <= 0) return 0;
    const int ch = static_cast<int>(channels);
    const double scale = bits == 32 ? 2147483648.0 : static_cast<double>(ScaleFor(bits));
    const double hi = bits == 32 ? static_cast<double>(INT32_MAX) : static_cast<double>(ScaleFor(bits));
    const double lo = bits == 32 ? static_cast<double>(INT32_MIN) : -hi - 1.0;
    // The sample times the scale, truncated toward zero and held to the depth's range; not a
    // number gives 0. A float times the scale is exact in double precision. Written without
    // branches so that the loops below vectorise.
    auto toInt = [&](double f) {
        const double v = f * scale;
        const double atLeast = v > lo ? v : lo;
        const double held = atLeast < hi ? atLeast : hi;
        return static_cast<int32_t>(v == v ? held : 0.0);
    };
    for (int32_t done = 0; done < n;) {
        const auto take = static_cast<int32_t>(std::min<int64_t>(n - done, kBlockFrames - m_stageFrames));
        const float* src = buffer + 2 * static_cast<int64_t>(done);
        int32_t* dst = m_channel[0].data() + m_stageFrames;
        if (ch == 2) {
            int32_t* right = m_channel[1].data() + m_stageFrames;
            if (m_isFloat) {
                // 32-bit float samples keep their bit pattern.
                for (int32_t i = 0; i < take; ++i) {
                    dst[i] = std::bit_cast<int32_t>(src[2 * i]);
                    right[i] = std::bit_cast<int32_t>(src[2 * i + 1]);
                }
            } else {
                for (int32_t i = 0; i < take; ++i) {
                    dst[i] = toInt(src[2 * i]);
                    right[i] = toInt(src[2 * i + 1]);
                }
            }
        } else {
            // Mono files keep the mean of left and right.
            if (m_isFloat) {
                for (int32_t i = 0; i < take; ++i) {
                    const float m = (src[2 * i] + src[2 * i + 1]) / 2.0f;
                    std::memcpy(&dst[i], &m, 4);
                }
            } else {
                // The mean is taken in double, where it is exact, as the PCM writers do.
                for (int32_t i = 0; i < take; ++i)
                    dst[i] = toInt((static_cast<double>(src[2 * i]) + src[2 * i + 1]) * 0.5);
            }
        }
        m_inputFrames += take;
        m_stageFrames += take;
        done += take;
        if (m_stageFrames == kBlockFrames && !CodeBlock()) return 0;
    }
    frames = m_inputFrames;
    return n * 8;
}

bool AudioFileKX64::FinishWrite() {
    // A file opened for reading has nothing to finish (and no coder buffers).
    if (!IsOpen() || !m_writing) return false;
    if (m_stageFrames > 0) {
        // The last partial block, padded with silence; the header keeps the true length.
        for (uint32_t c = 0; c < channels; ++c) std::fill(m_channel[c].begin() + m_stageFrames, m_channel[c].end(), 0);
        m_stageFrames = kBlockFrames;
        CodeBlock();
    }
    frames = m_inputFrames;
    uint8_t v[8];
    auto put64 = [&](int64_t at, uint64_t value) {
        for (int i = 0; i < 8; ++i) v[i] = static_cast<uint8_t>(value >> (8 * i));
        if (!WriteAt(at, v, 8)) writeFailed = true;
    };
    put64(184, static_cast<uint64_t>(dataBytes));
    put64(4, static_cast<uint64_t>(dataBytes + 172));
    put64(24, static_cast<uint64_t>(frames));
    return FinishResult();
}

bool AudioFileKX64::KeepWritten(int64_t& kept) {
    if (!IsOpen() || !m_writing) return false;
    // The file ends after the last whole block; a group marker written after it goes too (the
    // length of the group before points at the end, as the last group's does). The frames
    // still staged for the next block were never written.
    if (!Truncate(kHeaderBytes + m_keptBytes) || Seek(kHeaderBytes + m_keptBytes) < 0) return false;
    dataBytes = m_keptBytes;
    m_blocksWritten = m_keptBlocks;
    m_inputFrames = std::min<int64_t>(m_inputFrames, m_keptBlocks * kBlockFrames);
    m_stageFrames = 0;
    writeFailed = false;
    errorText.clear();
    kept = m_inputFrames;
    return true;
}

void AudioFileKX64::Close() {
    AudioFile::Close();
    m_stageFrames = 0;
    m_stagePos = 0;
    m_bufLen = m_bufPos = 0;
}

// ---------------------------------------------------------------------------------------
// Reader

bool AudioFileKX64::OpenRead() {
    m_writing = false;
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[12];
    if (!ReadMark(h, "KX64", "No KX64 chunk.")) return false;
    bool havePrms = false, haveSmpl = false;
    int64_t pos = 12;
    uint32_t blockLen = 0;
    int32_t blocksPerGroup = 0;
    int64_t statedFrames = 0;
    while (!(havePrms && haveSmpl)) {
        if (pos + 12 > fileSize || Seek(pos) < 0 || Read(h, 12) < 12) {
            SetError("No PRMS/SMPL chunks found (malformed?).");
            return false;
        }
        const uint64_t size = LoadLE32(h + 4) | (static_cast<uint64_t>(LoadLE32(h + 8)) << 32);
        const int64_t body = pos + 12;
        const int64_t avail = fileSize - body;
        if (std::memcmp(h, "PRMS", 4) == 0 && !havePrms) {
            uint8_t rec[kRecordBytes];
            if (Read(rec, kRecordBytes) < kRecordBytes) {
                SetError("Incomplete PRMS chunk (malformed?).");
                return false;
            }
            statedFrames = LoadLE32(rec);
            blockLen = LoadLE32(rec + 8);
            rate = static_cast<int32_t>(std::min<uint32_t>(LoadLE32(rec + 12), INT32_MAX));
            const int16_t ch = static_cast<int16_t>(LoadLE16(rec + 20));
            bits = static_cast<int16_t>(LoadLE16(rec + 22));
            const int16_t bytesPerSample = static_cast<int16_t>(LoadLE16(rec + 24));
            m_isFloat = LoadLE16(rec + 26) == 1 && bits == 32;
            blocksPerGroup = static_cast<int32_t>(LoadLE32(rec + 28));
            channels = ch == 1 || ch == 2 ? static_cast<uint32_t>(ch) : 0;
            if (bits > 8 && bits < 32 && bits % 8 != 0) bits = (bits + 7) / 8 * 8;
            if (bits == 24 && bytesPerSample == 4) {
                SetError("Zero-padded 24bit not supported.");
                return false;
            }
            if (!CheckReadFormat()) return false;
            if (blockLen == 0 || blockLen > kMaxBlockFrames || blocksPerGroup <= 0) {
                SetError("Invalid KX64 block layout (malformed?).");
                return false;
            }
            pos = body +
                  static_cast<int64_t>(std::min<uint64_t>(size, static_cast<uint64_t>(std::max<int64_t>(avail, 0))));
            pos = std::max(pos, body + kRecordBytes);
            havePrms = true;
        } else if (std::memcmp(h, "SMPL", 4) == 0 && !haveSmpl) {
            dataOffset = body;
            // An unfinished file states 0: take what is there.
            dataBytes = (size == 0 || size > static_cast<uint64_t>(avail)) ? avail : static_cast<int64_t>(size);
            pos = body + dataBytes;
            haveSmpl = true;
        } else {
            // Skip by the low 32 bits of the size.
            pos = body + (size & 0xFFFFFFFFu);
        }
    }
    m_blockLen = blockLen;
    m_framesPerGroup = static_cast<int64_t>(blockLen) * blocksPerGroup;
    // No stream can hold more frames than its blocks: bounds a damaged count.
    const int64_t minBlockBytes = 5 + static_cast<int64_t>(channels) * 10;
    frames = std::min<int64_t>(statedFrames, (dataBytes / minBlockBytes) * blockLen);
    dataPos = 0;
    m_streamEnd = dataOffset + dataBytes;
    m_stage.assign(static_cast<size_t>(blockLen) * channels, 0);
    m_stageFrames = m_stagePos = 0;
    m_readFrame = 0;
    m_buf.resize(kReadBuffer);
    m_bufStart = dataOffset;
    m_bufLen = m_bufPos = 0;
    m_payload.assign(kMaxPayload + KX64BitReader::kPadding, 0);
    for (auto& c : m_channel) c.assign(blockLen, 0);
    return true;
}

bool AudioFileKX64::Fill() {
    if (m_bufPos < m_bufLen) return true;
    const int64_t start = Tell();
    if (start >= m_streamEnd) return false;
    const int64_t want = std::min<int64_t>(kReadBuffer, m_streamEnd - start);
    if (Seek(start) < 0) return false;
    const int64_t got = Read(m_buf.data(), want);
    m_bufStart = start;
    m_bufPos = 0;
    m_bufLen = static_cast<size_t>(got);
    return got > 0;
}

int AudioFileKX64::GetByte() {
    if (!Fill()) return -1;
    return m_buf[m_bufPos++];
}

bool AudioFileKX64::GetBytes(uint8_t* out, size_t n) {
    while (n > 0) {
        if (!Fill()) return false;
        const size_t take = std::min(n, m_bufLen - m_bufPos);
        std::memcpy(out, m_buf.data() + m_bufPos, take);
        m_bufPos += take;
        out += take;
        n -= take;
    }
    return true;
}

bool AudioFileKX64::GetU32(uint32_t& v) {
    uint8_t b[4];
    if (!GetBytes(b, 4)) return false;
    v = LoadLE32(b);
    return true;
}

void AudioFileKX64::SeekTo(int64_t pos) {
    pos = std::clamp(pos, dataOffset, m_streamEnd);
    if (pos >= m_bufStart && pos <= m_bufStart + static_cast<int64_t>(m_bufLen)) {
        m_bufPos = static_cast<size_t>(pos - m_bufStart);
    } else {
        m_bufStart = pos;
        m_bufLen = m_bufPos = 0;
    }
}

bool AudioFileKX64::DecodeNextBlock() {
    m_stageFrames = m_stagePos = 0;
    int b;
    for (;;) {
        b = GetByte();
        if (b == kGroupMarker) {
            uint32_t len;
            if (!GetU32(len)) return false;
            continue;
        }
        break;
    }
    if (b != kBlockMarker) return false;
    uint32_t blockLength;
    if (!GetU32(blockLength)) return false;
    const int ch = static_cast<int>(channels);
    const int n = static_cast<int>(m_blockLen);
    for (int c = 0; c < ch; ++c) {
        uint8_t rec[10];
        if (!GetBytes(rec, 10)) return false;
        const uint32_t payloadBytes = LoadLE32(rec);
        const int predictor = rec[4];
        const int k = rec[5];
        const int32_t coefficient = static_cast<int32_t>(LoadLE32(rec + 6));
        if (predictor > 4 || k > 31 || payloadBytes > static_cast<uint32_t>(kMaxPayload)) return false;
        if (!GetBytes(m_payload.data(), payloadBytes)) return false;
        std::memset(m_payload.data() + payloadBytes, 0, KX64BitReader::kPadding);
        // A payload that runs out leaves the rest of the channel silent.
        DecodeChannel(m_payload.data(), payloadBytes, predictor, k, coefficient, m_channel[c].data(), n);
    }
    int32_t* stage = m_stage.data();
    if (ch == 2) {
        const int32_t* l = m_channel[0].data();
        const int32_t* r = m_channel[1].data();
        for (int i = 0; i < n; ++i) {
            stage[2 * i] = l[i];
            stage[2 * i + 1] = r[i];
        }
    } else {
        std::memcpy(stage, m_channel[0].data(), static_cast<size_t>(n) * 4);
    }
    m_stageFrames = n;
    return true;
}

template <typename T> int32_t AudioFileKX64::ReadFrames(T* out, int32_t n, bool) {
    if (out == nullptr || n <= 0) return 0;
    int32_t got = 0;
    const int ch = static_cast<int>(channels);
    const float scale = bits == 8 ? 1.0f / 128 : bits == 16 ? 1.0f / 32768 : 1.0f / 8388608;
    while (IsOpen() && got < n && m_readFrame < frames) {
        if (m_stagePos >= m_stageFrames && !DecodeNextBlock()) break;
        const int64_t take = std::min<int64_t>({n - got, m_stageFrames - m_stagePos, frames - m_readFrame});
        const int32_t* src = &m_stage[static_cast<size_t>(m_stagePos) * ch];
        T* dst = out + 2 * static_cast<int64_t>(got);
        for (int64_t i = 0; i < take; ++i) {
            const int32_t l = src[i * ch];
            const int32_t r = ch == 2 ? src[i * ch + 1] : l;
            if constexpr (std::is_same_v<T, float>) {
                if (m_isFloat) {
                    std::memcpy(&dst[2 * i], &l, 4);
                    std::memcpy(&dst[2 * i + 1], &r, 4);
                } else if (bits == 32) {
                    dst[2 * i] = static_cast<float>(l / 2147483648.0);
                    dst[2 * i + 1] = static_cast<float>(r / 2147483648.0);
                } else {
                    dst[2 * i] = static_cast<float>(l) * scale;
                    dst[2 * i + 1] = static_cast<float>(r) * scale;
                }
            } else {
                dst[2 * i] = l;
                dst[2 * i + 1] = r;
            }
        }
        m_stagePos += take;
        m_readFrame += take;
        got += static_cast<int32_t>(take);
    }
    std::memset(out + 2 * static_cast<int64_t>(got), 0, static_cast<size_t>(n - got) * 8);
    return got;
}

int32_t AudioFileKX64::ReadFloat(float* buffer, int32_t n) { return ReadFrames(buffer, n, true); }
int32_t AudioFileKX64::ReadInt(int32_t* buffer, int32_t n) { return ReadFrames(buffer, n, false); }

bool AudioFileKX64::SeekFrame(int64_t f) {
    if (!IsOpen() || m_stage.empty()) return false;
    f = std::clamp<int64_t>(f, 0, frames);
    m_stageFrames = m_stagePos = 0;
    if (f == frames) {
        // Nothing follows the end: no need to walk the stream.
        m_readFrame = f;
        return true;
    }
    SeekTo(dataOffset);
    int64_t p = 0;
    for (;;) {
        const int64_t at = Tell();
        const int b = GetByte();
        uint32_t len = 0;
        if (b == kBlockMarker) {
            if (!GetU32(len)) {
                SeekTo(at);
                break;
            }
            if (f < p + m_blockLen) {
                SeekTo(at);
                break;
            }
            SeekTo(Tell() + len);
            p += m_blockLen;
        } else if (b == kGroupMarker) {
            if (!GetU32(len)) {
                SeekTo(at);
                break;
            }
            // A group of unknown length (the last one) is walked block by block.
            if (f < p + m_framesPerGroup || len == 0) continue;
            SeekTo(Tell() + len);
            p += m_framesPerGroup;
        } else {
            SeekTo(at);
            break;
        }
    }
    m_readFrame = f;
    if (f > p && f - p <= static_cast<int64_t>(m_blockLen)) {
        if (DecodeNextBlock()) m_stagePos = std::min<int64_t>(f - p, m_stageFrames);
    }
    return true;
}
