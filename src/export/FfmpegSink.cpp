#include "export/FfmpegSink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

#include "audiofile/CFile.h"

namespace {

constexpr int kIoBuffer = 65536;

int WriteCb(void* me, uint8_t* buf, int size) { return static_cast<FfmpegSink*>(me)->WritePacket(buf, size); }
int64_t SeekCb(void* me, int64_t offset, int whence) { return static_cast<FfmpegSink*>(me)->SeekTo(offset, whence); }

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

FfmpegSink::~FfmpegSink() { Free(); }

void FfmpegSink::Free() {
    av_packet_free(&m_pkt);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_ctx);
    if (m_fmt) {
        m_fmt->pb = nullptr;
        avformat_free_context(m_fmt);
        m_fmt = nullptr;
    }
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    m_stream = nullptr;
    m_headerWritten = false;
}

int FfmpegSink::WritePacket(const uint8_t* buf, int size) {
    const int64_t written = m_file->Write(buf, size);
    if (written != size) {
        m_writeFailed = true;
        return AVERROR(EIO);
    }
    return size;
}

int64_t FfmpegSink::SeekTo(int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) return m_file->FileSize();
    whence &= ~AVSEEK_FORCE;
    const CFile::Origin origin = whence == SEEK_CUR   ? CFile::FromCurrent
                                 : whence == SEEK_END ? CFile::FromEnd
                                                      : CFile::FromStart;
    const int64_t at = m_file->Seek(offset, origin);
    return at < 0 ? AVERROR(EIO) : at;
}

