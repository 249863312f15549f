#include "app/RecordSection.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/CCore.h"
#include "core/CRecorder.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"

namespace {

// The preferences store's keys of the panel (the store leaves 110 and up to no other setting).
enum : int {
    kKeyRate = 110,
    kKeyDepth,
    kKeyAutoStart,
    kKeyAutoStartDb,
    kKeyStopBelow,
    kKeyStopBelowDb,
    kKeyStopBelowTime,
    kKeyStopAfter,
    kKeyStopAfterTime,
    kKeyAutoDelete,
    kKeyAutoDeleteTime,
    kKeyAutoRestart,
    kKeyNaming,
    kKeyIndex, // 123
};
constexpr int kTextBaseName = 0;

const char* const kRateItems[] = {"32000 KHz", "44100 KHz", "48000 KHz", "96000 KHz", "176400KHz", "192000KHz"};
const char* const kDepthItems[] = {"16bit", "24bit (3-byte packed)", "32bit (integer)"};

// The masks: a level "-99dB", a time "99m 99s", an index "999" (Qt's 0 is an optional digit,
// and d and B are mask letters that must be escaped to stand for themselves).
constexpr const char* kLevelMask = "\\-00\\d\\B";
constexpr const char* kTimeMask = "00m 00s";
constexpr const char* kIndexMask = "000";

QLineEdit* Field(const char* name, const char* mask, int width) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setInputMask(mask);
    e->setFixedWidth(width);
    return e;
}

QString LevelText(int32_t db) { return QString("-%1dB").arg(std::clamp(-db, 0, 99), 2, 10, QChar('0')); }
QString TimeText(int32_t seconds) { return QString::fromStdString(FormatRecordTime(seconds)); }
QString IndexText(int32_t index) { return QString("%1").arg(index, 3, 10, QChar('0')); }

} // namespace

