#include "export/AudioFileMp3Writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <vector>

#include "export/ExportFormats.h"
#include "export/Id3Tags.h"

namespace {
constexpr int32_t kChunkFrames = 1152;
}

AudioFileMp3Writer::~AudioFileMp3Writer() { Release(); }

void AudioFileMp3Writer::Release() {
    if (m_lame) lame_close(m_lame);
    m_lame = nullptr;
}

bool AudioFileMp3Writer::OpenRead() {
    SetError("MP3 reading is not done by the export writer.");
    return false;
}

bool AudioFileMp3Writer::WriteOut(const uint8_t* p, int64_t n) {
    if (n <= 0) return true;
    const int64_t written = Write(p, n);
    NoteWrite(n, written);
    dataBytes += std::max<int64_t>(0, written);
    return written == n;
}

bool AudioFileMp3Writer::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t kbps) {
    Release();
    m_finished = false;
    m_mode = 0;
    if (r != 32000 && r != 44100 && r != 48000) {
        SetError("MP3 takes 32000, 44100 or 48000 Hz only.");
        return false;
    }
    if (!IsMp3Kbps(kbps)) {
        SetError("Unsupported MP3 bit rate.");
        return false;
    }
    if (ch != 1 && ch != 2) {
        SetError("Unsupported number of channels (only mono and stereo).");
        return false;
    }
    // The encoder takes its settings before the file exists, so a refusal leaves no file.
    lame_global_struct* lame = lame_init();
    if (!lame) {
        SetError("MP3 encoder could not start.");
        return false;
    }
    lame_set_in_samplerate(lame, r);
    lame_set_out_samplerate(lame, r);
    lame_set_num_channels(lame, static_cast<int>(ch));
    lame_set_mode(lame, ch == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kbps);
    lame_set_original(lame, 1);
    lame_set_emphasis(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) {
        SetError("MP3 encoder refused the settings.");
        lame_close(lame);
        return false;
    }
    // Creating the file closes what the object had open, encoder included: m_lame is null here.
    if (!OpenWriteChecked()) {
        lame_close(lame);
        return false;
    }
    m_lame = lame;
    SetWriteFormat(ch, r, 16, kSampleInt);
    m_kbps = kbps;

    // The ID3v2 tag goes first; the encoder's Info frame follows it and is filled in last.
    TagSet tags{title, artist, album, comment, genre, year, track};
    const std::vector<uint8_t> v2 = MakeId3v2Tag(tags);
    if (!v2.empty() && Write(v2.data(), static_cast<int64_t>(v2.size())) != static_cast<int64_t>(v2.size())) {
        SetError("Can't write file (disk full?).");
        Release();
        DiscardCreatedFile();
        return false;
    }
    m_audioStart = static_cast<int64_t>(v2.size());
    m_mode = ch == 1 ? 3 : 1;
    m_stage.Reset(kChunkFrames * static_cast<int32_t>(ch));
    return true;
}

bool AudioFileMp3Writer::EncodeChunk(const int16_t* pcm, int32_t samples) {
    const int32_t perChannel = samples / static_cast<int32_t>(channels);
    // lame takes short* without const; it does not write to the input.
    short* in = const_cast<short*>(reinterpret_cast<const short*>(pcm));
    const int n = channels == 2 ? lame_encode_buffer_interleaved(m_lame, in, perChannel, m_out, kStageBytes)
                                : lame_encode_buffer(m_lame, in, in, perChannel, m_out, kStageBytes);
    if (n < 0) {
        // A broken stream is a failed write: the finish must not call the file good.
        writeFailed = true;
        SetError("MP3 encoder failed.");
        return false;
    }
    frames += perChannel;
    return WriteOut(m_out, n);
}

int32_t AudioFileMp3Writer::WriteFloat(float* buffer, int32_t n) {
    if (!m_lame || m_finished || n <= 0 || buffer == nullptr) return 0;
    // The input taken is what counts: the encoder holds some frames back before it yields bytes.
    if (!m_stage.Push(buffer, n, channels, [this](const int16_t* p, int32_t count) { return EncodeChunk(p, count); }))
        return 0;
    return n * static_cast<int32_t>(channels) * 2;
}

bool AudioFileMp3Writer::FinishWrite() {
    if (!m_lame || m_finished) return FinishResult() && m_lame != nullptr;
    m_finished = true;
    if (m_stage.Fill() > 0) {
        EncodeChunk(m_stage.Data(), m_stage.Fill());
        m_stage.Clear();
    }
    const int n = lame_encode_flush(m_lame, m_out, kStageBytes);
    if (n > 0) WriteOut(m_out, n);
    // The Info frame: the encoder reserved the first frame for it and knows its bytes now.
    uint8_t info[2880];
    const size_t len = lame_get_lametag_frame(m_lame, info, sizeof info);
    if (len > 0 && len <= sizeof info) {
        if (!WriteAt(m_audioStart, info, static_cast<int64_t>(len))) writeFailed = true;
    }
    Release();
    return FinishResult();
}

void AudioFileMp3Writer::Close() {
    if (IsOpen() && m_finished) {
        TagSet tags{title, artist, album, comment, genre, year, track};
        if (!WriteId3v1(*this, tags)) writeFailed = true;
    }
    Release();
    AudioFile::Close();
}
