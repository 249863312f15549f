// Writes small valid files of every format into the fuzz corpora, so the fuzzers start from
// real layouts instead of finding the magic words by chance.
//   fuzz_seeds CORPUS_ROOT   (makes CORPUS_ROOT/fuzz_<reader>/seed-*)
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileVorbis.h"
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
    // The compressed formats: Ogg Vorbis from our own writer; MP3 and FLAC from the real
    // encoders when they are installed (the fuzzers still run without those seeds).
    for (const char* t : {"fuzz_mp3", "fuzz_vorbis", "fuzz_flac", "fuzz_id3"}) fs::create_directories(root / t);
    for (uint32_t ch = 1; ch <= 2; ++ch) {
        AudioFileVorbis v((root / "fuzz_vorbis").string(), "seed-" + std::to_string(ch));
        made += WriteOne(v, ch, 16, 0, 3000);
    }
    AudioFileWav src((root / "fuzz_flac").string(), "source.wav");
    if (WriteOne(src, 2, 16, 0, 5000)) {
        const std::string in = (root / "fuzz_flac" / "source.wav").string();
        const std::string mp3 = (root / "fuzz_mp3").string();
        made +=
            std::system(
                ("flac -s -f -o " + (root / "fuzz_flac" / "seed.flac").string() + " " + in + " 2>/dev/null").c_str()) ==
            0;
        made += std::system(
                    ("lame --quiet -b 32 --resample 22.05 --tt T " + in + " " + mp3 + "/seed-22k.mp3 2>/dev/null")
                        .c_str()) == 0;
        made += std::system(
                    ("lame --quiet -m m -b 64 --id3v2-only --ta A " + in + " " + mp3 + "/seed-mono.mp3 2>/dev/null")
                        .c_str()) == 0;
        fs::remove(in);
    }
    // Files only FFmpeg reads, and AIFF-C of each kind our AIFF reader takes, from ffmpeg when
    // it is installed.
    fs::create_directories(root / "fuzz_ffmpeg");
    AudioFileWav ffsrc((root / "fuzz_ffmpeg").string(), "source.wav");
    if (WriteOne(ffsrc, 2, 16, 0, 3000)) {
        const std::string in = (root / "fuzz_ffmpeg" / "source.wav").string();
        const std::string ff = "ffmpeg -loglevel quiet -y -i " + in + " ";
        auto make = [&](const std::string& args, const fs::path& out) {
            made += std::system((ff + args + " " + out.string() + " 2>/dev/null").c_str()) == 0;
        };
        make("-c:a aac -b:a 32k -metadata title=T", root / "fuzz_ffmpeg" / "seed.m4a");
        make("-c:a alac", root / "fuzz_ffmpeg" / "seed-alac.m4a");
        make("-c:a libopus -b:a 24k", root / "fuzz_ffmpeg" / "seed.opus");
        make("-c:a pcm_s24le", root / "fuzz_ffmpeg" / "seed.caf");
        make("-c:a libopus -b:a 24k", root / "fuzz_ffmpeg" / "seed.webm");
        make("-c:a adpcm_ima_qt -f aiff", root / "fuzz_ffmpeg" / "seed-ima.aifc");
        for (const char* codec : {"pcm_s16le", "pcm_f32be", "pcm_f64be", "pcm_mulaw", "pcm_alaw"})
            make(std::string("-c:a ") + codec + " -f aiff", root / "fuzz_aiff" / (std::string("seed-") + codec));
        fs::remove(in);
    }
    {
        std::FILE* f = std::fopen((root / "fuzz_id3" / "seed").string().c_str(), "wb");
        if (f != nullptr) {
            const char text[] = "Title\0\0\0Artist(17)Rock 2007";
            std::fwrite(text, 1, sizeof text, f);
            made += std::fclose(f) == 0;
        }
    }
    std::printf("%d seeds\n", made);
    return 0;
}
