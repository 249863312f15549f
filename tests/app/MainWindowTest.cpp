#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fstream>
#include <sys/syscall.h>

#include "app/TForm1.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/ScriptedUiPort.h"

// Whether nobody holds the one-instance lock at path.
static bool LockFree(const std::string& path) {
    SingleInstance probe(path);
    return probe.Acquire();
}

// Whether the program's main thread sleeps in its event loop (a poll on its descriptors), as it
// does once the window is up or a dialog waits for an answer. Read from /proc/PID/syscall; where
// that cannot be read the answer is yes, and a test then goes on at once.
static bool WaitsForEvents(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::string first;
    if (!(in >> first)) return true;
    if (first == "running") return false;
    const long nr = std::strtol(first.c_str(), nullptr, 10);
    const long polls[] = {
#ifdef SYS_poll
        SYS_poll,
#endif
#ifdef SYS_select
        SYS_select,
#endif
#ifdef SYS_epoll_wait
        SYS_epoll_wait,
#endif
        SYS_ppoll,      SYS_pselect6, SYS_epoll_pwait};
    for (long p : polls)
        if (nr == p) return true;
    return false;
}

// An offscreen platform whose screen is large enough for the program; its size is in logical
// pixels (the platform reports it so), and dpr is its scale factor.
static QProcessEnvironment BigOffscreenScreen(QTemporaryDir& dir, int width = 1280, int height = 1024, int dpr = 1) {
    QString config = dir.path() + "/screen.json";
    QFile f(config);
    if (f.open(QIODevice::WriteOnly))
        f.write(QString(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96,)"
                        R"("logicalBaseDpi":96,"dpr":%3}]})")
                    .arg(width)
                    .arg(height)
                    .arg(dpr)
                    .toUtf8());
    f.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    return env;
}

class MainWindowTest : public QObject {
    Q_OBJECT

