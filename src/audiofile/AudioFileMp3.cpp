#include "audiofile/AudioFileMp3.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "audiofile/Id3Tag.h"

namespace {

constexpr int64_t kWindowBytes = 65536;
constexpr int64_t kFeedBytes = 16384;
// A frame is at most 1441 bytes (MPEG-1, 320 kbit/s, 32 kHz, padded); the scan keeps that
// much of the window ahead of each candidate.
constexpr int64_t kMaxFrameBytes = 2048;
// Frames decoded and thrown away before a seek target: the bit reservoir reaches back at most
// 511 bytes and the synthesis keeps one frame of overlap, so this many bytes of earlier frames
// (and at least a few frames) give the target frame exactly the samples a straight read gives.
constexpr int64_t kPrerollBytes = 2048;
constexpr int kPrerollMinFrames = 4;
constexpr int kPrerollMaxFrames = 96;

bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = mpg123_init() == MPG123_OK; });
    return ready;
}

mpg123_handle* NewHandle(long flags) {
    if (!LibraryReady()) return nullptr;
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (mh == nullptr) return nullptr;
    if (mpg123_param(mh, MPG123_FLAGS, flags, 0) != MPG123_OK || mpg123_open_feed(mh) != MPG123_OK) {
        mpg123_delete(mh);
        return nullptr;
    }
    return mh;
}

std::string MpgText(const mpg123_string* s) {
    if (s == nullptr || s->p == nullptr || s->fill == 0) return {};
    return std::string(s->p, strnlen(s->p, s->fill));
}

