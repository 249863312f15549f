#include "app/TEditTagsForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QComboBox* Box(QWidget* parent, int maxLength) {
    auto* b = new QComboBox(parent);
    b->setEditable(true);
    b->setInsertPolicy(QComboBox::NoInsert);
    b->lineEdit()->setMaxLength(maxLength);
    b->setMinimumWidth(280);
    return b;
}

void Fill(QComboBox* box, const std::string& text, const std::vector<std::string>& offers) {
    box->clear();
    for (const std::string& o : offers) box->addItem(QString::fromStdString(o));
    box->setEditText(QString::fromStdString(text));
}

} // namespace

TEditTagsForm::TEditTagsForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Edit Tags");
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ComboBox1 = Box(this, 63);
    ComboBox2 = Box(this, 63);
    ComboBox3 = Box(this, 63);
    ComboBox4 = Box(this, 4);
    ComboBox5 = Box(this, 31);
    auto* form = new QFormLayout;
    form->addRow("Title", ComboBox1);
    form->addRow("Artist", ComboBox2);
    form->addRow("Album", ComboBox3);
    form->addRow("Year", ComboBox4);
    form->addRow("Genre", ComboBox5);
    writeButton = new QPushButton("Write", this);
    skipButton = new QPushButton("Skip", this);
    cancelButton = new QPushButton("Cancel", this);
    writeAllButton = new QPushButton("Write Non-Empty Tags To Whole Selection", this);
    auto* row = new QHBoxLayout;
    row->addWidget(writeButton);
    row->addWidget(skipButton);
    row->addWidget(cancelButton);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addLayout(row);
    all->addWidget(writeAllButton);
    auto choose = [this](TagChoice c) {
        m_choice = c;
        accept();
    };
    connect(writeButton, &QPushButton::clicked, this, [=] { choose(TagChoice::Write); });
    connect(skipButton, &QPushButton::clicked, this, [=] { choose(TagChoice::Skip); });
    connect(cancelButton, &QPushButton::clicked, this, [=] { choose(TagChoice::Cancel); });
    connect(writeAllButton, &QPushButton::clicked, this, [=] { choose(TagChoice::WriteToAll); });
    writeButton->setDefault(true);
}

TagDialogAnswer TEditTagsForm::Ask(const TagDialogFill& f) {
    Fill(ComboBox1, f.title, f.titleOffers);
    Fill(ComboBox2, f.artist, f.artistOffers);
    Fill(ComboBox3, f.album, f.albumOffers);
    Fill(ComboBox4, f.year, f.yearOffers);
    Fill(ComboBox5, f.genre, f.genreOffers);
    ComboBox1->setFocus();
    m_choice = TagChoice::Cancel;
    if (exec() != QDialog::Accepted) m_choice = TagChoice::Cancel;
    TagDialogAnswer a;
    a.choice = m_choice;
    a.title = ComboBox1->currentText().toStdString();
    a.artist = ComboBox2->currentText().toStdString();
    a.album = ComboBox3->currentText().toStdString();
    a.year = ComboBox4->currentText().toStdString();
    a.genre = ComboBox5->currentText().toStdString();
    return a;
}

bool TEditTagsForm::EditSelection(TagEditSession& session, const std::vector<CRegion*>& selection, QWidget* parent) {
    TEditTagsForm form(parent);
    return session.Run(selection, [&](const TagDialogFill& fill, const CRegion&) { return form.Ask(fill); });
}
