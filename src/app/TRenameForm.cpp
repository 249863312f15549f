#include "app/TRenameForm.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "library/CRegion.h"

TRenameForm::TRenameForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Rename");
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Edit1 = new QLineEdit(this);
    Edit1->setMinimumWidth(320);
    renameButton = new QPushButton("Rename", this);
    skipButton = new QPushButton("Skip", this);
    cancelButton = new QPushButton("Cancel", this);
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {renameButton, skipButton, cancelButton}) {
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    auto* all = new QVBoxLayout(this);
    all->addWidget(Edit1);
    all->addLayout(row);
    auto choose = [this](RenameChoice c) {
        m_choice = c;
        accept();
    };
    connect(renameButton, &QPushButton::clicked, this, [=] { choose(RenameChoice::Rename); });
    connect(skipButton, &QPushButton::clicked, this, [=] { choose(RenameChoice::Skip); });
    connect(cancelButton, &QPushButton::clicked, this, [=] { choose(RenameChoice::Cancel); });
}

void TRenameForm::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(e);
}

RenameAnswer TRenameForm::Ask(const std::string& name) {
    Edit1->setText(QString::fromStdString(name));
    Edit1->selectAll();
    Edit1->setFocus();
    m_choice = RenameChoice::Cancel;
    if (exec() != QDialog::Accepted) m_choice = RenameChoice::Cancel;
    return {m_choice, Edit1->text().toStdString()};
}

int TRenameForm::RenameSelection(CRegionList& list, const std::vector<CRegion*>& selection,
                                 const std::function<void(const std::string&)>& notice, QWidget* parent) {
    TRenameForm form(parent);
    return RenameRegions(
        list, selection, [&](const CRegion& r) { return form.Ask(r.GetName()); }, notice);
}
