#include "core/CCore.h"

#include <chrono>
#include <ostream>

#include "audiofile/PeakFile.h"
#include "audiofile/PeakRebuild.h"
#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/CDDBLookup.h"
#include "common/MainThreadPort.h"
#include "common/ProcessorKind.h"
#include "common/SingleInstance.h"
#include "common/UiPort.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDataInputElement.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "engine/DeviceChoice.h"
#include "engine/DiskIOThread.h"
#include "engine/DriverProbePortAudio.h"
#include "engine/NullDevice.h"
#include "export/ExtEncoders.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CPrefs.h"
#include "library/CPresetList.h"
#include "library/CRegionList.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "library/CVSTFolders.h"
#include "library/Startup.h"

namespace {
const char* kAppTitle = "Sonquil";
}

CCore::CCore(UiPort& ui, MainThreadPort& mainThread)
    : m_ui(ui), m_mainThread(mainThread), m_cddbPrefs(std::make_unique<CCDDBPrefs>()),
      m_encoders(std::make_unique<ExtEncoderList>()) {}

CCore::~CCore() { Stop(); }

CDSPEngine& CCore::DSPEngine() const { return ::DSPEngine(); }

void CCore::Trace(const char* step) {
    if (m_trace) *m_trace << step << "\n";
}

CCore::StartResult CCore::Start(const CoreOptions& options) {
    m_started = true;
    m_baseFolder = options.baseFolder;
    m_trace = options.trace;

    Trace("Starting DSP engine");
    if (!LoadDSPEngine()) return StartResult::DSPEngineMissing;
    if (options.beforeObjects && !options.beforeObjects()) return StartResult::Refused;

    Trace("Creating main objects");
    CreateObjects();
    if (!m_dither->Ok()) {
        // The dither tables are the one large allocation of start-up.
        m_ui.Notice("Not enough memory for the dither tables.", kAppTitle);
        return StartResult::DSPEngineMissing;
    }

    // Without a CD service the program simply has no CD import.
    Trace("Starting CD service");
    m_cdRip = std::make_unique<CCDRip>();
    if (!m_cdRip->Start()) m_cdRip.reset();
    // The settings the CDDB dialog edits: the defaults, then the file beside the library when
    // there is one (a core without a library has no folder of its own to read them from).
    if (options.withLibrary) m_cddbPrefs->Load(CDDBPrefsPath().string());

    if (options.withLibrary) {
        Trace("Opening DB");
        if (!OpenLibrary()) return m_libraryInUse ? StartResult::LibraryInUse : StartResult::LibraryFailed;
        LoadEncoders();
    }
    StartEngine(options.withSoundCards);
    Trace("Refreshing CD drives");
    if (m_cdRip) m_cdRip->ListDrives();
    return StartResult::Running;
}

bool CCore::LoadDSPEngine() {
    CDSPEngine& engine = DSPEngine();
    std::string message;
    if (!engine.Load(message) || !engine.AllocWorkBuffers()) {
        engine.Unload();
        m_ui.Notice("DSPEngine module not found", kAppTitle);
        return false;
    }
    m_dspLoaded = true;
    // The SIMD path whenever the processor has it; the window's menu item can switch it off.
    if (engine.SSESupport()) engine.UseSSE(1);
    return true;
}

void CCore::CreateObjects() {
    // Later the work list, the two tapes and scroll bars, the wave viewer and the audio display
    // take their places among these, in this order.
    CDSPEngine& engine = DSPEngine();
    m_dither = std::make_unique<CDitherEngine>(engine);
    m_sampleList = std::make_unique<CSampleList>();
    m_regionList = std::make_unique<CRegionList>();
    m_presetList = std::make_unique<CPresetList>();
    m_presetList->CreateFactory();
    // The play list comes with the transport, whose play request fills it.
    m_playList = std::make_unique<CPlayList>();
    m_transport = std::make_unique<CTransport>(m_mainThread, *m_playList);
    m_eq = std::make_unique<CParaEQ4B>();
    m_compressor = std::make_unique<CCompressor>(engine);
    m_imager = std::make_unique<CStereoImager>(engine);
    m_valveAmp = std::make_unique<CTubeAmp>(engine, *m_dither);
    m_stack = std::make_unique<CDSPStack>(engine, *m_dither, *m_valveAmp);
    m_stack->SetEqualiser(m_eq.get());
    m_stack->SetStereoImager(m_imager.get());
    m_stack->SetCompressor(m_compressor.get());
    m_prefs = std::make_unique<CPrefs>();
    CVDisk::Table().Clear(); // filled by the database or the first start
    m_vstFolders = std::make_unique<CVSTFolders>();
    m_storageMode = 0;
    m_lossyBitRate = 400;
}

