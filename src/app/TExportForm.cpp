#include "app/TExportForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <iterator>

#include "common/UiPort.h"
#include "export/ExtEncoders.h"
#include "views/CWorkList.h"

TExportForm::TExportForm(UiPort& ui, CWorkList& workList, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_workList(workList) {
    setWindowTitle("Export...");
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Button2 = new QPushButton("Folder...", this);
    Edit4 = new QLineEdit(this);
    Edit4->setReadOnly(true);
    Edit4->setMinimumWidth(320);
    Edit5 = new QLineEdit(this);
    Edit5->setMaxLength(255);
    RadioGroup2 = new QGroupBox("File Auto-naming", this);
    regionName = new QRadioButton("Region Name", RadioGroup2);
    baseNameIndex = new QRadioButton("Base Name / Index", RadioGroup2);
    Edit6 = new QLineEdit(RadioGroup2);
    Edit6->setMaxLength(255);
    CSpinEdit9 = new QSpinBox(RadioGroup2);
    CSpinEdit9->setRange(1, 999);
    auto* naming = new QGridLayout(RadioGroup2);
    naming->addWidget(regionName, 0, 0);
    naming->addWidget(baseNameIndex, 1, 0);
    naming->addWidget(Edit6, 1, 1);
    naming->addWidget(CSpinEdit9, 1, 2);

    ComboBox8 = new QComboBox(this);
    ComboBox12 = new QComboBox(this);
    ComboBox9 = new QComboBox(this);
    ComboBox10 = new QComboBox(this);
    ComboBox10->addItems({"Stereo", "Mono"});
    bitRateLabel = new QLabel("Bit Rate", this);
    depthLabel = new QLabel("Depth", this);
    channelLabel = new QLabel("Channels", this);
    loudnessBox = new QComboBox(this);
    loudnessBox->addItem("Off");
    for (double preset : kLoudnessPresets) {
        QString text = QString("%1 LUFS").arg(preset, 0, 'f', 0);
        if (preset == -14.0) text += " (streaming)";
        if (preset == -23.0) text += " (broadcast)";
        loudnessBox->addItem(text);
    }
    loudnessBox->addItem("Other");
    loudnessTarget = new QDoubleSpinBox(this);
    loudnessTarget->setRange(kLoudnessTargetMin, kLoudnessTargetMax);
    loudnessTarget->setDecimals(1);
    loudnessTarget->setSingleStep(0.5);
    loudnessTarget->setSuffix(" LUFS");
    loudnessTarget->setValue(-18.0);
    loudnessMode = new QComboBox(this);
    loudnessMode->addItems({"Per file", "As album"});
    Button1 = new QPushButton("Export", this);
    Button3 = new QPushButton("Cancel", this);
    Button1->setDefault(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Button2);
    folderRow->addWidget(Edit4, 1);
    auto* boxes = m_boxes = new QFormLayout;
    boxes->addRow("SubFolder", Edit5);
    boxes->addRow("Format", ComboBox8);
    boxes->addRow(bitRateLabel, ComboBox12);
    boxes->addRow(depthLabel, ComboBox9);
    boxes->addRow(channelLabel, ComboBox10);
    auto* loudness = new QHBoxLayout;
    loudness->addWidget(loudnessBox);
    loudness->addWidget(loudnessTarget);
    loudness->addWidget(loudnessMode);
    boxes->addRow("Loudness", loudness);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button3);
    auto* all = new QVBoxLayout(this);
    all->addLayout(folderRow);
    all->addLayout(boxes);
    all->addWidget(RadioGroup2);
    all->addLayout(buttons);
    // The form takes the height of the rows its format shows.
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button2, &QPushButton::clicked, this, &TExportForm::ChooseFolder);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    connect(ComboBox8, &QComboBox::currentIndexChanged, this, &TExportForm::FormatChanged);
    connect(regionName, &QRadioButton::toggled, this, &TExportForm::NamingChanged);
    connect(Edit6, &QLineEdit::textChanged, this, &TExportForm::NamingChanged);
    connect(CSpinEdit9, &QSpinBox::valueChanged, this, &TExportForm::NamingChanged);
    connect(loudnessBox, &QComboBox::currentIndexChanged, this, &TExportForm::LoudnessChanged);
    LoudnessChanged();
}

