#pragma once
// RecordSection: the "Record" side section (browse mode). Rate and depth lists, the automation
// (auto-start, auto-stop below a level for a time, auto-stop after a time, auto-delete,
// auto-restart), the region naming, and the "Record", "Monitor/Pause" and "Stop" buttons. The
// recording itself is the core's CRecorder, the same the command-line tool uses; this area only
// keeps its settings in step with the controls, drives it from the main timer and shows what
// it made in the browser and on the work list.
//
// The panel's settings are kept in the preferences store (keys 110 to 123, text 0 for the base
// name), read when the core has started and written back at shutdown.
//
// Threading: main thread only.

#include <QObject>
#include <functional>
#include <memory>

#include "app/AreaController.h"

class CRecorder;
class CRegion;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
struct PeakBuffers;

class RecordSection : public QObject, public AreaController {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> clearViewer;
        std::function<void()> clearMeters;
        std::function<void(CRegion&)> finished;
    };

    // peaks: the window's shared peak buffers (the graph draws a new take from them).
    RecordSection(CCore& core, PeakBuffers& peaks);
    ~RecordSection() override;

    QWidget* Widget() const { return m_widget; }
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // Null before the core started and after it stopped.
    CRecorder* Recorder() const { return m_recorder.get(); }

    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;
    void CoreStopping() override;

    // The main timer's automatic stop (after the meters, while recording).
    void AutoStopTick();
    // A stop from elsewhere (Space, Esc): finish the take when it has frames.
    void AfterStop();

    // The controls (tests drive them like a person).
    QComboBox* Rate() const { return m_rate; }
    QComboBox* Depth() const { return m_depth; }
    QCheckBox* AutoStart() const { return m_autoStart; }
    QLineEdit* AutoStartLevel() const { return m_autoStartLevel; }
    QCheckBox* AutoStopBelow() const { return m_autoStopBelow; }
    QLineEdit* AutoStopBelowLevel() const { return m_autoStopBelowLevel; }
    QLineEdit* AutoStopBelowTime() const { return m_autoStopBelowTime; }
    QCheckBox* AutoStopAfter() const { return m_autoStopAfter; }
    QLineEdit* AutoStopAfterTime() const { return m_autoStopAfterTime; }
    QCheckBox* AutoDelete() const { return m_autoDelete; }
    QLineEdit* AutoDeleteTime() const { return m_autoDeleteTime; }
    QCheckBox* AutoRestart() const { return m_autoRestart; }
    QRadioButton* UniqueId() const { return m_unique; }
    QRadioButton* BaseIndex() const { return m_baseIndex; }
    QLineEdit* BaseName() const { return m_baseName; }
    QLineEdit* Index() const { return m_index; }
    QPushButton* RecordButton() const { return m_record; }
    QPushButton* MonitorButton() const { return m_monitor; }
    QPushButton* StopButton() const { return m_stop; }

private:
    // The controls into the recorder's settings, and back.
    void ReadControls();
    void ShowSettings();
    void LoadPrefs();
    void StorePrefs();

    PeakBuffers& m_peaks;
    std::unique_ptr<CRecorder> m_recorder;
    Hooks m_hooks;
    bool m_showing = false;

    QWidget* m_widget = nullptr;
    QComboBox *m_rate = nullptr, *m_depth = nullptr;
    QCheckBox *m_autoStart = nullptr, *m_autoStopBelow = nullptr, *m_autoStopAfter = nullptr, *m_autoDelete = nullptr,
              *m_autoRestart = nullptr;
    QLineEdit *m_autoStartLevel = nullptr, *m_autoStopBelowLevel = nullptr, *m_autoStopBelowTime = nullptr,
              *m_autoStopAfterTime = nullptr, *m_autoDeleteTime = nullptr, *m_baseName = nullptr, *m_index = nullptr;
    QRadioButton *m_unique = nullptr, *m_baseIndex = nullptr;
    QButtonGroup* m_naming = nullptr;
    QPushButton *m_record = nullptr, *m_monitor = nullptr, *m_stop = nullptr;
};
