#include <cstdio>

#include "audiofile/AudioFileFactory.h"
#include "cli/Commands.h"

int ProbeCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"rate", "channels", "bits", "order"}, {"float"}, o, error)) return Fail(error);
    if (o.positional.size() != 1) return Fail("usage: probe FILE");
    int code = -1;
    std::unique_ptr<AudioFile> file = OpenInput(o.positional[0], o, code, error);
    if (!file) return Fail(error);
    const bool isFloat = IsFloatSampleType(file->sampleType);
    std::printf("format %d %s\nrate %d\nbits %d\nchannels %u\nframes %lld\ntype %s\n", code, FormatName(code),
                file->rate, file->bits, file->channels, static_cast<long long>(file->frames),
                isFloat && file->bits == 32 ? "float" : "int");
    file->Close();
    return 0;
}
