#pragma once
// TRenameForm: the "Rename" dialog of the batch rename. Enter moves the focus to the next
// control rather than pressing a button, so a name is never taken by accident. What the
// batch does to the regions is RenameRegions (src/export), shared with the tool.
//
// Threading: main thread only.

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "export/TagBatch.h"

class CRegion;
class CRegionList;

class TRenameForm : public QDialog {
    Q_OBJECT
public:
    explicit TRenameForm(QWidget* parent = nullptr);

    // Shows name, runs the dialog, returns the choice (closing it is "Cancel").
    RenameAnswer Ask(const std::string& name);
    // The batch over the selection (or one region); messages through notice. Returns how
    // many regions got a new name (the caller redraws the browser and the tape when any did).
    static int RenameSelection(CRegionList& list, const std::vector<CRegion*>& selection,
                               const std::function<void(const std::string&)>& notice, QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPushButton* renameButton;
    QPushButton* skipButton;
    QPushButton* cancelButton;

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    RenameChoice m_choice = RenameChoice::Cancel;
};
