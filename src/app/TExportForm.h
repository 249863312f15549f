#pragma once
// TExportForm: the "Export..." form. It shows the output folder, the subfolder, the automatic
// naming (written into the work list at once), the format list with the external encoders
// after the built-in formats, and the bit-rate, depth and channel boxes each format offers;
// "Export" closes it with the choice, "Cancel" without. The export itself is ExportJob's.
//
// Threading: main thread only.

#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <string>
#include <vector>

#include "export/ExportSettings.h"

class CWorkList;
class QFormLayout;
class ExtEncoderList;
class UiPort;

class TExportForm : public QDialog {
    Q_OBJECT
public:
    // ui asks for the folder; the naming settings live in workList.
    TExportForm(UiPort& ui, CWorkList& workList, QWidget* parent = nullptr);

    // Before each showing: the format list from the encoders (entry 0 selected, its boxes
    // shown), the naming from the work list, the folder remembered from the last export.
    void Prepare(const ExtEncoderList* encoders, const std::string& folder);
    // What the boxes say.
    ExportChoice Choice() const;
    // The folder chosen with "Folder..." (empty until one was).
    const std::string& Folder() const { return m_folder; }
    const std::vector<ExportFormatEntry>& Formats() const { return m_formats; }

    QPushButton* Button2;        // "Folder..."
    QLineEdit* Edit4;            // the folder (read-only)
    QLineEdit* Edit5;            // "SubFolder"
    QGroupBox* RadioGroup2;      // "File Auto-naming"
    QRadioButton* regionName;    // "Region Name"
    QRadioButton* baseNameIndex; // "Base Name / Index"
    QLineEdit* Edit6;            // base name
    QSpinBox* CSpinEdit9;        // start index 1..999
    QComboBox* ComboBox8;        // format
    QComboBox* ComboBox12;       // bit rate
    QComboBox* ComboBox9;        // depth
    QComboBox* ComboBox10;       // "Stereo", "Mono"
    QLabel* bitRateLabel;
    QLabel* depthLabel;
    QLabel* channelLabel;
    // "Loudness": "Off" (the default), the presets, or "Other" with a number; "Per file" or
    // "As album". Kept between showings of the form.
    QComboBox* loudnessBox;
    QDoubleSpinBox* loudnessTarget; // LUFS, for "Other"
    QComboBox* loudnessMode;        // "Per file", "As album"
    QPushButton* Button1;           // "Export"
    QPushButton* Button3;           // "Cancel"

private slots:
    void FormatChanged(int index);
    void ChooseFolder();
    void NamingChanged();
    void LoudnessChanged();

private:
    UiPort& m_ui;
    CWorkList& m_workList;
    QFormLayout* m_boxes = nullptr;
    const ExtEncoderList* m_encoders = nullptr;
    std::vector<ExportFormatEntry> m_formats;
    std::vector<int32_t> m_bitRates;
    std::string m_folder;
    bool m_loading = false;
};
