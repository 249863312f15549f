#pragma once
// MeterWorker: a loudness meter's work on a long-lived thread of its own, beside the thread that
// produces the blocks (a file's reader, an export's render), with exactly the figures of one
// thread.
//
// The worker takes every block through a small queue and feeds the meter's libebur128 state,
// whose K-filter and gating cannot be cut up. The true peak can: its 4× (2× at 96 kHz and up)
// oversampling is the largest part of the work, and the library's interpolator remembers only
// its last few input samples (a 49-tap filter: 13 samples at 4×, 25 at 2×, none at 192 kHz and
// up). So each block's true peak is cut in time: the caller's thread takes the front part, the
// worker the rest, each in a state of its own that is first fed the kPrime samples before its
// part (zeros before the stream), whose results are ignored; it then gives for the part
// exactly the samples a continuous run gives. Each part's maxima are read with
// ebur128_prev_true_peak and ebur128_prev_sample_peak (the last call's) and the largest is kept
// here; the global figures of a primed state would include its priming. The peak states
// measure no loudness (every channel is "unused" for their K-filter).
//
// A part that cannot raise a maximum is not measured at all. The interpolator is linear, so
// no peak it finds in a part exceeds the part's largest sample (with its priming) times the
// largest sum of its coefficients' magnitudes over one phase; that bound is found once per rate
// from the library itself (PeakBound). A part whose bound, and whose largest sample, stay at or
// below the true and sample peaks already found in every channel changes no figure and is
// skipped, which spares most of the work on material with quiet and loud passages.
//
// The cut adapts to keep both threads busy: a caller that waited for the worker keeps more of
// each block, a worker that waited for the caller gets more. The figures do not depend on it.
//
// Threading: Start, Add, Wait and Peaks on one (the caller's) thread. The loudness state is the
// worker's between Start and Wait. Add may wait for the worker and grows its buffers on first
// use: for reads and renders to a file, not for the real-time audio path.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class MeterWorker {
public:
    // Samples before a part fed to its state first: more than the interpolator remembers.
    static constexpr size_t kPrime = 32;

    MeterWorker() = default;
    ~MeterWorker();
    MeterWorker(const MeterWorker&) = delete;
    MeterWorker& operator=(const MeterWorker&) = delete;

    // Starts afresh for channels (1 or 2) at rate. loudness, when given, is a libebur128 state
    // of those channels that the worker feeds with every block; truePeak asks for the true and
    // sample peaks. False when out of memory.
    bool Start(unsigned channels, int32_t rate, void* loudness, bool truePeak);

    // frames of interleaved samples of the meter's channels.
    void Add(const float* data, size_t frames);

    // Returns once the worker has done every block it was given.
    void Wait() const;

    // The largest true and sample peak (linear) per channel so far, after a Wait. The true peak
    // is at least the sample peak, as the library's.
    void Peaks(double truePeak[2], double samplePeak[2]) const;

    // The parts whose true peak was not measured because it could not raise a figure.
    size_t SkippedParts() const { return m_skipped.load(std::memory_order_relaxed); }
    // A test measures every part.
    void NeverSkip() { m_neverSkip = true; }

    // No true peak the library finds at this rate exceeds this times the largest magnitude of
    // the samples it comes from (those of the part and of the interpolator's memory before
    // it); 0 when it can't be found.
    static double PeakBound(int32_t rate);

    // The share of each block's true peak the caller's thread takes; a test fixes it to cut at
    // chosen places.
    double CallerShare() const { return m_share; }
    void FixShare(double share) {
        m_share = share;
        m_fixed = true;
    }

private:
    struct Part {
        std::vector<float> data; // kPrime frames before the block, then the block
        size_t frames = 0;       // of the block
        size_t own = 0;          // the frames at its front whose true peak the caller measures
    };
    static constexpr size_t kParts = 4;

    void Stop();
    void Run();
    // Feeds the part after kPrime priming frames to state, taking its maxima into tp and sp.
    void MeasurePeaks(void* state, const float* primed, size_t frames, double* tp, double* sp) const;
    // Whether the part after kPrime priming frames can't raise a channel's true or sample peak
    // above those found so far.
    bool Skippable(const float* primed, size_t frames) const;
    // Takes maxima found into those both threads skip against.
    void Found(const double* tp, const double* sp);

    unsigned m_channels = 2;
    void* m_loudness = nullptr;   // not ours
    void* m_own = nullptr;        // the caller's peak state
    void* m_theirs = nullptr;     // the worker's
    std::vector<float> m_history; // the last kPrime frames of the stream (zeros before it)
    double m_ownTp[2] = {0, 0}, m_ownSp[2] = {0, 0};
    double m_share = 0.0;
    bool m_fixed = false;

    // The queue; the worker's maxima and its wait are guarded by m_lock too.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    Part m_parts[kParts];
    size_t m_head = 0, m_count = 0; // the parts handed and not yet done
    bool m_busy = false, m_quit = false;
    double m_theirTp[2] = {0, 0}, m_theirSp[2] = {0, 0};
    bool m_workerWaited = false;
    // The largest true and sample peaks found so far by either thread, per channel; a stale
    // value only skips less.
    std::atomic<double> m_knownTp[2] = {0.0, 0.0};
    std::atomic<double> m_knownSp[2] = {0.0, 0.0};
    double m_bound = 0.0; // PeakBound of the rate, 0: nothing is skipped
    bool m_neverSkip = false;
    mutable std::atomic<size_t> m_skipped{0};
    std::thread m_worker;
};
