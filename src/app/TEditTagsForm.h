#pragma once
// TEditTagsForm: the "Edit Tags" dialog of the batch tag edit. It shows one region's fill
// and returns the person's choice with the box texts; what happens to the regions is
// TagEditSession's (src/export), shared with the command-line tool.
//
// Threading: main thread only.

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <vector>

#include "export/TagBatch.h"

class CRegion;

class TEditTagsForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditTagsForm(QWidget* parent = nullptr);

    // Fills the boxes, runs the dialog, returns the choice (closing it is "Cancel").
    TagDialogAnswer Ask(const TagDialogFill& fill);
    // The whole batch over the selection with this dialog; true when anything was taken
    // (the caller then redraws the browser and the tape).
    static bool EditSelection(TagEditSession& session, const std::vector<CRegion*>& selection,
                              QWidget* parent = nullptr);

    QComboBox* ComboBox1; // Title
    QComboBox* ComboBox2; // Artist
    QComboBox* ComboBox3; // Album
    QComboBox* ComboBox4; // Year
    QComboBox* ComboBox5; // Genre
    QPushButton* writeButton;
    QPushButton* skipButton;
    QPushButton* cancelButton;
    QPushButton* writeAllButton;

private:
    TagChoice m_choice = TagChoice::Cancel;
};
