#pragma once
// The import pipeline: bringing an audio file into the library by copy ("import": converted
// into the storage format, or a compressed source cloned byte for byte, into the VDisk) or by
// link (the sample points at the file where it lies). Both make a sample, its peak file and a
// root region named after the file in the folder for new material, and report failure as
// false with the text for the report line.
//
// The importer works on the library objects it is given (the core owns them) and asks a person
// only through the UI port and the raw-format chooser. What the window shows of the result
// (the wave viewer, the region tree, the tape) it reaches through the hooks; each is optional.
//
// Threading: main thread only. The callers stop playback first, so no import overlaps the
// engine's use of the shared peak buffers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/PeakFile.h"

class CRegion;
class CRegionList;
class CSample;
class CSampleList;
class CVDisk;
class UiPort;

// Progress styles of one import or link.
enum ImportProgress : int {
    kProgressOwn = 1,          // own progress window, one bar, no cancel
    kProgressOwnCancel = 2,    // own progress window with "Abort"
    kProgressSecondBar = 3,    // second bar of the caller's two-bar window, no cancel
    kProgressSecondCancel = 4, // second bar of the caller's two-bar window, with cancel
};

// The format of a headerless file, as the "Raw File Type" dialog yields it.
struct RawFileType {
    int32_t bits = 16;
    int32_t sampleType = kRawIntLE; // a byte-order code
    int32_t rate = 44100;
    uint32_t channels = 2;
};

// Asks for the format of a raw file (the window's modal dialog, or the tool's --raw option).
class RawFormatChooser {
public:
    virtual ~RawFormatChooser() = default;
    // False when no format can be had (the file is then not imported).
    virtual bool ChooseRawFormat(const std::string& fileName, RawFileType& format) = 0;
};

// The storage preferences an import follows.
struct ImportSettings {
    int32_t storageMode = kFormatWav; // 0 WAV, 3 KX64, 6 Ogg Vorbis
    int32_t bitRate = 400;            // kbit/s for Ogg Vorbis
    bool transcodeCompressed = true;  // "Transcode Compressed Files"; false: "Clone Compressed Files"
};

class CPrefs;
// The storage preferences as the database keeps them: key 101 (0 none, 1 lossless, 2 HQ, 3 SP,
// 4 LP) and key 100 (1 transcode, 0 clone). Absent keys leave WAV at 400 kbit/s, transcoding.
ImportSettings ImportSettingsFromPrefs(const CPrefs& prefs);
// The storage choice of the menu and of preference key 101 (0 WAV, 1 KX64, 2/3/4 Ogg Vorbis at
// 400/256/128 kbit/s) into the settings; false, and nothing changed, for any other value.
bool ApplyStorageChoice(int choice, ImportSettings& s);
// The preference value of key 101 for a mode and bit rate.
int32_t StorageChoiceFor(const ImportSettings& s);
void StoreImportSettings(CPrefs& prefs, const ImportSettings& s);

// What the window does with the results; every hook may be empty.
struct ImportHooks {
    std::function<void()> clearViewer;                  // before an import streams
    std::function<void(int32_t folderId)> selectFolder; // the new region's folder in the tree
    std::function<void(CRegion& region)> showOnTape;    // the new region becomes the tape's current one
    std::function<void()> clearBrowserSelection;        // at the start of a file loop
    std::function<void()> redrawTapes;                  // at the end of a file loop
};

// The region name of a file: without its folder and one known extension (any case).
std::string RegionNameFor(const std::string& fileName);
// The extensions (lower case, no dot) of the files the probe recognises: those of our own
// readers and, when FFmpeg is there, the usual ones of the files it decodes.
const std::vector<std::string>& ImportExtensions();
// The file dialogs' filter for audio to import or link: the extensions above, then every
// file, with or without an extension.
std::string ImportFileFilter();

// The reader of a format code (WAV, AIFF, SUN, raw, MP3, Ogg Vorbis, FLAC); null otherwise.
std::unique_ptr<AudioFile> MakeSourceReader(int32_t formatCode, const std::string& folder, const std::string& file);
// The writer class of a storage mode: KX64 for 3, Ogg Vorbis for 6, WAV otherwise.
std::unique_ptr<AudioFile> MakeStorageWriter(int32_t storageMode, const std::string& folder, const std::string& file);
// Bits of a new stored file: the source's, at least 16, in storage mode 3 at most 24.
int32_t StorageBits(int32_t storageMode, int32_t sourceBits);

class CImporter {
public:
    static constexpr int32_t kBlockFrames = 32768;

    // vdisk is the table whose current serial new samples get (CVDisk::Table() in the program).
    CImporter(CSampleList& samples, CRegionList& regions, CVDisk& vdisk, PeakBuffers& peaks, UiPort* ui);
    ~CImporter();
    CImporter(const CImporter&) = delete;
    CImporter& operator=(const CImporter&) = delete;

    void SetSettings(const ImportSettings& s) { m_settings = s; }
    const ImportSettings& Settings() const { return m_settings; }
    void SetRawChooser(RawFormatChooser* chooser) { m_raw = chooser; }
    void SetHooks(ImportHooks hooks) { m_hooks = std::move(hooks); }

    // Import by copy. On failure message holds the reason and cancelled tells whether the
    // user aborted; nothing of the attempt is left in the VDisk or the library.
    bool Import(const std::string& folder, const std::string& file, std::string& message, int style, bool& cancelled);
    // Link. found: the file is one the Found scan found in the VDisk without a sample.
    bool Link(const std::string& folder, const std::string& file, std::string& message, int style, bool& cancelled,
              bool found = false);

    // The root region made by the last successful call (owned by the region list).
    CRegion* LastRegion() const { return m_last; }

    // An import, link or file loop is under way (it lets the window's events through, so other
    // commands can run meanwhile): its file in the VDisk has no sample yet.
    bool Busy() const { return m_busy > 0; }

    // The file loop of the window: the double progress dialog, one import or link per file,
    // the report. paths are full paths. showReport is the "Show '... Audio' Reports" item: the
    // report is shown when it is set, and the report's own check box clears it.
    struct LoopResult {
        int succeeded = 0;
        int failed = 0;
        bool aborted = false;
    };
    LoopResult RunFileLoop(const std::vector<std::string>& paths, bool link, bool& showReport);

private:
    std::unique_ptr<AudioFile> OpenSource(const std::string& folder, const std::string& file, std::string& message,
                                          int32_t& code);
    void ShowProgress(int style, int percent);
    bool Cancelled(int style) const;
    void ApplyTags(const AudioFile& from, CRegion& region) const;
    // Streams the whole source through the peak builder (and the target when given). Returns
    // the frames read; cancelled when the user aborted.
    int64_t Stream(AudioFile& source, AudioFile* target, int style, bool& cancelled);

    // Counts the calls under way; see Busy.
    struct BusyScope {
        explicit BusyScope(int& n) : count(n) { ++count; }
        ~BusyScope() { --count; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        int& count;
    };
    int m_busy = 0;

    CSampleList& m_samples;
    CRegionList& m_regions;
    CVDisk& m_vdisk;
    PeakBuffers& m_peaks;
    UiPort* m_ui;
    RawFormatChooser* m_raw = nullptr;
    ImportSettings m_settings;
    ImportHooks m_hooks;
    int m_overall = 0;
    CRegion* m_last = nullptr;
    std::vector<float> m_block;    // the stereo float buffer of one block
    std::vector<int16_t> m_stored; // one block of stored 16-bit samples (the short way)
};
