// Cue sheets from any bytes, through libcdio's image driver and our reader: the table of
// contents is either refused or holds growing addresses, the track list texts are made, and
// short tracks are read into a writer. The sheet names "f.bin", a small image beside it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <filesystem>
#include <fstream>
#include <string>

#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "cdimport/CCDRip.h"

namespace fs = std::filesystem;

// libcdio 2.1 keeps the texts of a cue sheet it gives up on half way (its parser's own copies);
// the reader only ever sees a null image and has nothing to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcdio.so\n"; }

namespace {
const fs::path& Folder() {
    static const fs::path folder = [] {
        char tmpl[] = "/tmp/fuzz_cue_XXXXXX";
        const char* made = mkdtemp(tmpl);
        if (made == nullptr) std::abort();
        const fs::path f(made);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Folder(), ec);
        });
        // 30 frames of a rising pattern: audio and data tracks of the sheets read from it.
        std::ofstream bin(f / "f.bin", std::ios::binary);
        for (int i = 0; i < 30 * 2352; ++i) bin.put(static_cast<char>(i * 7));
        return f;
    }();
    return folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path cue = Folder() / "f.cue";
    {
        std::ofstream out(cue, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CCDRip rip;
    if (!rip.Start()) std::abort();
    std::string error;
    const int index = rip.AddImage(cue.string(), error);
    if (index < 0) return 0;
    rip.SelectDrive(index);
    const int tracks = rip.ReadTOC();
    if (tracks != rip.TrackCount() || tracks > 99) std::abort();
    for (size_t i = 1; i < rip.Toc().size(); ++i)
        if (rip.Toc()[i].start < rip.Toc()[i - 1].start) std::abort();
    for (int i = 0; i < tracks; ++i) {
        rip.TrackName(i);
        rip.TrackTime(i);
        rip.TrackSize(i);
        // Long spans are read the same way; short ones keep the run quick.
        if (rip.TrackFrames(i) > 200) continue;
        AudioFileWav w(Folder().string(), "t.wav");
        PeakBuffers peaks;
        bool aborted = false, failed = false;
        const int64_t bytes = rip.ReadTrack(i, w, 0, peaks, nullptr, 0, aborted, failed);
        if (bytes < 0 || bytes > static_cast<int64_t>(rip.TrackFrames(i)) * CCDRip::kBytesPerFrame) std::abort();
    }
    return 0;
}
