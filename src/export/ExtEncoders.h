#pragma once
// The external encoder profiles and their file "Encoders.dat".
//
// A profile names a command-line encoder: its folder and program file, an argument template
// with the placeholders %s (input WAV), %d (output file), %k (kbit/s) and %b (bit/s), the
// extension of what it makes and a name that is unique without regard to case.
//
// "Encoders.dat" (little-endian): int32 reserved (0), int32 count, then count records of
// 1096 bytes: folder[512], program[256], arguments[64], extension[8], name[256], each a
// zero-terminated text. Nothing else.
//
// Texts longer than their fields are refused by Add (they would be cut silently by the
// record and run a different command than the one shown); the reader cuts at the field.
//
// Threading: main thread only.

#include <cstdint>
#include <string>
#include <vector>

struct ExtEncoderProfile {
    std::string folder;    // without a trailing separator
    std::string program;   // file name within the folder
    std::string arguments; // the template
    std::string extension; // without the dot
    std::string name;      // "Friendly Name"

    // The program's full path.
    std::string ProgramPath() const;
    // The template has %k or %b: the export form then shows the bit-rate box.
    bool UsesBitRate() const;
};

// Field sizes of a record (each holds its text and a terminating zero).
constexpr size_t kEncFolderSize = 512;
constexpr size_t kEncProgramSize = 256;
constexpr size_t kEncArgumentsSize = 64;
constexpr size_t kEncExtensionSize = 8;
constexpr size_t kEncNameSize = 256;
constexpr size_t kEncRecordSize = 1096;
constexpr int kEncMaxProfiles = 64;

// Why Add refused a profile; the dialog shows nothing, the command-line tool says it.
enum class ProfileCheck {
    Ok,
    NoProgram,         // 1: no program file chosen
    ProgramUnreadable, // 2: the program does not open for reading
    NoInput,           // 3: the arguments lack %s
    TwoInputs,         // 4: %s twice
    TwoOutputs,        // 5: %d twice
    NoExtension,       // 6
    NoName,            // 7
    TooLong,           // a text longer than its record field
    ListFull,          // 64 profiles and the name is new
};
const char* ProfileCheckText(ProfileCheck c);

class ExtEncoderList {
public:
    int Count() const { return static_cast<int>(m_profiles.size()); }
    const ExtEncoderProfile& At(int i) const { return m_profiles[static_cast<size_t>(i)]; }
    bool UsesBitRate(int i) const { return i >= 0 && i < Count() && At(i).UsesBitRate(); }
    // Index of the profile named name (case ignored), or -1.
    int Find(const std::string& name) const;

    // The seven checks of the dialog, then the record widths.
    static ProfileCheck Check(const ExtEncoderProfile& p);
    // A valid profile replaces the one of the same name (case ignored; it takes the new
    // spelling) or is appended. Returns what the checks found; the list is unchanged unless Ok.
    ProfileCheck Add(const ExtEncoderProfile& p);
    // Removes profile i, moving later ones up; false when i names none.
    bool Delete(int i);
    void Clear() { m_profiles.clear(); }

    // The file's bytes, and the list from bytes. Parse never reads past size; a damaged file
    // keeps the whole records it holds (at most 64) and says what was wrong.
    std::vector<uint8_t> Serialize() const;
    bool Parse(const uint8_t* data, size_t size, std::string& error);

    // A missing file leaves the list empty and is not an error.
    bool Load(const std::string& path, std::string& error);
    // Writes a new file beside the old one and renames it over it, so a failed write never
    // leaves a cut list behind.
    bool Save(const std::string& path, std::string& error) const;

private:
    std::vector<ExtEncoderProfile> m_profiles;
};

// The argument presets of the dialog: caption, arguments, extension.
struct EncoderPreset {
    const char* caption;
    const char* arguments;
    const char* extension;
};
constexpr int kEncoderPresetCount = 7;
extern const EncoderPreset kEncoderPresets[kEncoderPresetCount];
