#pragma once
// CDitherEngine: the two noise signals of the stack. Guard noise (about 2^-27 of full scale)
// goes in before the processors so recursive filters never sink into denormals; dither goes in
// after the valve amplifier to prepare the float signal for 16, 24 or 32-bit words.
//
// All noise is made once, at construction, from rand() in its default sequence; at run time the
// engine only hands out spans of precomputed buffers, starting on multiples of 16 floats.
//
// Threading: built on the main thread before the audio thread starts; Configure, Dither and
// Guard run on the audio thread only.

#include <cstdint>
#include <vector>

class CDSPEngine;

class CDitherEngine {
public:
    static constexpr int kTableSize = 384000;

    explicit CDitherEngine(CDSPEngine& engine);
    ~CDitherEngine();
    CDitherEngine(const CDitherEngine&) = delete;
    CDitherEngine& operator=(const CDitherEngine&) = delete;

    bool Ok() const { return m_dither && m_guard; }

    // Fills the dither buffer with the table chosen by type (0 RPDF, 1 TPDF) and shaping (0 flat,
    // 1 first-order high-pass), scaled to 1 / 2^(wordLength − amount). Does nothing when the
    // cached configuration already matches.
    void Configure(int type, int shaping, int wordLength, float amount);

    // The next n samples of dither or of guard noise; each reader keeps its own position.
    // n above the table size is cut to it; n <= 0 gives the current position without moving.
    const float* Dither(int n) { return Read(m_dither, m_ditherPos, n); }
    const float* Guard(int n) { return Read(m_guard, m_guardPos, n); }

    // Both readers back to the start of their buffers, where a fresh engine begins (a render
    // that must sound the same wherever it runs).
    void Rewind() {
        m_ditherPos = 0;
        m_guardPos = 0;
    }

    // How many times the dither buffer has been refilled (for checking the cache).
    int Refills() const { return m_refills; }
    int DitherPosition() const { return m_ditherPos; }
    int GuardPosition() const { return m_guardPos; }
    const float* WhiteTable() const { return m_white.data(); }
    const float* TriangularTable() const { return m_tri.data(); }
    const float* GuardBuffer() const { return m_guard; }
    const float* DitherBuffer() const { return m_dither; }

private:
    const float* Read(float* buf, int& pos, int n);

    CDSPEngine& m_engine;
    std::vector<float> m_white, m_tri, m_shapedWhite, m_shapedTri;
    float* m_dither = nullptr;
    float* m_guard = nullptr;
    int m_ditherPos = 0;
    int m_guardPos = 0;
    int m_cache[4] = {-1, -1, -1, -1}; // type, shaping, word length, amount
    int m_refills = 0;
};
