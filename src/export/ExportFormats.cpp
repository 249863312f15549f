#include "export/ExportFormats.h"

#include <algorithm>

#include "audiofile/AudioFileFactory.h"
#include "export/ExtEncoders.h"
#if SONQUIL_HAVE_MP3
#include "export/AudioFileMp3Writer.h"
#endif
#if SONQUIL_HAVE_FLAC
#include "export/AudioFileFlacWriter.h"
#endif
#if SONQUIL_HAVE_AAC
#include "export/AudioFileAac.h"
#include "export/AudioFileWma.h"
#endif

bool Mp3Available() {
#if SONQUIL_HAVE_MP3
    return true;
#else
    return false;
#endif
}
bool AacAvailable() {
#if SONQUIL_HAVE_AAC
    return true;
#else
    return false;
#endif
}
bool WmaAvailable() {
#if SONQUIL_HAVE_WMA
    return true;
#else
    return false;
#endif
}
bool FlacAvailable() {
#if SONQUIL_HAVE_FLAC
    return true;
#else
    return false;
#endif
}
// The Ogg Vorbis writer belongs to the audio file library, which always links libvorbisenc.
bool VorbisAvailable() { return true; }

const std::vector<int32_t>& Mp3BitRates() {
    static const std::vector<int32_t> rates{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return rates;
}

const std::vector<int32_t>& WmaBitRates() {
    static const std::vector<int32_t> rates{48, 64, 80, 96, 128, 160};
    return rates;
}

bool IsMp3Kbps(int32_t kbps) {
    const auto& r = Mp3BitRates();
    return std::find(r.begin(), r.end(), kbps) != r.end();
}

std::string WriterExtension(int32_t writerCode) {
    switch (writerCode) {
    case kFormatWav: return ".wav";
    case kFormatAiff: return ".aif";
    case kFormatMp3: return ".mp3";
    case kFormatAac: return ".aac";
    case kFormatWma: return ".wma";
    case kFormatVorbis: return ".ogg";
    case kFormatFlac: return ".flac";
    case kFormatSun: return ".snd";
    case kFormatRaw: return ".raw";
    default: return "";
    }
}

std::vector<ExportFormatEntry> BuildExportFormatList(const ExtEncoderList* encoders) {
    std::vector<ExportFormatEntry> list;
    auto add = [&](const char* caption, int32_t code, int32_t writer) {
        list.push_back({caption, code, writer, WriterExtension(writer), -1});
    };
    add("WAV", 0, kFormatWav);
    add("AIFF", 1, kFormatAiff);
    add("RAW", 8, kFormatRaw);
    add("SUN", 7, kFormatSun);
    if (WmaAvailable()) add("WMA", 4, kFormatWma);
    if (VorbisAvailable()) add("OGG", 5, kFormatVorbis);
    if (Mp3Available()) add("MP3", 2, kFormatMp3);
    if (AacAvailable()) add("AAC", 3, kFormatAac);
    if (FlacAvailable()) add("FLAC", 6, kFormatFlac);
    if (encoders) {
        for (int i = 0; i < encoders->Count(); ++i) {
            const ExtEncoderProfile& p = encoders->At(i);
            list.push_back({p.name, -1, kFormatWav, "." + p.extension, i});
        }
    }
    return list;
}

std::unique_ptr<AudioFile> CreateExportWriter(int32_t writerCode, const std::string& folder, const std::string& name) {
    switch (writerCode) {
    // The PCM formats and Ogg Vorbis read and write in one class, made by the audio file factory;
    // KX64 is a storage format only and is never exported.
    case kFormatWav:
    case kFormatAiff:
    case kFormatSun:
    case kFormatRaw:
    case kFormatVorbis: {
        std::string unused;
        return MakeAudioFile(writerCode, folder, name, unused);
    }
    // The encoders that only write live here.
#if SONQUIL_HAVE_MP3
    case kFormatMp3: return std::make_unique<AudioFileMp3Writer>(folder, name);
#endif
#if SONQUIL_HAVE_FLAC
    case kFormatFlac: return std::make_unique<AudioFileFlacWriter>(folder, name);
#endif
#if SONQUIL_HAVE_AAC
    case kFormatAac: return std::make_unique<AudioFileAac>(folder, name);
    case kFormatWma: return std::make_unique<AudioFileWma>(folder, name);
#endif
    default: return nullptr;
    }
}
