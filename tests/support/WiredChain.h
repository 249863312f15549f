#pragma once
// The whole built-in chain wired as the program wires it at start-up: dither engine, equaliser,
// compressor, stereo imager, valve amplifier and the stack that runs them, on the one DSP
// engine with its work buffers. Header only: include it where sonquil_dsp is linked.
//
// The program's core wires the same chain among its other objects; this one is for tests and
// benchmarks of the chain and the engine that need no library, no devices and no threads.

#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

struct WiredChain {
    WiredChain()
        : dither(DSPEngine()), amp(DSPEngine(), dither), stack(DSPEngine(), dither, amp), imager(DSPEngine()),
          comp(DSPEngine()) {
        DSPEngine().AllocWorkBuffers();
        stack.SetEqualiser(&eq);
        stack.SetStereoImager(&imager);
        stack.SetCompressor(&comp);
    }
    WiredChain(const WiredChain&) = delete;
    WiredChain& operator=(const WiredChain&) = delete;

    CDitherEngine dither;
    CTubeAmp amp; // the valve amplifier, last in the chain, with the dither
    CDSPStack stack;
    CParaEQ4B eq;
    CStereoImager imager;
    CCompressor comp;
};
