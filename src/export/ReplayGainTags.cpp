#include "export/ReplayGainTags.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/FormatCode.h"
#include "common/FreshFile.h"

#if SONQUIL_HAVE_FLAC
#include <FLAC/metadata.h>
#endif

namespace {

// ReplayGain 2.0 plays a track at -18 LUFS.
constexpr double kReference = -18.0;

std::string GainText(double loudness) {
    if (!std::isfinite(loudness)) return "0.00 dB"; // silence: nothing to correct
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f dB", kReference - loudness);
    return buf;
}

std::string PeakText(double db) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", std::isfinite(db) ? std::pow(10.0, db / 20.0) : 0.0);
    return buf;
}

bool Load(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Can't open file.";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The folder and the name of path, for a file of our own beside it.
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new file beside path, made exclusively: a file of the person's own there ("<file>.rgtmp")
// is never opened. It takes the mode of path, since it will stand in its place. -1 when none can
// be made; tmp gets its full path.
int CreateBeside(const std::string& path, const char* suffix, std::string& tmp) {
    std::string folder, name, made;
    SplitPath(path, folder, name);
    const int fd = CreateFreshFile(folder, name, suffix, true, made);
    if (fd < 0) return -1;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    tmp = folder + made;
    return fd;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Writes the file anew beside itself and moves it over the old one, so a failed write leaves
// the export as it was.
bool Replace(const std::string& path, const std::vector<uint8_t>& head, const uint8_t* rest, size_t restSize,
             std::string& error) {
    std::string tmp;
    const int fd = CreateBeside(path, ".rgtmp", tmp);
    if (fd < 0) {
        error = "Can't write file (disk full?).";
        return false;
    }
    const bool written = WriteAll(fd, head.data(), head.size()) && WriteAll(fd, rest, restSize);
    if (::close(fd) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        error = "Can't write file (disk full?).";
        return false;
    }
    return true;
}

bool KeyIsReplayGain(const std::string& comment) {
    return comment.size() >= 11 && strncasecmp(comment.c_str(), "REPLAYGAIN_", 11) == 0;
}

// ---- Ogg Vorbis ----

uint32_t OggCrc(const uint8_t* data, size_t n) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            table[i] = r;
        }
        made = true;
    }
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) crc = (crc << 8) ^ table[((crc >> 24) & 0xff) ^ data[i]];
    return crc;
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
void PutLe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

struct OggPage {
    size_t offset = 0, headerSize = 0, bodySize = 0;
    const uint8_t* segments = nullptr;
    int count = 0;
};

bool ReadPage(const std::vector<uint8_t>& f, size_t at, OggPage& p) {
    if (at + 27 > f.size() || std::memcmp(&f[at], "OggS", 4) != 0) return false;
    p.offset = at;
    p.count = f[at + 26];
    if (at + 27 + static_cast<size_t>(p.count) > f.size()) return false;
    p.segments = &f[at + 27];
    p.headerSize = 27 + static_cast<size_t>(p.count);
    p.bodySize = 0;
    for (int i = 0; i < p.count; ++i) p.bodySize += p.segments[i];
    return at + p.headerSize + p.bodySize <= f.size();
}

bool TagVorbis(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields,
               std::string& error) {
    std::vector<uint8_t> f;
    if (!Load(path, f, error)) return false;
    error = "Can't add ReplayGain tags to this Ogg Vorbis file.";
    // Page 0 holds the identification header; page 1 the comment and setup headers, as our
    // writer flushes them, and nothing else.
    OggPage first, second;
    if (!ReadPage(f, 0, first) || !ReadPage(f, first.headerSize + first.bodySize, second)) return false;
    const uint8_t* body = &f[second.offset + second.headerSize];
    std::vector<std::vector<uint8_t>> packets(1);
    size_t pos = 0;
    for (int i = 0; i < second.count; ++i) {
        packets.back().insert(packets.back().end(), body + pos, body + pos + second.segments[i]);
        pos += second.segments[i];
        if (second.segments[i] < 255) packets.emplace_back();
    }
    if (!packets.back().empty() || packets.size() != 3) return false; // two whole packets
    packets.pop_back();
    const std::vector<uint8_t>& comment = packets[0];
    if (comment.size() < 7 + 4 || comment[0] != 3 || std::memcmp(&comment[1], "vorbis", 6) != 0) return false;

    // The comment header: vendor, then the comments; ours keep every one that is not ReplayGain.
    size_t at = 7;
    const uint32_t vendorLen = Le32(&comment[at]);
    if (at + 4 + vendorLen + 4 > comment.size()) return false;
    std::vector<uint8_t> made(comment.begin(), comment.begin() + static_cast<long>(at + 4 + vendorLen));
    at += 4 + vendorLen;
    const uint32_t count = Le32(&comment[at]);
    at += 4;
    std::vector<std::string> kept;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 4 > comment.size()) return false;
        const uint32_t len = Le32(&comment[at]);
        if (at + 4 + len > comment.size()) return false;
        std::string c(reinterpret_cast<const char*>(&comment[at + 4]), len);
        at += 4 + len;
        if (!KeyIsReplayGain(c)) kept.push_back(c);
    }
    for (const auto& [key, value] : fields) kept.push_back(key + "=" + value);
    PutLe32(made, static_cast<uint32_t>(kept.size()));
    for (const std::string& c : kept) {
        PutLe32(made, static_cast<uint32_t>(c.size()));
        made.insert(made.end(), c.begin(), c.end());
    }
    made.push_back(1); // framing bit

    // The page anew: same header fields, new lacing, new checksum.
    std::vector<uint8_t> lacing;
    for (const std::vector<uint8_t>* p : {&made, &packets[1]}) {
        size_t left = p->size();
        while (left >= 255) {
            lacing.push_back(255);
            left -= 255;
        }
        lacing.push_back(static_cast<uint8_t>(left));
    }
    if (lacing.size() > 255) return false;
    std::vector<uint8_t> page(f.begin() + static_cast<long>(second.offset),
                              f.begin() + static_cast<long>(second.offset + 26));
    page.push_back(static_cast<uint8_t>(lacing.size()));
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), made.begin(), made.end());
    page.insert(page.end(), packets[1].begin(), packets[1].end());
    std::memset(&page[22], 0, 4);
    const uint32_t crc = OggCrc(page.data(), page.size());
    for (int i = 0; i < 4; ++i) page[22 + i] = static_cast<uint8_t>(crc >> (8 * i));

    std::vector<uint8_t> head(f.begin(), f.begin() + static_cast<long>(first.headerSize + first.bodySize));
    head.insert(head.end(), page.begin(), page.end());
    const size_t restAt = second.offset + second.headerSize + second.bodySize;
    error.clear();
    return Replace(path, head, f.data() + restAt, f.size() - restAt, error);
}