RecordSection::RecordSection(CCore& core, PeakBuffers& peaks) : AreaController(core), m_peaks(peaks) {
    m_widget = new QWidget;
    m_widget->setObjectName("RecordPanel");
    // The side panel's small type: the captions are long for its 224 pixels.
    QFont small = m_widget->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_widget->setFont(small);
    auto* v = new QVBoxLayout(m_widget);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);

    auto* lists = new QHBoxLayout;
    m_rate = new QComboBox;
    m_rate->setObjectName("RecordRate");
    for (const char* item : kRateItems) m_rate->addItem(item);
    m_rate->setCurrentIndex(1);
    m_depth = new QComboBox;
    m_depth->setObjectName("RecordDepth");
    for (const char* item : kDepthItems) m_depth->addItem(item);
    m_depth->setCurrentIndex(0);
    lists->addWidget(m_rate, 1);
    lists->addWidget(m_depth, 1);
    v->addLayout(lists);

    // The side panel is narrow: each box has its own line, its fields right-aligned below it.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(0, 1);
    m_autoStart = new QCheckBox("Auto-start when above..");
    m_autoStart->setObjectName("RecordAutoStart");
    m_autoStartLevel = Field("RecordAutoStartLevel", kLevelMask, 44);
    grid->addWidget(m_autoStart, 0, 0, 1, 3);
    grid->addWidget(m_autoStartLevel, 1, 2);
    m_autoStopBelow = new QCheckBox("Auto-stop when below..");
    m_autoStopBelow->setObjectName("RecordAutoStopBelow");
    m_autoStopBelowLevel = Field("RecordAutoStopBelowLevel", kLevelMask, 44);
    m_autoStopBelowTime = Field("RecordAutoStopBelowTime", kTimeMask, 60);
    grid->addWidget(m_autoStopBelow, 2, 0, 1, 3);
    auto* below = new QHBoxLayout;
    below->addStretch(1);
    below->addWidget(m_autoStopBelowLevel);
    below->addWidget(new QLabel("for"));
    below->addWidget(m_autoStopBelowTime);
    grid->addLayout(below, 3, 0, 1, 3);
    m_autoStopAfter = new QCheckBox("Auto-stop after..");
    m_autoStopAfter->setObjectName("RecordAutoStopAfter");
    m_autoStopAfterTime = Field("RecordAutoStopAfterTime", kTimeMask, 60);
    grid->addWidget(m_autoStopAfter, 4, 0, 1, 2);
    grid->addWidget(m_autoStopAfterTime, 4, 2);
    m_autoDelete = new QCheckBox("Auto-delete if shorter then..");
    m_autoDelete->setObjectName("RecordAutoDelete");
    m_autoDeleteTime = Field("RecordAutoDeleteTime", kTimeMask, 60);
    grid->addWidget(m_autoDelete, 5, 0, 1, 3);
    grid->addWidget(m_autoDeleteTime, 6, 2);
    m_autoRestart = new QCheckBox("Auto-restart after auto stop");
    m_autoRestart->setObjectName("RecordAutoRestart");
    grid->addWidget(m_autoRestart, 7, 0, 1, 3);
    v->addLayout(grid);

    auto* naming = new QGroupBox("Region Auto-naming");
    naming->setObjectName("RecordNaming");
    auto* nv = new QVBoxLayout(naming);
    nv->setContentsMargins(4, 2, 4, 4);
    nv->setSpacing(2);
    m_unique = new QRadioButton("Unique ID (yy mm dd hh mm ss xx)");
    m_unique->setObjectName("RecordUniqueId");
    m_baseIndex = new QRadioButton("Base / Index");
    m_baseIndex->setObjectName("RecordBaseIndex");
    m_naming = new QButtonGroup(this);
    m_naming->addButton(m_unique, 0);
    m_naming->addButton(m_baseIndex, 1);
    m_unique->setChecked(true);
    nv->addWidget(m_unique);
    nv->addWidget(m_baseIndex);
    auto* nameRow = new QHBoxLayout;
    m_baseName = new QLineEdit("Recording");
    m_baseName->setObjectName("RecordBaseName");
    m_baseName->setMaxLength(200);
    m_index = Field("RecordIndex", kIndexMask, 40);
    nameRow->addWidget(m_baseName, 1);
    nameRow->addWidget(m_index);
    nv->addLayout(nameRow);
    v->addWidget(naming);

    auto* buttons = new QHBoxLayout;
    m_record = new QPushButton("Record");
    m_record->setObjectName("RecordButton");
    m_monitor = new QPushButton("Monitor/Pause");
    m_monitor->setObjectName("MonitorButton");
    m_stop = new QPushButton("Stop");
    m_stop->setObjectName("RecordStopButton");
    buttons->setSpacing(2);
    for (QPushButton* b : {m_record, m_monitor, m_stop}) {
        b->setFocusPolicy(Qt::NoFocus); // Space and Esc stay the window's keys
        // Each as wide as its caption: the three only just fit the panel.
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 12);
        b->setStyleSheet("padding: 2px 4px;");
        buttons->addWidget(b, b == m_monitor ? 3 : 2);
    }
    v->addLayout(buttons);
    v->addStretch(1);

    // The defaults of the fields (the boxes themselves start unchecked).
    m_autoStartLevel->setText(LevelText(-40));
    m_autoStopBelowLevel->setText(LevelText(-50));
    m_autoStopBelowTime->setText(TimeText(3));
    m_autoStopAfterTime->setText(TimeText(600));
    m_autoDeleteTime->setText(TimeText(5));
    m_index->setText(IndexText(0));

    auto changed = [this] { ReadControls(); };
    for (QComboBox* c : {m_rate, m_depth}) connect(c, &QComboBox::currentIndexChanged, this, changed);
    for (QCheckBox* c : {m_autoStart, m_autoStopBelow, m_autoDelete, m_autoRestart})
        connect(c, &QCheckBox::toggled, this, changed);
    for (QLineEdit* e :
         {m_autoStartLevel, m_autoStopBelowLevel, m_autoStopBelowTime, m_autoDeleteTime, m_baseName, m_index})
        connect(e, &QLineEdit::textChanged, this, changed);
    connect(m_naming, &QButtonGroup::idToggled, this, changed);
    // The auto-stop-after box and time are re-read at once: a take under way follows them.
    auto after = [this] {
        ReadControls();
        if (m_recorder) m_recorder->AutoStopAfterChanged();
    };
    connect(m_autoStopAfter, &QCheckBox::toggled, this, after);
    connect(m_autoStopAfterTime, &QLineEdit::textChanged, this, after);

    connect(m_record, &QPushButton::clicked, this, [this] {
        if (!m_recorder) return;
        ReadControls();
        m_recorder->RecordButton();
    });
    connect(m_monitor, &QPushButton::clicked, this, [this] {
        if (!m_recorder) return;
        ReadControls();
        m_recorder->MonitorButton();
    });
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_recorder) m_recorder->StopButton();
    });
}

