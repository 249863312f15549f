#pragma once
// TRawFileTypeForm: the "Raw File Type" dialog that a raw file's import shows, a small modal tool
// window with the sample format, the rate and the channels and an "Ok" button. It remembers its
// last selections for the next raw file while the program runs.
//
// Threading: main thread only.

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "audiofile/ImportPipeline.h"

class TRawFileTypeForm : public QDialog, public RawFormatChooser {
    Q_OBJECT
public:
    explicit TRawFileTypeForm(QWidget* parent = nullptr);

    // Shows the dialog modally and gives the chosen format; always true (the dialog has only
    // "Ok", and closing it takes the shown choice as well).
    bool ChooseRawFormat(const std::string& fileName, RawFileType& format) override;

    // The format of the three lists' current entries.
    RawFileType Selected() const;

    QComboBox* sampleFormat;
    QComboBox* rate;
    QComboBox* channels;
    QPushButton* okButton;

private:
    // The last selections of this run (defaults: 16-bit Intel, 44100 Hz, stereo).
    static int s_format, s_rate, s_channels;
};