// ---- MP3: ID3v2.3 TXXX frames ----

uint32_t SyncSafe(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] & 0x7f) << 21 | static_cast<uint32_t>(p[1] & 0x7f) << 14 |
           static_cast<uint32_t>(p[2] & 0x7f) << 7 | static_cast<uint32_t>(p[3] & 0x7f);
}

bool TagMp3(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields,
            std::string& error) {
    std::vector<uint8_t> f;
    if (!Load(path, f, error)) return false;
    std::vector<uint8_t> frames;
    size_t audio = 0;
    if (f.size() >= 10 && std::memcmp(f.data(), "ID3", 3) == 0) {
        // Only the plain tag our writer makes: version 2.3, no unsynchronisation or extended
        // header; its frames are kept but for earlier ReplayGain ones.
        if (f[3] != 3 || (f[5] & 0xc0) != 0) {
            error = "Can't add ReplayGain tags to this MP3 file's ID3v2 tag.";
            return false;
        }
        const size_t size = SyncSafe(&f[6]);
        if (10 + size > f.size()) {
            error = "Can't add ReplayGain tags to this MP3 file's ID3v2 tag.";
            return false;
        }
        audio = 10 + size;
        size_t at = 10;
        while (at + 10 <= audio && f[at] != 0) {
            const size_t len = static_cast<size_t>(f[at + 4]) << 24 | static_cast<size_t>(f[at + 5]) << 16 |
                               static_cast<size_t>(f[at + 6]) << 8 | f[at + 7];
            if (at + 10 + len > audio) break;
            const bool replayGain = std::memcmp(&f[at], "TXXX", 4) == 0 && len > 1 &&
                                    KeyIsReplayGain(std::string(reinterpret_cast<const char*>(&f[at + 11]),
                                                                std::min<size_t>(len - 1, 11)));
            if (!replayGain)
                frames.insert(frames.end(), f.begin() + static_cast<long>(at),
                              f.begin() + static_cast<long>(at + 10 + len));
            at += 10 + len;
        }
    }
    for (const auto& [key, value] : fields) {
        // Latin-1 text: a description, its terminator, the value.
        const size_t len = 1 + key.size() + 1 + value.size();
        const uint8_t header[10] = {'T',
                                    'X',
                                    'X',
                                    'X',
                                    static_cast<uint8_t>(len >> 24),
                                    static_cast<uint8_t>(len >> 16),
                                    static_cast<uint8_t>(len >> 8),
                                    static_cast<uint8_t>(len),
                                    0,
                                    0};
        frames.insert(frames.end(), header, header + 10);
        frames.push_back(0);
        frames.insert(frames.end(), key.begin(), key.end());
        frames.push_back(0);
        frames.insert(frames.end(), value.begin(), value.end());
    }
    const size_t size = frames.size();
    std::vector<uint8_t> head = {'I',
                                 'D',
                                 '3',
                                 3,
                                 0,
                                 0,
                                 static_cast<uint8_t>((size >> 21) & 0x7f),
                                 static_cast<uint8_t>((size >> 14) & 0x7f),
                                 static_cast<uint8_t>((size >> 7) & 0x7f),
                                 static_cast<uint8_t>(size & 0x7f)};
    head.insert(head.end(), frames.begin(), frames.end());
    return Replace(path, head, f.data() + audio, f.size() - audio, error);
}

