// sonquil-cli loudness FILE...
// The EBU R128 figures of audio files, read through the program's own readers: one line per
// file, "file<TAB>integrated<TAB>range<TAB>true peak" ("-23.0 LUFS", "4.1 LU", "-1.2 dBTP"),
// then "album" with the same figures for all the files taken as one programme. A file that
// can't be read gets one line on stderr, and the exit status is non-zero after the others.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "loudness/FileLoudness.h"

namespace {

void PrintLine(const std::string& what, const LoudnessFigures& f) {
    std::printf("%s\t%s\t%s\t%s\n", what.c_str(), LoudnessText(f.integrated, "LUFS").c_str(),
                LoudnessText(f.range, "LU").c_str(), LoudnessText(f.truePeak, "dBTP").c_str());
}

} // namespace

int LoudnessCommand(const Args& args) {
    if (args.empty()) return Fail("usage: loudness FILE...");
    std::vector<std::unique_ptr<LoudnessMeter>> meters;
    int failed = 0;
    for (const std::string& path : args) {
        auto meter = std::make_unique<LoudnessMeter>();
        std::string error;
        if (!MeasureFileLoudness(path, *meter, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "sonquil-cli: %s: %s\n", path.c_str(), error.c_str());
            ++failed;
            continue;
        }
        PrintLine(path, meter->Figures());
        meters.push_back(std::move(meter));
    }
    std::vector<const LoudnessMeter*> all;
    for (const auto& m : meters) all.push_back(m.get());
    if (!all.empty()) PrintLine("album", LoudnessMeter::Together(all));
    if (std::fflush(stdout) != 0) return Fail("write error on the output");
    if (failed > 0)
        return Fail(std::to_string(failed) + " of " + std::to_string(args.size()) + " files could not be read");
    return 0;
}
