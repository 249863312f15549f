#include "audiofile/FormatProbe.h"

#include <atomic>
#include <cctype>
#include <cstring>

#include "common/TextCase.h"
#include "audiofile/AudioFile.h"
#include "audiofile/AudioFileAiff.h"
#ifdef SONQUIL_HAVE_FFMPEG_READER
#include "audiofile/AudioFileFFmpeg.h"
#endif
#include "audiofile/CFile.h"

namespace {

std::atomic<VorbisAcceptFn> g_vorbisProbe{nullptr};

class ProbeFile : public CFile {
public:
    using CFile::CFile;
    bool Open() { return OpenForRead(); }
};

// The last resort: whatever the installed FFmpeg decodes.
bool FfmpegAccepts(const std::string& folder, const std::string& name) {
#ifdef SONQUIL_HAVE_FFMPEG_READER
    return AudioFileFFmpeg::Accepts(folder, name);
#else
    (void)folder;
    (void)name;
    return false;
#endif
}

} // namespace

void SetVorbisProbe(VorbisAcceptFn fn) { g_vorbisProbe.store(fn); }

int ProbeFormat(const std::string& folder, const std::string& name, std::string& message) {
    ProbeFile f(folder, name);
    if (!f.FolderExists()) {
        message = "Can't access input folder.";
        return -1;
    }
    if (VorbisAcceptFn vorbis = g_vorbisProbe.load(); vorbis && vorbis(f.FullPath())) return kFormatVorbis;
    if (!f.Open()) {
        message = "Can't open file.";
        return -1;
    }
    char head[12] = {};
    const int64_t got = f.Read(head, 12);
    f.Close();
    if (got < 4) {
        message = "No data found (truncated?).";
        return -1;
    }
    // Our own storage format first: a KX64 file in the VDisk has no extension, and a sample
    // record that lost it must still be recognised (the Found scan recovers it).
    if (std::memcmp(head, "KX64", 4) == 0) return kFormatKX64;
    if (EndsWithNoCase(name, ".raw")) return kFormatRaw;
    if (EndsWithNoCase(name, ".mp3")) return kFormatMp3;
    if (std::memcmp(head, "RIFF", 4) == 0) return kFormatWav;
    if (std::memcmp(head, "FORM", 4) == 0) {
        // AIFF-C whose samples are coded (GSM, IMA ADPCM, ...) is FFmpeg's to decode.
        if (got >= 12 && std::memcmp(head + 8, "AIFC", 4) == 0) {
            AudioFileAiff aiff(folder, name);
            const bool coded = !aiff.OpenRead() && aiff.UnsupportedCompression();
            aiff.Close();
            if (coded && FfmpegAccepts(folder, name)) return kFormatFFmpeg;
        }
        return kFormatAiff;
    }
    if (std::memcmp(head, ".snd", 4) == 0) return kFormatSun;
    if (std::memcmp(head, "fLaC", 4) == 0) return kFormatFlac;
    if (FfmpegAccepts(folder, name)) return kFormatFFmpeg;
    message = "Format is not supported.";
    return -1;
}
