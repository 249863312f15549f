#include "audiofile/AudioFileFactory.h"

#include <cctype>
#include <cstring>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileFlac.h"
#ifdef SONQUIL_HAVE_FFMPEG_READER
#include "audiofile/AudioFileFFmpeg.h"
#endif
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileMp3.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/FormatProbe.h"

namespace {

using Maker = std::unique_ptr<AudioFile> (*)(const std::string& folder, const std::string& name);

template <typename T> std::unique_ptr<AudioFile> Make(const std::string& folder, const std::string& name) {
    return std::make_unique<T>(folder, name);
}

struct FormatEntry {
    int32_t code;
    const char* name;
    Maker make; // null while no class reads or writes the format
};

// Every format code, with the class that handles it. A reader or writer for a format that has
// none yet goes in its row.
const FormatEntry kFormats[] = {
    {kFormatWav, "WAV", Make<AudioFileWav>},
    {kFormatAiff, "AIFF", Make<AudioFileAiff>},
    {kFormatMp3, "MP3", Make<AudioFileMp3>},
    {kFormatKX64, "KX64", Make<AudioFileKX64>},
    {kFormatAac, "AAC", nullptr},
    {kFormatWma, "WMA", nullptr},
    {kFormatVorbis, "Ogg Vorbis", Make<AudioFileVorbis>},
    {kFormatFlac, "FLAC", Make<AudioFileFlac>},
    {kFormatSun, "SUN", Make<AudioFileSUN>},
    {kFormatRaw, "raw", Make<AudioFileRaw>},
#ifdef SONQUIL_HAVE_FFMPEG_READER
    {kFormatFFmpeg, "FFmpeg", Make<AudioFileFFmpeg>},
#else
    {kFormatFFmpeg, "FFmpeg", nullptr},
#endif
};

const FormatEntry* Find(int32_t code) {
    for (const FormatEntry& e : kFormats)
        if (e.code == code) return &e;
    return nullptr;
}

struct ExtensionEntry {
    const char* extension;
    int32_t code;
};

// The writers an output file's extension names.
const ExtensionEntry kWriterExtensions[] = {
    {"wav", kFormatWav}, {"aif", kFormatAiff},  {"aiff", kFormatAiff}, {"snd", kFormatSun},
    {"au", kFormatSun},  {"kx64", kFormatKX64}, {"raw", kFormatRaw},   {"pcm", kFormatRaw},
};

std::string LowerExtension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    std::string e = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

} // namespace

const char* FormatName(int32_t code) {
    const FormatEntry* e = Find(code);
    return e != nullptr ? e->name : "unknown";
}

std::unique_ptr<AudioFile> MakeAudioFile(int32_t code, const std::string& folder, const std::string& name,
                                         std::string& error) {
    const FormatEntry* e = Find(code);
    if (e == nullptr || e->make == nullptr) {
        error = std::string("no reader or writer for ") + FormatName(code) + " files";
        return nullptr;
    }
    return e->make(folder, name);
}

int32_t ProbeAudioFile(const std::string& folder, const std::string& name, std::string& error) {
    // Ogg Vorbis is linked in, so its test is always there: every front-end that probes through
    // the factory (the tool's probe, convert and render) recognises Ogg files by their content.
    static const bool vorbisRegistered = (AudioFileVorbis::RegisterWithProbe(), true);
    (void)vorbisRegistered;
    return ProbeFormat(folder, name, error);
}

std::unique_ptr<AudioFile> OpenAudioFileRead(int32_t code, const std::string& folder, const std::string& name,
                                             const RawFormat* raw, std::string& error) {
    if (code == kFormatRaw && raw == nullptr) {
        error = "raw files need their rate, channels and bits";
        return nullptr;
    }
    std::unique_ptr<AudioFile> file = MakeAudioFile(code, folder, name, error);
    if (!file) return nullptr;
    if (code == kFormatRaw) {
        file->rate = raw->rate;
        file->channels = raw->channels;
        file->bits = raw->bits;
        file->sampleType = raw->sampleType;
    }
    if (!file->OpenRead()) {
        error = file->ErrorText().empty() ? "Can't open file." : file->ErrorText();
        return nullptr;
    }
    return file;
}

std::unique_ptr<AudioFile> OpenAudioFileByProbe(const std::string& folder, const std::string& name,
                                                const RawFormat* raw, int32_t& code, std::string& error) {
    code = ProbeAudioFile(folder, name, error);
    if (code < 0) return nullptr;
    return OpenAudioFileRead(code, folder, name, raw, error);
}

std::unique_ptr<AudioFile> MakeWriterForExtension(const std::string& folder, const std::string& name,
                                                  int32_t& sampleType, std::string& error) {
    const std::string e = LowerExtension(name);
    sampleType = kSampleInt;
    for (const ExtensionEntry& w : kWriterExtensions) {
        if (e != w.extension) continue;
        if (w.code == kFormatRaw) sampleType = kRawIntLE;
        return MakeAudioFile(w.code, folder, name, error);
    }
    error = "no writer for the extension of " + name + " (wav, aif, aiff, snd, au, kx64, raw, pcm)";
    return nullptr;
}

void SplitAudioPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}