int32_t LeadingNumber(const std::string& s) {
    int32_t v = 0;
    for (size_t i = 0; i < s.size() && i < 9 && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

AudioFileMp3::AudioFileMp3(const std::string& folder, const std::string& path) : AudioFile(folder, path) {}

AudioFileMp3::~AudioFileMp3() { Close(); }

bool AudioFileMp3::CodecPresent() {
    mpg123_handle* mh = NewHandle(MPG123_QUIET);
    if (mh == nullptr) return false;
    mpg123_delete(mh);
    return true;
}

bool AudioFileMp3::OpenWrite(uint32_t, int32_t, int32_t, int32_t, int32_t) {
    SetError("Can't write output file.");
    return false;
}

void AudioFileMp3::Close() {
    StopDecoder();
    m_window.clear();
    m_window.shrink_to_fit();
    m_feed.clear();
    m_scratch.clear();
    AudioFile::Close();
}

bool AudioFileMp3::PeekAt(int64_t pos, uint8_t* out, int n) {
    if (pos < 0 || pos + n > m_fileSize) return false;
    if (pos < m_windowStart || pos + n > m_windowStart + m_windowLen) {
        m_window.resize(kWindowBytes);
        m_windowStart = pos;
        m_windowLen = 0;
        if (Seek(pos) < 0) return false;
        m_windowLen = Read(m_window.data(), std::min<int64_t>(kWindowBytes, m_fileSize - pos));
        if (pos + n > m_windowStart + m_windowLen) return false;
    }
    std::memcpy(out, m_window.data() + (pos - m_windowStart), static_cast<size_t>(n));
    return true;
}

bool AudioFileMp3::HeaderAt(int64_t pos, MpegHeader& h) {
    uint8_t b[4];
    return PeekAt(pos, b, 4) && DecodeMpegHeader(b, h);
}

int64_t AudioFileMp3::Id3v2End() {
    uint8_t b[10];
    if (!PeekAt(0, b, 10) || std::memcmp(b, "ID3", 3) != 0) return 0;
    if ((b[6] | b[7] | b[8] | b[9]) & 0x80) return 0; // not a sync-safe size: no tag after all
    int64_t size = (int64_t(b[6]) << 21) | (int64_t(b[7]) << 14) | (int64_t(b[8]) << 7) | b[9];
    int64_t end = 10 + size + ((b[5] & 0x10) ? 10 : 0);
    // A size that runs past the file leaves the scan to find the frames by itself.
    return end < m_fileSize ? end : 0;
}

int64_t AudioFileMp3::ScanForFrame(int64_t pos, MpegHeader& h) {
    for (;;) {
        // The next sync pair. A 0xFF followed by 0xFF keeps looking at the second.
        bool found = false;
        uint8_t b[2];
        while (pos + 1 < m_fileSize) {
            if (!PeekAt(pos, b, 2)) break;
            if (IsMpegSync(b[0], b[1])) {
                found = true;
                break;
            }
            ++pos;
        }
        if (!found) {
            SetError("No header found.");
            return -1;
        }
        // The four header bytes.
        uint8_t hb[4];
        if (!PeekAt(pos, hb, 4)) {
            SetError("No data found (truncated?).");
            return -1;
        }
        if (!DecodeMpegHeader(hb, h)) {
            pos += 2;
            continue;
        }
        // A second header where this frame ends.
        uint8_t nb[2];
        if (PeekAt(pos + h.frameBytes, nb, 2) && IsMpegSync(nb[0], nb[1])) return pos;
        ++pos;
    }
}

bool AudioFileMp3::OpenRead() {
    Close();
    if (!OpenReadChecked()) return false;
    m_fileSize = FileSize();
    m_windowStart = 0;
    m_windowLen = 0;
    hasTags = 0;
    const int64_t tagEnd = Id3v2End();
    MpegHeader h;
    const int64_t at = ScanForFrame(tagEnd, h);
    if (at < 0) {
        AudioFile::Close();
        return false;
    }
    m_first = h;
    dataOffset = at;
    dataBytes = m_fileSize - at;
    rate = h.rate;
    channels = h.channels;
    bits = 16;
    sampleType = kSampleInt;
    frames = static_cast<int64_t>(static_cast<double>(dataBytes) / (h.kbps * 1000.0 / 8.0) * rate);
    if (!StartDecoder()) {
        SetError("Codec not present.");
        AudioFile::Close();
        return false;
    }
    if (tagEnd > 0) ReadId3v2Tags(tagEnd);
    TagSet v1;
    if (ReadId3v1(*this, v1)) ApplyTags(*this, v1); // the ID3v1 tag wins over ID3v2
    m_decodedBytes = 0;
    m_consumedBytes = 0;
    m_gaplessPos = 0;
    return true;
}

void AudioFileMp3::SetGapless(bool on) {
    m_gapless = on;
    if (!IsOpen()) return;
    if (!StartDecoder()) return;
    m_decodedBytes = 0;
    m_consumedBytes = 0;
    m_gaplessPos = 0;
}

bool AudioFileMp3::StartDecoder() {
    StopDecoder();
    // Without gapless trimming the information frame is decoded as audio: every frame header
    // stands for its full count of samples (see SeekFrame). In gapless mode libmpg123 reads
    // the information frame for the delay and padding and gives only the music.
    m_mh = NewHandle(m_gapless ? (MPG123_QUIET | MPG123_GAPLESS) : (MPG123_QUIET | MPG123_IGNORE_INFOFRAME));
    if (m_mh == nullptr) return false;
    mpg123_format_none(m_mh);
    if (mpg123_format(m_mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) {
        StopDecoder();
        return false;
    }
    m_feedPos = dataOffset;
    m_fedAll = false;
    return true;
}

void AudioFileMp3::StopDecoder() {
    if (m_mh != nullptr) {
        mpg123_delete(m_mh);
        m_mh = nullptr;
    }
}

void AudioFileMp3::ReadId3v2Tags(int64_t tagEnd) {
    mpg123_handle* mh = NewHandle(MPG123_QUIET);
    if (mh == nullptr) return;
    // The tag and the first frames: libmpg123 reports the tag once it reaches the first frame.
    const int64_t limit = std::min(m_fileSize, tagEnd + 8 * kMaxFrameBytes);
    std::vector<uint8_t> in(static_cast<size_t>(kFeedBytes));
    std::vector<uint8_t> out(1 << 16);
    int64_t pos = 0;
    bool have = false;
    while (pos < limit && !have) {
        const int64_t n = std::min<int64_t>(kFeedBytes, limit - pos);
        if (Seek(pos) < 0 || Read(in.data(), n) != n) break;
        pos += n;
        if (mpg123_feed(mh, in.data(), static_cast<size_t>(n)) != MPG123_OK) break;
        for (int guard = 0; guard < 64; ++guard) {
            size_t done = 0;
            const int r = mpg123_decode(mh, nullptr, 0, out.data(), out.size(), &done);
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
        }
        have = (mpg123_meta_check(mh) & MPG123_ID3) != 0;
    }
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (have && mpg123_id3(mh, &v1, &v2) == MPG123_OK && v2 != nullptr) {
        TagSet t;
        t.title = MpgText(v2->title);
        t.artist = MpgText(v2->artist);
        t.album = MpgText(v2->album);
        t.year = LeadingNumber(MpgText(v2->year));
        t.genre = GenreFromText(MpgText(v2->genre));
        t.comment = MpgText(v2->comment);
        for (size_t i = 0; i < v2->texts; ++i)
            if (std::memcmp(v2->text[i].id, "TRCK", 4) == 0 || std::memcmp(v2->text[i].id, "TRK", 3) == 0)
                t.track = LeadingNumber(MpgText(&v2->text[i].text));
        if (!t.title.empty() || !t.artist.empty() || !t.album.empty() || !t.comment.empty() || !t.genre.empty() ||
            t.year != 0 || t.track != 0)
            ApplyTags(*this, t);
    }
    mpg123_delete(mh);
}

int64_t AudioFileMp3::Decode(uint8_t* out, int64_t bytes) {
    if (m_mh == nullptr || !IsOpen()) return 0;
    int64_t got = 0;
    int idle = 0;
    while (got < bytes) {
        size_t done = 0;
        const int r = mpg123_decode(m_mh, nullptr, 0, out + got, static_cast<size_t>(bytes - got), &done);
        got += static_cast<int64_t>(done);
        if (r == MPG123_NEW_FORMAT) {
            long fr = 0;
            int ch = 0, enc = 0;
            // The output format was fixed at open; anything else is not this file's audio.
            if (mpg123_getformat(m_mh, &fr, &ch, &enc) != MPG123_OK || fr != rate || ch != static_cast<int>(channels) ||
                enc != MPG123_ENC_SIGNED_16)
                break;
            continue;
        }
        if (r == MPG123_OK) {
            if (done == 0 && ++idle > 64) break;
            continue;
        }
        if (r == MPG123_NEED_MORE) {
            if (m_fedAll) break;
            m_feed.resize(static_cast<size_t>(kFeedBytes));
            const int64_t n = std::min<int64_t>(kFeedBytes, m_fileSize - m_feedPos);
            int64_t read = 0;
            if (n > 0 && Seek(m_feedPos) >= 0) read = Read(m_feed.data(), n);
            if (read <= 0) {
                m_fedAll = true;
                continue; // one more pass lets the decoder give out what it still holds
            }
            m_feedPos += read;
            m_consumedBytes += read;
            if (mpg123_feed(m_mh, m_feed.data(), static_cast<size_t>(read)) != MPG123_OK) break;
            idle = 0;
            continue;
        }
        break; // MPG123_DONE or a decoding error
    }
    return got;
}

int32_t AudioFileMp3::ReadFrames(void* buffer, int32_t n, bool asFloat) {
    if (n <= 0 || buffer == nullptr) return 0;
    const int64_t frameBytes = static_cast<int64_t>(channels) * 2;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    const int64_t got = Decode(bytes, n * frameBytes);
    const int64_t whole = got / frameBytes;
    // Widened in place from the end: the 16-bit samples sit at the front of the buffer.
    const int16_t* s = reinterpret_cast<const int16_t*>(bytes);
    float* f = static_cast<float*>(buffer);
    int32_t* v = static_cast<int32_t*>(buffer);
    if (channels == 1) {
        for (int64_t i = whole - 1; i >= 0; --i) {
            const int16_t x = s[i];
            if (asFloat) {
                f[2 * i] = f[2 * i + 1] = static_cast<float>(x) / 32768.0f;
            } else {
                v[2 * i] = v[2 * i + 1] = x;
            }
        }
    } else {
        for (int64_t i = whole * 2 - 1; i >= 0; --i) {
            const int16_t x = s[i];
            if (asFloat) f[i] = static_cast<float>(x) / 32768.0f;
            else v[i] = x;
        }
    }
    std::memset(bytes + whole * 8, 0, static_cast<size_t>((n - whole) * 8));
    m_gaplessPos += whole;
    if (got > 0) {
        m_decodedBytes += got;
        // decoded / consumed × (dataBytes / frame bytes), in whole numbers so that the length is
        // exactly the frames read once the whole file has been consumed.
        if (m_consumedBytes > 0)
            frames = static_cast<int64_t>(static_cast<__int128>(m_decodedBytes) * dataBytes /
                                          (static_cast<__int128>(m_consumedBytes) * frameBytes));
    }
    return static_cast<int32_t>(whole);
}

int32_t AudioFileMp3::ReadFloat(float* buffer, int32_t n) { return ReadFrames(buffer, n, true); }

int32_t AudioFileMp3::ReadInt(int32_t* buffer, int32_t n) { return ReadFrames(buffer, n, false); }

void AudioFileMp3::Skip(int64_t count) {
    m_scratch.resize(4096 * 8);
    while (count > 0) {
        const int32_t want = static_cast<int32_t>(std::min<int64_t>(count, 4096));
        const int64_t frameBytes = static_cast<int64_t>(channels) * 2;
        const int64_t got = Decode(m_scratch.data(), want * frameBytes) / frameBytes;
        if (got <= 0) break;
        count -= got;
        m_gaplessPos += got;
    }
}

bool AudioFileMp3::SeekFrame(int64_t f) {
    if (!IsOpen()) return false;
    if (f < 0) f = 0;
    if (m_gapless) {
        // The trimmed start is not where the headers say: decode forward to the frame.
        if (f < m_gaplessPos) {
            if (!StartDecoder()) return false;
            m_gaplessPos = 0;
        }
        Skip(f - m_gaplessPos);
        return true;
    }
    if (!StartDecoder()) return false;
    // Walk the headers; keep the starts of the last frames for the preroll.
    struct Mark {
        int64_t pos;
        int64_t start;
        int32_t bytes;
    };
    std::vector<Mark> ring(kPrerollMaxFrames + 1);
    size_t count = 0;
    int64_t pos = dataOffset;
    int64_t start = 0; // first sample of the frame at pos
    int32_t lastSamples = m_first.samples;
    bool reached = false;
    MpegHeader h;
    while (HeaderAt(pos, h)) {
        ring[count % ring.size()] = {pos, start, h.frameBytes};
        ++count;
        lastSamples = h.samples;
        if (f < start + h.samples) {
            reached = true;
            break;
        }
        start += h.samples;
        pos += h.frameBytes;
    }
    if (!reached && count > 0 && f < start + lastSamples) {
        // Within one frame beyond the last header: decode on from the last counted frame.
        reached = true;
    }
    if (!reached || count == 0) {
        // Not reachable by headers: a position in proportion to the estimated length.
        const double part = frames > 0 ? static_cast<double>(f) / static_cast<double>(frames) : 0.0;
        m_feedPos = dataOffset + static_cast<int64_t>(part * static_cast<double>(dataBytes));
        m_feedPos = std::clamp<int64_t>(m_feedPos, dataOffset, m_fileSize);
        return true;
    }
    // Back up over whole frames until the reservoir and the overlap are covered.
    const size_t last = count - 1;
    size_t back = 0;
    int64_t bytesBack = 0;
    while (back < last && back < static_cast<size_t>(kPrerollMaxFrames) &&
           (bytesBack < kPrerollBytes || back < static_cast<size_t>(kPrerollMinFrames))) {
        ++back;
        bytesBack += ring[(last - back) % ring.size()].bytes;
    }
    const Mark& from = ring[(last - back) % ring.size()];
    m_feedPos = from.pos;
    Skip(f - from.start);
    return true;
}
