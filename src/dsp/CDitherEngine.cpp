#include "dsp/CDitherEngine.h"

#include "dsp/CDSPEngine.h"

#include <cmath>

namespace {

// The classic C library generator: 15-bit values 0 to 32,767 from a linear congruential state
// that starts at 1, the sequence an unseeded rand() gives. Kept here rather than calling rand()
// so the tables never depend on the host library or on anyone else's use of rand().
class Rand15 {
public:
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7fffu);
    }

private:
    uint32_t m_state = 1;
};

} // namespace

CDitherEngine::CDitherEngine(CDSPEngine& engine)
    : m_engine(engine), m_white(kTableSize), m_tri(kTableSize), m_shapedWhite(kTableSize), m_shapedTri(kTableSize) {
    Rand15 rng;
    auto Draw = [&rng] { return static_cast<float>(rng.Next()) / 32767.0f; };
    for (int i = 0; i < kTableSize; ++i) {
        m_white[i] = Draw() - 0.5f;
        float u2 = Draw();
        m_tri[i] = u2 + m_white[i] - 0.5f;
    }
    m_shapedWhite[0] = 1.5f * m_white[0];
    m_shapedTri[0] = 1.5f * m_tri[0];
    for (int i = 1; i < kTableSize; ++i) {
        m_shapedWhite[i] = m_white[i] - m_white[i - 1];
        m_shapedTri[i] = m_tri[i] - m_tri[i - 1];
    }
    m_dither = static_cast<float*>(m_engine.AllocMem(sizeof(float) * kTableSize));
    m_guard = static_cast<float*>(m_engine.AllocMem(sizeof(float) * kTableSize));
    const float guardScale = std::ldexp(1.0f, -26);
    for (int i = 0; i < kTableSize; ++i) {
        float g = (Draw() - 0.5f) * guardScale;
        if (m_guard) m_guard[i] = g;
    }
}

CDitherEngine::~CDitherEngine() {
    m_engine.FreeMem(m_dither);
    m_engine.FreeMem(m_guard);
}

void CDitherEngine::Configure(int type, int shaping, int wordLength, float amount) {
    if (!m_dither) return;
    if (type == m_cache[0] && shaping == m_cache[1] && wordLength == m_cache[2] &&
        static_cast<float>(m_cache[3]) == amount)
        return;
    const double scale = 1.0 / std::pow(2.0, wordLength - static_cast<double>(amount));
    const std::vector<float>* src = nullptr;
    if (type == 0 && shaping == 0) src = &m_white;
    else if (type == 1 && shaping == 0) src = &m_tri;
    else if (type == 0 && shaping == 1) src = &m_shapedWhite;
    else if (type == 1 && shaping == 1) src = &m_shapedTri;
    if (src) {
        const float s = static_cast<float>(scale);
        for (int i = 0; i < kTableSize; ++i) m_dither[i] = (*src)[i] * s;
        ++m_refills;
    }
    m_cache[0] = type;
    m_cache[1] = shaping;
    m_cache[2] = wordLength;
    m_cache[3] = static_cast<int>(amount);
}

const float* CDitherEngine::Read(float* buf, int& pos, int n) {
    if (n > kTableSize) n = kTableSize;
    if (n <= 0) return buf + pos;
    // A span must lie inside the buffer, also when blocks grow from one call to the next.
    if (pos + n > kTableSize) pos = 0;
    const float* span = buf + pos;
    pos = (pos + n) / 16 * 16;
    if (pos > kTableSize - 16 - n) pos = 0;
    return span;
}
