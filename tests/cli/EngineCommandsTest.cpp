// sonquil-cli render, play and devices on the engine: what the tool writes is checked sample by
// sample against the mastering chain run directly on this thread, as the render command did
// before it went through the engine.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileFactory.h"
#include "common/MainThreadPort.h"
#include "common/FadeShape.h"
#include "core/CCore.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CDSPStack.h"
#include "engine/CSwapper.h"
#include "engine/DevicePcm.h"
#include "engine/EngineBlock.h"
#include "engine/NullDevice.h"
#include "library/CDSPPreset.h"
#include "library/CPresetList.h"
#include "support/Files.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "support/Signals.h"
#include "support/TempDir.h"

namespace {

std::string Cli() { return std::string("'") + SONQUIL_CLI + "'"; }

// Runs a command line; its stdout, and its exit status in status.
std::string Output(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int rc = pclose(p);
    status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::vector<uint8_t> Bytes(const std::string& path) { return LoadBytes(path); }

// Music-like stereo material as floats on the 16-bit grid.
std::vector<float> Material(int64_t frames, uint32_t seed) {
    const std::vector<int32_t> pcm = MakeSignal(frames, 2, 16, seed);
    std::vector<float> out(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) out[i] = FloatFor16(static_cast<int16_t>(pcm[i]));
    return out;
}

// A core of the program without a library, its chain set up by setup, for the direct runs.
struct DirectChain {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    explicit DirectChain(const std::function<void(CCore&)>& setup) {
        CoreOptions options;
        options.withLibrary = false;
        options.withSoundCards = false;
        EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
        if (setup) setup(core);
        EnableFlushToZero(); // as on the audio thread
        core.Stack()->ResetAll();
    }
};

const CDSPPreset* Preset(CCore& core, const std::string& name, int folder) {
    for (int i = 0; i < core.PresetList()->Count(); ++i) {
        const CDSPPreset* p = core.PresetList()->At(i);
        if (p->GetName() == name && p->GetFolder() == folder) return p;
    }
    return nullptr;
}

// The render as the tool did it before the engine: IN through the stack in engine blocks on
// this thread (the last block short), written by the writer OUT's extension names.
bool DirectRender(const std::string& inPath, const std::string& outPath, int32_t bits,
                  const std::function<void(CCore&)>& setup) {
    DirectChain chain(setup);
    std::string folder, name, error;
    int32_t code = -1, type = 0;
    SplitAudioPath(inPath, folder, name);
    std::unique_ptr<AudioFile> in = OpenAudioFileByProbe(folder, name, nullptr, code, error);
    SplitAudioPath(outPath, folder, name);
    std::unique_ptr<AudioFile> out = MakeWriterForExtension(folder, name, type, error);
    if (!in || !out || !out->OpenWrite(in->channels, in->rate, bits, type)) return false;
    const int32_t block = EngineBlockFrames(in->rate);
    std::vector<float> buf(2 * static_cast<size_t>(block));
    for (int64_t done = 0; done < in->frames;) {
        const int32_t got = in->ReadFloat(buf.data(), block);
        if (got <= 0) break;
        chain.core.Stack()->ProcessBlock(buf.data(), got, in->rate, true, bits);
        if (out->WriteFloat(buf.data(), got) <= 0) return false;
        done += got;
    }
    const bool ok = out->FinishWrite();
    out->Close();
    return ok;
}

TEST(EngineCommands, RenderThroughTheEngineEqualsTheStackRunDirectlyForEveryKindAndAPreset) {
    TempDir dir;
    // A length that leaves a short last block, and a mono 96 kHz file in blocks of 8192.
    const std::string stereo = (dir / "in.wav").string(), mono = (dir / "mono.aif").string();
    ASSERT_TRUE(MakeWavFile(dir.Str(), "in.wav", Material(100003, 7), 44100));
    {
        AudioFileAiff a(dir.Str(), "mono.aif");
        ASSERT_TRUE(WriteFloats(a, 1, 96000, 24, 0, Material(40000, 9)));
    }
    const std::string sets = "--set 0:3=0 --set 0:9=-6 --set 0:4=-1 --set 1:15=-2 --set 2:0=1 --set 2:5=-30 "
                             "--set 3:9=3";
    auto setup = [](CCore& core) {
        core.ApplyPreset(*Preset(core, "DP03", PresetNode::CompressorFactory));
        std::string e;
        for (auto [k, id, v] : std::vector<std::tuple<int, int, float>>{
                 {0, 3, 0}, {0, 9, -6}, {0, 4, -1}, {1, 15, -2}, {2, 0, 1}, {2, 5, -30}, {3, 9, 3}})
            ASSERT_TRUE(core.SetParameter(k, id, v, e)) << e;
    };
    for (const auto& [in, bits, ext] : std::vector<std::tuple<std::string, int, std::string>>{{stereo, 16, "wav"},
                                                                                              {stereo, 24, "aif"},
                                                                                              {mono, 32, "wav"}}) {
        const std::string out = (dir / ("engine." + ext)).string(), want = (dir / ("direct." + ext)).string();
        ASSERT_EQ(RunCommand(Cli() + " render '" + in + "' '" + out + "' --preset Compressor/DP03 " + sets +
                             " --bits " + std::to_string(bits)),
                  0)
            << in << " " << bits;
        ASSERT_TRUE(DirectRender(in, want, bits, setup));
        const std::vector<uint8_t> got = Bytes(out), ref = Bytes(want);
        ASSERT_GT(ref.size(), 1000u);
        ASSERT_EQ(got.size(), ref.size()) << in << " " << bits; // exactly IN's frames, none added
        for (size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(got[i], ref[i]) << in << " " << bits << " byte " << i;
    }
    // A preset changes the sound; an unknown one, without a library to hold user presets, fails.
    const std::string flat = (dir / "flat.wav").string(), ep = (dir / "ep.wav").string();
    ASSERT_EQ(RunCommand(Cli() + " render '" + stereo + "' '" + flat + "' --preset flat"), 0);
    ASSERT_EQ(RunCommand(Cli() + " render '" + stereo + "' '" + ep + "' --preset EP07"), 0);
    EXPECT_NE(Bytes(flat), Bytes(ep));
    const std::string none = (dir / "none.wav").string();
    int status = 0;
    Output(Cli() + " --library '" + dir.Str() + "' render '" + stereo + "' '" + none + "' --preset Nonesuch 2>&1",
           status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST(EngineCommands, RenderAppliesAUserPresetFromTheLibraryByName) {
    TempDir dir;
    ASSERT_TRUE(MakeWavFile(dir.Str(), "in.wav", Material(30000, 4), 44100));
    {
        // A library whose user EQ preset "Quiet Master" lowers the output by 6 dB.
        ScriptedUiPort ui;
        std::filesystem::create_directories(dir / "store");
        ui.folderAnswers = {(dir / "store").string()};
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        std::string e;
        ASSERT_TRUE(core.SetParameter(1, 15, -6.0f, e));
        CDSPPreset* p = core.PresetList()->MakeUserPreset(PresetNode::EQ);
        ASSERT_NE(p, nullptr);
        p->SetName("Quiet Master");
        core.Equaliser()->StoreParameters(p->Params());
        core.MarkStartupComplete();
        ASSERT_TRUE(core.Stop());
    }
    const std::string in = (dir / "in.wav").string(), a = (dir / "a.wav").string(), b = (dir / "b.wav").string();
    const std::string env = "XDG_RUNTIME_DIR='" + dir.Str() + "' ";
    ASSERT_EQ(RunCommand(env + Cli() + " --library '" + dir.Str() + "' render '" + in + "' '" + a +
                         "' --preset 'eq/quiet master'"),
              0);
    ASSERT_EQ(RunCommand(env + Cli() + " render '" + in + "' '" + b + "' --set 1:15=-6"), 0);
    EXPECT_EQ(Bytes(a), Bytes(b));
    const std::string plain = (dir / "plain.wav").string();
    ASSERT_EQ(RunCommand(env + Cli() + " render '" + in + "' '" + plain + "'"), 0);
    EXPECT_NE(Bytes(a), Bytes(plain));
}

// The capture of a playback at speed 1.0 as the device receives it: the region's frames from
// `from` with its fades, through the stack in whole blocks, silence past the range's end.
std::vector<uint8_t> DirectPlayback(const std::vector<float>& region, int64_t from, int64_t to, int32_t fadeIn,
                                    int fadeInShape, int32_t fadeOut, int fadeOutShape, int32_t bits,
                                    const std::function<void(CCore&)>& setup) {
    DirectChain chain(setup);
    const int64_t length = static_cast<int64_t>(region.size() / 2);
    const int32_t block = 4096;
    const int64_t range = to - from;
    const int64_t blocks = range / block + 1;
    std::vector<float> input(2 * static_cast<size_t>(blocks * block), 0.0f);
    std::copy(region.begin() + 2 * from, region.begin() + 2 * to, input.begin());
    ApplyRegionFades(input.data(), static_cast<int32_t>(range), from, length, fadeIn, fadeInShape, fadeOut,
                     fadeOutShape);
    std::vector<uint8_t> out, pcm(static_cast<size_t>(block) * 8);
    for (int64_t b = 0; b < blocks; ++b) {
        float* buf = input.data() + 2 * b * block;
        chain.core.Stack()->ProcessBlock(buf, block, 44100, false, bits);
        const int32_t n = EncodeDevicePcm(buf, block, bits, 2, pcm.data());
        out.insert(out.end(), pcm.begin(), pcm.begin() + n);
    }
    return out;
}

TEST(EngineCommands, PlayToTheNullDeviceCapturesExactlyTheChainsOutputWithRangeAndFades) {
    TempDir dir;
    ASSERT_TRUE(MakeWavFile(dir.Str(), "in.wav", Material(90000, 3), 44100));
    AudioFileWav reader(dir.Str(), "in.wav");
    ASSERT_TRUE(reader.OpenRead());
    const std::vector<float> material = ReadAllFloat(reader); // the frames as the engine reads them
    reader.Close();
    ASSERT_EQ(material.size(), 2u * 90000);
    const std::string in = (dir / "in.wav").string(), cap = (dir / "cap.wav").string();
    int status = 0;
    const std::string out = Output(Cli() + " play '" + in +
                                       "' --from 1000 --to 60000 --fade-in 20000:log --fade-out 40000:exp " +
                                       "--set 2:0=1 --set 2:5=-30 --set 0:3=0 --device null --capture '" + cap + "'",
                                   status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(out, "played 59000 frames\n");
    const std::vector<uint8_t> want = DirectPlayback(material, 1000, 60000, 20000, FadeLog, 40000, FadeExp, 16,
                                                     [](CCore& core) {
                                                         std::string e;
                                                         core.SetParameter(2, 0, 1, e);
                                                         core.SetParameter(2, 5, -30, e);
                                                         core.SetParameter(0, 3, 0, e);
                                                     });
    const std::vector<uint8_t> got = Bytes(cap);
    ASSERT_EQ(got.size(), want.size() + 44);
    EXPECT_EQ(std::memcmp(got.data(), "RIFF", 4), 0);
    EXPECT_EQ(got[34], 16);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[44 + i], want[i]) << "byte " << i;

    // 24-bit output; the whole region (--to 0) exactly twice over with a loop; half speed glides.
    ASSERT_EQ(Output(Cli() + " play '" + in + "' --to 0 --force-24 --loop-passes 2 --device null --capture '" + cap +
                         "'",
                     status),
              "played 180000 frames\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Bytes(cap)[34], 24);
    EXPECT_EQ(Bytes(cap).size(), 44u + (180000 / 4096 + 1) * 4096 * 6);
    const std::string half = Output(Cli() + " play '" + in + "' --speed 0.5 --device null --capture '" + cap + "'",
                                    status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(half, "played 90000 frames\n");
    EXPECT_GT(Bytes(cap).size(), 44u + 2 * 90000 * 4); // twice as many blocks, and the glide
}

TEST(EngineCommands, PlayRefusesWhatCannotPlayWithOneLineAndNoCapture) {
    TempDir dir;
    ASSERT_TRUE(MakeWavFile(dir.Str(), "in.wav", Material(20000, 5), 44100));
    const std::string in = (dir / "in.wav").string(), cap = (dir / "cap.wav").string();
    for (const std::string& extra :
         {std::string("--from 0 --to 4095"), std::string("--from 15905"), std::string("--to 20001"),
          std::string("--from 9000 --to 8000"), std::string("--speed 3"), std::string("--speed 0.01"),
          std::string("--fade-in 10:cubic"), std::string("--fade-in 15000 --fade-out 6000"),
          std::string("--loop-passes 0"), std::string("--set 4:0=1"), std::string("--preset Nonesuch"),
          std::string("--wobble")}) {
        int status = 0;
        const std::string err = Output(Cli() + " --library '" + dir.Str() + "' play '" + in +
                                           "' --device null --capture '" + cap + "' " + extra + " 2>&1 >/dev/null",
                                       status);
        EXPECT_NE(status, 0) << extra;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << extra << ": " << err;
        EXPECT_EQ(err.rfind("sonquil-cli: ", 0), 0u) << err;
        EXPECT_FALSE(std::filesystem::exists(cap)) << extra;
    }
    int status = 0;
    Output(Cli() + " play '" + in + "' --capture '" + cap + "' 2>/dev/null", status);
    EXPECT_NE(status, 0); // a capture needs the null device
    Output(Cli() + " play '" + (dir / "none.wav").string() + "' --device null 2>/dev/null", status);
    EXPECT_NE(status, 0);
    const std::string err = Output(Cli() + " play '" + in + "' --device 'No such card' 2>&1 >/dev/null", status);
    EXPECT_NE(status, 0);
    EXPECT_EQ(err, "sonquil-cli: no playback device is named \"No such card\" (see sonquil-cli devices)\n");
    // 4096 frames play.
    EXPECT_EQ(Output(Cli() + " play '" + in + "' --from 100 --to 4196 --device null --capture '" + cap + "'", status),
              "played 4096 frames\n");
}

TEST(EngineCommands, DevicesListsBothDirectionsWithTheBoardSetupProbeLines) {
    int status = 0;
    const std::string out = Output(Cli() + " devices 2>/dev/null", status);
    ASSERT_EQ(status, 0);
    const size_t playback = out.find("Playback devices:\n"), record = out.find("Record devices:\n");
    ASSERT_NE(playback, std::string::npos);
    ASSERT_NE(record, std::string::npos);
    ASSERT_LT(playback, record);
    // The null device is always there, in both lists, with every probe line.
    const std::string null = std::string(CNullDevice::kName);
    const size_t inPlayback = out.find(null, playback), inRecord = out.find(null, record);
    EXPECT_LT(inPlayback, record);
    ASSERT_NE(inRecord, std::string::npos);
    const std::string lines = "      [ 32000 Hz / 16]: yes\n      [ 44100 Hz / 16]: yes\n      [ 48000 Hz / 16]: yes\n"
                              "      [ 96000 Hz / 16]: yes\n      [176400 Hz / 16]: yes\n      [192000 Hz / 16]: yes\n"
                              "      [ 32000 Hz / 24]: yes\n";
    EXPECT_EQ(out.compare(inPlayback + null.size() + 1, lines.size(), lines), 0) << out.substr(inPlayback);
    EXPECT_EQ(out.compare(inRecord + null.size() + 1, lines.size(), lines), 0) << out.substr(inRecord);
}

} // namespace
