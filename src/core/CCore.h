#pragma once
// CCore: the program without its window. It owns every long-lived object of start-up, creates
// them in their fixed order and ends them in the shutdown order; everything else reaches them
// through it. The window (TForm1) builds one core and adds only widgets and views; sonquil-cli
// builds the same core, so both run one chain, one library and (later) one engine.
//
// Start-up order of the objects: DSP engine module and its work buffers; dither engine, sample
// list, region list, preset list, play list and transport, equaliser, compressor, stereo imager,
// valve amplifier, the storage-format tables and the plug-in folders; the CD reader and the
// CDDB settings; the library from the database file; the sound devices, the swapper, the audio
// thread and the disk thread; the CD drive list.
// Shutdown stops the transport, lets the engine fall idle, ends both threads and the swapper,
// saves the library (only after a complete start-up), then ends the objects in reverse, the
// dither engine last before the module.
//
// Threading: main thread only. The objects it hands out state their own threading rules.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "core/EngineSnapshot.h"
#include "library/CDatabase.h"

class UiPort;
class MainThreadPort;
class CDSPEngine;
class CDitherEngine;
class CSampleList;
class CRegionList;
class CPresetList;
class CParaEQ4B;
class CCompressor;
class CStereoImager;
class CTubeAmp;
class CDSPStack;
class CProcessor;
class CPrefs;
class CVSTFolders;
class CPlayList;
class CTransport;
class CSwapper;
class AudioIOThread;
class DiskIOThread;
class DriverProbe;
class DriverProbePortAudio;
class CNullDevice;
class CDeviceList;
class CDSPPreset;
class CRegion;
class ExtEncoderList;
class SingleInstance;
class CCDRip;
struct CCDDBPrefs;

struct CoreOptions {
    // The folder that holds "AudioDB" (the executable's folder, or sonquil-cli's --library).
    std::filesystem::path baseFolder;
    // Open (or create) the library; a render of loose files needs none.
    bool withLibrary = true;
    // Start-up trace; none is opened by default.
    std::ostream* trace = nullptr;
    // Runs after the DSP engine module is loaded and before the objects are made (the window
    // checks the screen there). False ends the start-up.
    std::function<bool()> beforeObjects;
    // Reach the machine's sound cards through PortAudio; without it only the null device is
    // listed (tests, and tools that never play).
    bool withSoundCards = true;
};

class CCore {
public:
    // LibraryInUse: another process (a window or a tool, of any session or user) holds the
    // library's lock; nothing of the library was read or written.
    enum class StartResult { Running, DSPEngineMissing, Refused, LibraryFailed, LibraryInUse };

    CCore(UiPort& ui, MainThreadPort& mainThread);
    ~CCore();
    CCore(const CCore&) = delete;
    CCore& operator=(const CCore&) = delete;

    // The start-up of everything that is not a window. Anything but Running means the program
    // must end; Stop() then ends what was made without saving.
    StartResult Start(const CoreOptions& options);
    // The last step of the program's start-up: from now on Stop() saves the library.
    void MarkStartupComplete() { m_startupComplete = true; }
    bool StartupComplete() const { return m_startupComplete; }

    // The shutdown order. beforeSave runs just before the library is saved (the window copies
    // its settings into the preferences there). True when nothing needed saving or the save
    // worked. A second call does nothing.
    bool Stop(const std::function<void()>& beforeSave = {});

    // The process-wide references (null before Start made them, and after Stop).
    UiPort& Ui() const { return m_ui; }
    MainThreadPort& MainThread() const { return m_mainThread; }
    CDSPEngine& DSPEngine() const;
    CDitherEngine* Dither() const { return m_dither.get(); }
    CSampleList* SampleList() const { return m_sampleList.get(); }
    CRegionList* RegionList() const { return m_regionList.get(); }
    CPresetList* PresetList() const { return m_presetList.get(); }
    CParaEQ4B* Equaliser() const { return m_eq.get(); }
    CCompressor* Compressor() const { return m_compressor.get(); }
    CStereoImager* StereoImager() const { return m_imager.get(); }
    CTubeAmp* ValveAmp() const { return m_valveAmp.get(); }
    CDSPStack* Stack() const { return m_stack.get(); }
    CPrefs* Prefs() const { return m_prefs.get(); }
    CVSTFolders* VSTFolders() const { return m_vstFolders.get(); }
    CDatabase* Database() const { return m_database.get(); }
    CPlayList* PlayList() const { return m_playList.get(); }
    CTransport* Transport() const { return m_transport.get(); }
    CSwapper* Swapper() const { return m_swapper.get(); }
    AudioIOThread* AudioThread() const { return m_audio.get(); }
    DiskIOThread* DiskThread() const { return m_disk.get(); }
    // The device list of board setup and the audio thread: the sound cards, then the null device.
    CDeviceList* Devices() const { return m_devices.get(); }
    CNullDevice* NullDevice() const { return m_nullDevice.get(); }
    // The processor of a kind (0 valve amplifier, 1 equaliser, 2 compressor, 3 stereo imager).
    CProcessor* Processor(int kind) const;
    // The objects the database file keeps.
    DbLibrary Library() const;
    const std::filesystem::path& BaseFolder() const { return m_baseFolder; }

