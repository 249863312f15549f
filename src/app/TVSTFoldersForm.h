#pragma once
// TVSTFoldersForm: the "VST Folders" dialog. It edits the user's plug-in folder list in place:
// "Add VST Folder..." asks for a folder (and does nothing while the list holds its 20),
// "Remove VST Folder" drops the selected one, "Done" closes. The list is stored with the
// library, so the change outlives the run.
//
// Threading: main thread only.

#include <QDialog>

class CVSTFolders;
class QListWidget;
class QPushButton;
class UiPort;

class TVSTFoldersForm : public QDialog {
    Q_OBJECT
public:
    TVSTFoldersForm(CVSTFolders& folders, UiPort& ui, QWidget* parent = nullptr);

    QListWidget* ListBox1;
    QPushButton* Button1; // "Add VST Folder..."
    QPushButton* Button2; // "Remove VST Folder"
    QPushButton* Button3; // "Done"

protected:
    void showEvent(QShowEvent* e) override;

private slots:
    void Button1Click();
    void Button2Click();

private:
    void Redraw();

    CVSTFolders& m_folders;
    UiPort& m_ui;
};
