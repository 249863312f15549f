#pragma once
// HelpController: the "Help" menu ("Help...", "Orbeline Home Page", "About...") and the "Setup"
// menu's "Windows Mixer...", the commands that hand the person over to the desktop: its browser,
// its sound mixer, or a moment with the splash window.
//
// Threading: main thread only.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/AreaController.h"

class QTimer;
class QWidget;
class UiPort;

class HelpController : public QObject, public AreaController {
    Q_OBJECT
public:
    // The project's web site, opened by "Orbeline Home Page".
    static constexpr const char* kHomePage = "https://sonquil.org/";
    // The desktop's sound mixer, started by "Windows Mixer...".
    static constexpr const char* kMixerProgram = "pavucontrol";
    static constexpr const char* kNoMixerNotice =
        "No sound mixer was found: install pavucontrol to set the sound card's volumes.";
    static constexpr const char* kMixerFailedNotice = "The sound mixer pavucontrol could not be started.";

    // window is disabled while "About..." shows splash (the program's splash window, or one of
    // the controller's own when none is given).
    HelpController(CCore& core, UiPort& ui, QWidget* window, QWidget* splash);
    ~HelpController() override;

    void RegisterCommands(CommandTable& commands) override;

    // What the commands call outside the program; tests replace them.
    std::function<bool(const QString& url)> openUrl;
    std::function<bool(const QString& program)> startProgram;
    // The folder search for the mixer (QStandardPaths::findExecutable by default).
    std::function<QString(const QString& name)> findProgram;

    // True while "About..." shows the splash.
    bool AboutShowing() const;

private:
    void OpenHomePage();
    void StartMixer();
    void About();

    UiPort& m_ui;
    QWidget* m_window;
    QWidget* m_splash;
    std::unique_ptr<QWidget> m_ownSplash;
    QTimer* m_aboutTimer = nullptr;
    int m_aboutTicks = 0;
};
