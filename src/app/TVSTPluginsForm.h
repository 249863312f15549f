#pragma once
// TVSTPluginsForm: the "VST Plugins" dialog that picks a plug-in for the chain. Its list is
// scanned afresh every time it opens (the user may have copied plug-ins in meanwhile). "Ok", or
// a double click, test-loads the selected plug-in: one that fails says why and the dialog stays
// open for another choice; one that passes closes the dialog, and Chosen() names it. "Cancel"
// closes it with nothing chosen.
//
// Threading: main thread only.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class UiPort;

class TVSTPluginsForm : public QDialog {
    Q_OBJECT
public:
    // The plug-in files of the user's folders, in folder and directory order.
    using Scan = std::function<std::vector<std::string>()>;
    // Test-loads a plug-in by file name: true when it can be hosted, else false and the reason.
    using TestLoad = std::function<bool(const std::string& name, std::string& message)>;

    TVSTPluginsForm(UiPort& ui, Scan scan, TestLoad testLoad, QWidget* parent = nullptr);

    // The plug-in that passed its test load (after an accepted run).
    const std::string& Chosen() const { return m_chosen; }

    QListWidget* ListBox1;
    QPushButton* Button1; // "Ok"
    QPushButton* Button2; // "Cancel"

protected:
    void showEvent(QShowEvent* e) override;

private slots:
    void Button1Click();

private:
    UiPort& m_ui;
    Scan m_scan;
    TestLoad m_testLoad;
    std::string m_chosen;
};
