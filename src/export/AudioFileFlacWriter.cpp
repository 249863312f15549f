#include "export/AudioFileFlacWriter.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstring>
#include <string>

#include "export/ChunkStage.h"

namespace {

FLAC__StreamEncoderWriteStatus WriteCb(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes, uint32_t,
                                       uint32_t, void* me) {
    return static_cast<AudioFileFlacWriter*>(me)->SinkWrite(buffer, bytes)
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekCb(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* me) {
    return static_cast<AudioFileFlacWriter*>(me)->SinkSeek(offset) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                                   : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus TellCb(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* me) {
    uint64_t at = 0;
    if (!static_cast<AudioFileFlacWriter*>(me)->SinkTell(at)) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = at;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AddComment(FLAC__StreamMetadata* block, const char* field, const std::string& value) {
    if (value.empty()) return true;
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, field, value.c_str())) return false;
    // copy = false: the block takes the entry's memory.
    return FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false);
}

} // namespace

struct AudioFileFlacWriter::Encoder {
    FLAC__StreamEncoder* enc = FLAC__stream_encoder_new();
    FLAC__StreamMetadata* tags = nullptr;
    ~Encoder() {
        if (enc) FLAC__stream_encoder_delete(enc);
        FreeTags();
    }
    void FreeTags() {
        if (tags) FLAC__metadata_object_delete(tags);
        tags = nullptr;
    }
};

AudioFileFlacWriter::AudioFileFlacWriter(const std::string& folder, const std::string& path)
    : AudioFile(folder, path), m_flac(std::make_unique<Encoder>()) {}

AudioFileFlacWriter::~AudioFileFlacWriter() {
    if (m_running) {
        FLAC__stream_encoder_finish(m_flac->enc);
        Flush();
    }
}

bool AudioFileFlacWriter::OpenRead() {
    SetError("FLAC reading is not done by the export writer.");
    return false;
}

namespace {
constexpr size_t kOutBytes = 256 * 1024;
}

bool AudioFileFlacWriter::Flush() {
    if (m_outFill == 0) return true;
    const int64_t want = static_cast<int64_t>(m_outFill);
    const int64_t written = Write(m_out.data(), want);
    NoteWrite(want, written);
    if (written > 0) dataBytes += written;
    m_outFill = 0;
    return written == want;
}

bool AudioFileFlacWriter::SinkWrite(const uint8_t* p, size_t n) {
    if (writeFailed) return false; // a gathered piece was lost: stop the encoder at once
    if (m_out.size() - m_outFill < n && !Flush()) return false;
    if (n >= m_out.size()) {
        const int64_t written = Write(p, static_cast<int64_t>(n));
        NoteWrite(static_cast<int64_t>(n), written);
        if (written > 0) dataBytes += written;
        return written == static_cast<int64_t>(n);
    }
    std::memcpy(m_out.data() + m_outFill, p, n);
    m_outFill += n;
    return true;
}

bool AudioFileFlacWriter::SinkSeek(uint64_t offset) { return Flush() && Seek(static_cast<int64_t>(offset)) >= 0; }

bool AudioFileFlacWriter::SinkTell(uint64_t& offset) {
    const int64_t at = Seek(0, FromCurrent);
    if (at < 0) return false;
    offset = static_cast<uint64_t>(at) + m_outFill;
    return true;
}

bool AudioFileFlacWriter::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t kbps) {
    if (!m_flac->enc) {
        SetError("FLAC encoder could not start.");
        return false;
    }
    if (m_running) {
        FLAC__stream_encoder_finish(m_flac->enc);
        Flush();
        m_running = false;
    }
    m_outFill = 0;
    if (ch != 1 && ch != 2) {
        SetError("Unsupported number of channels (only mono and stereo).");
        return false;
    }
    if (b != 8 && b != 16 && b != 24) {
        SetError("FLAC takes 16 or 24 bits.");
        return false;
    }
    if (r <= 0 || r > 655350) {
        SetError("Invalid sample rate.");
        return false;
    }
    SetWriteFormat(ch, r, b, kSampleInt);

    bool ok = FLAC__stream_encoder_set_channels(m_flac->enc, ch) &&
              FLAC__stream_encoder_set_bits_per_sample(m_flac->enc, static_cast<uint32_t>(b)) &&
              FLAC__stream_encoder_set_sample_rate(m_flac->enc, static_cast<uint32_t>(r));
    if (ok && ch == 2) ok = FLAC__stream_encoder_set_do_mid_side_stereo(m_flac->enc, true);

    m_flac->FreeTags();
    m_flac->tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (ok && m_flac->tags) {
        ok = AddComment(m_flac->tags, "TITLE", title) && AddComment(m_flac->tags, "ARTIST", artist) &&
             AddComment(m_flac->tags, "ALBUM", album) &&
             AddComment(m_flac->tags, "DATE", year > 0 ? std::to_string(year) : "") &&
             AddComment(m_flac->tags, "GENRE", genre) &&
             AddComment(m_flac->tags, "TRACKNUMBER", track > 0 ? std::to_string(track) : "") &&
             AddComment(m_flac->tags, "COMMENT", comment);
        if (ok && m_flac->tags->data.vorbis_comment.num_comments > 0)
            ok = FLAC__stream_encoder_set_metadata(m_flac->enc, &m_flac->tags, 1);
    }
    if (!ok) {
        SetError("FLAC encoder refused the settings.");
        return false;
    }
    // The encoder writes its stream header while it starts, so the file must exist by then; a
    // refusal at the start still takes the file away again.
    if (!OpenWriteChecked()) return false;
    m_out.resize(kOutBytes);
    m_outFill = 0;
    if (FLAC__stream_encoder_init_stream(m_flac->enc, WriteCb, SeekCb, TellCb, nullptr, this) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        SetError("FLAC encoder refused the settings.");
        DiscardCreatedFile();
        return false;
    }
    m_running = true;
    return true;
}

int32_t AudioFileFlacWriter::WriteFloat(float* buffer, int32_t n) {
    if (!m_running || n <= 0 || buffer == nullptr) return 0;
    ConvertToInt32InPlace(buffer, n, channels, bits);
    // The buffer's bytes now hold int32 samples (see ConvertToInt32InPlace).
    if (!FLAC__stream_encoder_process_interleaved(m_flac->enc, reinterpret_cast<const FLAC__int32*>(buffer),
                                                  static_cast<uint32_t>(n))) {
        writeFailed = true;
        return 0;
    }
    frames += n;
    return n * static_cast<int32_t>(channels) * (bits / 8);
}

bool AudioFileFlacWriter::FinishWrite() {
    if (!m_running) return false;
    m_running = false;
    // finish writes the last frame and then goes back to fill in the stream info block; both
    // may still sit in the area.
    if (!FLAC__stream_encoder_finish(m_flac->enc)) writeFailed = true;
    if (!Flush()) writeFailed = true;
    return FinishResult();
}

void AudioFileFlacWriter::Close() {
    if (m_running) FinishWrite();
    AudioFile::Close();
}
