// The board-setup choice kept in the preferences survives a save and a load, and a library that
// keeps no choice plays and records through the system's default device.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "EngineRig.h"
#include "common/ByteIO.h"
#include "engine/CDeviceWrapper.h"
#include "engine/DeviceChoice.h"
#include "engine/DriverProbePortAudio.h"
#include "library/CPrefs.h"

namespace {

TEST(DeviceChoice, KeysTwoAndOneHoldPlaybackAndRecordAndDefaultToTheSystemDefault) {
    EngineRig rig;
    rig.audio->SetPlaybackDevice(4);
    rig.audio->SetRecordDevice(4);
    CPrefs prefs;
    LoadDeviceChoice(prefs, *rig.audio);
    EXPECT_EQ(rig.audio->PlaybackDevice(), -1);
    EXPECT_EQ(rig.audio->RecordDevice(), -1);
    rig.audio->SetPlaybackDevice(-1);
    rig.audio->SetRecordDevice(3);
    StoreDeviceChoice(prefs, *rig.audio);
    EXPECT_EQ(prefs.GetInt(2), -1);
    EXPECT_EQ(prefs.GetInt(1), 3);

    ByteWriter w;
    prefs.WriteBlock(w);
    CPrefs loaded;
    ByteReader r(w.Data());
    ASSERT_TRUE(loaded.ReadBlock(r));
    rig.audio->SetPlaybackDevice(7);
    rig.audio->SetRecordDevice(7);
    LoadDeviceChoice(loaded, *rig.audio);
    EXPECT_EQ(rig.audio->PlaybackDevice(), -1);
    EXPECT_EQ(rig.audio->RecordDevice(), 3);
}

// A host as a desktop with a sound server shows it: the default entry is the server, the first
// device a raw card that the server holds and that refuses to open. Opens through the null
// device and remembers which entries were asked for.
struct DesktopHost : DriverProbe {
    CNullDevice& sink;
    std::vector<int32_t> outputsOpened, inputsOpened;
    explicit DesktopHost(CNullDevice& null) : sink(null) {}

    int32_t InputDeviceCount() override { return 3; }
    int32_t OutputDeviceCount() override { return 3; }
    std::string InputDeviceName(int32_t i) override { return i == 0 ? "Default" : i == 1 ? "hw:0,0" : "pipewire"; }
    std::string OutputDeviceName(int32_t i) override { return InputDeviceName(i); }
    std::unique_ptr<CAudioStream> OpenOutput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override {
        outputsOpened.push_back(index);
        return index == 1 ? nullptr : sink.OpenOutput(0, channels, rate, bits);
    }
    std::unique_ptr<CAudioStream> OpenInput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override {
        inputsOpened.push_back(index);
        return index == 1 ? nullptr : sink.OpenInput(0, channels, rate, bits);
    }
};

TEST(DeviceChoice, WithNothingStoredTheDefaultEntryOpensAndAStoredChoiceKeepsItsDevice) {
    EngineRig rig;
    CNullDevice null;
    null.settings.realTime = false;
    DesktopHost host(null);
    CDeviceList devices(&host, null);
    std::vector<uint8_t> b0(CDeviceWrapper::kBufferBytes), b1(CDeviceWrapper::kBufferBytes);

    // A fresh library: both directions open the host's default entry.
    CPrefs fresh;
    LoadDeviceChoice(fresh, *rig.audio);
    {
        CDeviceWrapper wrapper(devices, b0.data(), b1.data());
        EXPECT_TRUE(wrapper.OpenOutput(rig.audio->PlaybackDevice(), 2, 44100, 16));
        wrapper.CloseOutput();
        EXPECT_TRUE(wrapper.OpenInput(rig.audio->RecordDevice(), 2, 44100, 16));
        wrapper.CloseInput();
    }
    EXPECT_EQ(host.outputsOpened, std::vector<int32_t>{0});
    EXPECT_EQ(host.inputsOpened, std::vector<int32_t>{0});

    // A library that keeps the first device (0) and the second (1) still opens exactly those,
    // even where the first refuses.
    CPrefs kept;
    kept.SetInt(kPrefPlaybackDevice, 0);
    kept.SetInt(kPrefRecordDevice, 1);
    LoadDeviceChoice(kept, *rig.audio);
    host.outputsOpened.clear();
    host.inputsOpened.clear();
    {
        CDeviceWrapper wrapper(devices, b0.data(), b1.data());
        EXPECT_FALSE(wrapper.OpenOutput(rig.audio->PlaybackDevice(), 2, 44100, 16));
        EXPECT_TRUE(wrapper.OpenInput(rig.audio->RecordDevice(), 2, 44100, 16));
        wrapper.CloseInput();
    }
    EXPECT_EQ(host.outputsOpened, std::vector<int32_t>{1});
    EXPECT_EQ(host.inputsOpened, std::vector<int32_t>{2});
}

TEST(DeviceChoice, TheDefaultEntryIsTheHostsDefaultDeviceWhereverItStandsInTheList) {
    // PortAudio's devices with output channels, in its order; the host's default is the third.
    const std::vector<int> outputs = {0, 3, 9};
    EXPECT_EQ(PortAudioDeviceOf(0, outputs, 9), 9);
    EXPECT_EQ(PortAudioDeviceOf(1, outputs, 9), 0);
    EXPECT_EQ(PortAudioDeviceOf(3, outputs, 9), 9);
    EXPECT_EQ(PortAudioDeviceOf(4, outputs, 9), -1); // a choice kept from a machine with more devices
    EXPECT_EQ(PortAudioDeviceOf(-2, outputs, 9), -1);
    // A host without a default device: the default entry opens nothing.
    EXPECT_EQ(PortAudioDeviceOf(0, outputs, -1), -1);
    EXPECT_EQ(PortAudioDeviceOf(2, outputs, -1), 3);
}

} // namespace
