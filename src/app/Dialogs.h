#pragma once
// The shared dialogs of long operations: the single and double progress dialogs and the
// report. Created once after the main window and reused; hidden between uses.
//
// A progress dialog goes away only when its operation closes it: Esc and the window's close
// button ask for the abort, as the "Abort" button does, since a dialog hidden by them would leave
// the loop running behind a disabled main window with nothing left to stop it.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

class TGaugeForm : public QDialog {
    Q_OBJECT
public:
    explicit TGaugeForm(QWidget* parent = nullptr);
    QLabel* text;
    QProgressBar* bar;
    QPushButton* abortButton;
signals:
    void abortPressed();

public slots:
    // Esc: the abort, when the caller allows one; the dialog stays.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
};

class TDualGaugeForm : public QDialog {
    Q_OBJECT
public:
    explicit TDualGaugeForm(QWidget* parent = nullptr);
    QLabel* text;
    QProgressBar* overall;
    QProgressBar* detail;
    QPushButton* abortButton;
signals:
    void abortPressed();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
};

class TReportForm : public QDialog {
    Q_OBJECT
public:
    explicit TReportForm(QWidget* parent = nullptr);
    QTableWidget* list;
    QPushButton* okButton;
    QCheckBox* dontShowAgain;
    // The caller's setting that "Ok" writes the check box into.
    bool* setting = nullptr;

public slots:
    // Esc or the close button: the caller's setting stays as it was.
    void reject() override;

private slots:
    void Button1Click();
};