RecordSection::~RecordSection() = default;

void RecordSection::ReadControls() {
    if (!m_recorder || m_showing) return;
    RecordSettings& s = m_recorder->Settings();
    // The rate and depth take effect at the next start: a take keeps the format it began with.
    s.rate = kRecordRates[std::max(0, m_rate->currentIndex())];
    s.bits = kRecordDepths[std::max(0, m_depth->currentIndex())];
    int32_t v = 0;
    s.autoStart = m_autoStart->isChecked();
    if (ParseRecordLevel(m_autoStartLevel->text().toStdString(), v)) s.autoStartDb = v;
    s.autoStopBelow = m_autoStopBelow->isChecked();
    if (ParseRecordLevel(m_autoStopBelowLevel->text().toStdString(), v)) s.autoStopBelowDb = v;
    if (ParseRecordTime(m_autoStopBelowTime->text().toStdString(), v)) s.autoStopBelowSeconds = v;
    s.autoStopAfter = m_autoStopAfter->isChecked();
    if (ParseRecordTime(m_autoStopAfterTime->text().toStdString(), v)) s.autoStopAfterSeconds = v;
    s.autoDelete = m_autoDelete->isChecked();
    if (ParseRecordTime(m_autoDeleteTime->text().toStdString(), v)) s.autoDeleteSeconds = v;
    s.autoRestart = m_autoRestart->isChecked();
    s.baseIndexNaming = m_baseIndex->isChecked();
    s.baseName = m_baseName->text().toStdString();
    bool ok = false;
    const int index = m_index->text().trimmed().toInt(&ok);
    if (ok) s.index = index % 1000;
}

void RecordSection::ShowSettings() {
    if (!m_recorder) return;
    const RecordSettings& s = m_recorder->Settings();
    m_showing = true;
    const auto rate = std::find(std::begin(kRecordRates), std::end(kRecordRates), s.rate);
    m_rate->setCurrentIndex(rate == std::end(kRecordRates) ? 1 : static_cast<int>(rate - std::begin(kRecordRates)));
    const auto depth = std::find(std::begin(kRecordDepths), std::end(kRecordDepths), s.bits);
    m_depth->setCurrentIndex(depth == std::end(kRecordDepths) ? 0
                                                              : static_cast<int>(depth - std::begin(kRecordDepths)));
    m_autoStart->setChecked(s.autoStart);
    m_autoStartLevel->setText(LevelText(s.autoStartDb));
    m_autoStopBelow->setChecked(s.autoStopBelow);
    m_autoStopBelowLevel->setText(LevelText(s.autoStopBelowDb));
    m_autoStopBelowTime->setText(TimeText(s.autoStopBelowSeconds));
    m_autoStopAfter->setChecked(s.autoStopAfter);
    m_autoStopAfterTime->setText(TimeText(s.autoStopAfterSeconds));
    m_autoDelete->setChecked(s.autoDelete);
    m_autoDeleteTime->setText(TimeText(s.autoDeleteSeconds));
    m_autoRestart->setChecked(s.autoRestart);
    (s.baseIndexNaming ? m_baseIndex : m_unique)->setChecked(true);
    m_baseName->setText(QString::fromStdString(s.baseName));
    m_index->setText(IndexText(s.index));
    m_showing = false;
}

