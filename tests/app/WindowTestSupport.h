#pragma once
// Shared pieces of the window tests: a start-up environment in a temporary folder whose first
// start answers the VDisk question with that folder, and a driver for modal dialogs.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/TForm1.h"
#include "support/ScriptedUiPort.h"

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
