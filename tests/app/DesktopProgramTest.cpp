// The window as a desktop program: files named on the command line are imported like a drop
// once the start-up has completed (a missing one gets the import's error line); the "Help"
// menu and the "Setup" menu's mixer hand over to the desktop; a folder chooser without a start
// folder opens in the user's music folder, else the home folder.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "app/CommandTable.h"
#include "app/HelpController.h"
#include "app/QtMainThreadPort.h"
#include "app/QtUiPort.h"
#include "app/TForm1.h"
#include "common/TransportState.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

namespace {

bool HasRegion(CRegionList& list, const std::string& name) {
    bool found = false;
    list.ForEach([&](CRegion* r) { found = found || r->GetName() == name; });
    return found;
}

QStringList Captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

class DesktopProgramTest : public QObject {
    Q_OBJECT
private slots:
    // --help and --version answer on stdout and end at once: no display, no library, no window.
    void HelpAndVersionNeedNoDisplay() {
        QTemporaryDir home;
        for (const QString& ask : {QString("--help"), QString("-h"), QString("--version")}) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("DISPLAY");
            env.remove("WAYLAND_DISPLAY");
            env.remove("QT_QPA_PLATFORM");
            env.insert("HOME", home.path());
            p.setProcessEnvironment(env);
            p.start(SONQUIL_EXE, {ask});
            QVERIFY(p.waitForFinished(10000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            if (ask == "--version") QVERIFY2(out.startsWith("sonquil ") && out.count('\n') == 1, qPrintable(out));
            else QVERIFY2(out.startsWith("usage: sonquil [OPTION...] [FILE...]\n"), qPrintable(out));
        }
        // Nothing was made for a library.
        QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    }

    void CommandLineFilesAreImportedAfterStartUpLikeADrop() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        StartupEnvironment env = WindowEnv(dir, ui);
        const std::string in = dir.path().toStdString() + "/in";
        std::filesystem::create_directories(in);
        MakeWav(in, "opened.wav", 3000);
        env.files = {in + "/opened.wav", in + "/missing.wav"};
        TForm1 form(env);
        QVERIFY(form.StartupComplete());
        // Nothing is imported inside the start-up, nor before the window shows (the program runs
        // the events once between the two).
        QCoreApplication::processEvents();
        QVERIFY(!HasRegion(*form.RegionList(), "opened"));
        QCOMPARE(ui.reportShows, 0);
        form.show();
        QTRY_COMPARE(ui.reportShows, 1);
        QVERIFY(HasRegion(*form.RegionList(), "opened"));
        QCOMPARE(ui.reportCaption, std::string("Import Audio Report"));
        QCOMPARE(ui.reportLines.size(), size_t{2});
        QCOMPARE(ui.reportLines[0], (std::pair<std::string, std::string>("opened.wav", "OK")));
        QCOMPARE(ui.reportLines[1], (std::pair<std::string, std::string>("missing.wav", "Can't open file.")));
        // Imported by copy, into the VDisk.
        const std::filesystem::path vdisk = dir.path().toStdString() + "/VDisk";
        int audio = 0;
        for (const auto& e : std::filesystem::directory_iterator(vdisk)) audio += e.is_regular_file();
        QVERIFY(audio >= 1);
        // Only once: more events do not repeat the import.
        QCoreApplication::processEvents();
        QCOMPARE(ui.reportShows, 1);
    }

    void HelpMenuAndAboutInTheWindow() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        StartupEnvironment env = WindowEnv(dir, ui);
        QWidget splash;
        env.splash = &splash;
        TForm1 form(env);
        QVERIFY(form.StartupComplete());
        form.show();
        QTRY_VERIFY(!splash.isVisible()); // the start-up's own showing ends first

        QMenu* help = form.menuBar()->findChild<QMenu*>("menu:Help");
        QVERIFY(help);
        QCOMPARE(form.menuBar()->actions().last()->menu(), help);
        QCOMPARE(Captions(help), QStringList({"Help...", "-", "Orbeline Home Page", "-", "About..."}));
        QMenu* setup = form.menuBar()->findChild<QMenu*>("menu:Setup");
        QVERIFY(setup);
        const QStringList setupItems = Captions(setup);
        QCOMPARE(setupItems.indexOf("Windows Mixer..."), setupItems.indexOf("Audio Board...") + 1);

