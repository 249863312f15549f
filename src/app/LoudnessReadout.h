#pragma once
// LoudnessReadout: the EBU R128 figures of what is playing, beside the Post meters: momentary
// and short-term loudness, the integrated loudness since the play started and the largest true
// peak so far. Each play starts afresh. The audio comes from the audio thread's post-chain tap
// and is measured here, on the main timer, so the audio thread's block path does no more work
// than before.
//
// Threading: main thread only.

#include <QLabel>
#include <vector>

#include "loudness/LoudnessMeter.h"

class PostTap;

class LoudnessReadout {
public:
    explicit LoudnessReadout(QWidget* parent = nullptr);

    // A play began at rate: the tap's old audio is dropped and the measurement starts over.
    void Start(PostTap& tap, int32_t rate);
    // The play ended: the tap goes off; the figures stay on show.
    void Stop(PostTap& tap);
    // What has come through the tap since the last tick, measured and shown.
    void Feed(PostTap& tap);

    QLabel* Label() const { return m_label; }
    // The readout's text for these figures.
    static QString Text(double momentary, double shortTerm, double integrated, double truePeak);
    // The width that holds the widest text in the label's font: it is fixed to it, so the row
    // neither moves while the figures change nor cuts them off.
    int NeededWidth() const;
    const LoudnessMeter& Meter() const { return m_meter; }
    // Plays measured since the window opened (each Start counts).
    int Plays() const { return m_plays; }

private:
    void Show();
    void Fit();

    QLabel* m_label;
    LoudnessMeter m_meter;
    std::vector<float> m_buffer;
    int m_plays = 0;
};
