#pragma once
// CVDisk: the table of VDisk locations and the dialogues that create, check and find the
// VDisk, the folder that holds the library's own audio files and every peak file.
// Samples refer to a VDisk by its serial, so a moved VDisk only needs its new location once.
//
// Threading: main thread only, during start-up and while the library is used.

#include <cstdint>
#include <string>
#include <string_view>

class UiPort;

class CVDisk {
public:
    static constexpr int kMaxEntries = 64;
    static constexpr int kLocationSize = 512; // at most 511 bytes of location

    struct Entry {
        int32_t serial = 0;
        std::string location; // the chosen folder, without "/VDisk"
    };

    // The process-wide table that samples look their folder up in.
    static CVDisk& Table();

    int Count() const { return m_count; }
    // Entry i; an empty entry when i is out of range.
    const Entry& At(int i) const;
    // Appends; false when the table is full or the location does not fit its field.
    bool Add(int32_t serial, const std::string& location);
    void Clear();

    // Serial of entry 0 (0 when the table is empty).
    int32_t CurrentSerial() const;
    // "<location>/VDisk" of the first entry with that serial; false (folder empty) when none.
    bool FolderOf(int32_t serial, std::string& folder) const;

    // The location, its VDisk folder and System folder exist, "Serial" opens and holds serial.
    static bool Check(const std::string& location, int32_t serial);
    // First start: asks for a location and makes a VDisk there, or takes the VDisk that is
    // already there; false when the user cancels.
    bool Create(UiPort& ui);
    // Asks for the new location of a moved VDisk (its parent or the VDisk folder itself);
    // false when the user cancels.
    bool Locate(UiPort& ui);
    // After the table has been loaded: fails on an empty table, checks entry 0 and otherwise
    // empties the table and runs Locate.
    bool CheckOnLoad(UiPort& ui);

    // A free name for a new audio file in folder: 12 digits from the local date and time; when
    // taken, the next second's name, and so on. False when no free name is found.
    static bool NewFileName(const std::string& folder, std::string& name);
    // The 12-digit name of a moment.
    static std::string NameForTime(int64_t secondsSinceEpoch);

    // Reading the "Serial" file's text. Number: an optionally signed decimal after leading
    // white space (what the check reads). Word: the first white-space-delimited word, converted
    // the way the locate dialogue does (leading sign and digits; 0 when none). Both fail on
    // text without the expected item.
    static bool ParseSerialNumber(std::string_view text, int32_t& serial);
    static bool ParseSerialWord(std::string_view text, int32_t& serial);
    // Reads the start of a "Serial" file (bounded); false when it cannot be opened.
    static bool ReadSerialFile(const std::string& path, std::string& text);

private:
    // Takes the VDisk lying at path (or path itself when it is a VDisk folder) as the next
    // entry; false when there is none.
    bool AdoptExisting(std::string path);
    Entry m_entries[kMaxEntries];
    int m_count = 0;
};
