#include "dsp/CDSPEngine.h"

#include "dsp/DSPKernels.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Which kernels each set uses. The stages a set leaves null run as the sequence of its other
// kernels (see CDSPEngine::ValveStage, CompressSplit and ImagerPass).
constexpr DSPKernels kPlain = {KernelSet::Plain,
                               kernels::plain::Sum,
                               kernels::plain::Sub,
                               kernels::plain::Scale,
                               kernels::plain::Clip,
                               kernels::plain::Valve,
                               kernels::plain::CompressBands,
                               nullptr,
                               nullptr,
                               nullptr,
                               kernels::plain::Cascade};

#if defined(SONQUIL_X86_KERNELS)
constexpr DSPKernels kSse2 = {KernelSet::SSE2,
                              kernels::sse2::Sum,
                              kernels::sse2::Sub,
                              kernels::sse2::Scale,
                              kernels::sse2::Clip,
                              kernels::sse2::Valve,
                              kernels::sse2::CompressBands,
                              nullptr,
                              kernels::sse2::CompressSplit,
                              kernels::sse2::ImagerPass,
                              kernels::sse2::Cascade};

constexpr DSPKernels kAvx = {KernelSet::AVX,
                             kernels::sse2::Sum,
                             kernels::sse2::Sub,
                             kernels::sse2::Scale,
                             kernels::sse2::Clip,
                             kernels::avx::Valve,
                             kernels::sse2::CompressBands,
                             kernels::avx::ValveStage,
                             kernels::sse2::CompressSplit,
                             kernels::sse2::ImagerPass,
                             kernels::avx::Cascade};

// __builtin_cpu_supports takes only a literal, hence one function per feature.
bool CpuHasSse2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") != 0;
}

bool CpuHasAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}
#endif

const DSPKernels* Table(KernelSet set) {
    switch (set) {
    case KernelSet::Plain: return &kPlain;
#if defined(SONQUIL_X86_KERNELS)
    case KernelSet::SSE2: return &kSse2;
    case KernelSet::AVX: return &kAvx;
#else
    default: break;
#endif
    }
    return nullptr;
}

} // namespace

CDSPEngine::CDSPEngine() : m_kernels(&kPlain) {}

CDSPEngine::~CDSPEngine() { FreeWorkBuffers(); }

bool CDSPEngine::Load(std::string& message) {
    message.clear();
    m_loaded = true;
    return true;
}

void CDSPEngine::Unload() {
    FreeWorkBuffers();
    m_loaded = false;
}

bool CDSPEngine::AllocWorkBuffers() {
    for (int i = 0; i < kWorkBuffers; ++i) {
        if (m_work[i]) continue;
        m_work[i] = static_cast<float*>(AllocMem(kWorkBytes));
        if (!m_work[i]) {
            FreeWorkBuffers();
            return false;
        }
    }
    return true;
}

void CDSPEngine::FreeWorkBuffers() {
    for (auto& w : m_work) {
        FreeMem(w);
        w = nullptr;
    }
}

void* CDSPEngine::AllocMem(size_t size) const {
    if (size == 0) size = 1;
    if (size > (static_cast<size_t>(1) << 40)) return nullptr;
    size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
    void* p = std::aligned_alloc(kAlignment, rounded);
    if (p) std::memset(p, 0, rounded);
    return p;
}

void CDSPEngine::FreeMem(void* p) const { std::free(p); }

bool CDSPEngine::KernelsAvailable(KernelSet set) {
    switch (set) {
    case KernelSet::Plain: return true;
#if defined(SONQUIL_X86_KERNELS)
    case KernelSet::SSE2: {
        static const bool have = CpuHasSse2();
        return have;
    }
    case KernelSet::AVX: {
        // The processor's flag alone is not enough: the system must save the 256-bit registers,
        // which the compiler's check includes.
        static const bool have = CpuHasSse2() && CpuHasAvx();
        return have;
    }
#else
    default: break;
#endif
    }
    return false;
}

const char* CDSPEngine::KernelSetName(KernelSet set) {
    switch (set) {
    case KernelSet::Plain: return "plain";
    case KernelSet::SSE2: return "SSE2";
    case KernelSet::AVX: return "AVX";
    }
    return "?";
}

uint8_t CDSPEngine::SSESupport() const { return KernelsAvailable(KernelSet::SSE2) ? 1 : 0; }

void CDSPEngine::Select() {
    if (m_forced) return;
    KernelSet set = KernelSet::Plain;
    if (UsingSSE()) set = KernelsAvailable(KernelSet::AVX) ? KernelSet::AVX : KernelSet::SSE2;
    m_kernels.store(Table(set), std::memory_order_release);
}

void CDSPEngine::UseSSE(uint8_t on) {
    m_useSSE.store((on && SSESupport()) ? 1 : 0, std::memory_order_relaxed);
    Select();
}

bool CDSPEngine::ForceKernels(KernelSet set) {
    if (!KernelsAvailable(set)) return false;
    m_forced = true;
    m_kernels.store(Table(set), std::memory_order_release);
    return true;
}

void CDSPEngine::ReleaseKernels() {
    m_forced = false;
    Select();
}