    // A first start answers the VDisk question with a folder inside dir.
    StartupEnvironment Env(QTemporaryDir& dir, ScriptedUiPort& ui, QSize screen = QSize(1280, 1024)) {
        ui.folderAnswers.push_back(dir.path().toStdString());
        StartupEnvironment env;
        env.exeFolder = dir.path().toStdString();
        env.lockPath = (dir.path() + "/Sonquil.lock").toStdString();
        env.screenSize = screen;
        env.ui = &ui;
        return env;
    }

private slots:
    void opensWithRegionTreeAndTitle() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui));
        QVERIFY(form.StartupComplete());
        QCOMPARE(form.windowTitle(), QString("Sonquil"));
        QCOMPARE(form.Mode(), 0);
        QCOMPARE(form.geometry(), QRect(0, 0, 1280, 1024));
        QVERIFY(form.minimumWidth() >= 1024 && form.minimumHeight() >= 690);

        QCOMPARE(ui.messages.size(), size_t(1)); // the VDisk information box of the first start
        QCOMPARE(QString::fromStdString(ui.messages[0].caption), QString("Sonquil"));
        QVERIFY(QFileInfo(dir.path() + "/VDisk/System/Serial").exists());
        QVERIFY(form.UseSSEAction()->isChecked() || !form.UseSSEAction()->isEnabled());

        QTreeWidget* tree = form.RegionTree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem* user = tree->topLevelItem(0);
        QTreeWidgetItem* system = tree->topLevelItem(1);
        QCOMPARE(user->text(0), QString("User"));
        QCOMPARE(user->data(0, Qt::UserRole).toInt(), 1);
        QCOMPARE(system->text(0), QString("System"));
        QCOMPARE(system->data(0, Qt::UserRole).toInt(), 100);
        const char* names[] = {"Lost", "Found", "Today", "Yesterday"};
        const int ids[] = {111, 112, 121, 122};
        const int icons[] = {12, 14, 16, 16};
        QCOMPARE(system->childCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(system->child(i)->text(0), QString(names[i]));
            QCOMPARE(system->child(i)->data(0, Qt::UserRole).toInt(), ids[i]);
            QCOMPARE(system->child(i)->data(0, Qt::UserRole + 1).toInt(), icons[i]);
        }
        QCOMPARE(tree->currentItem(), user);

        QTreeWidget* presets = form.PresetTree();
        QCOMPARE(presets->topLevelItemCount(), 4);
        QCOMPARE(presets->topLevelItem(3)->text(0), QString("Stereo Imager"));
        QCOMPARE(presets->topLevelItem(3)->child(1)->text(0), QString("User"));
        QCOMPARE(presets->topLevelItem(3)->child(1)->data(0, Qt::UserRole).toInt(), 12);
        QVERIFY(presets->topLevelItem(0)->isExpanded());

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QImage shot = form.grab().toImage();
        QVERIFY(!shot.isNull());
        // A look at the window for people: SONQUIL_SCREENSHOT=/path/to.png
        if (qEnvironmentVariableIsSet("SONQUIL_SCREENSHOT")) shot.save(qEnvironmentVariable("SONQUIL_SCREENSHOT"));
        form.close();
    }

    void firstStartCancelledWritesNoDatabase() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        StartupEnvironment env = Env(dir, ui);
        ui.folderAnswers.clear(); // the user cancels the folder chooser
        {
            TForm1 form(env);
            QVERIFY(!form.StartupComplete());
            QVERIFY(form.Result() == TForm1::StartupResult::LibraryFailed);
        }
        QVERIFY(QFileInfo(dir.path() + "/AudioDB").isDir());
        QVERIFY(!QFileInfo(dir.path() + "/AudioDB/audiodb.adb").exists());
    }

    void libraryIsSavedAtCloseAndLoadedAtNextStart() {
        QTemporaryDir dir;
        {
            ScriptedUiPort ui;
            TForm1 form(Env(dir, ui));
            QVERIFY(form.StartupComplete());
            form.RegionList()->Insert(new CRegion("Mixes", 0, 1, nullptr, RegionFolder, -1, FolderId::User));
            form.close();
        }
        QVERIFY(QFileInfo(dir.path() + "/AudioDB/audiodb.adb").exists());
        ScriptedUiPort ui;
        ui.folderAnswers.clear();
        StartupEnvironment env;
        env.exeFolder = dir.path().toStdString();
        env.lockPath = (dir.path() + "/Sonquil.lock").toStdString();
        env.screenSize = QSize(1280, 1024);
        env.ui = &ui;
        TForm1 again(env);
        QVERIFY(again.StartupComplete());
        QVERIFY(ui.messages.empty()); // no VDisk question the second time
        QTreeWidgetItem* user = again.RegionTree()->topLevelItem(0);
        QCOMPARE(user->childCount(), 1);
        QCOMPARE(user->child(0)->text(0), QString("Mixes"));
        QVERIFY(user->child(0)->data(0, Qt::UserRole).toInt() > 1000);
    }

    void sigtermClosesTheWindowAndSavesTheLibrary() {
        // A library made by a first start in this process...
        QTemporaryDir dir;
        {
            ScriptedUiPort ui;
            TForm1 form(Env(dir, ui));
            QVERIFY(form.StartupComplete());
        }
        QVERIFY(QFileInfo(dir.path() + "/AudioDB/audiodb.adb").exists());
        QVERIFY(!QFileInfo(dir.path() + "/AudioDB/audiodb1.adb").exists());

        // ...is opened by the real program placed in that folder, which the session then ends.
        if (!LockFree(SingleInstance::DefaultLockPath())) QSKIP("a Sonquil session runs on this machine");
        QString exe = dir.path() + "/sonquil";
        QVERIFY(QFile::copy(SONQUIL_EXE, exe));
        QProcess program;
        program.setProcessEnvironment(BigOffscreenScreen(dir));
        program.start(exe, {});
        QVERIFY(program.waitForStarted(10000));
        // Running once it holds the lock; started once it sleeps in the window's event loop.
        QTRY_VERIFY_WITH_TIMEOUT(!LockFree(SingleInstance::DefaultLockPath()), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(WaitsForEvents(program.processId()), 20000);
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // The second save rotated the first one into the backups.
        QVERIFY(QFileInfo(dir.path() + "/AudioDB/audiodb1.adb").exists());
    }

    void sigtermDuringFirstStartEndsWithoutWritingALibrary() {
        QTemporaryDir dir;
        if (!LockFree(SingleInstance::DefaultLockPath())) QSKIP("a Sonquil session runs on this machine");
        QString exe = dir.path() + "/sonquil";
        QVERIFY(QFile::copy(SONQUIL_EXE, exe));
        QProcess program;
        program.setProcessEnvironment(BigOffscreenScreen(dir));
        program.start(exe, {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!LockFree(SingleInstance::DefaultLockPath()), 20000);
        // Now waiting in the VDisk information box: the library folder is made and the box's
        // loop sleeps for an answer.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.path() + "/AudioDB").isDir() && WaitsForEvents(program.processId()),
                                 20000);
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY(QFileInfo(dir.path() + "/AudioDB").isDir());
        QVERIFY(!QFileInfo(dir.path() + "/AudioDB/audiodb.adb").exists());
    }

    void tooSmallScreenEndsWithTheMessage() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui, QSize(1024, 767)));
        QVERIFY(!form.StartupComplete());
        QVERIFY(form.Result() == TForm1::StartupResult::ScreenTooSmall);
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ui.messages[0].text),
                 QString("The minimum required screen resolution is 1024x768.\n Please change the resolution in "
                         "your system's display settings."));
        QCOMPARE(QString::fromStdString(ui.messages[0].caption), QString("Sonquil"));

        ScriptedUiPort ui2;
        TForm1 narrow(Env(dir, ui2, QSize(1023, 900)));
        QVERIFY(!narrow.StartupComplete());
        ScriptedUiPort ui3;
        QTemporaryDir dir3;
        TForm1 exact(Env(dir3, ui3, QSize(1024, 768)));
        QVERIFY(exact.StartupComplete());
    }

    void hiDpiScreenIsMeasuredInItsRealPixels() {
        // A 2560 x 1440 laptop screen at scale factor 2: 1280 x 720 logical pixels, enough.
        {
            QTemporaryDir dir;
            ScriptedUiPort ui;
            StartupEnvironment env = Env(dir, ui, QSize(1280, 720));
            env.screenRatio = 2.0;
            TForm1 form(env);
            QVERIFY(form.StartupComplete());
            QCOMPARE(form.geometry(), QRect(0, 0, 1280, 720));
        }
        // The same screen less a desktop panel: the window still fits the work area.
        {
            QTemporaryDir dir;
            ScriptedUiPort ui;
            StartupEnvironment env = Env(dir, ui, QSize(1280, 660));
            env.screenRatio = 2.0;
            TForm1 form(env);
            QVERIFY(form.StartupComplete());
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QCOMPARE(form.height(), 660);
            QVERIFY(form.minimumHeight() <= 660);
        }
        // 900 x 600 logical at 1.25 is 1125 x 750 real pixels: too low, refused all the same.
        QTemporaryDir dir;
        ScriptedUiPort ui;
        StartupEnvironment env = Env(dir, ui, QSize(900, 600));
        env.screenRatio = 1.25;
        TForm1 form(env);
        QVERIFY(form.Result() == TForm1::StartupResult::ScreenTooSmall);
    }

    void realProgramStartsOnAScaledScreen() {
        // The real program reads the primary screen itself: 2560 x 1440 at scale 2 (1280 x 720
        // logical) gets past the screen check to the first start's library folder and its VDisk
        // question.
        QTemporaryDir dir;
        if (!LockFree(SingleInstance::DefaultLockPath())) QSKIP("a Sonquil session runs on this machine");
        QString exe = dir.path() + "/sonquil";
        QVERIFY(QFile::copy(SONQUIL_EXE, exe));
        QProcess program;
        program.setProcessEnvironment(BigOffscreenScreen(dir, 1280, 720, 2));
        program.start(exe, {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.path() + "/AudioDB").isDir() && WaitsForEvents(program.processId()),
                                 20000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    }

    void secondInstanceEndsSilently() {
        QTemporaryDir dir;
        QString lock = dir.path() + "/Sonquil.lock";
        // The first instance: another real process holding the lock.
        QProcess first;
        first.start(LOCKHOLDER, {lock});
        QVERIFY(first.waitForReadyRead(10000));
        QCOMPARE(first.readLine().trimmed(), QByteArray("held"));

        ScriptedUiPort ui;
        {
            TForm1 second(Env(dir, ui));
            QVERIFY(!second.StartupComplete());
            QVERIFY(second.Result() == TForm1::StartupResult::AnotherInstance);
        }
        QVERIFY(ui.messages.empty());
        QCOMPARE(first.state(), QProcess::Running); // the first is untouched

        // A third process cannot take it either while the first lives...
        QProcess third;
        third.start(LOCKHOLDER, {lock});
        QVERIFY(third.waitForFinished(10000));
        QCOMPARE(third.exitCode(), 1);

        // ...and once the first ends the lock is free again.
        first.closeWriteChannel();
        QVERIFY(first.waitForFinished(10000));
        ScriptedUiPort ui2;
        TForm1 next(Env(dir, ui2));
        QVERIFY(next.StartupComplete());
    }

    void realProgramQuitsWhileAnotherHoldsTheSessionLock() {
        // Play the first instance with the program's own lock and start the real program.
        QProcess first;
        first.start(LOCKHOLDER, {QString::fromStdString(SingleInstance::DefaultLockPath())});
        QVERIFY(first.waitForReadyRead(10000));
        if (first.readLine().trimmed() != "held") QSKIP("a Sonquil session runs on this machine");
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(env);
        second.start(SONQUIL_EXE, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        first.closeWriteChannel();
        QVERIFY(first.waitForFinished(10000));
    }

    void startupTraceNamesTheSteps() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        std::ostringstream trace;
        StartupEnvironment env = Env(dir, ui);
        env.trace = &trace;
        TForm1 form(env);
        // Every labelled step, in the start-up order.
        QCOMPARE(QString::fromStdString(trace.str()),
                 QString("Starting DSP engine\nChecking screen size\nCreating main objects\nStarting CD service\n"
                         "Opening DB\nStarting audio thread\nStarting disk I/O thread\nRefreshing CD drives\n"
                         "Preparing RL folders\nReading prefs\nSetting enviroment\n"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
