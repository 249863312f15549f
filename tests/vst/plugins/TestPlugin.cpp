// A VST 2 effect for the host's tests, built as several shared objects, one per variant:
//   TP_GAIN       editor, processReplacing, one gain parameter, three named programs
//   TP_THROWS     editor, processReplacing that throws
//   TP_NOEDITOR   no editor flag
//   TP_SYNTH      editor and the instrument flag
//   TP_CHUNKS     editor, processReplacing, program chunks, two parameters
//   TP_ACCUM      editor, only the old accumulating process, entry point "main"
//   TP_NOENTRY    neither entry point
//   TP_NULL       the entry point makes no instance
//   TP_BADMAGIC   an instance without the magic
//   TP_CRASH      processReplacing brings the whole process down
// Every variant records what the host did to it in a probe the tests reach through
// TestPluginProbe() (the test opens the same library again, which gives it the same copy).
// Fields the audio thread writes are atomics: the threaded tests run under ThreadSanitizer.

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <xmmintrin.h>

#include "TestPluginProbe.h"
#include "vst/VstAbi.h"

using namespace vst2;

namespace {

TestProbe g_probe;
ERect g_rect{10, 20, 109, 319}; // 300 x 100 once the host adds its 1
// One per instance (a chain may hold the same plug-in many times), hung on AEffect::object.
struct Instance {
    AEffect effect;
    std::atomic<float> params[2] = {{1.0f}, {0.25f}};
    int program = 0;
    // A block is inside this instance's process call.
    std::atomic<int> inProcess{0};
};
Instance* Of(AEffect* e) { return static_cast<Instance*>(e->object); }
const float kProgramGain[3] = {1.0f, 0.5f, 0.25f};
const char* const kProgramName[3] = {"Unity", "Half", "Quarter"};
uint8_t g_chunkOut[4] = {1, 2, 3, 4};
// Set by every instantiation (main thread) while other instances may be processing.
std::atomic<HostCallback> g_host{nullptr};

void Log(int32_t opcode, int32_t index, intptr_t value, float opt) {
    const int n = g_probe.callCount.load(std::memory_order_relaxed);
    if (n < TestProbe::kMaxCalls) {
        g_probe.calls[n] = {opcode, index, static_cast<int64_t>(value), opt};
        g_probe.callCount.store(n + 1, std::memory_order_release);
    }
}

void AskHost(AEffect* e) {
    char text[256] = {};
    g_probe.hostVersion = static_cast<int32_t>(g_host(e, audioMasterVersion, 0, 0, nullptr, 0.0f));
    g_probe.hostBlock = static_cast<int32_t>(g_host(e, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f));
    g_host(e, audioMasterGetVendorString, 0, 0, text, 0.0f);
    std::memcpy(g_probe.vendor, text, sizeof g_probe.vendor - 1);
    g_host(e, audioMasterGetProductString, 0, 0, text, 0.0f);
    std::memcpy(g_probe.product, text, sizeof g_probe.product - 1);
    char idle[] = "supplyIdle";
    char other[] = "sendVstEvents";
    g_probe.canSupplyIdle = static_cast<int32_t>(g_host(e, audioMasterCanDo, 0, 0, idle, 0.0f));
    g_probe.canOther = static_cast<int32_t>(g_host(e, audioMasterCanDo, 0, 0, other, 0.0f));
    g_probe.hostUnknown = static_cast<int32_t>(g_host(e, 9999, 0, 0, nullptr, 0.0f));
}

intptr_t Dispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    Log(opcode, index, value, opt);
    switch (opcode) {
    case effOpen: AskHost(e); return 0;
    case effClose:
        g_probe.closed.fetch_add(1, std::memory_order_release);
        delete Of(e);
        return 0;
    case effSetSampleRate:
        // A rate change while a block is inside process is what the host must never do.
        if (Of(e)->inProcess.load(std::memory_order_acquire)) g_probe.rateChangedWhileProcessing.store(1);
        g_probe.rate.store(opt, std::memory_order_release);
        return 0;
    case effMainsChanged: g_probe.mains.store(static_cast<int32_t>(value), std::memory_order_release); return 0;
    case effEditGetRect: *static_cast<ERect**>(ptr) = &g_rect; return 1;
    case effEditOpen: g_probe.editorWindow = reinterpret_cast<intptr_t>(ptr); return 1;
    case effGetEffectName: std::strcpy(static_cast<char*>(ptr), "Test " TP_NAME); return 1;
    case effGetProgram: return Of(e)->program;
    case effSetProgram:
        if (value >= 0 && value < 3) {
            Of(e)->program = static_cast<int>(value);
            Of(e)->params[0] = kProgramGain[value];
        }
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= 3) return 0;
        std::strcpy(static_cast<char*>(ptr), kProgramName[index]);
        return 1;
    case effGetParamName: std::strcpy(static_cast<char*>(ptr), index == 0 ? "Gain" : "Other"); return 0;
    case effGetChunk: *static_cast<void**>(ptr) = g_chunkOut; return sizeof g_chunkOut;
    case effSetChunk: {
        const int n = value < TestProbe::kMaxChunk ? static_cast<int>(value) : TestProbe::kMaxChunk;
        std::memcpy(g_probe.chunk, ptr, n);
        g_probe.chunkSize = static_cast<int32_t>(value);
        return 0;
    }
    default: return 0;
    }
}

