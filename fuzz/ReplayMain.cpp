// A plain driver for the fuzz targets where libFuzzer is not used (gcc builds, CI): feeds
// every file of the folders or files named on the command line to LLVMFuzzerTestOneInput,
// whole, cut short at many lengths and with single header bytes changed, so the damaged-file
// paths of each reader run in every build (and under the sanitizers in theirs). A crash or an
// abort ends the program with that signal; an empty corpus is an error, so a replay cannot
// pass by finding nothing. Arguments starting with '-' (libFuzzer options) are ignored.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Load(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t g_runs = 0;

void Run(const std::vector<uint8_t>& bytes, size_t n) {
    // A copy of exactly n bytes, so reading past the end is caught by the sanitizers.
    std::vector<uint8_t> input(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    // libFuzzer hands even an empty input over as a valid pointer, and targets rely on that.
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(input.empty() ? &kNothing : input.data(), input.size());
    ++g_runs;
}

void Replay(const std::vector<uint8_t>& seed) {
    Run(seed, seed.size());
    // Every short length (headers cut inside a field), then sixteenths of the whole.
    const size_t shortCuts = std::min<size_t>(seed.size(), 80);
    for (size_t n = 0; n < shortCuts; ++n) Run(seed, n);
    for (size_t k = 1; k < 16; ++k) Run(seed, seed.size() * k / 16);
    // Header bytes set to the values that most often break size and count arithmetic.
    std::vector<uint8_t> changed = seed;
    const size_t head = std::min<size_t>(seed.size(), 64);
    for (size_t at = 0; at < head; ++at) {
        for (uint8_t v : {uint8_t{0x00}, uint8_t{0x7f}, uint8_t{0x80}, uint8_t{0xff}}) {
            if (seed[at] == v) continue;
            changed[at] = v;
            LLVMFuzzerTestOneInput(changed.data(), changed.size());
            ++g_runs;
        }
        changed[at] = seed[at];
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!arg.empty() && arg[0] == '-') continue;
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(arg, ec))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", arg.c_str());
            return 1;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "no seeds to replay\n");
        return 1;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) Replay(Load(f));
    std::printf("%zu seeds, %zu runs\n", files.size(), g_runs);
    return 0;
}
