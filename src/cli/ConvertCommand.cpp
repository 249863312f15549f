#include <cstdio>
#include <vector>

#include "audiofile/AudioFileFactory.h"
#include "cli/Commands.h"

namespace {
constexpr int32_t kConvertBlock = 32768;

struct OutputFormat {
    const char* name; // as --format takes it
    int32_t code;
};
const OutputFormat kOutputFormats[] = {
    {"wav", kFormatWav}, {"aiff", kFormatAiff}, {"snd", kFormatSun}, {"kx64", kFormatKX64}, {"raw", kFormatRaw},
};
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
    const bool inFloat = IsFloatSampleType(in->sampleType);

    int bits = in->bits;
    if (!IntOption(o, "bits", 8, 32, bits, error)) return Fail(error);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return Fail("--bits must be 8, 16, 24 or 32");
    bool isFloat = o.flags.count("float") != 0;
    if (isFloat && !o.Has("bits")) bits = 32;
    // Float material keeps its floats unless a depth is asked for.
    if (!isFloat && !o.Has("bits") && inFloat && bits == 32 && format != "aiff") isFloat = true;
    if (isFloat && bits != 32) return Fail("--float needs 32 bits");

    int32_t outCode = -1;
    for (const OutputFormat& f : kOutputFormats)
        if (format == f.name) outCode = f.code;
    if (outCode < 0) return Fail("unknown format " + format + " (wav, aiff, snd, raw or kx64)");
    if (outCode == kFormatAiff && isFloat) return Fail("AIFF files hold integer samples only");
    std::string folder, name;
    SplitAudioPath(o.positional[1], folder, name);
    std::unique_ptr<AudioFile> out = MakeAudioFile(outCode, folder, name, error);
    if (!out) return Fail(error);
    int32_t type = isFloat ? kSampleFloat : kSampleInt;
    if (outCode == kFormatRaw)
        type = isFloat ? (order == "be" ? kRawFloatBE : kRawFloatLE) : (order == "be" ? kRawIntBE : kRawIntLE);
    if (!out->OpenWrite(in->channels, in->rate, bits, type)) return Fail(o.positional[1] + ": " + out->ErrorText());

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
