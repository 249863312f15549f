#include "app/ImportFilesSection.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "audiofile/ImportPipeline.h"

bool ImportFilesSection::IsListed(const QString& fileName) {
    // The extensions the import recognises, the same list its region names drop.
    const QString upper = fileName.toUpper();
    for (const std::string& ext : ImportExtensions()) {
        const QString e = "." + QString::fromStdString(ext).toUpper();
        // A name that is only the extension (".wav") is a hidden file, not an audio file.
        if (upper.size() > e.size() && upper.endsWith(e)) return true;
    }
    return false;
}

ImportFilesSection::ImportFilesSection() {
    m_widget = new QWidget;
    m_widget->setObjectName("ImportFilesPanel");
    auto* v = new QVBoxLayout(m_widget);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QDir::rootPath());
    m_tree = new QTreeView;
    m_tree->setObjectName("ImportFolderTree");
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    for (int c = 1; c < m_model->columnCount(); ++c) m_tree->hideColumn(c);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    v->addWidget(m_tree, 3);

    m_files = new QListWidget;
    m_files->setObjectName("ImportFileList");
    m_files->setSelectionMode(QAbstractItemView::NoSelection);
    v->addWidget(m_files, 2);

    auto* row = new QHBoxLayout;
    m_mode = new QComboBox;
    m_mode->setObjectName("ImportMode");
    m_mode->addItems({"Copy", "Link"});
    m_mode->setCurrentIndex(0);
    m_import = new QPushButton("Import");
    m_import->setObjectName("ImportFilesButton");
    row->addWidget(m_mode, 1);
    row->addWidget(m_import, 1);
    v->addLayout(row);

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
        if (index.isValid()) ShowFolder(m_model->filePath(index));
    });
    connect(m_import, &QPushButton::clicked, this, [this] { Import(); });
    // Files that come or go in the shown folder show at once, as in a file manager.
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        if (path == m_folder) FillList();
    });
    ShowFolder(QDir::homePath());
}

ImportFilesSection::~ImportFilesSection() = default;

void ImportFilesSection::ShowFolder(const QString& folder) {
    if (folder != m_folder) {
        if (!m_folder.isEmpty()) m_watcher->removePath(m_folder);
        m_folder = folder;
        m_watcher->addPath(m_folder);
    }
    const QModelIndex index = m_model->index(folder);
    if (index.isValid() && m_tree->currentIndex() != index) {
        m_tree->setCurrentIndex(index);
        m_tree->scrollTo(index);
    }
    FillList();
}

void ImportFilesSection::FillList() {
    m_files->clear();
    const QString folder = m_folder;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (!IsListed(info.fileName())) continue;
        auto* item = new QListWidgetItem(info.fileName());
        item->setData(Qt::UserRole, info.absoluteFilePath());
        m_files->addItem(item);
    }
}

std::vector<std::string> ImportFilesSection::ListedPaths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < m_files->count(); ++i)
        paths.push_back(m_files->item(i)->data(Qt::UserRole).toString().toStdString());
    return paths;
}

void ImportFilesSection::Import() {
    // The folder is read again: files may have come or gone since it was shown.
    FillList();
    const std::vector<std::string> paths = ListedPaths();
    if (paths.empty() || !m_runner) return;
    m_runner(paths, m_mode->currentIndex() == 1);
}
