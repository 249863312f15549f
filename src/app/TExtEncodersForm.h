#pragma once
// TExtEncodersForm: the "Encoders" dialog that edits the external encoder profiles.
//
// The dialog works on the list it is given; edits take effect in it at once. "Add Profile"
// stores the edit buffer when it passes the seven checks (nothing is shown when it does not;
// the list simply stays as it was). After the dialog closes the caller rebuilds the export
// format list.
//
// Threading: main thread only.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>

#include "export/ExtEncoders.h"

class TExtEncodersForm : public QDialog {
    Q_OBJECT
public:
    explicit TExtEncodersForm(ExtEncoderList& list, QWidget* parent = nullptr);

    // Asks for the program file; returns its full path or an empty text. Tests replace it.
    std::function<QString(QWidget* parent)> chooseProgram;

    QListWidget* ListBox1;
    QLineEdit* Edit1;     // "Friendly Name"
    QLineEdit* Edit4;     // "Executable Program" (read-only)
    QPushButton* Button2; // "..."
    QComboBox* ComboBox1; // "Arguments Presets"
    QLineEdit* Edit2;     // "Arguments"
    QLineEdit* Edit3;     // "Filename Extension"
    QPushButton* Button1; // "Add Profile"
    QPushButton* Button3; // "Delete Profile"
    QPushButton* Button4; // "Done"

    // The result of the last "Add Profile" (for the tool and tests; the dialog shows none).
    ProfileCheck lastCheck = ProfileCheck::Ok;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private slots:
    void Button2Click();
    void ComboBox1Change(int index);
    void ListBox1Click(QListWidgetItem* item);
    void Button1Click();
    void Button3Click();

private:
    void Redraw();

    ExtEncoderList& m_list;
    ExtEncoderProfile m_edit; // the edit buffer: folder and program come from "..."
};
