#pragma once
// The AudioFile factory: which class reads and writes the files of each format code, and how a
// file from outside the library finds its reader. The classes stand in one table in
// AudioFileFactory.cpp; a new reader or writer is one row there.
//
// Failure is a null result with a message.
// Threading: any thread; nothing here keeps state.

#include <cstdint>
#include <memory>
#include <string>

#include "audiofile/AudioFile.h"

// The name of a format code: "WAV", "AIFF", "MP3", "KX64", "AAC", "WMA", "Ogg Vorbis", "FLAC",
// "SUN", "raw"; "unknown" for any other number.
const char* FormatName(int32_t code);

// A new, unopened object for the files of a format code. Null with "no reader or writer for
// MP3 files" (by the format's name) when no class handles the code yet.
std::unique_ptr<AudioFile> MakeAudioFile(int32_t code, const std::string& folder, const std::string& name,
                                         std::string& error);

// Headerless PCM says nothing about itself: whoever opens it states its layout.
struct RawFormat {
    int32_t rate = 44100;
    uint32_t channels = 2;
    int32_t bits = 16;
    int32_t sampleType = kRawIntLE; // a byte-order code (AudioFile.h)
};

// The format of a file from outside the library, by ProbeFormat (with the Ogg Vorbis test
// registered). -1 with the probe's message when no format fits.
int32_t ProbeAudioFile(const std::string& folder, const std::string& name, std::string& error);

// Opens a file of the given format for reading. A raw file needs raw; without it the result is
// null with "raw files need their rate, channels and bits". Null with the reader's message
// when the file does not open.
std::unique_ptr<AudioFile> OpenAudioFileRead(int32_t code, const std::string& folder, const std::string& name,
                                             const RawFormat* raw, std::string& error);

// ProbeAudioFile, then OpenAudioFileRead. code is the probed format, -1 when none fits.
std::unique_ptr<AudioFile> OpenAudioFileByProbe(const std::string& folder, const std::string& name,
                                                const RawFormat* raw, int32_t& code, std::string& error);

// The writer an output file's extension names, in any case: "wav"; "aif", "aiff"; "snd", "au";
// "kx64"; "raw", "pcm". sampleType is what to pass to OpenWrite: integer samples, and for raw
// files little-endian integers. Null with "no writer for the extension of NAME (wav, aif,
// aiff, snd, au, kx64, raw, pcm)" for any other name.
std::unique_ptr<AudioFile> MakeWriterForExtension(const std::string& folder, const std::string& name,
                                                  int32_t& sampleType, std::string& error);

// A path as the folder and the name within it; "." is the folder of a bare name.
void SplitAudioPath(const std::string& path, std::string& folder, std::string& name);