void TExportForm::LoudnessChanged() {
    const int i = loudnessBox->currentIndex();
    loudnessTarget->setEnabled(i == loudnessBox->count() - 1);
    loudnessMode->setEnabled(i > 0);
    // A preset shows its number, so "Other" starts from the last target chosen.
    if (i > 0 && i <= static_cast<int>(std::size(kLoudnessPresets)))
        loudnessTarget->setValue(kLoudnessPresets[static_cast<size_t>(i - 1)]);
}

void TExportForm::Prepare(const ExtEncoderList* encoders, const std::string& folder) {
    m_loading = true;
    m_encoders = encoders;
    m_folder = folder;
    Edit4->setText(QString::fromStdString(folder));
    const bool base = m_workList.GetNamingMode() == CWorkList::BaseNameIndex;
    baseNameIndex->setChecked(base);
    regionName->setChecked(!base);
    Edit6->setText(QString::fromStdString(m_workList.GetBaseName()));
    CSpinEdit9->setValue(m_workList.GetStartIndex());
    m_formats = BuildExportFormatList(encoders);
    ComboBox8->blockSignals(true);
    ComboBox8->clear();
    for (const ExportFormatEntry& e : m_formats) ComboBox8->addItem(QString::fromStdString(e.caption));
    ComboBox8->setCurrentIndex(0);
    ComboBox8->blockSignals(false);
    m_loading = false;
    FormatChanged(0);
}

void TExportForm::FormatChanged(int index) {
    if (index < 0 || index >= static_cast<int>(m_formats.size())) return;
    const FormatBoxes b = BoxesFor(m_formats[static_cast<size_t>(index)], m_encoders);
    ComboBox9->clear();
    for (const std::string& d : b.depths) ComboBox9->addItem(QString::fromStdString(d));
    ComboBox9->setCurrentIndex(b.depths.empty() ? -1 : 0);
    m_bitRates = b.bitRates;
    ComboBox12->clear();
    int start = -1;
    for (size_t i = 0; i < b.bitRates.size(); ++i) {
        ComboBox12->addItem(QString("%1kbps").arg(b.bitRates[i]));
        if (b.bitRates[i] == b.bitRateStart) start = static_cast<int>(i);
    }
    ComboBox12->setCurrentIndex(start);
    ComboBox10->setCurrentIndex(0);
    // Whole rows go, so a hidden box leaves no gap.
    m_boxes->setRowVisible(ComboBox9, !b.depths.empty());
    m_boxes->setRowVisible(ComboBox10, b.channelBox);
    m_boxes->setRowVisible(ComboBox12, !b.bitRates.empty());
}

void TExportForm::ChooseFolder() {
    std::string chosen;
    if (!m_ui.ChooseFolder("Export Folder", m_folder, chosen) || chosen.empty()) return;
    m_folder = chosen;
    Edit4->setText(QString::fromStdString(chosen));
}

void TExportForm::NamingChanged() {
    if (m_loading) return;
    // The work list keeps the naming until the program ends, whether or not this export runs.
    m_workList.SetNamingMode(baseNameIndex->isChecked() ? CWorkList::BaseNameIndex : CWorkList::RegionName);
    m_workList.SetBaseName(Edit6->text().toStdString());
    m_workList.SetStartIndex(CSpinEdit9->value());
}

ExportChoice TExportForm::Choice() const {
    ExportChoice c;
    const int f = ComboBox8->currentIndex();
    if (f >= 0 && f < static_cast<int>(m_formats.size())) c.format = m_formats[static_cast<size_t>(f)];
    c.depthIndex = ComboBox9->isVisibleTo(this) ? std::max(0, ComboBox9->currentIndex()) : 0;
    c.mono = ComboBox10->isVisibleTo(this) && ComboBox10->currentIndex() == 1;
    const int k = ComboBox12->currentIndex();
    c.kbps = k >= 0 && k < static_cast<int>(m_bitRates.size()) ? m_bitRates[static_cast<size_t>(k)] : 128;
    c.folder = m_folder;
    c.subfolder = Edit5->text().toStdString();
    c.baseNameIndex = baseNameIndex->isChecked();
    c.baseName = Edit6->text().toStdString();
    c.startIndex = CSpinEdit9->value();
    c.loudness = loudnessBox->currentIndex() > 0;
    c.loudnessTarget = loudnessTarget->value();
    c.loudnessAlbum = loudnessMode->currentIndex() == 1;
    return c;
}
