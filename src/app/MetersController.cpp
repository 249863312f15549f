#include "app/MetersController.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <string>

#include "app/CommandTable.h"
#include "app/LoudnessReadout.h"
#include "app/PanelBox.h"
#include "app/WindowAreas.h"
#include "common/TransportState.h"
#include "core/CCore.h"
#include "core/EngineSnapshot.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"

namespace {
const char* const kScaleIds[5] = {"meters.scale0", "meters.scale1", "meters.scale2", "meters.scale3", "meters.scale4"};
const char* const kHoldIds[5] = {"meters.hold0", "meters.hold1", "meters.hold2", "meters.hold3", "meters.hold4"};
const char* const kDecayIds[5] = {"meters.decay0", "meters.decay1", "meters.decay2", "meters.decay3", "meters.decay4"};
// Preference keys of the meter bridge: hold and decay choices (0..4) and the persistence switch.
constexpr int kHoldKey = 61;
constexpr int kDecayKey = 62;
constexpr int kPersistenceKey = 63;
} // namespace

MetersController::MetersController(CCore& core, const WindowAreas& areas) : AreaController(core) {
    PanelBox::Handlers h;
    h.compose = [this](int w, int hgt) { m_display.RedrawAll(w, hgt); };
    h.image = [this]() -> const QImage& { return m_display.Image(); };
    m_box = new PanelBox(h);
    m_box->setObjectName("Meters");
    m_box->setToolTip("Meters | Peak, Power, Side (stereo width), Center (mono).");
    m_box->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(m_box, &QWidget::customContextMenuRequested, m_box, [this](const QPoint& at) {
        if (m_menu) m_menu->popup(m_box->mapToGlobal(at));
    });
    areas.above->addWidget(m_box, 1);
    // The loudness readout stands beside the Post bank, at the right end of the bridge.
    m_loudness = std::make_unique<LoudnessReadout>();
    areas.above->addWidget(m_loudness->Label());
    // Tests reach the display through the widget they look at.
    m_box->setProperty("metersController", QVariant::fromValue(static_cast<void*>(this)));
}

MetersController::~MetersController() = default;

void MetersController::CheckOnly(const char* prefix, int count, int chosen) {
    if (!m_commands) return;
    for (int i = 0; i < count; ++i)
        if (QAction* a = m_commands->Action(std::string(prefix) + std::to_string(i))) a->setChecked(i == chosen);
}

void MetersController::Repaint() { m_box->Recompose(); }

void MetersController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    for (int i = 0; i < 5; ++i) {
        commands.Bind(kScaleIds[i], [this, i](bool) {
            m_display.SetScale(i);
            CheckOnly("meters.scale", 5, i);
            Repaint();
        });
        commands.Bind(kHoldIds[i], [this, i](bool) {
            m_display.SetHold(i);
            CheckOnly("meters.hold", 5, i);
        });
        commands.Bind(kDecayIds[i], [this, i](bool) {
            m_display.SetDecay(i);
            CheckOnly("meters.decay", 5, i);
        });
    }
    commands.Bind("meters.persistence", [this](bool on) {
        m_display.SetPersistence(on);
        Repaint();
    });
}

void MetersController::CoreStarted() {
    // The stored choices; a value outside the five items (a damaged or foreign store) keeps the
    // default rather than leaving no radio item checked.
    if (CPrefs* prefs = m_core.Prefs()) {
        const auto choice = [prefs](int key) { return prefs->Has(key) ? prefs->GetInt(key) : -1; };
        if (const int hold = choice(kHoldKey); hold >= 0 && hold < 5) m_display.SetHold(hold);
        if (const int decay = choice(kDecayKey); decay >= 0 && decay < 5) m_display.SetDecay(decay);
        if (prefs->Has(kPersistenceKey)) m_display.SetPersistence(prefs->GetByte(kPersistenceKey) != 0);
    }
    CheckOnly("meters.scale", 5, m_display.GetScale());
    CheckOnly("meters.hold", 5, m_display.GetHold());
    CheckOnly("meters.decay", 5, m_display.GetDecay());
    if (QAction* a = m_commands ? m_commands->Action("meters.persistence") : nullptr)
        a->setChecked(m_display.GetPersistence());
    if (!m_commands) return;
    // The meters' own menu: "Hold", "Decay", "Persistence".
    m_menu = new QMenu(m_box);
    QMenu* holdMenu = m_menu->addMenu("Hold");
    m_commands->FillMenu("@Meters Hold", holdMenu);
    QMenu* decayMenu = m_menu->addMenu("Decay");
    m_commands->FillMenu("@Meters Decay", decayMenu);
    m_commands->FillMenu("@Meters", m_menu);
    // The same actions under "Setup" → "Meters", with "Scale" first, between "Font size" and
    // "Region Viewer".
    if (QWidget* window = m_box->window()) {
        if (QMenu* setup = window->findChild<QMenu*>("menu:Setup")) {
            auto* meters = new QMenu("Meters", setup);
            QMenu* viewer = window->findChild<QMenu*>("menu:Setup/Region Viewer");
            if (viewer) setup->insertMenu(viewer->menuAction(), meters);
            else setup->addMenu(meters);
            meters->setObjectName("menu:Setup/Meters");
            m_commands->FillMenu("@Meters Scale", meters->addMenu("Scale"));
            m_commands->FillMenu("@Meters Hold", meters->addMenu("Hold"));
            m_commands->FillMenu("@Meters Decay", meters->addMenu("Decay"));
            m_commands->FillMenu("@Meters", meters);
        }
    }
}