    // The external encoder profiles: read from BaseFolder()/"Encoders.dat" when the library
    // opens, written back by Stop() only after a complete start-up (a list that was never
    // read must not replace the user's file).
    ExtEncoderList& Encoders() const { return *m_encoders; }
    std::filesystem::path EncodersPath() const { return m_baseFolder / "Encoders.dat"; }

    // The CD reader, made at start-up ("Starting CD service") and given its drive list
    // ("Refreshing CD drives"); null when the CD service cannot start (no CD import then).
    CCDRip* CDRip() const { return m_cdRip.get(); }
    // The CDDB settings: the defaults, then BaseFolder()/"CDDBPrefs.dat" when the start-up opens
    // the library; written back by Stop() after a complete start-up with a library (silently,
    // as the settings dialog's end of run does).
    CCDDBPrefs& CDDBPrefs() const { return *m_cddbPrefs; }
    std::filesystem::path CDDBPrefsPath() const { return m_baseFolder / "CDDBPrefs.dat"; }
    // The CDDB lookup of the disc in the selected drive (questions and messages through Ui()),
    // then the track list read again. True when titles were found. "cdplayer.ini" is looked for
    // in BaseFolder().
    bool CDDBLookup();

    // Recalls a region's DSP snap into the processors whenever a region becomes the one being
    // worked on (a click in the region list or on a tape, an audition, an export item): the
    // current snap in edit mode or when the region has no favourite, else the favourite.
    // Applying while playing changes the sound from the next block on (the controls are atomics
    // the audio thread reads once per block). The plug-in chain's part comes with the chain. "Bypass All", "Bypass Dsp"
    // and "Mono Check" stay as they are. False when that index names no snap.
    bool ApplyRegionSnap(const CRegion& region, bool editMode);

    // What the engine has published, read once per main-timer tick. The previous snapshot tells
    // whether the play position moved.
    EngineSnapshot Snapshot() const;

    // Applies a preset as clicking it in the preset list does: the equaliser, the compressor,
    // the stereo imager and the valve amplifier take the values its block holds for them (a
    // one-processor preset leaves the others as they are).
    void ApplyPreset(const CDSPPreset& preset);
    // Sets one DSP parameter by (kind, id); false with a message when there is no such one.
    bool SetParameter(int kind, int id, float value, std::string& error);

    // The format new sample files are made in (0 WAV, 3 KX64, 6 Ogg Vorbis) and the bit rate of
    // the lossy modes.
    int StorageMode() const { return m_storageMode; }
    int LossyBitRate() const { return m_lossyBitRate; }
    void SetStorageMode(int mode, int kbps);

    // The file of a take not yet finished as a sample (empty when none): from the start of a
    // recording until its sample exists, also while the transport already stopped. The Found
    // scan leaves the VDisk alone meanwhile, or it would claim the take's file first.
    const std::string& OpenTakeFile() const { return m_openTake; }
    void SetOpenTakeFile(std::string path) { m_openTake = std::move(path); }

private:
    void Trace(const char* step);
    bool LoadDSPEngine();
    void CreateObjects();
    bool OpenLibrary();
    void LoadEncoders();
    void StartEngine(bool withSoundCards);
    void StopEngine();

    UiPort& m_ui;
    MainThreadPort& m_mainThread;
    std::filesystem::path m_baseFolder;
    std::ostream* m_trace = nullptr;
    bool m_started = false;
    bool m_stopped = false;
    bool m_startupComplete = false;
    bool m_dspLoaded = false;
    int m_storageMode = 0;
    int m_lossyBitRate = 400;
    std::string m_openTake;

    // In the order Start makes them.
    std::unique_ptr<CDitherEngine> m_dither;
    std::unique_ptr<CSampleList> m_sampleList;
    std::unique_ptr<CRegionList> m_regionList;
    std::unique_ptr<CPresetList> m_presetList;
    std::unique_ptr<CPlayList> m_playList;
    std::unique_ptr<CTransport> m_transport;
    std::unique_ptr<CParaEQ4B> m_eq;
    std::unique_ptr<CCompressor> m_compressor;
    std::unique_ptr<CStereoImager> m_imager;
    std::unique_ptr<CTubeAmp> m_valveAmp;
    std::unique_ptr<CDSPStack> m_stack;
    std::unique_ptr<CPrefs> m_prefs;
    std::unique_ptr<CVSTFolders> m_vstFolders;
    std::unique_ptr<CDatabase> m_database;
    // Held from the opening of the library until after its save.
    std::unique_ptr<SingleInstance> m_libraryLock;
    std::unique_ptr<CCDRip> m_cdRip;
    std::unique_ptr<CCDDBPrefs> m_cddbPrefs;
    bool m_libraryInUse = false;
    std::unique_ptr<ExtEncoderList> m_encoders;
    bool m_encodersLoaded = false;
    std::unique_ptr<DriverProbePortAudio> m_soundCards;
    std::unique_ptr<CNullDevice> m_nullDevice;
    std::unique_ptr<CDeviceList> m_devices;
    std::unique_ptr<CSwapper> m_swapper;
    std::unique_ptr<AudioIOThread> m_audio;
    std::unique_ptr<DiskIOThread> m_disk;
    mutable int32_t m_lastCursor = 0; // the play cursor the previous snapshot saw
};
