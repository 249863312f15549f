// The chain on the real audio thread: plays at 48 and 96 kHz through the core tell the plug-in
// each material's rate between the runs (never while a block is inside it) and hand it pieces of
// at most 4,096 frames; and main-thread changes of the chain while blocks run through it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "VSTTestSupport.h"
#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CVSTFolders.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"
#include "vst/CVSTHost.h"

namespace {

std::vector<float> Tone(int frames, int rate) {
    std::vector<float> v(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) v[2 * i] = v[2 * i + 1] = 0.3f * std::sin(6.2831853f * 440.0f * i / rate);
    return v;
}

} // namespace

TEST(VSTThreaded, PlaysTellThePlugInEachRateBetweenRunsInPiecesOf4096) {
    ScriptedUiPort ui;
    MainThreadPort port;
    TempDir dir;
    CCore core(ui, port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = false;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    core.VSTFolders()->Add(kPluginDir);
    int result = 0;
    CVSTEffect* gain = core.VSTChain()->AddEffect("tp-gain.so", result);
    ASSERT_NE(gain, nullptr);
    TestProbe* p = Probe("tp-gain.so");
    core.NullDevice()->settings.realTime = false;
    core.AudioThread()->SetPlaybackDevice(-1);

    for (int rate : {48000, 96000}) {
        const int frames = rate; // one second
        const std::string name = "tone" + std::to_string(rate) + ".wav";
        ASSERT_TRUE(MakeWavFile(dir.Str(), name, Tone(frames, rate), rate));
        core.PlayList()->Clear();
        PlayItem item;
        item.folder = dir.Str();
        item.fileName = name;
        item.formatCode = kFormatWav;
        item.sampleFrames = frames;
        item.sampleRate = rate;
        item.length = frames - 1;
        ASSERT_TRUE(core.PlayList()->AddItem(item));
        p->Reset();
        core.Transport()->SetPlayRange(0, frames, rate);
        core.Transport()->SetLoop(false);
        core.Transport()->Play(kOriginWaveViewer);
        ASSERT_TRUE(port.WaitServing([&] { return core.Transport()->IsStopped(); }, std::chrono::seconds(60)));
        EXPECT_GT(p->frames.load(), 0) << rate;
        EXPECT_EQ(p->rateAtProcess.load(), static_cast<float>(rate));
        EXPECT_EQ(p->hostRateAtProcess.load(), rate);
        EXPECT_LE(p->maxBlock.load(), CVSTEffect::kMaxPiece) << rate;
        EXPECT_EQ(p->rateChangedWhileProcessing.load(), 0);
    }
    // Stopped, the main timer brings the plug-ins back to 44,100 Hz.
    core.VSTTick(kTransportStopped);
    EXPECT_EQ(p->rate.load(), 44100.0f);
    EXPECT_TRUE(ui.messages.empty());
    core.Stop();
}

// The audio side runs blocks through the chain as the stack does while the main thread adds,
// moves, removes and retunes effects: a block never meets a half-changed list, a retune never
// meets a block inside a plug-in.
TEST(VSTThreaded, ChainChangesWhileBlocksRunKeepTheAudioSideOut) {
    CVSTEffectList chain;
    chain.SetFolders({kPluginDir});
    int result = 0;
    for (int i = 0; i < 3; ++i) ASSERT_NE(chain.AddEffect("tp-gain.so", result), nullptr);
    TestProbe* p = Probe("tp-gain.so");
    p->Reset();
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> aL(8192, 0.25f), aR(8192, 0.25f), bL(8192), bR(8192);
        while (!stop.load()) {
            if (chain.Enter()) {
                float *cl = aL.data(), *cr = aR.data(), *sl = bL.data(), *sr = bR.data();
                for (int i = 0; i < chain.Count(); ++i) {
                    if (chain.Bypassed(i)) continue;
                    chain.Run(i, cl, cr, sl, sr, 8192);
                    std::swap(cl, sl);
                    std::swap(cr, sr);
                }
                chain.Leave();
                blocks.fetch_add(1);
            }
            std::fill(aL.begin(), aL.end(), 0.25f);
            std::fill(aR.begin(), aR.end(), 0.25f);
        }
    });
    while (blocks.load() == 0) std::this_thread::yield();
    for (int round = 0; round < 40; ++round) {
        chain.MoveUp(1);
        chain.MoveDown(0);
        chain.AddEffect("tp-gain.so", result);
        chain.SetSampleRate(round % 2 ? 48000.0 : 96000.0);
        chain.RemoveAndDestroy(0);
        chain.Get(0)->SetBypassed(round % 3 == 0);
        chain.SetRebuilding(true);
        chain.DestroyAll();
        for (int i = 0; i < 3; ++i) chain.AddEffect("tp-gain.so", result);
        chain.SetRebuilding(false);
    }
    stop.store(true);
    audio.join();
    EXPECT_EQ(p->rateChangedWhileProcessing.load(), 0);
    EXPECT_LE(p->maxBlock.load(), CVSTEffect::kMaxPiece);
    chain.SetSampleRate(CVSTHost::kIdleRate);
}
