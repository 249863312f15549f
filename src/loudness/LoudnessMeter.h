#pragma once
// LoudnessMeter: EBU R128 (ITU-R BS.1770-4) loudness of a stream of stereo float blocks, on
// libebur128: integrated loudness, loudness range, momentary and short-term loudness, sample
// and true peak. We do not write a meter of our own; this class only owns the library's state
// and speaks in our units (LUFS, LU, dBTP) and our buffer layout.
//
// Failure is a false Start with a message; a meter that did not start measures nothing and
// reads as silence.
// Threading: one thread at a time per meter. Add may run on the audio thread during a render:
// with Streaming set the state keeps histograms of a fixed size, so Add never allocates.

#include <cstddef>
#include <limits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MeterWorker;

// What a meter measures; figures not asked for read as silence.
enum LoudnessWhat : int {
    kLoudnessMomentary = 1, // and short-term
    kLoudnessIntegrated = 2,
    kLoudnessRange = 4,
    kLoudnessSamplePeak = 8,
    kLoudnessTruePeak = 16,
    kLoudnessStreaming = 32, // fixed-size histograms: no allocation after Start (0.1 LU steps)
    // The meter's work on a worker thread of its own beside the caller's (see MeterWorker): the
    // loudness there, the true peak shared between both, with exactly the figures of one thread.
    // For a file's read or a render to a file, not for the real-time audio path (Add may wait).
    kLoudnessParallel = 64,
    kLoudnessAll = 1 | 2 | 4 | 8 | 16,
};

// The figures of one measurement. Silence (nothing above the gate, or no sample at all) reads
// -infinity in every loudness and peak figure and 0 in the range.
struct LoudnessFigures {
    static constexpr double kSilence = std::numeric_limits<double>::infinity();
    double integrated = -kSilence; // LUFS
    double range = 0.0;            // LU
    double truePeak = -kSilence;   // dBTP, the larger of the channels
    double samplePeak = -kSilence; // dBFS
};

class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;
    LoudnessMeter(LoudnessMeter&& other) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&& other) noexcept;

    // Starts afresh for channels (1 or 2) at rate, measuring `what` (LoudnessWhat bits).
    bool Start(unsigned channels, int32_t rate, int what, std::string& error);
    bool Started() const { return m_state != nullptr; }
    // The figures it was started for.
    int What() const { return m_what; }

    // frames of the stereo float buffer (interleaved left and right). A mono meter takes the
    // left channel only: our readers duplicate a mono file into both, and a mono programme is
    // measured as one channel, as BS.1770 does.
    void AddStereo(const float* interleaved, size_t frames);

    // The figures so far.
    LoudnessFigures Figures() const;
    // Loudness of the last 400 ms and 3 s (LUFS), -infinity before any or in silence.
    double Momentary() const;
    double ShortTerm() const;

    // Integrated loudness and range of several meters taken as one programme (an album): the
    // gated blocks of all of them together. Peaks are the largest of the meters'. Every meter
    // must have been started with the same `what`.
    static LoudnessFigures Together(const std::vector<const LoudnessMeter*>& meters);

    // A parallel meter's worker (tests cut its blocks at chosen places); null otherwise.
    MeterWorker* Worker() { return m_worker.get(); }

private:
    // The library's ebur128_state, an unnamed struct that can't be declared ahead.
    void* m_state = nullptr;
    unsigned m_channels = 2;
    int m_what = 0;
    float m_mono[4096]; // the left channel of a part of a block, for a mono meter
    // kLoudnessParallel: the thread that feeds m_state and shares the true peak.
    std::unique_ptr<MeterWorker> m_worker;
    std::vector<float> m_monoBlock; // a mono meter's whole block
};

// "-23.0 LUFS", "4.1 LU", "-1.2 dBTP"; "-inf" for silence.
std::string LoudnessText(double value, const char* unit);