KernelSet CDSPEngine::ActiveKernels() const { return Kernels().set; }

void CDSPEngine::Sum(float* dst, const float* src, int n) const {
    if (n > 0) Kernels().sum(dst, src, n);
}

void CDSPEngine::Sub(float* dst, const float* src, int n) const {
    if (n > 0) Kernels().sub(dst, src, n);
}

void CDSPEngine::Scale(float* buf, int n, float factor) const {
    if (n > 0) Kernels().scale(buf, n, factor);
}

void CDSPEngine::ClipAtDb(float* buf, int n, float ceilingDb) const {
    if (n <= 0) return;
    Kernels().clip(buf, n, static_cast<float>(std::pow(10.0, static_cast<double>(ceilingDb) / 20.0)));
}

void CDSPEngine::Valve(float* buf, int n, int sampleRate, float drive, float* peak) const {
    const float pk = n > 0 ? Kernels().valve(buf, n, drive) : 0.0f;
    if (peak) *peak = pk;
}

void CDSPEngine::ValveStage(const ValveStageArgs& a, float peaks[4]) const {
    for (int i = 0; i < 4; ++i) peaks[i] = 0.0f;
    if (a.n <= 0 || !a.left || !a.right || !a.split || !a.histLeft || !a.histRight) return;
    const DSPKernels& k = Kernels();
    if (k.valveStage) {
        k.valveStage(a, peaks);
        return;
    }
    if (!a.highLeft || !a.highRight) return;
    const int n = a.n;
    RunBiquadSymmetricPair(*a.split, *a.histLeft, *a.histRight, a.left, a.right, a.highLeft, a.highRight, n);
    k.sub(a.left, a.highLeft, n);
    k.sub(a.right, a.highRight, n);
    peaks[0] = k.valve(a.left, n, a.drive);
    peaks[1] = k.valve(a.right, n, a.drive);
    peaks[2] = k.valve(a.highLeft, n, a.drive);
    peaks[3] = k.valve(a.highRight, n, a.drive);
    k.sum(a.left, a.highLeft, n);
    k.sum(a.right, a.highRight, n);
}

void CDSPEngine::Compress(float* left, float* right, int n, const GainState& state, const CompressorSettings& s) const {
    if (!state.gain || !left || !right || n <= 0) return;
    Kernels().compressBands(&left, &right, 1, n, state, s);
}

void CDSPEngine::CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                               const CompressorSettings& s) const {
    if (!left || !right || !state.gain || n <= 0 || bands <= 0) return;
    if (bands > kMaxBands) bands = kMaxBands;
    for (int b = 0; b < bands; ++b)
        if (!left[b] || !right[b]) return;
    Kernels().compressBands(left, right, bands, n, state, s);
}

void CDSPEngine::CompressSplit(const CompressSplitArgs& a) const {
    if (a.n <= 0 || !a.left || !a.right || !a.midHighLeft || !a.midHighRight || !a.highLeft || !a.highRight ||
        !a.first || !a.second || !a.firstHist || !a.secondHist || !a.state.gain)
        return;
    const DSPKernels& k = Kernels();
    if (k.compressSplit) {
        k.compressSplit(a);
        return;
    }
    const int n = a.n;
    RunBiquadSymmetricSeries(*a.first, *a.second, a.firstHist, a.secondHist, a.left, a.right, a.midHighLeft,
                             a.midHighRight, a.highLeft, a.highRight, n);
    k.sub(a.left, a.midHighLeft, n);
    k.sub(a.right, a.midHighRight, n);
    k.sub(a.midHighLeft, a.highLeft, n);
    k.sub(a.midHighRight, a.highRight, n);
    float* const bandLeft[3] = {a.left, a.midHighLeft, a.highLeft};
    float* const bandRight[3] = {a.right, a.midHighRight, a.highRight};
    k.compressBands(bandLeft, bandRight, 3, n, a.state, a.settings);
    k.sum(a.left, a.midHighLeft, n);
    k.sum(a.right, a.midHighRight, n);
    k.sum(a.left, a.highLeft, n);
    k.sum(a.right, a.highRight, n);
}

bool CDSPEngine::ImagerPass(const ImagerPassArgs& a) const {
    const DSPKernels& k = Kernels();
    if (!k.imagerPass) return false;
    if (a.n <= 0) return true;
    if (!a.left || !a.right || !a.split || !a.histLeft || !a.histRight || !a.write || !a.read) return false;
    if (a.spatialize &&
        (!a.delay || a.cells <= 0 || *a.write < 0 || *a.write >= a.cells || *a.read < 0 || *a.read >= a.cells))
        return false;
    k.imagerPass(a);
    return true;
}

void CDSPEngine::Cascade(const CascadeArgs& a) const {
    if (a.n <= 0 || !a.left || !a.right || a.stages < 0 || a.stages > kCascadeStages) return;
    for (int s = 0; s < a.stages; ++s)
        if (!a.hist[s][0] || !a.hist[s][1]) return;
    Kernels().cascade(a);
}

CDSPEngine& DSPEngine() {
    static CDSPEngine engine;
    return engine;
}
