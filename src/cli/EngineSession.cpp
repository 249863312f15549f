#include "cli/EngineSession.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileVorbis.h"
#include "cli/LibrarySession.h"
#include "cli/TerminalUiPort.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "library/CDSPPreset.h"
#include "library/CPresetList.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"
#include "vst/CVSTHost.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The preset-tree category of a --preset prefix; −1 for none.
int CategoryOfPrefix(const std::string& prefix) {
    const std::string p = Lower(prefix);
    if (p == "stacks" || p == "stack") return 0;
    if (p == "eq") return 1;
    if (p == "compressor") return 2;
    if (p == "stereo imager" || p == "imager") return 3;
    return -1;
}

} // namespace

bool ParseWholeNumber(const std::string& text, long lo, long hi, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ParseChainSetting(const std::string& s, ChainSetting& out) {
    const size_t colon = s.find(':'), eq = s.find('=');
    if (colon == std::string::npos || eq == std::string::npos || eq < colon) return false;
    long kind, id;
    if (!ParseWholeNumber(s.substr(0, colon), 0, 3, kind) ||
        !ParseWholeNumber(s.substr(colon + 1, eq - colon - 1), 0, 49, id))
        return false;
    const std::string v = s.substr(eq + 1);
    if (v.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(v.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return false;
    out.kind = static_cast<int>(kind);
    out.id = static_cast<int>(id);
    out.value = static_cast<float>(value);
    return true;
}

bool ParseVstSetting(const std::string& text, VstSetting& out) {
    VstSetting v;
    size_t end = text.find(',');
    std::string head = text.substr(0, end);
    // The program follows the last colon when digits follow it; a colon elsewhere is the name's.
    const size_t colon = head.rfind(':');
    if (colon != std::string::npos) {
        long program;
        if (!ParseWholeNumber(head.substr(colon + 1), 0, INT_MAX, program)) return false;
        v.program = static_cast<int>(program);
        head.resize(colon);
    }
    if (head.empty()) return false;
    v.name = head;
    while (end != std::string::npos) {
        const size_t start = end + 1;
        end = text.find(',', start);
        const std::string item = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t eq = item.find('=');
        long id;
        if (eq == std::string::npos || !ParseWholeNumber(item.substr(0, eq), 0, INT_MAX, id)) return false;
        const std::string value = item.substr(eq + 1);
        if (value.empty()) return false;
        char* stop = nullptr;
        const double x = std::strtod(value.c_str(), &stop);
        if (*stop != '\0' || !std::isfinite(x)) return false;
        v.params.emplace_back(static_cast<int>(id), static_cast<float>(x));
    }
    out = std::move(v);
    return true;
}

bool TakeChainOption(const Args& args, size_t& i, ChainOptions& chain, std::string& error) {
    const std::string& a = args[i];
    if (a != "--set" && a != "--preset" && a != "--vst-folder" && a != "--vst") return false;
    if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return true;
    }
    const std::string& v = args[++i];
    if (a == "--vst-folder") {
        if (v.empty()) error = "--vst-folder needs a folder";
        else chain.vstFolders.push_back(v);
        return true;
    }
    if (a == "--vst") {
        VstSetting setting;
        if (!ParseVstSetting(v, setting)) error = "bad --vst " + v + " (NAME[:PROGRAM][,ID=VALUE...])";
        else chain.vsts.push_back(std::move(setting));
        return true;
    }
    if (a == "--preset") {
        if (v.empty()) error = "--preset needs a preset name";
        else chain.presets.push_back(v);
        return true;
    }
    ChainSetting s;
    if (!ParseChainSetting(v, s)) error = "bad --set " + v + " (KIND:ID=VALUE, KIND 0 to 3)";
    else chain.settings.push_back(s);
    return true;
}

const CDSPPreset* FindPresetByName(const CPresetList& list, const std::string& name) {
    int category = -1;
    std::string wanted = name;
    const size_t slash = name.find('/');
    if (slash != std::string::npos) {
        category = CategoryOfPrefix(name.substr(0, slash));
        if (category >= 0) wanted = name.substr(slash + 1);
    }
    wanted = Lower(wanted);
    for (int i = 0; i < list.Count(); ++i) {
        const CDSPPreset* p = list.At(i);
        if (!p || Lower(p->GetName()) != wanted) continue;
        if (category >= 0 && PresetNode::Category(p->GetFolder()) != category) continue;
        return p;
    }
    return nullptr;
}

EngineSession::EngineSession() = default;

EngineSession::~EngineSession() {
    // The engine ends before the ports it hands work to.
    if (m_core) m_core->Stop();
    m_library.reset();
}

bool EngineSession::Open(const ChainOptions& chain, bool withSoundCards, std::string& error) {
    // Ogg Vorbis files are known by their contents; the probe asks the reader.
    AudioFileVorbis::RegisterWithProbe();
    // A name that is no factory preset can only be a user preset, which the library holds.
    std::string userPreset;
    {
        CPresetList factory;
        factory.CreateFactory();
        for (const std::string& name : chain.presets)
            if (userPreset.empty() && !FindPresetByName(factory, name)) userPreset = name;
    }
    if (!userPreset.empty()) {
        m_library = std::make_unique<LibrarySession>();
        std::string why;
        if (!m_library->Open(why, withSoundCards)) {
            error = "no factory preset is named \"" + userPreset + "\", and user presets need the library: " + why;
            return false;
        }
        return true;
    }
    m_ui = std::make_unique<TerminalUiPort>();
    m_port = std::make_unique<MainThreadPort>();
    m_core = std::make_unique<CCore>(*m_ui, *m_port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = withSoundCards;
    if (m_core->Start(options) != CCore::StartResult::Running) {
        error = "the program's core did not start";
        return false;
    }
    return true;
}

CCore& EngineSession::Core() { return m_library ? m_library->Core() : *m_core; }
TerminalUiPort& EngineSession::Ui() { return m_library ? m_library->Ui() : *m_ui; }
MainThreadPort& EngineSession::Port() { return Core().MainThread(); }

bool EngineSession::ApplyChain(const ChainOptions& chain, std::string& error) {
    CCore& core = Core();
    for (const std::string& name : chain.presets) {
        const CDSPPreset* preset = FindPresetByName(*core.PresetList(), name);
        if (!preset) {
            error = "no preset is named \"" + name + "\"";
            return false;
        }
        core.ApplyPreset(*preset);
    }
    for (const ChainSetting& s : chain.settings)
        if (!core.SetParameter(s.kind, s.id, s.value, error)) return false;
    return ApplyVsts(chain, error);
}

bool EngineSession::ApplyVsts(const ChainOptions& chain, std::string& error) {
    CVSTEffectList* list = Core().VSTChain();
    if (chain.vsts.empty() || !list) return true;
    if (!chain.vstFolders.empty()) {
        list->SetFolderSource({});
        list->SetFolders(chain.vstFolders);
    }
    const std::vector<std::string> folders = list->Folders();
    for (const VstSetting& v : chain.vsts) {
        // The file as it is named in the folders (".so" may be left off on the command line).
        std::string name = v.name;
        std::string path = CVSTHost::FindPlugin(folders, name);
        if (path.empty() && name.find(".so") == std::string::npos) {
            path = CVSTHost::FindPlugin(folders, name + ".so");
            if (!path.empty()) name += ".so";
        }
        if (path.empty()) {
            error = "no VST plug-in named \"" + v.name + "\" in the VST folders";
            return false;
        }
        name = std::filesystem::path(path).filename().string();
        int result = CVSTHost::Ok;
        CVSTEffect* effect = list->AddEffect(name, result);
        if (!effect) {
            error = v.name + ": " + CVSTHost::Message(result);
            return false;
        }
        if (v.program >= 0) {
            if (v.program >= effect->ProgramCount()) {
                error = v.name + ": no program " + std::to_string(v.program) + " (it has " +
                        std::to_string(effect->ProgramCount()) + ")";
                return false;
            }
            effect->SetProgram(v.program);
        }
        for (const auto& [id, value] : v.params) {
            if (id >= effect->ParameterCount() || value < 0.0f || value > 1.0f) {
                char shown[32];
                std::snprintf(shown, sizeof shown, "%g", static_cast<double>(value));
                error = v.name + ": bad parameter " + std::to_string(id) + "=" + shown + " (it has " +
                        std::to_string(effect->ParameterCount()) + " parameters, values 0 to 1)";
                return false;
            }
            effect->SetParameter(id, value);
        }
    }
    return true;
}

TransientRegion::TransientRegion() = default;
TransientRegion::~TransientRegion() = default;

bool TransientRegion::Open(const std::string& path, std::string& error) {
    std::string folder, name;
    SplitAudioPath(path, folder, name);
    // The sample keeps its folder and name in fixed fields; a longer one would name another file.
    if (folder.size() >= CSample::kNameSize || name.size() >= CSample::kNameSize) {
        error = path + ": the folder and the file name must each be shorter than 256 bytes";
        return false;
    }
    std::unique_ptr<AudioFile> in = OpenAudioFileByProbe(folder, name, nullptr, m_code, error);
    if (!in) {
        error = path + ": " + error;
        return false;
    }
    m_rate = in->rate;
    m_channels = in->channels;
    int64_t frames = in->frames;
    if (m_code == kFormatMp3 || m_code == kFormatVorbis || m_code == kFormatFFmpeg || frames <= 0) {
        // Their headers give an estimate only: the region is what really decodes.
        std::vector<float> buf(2 * 32768);
        frames = 0;
        for (int32_t got; (got = in->ReadFloat(buf.data(), 32768)) > 0;) frames += got;
    }
    const int32_t bits = in->bits;
    const int64_t bytes = in->dataBytes;
    in->Close();
    if (m_rate <= 0 || m_rate > 384000) {
        error = path + ": sample rate " + std::to_string(m_rate) + " cannot be played";
        return false;
    }
    // Play ranges are 32-bit frame numbers.
    if (frames >= INT32_MAX) {
        error = path + ": too long for a play range";
        return false;
    }
    m_frames = frames;
    m_sample = std::make_unique<CSample>(name, folder, 0, 0, m_rate, static_cast<int32_t>(m_channels), bits, frames,
                                         m_code, bytes, 0);
    m_region = std::make_unique<CRegion>(name, 0, frames, m_sample.get(), 0u, 0, 0);
    return true;
}
