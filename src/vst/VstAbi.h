#pragma once
// The VST 2 plug-in interface as a plug-in shared object presents it: the effect record, its
// entry points, the flag bits and the opcodes this host uses, declared from the published
// interface. Only what the host calls or answers is named here; the record's layout is complete
// because the plug-in owns it and we read fields at their fixed offsets.
//
// Everything is plain C layout (the plug-in was built by another compiler, possibly in C).

#include <cstdint>

namespace vst2 {

struct AEffect;

// The plug-in calls the host through this; the host answers the codes of HostOpcode.
using HostCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                    float opt);
// process (accumulating, the old call) and processReplacing share this signature.
using ProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using ProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs, int32_t sampleFrames);
using SetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using GetParameterProc = float (*)(AEffect* effect, int32_t index);
// The library's entry point ("VSTPluginMain", or "main" in older plug-ins).
using EntryProc = AEffect* (*)(HostCallback host);

// 'VstP' read as a big-endian four-character code.
constexpr int32_t kEffectMagic = 0x56737450;

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// AEffect::flags bits.
enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
};

// Host to plug-in, through the dispatcher.
enum EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effGetProgramNameIndexed = 29,
    effGetEffectName = 45,
};

// Plug-in to host, through the host callback.
enum HostOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterCanDo = 37,
};

// The editor rectangle a plug-in hands out with effEditGetRect (it keeps the memory).
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

// Text buffers the host passes for names: plug-ins may write up to 64 bytes for an effect name
// and 24 for a program name; ours are larger so a careless plug-in cannot overrun them.
constexpr int kNameBuffer = 256;

} // namespace vst2
