#include "audiofile/AudioFileFFmpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "audiofile/Id3Tag.h"

namespace {

constexpr int kIoBufferBytes = 32768;
// Decoding errors in a row after which the rest of a damaged stream is given up.
constexpr int kMaxErrorsInARow = 64;
constexpr int32_t kMaxRate = 768000;

void QuietLibrary() {
    // A damaged file is reported once, by our message; FFmpeg's own lines would only repeat it
    // on the terminal of the tool for every broken packet.
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() <= AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    });
}

int32_t LeadingNumber(const char* s) {
    int32_t v = 0;
    for (int i = 0; s[i] >= '0' && s[i] <= '9' && i < 9; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

struct AudioFileFFmpeg::State {
    AVIOContext* io = nullptr;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    SwrContext* swr = nullptr;
    int swrFormat = -1;
    AVPacket* pkt = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    bool flushed = false; // the demuxer has run out and the decoder was told
    bool ended = false;
    int errors = 0;
    // Bytes FFmpeg has read through us; bounded so that no demuxer can read forever.
    int64_t ioBytes = 0;
    int64_t ioBudget = 0;
    // Decoded audio of the file's channels, interleaved floats.
    std::vector<float> stage;
    int64_t stageFrames = 0;
    int64_t stagePos = 0;
};

namespace {

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* self = static_cast<AudioFileFFmpeg*>(opaque);
    return self->IoRead(buf, size);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<AudioFileFFmpeg*>(opaque);
    return self->IoSeek(offset, whence);
}

// FFmpeg may not open any other file or address on behalf of a file it reads.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

} // namespace

int AudioFileFFmpeg::IoRead(uint8_t* buf, int size) {
    if (!m || m->ioBytes > m->ioBudget) return AVERROR(EIO);
    const int64_t got = Read(buf, size);
    if (got <= 0) return AVERROR_EOF;
    m->ioBytes += got;
    return static_cast<int>(got);
}

int64_t AudioFileFFmpeg::IoSeek(int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) return FileSize();
    whence &= ~AVSEEK_FORCE;
    const Origin origin = whence == SEEK_CUR ? FromCurrent : whence == SEEK_END ? FromEnd : FromStart;
    const int64_t at = Seek(offset, origin);
    return at < 0 ? AVERROR(EIO) : at;
}

AudioFileFFmpeg::AudioFileFFmpeg(const std::string& folder, const std::string& path) : AudioFile(folder, path) {}

AudioFileFFmpeg::~AudioFileFFmpeg() { Close(); }

bool AudioFileFFmpeg::Accepts(const std::string& folder, const std::string& name) {
    AudioFileFFmpeg f(folder, name);
    // A file that merely looks like some container is not audio until something decodes.
    const bool ok = f.Open(false) && f.Refill();
    f.Close();
    return ok;
}

bool AudioFileFFmpeg::OpenWrite(uint32_t, int32_t, int32_t, int32_t, int32_t) {
    SetError("Can't write output file.");
    return false;
}

void AudioFileFFmpeg::CloseDecoder() {
    if (!m) return;
    swr_free(&m->swr);
    av_frame_free(&m->frame);
    av_packet_free(&m->pkt);
    avcodec_free_context(&m->dec);
    avformat_close_input(&m->fmt);
    if (m->io != nullptr) {
        av_freep(&m->io->buffer);
        avio_context_free(&m->io);
    }
    m.reset();
}

void AudioFileFFmpeg::Close() {
    CloseDecoder();
    AudioFile::Close();
}

std::string AudioFileFFmpeg::ContainerName() const {
    return m && m->fmt != nullptr && m->fmt->iformat != nullptr ? m->fmt->iformat->name : "";
}

void AudioFileFFmpeg::SetLength(int64_t framesKnown) {
    if (framesKnown > 0) frames = framesKnown;
}

bool AudioFileFFmpeg::OpenRead() {
    m_exact = -1;
    return Open(true);
}

