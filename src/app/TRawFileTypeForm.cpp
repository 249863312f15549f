#include "app/TRawFileTypeForm.h"

#include <QGridLayout>
#include <QLabel>

namespace {

struct FormatEntry {
    const char* caption;
    int32_t bits;
    int32_t code;
};
const FormatEntry kFormats[] = {
    {"16bit LSB-Intel", 16, kRawIntLE},          {"24bit LSB-Intel(3-byte packed)", 24, kRawIntLE},
    {"32bit LSB-Intel(integer)", 32, kRawIntLE}, {"32bit LSB-Intel(float -1.0:+1.0)", 32, kRawFloatLE},
    {"16bit MSB-Moto", 16, kRawIntBE},           {"24bit MSB-Moto(3-byte packed)", 24, kRawIntBE},
    {"32bit MSB-Moto(integer)", 32, kRawIntBE},  {"32bit MSB-Moto(float -1.0:+1.0)", 32, kRawFloatBE},
};
const int32_t kRates[] = {32000, 44100, 48000, 88200, 96000, 176400, 192000};

} // namespace

int TRawFileTypeForm::s_format = 0;
int TRawFileTypeForm::s_rate = 1;
int TRawFileTypeForm::s_channels = 1;

TRawFileTypeForm::TRawFileTypeForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle("Raw File Type");
    setModal(true);
    sampleFormat = new QComboBox(this);
    for (const FormatEntry& f : kFormats) sampleFormat->addItem(f.caption);
    rate = new QComboBox(this);
    for (int32_t r : kRates) rate->addItem(QString("%1Hz").arg(r));
    channels = new QComboBox(this);
    channels->addItems({"Mono", "Stereo"});
    okButton = new QPushButton("Ok", this);
    okButton->setDefault(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(sampleFormat, 0, 0, 1, 2);
    grid->addWidget(rate, 1, 0);
    grid->addWidget(channels, 1, 1);
    grid->addWidget(okButton, 2, 1);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

RawFileType TRawFileTypeForm::Selected() const {
    RawFileType f;
    const int i = std::max(0, sampleFormat->currentIndex());
    f.bits = kFormats[i].bits;
    f.sampleType = kFormats[i].code;
    f.rate = kRates[std::max(0, rate->currentIndex())];
    f.channels = channels->currentIndex() == 0 ? 1u : 2u;
    return f;
}

bool TRawFileTypeForm::ChooseRawFormat(const std::string& fileName, RawFileType& format) {
    sampleFormat->setCurrentIndex(s_format);
    rate->setCurrentIndex(s_rate);
    channels->setCurrentIndex(s_channels);
    okButton->setFocus();
    exec();
    s_format = sampleFormat->currentIndex();
    s_rate = rate->currentIndex();
    s_channels = channels->currentIndex();
    format = Selected();
    return true;
}
