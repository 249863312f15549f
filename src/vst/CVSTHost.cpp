#include "vst/CVSTHost.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>

#include "vst/FpuGuard.h"
#include "vst/VstAbi.h"

namespace {

std::atomic<double> g_rate{CVSTHost::kIdleRate};

// Deep enough for any real plug-in folder; a symbolic link that leads back up stops here.
constexpr int kMaxDepth = 16;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Walks folder depth first in directory order. visit(name, fullPath, isDir) returns false to stop
// the walk; Walk returns false when it was stopped.
template <typename Visit> bool Walk(const std::string& folder, int depth, Visit&& visit) {
    if (depth > kMaxDepth) return true;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return true;
    bool go = true;
    while (go) {
        dirent* e = readdir(dir);
        if (!e) break;
        const size_t len = std::strlen(e->d_name);
        if (len == 0 || e->d_name[len - 1] == '.') continue; // ".", "..", and names the old host skipped
        std::string full = folder;
        if (full.empty() || full.back() != '/') full += '/';
        full += e->d_name;
        const bool isDir = IsDirectory(full);
        if (isDir) go = Walk(full, depth + 1, visit);
        else go = visit(std::string(e->d_name, len), full);
    }
    closedir(dir);
    return go;
}

} // namespace

const char* CVSTHost::Message(int result) {
    switch (result) {
    case CantLoad: return "Can't load DLL.";
    case NoMainProc: return "Can't find main proc inside DLL.";
    case NoEffect: return "Can't find effect inside DLL.";
    case NoMagic: return "Can't find VST magic ID inside DLL.";
    case NoEditor: return "This VST had no editor and can't be used.";
    case NeedsMidi: return "This VST needs MIDI data and can't be used.";
    default: return "";
    }
}

intptr_t CVSTHost::Callback(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
    case vst2::audioMasterVersion: return kHostVersion;
    case vst2::audioMasterGetSampleRate: return static_cast<intptr_t>(SampleRate());
    case vst2::audioMasterGetBlockSize: return kBlockSize;
    case vst2::audioMasterGetVendorString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), kVendor);
        return 0;
    case vst2::audioMasterGetProductString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), kProduct);
        return 0;
    case vst2::audioMasterCanDo: return ptr && std::strcmp(static_cast<const char*>(ptr), "supplyIdle") == 0 ? 1 : 0;
    default: return 0;
    }
}

double CVSTHost::SampleRate() { return g_rate.load(std::memory_order_acquire); }

void CVSTHost::SetSampleRate(double rate) { g_rate.store(rate, std::memory_order_release); }

std::vector<std::string> CVSTHost::ScanPlugins(const std::vector<std::string>& folders) {
    std::vector<std::string> names;
    for (const std::string& folder : folders) {
        const bool more = Walk(folder, 0, [&](const std::string& name, const std::string&) {
            if (name.find(".so") != std::string::npos && name.size() <= static_cast<size_t>(kMaxNameBytes))
                names.push_back(name);
            return names.size() < static_cast<size_t>(kMaxPlugins);
        });
        if (!more) break;
    }
    return names;
}

std::string CVSTHost::FindPlugin(const std::vector<std::string>& folders, const std::string& name) {
    if (name.empty()) return {};
    std::string found;
    for (const std::string& folder : folders) {
        Walk(folder, 0, [&](const std::string& entry, const std::string& full) {
            if (strcasecmp(entry.c_str(), name.c_str()) != 0) return true;
            found = full;
            return false;
        });
        if (!found.empty()) break;
    }
    return found;
}

int CVSTHost::Instantiate(const std::string& path, void*& module, vst2::AEffect*& effect) {
    module = nullptr;
    effect = nullptr;
    if (path.empty()) return CantLoad;
    void* lib = nullptr;
    {
        // A library's constructors run here and may leave the floating-point control changed.
        FpuGuard fpu;
        lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!lib) return CantLoad;
    auto entry = reinterpret_cast<vst2::EntryProc>(dlsym(lib, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<vst2::EntryProc>(dlsym(lib, "main"));
    if (!entry) {
        dlclose(lib);
        return NoMainProc;
    }
    vst2::AEffect* e = nullptr;
    try {
        FpuGuard fpu;
        e = entry(&CVSTHost::Callback);
    } catch (...) {
        e = nullptr;
    }
    if (!e) {
        dlclose(lib);
        return NoEffect;
    }
    // Without the magic the record is not one we know, so nothing of it is called.
    if (e->magic != vst2::kEffectMagic) {
        dlclose(lib);
        return NoMagic;
    }
    int result = Ok;
    if (!(e->flags & vst2::effFlagsHasEditor)) result = NoEditor;
    else if (e->flags & vst2::effFlagsIsSynth) result = NeedsMidi;
    module = lib;
    effect = e;
    if (result != Ok) Release(module, effect);
    return result;
}

void CVSTHost::Release(void*& module, vst2::AEffect*& effect) {
    if (effect && effect->dispatcher) {
        try {
            FpuGuard fpu;
            effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
        } catch (...) {
        }
    }
    effect = nullptr;
    if (module) dlclose(module);
    module = nullptr;
}

int CVSTHost::TestLoad(const std::vector<std::string>& folders, const std::string& name) {
    void* module = nullptr;
    vst2::AEffect* effect = nullptr;
    const int result = Instantiate(FindPlugin(folders, name), module, effect);
    if (result == Ok) Release(module, effect);
    return result;
}