bool AudioFileFFmpeg::Open(bool readTags) {
    Close();
    QuietLibrary();
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    m = std::make_unique<State>();
    // Everything is read about once; probing and the stream analysis read the start again.
    m->ioBudget = fileSize * 8 + (int64_t{64} << 20);
    auto fail = [this](const char* message) {
        SetError(message);
        Close();
        return false;
    };

    auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (ioBuffer == nullptr) return fail("Not enough memory.");
    m->io = avio_alloc_context(ioBuffer, kIoBufferBytes, 0, this, ReadPacket, nullptr, SeekPacket);
    if (m->io == nullptr) {
        av_free(ioBuffer);
        return fail("Not enough memory.");
    }
    m->fmt = avformat_alloc_context();
    if (m->fmt == nullptr) return fail("Not enough memory.");
    m->fmt->pb = m->io;
    m->fmt->io_open = RefuseOpen;
    // The name only hints at the format; the content decides.
    if (avformat_open_input(&m->fmt, path.c_str(), nullptr, nullptr) < 0) {
        m->fmt = nullptr; // freed by the failed open
        return fail("Format is not supported.");
    }
    if (avformat_find_stream_info(m->fmt, nullptr) < 0) return fail("Can't read the file's streams (damaged?).");
    const AVCodec* codec = nullptr;
    m->stream = av_find_best_stream(m->fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m->stream == AVERROR_DECODER_NOT_FOUND) return fail("No decoder for this audio format.");
    if (m->stream < 0 || codec == nullptr) return fail("No audio found.");
    // Only the audio stream is read; the demuxer skips the others' packets.
    for (unsigned i = 0; i < m->fmt->nb_streams; ++i)
        if (static_cast<int>(i) != m->stream) m->fmt->streams[i]->discard = AVDISCARD_ALL;
    AVStream* st = m->fmt->streams[m->stream];
    m->dec = avcodec_alloc_context3(codec);
    if (m->dec == nullptr) return fail("Not enough memory.");
    if (avcodec_parameters_to_context(m->dec, st->codecpar) < 0) return fail("No decoder for this audio format.");
    m->dec->pkt_timebase = st->time_base;
    m->dec->thread_count = 1;
    if (avcodec_open2(m->dec, codec, nullptr) < 0) return fail("No decoder for this audio format.");
    const int ch = m->dec->ch_layout.nb_channels;
    if (ch != 1 && ch != 2) return fail("Unsupported number of channels (only mono and stereo).");
    if (m->dec->sample_rate <= 0 || m->dec->sample_rate > kMaxRate) return fail("Unsupported sample rate.");
    m->pkt = av_packet_alloc();
    m->frame = av_frame_alloc();
    if (m->pkt == nullptr || m->frame == nullptr) return fail("Not enough memory.");

    channels = static_cast<uint32_t>(ch);
    rate = m->dec->sample_rate;
    // Lossless sources keep their depth in the storage; lossy ones are stored with 16 bits, as
    // MP3 and Ogg Vorbis are.
    const AVCodecDescriptor* desc = avcodec_descriptor_get(codec->id);
    const bool lossless = desc != nullptr && (desc->props & AV_CODEC_PROP_LOSSLESS) != 0;
    const AVSampleFormat sf = m->dec->sample_fmt;
    const bool floatSamples = sf == AV_SAMPLE_FMT_FLT || sf == AV_SAMPLE_FMT_FLTP || sf == AV_SAMPLE_FMT_DBL ||
                              sf == AV_SAMPLE_FMT_DBLP;
    sampleType = kSampleInt;
    bits = 16;
    if (lossless && floatSamples) {
        bits = 32;
        sampleType = kSampleFloat;
    } else if (lossless) {
        int depth = st->codecpar->bits_per_raw_sample;
        if (depth <= 0) depth = st->codecpar->bits_per_coded_sample;
        if (depth <= 0) depth = av_get_bytes_per_sample(sf) * 8;
        bits = depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
    }
    dataOffset = 0;
    dataBytes = fileSize;
    // The container's word on the length, until the decoder has been through.
    int64_t estimate = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        estimate = av_rescale_q(st->duration, st->time_base, AVRational{1, rate});
    else if (m->fmt->duration != AV_NOPTS_VALUE && m->fmt->duration > 0)
        estimate = av_rescale_q(m->fmt->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, rate});
    // A reopen (a seek back) keeps what reading has learnt of the length.
    frames = readTags ? estimate : std::max(frames, estimate);
    if (m_exact >= 0) frames = m_exact;
    m_position = 0;
    if (readTags) ReadTags();
    return true;
}

