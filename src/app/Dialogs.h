#pragma once
// The shared dialogs of long operations: the single and double progress dialogs and the
// report. Created once after the main window and reused; hidden between uses.

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
private slots:
    void Button1Click();
};
