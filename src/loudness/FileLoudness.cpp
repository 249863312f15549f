#include "loudness/FileLoudness.h"

#include <memory>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/AudioFileFactory.h"

bool MeasureFileLoudness(const std::string& path, LoudnessMeter& meter, std::string& error,
                         const std::atomic<bool>* cancel, int what) {
    std::string folder, name;
    SplitAudioPath(path, folder, name);
    int32_t code = -1;
    std::unique_ptr<AudioFile> file = OpenAudioFileByProbe(folder, name, nullptr, code, error);
    if (!file) return false;
    if (!meter.Start(file->channels == 1 ? 1u : 2u, file->rate, what, error)) return false;
    // Large blocks: the reader's and the meter's cost per call then hardly counts.
    constexpr int32_t kBlock = 32768;
    std::vector<float> buffer(static_cast<size_t>(kBlock) * 2);
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            error = "Canceled.";
            return false;
        }
        const int32_t n = file->ReadFloat(buffer.data(), kBlock);
        if (n <= 0) break;
        meter.AddStereo(buffer.data(), static_cast<size_t>(n));
    }
    file->Close();
    return true;
}
