#include "app/ImportController.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "app/CommandTable.h"
#include "app/TRawFileTypeForm.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"
#include "library/CVDisk.h"

namespace {

// Preference keys of the report switches: 1 = the reports of that kind are hidden.
constexpr int kImportReportsHidden = 22;
constexpr int kLinkReportsHidden = 23;

const char* const kStorageIds[] = {"setup.storage.none", "setup.storage.lossless", "setup.storage.hq",
                                   "setup.storage.sp", "setup.storage.lp"};

std::vector<std::string> LocalFiles(const QMimeData* mime) {
    std::vector<std::string> files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

ImportController::ImportController(CCore& core, UiPort& ui, QWidget* window)
    : AreaController(core), m_ui(ui), m_window(window), m_raw(std::make_unique<TRawFileTypeForm>(window)) {
    m_copyFolder = m_linkFolder = QDir::homePath().toStdString();
    SetHooks({});
    if (m_window != nullptr) {
        m_window->setAcceptDrops(true);
        m_window->installEventFilter(this);
    }
}

ImportController::~ImportController() {
    if (m_window != nullptr) m_window->removeEventFilter(this);
}

void ImportController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("file.importCopy", [this](bool) { ChooseAndRun(false); });
    commands.Bind("file.importLink", [this](bool) { ChooseAndRun(true); });
    commands.Bind("view.showImportReports", [this](bool on) { m_showImportReports = on; });
    commands.Bind("view.showLinkReports", [this](bool on) { m_showLinkReports = on; });
    for (int i = 0; i < 5; ++i) commands.Bind(kStorageIds[i], [this, i](bool) { SetStorage(i); });
    commands.Bind("setup.onImport.transcode", [this](bool) { SetOnImport(true); });
    commands.Bind("setup.onImport.clone", [this](bool) { SetOnImport(false); });
}

void ImportController::CoreStarted() {
    CPrefs& prefs = *m_core.Prefs();
    m_settings = ImportSettingsFromPrefs(prefs);
    m_core.SetStorageMode(m_settings.storageMode, m_settings.bitRate);
    m_showImportReports = !(prefs.Has(kImportReportsHidden) && prefs.GetByte(kImportReportsHidden) == 1);
    m_showLinkReports = !(prefs.Has(kLinkReportsHidden) && prefs.GetByte(kLinkReportsHidden) == 1);
    m_importer = std::make_unique<CImporter>(*m_core.SampleList(), *m_core.RegionList(), *m_core.Library().vdisk,
                                             m_peaks, &m_ui);
    m_importer->SetSettings(m_settings);
    m_importer->SetRawChooser(m_raw.get());
    m_importer->SetHooks(m_hooks);
    if (m_commands != nullptr) {
        if (QAction* a = m_commands->Action("view.showImportReports")) a->setChecked(m_showImportReports);
        if (QAction* a = m_commands->Action("view.showLinkReports")) a->setChecked(m_showLinkReports);
    }
    CheckStorageItems();
}

void ImportController::CoreStopping() {
    // The settings go back into the preferences before the library is saved.
    if (CPrefs* prefs = m_core.Prefs()) {
        StoreImportSettings(*prefs, m_settings);
        prefs->SetByte(kImportReportsHidden, m_showImportReports ? 0 : 1);
        prefs->SetByte(kLinkReportsHidden, m_showLinkReports ? 0 : 1);
    }
    m_importer.reset();
}

void ImportController::SetHooks(ImportHooks hooks) {
    m_hooks = std::move(hooks);
    std::function<void()> clear = std::move(m_hooks.clearViewer);
    m_hooks.clearViewer = [this, clear] {
        if (clear) clear();
        emit viewerCleared();
    };
    if (m_importer) m_importer->SetHooks(m_hooks);
}

bool ImportController::TransportReady() {
    CTransport* transport = m_core.Transport();
    if (transport == nullptr) return true;
    if (transport->IsPlaying()) transport->Stop();
    return transport->IsStopped();
}

bool ImportController::ImportFiles(const std::vector<std::string>& paths, bool link) {
    if (!m_importer || paths.empty()) return false;
    // The import fills the peak buffers the engine's views share and reads the disk the player
    // streams from: nothing of the engine may run meanwhile.
    if (!TransportReady()) return false;
    bool& show = link ? m_showLinkReports : m_showImportReports;
    m_importer->RunFileLoop(paths, link, show);
    if (m_commands != nullptr)
        if (QAction* a = m_commands->Action(link ? "view.showLinkReports" : "view.showImportReports"))
            a->setChecked(show);
    return true;
}

void ImportController::ChooseAndRun(bool link) {
    if (!TransportReady()) return;
    std::string& folder = link ? m_linkFolder : m_copyFolder;
    std::vector<std::string> files;
    if (!m_ui.ChooseFiles(link ? "Import Audio File (Link)" : "Import Audio File (Copy)", folder, ImportFileFilter(),
                          true, files) ||
        files.empty())
        return;
    const std::string chosen = FolderOf(files.front());
    if (!chosen.empty()) folder = chosen;
    ImportFiles(files, link);
}

void ImportController::SetStorage(int choice) {
    ImportSettings s = m_settings;
    if (!ApplyStorageChoice(choice, s)) ApplyStorageChoice(4, s); // the last item, "LP"
    m_settings = s;
    m_core.SetStorageMode(s.storageMode, s.bitRate);
    if (m_importer) m_importer->SetSettings(s);
    CheckStorageItems();
}

void ImportController::SetOnImport(bool transcode) {
    m_settings.transcodeCompressed = transcode;
    if (m_importer) m_importer->SetSettings(m_settings);
    CheckStorageItems();
}

void ImportController::CheckStorageItems() {
    if (m_commands == nullptr) return;
    const int choice = StorageChoiceFor(m_settings);
    for (int i = 0; i < 5; ++i)
        if (QAction* a = m_commands->Action(kStorageIds[i])) a->setChecked(i == choice);
    if (QAction* a = m_commands->Action("setup.onImport.transcode")) a->setChecked(m_settings.transcodeCompressed);
    if (QAction* a = m_commands->Action("setup.onImport.clone")) a->setChecked(!m_settings.transcodeCompressed);
}

bool ImportController::ImportDropped(const std::vector<std::string>& paths) {
    // Dropped files are imported by copy, in the order the file manager gives them.
    return ImportFiles(paths, false);
}

bool ImportController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::DragEnter) {
        auto* e = static_cast<QDragEnterEvent*>(event);
        if (!LocalFiles(e->mimeData()).empty()) {
            e->acceptProposedAction();
            return true;
        }
    } else if (watched == m_window && event->type() == QEvent::Drop) {
        auto* e = static_cast<QDropEvent*>(event);
        const std::vector<std::string> files = LocalFiles(e->mimeData());
        if (!files.empty()) {
            e->acceptProposedAction();
            ImportDropped(files);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