void RecordSection::CoreStarted() {
    m_recorder = std::make_unique<CRecorder>(m_core, m_peaks);
    CRecorder::Hooks hooks;
    hooks.clearViewer = [this] {
        if (m_hooks.clearViewer) m_hooks.clearViewer();
    };
    hooks.meters = [this] {
        if (m_hooks.clearMeters) m_hooks.clearMeters();
    };
    hooks.finished = [this](CRegion& region) {
        if (m_hooks.finished) m_hooks.finished(region);
    };
    // The index moved on, or a failed open reset the lists.
    hooks.settingsChanged = [this] { ShowSettings(); };
    m_recorder->SetHooks(hooks);
    // Defaults first, so that keys not stored keep the panel's own values.
    ReadControls();
    LoadPrefs();
    ShowSettings();
}

void RecordSection::Tick(const EngineSnapshot&) { AfterStop(); }

void RecordSection::AutoStopTick() {
    if (m_recorder) m_recorder->Tick();
}

void RecordSection::AfterStop() {
    if (m_recorder) m_recorder->AfterStop();
}

void RecordSection::CoreStopping() {
    if (!m_recorder) return;
    // The window's close stopped the transport: the take is kept before the library is saved.
    m_recorder->AfterStop();
    StorePrefs();
    m_recorder.reset();
}

void RecordSection::LoadPrefs() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    RecordSettings& s = m_recorder->Settings();
    auto integer = [&](int key, int32_t& to) {
        if (prefs->Has(key)) to = prefs->GetInt(key);
    };
    auto flag = [&](int key, bool& to) {
        if (prefs->Has(key)) to = prefs->GetByte(key) != 0;
    };
    integer(kKeyRate, s.rate);
    integer(kKeyDepth, s.bits);
    flag(kKeyAutoStart, s.autoStart);
    integer(kKeyAutoStartDb, s.autoStartDb);
    flag(kKeyStopBelow, s.autoStopBelow);
    integer(kKeyStopBelowDb, s.autoStopBelowDb);
    integer(kKeyStopBelowTime, s.autoStopBelowSeconds);
    flag(kKeyStopAfter, s.autoStopAfter);
    integer(kKeyStopAfterTime, s.autoStopAfterSeconds);
    flag(kKeyAutoDelete, s.autoDelete);
    integer(kKeyAutoDeleteTime, s.autoDeleteSeconds);
    flag(kKeyAutoRestart, s.autoRestart);
    flag(kKeyNaming, s.baseIndexNaming);
    integer(kKeyIndex, s.index);
    if (prefs->HasText(kTextBaseName)) s.baseName = prefs->GetText(kTextBaseName);
    // A damaged store must not give a field what its mask cannot show.
    s.index = ((s.index % 1000) + 1000) % 1000;
    for (int32_t* t : {&s.autoStopBelowSeconds, &s.autoStopAfterSeconds, &s.autoDeleteSeconds})
        *t = std::clamp(*t, 0, 99 * 60 + 59);
    for (int32_t* db : {&s.autoStartDb, &s.autoStopBelowDb}) *db = std::clamp(*db, -99, 0);
}

void RecordSection::StorePrefs() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    const RecordSettings& s = m_recorder->Settings();
    prefs->SetInt(kKeyRate, s.rate);
    prefs->SetInt(kKeyDepth, s.bits);
    prefs->SetByte(kKeyAutoStart, s.autoStart ? 1 : 0);
    prefs->SetInt(kKeyAutoStartDb, s.autoStartDb);
    prefs->SetByte(kKeyStopBelow, s.autoStopBelow ? 1 : 0);
    prefs->SetInt(kKeyStopBelowDb, s.autoStopBelowDb);
    prefs->SetInt(kKeyStopBelowTime, s.autoStopBelowSeconds);
    prefs->SetByte(kKeyStopAfter, s.autoStopAfter ? 1 : 0);
    prefs->SetInt(kKeyStopAfterTime, s.autoStopAfterSeconds);
    prefs->SetByte(kKeyAutoDelete, s.autoDelete ? 1 : 0);
    prefs->SetInt(kKeyAutoDeleteTime, s.autoDeleteSeconds);
    prefs->SetByte(kKeyAutoRestart, s.autoRestart ? 1 : 0);
    prefs->SetByte(kKeyNaming, s.baseIndexNaming ? 1 : 0);
    prefs->SetInt(kKeyIndex, s.index);
    prefs->SetText(kTextBaseName, s.baseName);
}
