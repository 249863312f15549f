#include "engine/CSwapper.h"

#include <algorithm>
#include <cstring>

#include "audiofile/AudioFileFactory.h"
#include "common/FadeShape.h"
#include "engine/CTransport.h"

namespace {

// The reader for an entry's sample, from the one factory of the audio files, so every format
// the program knows plays; none for a format whose reader this build lacks (the entry then
// plays as silence). A raw sample says nothing about itself: its layout comes from the entry.
std::unique_ptr<AudioFile> MakeReader(const PlayItem& item) {
    std::string ignored;
    std::unique_ptr<AudioFile> reader = MakeAudioFile(item.formatCode, item.folder, item.fileName, ignored);
    if (reader && item.formatCode == kFormatRaw) {
        reader->rate = item.sampleRate;
        reader->channels = static_cast<uint32_t>(item.channels);
        reader->bits = item.bits;
        reader->sampleType = item.rawSampleType;
    }
    return reader;
}

// The recording target of a storage mode: WAV, KX64 or Ogg Vorbis.
std::unique_ptr<AudioFile> MakeRecordingTarget(int32_t storageMode, const std::string& folder,
                                               const std::string& name) {
    if (storageMode != kFormatWav && storageMode != kFormatKX64 && storageMode != kFormatVorbis) return nullptr;
    std::string ignored;
    return MakeAudioFile(storageMode, folder, name, ignored);
}

// One gain ramp from g0 to g1 over t frames, shaped.
void Ramp(float* frames, int64_t t, double g0, double g1, int shape) {
    const double step = (g1 - g0) / static_cast<double>(t);
    for (int64_t i = 0; i < t; ++i) {
        double g = std::clamp(g0 + static_cast<double>(i) * step, 0.0, 1.0);
        if (shape == FadeLog) g = g * g;
        else if (shape == FadeExp) g = 1.0 - (1.0 - g) * (1.0 - g);
        const float gain = static_cast<float>(g);
        frames[2 * i] *= gain;
        frames[2 * i + 1] *= gain;
    }
}

} // namespace

void ApplyRegionFades(float* frames, int32_t n, int64_t p, int64_t length, int32_t fadeIn, int fadeInShape,
                      int32_t fadeOut, int fadeOutShape) {
    if (n <= 0) return;
    if (fadeIn > 0 && p < fadeIn) {
        const int64_t t = std::min<int64_t>(n, fadeIn - p);
        Ramp(frames, t, static_cast<double>(p) / fadeIn, static_cast<double>(p + t) / fadeIn, fadeInShape);
    }
    if (fadeOut >= 1) {
        const int64_t fadeStart = length - fadeOut;
        if (p + n > fadeStart) {
            const double end = static_cast<double>(length - p - n) / fadeOut;
            if (p >= fadeStart) {
                Ramp(frames, n, static_cast<double>(length - p) / fadeOut, end, fadeOutShape);
            } else {
                const int64_t b = fadeStart - p;
                Ramp(frames + 2 * b, n - b, 1.0, end, fadeOutShape);
            }
        }
    }
}

CSwapper::CSwapper(CTransport& transport, CPlayList& playList)
    : m_transport(transport), m_playList(playList), m_buffers(new float[static_cast<size_t>(4) * kBufferFrames * 2]()),
      m_items(new const PlayItem*[CPlayList::kMaxEntries]()),
      m_readers(new std::unique_ptr<AudioFile>[CPlayList::kMaxEntries]),
      m_readerFailed(new bool[CPlayList::kMaxEntries]()) {}

CSwapper::~CSwapper() = default;

void CSwapper::Wake() {
    m_diskSignal.fetch_add(1, std::memory_order_release);
    m_diskSignal.notify_all();
}

void CSwapper::WaitForWork(const std::atomic<bool>& stop) {
    // The signal is read first: a Wake after this read changes it, so the wait returns.
    const uint32_t seen = m_diskSignal.load(std::memory_order_acquire);
    if (stop.load(std::memory_order_acquire) || m_fillRequest.load(std::memory_order_acquire) ||
        m_writeRequest.load(std::memory_order_acquire))
        return;
    m_diskSignal.wait(seen, std::memory_order_acquire);
}