#if SONQUIL_HAVE_FLAC
size_t FlacRead(void* p, size_t size, size_t n, FLAC__IOHandle h) {
    return std::fread(p, size, n, static_cast<FILE*>(h));
}
size_t FlacWrite(const void* p, size_t size, size_t n, FLAC__IOHandle h) {
    return std::fwrite(p, size, n, static_cast<FILE*>(h));
}
int FlacSeek(FLAC__IOHandle h, FLAC__int64 offset, int whence) {
    return ::fseeko(static_cast<FILE*>(h), static_cast<off_t>(offset), whence);
}
FLAC__int64 FlacTell(FLAC__IOHandle h) { return ::ftello(static_cast<FILE*>(h)); }
int FlacEof(FLAC__IOHandle h) { return std::feof(static_cast<FILE*>(h)); }
// The files are closed here, where the close is checked.
const FLAC__IOCallbacks kFlacFile = {FlacRead, FlacWrite, FlacSeek, FlacTell, FlacEof, nullptr};

// The chain goes back into the file through our own handles: libFLAC by itself would write a
// file that needs more room than the padding through "<file>.metadata_edit", which it opens
// with truncation; ours is a new file of our own, moved over the export when it is whole.
bool WriteFlacChain(FLAC__Metadata_Chain* chain, FILE* file, const std::string& path) {
    if (!FLAC__metadata_chain_check_if_tempfile_needed(chain, true))
        return FLAC__metadata_chain_write_with_callbacks(chain, true, file, kFlacFile) && std::fflush(file) == 0;
    std::string tmp;
    const int fd = CreateBeside(path, ".rgtmp", tmp);
    if (fd < 0) return false;
    FILE* out = ::fdopen(fd, "w+b");
    if (!out) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    bool ok = FLAC__metadata_chain_write_with_callbacks_and_tempfile(chain, true, file, kFlacFile, out, kFlacFile);
    ok = std::fclose(out) == 0 && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
}

bool TagFlac(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields,
             std::string& error) {
    error = "Can't add ReplayGain tags to this FLAC file.";
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return false;
    FLAC__Metadata_Chain* chain = FLAC__metadata_chain_new();
    bool ok = chain && FLAC__metadata_chain_read_with_callbacks(chain, file, kFlacFile);
    FLAC__Metadata_Iterator* it = ok ? FLAC__metadata_iterator_new() : nullptr;
    if (ok && it) {
        FLAC__metadata_iterator_init(it, chain);
        FLAC__StreamMetadata* comments = nullptr;
        do {
            if (FLAC__metadata_iterator_get_block_type(it) == FLAC__METADATA_TYPE_VORBIS_COMMENT)
                comments = FLAC__metadata_iterator_get_block(it);
        } while (!comments && FLAC__metadata_iterator_next(it));
        if (!comments) {
            // A file without tags gets a comment block after its stream information.
            FLAC__metadata_iterator_init(it, chain);
            comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
            ok = comments && FLAC__metadata_iterator_insert_block_after(it, comments);
            if (!ok && comments) FLAC__metadata_object_delete(comments);
        }
        for (const auto& [key, value] : fields) {
            if (!ok) break;
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            ok = FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, key.c_str(), value.c_str()) &&
                 FLAC__metadata_object_vorbiscomment_replace_comment(comments, entry, true, false);
        }
        // The padding takes the change when it can; else the file is written anew.
        if (ok) {
            FLAC__metadata_chain_sort_padding(chain);
            ok = WriteFlacChain(chain, file, path);
        }
    } else {
        ok = false;
    }
    if (it) FLAC__metadata_iterator_delete(it);
    if (chain) FLAC__metadata_chain_delete(chain);
    ok = std::fclose(file) == 0 && ok;
    if (ok) error.clear();
    return ok;
}
#endif

} // namespace

std::vector<std::pair<std::string, std::string>> ReplayGainFields(const ReplayGainValues& v) {
    return {{"REPLAYGAIN_TRACK_GAIN", GainText(v.trackLoudness)},
            {"REPLAYGAIN_TRACK_PEAK", PeakText(v.trackPeak)},
            {"REPLAYGAIN_ALBUM_GAIN", GainText(v.albumLoudness)},
            {"REPLAYGAIN_ALBUM_PEAK", PeakText(v.albumPeak)}};
}

bool TakesReplayGainTags(int32_t writerCode) {
#if SONQUIL_HAVE_FLAC
    if (writerCode == kFormatFlac) return true;
#endif
#if SONQUIL_HAVE_MP3
    if (writerCode == kFormatMp3) return true;
#endif
    return writerCode == kFormatVorbis;
}

bool WriteReplayGainTags(int32_t writerCode, const std::string& path, const ReplayGainValues& v, std::string& error) {
    const auto fields = ReplayGainFields(v);
    switch (writerCode) {
#if SONQUIL_HAVE_FLAC
    case kFormatFlac: return TagFlac(path, fields, error);
#endif
    case kFormatVorbis: return TagVorbis(path, fields, error);
    case kFormatMp3: return TagMp3(path, fields, error);
    default: error = "This format takes no ReplayGain tags."; return false;
    }
}
