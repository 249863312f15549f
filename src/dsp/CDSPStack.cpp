#include "dsp/CDSPStack.h"

#include "dsp/CDSPEngine.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CTubeAmp.h"

#include <algorithm>
#include <cstring>
#include <utility>

CDSPStack::CDSPStack(CDSPEngine& engine, CDitherEngine& dither, CTubeAmp& valveAmp)
    : m_engine(engine), m_dither(dither), m_valve(valveAmp) {}

bool CDSPStack::SkipBlock(bool rendering) const {
    if (m_dryClone.load(std::memory_order_relaxed)) return true;
    if (m_valve.BypassAll()) return true;
    if (!rendering && m_compareHold.load(std::memory_order_relaxed)) return true;
    return false;
}

bool CDSPStack::ProcessBlock(float* interleaved, int frames, int sampleRate, bool rendering, int renderBits) {
    if (!interleaved || frames <= 0) return false;
    CStackCapture* capture = rendering ? m_capture.load(std::memory_order_acquire) : nullptr;
    if (capture) capture->Block(frames);
    bool ran = false;
    for (int done = 0; done < frames; done += kMaxFrames) {
        int len = std::min(kMaxFrames, frames - done);
        ran = ProcessPiece(interleaved + 2 * done, len, sampleRate, rendering, renderBits, capture) || ran;
    }
    return ran;
}

bool CDSPStack::ProcessChannels(float* left, float* right, int frames, int sampleRate, bool rendering, int renderBits) {
    if (!left || !right || frames <= 0) return false;
    bool ran = false;
    for (int done = 0; done < frames; done += kMaxFrames) {
        int len = std::min(kMaxFrames, frames - done);
        ran = ProcessChannelPiece(left + done, right + done, len, sampleRate, rendering, renderBits) || ran;
    }
    return ran;
}

bool CDSPStack::ProcessPiece(float* block, int n, int sampleRate, bool rendering, int renderBits,
                             CStackCapture* capture) {
    bool skip = SkipBlock(rendering);
    if (!skip) {
        // A silent piece is passed on as it is: no noise is added to silence.
        bool silent = true;
        for (int i = 0; i < 2 * n && silent; ++i) silent = block[i] == 0.0f;
        skip = silent;
    }
    float* ml = m_engine.WorkBuffer(0);
    float* mr = m_engine.WorkBuffer(1);
    if (skip || !ml || !mr) {
        if (capture) capture->Passed(block, n);
        return false;
    }
    for (int i = 0; i < n; ++i) {
        ml[i] = block[2 * i];
        mr[i] = block[2 * i + 1];
    }
    float *l, *r;
    RunPair(n, sampleRate, rendering, renderBits, l, r, capture);
    for (int i = 0; i < n; ++i) {
        block[2 * i] = l[i];
        block[2 * i + 1] = r[i];
    }
    return true;
}

bool CDSPStack::ProcessChannelPiece(float* left, float* right, int n, int sampleRate, bool rendering, int renderBits) {
    if (SkipBlock(rendering)) return false;
    bool silent = true;
    for (int i = 0; i < n && silent; ++i) silent = left[i] == 0.0f && right[i] == 0.0f;
    if (silent) return false;
    float* ml = m_engine.WorkBuffer(0);
    float* mr = m_engine.WorkBuffer(1);
    if (!ml || !mr) return false;
    std::memcpy(ml, left, sizeof(float) * n);
    std::memcpy(mr, right, sizeof(float) * n);
    float *l, *r;
    RunPair(n, sampleRate, rendering, renderBits, l, r);
    std::memcpy(left, l, sizeof(float) * n);
    std::memcpy(right, r, sizeof(float) * n);
    return true;
}

