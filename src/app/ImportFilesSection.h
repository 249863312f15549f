#pragma once
// ImportFilesSection: the "Import Files" side section. A tree of the file system's folders and
// the audio files of the chosen folder (only the extensions the import reads), a "Copy"/"Link"
// selector and "Import", which imports every file of the list by copy or by link through the
// window's import loop.
//
// Threading: main thread only.

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QFileSystemModel;
class QFileSystemWatcher;
class QListWidget;
class QPushButton;
class QTreeView;
class QWidget;

class ImportFilesSection : public QObject {
    Q_OBJECT
public:
    using Runner = std::function<void(const std::vector<std::string>& paths, bool link)>;

    ImportFilesSection();
    ~ImportFilesSection() override;

    // Whether a file name has one of the extensions the list shows (compared in upper case).
    static bool IsListed(const QString& fileName);

    QWidget* Widget() const { return m_widget; }
    void SetRunner(Runner runner) { m_runner = std::move(runner); }
    // Shows the folder in the tree and its audio files in the list.
    void ShowFolder(const QString& folder);
    QString Folder() const { return m_folder; }
    // The full paths of the files in the list, in list order.
    std::vector<std::string> ListedPaths() const;
    // "Import": every listed file, by copy or by link as the selector says.
    void Import();

    QTreeView* Tree() const { return m_tree; }
    QListWidget* Files() const { return m_files; }
    QComboBox* Mode() const { return m_mode; }

private:
    void FillList();

    QWidget* m_widget = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QFileSystemModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QListWidget* m_files = nullptr;
    QComboBox* m_mode = nullptr;
    QPushButton* m_import = nullptr;
    QString m_folder;
    Runner m_runner;
};
