#pragma once
// CSwapper: the fixed buffers between the audio thread and the disk. Four buffers of 250,000
// stereo frames: A and B for playback (one is played while the disk thread fills the other
// from the play list, applying each region's fades), C and D for recording (one collects input
// while the disk thread writes the other).
//
// Two request words coordinate the threads. The audio thread raises a request (release) after
// setting the buffer pointers it names; the disk thread serves it and clears it (release);
// the audio thread waits for the clear (acquire) before touching those pointers or that
// buffer again. So each piece of bookkeeping below has one owner at a time: the disk thread
// between raise and clear, the audio thread otherwise.
//
// Threading: playback and recording operations on the audio thread; Serve and WaitForWork on
// the disk thread; the counters anywhere.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/CPlayList.h"

class AudioFile;
class CTransport;

// The file a recording goes into.
struct RecordingFile {
    std::string folder;
    std::string name;
    int32_t storageMode = 0; // format code: 0 WAV, 3 KX64, 6 Ogg Vorbis
    int32_t rate = 44100;
    int32_t bits = 16;
    int32_t kbps = 400;
};

class CSwapper {
public:
    static constexpr int32_t kBufferFrames = 250000;
    static constexpr int32_t kVorbisChunkFrames = 62500;
    enum { BufA = 0, BufB = 1, BufC = 2, BufD = 3 };

    CSwapper(CTransport& transport, CPlayList& playList);
    ~CSwapper();
    CSwapper(const CSwapper&) = delete;
    CSwapper& operator=(const CSwapper&) = delete;

    // Playback (audio thread). StartPlayback copies the play list, fills A and waits for it,
    // and has B filled in the background.
    void StartPlayback(int32_t start, int32_t end);
    // Copies n frames of the play range from the buffer being played, switching buffers and
    // issuing refills. A buffer is never read while the disk thread fills it: where a fill is
    // still pending at a switch the fetch waits for it (rendering always may; playback only
    // in the rare case that the disk fell a whole buffer behind). wait: rendering.
    //
    // A playback goes round the range whether or not loop is set, so that the frames after
    // the range's end are always its start: the audio thread alone decides whether they are
    // heard, and loop may be switched on at any time before its pass ends. A render goes round
    // only while loop is set.
    void Fetch(float* destination, int32_t n, bool wait);
    // Waits for a pending fill, closes every reader, rewinds the copy and sets the transport's
    // playback-ended flag.
    void Release();

    // Recording (audio thread).
    bool StartRecording(const RecordingFile& file, std::string& message);
    void Feed(const float* block, int32_t n);
    // Writes what is left, finishes and closes the file (deleting it when nothing was written),
    // publishes the result and sets the recording-ended flag. After a failed write the file
    // ends with the last frame that reached it whole, and those frames are the recording's;
    // where even that cannot be done the file stays on the disk as it is, and no frames are
    // published. False with a message saying what happened in either case.
    bool FinishRecording(std::string& message);
    // A write of the recording failed (a full disk): nothing more is written to it, and the
    // input run ends its take. Audio thread.
    bool RecordingWriteFailed() const { return m_writeFailed.load(std::memory_order_acquire); }

    // Disk thread: serves the raised requests; true when something was done.
    bool Serve();
    // Disk thread: returns when a request may be waiting, stop is set or Wake was called.
    void WaitForWork(const std::atomic<bool>& stop);
    void Wake();

    // Main thread, while no input run is under way: the figures of the last recording go, so
    // that nothing reads them as the next one's before its run has begun.
    void ResetRecordingFigures() {
        m_recorded.store(0, std::memory_order_relaxed);
        m_framesWritten.store(0, std::memory_order_relaxed);
        m_dataBytes.store(0, std::memory_order_relaxed);
    }

    // Published figures.
    int64_t RecordedFrames() const { return m_recorded.load(std::memory_order_relaxed); }
    int64_t FramesWritten() const { return m_framesWritten.load(std::memory_order_acquire); }
    int64_t RecordingDataBytes() const { return m_dataBytes.load(std::memory_order_acquire); }
    bool RecordingOk() const { return m_recordOk.load(std::memory_order_acquire); }
    // Playback layout of the current pass (audio thread, or after the run for tests).
    int32_t Chunks() const { return m_chunks; }
    int32_t ChunkLength(int32_t chunk) const { return m_framesPerChunk + (chunk < m_chunkRemainder ? 1 : 0); }
    int32_t ChunksIssued() const { return m_issued; }
    int64_t FillsServed() const { return m_fills.load(std::memory_order_relaxed); }
    int64_t WritesServed() const { return m_writes.load(std::memory_order_relaxed); }
    int32_t RecordingChunkFrames() const { return m_recordChunk; }

private:
    float* Buffer(int b) const { return m_buffers.get() + static_cast<size_t>(b) * kBufferFrames * 2; }
    void RaiseFill();
    void WaitFill();
    // Has the buffer not being played filled with the next chunk of the range (audio thread).
    void Refill(bool wait);
    void RaiseWrite();
    void WaitWrite();
    // Disk thread.
    void Fill(float* destination, int32_t n);
    void CloseReader(int entry);
    bool OpenReader(int entry, int64_t position);

    CTransport& m_transport;
    CPlayList& m_playList;
    std::unique_ptr<float[]> m_buffers;

    std::atomic<int32_t> m_fillRequest{0};
    std::atomic<int32_t> m_writeRequest{0};
    std::atomic<uint32_t> m_diskSignal{0};

    // Playback bookkeeping.
    int32_t m_rangeStart = 0;
    int32_t m_chunks = 0, m_framesPerChunk = 0, m_chunkRemainder = 0, m_issued = 0;
    bool m_refillDue = false; // the buffer not being played ran out and awaits its next chunk
    int32_t m_readPos = 0;
    int64_t m_timeline = 0;
    int m_toFill = BufA, m_played = BufA;
    int32_t m_length[2] = {0, 0}; // frames held by A and B
    // The private copy of the play list: the entries and, per entry, its open reader.
    std::unique_ptr<const PlayItem*[]> m_items;
    std::unique_ptr<std::unique_ptr<AudioFile>[]> m_readers;
    std::unique_ptr<bool[]> m_readerFailed;
    int m_count = 0, m_index = 0;
    std::atomic<int64_t> m_fills{0};

    // Recording bookkeeping.
    std::unique_ptr<AudioFile> m_target;
    int32_t m_recordChunk = kBufferFrames;
    int m_filling = BufC, m_toWrite = BufC;
    int32_t m_fillPos = 0, m_writeLength = 0;
    // Set by the disk thread (or the audio thread's last write) when a write fails; from then
    // on no later frame is written, so the file never holds a gap.
    std::atomic<bool> m_writeFailed{false};
    std::atomic<int64_t> m_recorded{0}, m_framesWritten{0}, m_dataBytes{0}, m_writes{0};
    std::atomic<bool> m_recordOk{true};
};

// Gain of the region fades for a run of n frames that starts p frames after the region start,
// applied in place to interleaved stereo frames.
void ApplyRegionFades(float* frames, int32_t n, int64_t p, int64_t length, int32_t fadeIn, int fadeInShape,
                      int32_t fadeOut, int fadeOutShape);
