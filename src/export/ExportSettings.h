#pragma once
// The export form's choices without the form: which depth, channel and bit-rate boxes each
// format shows and what their entries mean, the file-name character rule, and the names of
// an item's files. The window's export form and the command-line export both use these.
//
// Threading: pure functions.

#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportFormats.h"

class ExtEncoderList;

// The boxes of the export form for one format entry. Empty lists are hidden boxes.
struct FormatBoxes {
    std::vector<std::string> depths; // the depth box entries
    bool channelBox = false;         // "Stereo", "Mono"
    std::vector<int32_t> bitRates;   // kbit/s; shown as "%dkbps"
    int32_t bitRateStart = 128;      // the entry selected when the format is chosen
};
FormatBoxes BoxesFor(const ExportFormatEntry& entry, const ExtEncoderList* encoders);

// Bits and sample encoding of depth entry index for a writer code: 0 → 16, 1 → 24, 2 → 32,
// 3 → 32 float (encoding 1); RAW entries 0–3 little-endian (16, 16, 16, 20), 4–7 big-endian
// (17, 17, 17, 21). A hidden depth box (index −1) means 16 bits, encoding 0. False for an
// entry the format does not have.
bool DepthSetting(int32_t writerCode, int32_t index, int32_t& bits, int32_t& encoding);

// The nine characters file names may not hold (< > : \ " / | * ?) become underscores.
std::string SafeFileName(const std::string& name);

// The name of item i (0-based): "Base Name / Index" gives base and startIndex + i with no
// separator or leading zeros; "Region Name" the region's name.
std::string ItemName(bool baseNameIndex, const std::string& base, int32_t startIndex, int32_t i,
                     const std::string& regionName);

// The files of one item: the file the writer makes, and for an external encoder the file the
// encoder makes from it (else empty).
struct ItemFiles {
    std::string rendered;
    std::string encoded;
};
ItemFiles ItemFileNames(const ExportFormatEntry& entry, const std::string& name);

// The output folder of an export from the chosen folder and the subfolder box. False with the
// message to show: "No export path selected." without a folder; with a subfolder (its nine
// characters made underscores) "Can't access selected export path." when the folder can't
// be entered, "Can't create selected subfolder." when the subfolder is absent and can't be
// made. The subfolder is made when absent.
bool PrepareOutputFolder(const std::string& folder, const std::string& subfolder, std::string& output,
                         std::string& message);

// Where the regions come from: the VTape in tape order, or the region browser's selection.
enum ExportSource : int32_t { kExportFromVTape = 1, kExportFromBrowser = 2 };

// What the export form (or the command line) chose. Boxes the format hides are ignored.
struct ExportChoice {
    ExportFormatEntry format; // an entry of BuildExportFormatList
    int32_t depthIndex = 0;   // the depth box entry
    bool mono = false;        // the channel box shows "Mono"
    int32_t kbps = 128;       // the bit-rate box
    std::string folder;       // the chosen folder; empty when none was chosen
    std::string subfolder;    // the "SubFolder" box
    bool baseNameIndex = false;
    std::string baseName = "Master";
    int32_t startIndex = 1;
    // "Loudness": off keeps the export exactly as it always was. On, every file (or, as an
    // album, all of them together) is brought to the target integrated loudness by a gain
    // ahead of the valve amplifier's limiter.
    bool loudness = false;
    double loudnessTarget = -14.0; // LUFS
    bool loudnessAlbum = false;    // "As album": one gain for all, measured over all
};

// The target presets of the form's "Loudness" box, in LUFS: streaming, -16, broadcast.
inline constexpr double kLoudnessPresets[] = {-14.0, -16.0, -23.0};
// Targets outside this span are refused (the form's number box and the tool's option).
inline constexpr double kLoudnessTargetMin = -70.0;
inline constexpr double kLoudnessTargetMax = 0.0;

// The settings one export runs with, derived from the choice.
struct ExportSettings {
    int32_t writerCode = 0;
    int32_t bits = 16;
    int32_t sampleEncoding = 0;
    int32_t channels = 2;
    int32_t kbps = 128;
    int32_t bps = 128000;
    int32_t encoderIndex = -1; // the external encoder's profile, -1 for a writer of our own
    std::string extension;     // of the file the user gets
    std::string formatCaption; // "WAV", "FLAC", or the profile's name
};

// The settings of a choice. False with a message when the choice holds a value its format's
// boxes do not offer (only the command line can give one).
bool DeriveExportSettings(const ExportChoice& choice, const ExtEncoderList* encoders, ExportSettings& out,
                          std::string& error);


// The format as the report names it: "WAV 24-bit", "RAW 32-bit float big-endian", "MP3 128
// kbit/s mono", or the profile's name for an external encoder.
std::string ExportFormatText(const ExportSettings& s);