void CCore::LoadEncoders() {
    std::string error;
    // A missing file is an empty list; a damaged one keeps the whole profiles it holds, and the
    // user hears of it before the shutdown writes the shorter list back.
    if (!m_encoders->Load(EncodersPath().string(), error))
        m_ui.Notice("The external encoder list could not be read completely: " + error, kAppTitle);
    m_encodersLoaded = true;
}

bool CCore::ApplyRegionSnap(const CRegion& region, bool editMode) {
    const CDSPSnap* snap = region.Snaps().SnapToApply(editMode);
    if (!snap || !m_stack) return false;
    // The order of the stack: equaliser, compressor, stereo imager, then the valve amplifier,
    // which keeps its three switches itself.
    m_eq->ApplySnap(snap->Params());
    m_compressor->ApplySnap(snap->Params());
    m_imager->ApplySnap(snap->Params());
    m_valveAmp->ApplySnap(snap->Params());
    return true;
}

void CCore::StartEngine(bool withSoundCards) {
    if (withSoundCards) m_soundCards = std::make_unique<DriverProbePortAudio>();
    m_nullDevice = std::make_unique<CNullDevice>();
    m_devices = std::make_unique<CDeviceList>(m_soundCards.get(), *m_nullDevice);
    m_swapper = std::make_unique<CSwapper>(*m_transport, *m_playList);
    Trace("Starting audio thread");
    m_audio = std::make_unique<AudioIOThread>(*m_transport, *m_swapper, *m_stack, *m_devices, m_mainThread, m_ui);
    Trace("Starting disk I/O thread");
    m_disk = std::make_unique<DiskIOThread>(*m_swapper);
    // The board-setup choice the library's preferences keep (the system's default device when
    // none is stored).
    LoadDeviceChoice(*m_prefs, *m_audio);
}

void CCore::StopEngine() {
    if (!m_transport) return;
    // Stop returns once the engine has released what the run used; the threads are then idle
    // in their loops (the wait gives a run that is just starting the time to notice the stop).
    m_transport->Stop();
    m_mainThread.WaitServing([&] { return !m_audio || m_transport->EngineIdle(); }, std::chrono::milliseconds(500));
    if (m_audio) {
        StoreDeviceChoice(*m_prefs, *m_audio);
        m_audio->Terminate();
    }
    if (m_disk) m_disk->Terminate();
    m_audio.reset();
    m_disk.reset();
    m_swapper.reset();
}

DbLibrary CCore::Library() const {
    DbLibrary lib;
    lib.prefs = m_prefs.get();
    lib.vdisk = &CVDisk::Table();
    lib.samples = m_sampleList.get();
    lib.regions = m_regionList.get();
    lib.presets = m_presetList.get();
    lib.vstFolders = m_vstFolders.get();
    return lib;
}

bool CCore::OpenLibrary() {
    m_database = std::make_unique<CDatabase>(m_baseFolder);
    // Regions stored without statistics take them from their sample's peak file.
    m_database->SetPeakSource(ReadSamplePeakPairsIn);
    // The lock lies in the library's own folder, so every process that opens this library
    // meets it, whichever session, user or runtime folder it runs in; a tool working on
    // another library is not held up. Asking whether the database exists makes the folder.
    m_database->Exists();
    m_libraryLock = std::make_unique<SingleInstance>(SingleInstance::LibraryLockPath(m_database->Folder().string()));
    bool busy = false;
    if (!m_libraryLock->Acquire(&busy) && busy) {
        m_libraryInUse = true;
        return false;
    }
    // A folder where no lock file can be made cannot take the database either; the write test
    // below tells the user so.
    return OpenLibraryAtStartup(*m_database, m_ui, Library());
}

