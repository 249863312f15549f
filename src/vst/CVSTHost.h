#pragma once
// CVSTHost: what every hosted plug-in shares: the host callback and its answers, the sample rate
// the plug-ins are told, finding a plug-in file in the VST folders, the "VST Plugins" scan and
// the test load of the "VST Plugins" dialog.
//
// Plug-ins are Linux shared objects. A file is found by its name in the folders and opened by its
// full path; the process's current folder is never changed (other threads resolve relative paths
// against it).
//
// Threading: the callback may be called by a plug-in on any thread and only reads atomics. The
// rate is set on the main thread (CVSTEffectList::SetSampleRate); everything else here is main
// thread only.

#include <cstdint>
#include <string>
#include <vector>

namespace vst2 {
struct AEffect;
}

class CVSTHost {
public:
    // The host's answers.
    static constexpr int32_t kHostVersion = 2400;
    static constexpr int32_t kBlockSize = 16384;
    static constexpr const char* kVendor = "Orbeline";
    static constexpr const char* kProduct = "Sonquil";
    // The rate the plug-ins hear while nothing plays.
    static constexpr double kIdleRate = 44100.0;
    // The plug-in list's bounds.
    static constexpr int kMaxPlugins = 10000;
    static constexpr int kMaxNameBytes = 255;

    // Test-load and load results, with their messages (Message).
    enum Result : int {
        Ok = 0,
        CantLoad = -1,
        NoMainProc = -2,
        NoEffect = -3,
        NoMagic = -4,
        NoEditor = -5,
        NeedsMidi = -6,
    };
    static const char* Message(int result);

    // The callback every instance is created with.
    static intptr_t Callback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt);

    // The rate told to plug-ins (effSetSampleRate and audioMasterGetSampleRate).
    static double SampleRate();
    static void SetSampleRate(double rate);

    // The "VST Plugins" list: the names (no paths) of every file whose name contains ".so", in
    // the folders and their sub-folders, folder order then directory order (depth first), at
    // most kMaxPlugins names of at most kMaxNameBytes bytes (longer names are left out: they
    // could not be stored). Unreadable folders are passed over.
    static std::vector<std::string> ScanPlugins(const std::vector<std::string>& folders);

    // The full path of the first file in the folders (recursively, depth first) whose name equals
    // name without regard to case; "" when none.
    static std::string FindPlugin(const std::vector<std::string>& folders, const std::string& name);

    // The dialog's test load: find, open, instantiate, check, and let go again. Ok, or one of the
    // five failures; a file not found in any folder is CantLoad.
    static int TestLoad(const std::vector<std::string>& folders, const std::string& name);

    // Opens the library at path and makes an instance. On Ok, module and effect are set and the
    // effect is accepted (magic, editor, no instrument) but not yet opened; on failure nothing
    // stays open. Used by TestLoad and CVSTEffect::Load.
    static int Instantiate(const std::string& path, void*& module, vst2::AEffect*& effect);
    // Lets go of an instance made by Instantiate (effClose) and its library.
    static void Release(void*& module, vst2::AEffect*& effect);
};
