#pragma once
// TBoardSetupForm: the "Audio Board Setup" dialog. The user picks the playback and the record
// device; for the selected entry of each list the dialog shows which probe rates the device
// opens at 16 and 24 bits. Entry 0 of each list is the system's default device, so the device
// number is the entry minus one.
//
// Threading: main thread.

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class DriverProbe;
class AudioIOThread;

class TBoardSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TBoardSetupForm(DriverProbe& devices, QWidget* parent = nullptr);

    // What showing the dialog does: fill both lists, select the current devices, probe them.
    void Prepare(int32_t playbackDevice, int32_t recordDevice);
    // The selected entries as device numbers (−1 the default device).
    int32_t PlaybackDevice() const;
    int32_t RecordDevice() const;
    bool Force24() const;
    // Modal: Prepare, show, and on "OK" true with the chosen numbers.
    bool Execute(int32_t& playbackDevice, int32_t& recordDevice, bool& force24);
    // The menu command: the audio thread's devices in, and on "OK" the choice into the audio
    // thread, which the shutdown writes into the preferences (keys 1 and 2) with the rest.
    void Run(AudioIOThread& audio);

    QGroupBox* playbackGroup = nullptr;
    QGroupBox* recordGroup = nullptr;
    QListWidget* playbackList = nullptr;
    QListWidget* playbackProbe = nullptr;
    QListWidget* recordList = nullptr;
    QListWidget* recordProbe = nullptr;
    QCheckBox* force24 = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void ProbePlayback();
    void ProbeRecord();

    DriverProbe& m_devices;
    int32_t m_playback = 0;
    int32_t m_record = 0;
};
