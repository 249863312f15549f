#pragma once
// MetersController: the meter bridge above the VTape (the audio display's image in a paint
// box), its "Meters" context menu and the same items under "Setup" → "Meters". Both menus hold
// the same actions, so their check marks never disagree. At every tick it moves the bars,
// the counter and the status icon; after a stop the bars fall away for 199 ticks.
//
// Threading: main thread only.

#include <cstdint>
#include <functional>
#include <memory>

#include "app/AreaController.h"
#include "views/CAudioDisplay.h"

class CommandTable;
class LoudnessReadout;
class PanelBox;
class QMenu;
struct WindowAreas;

class MetersController : public AreaController {
public:
    MetersController(CCore& core, const WindowAreas& areas);
    ~MetersController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    // Writes the hold, decay and persistence choices back into the preferences.
    void CoreStopping() override;

    // The main timer's steps (MainTimer).
    void DrawStateLamp();
    void RedrawStateDisplay();
    void RedrawCounter();
    void FallStep();
    void ClearMeters();
    void ShowPlaying(const EngineSnapshot& snapshot);
    void ShowRecording(const EngineSnapshot& snapshot);
    // The transport changed state: status icon and counter.
    void RefreshTransport();

    // What the recording shows on the counter: frames recorded, the record limit and the rate.
    // The recording sets it; without it the counter stands at zero while recording.
    using RecordingCounter = std::function<void(int64_t& frames, int64_t& limit, int32_t& rate)>;
    void SetRecordingCounter(RecordingCounter counter) { m_recordingCounter = std::move(counter); }
    // The automatic stop of a recording, fed at every recording tick with the recording's length
    // and the larger peak (the recording stops itself from there).
    using AutoStopFeed = std::function<void(float peak)>;
    void SetAutoStopFeed(AutoStopFeed feed) { m_autoStop = std::move(feed); }

    CAudioDisplay& Display() { return m_display; }
    LoudnessReadout& Loudness() { return *m_loudness; }
    PanelBox* Box() const { return m_box; }

private:
    void CheckOnly(const char* prefix, int count, int chosen);
    void Repaint();
    // The engine's latest statistics onto the bars.
    void FeedLevels();
    // The counter for the transport's state (stopped: zero at 44.1 kHz).
    void ShowCounter(int32_t state);
    int32_t TransportState() const;

    CAudioDisplay m_display;
    PanelBox* m_box = nullptr;
    QMenu* m_menu = nullptr;
    CommandTable* m_commands = nullptr;
    std::unique_ptr<LoudnessReadout> m_loudness;
    int32_t m_shownState = -1; // the transport state the readout last saw
    RecordingCounter m_recordingCounter;
    AutoStopFeed m_autoStop;
};