void CDSPStack::RunPair(int n, int sampleRate, bool rendering, int renderBits, float*& outLeft, float*& outRight,
                        CStackCapture* capture) {
    float* curL = m_engine.WorkBuffer(0);
    float* curR = m_engine.WorkBuffer(1);
    float* spareL = m_engine.WorkBuffer(2);
    float* spareR = m_engine.WorkBuffer(3);
    const bool dspOn = !m_valve.BypassDsp();

    // Hosted effects, each from the current pair into the spare, which then becomes current.
    if (dspOn && m_chain && spareL && spareR && m_chain->Enter()) {
        const int count = m_chain->Count();
        for (int i = 0; i < count; ++i) {
            if (m_chain->Bypassed(i)) continue;
            m_chain->Run(i, curL, curR, spareL, spareR, n);
            std::swap(curL, spareL);
            std::swap(curR, spareR);
        }
        m_chain->Leave();
    }
    // Guard noise keeps the recursive filters away from denormals; left reads first.
    m_engine.Sum(curL, m_dither.Guard(n), n);
    m_engine.Sum(curR, m_dither.Guard(n), n);
    if (dspOn) {
        if (m_eq) m_eq->Process(curL, curR, n, sampleRate);
        if (m_imager) m_imager->Process(curL, curR, n, sampleRate);
        if (m_compressor) m_compressor->Process(curL, curR, n, sampleRate);
    }
    m_valve.ProcessValve(curL, curR, n, sampleRate);
    if (capture) capture->Ran(curL, curR, n);
    RunTail(curL, curR, n, sampleRate, rendering, renderBits);
    outLeft = curL;
    outRight = curR;
}

void CDSPStack::RunTail(float* left, float* right, int n, int sampleRate, bool rendering, int renderBits) {
    m_valve.SetRenderState(rendering, renderBits);
    m_valve.ProcessLimiter(left, right, n, sampleRate);
    m_engine.Sum(left, m_dither.Dither(n), n);
    m_engine.Sum(right, m_dither.Dither(n), n);
    m_engine.ClipAtDb(left, n, 0.0f);
    m_engine.ClipAtDb(right, n, 0.0f);
}

float* CDSPStack::TailBuffer(int channel) const { return m_engine.WorkBuffer(channel == 0 ? 0 : 1); }

void CDSPStack::ResetAll() {
    if (m_eq) m_eq->Reset();
    if (m_compressor) m_compressor->Reset();
    if (m_imager) m_imager->Reset();
    m_valve.Reset();
}

void CDSPStack::ClearAll() {
    if (m_eq) m_eq->ClearState();
    if (m_compressor) m_compressor->ClearState();
    if (m_imager) m_imager->ClearState();
    m_valve.ClearState();
    m_dither.Rewind();
}

void CDSPStack::PanelTick(int transportState, bool positionMoved) {
    if (transportState == kTransportRendering) return;
    const bool all = m_valve.BypassAll();
    const bool dsp = m_valve.BypassDsp();

    if (m_chain) {
        const int count = m_chain->Count();
        for (int i = 0; i < count; ++i) {
            m_chain->SetActive(i, !(all || dsp || m_chain->Bypassed(i)));
            m_chain->Idle(i);
        }
    }

    CProcessor* const side[3] = {m_eq, m_compressor, m_imager};
    for (CProcessor* p : side)
        if (p) p->Tick();
    m_valve.Tick();

    auto off = [&](CProcessor* p) { return p->Param(0, 1.0f) < 0.5f || all || dsp; };
    for (CProcessor* p : side) {
        if (!p) continue;
        bool greyed = off(p);
        p->SetGreyed(greyed);
        if (greyed) p->DecayMeters();
    }
    if (all) m_valve.DecayMeters();
    m_valve.UpdateGreyedGroups();

    if (transportState == kTransportStopped) {
        if (m_fallOff > 1) {
            for (CProcessor* p : side)
                if (p) p->DecayMeters();
            m_valve.DecayMeters();
            --m_fallOff;
        }
        return;
    }
    m_fallOff = kFallOffTicks;
    if (transportState == kTransportPlaying && positionMoved) {
        m_valve.RedrawMeters();
        if (m_compressor && !off(m_compressor)) m_compressor->RedrawMeters();
        if (m_imager && !off(m_imager)) m_imager->RedrawMeters();
    }
}
