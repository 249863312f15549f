#include "audiofile/AudioFileFlac.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "audiofile/Id3Tag.h"

struct AudioFileFlac::Decoder {
    FLAC__StreamDecoder* dec = nullptr;
    AudioFileFlac* file = nullptr;
    int64_t fileSize = 0;
    bool haveInfo = false;
    uint32_t infoChannels = 0;
    uint32_t infoBits = 0;
    uint32_t infoRate = 0;
    uint64_t infoTotal = 0;
    TagSet tags;
    bool haveTags = false;
    bool counting = false; // frames only counted (length of a stream that does not state it)
    int64_t counted = 0;
    std::vector<int32_t> pending; // stereo frames at the stream's depth
    size_t pendingFrames = 0;
    size_t pendingPos = 0;
    bool atEnd = false;
    int64_t position = 0; // the next frame a read gives

    ~Decoder() {
        if (dec != nullptr) FLAC__stream_decoder_delete(dec);
    }
};

namespace {

using D = AudioFileFlac::Decoder;

FLAC__StreamDecoderReadStatus ReadCb(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* cd) {
    D* d = static_cast<D*>(cd);
    if (*bytes == 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    const int64_t got = d->file->Read(buffer, static_cast<int64_t>(*bytes));
    *bytes = got > 0 ? static_cast<size_t>(got) : 0;
    return got > 0 ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderSeekStatus SeekCb(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* cd) {
    D* d = static_cast<D*>(cd);
    if (offset > static_cast<FLAC__uint64>(d->fileSize)) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    return d->file->Seek(static_cast<int64_t>(offset)) < 0 ? FLAC__STREAM_DECODER_SEEK_STATUS_ERROR
                                                           : FLAC__STREAM_DECODER_SEEK_STATUS_OK;
}

FLAC__StreamDecoderTellStatus TellCb(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* cd) {
    const int64_t p = static_cast<D*>(cd)->file->Seek(0, CFile::FromCurrent);
    if (p < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(p);
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus LengthCb(const FLAC__StreamDecoder*, FLAC__uint64* length, void* cd) {
    *length = static_cast<FLAC__uint64>(static_cast<D*>(cd)->fileSize);
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool EofCb(const FLAC__StreamDecoder*, void* cd) {
    D* d = static_cast<D*>(cd);
    return d->file->Seek(0, CFile::FromCurrent) >= d->fileSize;
}

FLAC__StreamDecoderWriteStatus WriteCb(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* cd) {
    D* d = static_cast<D*>(cd);
    const uint32_t n = frame->header.blocksize;
    if (d->counting) {
        d->counted += n;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    const uint32_t ch = frame->header.channels;
    if (ch == 0 || !d->haveInfo) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    // A frame may state another depth than the stream: its samples are brought to the stream's.
    const int shift = static_cast<int>(d->infoBits) - static_cast<int>(frame->header.bits_per_sample);
    d->pending.resize(static_cast<size_t>(n) * 2);
    const FLAC__int32* l = buffer[0];
    const FLAC__int32* r = buffer[ch >= 2 ? 1 : 0];
    for (uint32_t i = 0; i < n; ++i) {
        int64_t a = l[i], b = r[i];
        if (shift > 0) {
            a *= int64_t(1) << shift;
            b *= int64_t(1) << shift;
        } else if (shift < 0) {
            a >>= -shift;
            b >>= -shift;
        }
        d->pending[2 * i] = static_cast<int32_t>(a);
        d->pending[2 * i + 1] = static_cast<int32_t>(b);
    }
    d->pendingFrames = n;
    d->pendingPos = 0;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

int32_t LeadingNumber(const char* s, size_t len) {
    int32_t v = 0;
    for (size_t i = 0; i < len && i < 9 && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

void MetadataCb(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* cd) {
    D* d = static_cast<D*>(cd);
    if (m->type == FLAC__METADATA_TYPE_STREAMINFO) {
        d->haveInfo = true;
        d->infoChannels = m->data.stream_info.channels;
        d->infoBits = m->data.stream_info.bits_per_sample;
        d->infoRate = m->data.stream_info.sample_rate;
        d->infoTotal = m->data.stream_info.total_samples;
    } else if (m->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
        const auto& vc = m->data.vorbis_comment;
        for (uint32_t i = 0; i < vc.num_comments; ++i) {
            const char* e = reinterpret_cast<const char*>(vc.comments[i].entry);
            const size_t len = vc.comments[i].length;
            if (e == nullptr) continue;
            const char* eq = static_cast<const char*>(std::memchr(e, '=', len));
            if (eq == nullptr) continue;
            std::string key(e, static_cast<size_t>(eq - e));
            for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            std::string value(eq + 1, len - static_cast<size_t>(eq - e) - 1);
            value = std::string(value.c_str()); // up to an embedded NUL
            if (key == "TITLE") d->tags.title = value;
            else if (key == "ARTIST") d->tags.artist = value;
            else if (key == "ALBUM") d->tags.album = value;
            else if (key == "DATE") d->tags.year = LeadingNumber(value.data(), value.size());
            else if (key == "GENRE") d->tags.genre = value;
            else if (key == "TRACKNUMBER") d->tags.track = LeadingNumber(value.data(), value.size());
            else if (key == "COMMENT" || (key == "DESCRIPTION" && d->tags.comment.empty())) d->tags.comment = value;
            else continue;
            d->haveTags = true;
        }
    }
}

void ErrorCb(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {
    // Damaged frames are skipped by the decoder, which searches for the next one.
}

} // namespace

AudioFileFlac::AudioFileFlac(const std::string& folder, const std::string& path) : AudioFile(folder, path) {}

AudioFileFlac::~AudioFileFlac() { Close(); }

bool AudioFileFlac::OpenWrite(uint32_t, int32_t, int32_t, int32_t, int32_t) {
    SetError("Can't write output file.");
    return false;
}

void AudioFileFlac::Close() {
    m_dec.reset();
    AudioFile::Close();
}

bool AudioFileFlac::OpenRead() {
    Close();
    if (!OpenReadChecked()) return false;
    auto d = std::make_unique<Decoder>();
    d->file = this;
    d->fileSize = FileSize();
    uint8_t mark[4];
    if (!ReadMark(mark, "fLaC", "No FLAC stream found.") || Seek(0) != 0) {
        AudioFile::Close();
        return false;
    }
    d->dec = FLAC__stream_decoder_new();
    if (d->dec == nullptr) {
        SetError("Codec not present.");
        AudioFile::Close();
        return false;
    }
    FLAC__stream_decoder_set_metadata_respond(d->dec, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (FLAC__stream_decoder_init_stream(d->dec, ReadCb, SeekCb, TellCb, LengthCb, EofCb, WriteCb, MetadataCb, ErrorCb,
                                         d.get()) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(d->dec) || !d->haveInfo) {
        SetError("Incomplete FLAC header found (malformed?).");
        AudioFile::Close();
        return false;
    }
    channels = d->infoChannels;
    bits = static_cast<int32_t>(d->infoBits);
    rate = d->infoRate > 0x7FFFFFFF ? 0 : static_cast<int32_t>(d->infoRate);
    sampleType = kSampleInt;
    if (!CheckReadFormat()) {
        AudioFile::Close();
        return false;
    }
    dataOffset = 0;
    dataBytes = d->fileSize;
    if (d->infoTotal > 0) {
        frames = static_cast<int64_t>(std::min<uint64_t>(d->infoTotal, INT64_MAX / 8));
    } else {
        // The stream does not state its length: count the frames once and start again.
        d->counting = true;
        while (FLAC__stream_decoder_get_state(d->dec) < FLAC__STREAM_DECODER_END_OF_STREAM &&
               FLAC__stream_decoder_process_single(d->dec)) {
        }
        d->counting = false;
        frames = d->counted;
        if (!FLAC__stream_decoder_reset(d->dec) || Seek(0) != 0 ||
            !FLAC__stream_decoder_process_until_end_of_metadata(d->dec)) {
            SetError("Can't open file.");
            AudioFile::Close();
            return false;
        }
    }
    if (d->haveTags) ApplyTags(*this, d->tags);
    m_dec = std::move(d);
    return true;
}

bool AudioFileFlac::Refill() {
    Decoder& d = *m_dec;
    d.pendingFrames = d.pendingPos = 0;
    int stalls = 0;
    while (d.pendingFrames == 0) {
        if (FLAC__stream_decoder_get_state(d.dec) >= FLAC__STREAM_DECODER_END_OF_STREAM) return false;
        const int64_t before = Seek(0, CFile::FromCurrent);
        if (!FLAC__stream_decoder_process_single(d.dec)) return false;
        // The decoder always moves on through the file; a call that neither gives audio nor
        // reads a byte, again and again, would never end.
        if (d.pendingFrames == 0 && Seek(0, CFile::FromCurrent) == before && ++stalls > 16) return false;
    }
    return true;
}

int32_t AudioFileFlac::ReadFrames(void* buffer, int32_t n, bool asFloat) {
    if (n <= 0 || buffer == nullptr) return 0;
    // Never past the length the stream states, whatever its frames hold.
    const int64_t room = std::max<int64_t>(0, frames - m_dec->position);
    if (n > room) {
        std::memset(static_cast<uint8_t*>(buffer) + room * 8, 0, static_cast<size_t>(n - room) * 8);
        n = static_cast<int32_t>(room);
    }
    int32_t done = 0;
    const double scale = 1.0 / static_cast<double>(int64_t(1) << (bits - 1));
    while (done < n && m_dec) {
        Decoder& d = *m_dec;
        if (d.atEnd || (d.pendingPos >= d.pendingFrames && !Refill())) break;
        const size_t take = std::min<size_t>(static_cast<size_t>(n - done), d.pendingFrames - d.pendingPos);
        const int32_t* src = d.pending.data() + 2 * d.pendingPos;
        if (asFloat) {
            float* out = static_cast<float*>(buffer) + 2 * done;
            for (size_t i = 0; i < take * 2; ++i) out[i] = static_cast<float>(src[i] * scale);
        } else {
            std::memcpy(static_cast<int32_t*>(buffer) + 2 * done, src, take * 8);
        }
        d.pendingPos += take;
        done += static_cast<int32_t>(take);
    }
    std::memset(static_cast<uint8_t*>(buffer) + static_cast<size_t>(done) * 8, 0, static_cast<size_t>(n - done) * 8);
    if (m_dec) m_dec->position += done;
    return done;
}

bool AudioFileFlac::SeekFrame(int64_t frame) {
    if (!m_dec) return false;
    Decoder& d = *m_dec;
    frame = std::clamp<int64_t>(frame, 0, frames);
    d.pendingFrames = d.pendingPos = 0;
    d.atEnd = frame >= frames;
    d.position = frame;
    if (d.atEnd) return true; // nothing more to read until the next seek
    if (FLAC__stream_decoder_seek_absolute(d.dec, static_cast<FLAC__uint64>(frame))) return true;
    // A failed seek leaves the decoder to be flushed before it can go on.
    FLAC__stream_decoder_flush(d.dec);
    return false;
}
