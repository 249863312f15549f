#include <cstdio>
#include <vector>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileWav.h"
#include "cli/Commands.h"

namespace {
constexpr int32_t kConvertBlock = 32768;
} // namespace

int ConvertCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"format", "bits", "rate", "channels", "order"}, {"float"}, o, error)) return Fail(error);
    if (o.positional.size() != 2 || !o.Has("format"))
        return Fail("usage: convert IN OUT --format wav|aiff|snd|raw|kx64 [--bits 8|16|24|32] [--float]");
    const std::string format = o.values.at("format");
    const std::string order = o.Has("order") ? o.values.at("order") : "le";
    if (order != "le" && order != "be") return Fail("bad value for --order: " + order + " (le or be)");

    int inCode = -1;
    std::unique_ptr<AudioFile> in = OpenInput(o.positional[0], o, inCode, error);
    if (!in) return Fail(o.positional[0] + ": " + error);
    const bool inFloat = in->sampleType == kSampleFloat || in->sampleType == kRawFloatLE ||
                         in->sampleType == kRawFloatBE;

    int bits = in->bits;
    if (!IntOption(o, "bits", 8, 32, bits, error)) return Fail(error);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return Fail("--bits must be 8, 16, 24 or 32");
    bool isFloat = o.flags.count("float") != 0;
    if (isFloat && !o.Has("bits")) bits = 32;
    // Float material keeps its floats unless a depth is asked for.
    if (!isFloat && !o.Has("bits") && inFloat && bits == 32 && format != "aiff") isFloat = true;
    if (isFloat && bits != 32) return Fail("--float needs 32 bits");

    std::string folder, name;
    SplitPath(o.positional[1], folder, name);
    std::unique_ptr<AudioFile> out;
    int32_t type = isFloat ? kSampleFloat : kSampleInt;
    if (format == "wav") {
        out = std::make_unique<AudioFileWav>(folder, name);
    } else if (format == "aiff") {
        if (isFloat) return Fail("AIFF files hold integer samples only");
        out = std::make_unique<AudioFileAiff>(folder, name);
    } else if (format == "snd") {
        out = std::make_unique<AudioFileSUN>(folder, name);
    } else if (format == "kx64") {
        out = std::make_unique<AudioFileKX64>(folder, name);
    } else if (format == "raw") {
        out = std::make_unique<AudioFileRaw>(folder, name);
        type = isFloat ? (order == "be" ? kRawFloatBE : kRawFloatLE) : (order == "be" ? kRawIntBE : kRawIntLE);
    } else {
        return Fail("unknown format " + format + " (wav, aiff, snd, raw or kx64)");
    }
    if (!out->OpenWrite(in->channels, in->rate, bits, type))
        return Fail(o.positional[1] + ": " + out->ErrorText());

    std::vector<float> block(static_cast<size_t>(kConvertBlock) * 2);
    int64_t done = 0;
    while (done < in->frames) {
        const int32_t got = in->ReadFloat(block.data(), kConvertBlock);
        if (got == 0) break;
        const int64_t wrote = out->WriteFloat(block.data(), got);
        if (wrote <= 0) break;
        done += got;
    }
    const bool finished = out->FinishWrite();
    out->Close();
    in->Close();
    if (!finished) {
        out->Delete();
        return Fail(o.positional[1] + ": " + out->ErrorText());
    }
    return 0;
}
