#include "app/TExtEncodersForm.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

TExtEncodersForm::TExtEncodersForm(ExtEncoderList& list, QWidget* parent) : QDialog(parent), m_list(list) {
    setWindowTitle("Encoders");
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    ListBox1 = new QListWidget(this);
    Edit1 = new QLineEdit(this);
    Edit4 = new QLineEdit(this);
    Edit4->setReadOnly(true);
    Button2 = new QPushButton("...", this);
    Button2->setFixedWidth(32);
    ComboBox1 = new QComboBox(this);
    Edit2 = new QLineEdit(this);
    Edit3 = new QLineEdit(this);
    // The record widths: longer input could not be stored.
    Edit1->setMaxLength(static_cast<int>(kEncNameSize - 1));
    Edit2->setMaxLength(static_cast<int>(kEncArgumentsSize - 1));
    Edit3->setMaxLength(static_cast<int>(kEncExtensionSize - 1));
    Button1 = new QPushButton("Add Profile", this);
    Button3 = new QPushButton("Delete Profile", this);
    Button4 = new QPushButton("Done", this);
    for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setAutoDefault(false);

    auto* form = new QGridLayout;
    int row = 0;
    form->addWidget(new QLabel("Friendly Name", this), row, 0);
    form->addWidget(Edit1, row++, 1, 1, 2);
    form->addWidget(new QLabel("Executable Program", this), row, 0);
    form->addWidget(Edit4, row, 1);
    form->addWidget(Button2, row++, 2);
    form->addWidget(new QLabel("Arguments Presets", this), row, 0);
    form->addWidget(ComboBox1, row++, 1, 1, 2);
    form->addWidget(new QLabel("Arguments", this), row, 0);
    form->addWidget(Edit2, row++, 1, 1, 2);
    form->addWidget(new QLabel("Filename Extension", this), row, 0);
    form->addWidget(Edit3, row++, 1, 1, 2);
    auto* help = new QGridLayout;
    help->addWidget(new QLabel("%s = inputfile", this), 0, 0);
    help->addWidget(new QLabel("%d = outputfile", this), 0, 1);
    help->addWidget(new QLabel("%k = kbps (eg. 128)", this), 1, 0);
    help->addWidget(new QLabel("%b = bps (eg. 128000)", this), 1, 1);
    form->addLayout(help, row++, 1, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button3);
    buttons->addStretch();
    buttons->addWidget(Button4);

    auto* top = new QHBoxLayout;
    top->addWidget(ListBox1, 1);
    top->addLayout(form, 2);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);
    ListBox1->setMinimumSize(180, 200);
    Edit4->setMinimumWidth(260);

    chooseProgram = [](QWidget* p) {
        QFileDialog dlg(p, "Executable Program", QDir::homePath());
        dlg.setFileMode(QFileDialog::ExistingFile);
        // Linux programs carry no extension, so "All" is the filter that shows them.
        dlg.setNameFilters({"All (*)", "EXE (*.exe)"});
        dlg.selectNameFilter("All (*)");
        return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first()
                                                                                 : QString();
    };

    connect(Button2, &QPushButton::clicked, this, &TExtEncodersForm::Button2Click);
    connect(ComboBox1, qOverload<int>(&QComboBox::activated), this, &TExtEncodersForm::ComboBox1Change);
    connect(ListBox1, &QListWidget::itemClicked, this, &TExtEncodersForm::ListBox1Click);
    connect(ListBox1, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item, QListWidgetItem*) { ListBox1Click(item); });
    connect(Button1, &QPushButton::clicked, this, &TExtEncodersForm::Button1Click);
    connect(Button3, &QPushButton::clicked, this, &TExtEncodersForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::accept);
    ListBox1->installEventFilter(this);
}

void TExtEncodersForm::showEvent(QShowEvent* e) {
    ComboBox1->clear();
    for (const EncoderPreset& p : kEncoderPresets) ComboBox1->addItem(p.caption);
    m_edit = ExtEncoderProfile{};
    m_edit.name = "Unnamed";
    Edit1->setText("Unnamed");
    Edit4->clear();
    Edit2->clear();
    Edit3->clear();
    Redraw();
    QDialog::showEvent(e);
}

bool TExtEncodersForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == ListBox1 && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        Button3Click();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TExtEncodersForm::Redraw() {
    const QSignalBlocker quiet(ListBox1);
    ListBox1->clear();
    for (int i = 0; i < m_list.Count(); ++i) ListBox1->addItem(QString::fromStdString(m_list.At(i).name));
}

void TExtEncodersForm::Button2Click() {
    const QString path = chooseProgram ? chooseProgram(this) : QString();
    if (path.isEmpty()) return;
    const QFileInfo info(path);
    m_edit.folder = info.absolutePath().toStdString();
    m_edit.program = info.fileName().toStdString();
    Edit4->setText(info.fileName());
}

void TExtEncodersForm::ComboBox1Change(int index) {
    if (index < 0 || index >= kEncoderPresetCount) return;
    Edit2->setText(kEncoderPresets[index].arguments);
    Edit3->setText(kEncoderPresets[index].extension);
}

void TExtEncodersForm::ListBox1Click(QListWidgetItem* item) {
    if (!item) return;
    const int i = ListBox1->row(item);
    if (i < 0 || i >= m_list.Count()) return;
    m_edit = m_list.At(i);
    Edit1->setText(QString::fromStdString(m_edit.name));
    Edit4->setText(QString::fromStdString(m_edit.program));
    Edit2->setText(QString::fromStdString(m_edit.arguments));
    Edit3->setText(QString::fromStdString(m_edit.extension));
}

void TExtEncodersForm::Button1Click() {
    ExtEncoderProfile p = m_edit;
    p.name = Edit1->text().toStdString();
    p.arguments = Edit2->text().toStdString();
    p.extension = Edit3->text().toStdString();
    lastCheck = m_list.Add(p);
    Redraw();
}

void TExtEncodersForm::Button3Click() {
    const int i = ListBox1->currentRow();
    if (i < 0 || !ListBox1->currentItem() || !ListBox1->currentItem()->isSelected()) return;
    m_list.Delete(i);
    Redraw();
}
