// Program entry: the main window runs the start-up in its constructor; when that ends early
// (another instance, too small a screen, no library) the program quits without a window.

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <exception>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "app/TForm1.h"
#include "app/TSplashForm.h"

namespace {
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    // Only async-signal-safe work here: wake the main thread.
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}
// The files named on the command line (Qt's own options are already taken out), as full paths:
// the start-up changes the current folder, so a relative name is resolved here, against the
// folder the program was started in. A file manager may hand over file:// addresses.
std::vector<std::string> CommandLineFiles() {
    std::vector<std::string> files;
    const QStringList args = QCoreApplication::arguments();
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString path = args[i];
        // "--" ends the options: what follows are files, even a name that starts with "-".
        if (!optionsEnded && path == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && path == QLatin1String("--null-input")) {
            ++i; // its file is the null device's input, not one to import
            continue;
        }
        if (path.startsWith(QLatin1String("file://"))) path = QUrl(path).toLocalFile();
        if (path.isEmpty()) continue;
        files.push_back(QFileInfo(path).absoluteFilePath().toStdString());
    }
    return files;
}
const char* const kUsage = "usage: sonquil [OPTION...] [FILE...]\n"
                           "Starts Sonquil. Audio files named here are imported into the library by copy once\n"
                           "the window is up, as if they had been dropped on it.\n"
                           "  -h, --help   show this and end\n"
                           "  --version    show the version and end\n"
                           "  --null-input FILE.wav\n"
                           "               the null device (no sound card) records this file as its input\n"
                           "  --           what follows are files, even names that start with -\n"
                           "Qt's own options (-platform, -display, -style, ...) are taken as well.\n";

// --help and --version are answered before anything else starts, so they need no display and
// never touch the library. Returns true when the program should end with exit code 0.
bool AnswerInfoOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("sonquil %s\n", SONQUIL_VERSION);
            return true;
        }
    }
    return false;
}
} // namespace

// Shows an exception that escapes an event handler in the standard box instead of ending
// the program with the user's work unsaved.
class SonquilApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), applicationName(), QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};

int main(int argc, char** argv) {
    if (AnswerInfoOptions(argc, argv)) return 0;
    // Plug-in editors draw into an X11 window of ours; a Wayland session runs the program
    // through XWayland unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    SonquilApplication app(argc, argv);
    QApplication::setApplicationName("");

    // SIGTERM and SIGINT (the session logging out, Ctrl+C) close the window as its close box
    // would, so the library is saved. During start-up they end the dialogs that wait for an
    // answer, and the start-up then ends as it would on Cancel, saving nothing.
    TForm1* running = nullptr;
    bool endRequested = false;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, [&running, &endRequested] {
            char c;
            [[maybe_unused]] ssize_t n = read(g_signalPipe[0], &c, 1);
            if (running) {
                // A dialog waiting for an answer (a report, a question) ends as its close box
                // would, so the window's close is not held up behind it.
                if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
                TForm1* form = running;
                QMetaObject::invokeMethod(
                    form, [form] { form->close(); }, Qt::QueuedConnection);
            } else {
                endRequested = true;
                QCoreApplication::exit(0);
            }
        });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }

    TSplashForm splash;
    StartupEnvironment env;
    env.splash = &splash;
    env.files = CommandLineFiles();
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size() && args[i] != QLatin1String("--"); ++i)
        if (args[i] == QLatin1String("--null-input"))
            env.nullInput = QFileInfo(args[i + 1]).absoluteFilePath().toStdString();
    TForm1 form(env);
    if (!form.StartupComplete()) return 0;
    // Asked to end while starting up, after the point where a dialog could have been ended:
    // the library was opened, so it is saved on the way out.
    QCoreApplication::processEvents();
    if (endRequested) return 0;
    form.CreateDialogs();
    running = &form;
    form.show();
    return app.exec();
}
