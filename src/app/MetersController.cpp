#include "app/MetersController.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QString>

#include <string>

#include "app/CommandTable.h"
#include "app/PanelBox.h"
#include "app/WindowAreas.h"
#include "common/TransportState.h"
#include "core/EngineSnapshot.h"

namespace {
const char* const kScaleIds[5] = {"meters.scale0", "meters.scale1", "meters.scale2", "meters.scale3", "meters.scale4"};
const char* const kHoldIds[5] = {"meters.hold0", "meters.hold1", "meters.hold2", "meters.hold3", "meters.hold4"};
const char* const kDecayIds[5] = {"meters.decay0", "meters.decay1", "meters.decay2", "meters.decay3", "meters.decay4"};
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
    // The same actions under "Setup" → "Meters", with "Scale" first.
    if (QWidget* window = m_box->window()) {
        if (QMenu* setup = window->findChild<QMenu*>("menu:Setup")) {
            QMenu* meters = setup->addMenu("Meters");
            meters->setObjectName("menu:Setup/Meters");
            m_commands->FillMenu("@Meters Scale", meters->addMenu("Scale"));
            m_commands->FillMenu("@Meters Hold", meters->addMenu("Hold"));
            m_commands->FillMenu("@Meters Decay", meters->addMenu("Decay"));
            m_commands->FillMenu("@Meters", meters);
        }
    }
}

void MetersController::Tick(const EngineSnapshot& snapshot) {
    const int state = snapshot.transportState;
    if (state != m_lastState) {
        m_display.UpdateStatusIcon(state);
        if (state == kTransportStopped) {
            m_display.StartFalloff();
            m_display.UpdateCounter(0, 0, 44100);
        }
        m_lastState = state;
        m_box->update();
    }
    // The bars fall away after a stop; the levels of a playback reach the display once the
    // engine publishes them in the snapshot.
    if (state == kTransportStopped && m_display.Settle()) m_box->update();
}
