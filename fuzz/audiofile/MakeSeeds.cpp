// Writes small valid files of every format into the fuzz corpora, so the fuzzers start from
// real layouts instead of finding the magic words by chance.
//   fuzz_seeds CORPUS_ROOT   (makes CORPUS_ROOT/fuzz_<reader>/seed-*)
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"

namespace {

bool WriteOne(AudioFile& f, uint32_t ch, int bits, int type, int frames) {
    if (!f.OpenWrite(ch, 44100, bits, type)) return false;
    std::vector<float> buf(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        buf[2 * i] = static_cast<float>(0.6 * std::sin(i * 0.05));
        buf[2 * i + 1] = static_cast<float>(0.3 * std::sin(i * 0.011) + ((i * 7919) % 13) / 400.0);
    }
    f.WriteFloat(buf.data(), frames);
    bool ok = f.FinishWrite();
    f.Close();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_ROOT\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path root = argv[1];
    struct Depth {
        int bits, type;
    } depths[] = {{8, 0}, {16, 0}, {24, 0}, {32, 0}, {32, 1}};
    int made = 0;
    for (const char* t : {"fuzz_wav", "fuzz_aiff", "fuzz_sun", "fuzz_kx64", "fuzz_probe", "fuzz_raw", "fuzz_peakfile"})
        fs::create_directories(root / t);
    for (uint32_t ch = 1; ch <= 2; ++ch) {
        for (const Depth& d : depths) {
            const std::string tag = "seed-" + std::to_string(ch) + "-" + std::to_string(d.bits) + "-" +
                                    std::to_string(d.type);
            AudioFileWav w((root / "fuzz_wav").string(), tag);
            made += WriteOne(w, ch, d.bits, d.type, 300);
            if (d.type == 0) {
                AudioFileAiff a((root / "fuzz_aiff").string(), tag);
                made += WriteOne(a, ch, d.bits, 0, 300);
            }
            AudioFileSUN s((root / "fuzz_sun").string(), tag);
            made += WriteOne(s, ch, d.bits, d.type, 300);
            AudioFileKX64 k((root / "fuzz_kx64").string(), tag);
            made += WriteOne(k, ch, d.bits, d.type, ch == 1 ? 2100 : 1100);
            AudioFileRaw r((root / "fuzz_raw").string(), tag);
            made += WriteOne(r, ch, d.bits, d.type ? 20 : 16, 200);
        }
    }
    AudioFileWav p((root / "fuzz_probe").string(), "seed.wav");
    made += WriteOne(p, 2, 16, 0, 10);
    PeakBuffers pb;
    for (int i = 0; i < 64; ++i) pb.peaks.push_back(static_cast<uint16_t>(i * 1000));
    made += WritePeakFile((root / "fuzz_peakfile").string(), "seed", pb, 256);
    std::printf("%d seeds\n", made);
    return 0;
}
