#pragma once
// CRecorder: recording into the library, shared by the record panel of the window and the
// tool's record command. It owns the panel's settings, runs the three buttons' state table,
// starts a take (meters zeroed, a fresh VDisk name, the frame limit by depth, the automation
// handed to the audio thread), decides the automatic stop on the main timer and finishes a
// take as a stored sample with its root region and peak file.
//
// The audio thread keeps the frames (auto-start, frame limit and the silence timer are applied
// there per block, so a take ends on the exact frame the settings say however late a timer
// tick comes); this class only reads the figures it publishes.
//
// Nothing recorded is lost: whenever the transport is found stopped with a take open (a stop
// key, a device that failed, a disk that filled, the program's own stop) the take is finished
// with every frame that reached the file.
//
// Threading: main thread only.

#include <cstdint>
#include <functional>
#include <string>

class CCore;
class CRegion;
struct PeakBuffers;

// The record panel's settings; the controls' defaults.
struct RecordSettings {
    int32_t rate = 44100;
    int32_t bits = 16;
    bool autoStart = false;
    int32_t autoStartDb = -40;
    bool autoStopBelow = false;
    int32_t autoStopBelowDb = -50;
    int32_t autoStopBelowSeconds = 3;
    bool autoStopAfter = false;
    int32_t autoStopAfterSeconds = 0;
    bool autoDelete = false;
    int32_t autoDeleteSeconds = 0;
    bool autoRestart = false;
    bool baseIndexNaming = false; // false: "Unique ID (yy mm dd hh mm ss xx)"
    std::string baseName = "Recording";
    int32_t index = 0;
};

// The rates and depths of the panel's lists, in list order.
inline constexpr int32_t kRecordRates[] = {32000, 44100, 48000, 96000, 176400, 192000};
inline constexpr int32_t kRecordDepths[] = {16, 24, 32};

// A time field "MMm SSs": the minutes are its first two characters, the seconds the digits after
// "m ". False when either is not a number.
bool ParseRecordTime(const std::string& text, int32_t& seconds);
// The field's text of a time: "%02dm %02ds".
std::string FormatRecordTime(int32_t seconds);
// A level field ("-40dB", "-40"): a whole number of dB. False when there is none.
bool ParseRecordLevel(const std::string& text, int32_t& db);
// 10^(dB / 20).
float LevelThreshold(int32_t db);
// The largest number of frames a take of that depth may hold: about 2,000,000,000 bytes.
int64_t DepthFrameLimit(int32_t bits);

class CRecorder {
public:
    // What the last finished take became.
    struct Take {
        bool kept = false;    // a sample and region were made
        bool deleted = false; // auto-delete threw it away
        int32_t regionId = 0;
        std::string name;
        int64_t frames = 0;
    };
    // What the window does around a take; every hook may be empty.
    struct Hooks {
        std::function<void()> clearViewer;      // a recording (not monitoring) starts
        std::function<void(CRegion&)> finished; // the new region: tape, work list, browser
        std::function<void()> settingsChanged;  // the recorder changed the settings (index, failed open)
        std::function<void()> meters;           // the meters were zeroed
    };

    // peaks: the shared peak buffers the audio thread fills and the peak file is written from.
    CRecorder(CCore& core, PeakBuffers& peaks);
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    RecordSettings& Settings() { return m_settings; }
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The buttons ("Record", "Monitor/Pause", "Stop"), acting by the transport's state.
    void RecordButton();
    void MonitorButton();
    void StopButton();

    // The auto-stop-after box or time changed: the current take's limit follows at once.
    void AutoStopAfterChanged();

    // The main timer's tick: finishes a take whose run ended behind its back, and while
    // recording applies the automatic stop (then auto-restart). True when a take ended here.
    bool Tick();
    // After any stop of the transport: finishes the open take when it has frames (idempotent).
    void AfterStop();

    // The recording counter: frames recorded, the frame limit, the rate of the open take.
    int64_t FramesRecorded() const;
    int64_t FrameLimit() const { return m_frameLimit; }
    int32_t Rate() const { return m_rate; }
    bool TakeOpen() const { return m_open; }
    // The takes finished so far (kept or deleted) and the last one.
    int32_t TakesFinished() const { return m_takes; }
    const Take& LastTake() const { return m_last; }
    // The last failure (start or finish), also shown to the user.
    const std::string& LastError() const { return m_error; }
    // The open take's file (folder and name) while one is open.
    std::string TakePath() const;

private:
    bool Start(bool record);
    void Finish();
    // An automatic stop is due (main timer rules).
    bool StopDue() const;
    void Fail(const std::string& message);

    CCore& m_core;
    PeakBuffers& m_peaks;
    RecordSettings m_settings;
    Hooks m_hooks;
    bool m_open = false;
    int32_t m_rate = 44100, m_bits = 16, m_mode = 0, m_serial = 0;
    int64_t m_frameLimit = 0;
    bool m_stopBelow = false;
    int32_t m_stopBelowSeconds = 0;
    std::string m_folder, m_name, m_error;
    int32_t m_takes = 0;
    Take m_last;
};
