#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "audiofile/AudioFileFactory.h"
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

void SplitPath(const std::string& path, std::string& folder, std::string& name) { SplitAudioPath(path, folder, name); }

std::unique_ptr<AudioFile> OpenInput(const std::string& path, const Options& o, int& formatCode, std::string& error) {
    std::string folder, name;
    SplitAudioPath(path, folder, name);
    formatCode = ProbeAudioFile(folder, name, error);
    if (formatCode < 0) return nullptr;
    if (formatCode != kFormatRaw) return OpenAudioFileRead(formatCode, folder, name, nullptr, error);
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
    if (isFloat && bits != 32) {
        error = "--float needs --bits 32";
        return nullptr;
    }
    RawFormat raw;
    raw.rate = rate;
    raw.channels = static_cast<uint32_t>(channels);
    raw.bits = bits;
    raw.sampleType = isFloat ? (order == "be" ? kRawFloatBE : kRawFloatLE) : (order == "be" ? kRawIntBE : kRawIntLE);
    return OpenAudioFileRead(formatCode, folder, name, &raw, error);
}
