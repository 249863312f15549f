#include "app/HelpController.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "app/CommandTable.h"
#include "app/TSplashForm.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "engine/CTransport.h"

namespace {
const char* kCaption = "Sonquil";
// "About..." shows the splash for ten steps of 200 ms.
constexpr int kAboutSteps = 10;
constexpr int kAboutStepMs = 200;
} // namespace

HelpController::HelpController(CCore& core, UiPort& ui, QWidget* window, QWidget* splash)
    : AreaController(core), m_ui(ui), m_window(window), m_splash(splash) {
    openUrl = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
    startProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
    findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    if (m_splash == nullptr) {
        m_ownSplash = std::make_unique<TSplashForm>();
        m_splash = m_ownSplash.get();
    }
    m_aboutTimer = new QTimer(this);
    m_aboutTimer->setInterval(kAboutStepMs);
    connect(m_aboutTimer, &QTimer::timeout, this, [this] {
        if (++m_aboutTicks < kAboutSteps) return;
        m_aboutTimer->stop();
        m_splash->hide();
        if (m_window) m_window->setEnabled(true);
    });
}

HelpController::~HelpController() {
    // The window outlives a splash that is still up when the program ends.
    if (m_aboutTimer->isActive() && m_window) m_window->setEnabled(true);
}

void HelpController::RegisterCommands(CommandTable& commands) {
    // "Help..." does nothing: there is no help text to show.
    commands.Bind("help.help", [](bool) {});
    commands.Bind("help.homePage", [this](bool) { OpenHomePage(); });
    commands.Bind("help.about", [this](bool) { About(); });
    commands.Bind("setup.mixer", [this](bool) { StartMixer(); });
}

bool HelpController::AboutShowing() const { return m_aboutTimer->isActive(); }

void HelpController::OpenHomePage() { openUrl(QString::fromLatin1(kHomePage)); }

void HelpController::StartMixer() {
    const QString mixer = findProgram(QString::fromLatin1(kMixerProgram));
    if (mixer.isEmpty()) m_ui.Notice(kNoMixerNotice, kCaption);
    else if (!startProgram(mixer)) m_ui.Notice(kMixerFailedNotice, kCaption);
}

void HelpController::About() {
    // Only while the transport is stopped: the splash would sit over a playing or recording
    // window that the person can no longer reach.
    if (CTransport* transport = m_core.Transport(); transport && !transport->IsStopped()) return;
    if (m_aboutTimer->isActive()) return;
    if (m_window) m_window->setEnabled(false);
    m_splash->show();
    m_splash->raise();
    m_aboutTicks = 0;
    m_aboutTimer->start();
}