void CSwapper::RaiseFill() {
    m_fillRequest.store(1, std::memory_order_release);
    Wake();
}

void CSwapper::WaitFill() {
    while (m_fillRequest.load(std::memory_order_acquire)) m_fillRequest.wait(1, std::memory_order_acquire);
}

void CSwapper::RaiseWrite() {
    m_writeRequest.store(1, std::memory_order_release);
    Wake();
}

void CSwapper::WaitWrite() {
    while (m_writeRequest.load(std::memory_order_acquire)) m_writeRequest.wait(1, std::memory_order_acquire);
}

void CSwapper::StartPlayback(int32_t start, int32_t end) {
    WaitFill();
    const int64_t range = std::max<int64_t>(0, static_cast<int64_t>(end) - start);
    m_rangeStart = start;
    m_chunks = static_cast<int32_t>(range / kBufferFrames + 1);
    m_framesPerChunk = static_cast<int32_t>(range / m_chunks);
    // The frames that do not divide evenly go one each to the first chunks, so the chunks
    // cover the whole range (otherwise the last frames of a render would repeat old audio).
    m_chunkRemainder = static_cast<int32_t>(range % m_chunks);
    m_issued = 0;
    m_refillDue = false;
    m_readPos = 0;
    m_count = m_playList.Count();
    for (int i = 0; i < m_count; ++i) {
        m_items[i] = &m_playList.Entry(i);
        m_readerFailed[i] = false;
    }
    m_index = 0;
    m_timeline = start;

    m_toFill = BufA;
    m_length[BufA] = ChunkLength(0);
    RaiseFill();
    m_issued = 1;
    WaitFill();
    m_played = BufA;
    if (m_chunks >= 2) {
        m_toFill = BufB;
        m_length[BufB] = ChunkLength(1);
        RaiseFill();
        m_issued = 2;
    }
}

void CSwapper::Fetch(float* destination, int32_t n, bool wait) {
    // The buffer that ran out in the previous fetch is refilled here rather than there, so a
    // pass that ended with that fetch reads nothing it will not play.
    if (m_refillDue) Refill(wait);
    while (n > 0) {
        const int32_t available = m_length[m_played] - m_readPos;
        if (m_length[m_played] <= 0) {
            // An empty range: nothing to cycle through.
            std::memset(destination, 0, sizeof(float) * 2 * static_cast<size_t>(n));
            return;
        }
        const float* source = Buffer(m_played) + static_cast<size_t>(m_readPos) * 2;
        if (available >= n) {
            std::memcpy(destination, source, sizeof(float) * 2 * static_cast<size_t>(n));
            m_readPos += n;
            return;
        }
        if (available > 0) std::memcpy(destination, source, sizeof(float) * 2 * static_cast<size_t>(available));
        destination += 2 * static_cast<size_t>(available);
        n -= available;
        m_readPos = 0;
        if (m_chunks > 2) {
            if (m_refillDue) Refill(wait);
            m_refillDue = true;
        }
        if (m_chunks >= 2) {
            const int other = m_played ^ 1;
            if (m_toFill == other) WaitFill();
            m_played = other;
        }
    }
}

void CSwapper::Refill(bool wait) {
    m_refillDue = false;
    // The disk thread owns the play-list copy and the buffer pointers while a fill is pending.
    WaitFill();
    if (m_issued >= m_chunks) {
        // After the range's last chunk the fill goes round to the range start even while loop
        // is off: loop may still be switched on before the pass ends, and the buffer played
        // after the last chunk must then hold the first, not what it held before. Only a
        // render, which never goes round again by itself, stops here.
        if (wait && !m_transport.GetLoop()) return;
        CloseReader(m_index);
        m_index = 0;
        m_issued = 0;
        m_timeline = m_rangeStart;
    }
    m_toFill = m_played ^ 1;
    m_length[m_toFill] = ChunkLength(m_issued);
    RaiseFill();
    ++m_issued;
}