bool FfmpegSink::Prepare(const char* muxer, const char* codecName, int32_t rate, uint32_t channels, int64_t bitRate,
                         const std::vector<std::pair<std::string, std::string>>& metadata, std::string& error) {
    // The encoders' statistics lines would land among the tool's messages on stderr.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    Free();
    m_file = nullptr;
    m_channels = channels;
    m_pts = 0;
    m_writeFailed = false;
    auto fail = [&](const std::string& what, int code) {
        error = code ? what + " (" + AvError(code) + ")" : what;
        Free();
        return false;
    };

    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    if (!codec) return fail("Encoder not available.", 0);
    if (avformat_alloc_output_context2(&m_fmt, nullptr, muxer, nullptr) < 0 || !m_fmt)
        return fail("Container not available.", 0);
    m_ctx = avcodec_alloc_context3(codec);
    if (!m_ctx) return fail("Out of memory.", 0);
    m_ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_ctx->sample_rate = rate;
    av_channel_layout_default(&m_ctx->ch_layout, static_cast<int>(channels));
    m_ctx->bit_rate = bitRate;
    m_ctx->time_base = AVRational{1, rate};
    if (m_fmt->oformat->flags & AVFMT_GLOBALHEADER) m_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(m_ctx, codec, nullptr);
    if (rc < 0) return fail("Encoder refused the settings.", rc);
    m_frameSize = m_ctx->frame_size > 0 ? m_ctx->frame_size : 1024;
    m_smallLast = (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;

    m_stream = avformat_new_stream(m_fmt, nullptr);
    if (!m_stream) return fail("Out of memory.", 0);
    m_stream->time_base = m_ctx->time_base;
    rc = avcodec_parameters_from_context(m_stream->codecpar, m_ctx);
    if (rc < 0) return fail("Encoder refused the settings.", rc);
    for (const auto& [key, value] : metadata)
        if (!value.empty()) av_dict_set(&m_fmt->metadata, key.c_str(), value.c_str(), 0);
    return true;
}

bool FfmpegSink::Start(CFile& file, std::string& error) {
    auto fail = [&](const std::string& what, int code) {
        error = code ? what + " (" + AvError(code) + ")" : what;
        Free();
        return false;
    };
    if (!m_ctx || !m_fmt || !m_stream) return fail("Encoder not prepared.", 0);
    m_file = &file;
    const int32_t rate = m_ctx->sample_rate;
    int rc = 0;

    uint8_t* ioBuf = static_cast<uint8_t*>(av_malloc(kIoBuffer));
    if (!ioBuf) return fail("Out of memory.", 0);
    m_io = avio_alloc_context(ioBuf, kIoBuffer, 1, this, nullptr, WriteCb, SeekCb);
    if (!m_io) {
        av_free(ioBuf);
        return fail("Out of memory.", 0);
    }
    m_fmt->pb = m_io;
    m_fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    rc = avformat_write_header(m_fmt, nullptr);
    if (rc < 0) return fail(m_writeFailed ? "Can't write file (disk full?)." : "Container refused the stream.", rc);
    m_headerWritten = true;

    m_frame = av_frame_alloc();
    m_pkt = av_packet_alloc();
    if (!m_frame || !m_pkt) return fail("Out of memory.", 0);
    m_frame->format = AV_SAMPLE_FMT_FLTP;
    m_frame->sample_rate = rate;
    m_frame->nb_samples = m_frameSize;
    av_channel_layout_copy(&m_frame->ch_layout, &m_ctx->ch_layout);
    rc = av_frame_get_buffer(m_frame, 0);
    if (rc < 0) return fail("Out of memory.", rc);
    return true;
}

bool FfmpegSink::Drain() {
    for (;;) {
        const int rc = avcodec_receive_packet(m_ctx, m_pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return false;
        av_packet_rescale_ts(m_pkt, m_ctx->time_base, m_stream->time_base);
        m_pkt->stream_index = m_stream->index;
        const int wr = av_write_frame(m_fmt, m_pkt);
        av_packet_unref(m_pkt);
        if (wr < 0) return false;
    }
}

bool FfmpegSink::Encode(const int16_t* pcm, int32_t frames) {
    if (!m_ctx || frames <= 0 || frames > m_frameSize) return false;
    if (av_frame_make_writable(m_frame) < 0) return false;
    const int32_t n = (frames < m_frameSize && !m_smallLast) ? m_frameSize : frames;
    for (uint32_t c = 0; c < m_channels; ++c) {
        float* plane = reinterpret_cast<float*>(m_frame->extended_data[c]);
        for (int32_t i = 0; i < frames; ++i) plane[i] = static_cast<float>(pcm[i * m_channels + c]) / 32768.0f;
        std::fill(plane + frames, plane + n, 0.0f);
    }
    m_frame->nb_samples = n;
    m_frame->pts = m_pts;
    m_pts += n;
    if (avcodec_send_frame(m_ctx, m_frame) < 0) return false;
    return Drain();
}

bool FfmpegSink::Finish() {
    if (!m_ctx) return false;
    bool ok = avcodec_send_frame(m_ctx, nullptr) >= 0 && Drain();
    if (m_headerWritten) ok = av_write_trailer(m_fmt) >= 0 && ok;
    avio_flush(m_io);
    ok = ok && !m_writeFailed;
    Free();
    return ok;
}

bool FfmpegAudioWriter::OpenRead() {
    SetError("This format is written only.");
    return false;
}

bool FfmpegAudioWriter::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t kbps) {
    m_running = false;
    if (ch != 1 && ch != 2) {
        SetError("Unsupported number of channels (only mono and stereo).");
        return false;
    }
    if (r <= 0) {
        SetError("Invalid sample rate (zero).");
        return false;
    }
    if (!Accepts(ch, r, kbps)) return false;
    SetWriteFormat(ch, r, 16, kSampleInt);
    std::string error;
    // The encoder judges the settings before the file exists: a refusal leaves no file.
    if (!m_sink.Prepare(Muxer(), Codec(), r, ch, BitRate(ch, kbps), Metadata(), error)) {
        SetError(error);
        return false;
    }
    const int32_t chunk = m_sink.FrameSize() * static_cast<int32_t>(ch);
    if (!m_stage.Reset(chunk)) {
        SetError("Encoder frame too large.");
        return false;
    }
    if (!OpenWriteChecked()) return false;
    if (!m_sink.Start(*this, error)) {
        SetError(error);
        DiscardCreatedFile();
        return false;
    }
    m_running = true;
    return true;
}

int32_t FfmpegAudioWriter::WriteFloat(float* buffer, int32_t n) {
    if (!m_running || n <= 0 || buffer == nullptr) return 0;
    const bool ok = m_stage.Push(buffer, n, channels, [this](const int16_t* p, int32_t count) {
        if (!m_sink.Encode(p, count / static_cast<int32_t>(channels))) return false;
        frames += count / static_cast<int32_t>(channels);
        return true;
    });
    if (!ok) {
        writeFailed = true;
        SetError(m_sink.WriteFailed() ? "Can't write file (disk full?)." : "Encoder failed.");
        return 0;
    }
    // The input taken is what counts: the encoder holds frames back before it yields bytes.
    return n * static_cast<int32_t>(channels) * 2;
}

bool FfmpegAudioWriter::FinishWrite() {
    if (!m_running) return false;
    m_running = false;
    bool ok = true;
    // The staged part of the last encoder frame is encoded too, so the tail is not lost.
    if (m_stage.Fill() > 0) {
        const int32_t f = m_stage.Fill() / static_cast<int32_t>(channels);
        ok = m_sink.Encode(m_stage.Data(), f);
        if (ok) frames += f;
        m_stage.Clear();
    }
    ok = m_sink.Finish() && ok;
    if (!ok) writeFailed = true;
    dataBytes = std::max<int64_t>(0, FileSize());
    return FinishResult();
}

void FfmpegAudioWriter::Close() {
    if (m_running) FinishWrite();
    AudioFile::Close();
}
