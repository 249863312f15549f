#pragma once
// TruePeakSplit: the true peak of a stream on two threads, from libebur128's own interpolator,
// giving exactly the figures of one continuous libebur128 state.
//
// The 4× (2× at 96 kHz and up) oversampling of the true peak is most of a meter's work, and a
// file measurement has a second core for it. Each block is cut in time: the caller's thread
// takes the front part, a long-lived worker thread the rest, fed through a small queue. The
// library's interpolator remembers only its last few input samples (a 49-tap filter: 13
// samples at 4×, 25 at 2×, none at 192 kHz and up), so a state fed first with the kPrime
// samples before its part, whose results are ignored, then gives for the part exactly the
// samples a continuous run gives. Each part's maxima are read with ebur128_prev_true_peak and
// ebur128_prev_sample_peak (the last call's) and the largest is kept here; the global figures
// of a primed state would include its priming. The states measure no loudness (every channel
// is "unused" for the K-filter): that is the loudness meter's work.
//
// The split adapts to keep both threads busy: a caller that waited for the worker hands it
// less, a worker that waited for the caller gets more. The figures do not depend on it.
//
// Threading: Start, Add and Peaks on one (the caller's) thread; the worker lives from Start to
// the destructor (or the next Start).

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class TruePeakSplit {
public:
    // Samples before a part fed to its state first: more than the interpolator remembers.
    static constexpr size_t kPrime = 32;

    TruePeakSplit() = default;
    ~TruePeakSplit();
    TruePeakSplit(const TruePeakSplit&) = delete;
    TruePeakSplit& operator=(const TruePeakSplit&) = delete;

    // Starts afresh for channels (1 or 2) at rate; false when out of memory.
    bool Start(unsigned channels, int32_t rate);

    // frames of interleaved samples of the meter's channels.
    void Add(const float* data, size_t frames);

    // The largest true and sample peak (linear) per channel so far, once the worker has done
    // every part it was given. The true peak is at least the sample peak, as the library's.
    void Peaks(double truePeak[2], double samplePeak[2]) const;

    // The share of each block the caller's thread takes now (for the benchmark's notes).
    double CallerShare() const { return m_share; }
    // Whether the next split is one the caller chose: a test fixes it to cut at awkward places.
    void FixShare(double share) {
        m_share = share;
        m_fixed = true;
    }

private:
    struct Part {
        std::vector<float> data; // kPrime frames of priming, then the part
        size_t frames = 0;       // of the part
    };
    static constexpr size_t kParts = 4;

    void Stop();
    void Run();
    // Feeds a primed part to state, taking its maxima into tp and sp.
    void Measure(void* state, const float* primed, size_t frames, double* tp, double* sp) const;

    unsigned m_channels = 2;
    void* m_own = nullptr;        // the caller's state
    void* m_theirs = nullptr;     // the worker's state
    std::vector<float> m_history; // the last kPrime frames of the stream (zeros before it)
    std::vector<float> m_primed;  // the caller's part with its priming
    double m_ownTp[2] = {0, 0}, m_ownSp[2] = {0, 0};
    double m_share = 0.3;
    bool m_fixed = false;

    // The queue; the worker's maxima and waits are guarded by m_lock too.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    Part m_parts[kParts];
    size_t m_head = 0, m_count = 0; // the parts handed and not yet done
    bool m_busy = false, m_quit = false;
    double m_theirTp[2] = {0, 0}, m_theirSp[2] = {0, 0};
    bool m_workerWaited = false;
    std::thread m_worker;
};
