#pragma once
// The export formats: which writers this build offers, the entries of the export format
// list in their order with the code and extension of each, and the writer for a writer code.
//
// Threading: constant tables; CreateExportWriter makes a new object for the caller.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/FormatCode.h"

class AudioFile;
class ExtEncoderList;

// Whether the encoder library of a compressed format was present at build time.
bool Mp3Available();
bool AacAvailable();
bool WmaAvailable();
bool FlacAvailable();
bool VorbisAvailable();

// The MP3 bit rates of the bit-rate box, in kbit/s (32 .. 320).
const std::vector<int32_t>& Mp3BitRates();
// The WMA bit rates (48 .. 160).
const std::vector<int32_t>& WmaBitRates();
bool IsMp3Kbps(int32_t kbps);

// One entry of the export format list.
struct ExportFormatEntry {
    std::string caption;    // "WAV", "MP3", ... or the encoder's name
    int32_t formatCode = 0; // the list's own code; -1 for an external encoder
    int32_t writerCode = 0; // the audio file format code of the writer
    std::string extension;  // with the dot
    int32_t encoderIndex = -1;
};

// WAV, AIFF, RAW, SUN, then WMA, OGG, MP3, AAC, FLAC when available, then each external
// encoder by its name in list order (writer code 0, the intermediate WAV).
std::vector<ExportFormatEntry> BuildExportFormatList(const ExtEncoderList* encoders);

// The file name extension of a writer code (".wav", ".aif", ...); "" for none.
std::string WriterExtension(int32_t writerCode);

// A new writer for the code on folder and file name; null when this build has no writer for
// it (the storage format, a missing library).
std::unique_ptr<AudioFile> CreateExportWriter(int32_t writerCode, const std::string& folder, const std::string& name);