void MetersController::CoreStopping() {
    if (CPrefs* prefs = m_core.Prefs()) {
        prefs->SetInt(kHoldKey, m_display.GetHold());
        prefs->SetInt(kDecayKey, m_display.GetDecay());
        prefs->SetByte(kPersistenceKey, m_display.GetPersistence() ? 1 : 0);
    }
}

void MetersController::DrawStateLamp() {
    m_display.DrawStateLamp();
    m_box->update();
}

void MetersController::RedrawStateDisplay() {
    m_display.UpdateStatusIcon(TransportState());
    m_box->update();
}

void MetersController::RedrawCounter() {
    ShowCounter(TransportState());
    m_box->update();
}

void MetersController::FallStep() {
    m_display.Fall();
    m_box->update();
}

void MetersController::ClearMeters() {
    m_display.Reset();
    ShowCounter(kTransportStopped);
    m_display.UpdateStatusIcon(TransportState());
    m_box->update();
}

void MetersController::ShowPlaying(const EngineSnapshot& snapshot) {
    FeedLevels();
    if (AudioIOThread* audio = m_core.AudioThread()) m_loudness->Feed(audio->PostChain());
    ShowCounter(snapshot.transportState);
    m_box->update();
}

void MetersController::ShowRecording(const EngineSnapshot& snapshot) {
    FeedLevels();
    ShowCounter(snapshot.transportState);
    m_box->update();
    if (snapshot.transportState == kTransportRecording && m_autoStop) {
        const MeterStats pre = m_core.AudioThread() ? MeterStats::From(m_core.AudioThread()->Stats().pre)
                                                    : MeterStats{};
        m_autoStop(std::max(pre.v[MeterStats::PeakLeft], pre.v[MeterStats::PeakRight]));
    }
}

void MetersController::RefreshTransport() {
    const int32_t state = TransportState();
    // Every play is measured from its start; a stop keeps its figures on show.
    if (AudioIOThread* audio = m_core.AudioThread(); audio && state != m_shownState) {
        if (state == kTransportPlaying) m_loudness->Start(audio->PostChain(), m_core.Transport()->PlaybackRate());
        else if (m_shownState == kTransportPlaying) m_loudness->Stop(audio->PostChain());
    }
    m_shownState = state;
    m_display.UpdateStatusIcon(state);
    ShowCounter(state);
    m_box->update();
}

int32_t MetersController::TransportState() const {
    const CTransport* t = m_core.Transport();
    return t ? t->State() : kTransportStopped;
}

void MetersController::FeedLevels() {
    AudioIOThread* audio = m_core.AudioThread();
    if (!audio) return;
    m_display.UpdateLevels(MeterStats::From(audio->Stats().pre), MeterStats::From(audio->Stats().post));
}

void MetersController::ShowCounter(int32_t state) {
    const CTransport* t = m_core.Transport();
    if (!t) return;
    switch (state) {
    case kTransportPlaying: {
        const int32_t at = t->PlayCursor();
        m_display.UpdateCounter(at, std::max<int64_t>(0, int64_t{t->PlayEnd()} - at), t->PlaybackRate());
        break;
    }
    case kTransportRecording:
    case kTransportMonitoring: {
        int64_t frames = 0, limit = 0;
        int32_t rate = 44100;
        if (m_recordingCounter) m_recordingCounter(frames, limit, rate);
        m_display.UpdateCounter(frames, std::max<int64_t>(0, limit - frames), rate);
        break;
    }
    default: m_display.UpdateCounter(0, 0, 44100); break;
    }
}
