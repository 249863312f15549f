#pragma once
// CDatabase: the library's one database file "audiodb.adb" in the folder "AudioDB" beside the
// executable, with its four backups. The file is read once at start-up and written once at
// shutdown; nothing keeps it open in between.
//
// Loading decodes the whole file into a separate set of lists first and hands the result to
// the program's objects only when every block was read and the VDisk was found, so a damaged
// file never leaves a half-built library. Saving writes "audiodb.tmp", flushes it to disk and
// only then rotates the backups; a failure at any step puts every file back as it was.
//
// Threading: main thread only, before the audio and disk threads exist (load) or after they
// have ended (save).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "library/CPrefs.h"
#include "library/CPresetList.h"
#include "library/CRegionList.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "library/CVSTFolders.h"
#include "library/DbFileOps.h"

class UiPort;

// The long-lived objects that the database file keeps. All must be set.
struct DbLibrary {
    CPrefs* prefs = nullptr;
    CVDisk* vdisk = nullptr;
    CSampleList* samples = nullptr;
    CRegionList* regions = nullptr;
    CPresetList* presets = nullptr;
    CVSTFolders* vstFolders = nullptr;
};

// The peak data of a sample (left, right pairs interleaved) for regions whose record carries no
// statistics. vdisk is the table of the file being loaded: peak files lie in the VDisk, and the
// program's own table takes the file's entries only once the whole file has been read. False
// when the sample's peak file cannot be read.
using DbPeakSource = std::function<bool(const CSample& sample, const CVDisk& vdisk, std::vector<uint16_t>& pairs)>;

// A whole file decoded, not yet handed to the program.
struct DbContents {
    int32_t fileVersion = 0;
    std::vector<uint8_t> headerReserved;
    CPrefs prefs;
    CVDisk vdisk;
    int32_t sampleCounter = 0;
    int32_t regionCounter = 0;
    int32_t folderCounter = 1000;
    CSampleList samples;
    CRegionList regions;
    bool hasPresets = false;
    CPresetList presets; // user presets only
    bool hasVstFolders = false;
    CVSTFolders vstFolders;
};

// Where encoded bytes go: a file being written, or memory.
class DbSink {
public:
    virtual ~DbSink() = default;
    virtual void Put(const void* data, size_t n) = 0;
};

class CDatabase {
public:
    static constexpr int32_t kFileVersion = 2;
    static constexpr size_t kHeaderSize = 8104;
    static constexpr size_t kHeaderReserved = kHeaderSize - 8;
    static constexpr size_t kVDiskBlockSize = 49416;
    static constexpr size_t kRegionFixedSize = 388;
    static constexpr size_t kRegionNameSize = 256;
    static constexpr size_t kRegionTagsSize = 224;
    static constexpr size_t kOldRegionExtra = 204;

    static constexpr const char* kFolderName = "AudioDB";
    static constexpr const char* kFileName = "audiodb.adb";
    static constexpr const char* kTempName = "audiodb.tmp";
    static constexpr const char* kTestName = "testwrite";

    static constexpr const char* kCaption = "Sonquil";
    static constexpr const char* kNotWritableMessage =
        "Can't write data to the database folder.\nAn administrative-level user account is needed.";
    static constexpr const char* kDamagedMessage =
        "The database file \"audiodb.adb\" is damaged and can't be loaded.\nThe file was left as it is.";
    static constexpr const char* kSaveFailedMessage =
        "The library could not be saved.\nThe database files of the previous save were kept.";

    explicit CDatabase(const std::filesystem::path& exeFolder, DbFileOps& ops = DbFileOps::System());

    std::filesystem::path Folder() const { return m_folder; }
    std::filesystem::path FilePath() const { return m_folder / kFileName; }
    // "audiodb0.adb" to "audiodb3.adb".
    std::filesystem::path BackupPath(int n) const;

    // Whether "audiodb.adb" can be read; makes "AudioDB" when it is absent (answering no).
    bool Exists();
    // Creates and deletes "testwrite". A folder that cannot be entered or written shows the
    // not-writable message (caption "Sonquil") and answers no.
    bool FolderWritable(UiPort& ui);

    // Reads the file into lib. False when it cannot be opened (no message), is damaged (message,
    // caption "Sonquil"), or its VDisk is neither found nor located (the VDisk's messages). On
    // failure lib is unchanged.
    bool Load(const DbLibrary& lib, UiPort& ui);
    // Writes lib. False, with a message (caption "Sonquil"), when any step failed; the previous
    // database and backups are then as they were and no "audiodb.tmp" is left.
    bool Save(const DbLibrary& lib, UiPort& ui);

    // For regions stored without statistics; without a source they keep zero statistics.
    void SetPeakSource(DbPeakSource source) { m_peaks = std::move(source); }

    // The header's reserved area: zeros in a new database, as loaded otherwise.
    const std::vector<uint8_t>& HeaderReserved() const { return m_headerReserved; }

    // The whole file's bytes for lib, in order, into sink.
    void Encode(const DbLibrary& lib, DbSink& sink) const;
    // Decodes a whole file. False with a reason in error when a block is cut short or damaged.
    static bool Decode(const uint8_t* data, size_t size, DbContents& out, std::string& error,
                       const DbPeakSource& peaks = {});
    // Hands decoded contents to the program's objects (samples, regions, user presets, prefs,
    // VST folders, counters; the VDisk table is the caller's business).
    static void Commit(DbContents& in, const DbLibrary& lib);

private:
    std::filesystem::path m_folder;
    DbFileOps& m_ops;
    std::vector<uint8_t> m_headerReserved;
    DbPeakSource m_peaks;
    bool Rotate(const std::filesystem::path& tmp);
};
