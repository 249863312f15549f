#include "app/TVSTPluginsForm.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/UiPort.h"

namespace {
const char* kSelectPlugin = "Select a VST-EFFECT plugin.";
}

TVSTPluginsForm::TVSTPluginsForm(UiPort& ui, Scan scan, TestLoad testLoad, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_scan(std::move(scan)), m_testLoad(std::move(testLoad)) {
    setObjectName("VSTPluginsForm");
    setWindowTitle("VST Plugins");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ListBox1 = new QListWidget(this);
    ListBox1->setMinimumSize(320, 300);
    Button1 = new QPushButton("Ok", this);
    Button2 = new QPushButton("Cancel", this);
    for (QPushButton* b : {Button1, Button2}) b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ListBox1, 1);
    all->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TVSTPluginsForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { Button1Click(); });
}

void TVSTPluginsForm::showEvent(QShowEvent* e) {
    m_chosen.clear();
    ListBox1->clear();
    if (m_scan)
        for (const std::string& name : m_scan()) ListBox1->addItem(QString::fromStdString(name));
    QDialog::showEvent(e);
}

void TVSTPluginsForm::Button1Click() {
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected()) {
        m_ui.Notice(kSelectPlugin);
        return;
    }
    const std::string name = item->text().toStdString();
    std::string message;
    if (!m_testLoad || !m_testLoad(name, message)) {
        m_ui.Notice(message);
        return;
    }
    m_chosen = name;
    accept();
}
