#pragma once
// WaveViewerPlayback: what the wave viewer needs of the transport. The viewer sits below the
// window and the core and must not reach the engine itself; the window implements this with
// the transport's play request (origin 2, the wave viewer) and hands it to the viewer.
//
// Positions are frames relative to the start of the region given (the viewer's frame of
// reference); the implementation adds what the play request needs.
//
// Threading: main thread only.

#include <cstdint>

class CRegion;

class WaveViewerPlayback {
public:
    virtual ~WaveViewerPlayback() = default;

    // The transport plays (not recording, monitoring or rendering).
    virtual bool IsPlaying() const = 0;
    // Stops playback; called only while IsPlaying().
    virtual void Stop() = 0;
    // Plays frames from..to of the region (0 ≤ from ≤ to ≤ region length) with origin 2. The
    // viewer stops a running playback first.
    virtual void Play(const CRegion& region, int32_t from, int32_t to) = 0;
    // The play position, relative to the start of the region being played.
    virtual int32_t PlayPosition() const = 0;
    // The compare hold: while on, playback runs without the DSP stack.
    virtual void SetCompareHold(bool on) = 0;
};
