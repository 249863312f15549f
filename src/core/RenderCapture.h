#pragma once
// RenderCapture: one export item's render as the stack takes it in ahead of the limiter, kept in
// a temporary file that has no name (it vanishes with its descriptor, even when the program
// dies), and given back block by block through the stack's tail. A loudness export renders
// each item through the whole chain once, to measure it; every render of the file after that,
// at whatever gain, runs only the limiter, dither and writer on the capture, and comes out as
// the whole chain would have made it.
//
// Threading: the capture calls come from the audio thread during one render; Finish, Rewind
// and ReplayBlock from one thread at a time after it (the transport's stop orders the two).

#include <cstdint>
#include <string>
#include <vector>

#include "dsp/CDSPStack.h"

class RenderCapture : public CStackCapture {
public:
    // The file goes in $TMPDIR when it is set, else /tmp. A capture that can't be made or written is no
    // capture (Usable false); its item is then rendered through the whole chain each time.
    RenderCapture();
    ~RenderCapture() override;
    RenderCapture(const RenderCapture&) = delete;
    RenderCapture& operator=(const RenderCapture&) = delete;

    void Block(int frames) override;
    void Ran(const float* left, const float* right, int frames) override;
    void Passed(const float* interleaved, int frames) override;

    // After the render: flushes what is left and keeps the capture when it holds exactly
    // `frames` frames (the whole range rendered) and every write succeeded.
    void Finish(int64_t frames);
    bool Usable() const { return m_usable; }
    int64_t Frames() const { return m_frames; }
    // Gives the capture up (after a failed read): the descriptor closes and the file is gone.
    void Drop();

    // Reading back from the first block.
    bool Rewind();
    // The next block through the stack's tail, interleaved into out (room for 2 × kMaxEngineBlock
    // floats): its frames, 0 after the last block, -1 when the file can't be read back as it
    // was written.
    int32_t ReplayBlock(CDSPStack& stack, int sampleRate, int renderBits, float* out);

private:
    enum Kind : int32_t { KindBlock = 1, KindRan = 2, KindPassed = 3 };
    struct Record {
        int32_t kind;
        int32_t frames;
    };
    void Put(const void* data, size_t bytes);
    bool Flush();
    bool Get(void* data, size_t bytes);

    int m_fd = -1;
    bool m_failed = false; // a write failed: the capture is not kept
    bool m_usable = false;
    int64_t m_frames = 0;   // frames of the blocks taken
    int64_t m_replayed = 0; // reading: frames of the blocks given back since Rewind
    std::vector<char> m_buffer;
    size_t m_used = 0;   // writing: bytes in m_buffer; reading: bytes of m_buffer consumed
    size_t m_filled = 0; // reading: bytes of m_buffer read from the file
};