void CSwapper::Release() {
    WaitFill();
    for (int i = 0; i < m_count; ++i) CloseReader(i);
    m_index = 0;
    m_transport.MarkPlaybackEnded();
}

void CSwapper::CloseReader(int entry) {
    if (entry < 0 || entry >= m_count || !m_readers[entry]) return;
    m_readers[entry]->Close();
    m_readers[entry].reset();
}

bool CSwapper::OpenReader(int entry, int64_t position) {
    const PlayItem& item = *m_items[entry];
    std::unique_ptr<AudioFile> reader = MakeReader(item);
    if (!reader || !reader->OpenRead()) {
        m_readerFailed[entry] = true;
        return false;
    }
    reader->SetLength(item.sampleFrames);
    reader->SeekFrame(item.regionStart + position);
    m_readers[entry] = std::move(reader);
    return true;
}

void CSwapper::Fill(float* destination, int32_t n) {
    int32_t produced = 0;
    while (produced < n) {
        float* out = destination + static_cast<size_t>(produced) * 2;
        if (m_index >= m_count) {
            std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(n - produced));
            break;
        }
        const PlayItem& item = *m_items[m_index];
        const int64_t at = m_timeline + produced;
        const int64_t entryEnd = item.start + item.length + 1; // the entry supplies L + 1 frames
        if (at < item.start) {
            const int32_t k = static_cast<int32_t>(std::min<int64_t>(n - produced, item.start - at));
            std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(k));
            produced += k;
            continue;
        }
        if (at >= entryEnd) {
            CloseReader(m_index);
            ++m_index;
            continue;
        }
        const int64_t p = at - item.start;
        const int32_t k = static_cast<int32_t>(std::min<int64_t>(n - produced, entryEnd - at));
        int32_t got = 0;
        if (!m_readers[m_index] && !m_readerFailed[m_index]) OpenReader(m_index, p);
        if (m_readers[m_index]) got = std::max(0, m_readers[m_index]->ReadFloat(out, k));
        if (got < k)
            std::memset(out + 2 * static_cast<size_t>(got), 0, sizeof(float) * 2 * static_cast<size_t>(k - got));
        ApplyRegionFades(out, k, p, item.length, item.fadeIn, item.fadeInShape, item.fadeOut, item.fadeOutShape);
        produced += k;
        if (at + k >= entryEnd) {
            CloseReader(m_index);
            ++m_index;
        }
    }
    m_timeline += n;
}

bool CSwapper::StartRecording(const RecordingFile& file, std::string& message) {
    WaitWrite();
    m_target = MakeRecordingTarget(file.storageMode, file.folder, file.name);
    m_recordOk.store(true, std::memory_order_relaxed);
    m_recorded.store(0, std::memory_order_relaxed);
    m_framesWritten.store(0, std::memory_order_relaxed);
    m_dataBytes.store(0, std::memory_order_relaxed);
    if (!m_target) {
        message = "The storage format of this recording is not available.";
        m_recordOk.store(false, std::memory_order_release);
        return false;
    }
    if (!m_target->OpenWrite(2, file.rate, file.bits, kSampleInt, file.kbps)) {
        message = m_target->ErrorText().empty() ? "Can't write recording file." : m_target->ErrorText();
        m_target.reset();
        m_recordOk.store(false, std::memory_order_release);
        return false;
    }
    m_recordChunk = file.storageMode == kFormatVorbis ? kVorbisChunkFrames : kBufferFrames;
    m_filling = m_toWrite = BufC;
    m_fillPos = 0;
    m_writeFailed.store(false, std::memory_order_relaxed);
    return true;
}