        // "About...": the splash for two seconds with the window disabled, then all as before.
        QAction* about = form.Commands().Action("help.about");
        about->trigger();
        QVERIFY(splash.isVisible());
        QVERIFY(!form.isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(form.isEnabled(), 5000);
        QVERIFY(!splash.isVisible());
        // Only while stopped.
        form.Commands().ApplyTransportState(kTransportPlaying);
        QVERIFY(!about->isEnabled());
        QVERIFY(form.Commands().Action("setup.mixer")->isEnabled());
        QVERIFY(form.Commands().Action("help.homePage")->isEnabled());
        form.Commands().ApplyTransportState(kTransportStopped);
        QVERIFY(about->isEnabled());
        // "Help..." does nothing and says nothing.
        const size_t messages = ui.messages.size();
        form.Commands().Action("help.help")->trigger();
        QCOMPARE(ui.messages.size(), messages);
        QVERIFY(form.isEnabled());
    }

    void HomePageAndMixerHandOverToTheDesktop() {
        ScriptedUiPort ui;
        QtMainThreadPort port;
        CCore core(ui, port);
        QWidget window;
        size_t count = 0;
        const CommandRow* rows = MainWindowCommands(count);
        CommandTable table(rows, count);
        HelpController help(core, ui, &window, nullptr);
        QStringList opened, started;
        QString found;
        help.openUrl = [&](const QString& url) {
            opened << url;
            return true;
        };
        bool startWorks = true;
        help.startProgram = [&](const QString& program) {
            started << program;
            return startWorks;
        };
        QStringList searched;
        help.findProgram = [&](const QString& name) {
            searched << name;
            return found;
        };
        help.RegisterCommands(table);

        table.Action("help.homePage")->trigger();
        QCOMPARE(opened, QStringList({HelpController::kHomePage}));
        QVERIFY(QUrl(opened[0]).isValid());
        QCOMPARE(QUrl(opened[0]).scheme(), QString("https"));

        // No mixer installed: a notice, nothing started.
        table.Action("setup.mixer")->trigger();
        QCOMPARE(searched, QStringList({"pavucontrol"}));
        QVERIFY(started.isEmpty());
        QCOMPARE(ui.messages.size(), size_t{1});
        QCOMPARE(ui.messages[0].text, std::string(HelpController::kNoMixerNotice));
        // Installed: started by its full path, quietly.
        found = "/usr/bin/pavucontrol";
        table.Action("setup.mixer")->trigger();
        QCOMPARE(started, QStringList({"/usr/bin/pavucontrol"}));
        QCOMPARE(ui.messages.size(), size_t{1});
        // Installed but failing to start: said so.
        startWorks = false;
        table.Action("setup.mixer")->trigger();
        QCOMPARE(ui.messages.size(), size_t{2});
        QCOMPARE(ui.messages[1].text, std::string(HelpController::kMixerFailedNotice));

        // "About..." without a splash of the program's uses one of its own; a second request
        // while it shows changes nothing.
        table.Action("help.about")->trigger();
        QVERIFY(help.AboutShowing());
        QVERIFY(!window.isEnabled());
        table.Action("help.about")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!help.AboutShowing(), 5000);
        QVERIFY(window.isEnabled());
    }

    void FolderChooserStartsInMusicElseHome() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
        QCOMPARE(QDir(QtUiPort::DefaultFolderStart()), QDir(home.path()));
        QDir(home.path()).mkdir("Music");
        QCOMPARE(QDir(QtUiPort::DefaultFolderStart()), QDir(home.path() + "/Music"));
        qputenv("HOME", oldHome);
        if (oldConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", oldConfig);
    }
};

QTEST_MAIN(DesktopProgramTest)
#include "DesktopProgramTest.moc"
