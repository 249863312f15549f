#include "audiofile/AudioFileVorbis.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "audiofile/FormatProbe.h"
#include "audiofile/Id3Tag.h"

namespace {

constexpr int32_t kStageFrames = 4096;

size_t ReadCb(void* ptr, size_t size, size_t nmemb, void* ds) {
    if (size == 0) return 0;
    const int64_t got = static_cast<CFile*>(ds)->Read(ptr, static_cast<int64_t>(size * nmemb));
    return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int SeekCb(void* ds, ogg_int64_t off, int whence) {
    CFile::Origin o = whence == SEEK_CUR ? CFile::FromCurrent : whence == SEEK_END ? CFile::FromEnd : CFile::FromStart;
    return static_cast<CFile*>(ds)->Seek(off, o) < 0 ? -1 : 0;
}

long TellCb(void* ds) { return static_cast<long>(static_cast<CFile*>(ds)->Seek(0, CFile::FromCurrent)); }

// The file is the reader's own CFile: vorbisfile must not close it.
const ov_callbacks kCallbacks = {ReadCb, SeekCb, nullptr, TellCb};

class ProbeFile : public CFile {
public:
    using CFile::CFile;
    bool Open() { return OpenForRead(); }
};

std::string Comment(vorbis_comment* vc, const char* key) {
    if (vc == nullptr) return {};
    const char* v = vorbis_comment_query(vc, key, 0);
    return v != nullptr ? std::string(v) : std::string();
}

int32_t LeadingNumber(const std::string& s) {
    int32_t v = 0;
    for (size_t i = 0; i < s.size() && i < 9 && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

struct AudioFileVorbis::Reader {
    OggVorbis_File vf;
    bool open = false;
};

struct AudioFileVorbis::Writer {
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    bool eos = false;
    bool finished = false;
};

AudioFileVorbis::AudioFileVorbis(const std::string& folder, const std::string& path) : AudioFile(folder, path) {}

AudioFileVorbis::~AudioFileVorbis() { Close(); }

bool AudioFileVorbis::Accepts(const std::string& fullPath) {
    ProbeFile f("", fullPath);
    if (!f.Open()) return false;
    char head[4];
    // vorbisfile would search a whole non-Ogg file for a page; the mark settles it first.
    if (f.Read(head, 4) != 4 || std::memcmp(head, "OggS", 4) != 0 || f.Seek(0) != 0) return false;
    OggVorbis_File vf;
    if (ov_test_callbacks(&f, &vf, nullptr, 0, kCallbacks) != 0) return false;
    ov_clear(&vf);
    return true;
}

void AudioFileVorbis::RegisterWithProbe() { SetVorbisProbe(&AudioFileVorbis::Accepts); }

float AudioFileVorbis::QualityFor(int32_t kbps) {
    if (kbps > 299) return 1.0f;
    if (kbps > 199) return 0.8f;
    if (kbps > 149) return 0.6f;
    return 0.4f;
}

void AudioFileVorbis::Close() {
    if (m_reader) {
        if (m_reader->open) ov_clear(&m_reader->vf);
        m_reader.reset();
    }
    if (m_writer) {
        // A writer closed without FinishWrite still frees the encoder.
        if (!m_writer->finished) {
            ogg_stream_clear(&m_writer->os);
            vorbis_block_clear(&m_writer->vb);
            vorbis_dsp_clear(&m_writer->vd);
            vorbis_comment_clear(&m_writer->vc);
            vorbis_info_clear(&m_writer->vi);
        }
        m_writer.reset();
    }
    m_stage.clear();
    m_stageFill = m_stagePos = 0;
    AudioFile::Close();
}

bool AudioFileVorbis::OpenRead() {
    Close();
    if (!OpenReadChecked()) return false;
    m_reader = std::make_unique<Reader>();
    if (ov_open_callbacks(this, &m_reader->vf, nullptr, 0, kCallbacks) != 0) {
        m_reader.reset();
        AudioFile::Close();
        SetError("No Ogg Vorbis stream found.");
        return false;
    }
    m_reader->open = true;
    vorbis_info* vi = ov_info(&m_reader->vf, -1);
    if (vi == nullptr || vi->channels < 1 || vi->channels > 2 || vi->rate <= 0 || vi->rate > 0x7FFFFFFF) {
        Close();
        SetError(vi != nullptr && vi->channels > 2 ? "Unsupported number of channels (only mono and stereo)."
                                                   : "Invalid sample rate (zero).");
        return false;
    }
    channels = static_cast<uint32_t>(vi->channels);
    rate = static_cast<int32_t>(vi->rate);
    bits = 16;
    sampleType = kSampleInt;
    dataOffset = 0;
    const ogg_int64_t raw = ov_raw_total(&m_reader->vf, -1);
    const ogg_int64_t pcm = ov_pcm_total(&m_reader->vf, -1);
    dataBytes = raw > 0 ? raw : FileSize();
    frames = pcm > 0 ? pcm : 0;
    vorbis_comment* vc = ov_comment(&m_reader->vf, -1);
    TagSet t;
    t.title = Comment(vc, "TITLE");
    t.artist = Comment(vc, "ARTIST");
    t.album = Comment(vc, "ALBUM");
    t.year = LeadingNumber(Comment(vc, "DATE"));
    t.genre = Comment(vc, "GENRE");
    t.track = LeadingNumber(Comment(vc, "TRACKNUMBER"));
    t.comment = Comment(vc, "COMMENT");
    if (t.comment.empty()) t.comment = Comment(vc, "DESCRIPTION");
    if (!t.title.empty() || !t.artist.empty() || !t.album.empty() || !t.genre.empty() || !t.comment.empty() ||
        t.year != 0 || t.track != 0)
        ApplyTags(*this, t);
    m_stage.assign(static_cast<size_t>(kStageFrames) * 2, 0.0f);
    m_stageFill = m_stagePos = 0;
    m_position = 0;
    return true;
}

int32_t AudioFileVorbis::ReadFloat(float* buffer, int32_t n) {
    if (n <= 0 || buffer == nullptr) return 0;
    // Never past the stream's stated length, whatever a damaged file holds beyond it.
    const int64_t room = std::max<int64_t>(0, frames - m_position);
    if (n > room) {
        std::memset(buffer + room * 2, 0, static_cast<size_t>(n - room) * 8);
        n = static_cast<int32_t>(room);
    }
    int32_t done = 0;
    int holes = 0;
    while (done < n && m_reader && m_reader->open) {
        if (m_stagePos >= m_stageFill) {
            float** pcm = nullptr;
            int section = 0;
            long got = ov_read_float(&m_reader->vf, &pcm, kStageFrames, &section);
            // A gap in the data: vorbisfile goes on after it, though not forever on a file that
            // is nothing but gaps.
            if (got == OV_HOLE && ++holes < 64) continue;
            if (got <= 0) break;
            got = std::min<long>(got, kStageFrames);
            vorbis_info* vi = ov_info(&m_reader->vf, section);
            const bool stereo = vi != nullptr && vi->channels >= 2;
            const float* l = pcm[0];
            const float* r = stereo ? pcm[1] : pcm[0];
            for (long i = 0; i < got; ++i) {
                m_stage[static_cast<size_t>(2 * i)] = l[i];
                m_stage[static_cast<size_t>(2 * i + 1)] = r[i];
            }
            m_stageFill = static_cast<int32_t>(got);
            m_stagePos = 0;
        }
        const int32_t take = std::min(n - done, m_stageFill - m_stagePos);
        std::memcpy(buffer + 2 * done, m_stage.data() + 2 * m_stagePos, static_cast<size_t>(take) * 8);
        done += take;
        m_stagePos += take;
    }
    std::memset(buffer + 2 * done, 0, static_cast<size_t>(n - done) * 8);
    m_position += done;
    return done;
}

int32_t AudioFileVorbis::ReadInt(int32_t* buffer, int32_t n) {
    if (n > 0 && buffer != nullptr) std::memset(buffer, 0, static_cast<size_t>(n) * 8);
    return 0;
}

bool AudioFileVorbis::SeekFrame(int64_t frame) {
    if (!m_reader || !m_reader->open) return false;
    m_stageFill = m_stagePos = 0;
    frame = std::clamp<int64_t>(frame, 0, frames);
    const bool ok = ov_pcm_seek(&m_reader->vf, frame) == 0;
    m_position = ok ? frame : frames; // a failed seek leaves nothing trustworthy to read
    return ok;
}

bool AudioFileVorbis::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t kbps) {
    Close();
    SetWriteFormat(ch, r, b, type);
    m_keptFrames = 0;
    if ((ch != 1 && ch != 2) || r <= 0) {
        SetError("Unsupported sample format.");
        return false;
    }
    // The encoder first, so that settings it refuses (a rate it has no mode for) fail before a
    // file exists; the header packets are made before the file, too.
    auto w = std::make_unique<Writer>();
    vorbis_info_init(&w->vi);
    if (vorbis_encode_init_vbr(&w->vi, static_cast<long>(ch), r, QualityFor(kbps)) != 0) {
        vorbis_info_clear(&w->vi);
        SetError("Unsupported sample format.");
        return false;
    }
    vorbis_comment_init(&w->vc);
    AddTagComments(&w->vc);
    if (vorbis_analysis_init(&w->vd, &w->vi) != 0) {
        vorbis_comment_clear(&w->vc);
        vorbis_info_clear(&w->vi);
        SetError("Unsupported sample format.");
        return false;
    }
    vorbis_block_init(&w->vd, &w->vb);
    std::mt19937 rng(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    ogg_stream_init(&w->os, static_cast<int>(rng() & 0x7FFFFFFF));
    ogg_packet header, comment, code;
    const bool headers = vorbis_analysis_headerout(&w->vd, &w->vc, &header, &comment, &code) == 0;
    if (headers) {
        ogg_stream_packetin(&w->os, &header);
        ogg_stream_packetin(&w->os, &comment);
        ogg_stream_packetin(&w->os, &code);
    }
    // Opening the file closes whatever the object had open (m_writer is still empty here).
    if (!headers || !OpenWriteChecked()) {
        m_writer = std::move(w);
        Close(); // frees the encoder
        if (!headers) SetError("Unsupported sample format.");
        return false;
    }
    m_writer = std::move(w);
    ogg_page page;
    while (!writeFailed && ogg_stream_flush(&m_writer->os, &page) != 0)
        WritePage(page.header, page.header_len, page.body, page.body_len, 0);
    if (!FinishResult()) {
        DiscardCreatedFile();
        Close(); // frees the encoder; the message stays
        return false;
    }
    return true;
}

void AudioFileVorbis::AddTagComments(vorbis_comment* vc) const {
    // The tag fields as the comment names players read; empty fields are left out, so a
    // sample file of the storage modes (which has no tags) gets an empty comment block.
    auto add = [vc](const char* key, const std::string& value) {
        if (!value.empty()) vorbis_comment_add_tag(vc, key, value.c_str());
    };
    add("TITLE", title);
    add("ARTIST", artist);
    add("ALBUM", album);
    add("DATE", year > 0 ? std::to_string(year) : "");
    add("GENRE", genre);
    add("TRACKNUMBER", track > 0 ? std::to_string(track) : "");
    add("COMMENT", comment);
}

void AudioFileVorbis::WritePage(const unsigned char* header, long headerLen, const unsigned char* body, long bodyLen,
                                int64_t granule) {
    NoteWrite(headerLen, Write(header, headerLen));
    NoteWrite(bodyLen, Write(body, bodyLen));
    if (writeFailed) return;
    dataBytes += headerLen + bodyLen;
    if (granule >= 0) m_keptFrames = granule;
}

bool AudioFileVorbis::KeepWritten(int64_t& kept) {
    if (!m_writer || m_writer->finished || !IsOpen()) return false;
    // A stream cut after a whole page plays to that page's position; no page follows it.
    if (!Truncate(dataBytes) || Seek(dataBytes) < 0) return false;
    m_writer->eos = true;
    writeFailed = false;
    errorText.clear();
    frames = m_keptFrames;
    kept = m_keptFrames;
    return true;
}

void AudioFileVorbis::Drain() {
    Writer& w = *m_writer;
    while (vorbis_analysis_blockout(&w.vd, &w.vb) == 1) {
        vorbis_analysis(&w.vb, nullptr);
        vorbis_bitrate_addblock(&w.vb);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&w.vd, &packet) == 1) {
            ogg_stream_packetin(&w.os, &packet);
            ogg_page page;
            while (!w.eos && ogg_stream_pageout(&w.os, &page) != 0) {
                WritePage(page.header, page.header_len, page.body, page.body_len, ogg_page_granulepos(&page));
                if (ogg_page_eos(&page)) w.eos = true;
                if (writeFailed) return;
            }
        }
    }
}

int32_t AudioFileVorbis::WriteFloat(float* buffer, int32_t n) {
    if (!m_writer || m_writer->eos || m_writer->finished || !IsOpen() || writeFailed) return 0;
    if (n < 0 || (n > 0 && buffer == nullptr)) return 0;
    if (n > 0) {
        float** in = vorbis_analysis_buffer(&m_writer->vd, n);
        if (channels == 2) {
            for (int32_t i = 0; i < n; ++i) {
                in[0][i] = buffer[2 * i];
                in[1][i] = buffer[2 * i + 1];
            }
        } else {
            for (int32_t i = 0; i < n; ++i) in[0][i] = (buffer[2 * i] + buffer[2 * i + 1]) * 0.5f;
        }
    }
    // 0 frames marks the end of the stream and drains the encoder.
    vorbis_analysis_wrote(&m_writer->vd, n);
    Drain();
    frames += n;
    return static_cast<int32_t>(static_cast<int64_t>(n) * channels * bits / 8);
}

bool AudioFileVorbis::FinishWrite() {
    if (!m_writer || m_writer->finished) return false;
    if (!m_writer->eos) {
        const int64_t before = frames;
        WriteFloat(nullptr, 0);
        frames = before;
    }
    Writer& w = *m_writer;
    ogg_stream_clear(&w.os);
    vorbis_block_clear(&w.vb);
    vorbis_dsp_clear(&w.vd);
    vorbis_comment_clear(&w.vc);
    vorbis_info_clear(&w.vi);
    w.finished = true;
    const bool ok = FinishResult();
    AudioFile::Close();
    return ok;
}