void CSwapper::Feed(const float* block, int32_t n) {
    if (!m_target || m_writeFailed.load(std::memory_order_acquire)) return;
    m_recorded.fetch_add(n, std::memory_order_relaxed);
    while (n > 0) {
        const int32_t k = std::min(n, m_recordChunk - m_fillPos);
        std::memcpy(Buffer(m_filling) + static_cast<size_t>(m_fillPos) * 2, block,
                    sizeof(float) * 2 * static_cast<size_t>(k));
        block += 2 * static_cast<size_t>(k);
        n -= k;
        m_fillPos += k;
        if (m_fillPos == m_recordChunk) {
            WaitWrite();
            m_toWrite = m_filling;
            m_writeLength = m_recordChunk;
            RaiseWrite();
            m_framesWritten.fetch_add(m_recordChunk, std::memory_order_relaxed);
            m_filling = m_filling == BufC ? BufD : BufC;
            m_fillPos = 0;
        }
    }
}

bool CSwapper::FinishRecording(std::string& message) {
    bool ok = true;
    if (m_target) {
        WaitWrite();
        bool failed = m_writeFailed.load(std::memory_order_acquire);
        if (m_fillPos > 0 && !failed) {
            if (m_target->WriteFloat(Buffer(m_filling), m_fillPos) <= 0) failed = true;
            else m_framesWritten.fetch_add(m_fillPos, std::memory_order_relaxed);
        }
        m_fillPos = 0;
        const std::string path = m_target->FullPath();
        std::string reason;
        int64_t kept = 0;
        bool finished = false;
        if (failed) {
            // What reached the disk before the failure is the recording: the file is cut after
            // its last whole frame and its header says so.
            reason = m_target->ErrorText().empty() ? "Can't write file (disk full?)." : m_target->ErrorText();
            finished = m_target->KeepWritten(kept) && m_target->FinishWrite();
            if (finished) m_framesWritten.store(kept, std::memory_order_relaxed);
        } else {
            finished = m_target->FinishWrite();
            if (!finished)
                reason = m_target->ErrorText().empty() ? "Can't write file (disk full?)." : m_target->ErrorText();
        }
        m_target->Close();
        m_dataBytes.store(m_target->dataBytes, std::memory_order_relaxed);
        const bool nothing = m_framesWritten.load(std::memory_order_relaxed) == 0;
        if (!finished) {
            // Recorded audio is never deleted: the file stays as it is, for the person to
            // rescue, and the library does not take it as a sample.
            message = "Recording was stopped: " + reason +
                      " The file could not be finished and is kept as it is: " + path;
            m_framesWritten.store(0, std::memory_order_relaxed);
            m_recordOk.store(false, std::memory_order_relaxed);
            ok = false;
        } else {
            if (nothing && m_target->FolderExists()) m_target->Delete();
            if (failed) {
                message = "Recording was stopped: " + reason +
                          (nothing ? std::string(" Nothing had been written yet.")
                                   : " The " + std::to_string(kept) + " frames written before it are kept.");
                m_recordOk.store(false, std::memory_order_relaxed);
                ok = false;
            }
        }
        m_target.reset();
    }
    // The flag's release store publishes the figures above to whoever sees it set.
    m_transport.MarkRecordingEnded();
    return ok;
}

bool CSwapper::Serve() {
    bool did = false;
    if (m_fillRequest.load(std::memory_order_acquire)) {
        Fill(Buffer(m_toFill), m_length[m_toFill]);
        m_fills.fetch_add(1, std::memory_order_relaxed);
        m_fillRequest.store(0, std::memory_order_release);
        m_fillRequest.notify_all();
        did = true;
    }
    if (m_writeRequest.load(std::memory_order_acquire)) {
        // After a failed write nothing more goes to the file, so it never holds a gap.
        if (m_target && !m_writeFailed.load(std::memory_order_relaxed) &&
            m_target->WriteFloat(Buffer(m_toWrite), m_writeLength) <= 0)
            m_writeFailed.store(true, std::memory_order_release);
        m_writes.fetch_add(1, std::memory_order_relaxed);
        m_writeRequest.store(0, std::memory_order_release);
        m_writeRequest.notify_all();
        did = true;
    }
    return did;
}
