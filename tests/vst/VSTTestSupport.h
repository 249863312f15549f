#pragma once
// The test plug-ins' folder and their probes.
#include <dlfcn.h>

#include <string>
#include <vector>

#include "TestPluginProbe.h"
#include "vst/VstAbi.h"

inline const std::string kPluginDir = TEST_PLUGIN_DIR;

// The probe of a test plug-in file in kPluginDir (or its sub-folder "more"). The library stays
// open for the rest of the test program, so the probe outlives the host's unloading and every
// load of the host meets the same copy.
inline TestProbe* Probe(const std::string& relative) {
    void* lib = dlopen((kPluginDir + "/" + relative).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    auto fn = reinterpret_cast<TestProbe* (*)()>(dlsym(lib, "TestPluginProbe"));
    return fn ? fn() : nullptr;
}

// The opcodes of the dispatcher calls the probe saw, from index first on.
inline std::vector<int> Opcodes(const TestProbe& p, int first = 0) {
    std::vector<int> ops;
    for (int i = first; i < p.callCount.load(); ++i) ops.push_back(p.calls[i].opcode);
    return ops;
}

// The values sent with the probe's effMainsChanged calls, from index first on.
inline std::vector<int> Mains(const TestProbe& p, int first = 0) {
    std::vector<int> v;
    for (int i = first; i < p.callCount.load(); ++i)
        if (p.calls[i].opcode == vst2::effMainsChanged) v.push_back(static_cast<int>(p.calls[i].value));
    return v;
}
