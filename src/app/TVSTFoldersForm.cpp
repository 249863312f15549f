#include "app/TVSTFoldersForm.h"

#include <QDir>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/UiPort.h"
#include "library/CVSTFolders.h"

TVSTFoldersForm::TVSTFoldersForm(CVSTFolders& folders, UiPort& ui, QWidget* parent)
    : QDialog(parent), m_folders(folders), m_ui(ui) {
    setObjectName("VSTFoldersForm");
    setWindowTitle("VST Folders");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ListBox1 = new QListWidget(this);
    ListBox1->setMinimumSize(420, 220);
    Button1 = new QPushButton("Add VST Folder...", this);
    Button2 = new QPushButton("Remove VST Folder", this);
    Button3 = new QPushButton("Done", this);
    for (QPushButton* b : {Button1, Button2, Button3}) b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ListBox1, 1);
    all->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TVSTFoldersForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TVSTFoldersForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
}

void TVSTFoldersForm::showEvent(QShowEvent* e) {
    Redraw();
    QDialog::showEvent(e);
}

void TVSTFoldersForm::Redraw() {
    ListBox1->clear();
    for (const std::string& f : m_folders.Folders()) ListBox1->addItem(QString::fromStdString(f));
}

void TVSTFoldersForm::Button1Click() {
    // A full list takes no more: the picker is not even offered.
    if (m_folders.Count() >= CVSTFolders::kMaxFolders) return;
    // The picker opens at the last folder added, where the next one is usually found.
    const std::string start = m_folders.Count() ? m_folders.Get(m_folders.Count() - 1) : QDir::homePath().toStdString();
    std::string folder;
    if (!m_ui.ChooseFolder("Add VST Folder", start, folder) || folder.empty()) return;
    m_folders.Add(folder);
    Redraw();
    ListBox1->setCurrentRow(ListBox1->count() - 1);
}

void TVSTFoldersForm::Button2Click() {
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected()) return;
    m_folders.Remove(ListBox1->row(item));
    Redraw();
}
