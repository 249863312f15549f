#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/FormatProbe.h"
#include "cli/Commands.h"

int Fail(const std::string& message) {
    std::fprintf(stderr, "sonquil-cli: %s\n", message.c_str());
    return 1;
}

bool ParseOptions(const Args& args, const std::vector<std::string>& valueNames,
                  const std::vector<std::string>& flagNames, Options& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const std::string name = a.substr(2);
            if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
                out.flags[name] = true;
            } else if (std::find(valueNames.begin(), valueNames.end(), name) != valueNames.end()) {
                if (i + 1 >= args.size()) {
                    error = "option --" + name + " needs a value";
                    return false;
                }
                out.values[name] = args[++i];
            } else {
                error = "unknown option " + a;
                return false;
            }
        } else {
            out.positional.push_back(a);
        }
    }
    return true;
}

bool IntOption(const Options& o, const std::string& name, int lo, int hi, int& value, std::string& error) {
    auto it = o.values.find(name);
    if (it == o.values.end()) return true;
    const char* s = it->second.c_str();
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (*s == '\0' || *end != '\0' || v < lo || v > hi) {
        error = "bad value for --" + name + ": " + it->second;
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

const char* FormatName(int code) {
    switch (code) {
    case kFormatWav: return "WAV";
    case kFormatAiff: return "AIFF";
    case kFormatMp3: return "MP3";
    case kFormatKX64: return "KX64";
    case kFormatVorbis: return "Ogg Vorbis";
    case kFormatSun: return "SUN";
    case kFormatRaw: return "raw";
    default: return "unknown";
    }
}

namespace {
bool IsKX64(const std::string& folder, const std::string& name) {
    CFile f(folder, name);
    std::string full = f.FullPath();
    FILE* fp = std::fopen(full.c_str(), "rb");
    if (!fp) return false;
    char magic[4] = {};
    const bool yes = std::fread(magic, 1, 4, fp) == 4 && std::memcmp(magic, "KX64", 4) == 0;
    std::fclose(fp);
    return yes;
}
} // namespace

std::unique_ptr<AudioFile> OpenInput(const std::string& path, const Options& o, int& formatCode, std::string& error) {
    std::string folder, name;
    SplitPath(path, folder, name);
    std::unique_ptr<AudioFile> file;
    // The library stores KX64 samples by their format code; the tool recognises them by magic.
    if (IsKX64(folder, name)) {
        formatCode = kFormatKX64;
    } else {
        formatCode = ProbeFormat(folder, name, error);
        if (formatCode < 0) return nullptr;
    }
    switch (formatCode) {
    case kFormatWav: file = std::make_unique<AudioFileWav>(folder, name); break;
    case kFormatAiff: file = std::make_unique<AudioFileAiff>(folder, name); break;
    case kFormatSun: file = std::make_unique<AudioFileSUN>(folder, name); break;
    case kFormatKX64: file = std::make_unique<AudioFileKX64>(folder, name); break;
    case kFormatRaw: {
        int rate = 0, channels = 0, bits = 0;
        if (!o.Has("rate") || !o.Has("channels") || !o.Has("bits")) {
            error = "raw input needs --rate, --channels and --bits";
            return nullptr;
        }
        if (!IntOption(o, "rate", 1, 1000000, rate, error) || !IntOption(o, "channels", 1, 2, channels, error) ||
            !IntOption(o, "bits", 8, 32, bits, error))
            return nullptr;
        std::string order = o.Has("order") ? o.values.at("order") : "le";
        if (order != "le" && order != "be") {
            error = "bad value for --order: " + order + " (le or be)";
            return nullptr;
        }
        const bool isFloat = o.flags.count("float") != 0;
        auto raw = std::make_unique<AudioFileRaw>(folder, name);
        raw->rate = rate;
        raw->channels = static_cast<uint32_t>(channels);
        raw->bits = bits;
        raw->sampleType = isFloat ? (order == "be" ? kRawFloatBE : kRawFloatLE) : (order == "be" ? kRawIntBE : kRawIntLE);
        if (isFloat && bits != 32) {
            error = "--float needs --bits 32";
            return nullptr;
        }
        file = std::move(raw);
        break;
    }
    default:
        error = std::string(FormatName(formatCode)) + " files are not read by this tool";
        return nullptr;
    }
    if (!file->OpenRead()) {
        error = file->ErrorText().empty() ? "Can't open file." : file->ErrorText();
        return nullptr;
    }
    return file;
}