CProcessor* CCore::Processor(int kind) const {
    switch (kind) {
    case KindValveAmp: return m_valveAmp.get();
    case KindEQ: return m_eq.get();
    case KindCompressor: return m_compressor.get();
    case KindStereoImager: return m_imager.get();
    default: return nullptr;
    }
}

void CCore::ApplyPreset(const CDSPPreset& preset) {
    if (!m_stack) return;
    m_eq->ApplyPreset(preset.Params());
    m_compressor->ApplyPreset(preset.Params());
    m_imager->ApplyPreset(preset.Params());
    m_valveAmp->ApplyPreset(preset.Params());
}

bool CCore::SetParameter(int kind, int id, float value, std::string& error) {
    CProcessor* p = Processor(kind);
    if (!p) {
        error = "processor kind " + std::to_string(kind) + " is not available";
        return false;
    }
    CDataInputElement* c = p->FindControl(id);
    if (!c) {
        error = "kind " + std::to_string(kind) + " has no parameter " + std::to_string(id);
        return false;
    }
    c->SetValue(value);
    return true;
}

EngineSnapshot CCore::Snapshot() const {
    EngineSnapshot s;
    if (!m_transport) return s;
    s.transportState = m_transport->State();
    s.playCursor = m_transport->PlayCursor();
    s.positionMoved = s.playCursor != m_lastCursor;
    m_lastCursor = s.playCursor;
    return s;
}

bool CCore::CDDBLookup() {
    if (!m_cdRip) return false;
    const bool found = RunCDDBLookup(*m_cdRip, *m_cddbPrefs, m_ui, m_baseFolder.string());
    m_cdRip->ReadTOC();
    return found;
}

void CCore::SetStorageMode(int mode, int kbps) {
    m_storageMode = mode;
    m_lossyBitRate = kbps;
}

bool CCore::Stop(const std::function<void()>& beforeSave) {
    if (m_stopped || !m_started) return true;
    m_stopped = true;
    // The transport, the two threads and the swapper end first (the plug-in chain joins them
    // later); nothing they use is destroyed before that.
    StopEngine();
    bool saved = true;
    // Only a complete start-up saves: a run that ended early never overwrites a library it did
    // not load.
    if (m_startupComplete && m_encodersLoaded) {
        std::string error;
        if (!m_encoders->Save(EncodersPath().string(), error)) {
            m_ui.Notice("The external encoder list could not be saved: " + error, kAppTitle);
            saved = false;
        }
    }
    // The CDDB settings go back silently, as the settings dialog's end of run writes them.
    if (m_startupComplete && m_database && !m_libraryInUse) m_cddbPrefs->Save(CDDBPrefsPath().string());
    // A library another process holds was never read: saving would replace its work.
    if (m_startupComplete && m_database && !m_libraryInUse) {
        if (beforeSave) beforeSave();
        saved = SaveLibraryAtShutdown(*m_database, m_ui, Library(), m_startupComplete) && saved;
    }
    // The processors go before the dither engine that the valve amplifier uses.
    m_stack.reset();
    m_valveAmp.reset();
    m_imager.reset();
    m_compressor.reset();
    m_eq.reset();
    m_transport.reset();
    m_playList.reset();
    m_dither.reset();
    m_database.reset();
    m_libraryLock.reset();
    m_cdRip.reset();
    m_devices.reset();
    m_nullDevice.reset();
    m_soundCards.reset();
    m_vstFolders.reset();
    m_prefs.reset();
    m_presetList.reset();
    m_regionList.reset();
    m_sampleList.reset();
    if (m_dspLoaded) {
        DSPEngine().FreeWorkBuffers();
        DSPEngine().Unload();
        m_dspLoaded = false;
    }
    m_mainThread.Close();
    return saved;
}
