#pragma once
// Shared pieces of the window tests: a start-up environment in a temporary folder whose first
// start answers the VDisk question with that folder, a driver for modal dialogs, the areas'
// controllers found through their widgets, synthetic pointer events, a test tone and a WAV file
// to import.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <vector>

#include "app/BrowserController.h"
#include "app/EditController.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "app/ViewerBox.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"

// Seconds of a sine at half scale, 44.1 kHz stereo, the same on both channels.
inline std::vector<float> SineTone(double seconds, double hz = 440.0) {
    const int n = static_cast<int>(seconds * 44100);
    std::vector<float> v(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        const float x = static_cast<float>(0.5 * std::sin(2.0 * M_PI * hz * i / 44100.0));
        v[static_cast<size_t>(2 * i)] = x;
        v[static_cast<size_t>(2 * i + 1)] = x;
    }
    return v;
}

// The browser's and the edit area's controllers, which their widgets carry for the tests.
inline BrowserController* BrowserOf(TForm1& form) {
    auto* browser = form.findChild<TapeBox*>("RegionBrowser");
    return browser ? static_cast<BrowserController*>(browser->property("browserController").value<void*>()) : nullptr;
}
inline EditController* EditOf(TForm1& form) {
    auto* graph = form.findChild<ViewerBox*>("PaintBox1");
    return graph ? static_cast<EditController*>(graph->property("editController").value<void*>()) : nullptr;
}

// A pointer move with these buttons held, and a wheel turn, delivered straight to a widget.
inline void SendMove(QWidget* w, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void SendWheel(QWidget* w, int delta, QPoint at = QPoint(50, 50)) {
    QWheelEvent e(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// A window started in dir at a screen size start-up accepts; ui answers its questions.
inline StartupEnvironment WindowEnv(QTemporaryDir& dir, ScriptedUiPort& ui) {
    ui.folderAnswers.push_back(dir.path().toStdString());
    StartupEnvironment env;
    env.exeFolder = dir.path().toStdString();
    env.lockPath = (dir.path() + "/Sonquil.lock").toStdString();
    env.screenSize = QSize(1280, 1024);
    env.ui = &ui;
    return env;
}

// Runs the next step each time a dialog is shown (the steps act on the shown dialog).
class OnShow : public QObject {
public:
    explicit OnShow(std::vector<std::function<void(QDialog*)>> s) : steps(std::move(s)) {
        qApp->installEventFilter(this);
    }
    ~OnShow() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && next < steps.size()) {
            if (auto* d = qobject_cast<QDialog*>(o)) {
                auto f = steps[next++];
                QTimer::singleShot(0, d, [f, d] { f(d); });
            }
        }
        return false;
    }
    std::vector<std::function<void(QDialog*)>> steps;
    size_t next = 0;
};

// A 44.1 kHz 16-bit stereo WAV file of frames frames at a steady quarter of full scale.
inline void MakeWav(const std::string& folder, const std::string& name, int frames) {
    QVERIFY(MakeWavFile(folder, name, std::vector<float>(static_cast<size_t>(frames) * 2, 0.25f), 44100));
}