void AudioFileFFmpeg::ReadTags() {
    hasTags = 0;
    TagSet t;
    bool any = false;
    // The container's tags, then the stream's (Ogg keeps them there).
    auto get = [&](const char* key, std::string& out) {
        for (AVDictionary* d : {m->fmt->metadata, m->fmt->streams[m->stream]->metadata}) {
            const AVDictionaryEntry* e = av_dict_get(d, key, nullptr, 0);
            if (e != nullptr && e->value != nullptr && e->value[0] != '\0') {
                out = TextAsUtf8(e->value);
                any = true;
                return;
            }
        }
    };
    std::string date, track;
    get("title", t.title);
    get("artist", t.artist);
    get("album", t.album);
    get("date", date);
    get("genre", t.genre);
    get("track", track);
    get("comment", t.comment);
    t.year = LeadingNumber(date.c_str());
    t.track = LeadingNumber(track.c_str());
    t.genre = GenreFromText(t.genre);
    if (any) ApplyTags(*this, t);
}

bool AudioFileFFmpeg::Stage(const void* framePtr) {
    const AVFrame* fr = static_cast<const AVFrame*>(framePtr);
    const int n = fr->nb_samples;
    if (n <= 0) return false;
    // A stream that changes its channels or rate midway is not one sample: it ends here.
    if (fr->ch_layout.nb_channels != static_cast<int>(channels) || fr->sample_rate != rate) {
        m->ended = true;
        return false;
    }
    m->stage.resize(static_cast<size_t>(n) * channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(m->stage.data());
    if (fr->format == AV_SAMPLE_FMT_FLT) {
        std::memcpy(out, fr->extended_data[0], m->stage.size() * sizeof(float));
    } else {
        if (m->swr == nullptr || m->swrFormat != fr->format) {
            swr_free(&m->swr);
            // The same layout and rate in and out: only the sample format changes.
            AVChannelLayout layout = fr->ch_layout; // the library takes it unqualified
            if (swr_alloc_set_opts2(&m->swr, &layout, AV_SAMPLE_FMT_FLT, rate, &layout,
                                    static_cast<AVSampleFormat>(fr->format), rate, 0, nullptr) < 0 ||
                swr_init(m->swr) < 0) {
                swr_free(&m->swr);
                m->ended = true;
                return false;
            }
            m->swrFormat = fr->format;
        }
        const int got = swr_convert(m->swr, &out, n, const_cast<const uint8_t**>(fr->extended_data), n);
        if (got <= 0) return false;
        m->stage.resize(static_cast<size_t>(got) * channels);
    }
    m->stageFrames = static_cast<int64_t>(m->stage.size() / channels);
    m->stagePos = 0;
    return m->stageFrames > 0;
}

bool AudioFileFFmpeg::Refill() {
    if (!m || m->ended) return false;
    for (;;) {
        const int r = avcodec_receive_frame(m->dec, m->frame);
        if (r == 0) {
            const bool staged = Stage(m->frame);
            av_frame_unref(m->frame);
            m->errors = 0;
            if (staged) return true;
            if (m->ended) return false;
            continue;
        }
        if (r == AVERROR_EOF || m->flushed) {
            if (r != AVERROR_EOF && r != AVERROR(EAGAIN) && ++m->errors <= kMaxErrorsInARow) continue;
            m->ended = true;
            return false;
        }
        if (r != AVERROR(EAGAIN) && ++m->errors > kMaxErrorsInARow) {
            m->ended = true;
            return false;
        }
        // The decoder wants input: the next packet of our stream, or the end.
        const int rr = av_read_frame(m->fmt, m->pkt);
        if (rr < 0) {
            avcodec_send_packet(m->dec, nullptr);
            m->flushed = true;
            continue;
        }
        if (m->pkt->stream_index == m->stream) {
            // A damaged packet is skipped; too many in a row end the audio.
            if (avcodec_send_packet(m->dec, m->pkt) < 0 && ++m->errors > kMaxErrorsInARow) {
                av_packet_unref(m->pkt);
                m->ended = true;
                return false;
            }
        }
        av_packet_unref(m->pkt);
    }
}

int32_t AudioFileFFmpeg::ReadFrames(float* buffer, int32_t n) {
    if (n <= 0 || buffer == nullptr) return 0;
    int32_t done = 0;
    while (done < n && m) {
        if (m->stagePos >= m->stageFrames && !Refill()) break;
        const int64_t take = std::min<int64_t>(n - done, m->stageFrames - m->stagePos);
        const float* in = m->stage.data() + m->stagePos * channels;
        float* out = buffer + 2 * static_cast<int64_t>(done);
        if (channels == 2) {
            std::memcpy(out, in, static_cast<size_t>(take) * 2 * sizeof(float));
        } else {
            for (int64_t i = 0; i < take; ++i) out[2 * i] = out[2 * i + 1] = in[i];
        }
        m->stagePos += take;
        done += static_cast<int32_t>(take);
    }
    std::memset(buffer + 2 * static_cast<int64_t>(done), 0, static_cast<size_t>(n - done) * 2 * sizeof(float));
    m_position += done;
    // The estimate never stays below what was read, and is exact once the audio has ended.
    if (m_position > frames) frames = m_position;
    if (done < n && m && m->ended && m->stagePos >= m->stageFrames) {
        m_exact = m_position;
        frames = m_exact;
    }
    return done;
}

int32_t AudioFileFFmpeg::ReadFloat(float* buffer, int32_t n) { return ReadFrames(buffer, n); }

int32_t AudioFileFFmpeg::ReadInt(int32_t* buffer, int32_t n) {
    float* f = reinterpret_cast<float*>(buffer);
    const int32_t got = ReadFrames(f, n);
    if (sampleType == kSampleFloat) return got; // float samples keep their bit pattern
    // Integers of the stored width; the decoders' floats are exact multiples of it.
    const double scale = static_cast<double>(int64_t{1} << (bits - 1));
    const int64_t hi = (int64_t{1} << (bits - 1)) - 1, lo = -(int64_t{1} << (bits - 1));
    for (int64_t i = 0; i < 2 * static_cast<int64_t>(n); ++i) {
        const double v = static_cast<double>(f[i]) * scale;
        buffer[i] = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(v), lo, hi));
    }
    return got;
}

void AudioFileFFmpeg::Discard(int64_t count) {
    std::vector<float> scratch(2 * 4096);
    while (count > 0) {
        const int32_t got = ReadFrames(scratch.data(), static_cast<int32_t>(std::min<int64_t>(count, 4096)));
        if (got <= 0) break;
        count -= got;
    }
}

bool AudioFileFFmpeg::SeekFrame(int64_t frame) {
    if (!m) return false;
    if (frame < 0) frame = 0;
    if (frame < m_position) {
        // Back to the start: codecs with priming and containers with edit lists give the same
        // samples only on a straight read, so a seek backwards reopens and decodes forward.
        if (!Open(false)) return false;
    }
    Discard(frame - m_position);
    return true;
}
