// A test plug-in that behaves like many real ones at the window's edges: it has an editor but
// gives no rectangle until the editor is open, it has no name of its own, and it reports more
// programs than a menu should hold, naming only the even ones.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "LateEditorProbe.h"
#include "vst/VstAbi.h"

using namespace vst2;

namespace {
LateEditorProbe g_probe;
ERect g_rect{0, 0, 149, 399}; // 400 x 150 once the host adds its 1
AEffect g_effect;
int g_program = 0;

intptr_t Dispatcher(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float) {
    switch (opcode) {
    case effEditGetRect:
        // Nothing to measure before the editor exists.
        *static_cast<ERect**>(ptr) = g_probe.editorWindow ? &g_rect : nullptr;
        return g_probe.editorWindow ? 1 : 0;
    case effEditOpen:
        g_probe.editorWindow = reinterpret_cast<intptr_t>(ptr);
        ++g_probe.opens;
        return 1;
    case effEditClose:
        g_probe.editorWindow = 0;
        ++g_probe.closes;
        return 1;
    case effGetEffectName: return 0;
    case effGetProgram: return g_program;
    case effSetProgram: g_program = static_cast<int>(value); return 0;
    case effGetProgramNameIndexed:
        if (index % 2) return 0;
        std::snprintf(static_cast<char*>(ptr), 24, "Even %d", index);
        // Naming a program switches to it, as some plug-ins do.
        g_program = index;
        return 1;
    default: return 0;
    }
}

void Process(AEffect*, float** in, float** out, int32_t n) {
    for (int c = 0; c < 2; ++c) std::memcpy(out[c], in[c], sizeof(float) * static_cast<size_t>(n));
}
} // namespace

extern "C" __attribute__((visibility("default"))) LateEditorProbe* LateEditorProbeOf() { return &g_probe; }

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback) {
    std::memset(&g_effect, 0, sizeof g_effect);
    g_effect.magic = kEffectMagic;
    g_effect.dispatcher = Dispatcher;
    g_effect.process = Process;
    g_effect.processReplacing = Process;
    g_effect.numPrograms = 600;
    g_effect.numInputs = 2;
    g_effect.numOutputs = 2;
    g_effect.flags = effFlagsHasEditor | effFlagsCanReplacing;
    return &g_effect;
}
