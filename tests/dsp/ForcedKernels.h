#pragma once
// Pins one kernel set of the engine for the life of the object, then hands the choice back to
// the "use SSE" switch.

#include "dsp/CDSPEngine.h"

#include <vector>

class ForcedKernels {
public:
    explicit ForcedKernels(KernelSet set) : m_ok(DSPEngine().ForceKernels(set)) {}
    ~ForcedKernels() { DSPEngine().ReleaseKernels(); }
    ForcedKernels(const ForcedKernels&) = delete;
    ForcedKernels& operator=(const ForcedKernels&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

// The sets this build and processor can run, plain first.
inline std::vector<KernelSet> AvailableKernelSets() {
    std::vector<KernelSet> sets;
    for (KernelSet s : {KernelSet::Plain, KernelSet::SSE2, KernelSet::AVX})
        if (CDSPEngine::KernelsAvailable(s)) sets.push_back(s);
    return sets;
}
