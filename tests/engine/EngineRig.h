#pragma once
// The engine as the program builds it, around the null device: transport, play list, swapper,
// disk and audio threads, the whole DSP chain. The test thread is the main thread and serves
// the hand-over port while it waits.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "common/MainThreadPort.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "engine/DevicePcm.h"
#include "engine/DiskIOThread.h"
#include "engine/EngineBlock.h"
#include "engine/NullDevice.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "support/WiredChain.h"

// The mastering chain with settings that change the sound (so a wrong block order shows).
struct TestChain : WiredChain {
    TestChain() {
        eq.SetParam(CParaEQ4B::IdOutput, -3.0f);
        imager.SetParam(CStereoImager::IdCrossMix, 30.0f);
        comp.SetParam(CCompressor::IdOn, 1.0f);
        comp.SetParam(CCompressor::IdThres, -12.0f);
    }
    void BypassAll() { amp.SetParam(CTubeAmp::IdBypassAll, 0.0f); }
};

struct EngineRig {
    TempDir dir;
    MainThreadPort port;
    ScriptedUiPort ui;
    CPlayList playList;
    CTransport transport{port, playList};
    TestChain chain;
    CNullDevice null;
    CDeviceList devices{nullptr, null};
    std::unique_ptr<CSwapper> swapper = std::make_unique<CSwapper>(transport, playList);
    std::unique_ptr<AudioIOThread> audio;
    std::unique_ptr<DiskIOThread> disk;

    // host: a sound-card driver listed before the null device (the default entry is then its).
    explicit EngineRig(DriverProbe* host = nullptr) : devices(host, null) {
        null.settings.realTime = false;
        audio = std::make_unique<AudioIOThread>(transport, *swapper, chain.stack, devices, port, ui);
        disk = std::make_unique<DiskIOThread>(*swapper);
        audio->SetPlaybackDevice(-1);
        audio->SetRecordDevice(-1);
    }
    // The shutdown order: transport stopped, both threads ended, then the swapper.
    ~EngineRig() {
        transport.Stop();
        audio->Terminate();
        disk->Terminate();
        port.Close();
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // Serves the port until pred holds; false after 60 s.
    template <class P> bool WaitFor(P pred) { return port.WaitServing(pred, std::chrono::seconds(60)); }

    // Plays the items on the play list over (start, end) as the play request does.
    void Play(int32_t start, int32_t end, int32_t rate = 44100, bool loop = false) {
        transport.SetPlayRange(start, end, rate);
        transport.SetLoop(loop);
        transport.Play(kOriginWaveViewer);
    }
};

// The bytes of a WAV file after its 44-byte header, and the header's fields.
struct Capture {
    int channels = 0, rate = 0, bits = 0;
    std::vector<uint8_t> data;
};
Capture ReadCapture(const std::string& path);
// What the stack makes of the input blocks, encoded as the device receives it; input(t, lr)
// gives the fetched frame of timeline offset t. tail(b) says how many frames of block b are
// real (the rest is silence).
std::vector<uint8_t> ReferencePlayback(TestChain& chain, int32_t blocks, int32_t block, int32_t rate, int32_t bits,
                                       const std::vector<float>& input);
