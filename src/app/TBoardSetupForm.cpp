#include "app/TBoardSetupForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/AudioIOThread.h"
#include "engine/DriverProbe.h"

namespace {

QGroupBox* DeviceGroup(const char* title, QListWidget*& list, QListWidget*& probe, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QHBoxLayout(group);
    list = new QListWidget(group);
    probe = new QListWidget(group);
    probe->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(list, 3);
    layout->addWidget(probe, 2);
    return group;
}

} // namespace

TBoardSetupForm::TBoardSetupForm(DriverProbe& devices, QWidget* parent) : QDialog(parent), m_devices(devices) {
    setWindowTitle("Audio Board Setup");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    playbackGroup = DeviceGroup("Playback Device", playbackList, playbackProbe, this);
    recordGroup = DeviceGroup("Record Device", recordList, recordProbe, this);
    layout->addWidget(playbackGroup);
    layout->addWidget(recordGroup);
    // Kept for the audio thread's choice of output depth; the user does not see it.
    force24 = new QCheckBox("Force 24bit output", this);
    force24->setChecked(false);
    force24->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton = new QPushButton("OK", this);
    cancelButton = new QPushButton("Cancel", this);
    okButton->setDefault(true);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(playbackList, &QListWidget::itemClicked, this, [this] { ProbePlayback(); });
    connect(recordList, &QListWidget::itemClicked, this, [this] { ProbeRecord(); });
    connect(okButton, &QPushButton::clicked, this, [this] {
        // An empty selection keeps the device shown when the dialog opened.
        if (playbackList->currentRow() >= 0) m_playback = playbackList->currentRow() - 1;
        if (recordList->currentRow() >= 0) m_record = recordList->currentRow() - 1;
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TBoardSetupForm::Prepare(int32_t playbackDevice, int32_t recordDevice) {
    m_playback = playbackDevice;
    m_record = recordDevice;
    playbackList->clear();
    playbackProbe->clear();
    recordList->clear();
    recordProbe->clear();
    const int32_t outputs = m_devices.OutputDeviceCount();
    for (int32_t i = 0; i < outputs; ++i) playbackList->addItem(QString::fromStdString(m_devices.OutputDeviceName(i)));
    const int32_t inputs = m_devices.InputDeviceCount();
    for (int32_t i = 0; i < inputs; ++i) recordList->addItem(QString::fromStdString(m_devices.InputDeviceName(i)));
    if (playbackDevice + 1 >= 0 && playbackDevice + 1 < outputs) playbackList->setCurrentRow(playbackDevice + 1);
    if (recordDevice + 1 >= 0 && recordDevice + 1 < inputs) recordList->setCurrentRow(recordDevice + 1);
    ProbePlayback();
    ProbeRecord();
}

void TBoardSetupForm::ProbePlayback() {
    playbackProbe->clear();
    const int row = playbackList->currentRow();
    if (row < 0) return;
    for (const std::string& line : ProbeLines(m_devices, row, true))
        playbackProbe->addItem(QString::fromStdString(line));
}

void TBoardSetupForm::ProbeRecord() {
    recordProbe->clear();
    const int row = recordList->currentRow();
    if (row < 0) return;
    for (const std::string& line : ProbeLines(m_devices, row, false))
        recordProbe->addItem(QString::fromStdString(line));
}

int32_t TBoardSetupForm::PlaybackDevice() const { return m_playback; }
int32_t TBoardSetupForm::RecordDevice() const { return m_record; }
bool TBoardSetupForm::Force24() const { return force24->isChecked(); }

bool TBoardSetupForm::Execute(int32_t& playbackDevice, int32_t& recordDevice, bool& force) {
    Prepare(playbackDevice, recordDevice);
    if (exec() != QDialog::Accepted) return false;
    playbackDevice = m_playback;
    recordDevice = m_record;
    force = Force24();
    return true;
}

void TBoardSetupForm::Run(AudioIOThread& audio) {
    int32_t playback = audio.PlaybackDevice(), record = audio.RecordDevice();
    bool force = audio.Force24();
    if (!Execute(playback, record, force)) return;
    audio.SetPlaybackDevice(playback);
    audio.SetRecordDevice(record);
    audio.SetForce24(force);
}
