#pragma once
// The compressor's gain computer on one band per SSE2 lane, for the SSE2 kernel set. Internal to
// the DSP library; included only by DSPKernelsSSE2.cpp.

#include "dsp/KernelArgs.h"

#include <emmintrin.h>

inline __m128 Select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// The gain computer of CompressorGainStep on one band per lane. The gain recursion is serial
// within a band but independent across bands, so the lanes run side by side; the wanted gains and
// release divisors depend on the signal only and are formed four samples at a time per band, off
// the recursion's path. Every lane does the plain step's operations in its order, so the results
// match the plain set bit for bit. Lanes past the last band see silence and are never stored.
class GainLanes {
public:
    GainLanes(int bands, const GainState& state, const CompressorSettings& s)
        : m_bands(bands), m_T(_mm_set1_ps(s.threshold)), m_R(_mm_set1_ps(s.ratio)), m_A(_mm_set1_ps(s.attack)) {
        // The release divisors: one while more than about 6 dB of reduction is wanted, the other
        // (four times longer or shorter) below that; never below one sample.
        int k = static_cast<int>(s.release);
        int kLess = s.opto ? k * 4 : k / 4;
        if (kLess < 1) kLess = 1;
        if (k < 1) k = 1;
        m_kMore = _mm_set1_ps(static_cast<float>(k));
        m_kLess = _mm_set1_ps(static_cast<float>(kLess));
        alignas(16) float g[4] = {1.0f, 1.0f, 1.0f, 1.0f}, m[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        alignas(16) float t[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        for (int b = 0; b < bands; ++b) {
            g[b] = state.gain[b];
            if (state.minGain) m[b] = state.minGain[b];
            if (state.scratch) t[b] = state.scratch[b];
        }
        m_G = _mm_load_ps(g);
        m_M = _mm_load_ps(m);
        m_last = _mm_load_ps(t);
    }

    // The stereo peak of four samples of a band.
    [[gnu::always_inline]] static inline __m128 Peak(__m128 l, __m128 r) {
        const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        return _mm_max_ps(_mm_and_ps(l, absMask), _mm_and_ps(r, absMask));
    }

    // p[b]: the peaks of the next four samples of band b; gs[b] receives their gains. Inlined, so
    // the gains stay in registers from one group to the next.
    [[gnu::always_inline]] inline void Group(const __m128 p[4], __m128 gs[4]) {
        const __m128 floorP = _mm_set1_ps(0.0001f), one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
        __m128 tg[4], kd[4];
        for (int b = 0; b < 4; ++b) {
            // floor > p ? floor : p, so a NaN stays as the plain step keeps it.
            const __m128 q = _mm_max_ps(floorP, p[b]);
            const __m128 reduced = _mm_div_ps(_mm_add_ps(m_T, _mm_div_ps(_mm_sub_ps(q, m_T), m_R)), q);
            tg[b] = Select(_mm_cmpgt_ps(q, m_T), reduced, one);
            kd[b] = Select(_mm_cmpgt_ps(tg[b], half), m_kLess, m_kMore);
        }
        // From one vector per band to one vector per sample.
        _MM_TRANSPOSE4_PS(tg[0], tg[1], tg[2], tg[3]);
        _MM_TRANSPOSE4_PS(kd[0], kd[1], kd[2], kd[3]);
        for (int j = 0; j < 4; ++j) {
            // Recovering, G + (t − G) / k; attacking, G − (G − t) / attack, which is the same
            // number as G + (t − G) / attack: there t < G, and rounding is symmetric, so G − t is
            // exactly −(t − G) and so is its quotient. One division on the recursion's path.
            const __m128 t = tg[j];
            const __m128 up = _mm_cmpge_ps(t, m_G);
            m_G = _mm_add_ps(m_G, _mm_div_ps(_mm_sub_ps(t, m_G), Select(up, kd[j], m_A)));
            m_M = _mm_min_ps(m_G, m_M); // G < M ? G : M
            gs[j] = m_G;
        }
        m_last = tg[3];
        _MM_TRANSPOSE4_PS(gs[0], gs[1], gs[2], gs[3]);
    }

    void Store(const GainState& state) const {
        alignas(16) float g[4], m[4], t[4];
        _mm_store_ps(g, m_G);
        _mm_store_ps(m, m_M);
        _mm_store_ps(t, m_last);
        for (int b = 0; b < m_bands; ++b) {
            state.gain[b] = g[b];
            if (state.scratch) state.scratch[b] = t[b];
            if (state.minGain) state.minGain[b] = m[b];
        }
    }

private:
    int m_bands;
    __m128 m_T, m_R, m_A, m_kMore, m_kLess;
    __m128 m_G, m_M, m_last;
};
