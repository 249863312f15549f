#include "app/Dialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace {
const Qt::WindowFlags kOnTop = Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

TGaugeForm::TGaugeForm(QWidget* parent) : QDialog(parent, kOnTop) {
    setObjectName("TGaugeForm");
    setWindowTitle("In Progress...");
    setModal(false);
    auto* v = new QVBoxLayout(this);
    text = new QLabel(this);
    text->setMinimumWidth(360);
    bar = new QProgressBar(this);
    bar->setRange(0, 100);
    abortButton = new QPushButton("Abort", this);
    v->addWidget(text);
    v->addWidget(bar);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(abortButton);
    v->addLayout(h);
    connect(abortButton, &QPushButton::clicked, this, &TGaugeForm::abortPressed);
}

void TGaugeForm::reject() {
    // Without the button the operation cannot be stopped, and the dialog stays as it is.
    if (!abortButton->isHidden()) emit abortPressed();
}

void TGaugeForm::closeEvent(QCloseEvent* e) {
    e->ignore();
    reject();
}

TDualGaugeForm::TDualGaugeForm(QWidget* parent) : QDialog(parent, kOnTop) {
    setObjectName("TDualGaugeForm");
    setWindowTitle("In Progress...");
    auto* v = new QVBoxLayout(this);
    text = new QLabel(this);
    text->setMinimumWidth(360);
    overall = new QProgressBar(this);
    overall->setRange(0, 100);
    detail = new QProgressBar(this);
    detail->setRange(0, 100);
    abortButton = new QPushButton("Abort", this);
    v->addWidget(text);
    v->addWidget(overall);
    v->addWidget(detail);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(abortButton);
    v->addLayout(h);
    connect(abortButton, &QPushButton::clicked, this, &TDualGaugeForm::abortPressed);
}

void TDualGaugeForm::reject() { emit abortPressed(); }

void TDualGaugeForm::closeEvent(QCloseEvent* e) {
    e->ignore();
    reject();
}

TReportForm::TReportForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TReportForm");
    setModal(true);
    resize(560, 380);
    auto* v = new QVBoxLayout(this);
    list = new QTableWidget(0, 2, this);
    list->setHorizontalHeaderLabels({"File", "Result"});
    list->setShowGrid(true);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    list->setColumnWidth(0, 300);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->addWidget(list);
    auto* h = new QHBoxLayout;
    dontShowAgain = new QCheckBox("Don't show this dialog again ", this);
    okButton = new QPushButton("Ok", this);
    h->addWidget(dontShowAgain);
    h->addStretch();
    h->addWidget(okButton);
    v->addLayout(h);
    connect(okButton, &QPushButton::clicked, this, &TReportForm::Button1Click);
}

void TReportForm::Button1Click() {
    if (setting) *setting = dontShowAgain->isChecked();
    dontShowAgain->setChecked(false);
    accept();
}

void TReportForm::reject() {
    // Only "Ok" takes the box's choice; the next report starts with it unchecked either way, so a
    // tick left behind here is not written by the next report's "Ok".
    dontShowAgain->setChecked(false);
    QDialog::reject();
}