void NoteBlock(AEffect* e, int32_t n) {
    int32_t seen = g_probe.maxBlock.load(std::memory_order_relaxed);
    while (n > seen && !g_probe.maxBlock.compare_exchange_weak(seen, n)) {
    }
    g_probe.frames.fetch_add(n, std::memory_order_relaxed);
    // The rate the plug-in believes it runs at, asked the way plug-ins ask it while processing.
    g_probe.hostRateAtProcess.store(static_cast<int32_t>(g_host(e, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f)),
                                    std::memory_order_relaxed);
    g_probe.rateAtProcess.store(g_probe.rate.load(std::memory_order_acquire), std::memory_order_relaxed);
}

void ProcessReplacing(AEffect* e, float** in, float** out, int32_t n) {
    Of(e)->inProcess.store(1, std::memory_order_release);
    NoteBlock(e, n);
#ifdef TP_CRASH
    std::raise(SIGSEGV);
#endif
#ifdef TP_THROWS
    Of(e)->inProcess.store(0, std::memory_order_release);
    throw std::runtime_error("a plug-in fault");
#endif
    const float gain = Of(e)->params[0];
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i) out[c][i] = in[c][i] * gain;
#ifdef TP_GAIN
    // Careless floating-point habits the host must shield itself from: a division by zero and
    // a changed rounding mode left behind.
    volatile float zero = 0.0f;
    volatile float inf = 1.0f / zero;
    (void)inf;
    _mm_setcsr((_mm_getcsr() & ~0x6000u) | 0x6000u);
#endif
    Of(e)->inProcess.store(0, std::memory_order_release);
}

// The old call adds its result into the outputs.
void ProcessAccumulating(AEffect* e, float** in, float** out, int32_t n) {
    Of(e)->inProcess.store(1, std::memory_order_release);
    NoteBlock(e, n);
    const float gain = Of(e)->params[0];
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i) out[c][i] += in[c][i] * gain;
    Of(e)->inProcess.store(0, std::memory_order_release);
}

void SetParameter(AEffect* e, int32_t index, float value) {
    if (index >= 0 && index < 2) Of(e)->params[index] = value;
}

float GetParameter(AEffect* e, int32_t index) { return index >= 0 && index < 2 ? Of(e)->params[index].load() : 0.0f; }

AEffect* Make(HostCallback host) {
#ifdef TP_NULL
    (void)host;
    return nullptr;
#else
    g_host = host;
#ifdef TP_BADMAGIC
    // The host never calls a record without the magic, so nothing would free a new one.
    static Instance single;
    auto* instance = &single;
#else
    auto* instance = new Instance();
#endif
    AEffect& effect = instance->effect;
    std::memset(&effect, 0, sizeof effect);
    effect.object = instance;
    effect.magic = kEffectMagic;
#ifdef TP_BADMAGIC
    effect.magic = 0x12345678;
#endif
    effect.dispatcher = Dispatcher;
    effect.process = ProcessAccumulating;
    effect.setParameter = SetParameter;
    effect.getParameter = GetParameter;
    effect.numPrograms = 3;
    effect.numParams = 1;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsHasEditor | effFlagsCanReplacing;
    effect.processReplacing = ProcessReplacing;
#ifdef TP_NOEDITOR
    effect.flags &= ~effFlagsHasEditor;
#endif
#ifdef TP_SYNTH
    effect.flags |= effFlagsIsSynth;
#endif
#ifdef TP_CHUNKS
    effect.flags |= effFlagsProgramChunks;
    effect.numParams = 2;
#endif
#ifdef TP_ACCUM
    effect.flags &= ~effFlagsCanReplacing;
    effect.processReplacing = nullptr;
#endif
    g_probe.instances.fetch_add(1);
    return &effect;
#endif
}

} // namespace

extern "C" __attribute__((visibility("default"))) TestProbe* TestPluginProbe() { return &g_probe; }

#if defined(TP_ACCUM)
// Older plug-ins name their entry point "main"; the symbol cannot be spelt as a C++ function.
extern "C" __attribute__((visibility("default"))) AEffect* OldEntry(HostCallback host) __asm__("main");
extern "C" AEffect* OldEntry(HostCallback host) { return Make(host); }
#elif !defined(TP_NOENTRY)
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) { return Make(host); }
#else
extern "C" __attribute__((visibility("default"))) int NotAnEntry() { return 0; }
#endif
