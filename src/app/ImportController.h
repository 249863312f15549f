#pragma once
// ImportController: bringing audio files into the library from the window. It owns the
// "Import Audio File (Copy) ..." and "Import Audio File (Link) ..." commands (each dialog keeps
// its own last folder, the home folder at first), files dropped from the desktop's file manager
// onto the window (imported by copy), the "Raw File Type" dialog, the report switches of the
// "View" menu and the "Audio Storage" choices. The file loop, the import and the link are the
// importer's (audiofile/ImportPipeline.h); new regions reach the rest of the window through its
// hooks (SetHooks), so the region tree and the tape can show them.
//
// Threading: main thread only.

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/AreaController.h"
#include "audiofile/ImportPipeline.h"

class QWidget;
class TRawFileTypeForm;
class UiPort;

class ImportController : public QObject, public AreaController {
    Q_OBJECT
public:
    // window receives the drops; ui shows the dialogs.
    ImportController(CCore& core, UiPort& ui, QWidget* window);
    ~ImportController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void CoreStopping() override;

    // What the window does with new regions (tree selection, tape); kept for the next importer.
    // The viewer's hook also announces viewerCleared.
    void SetHooks(ImportHooks hooks);
    // The runs of the file loop: by copy or by link, full paths. A running playback is stopped
    // first; while the transport records, monitors or renders nothing happens (false).
    bool ImportFiles(const std::vector<std::string>& paths, bool link);
    // Files handed over by the desktop: dropped on the window or named on the command line.
    bool ImportDropped(const std::vector<std::string>& paths);
    // The importer (the Found scan links the VDisk's unclaimed files through it).
    CImporter* Importer() const { return m_importer.get(); }
    // The shared peak buffers the imports fill (the wave viewer draws them).
    PeakBuffers& Peaks() { return m_peaks; }

signals:
    // An import is about to refill the shared peak buffers: whatever draws from them (the wave
    // viewer) lets go of its picture now.
    void viewerCleared();

protected:
    // Drops of local files on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseAndRun(bool link);
    // Stops a running playback; true when the transport is then stopped.
    bool TransportReady();
    void SetStorage(int choice);
    void SetOnImport(bool transcode);
    void CheckStorageItems();

    UiPort& m_ui;
    QWidget* m_window;
    CommandTable* m_commands = nullptr;
    std::unique_ptr<TRawFileTypeForm> m_raw;
    std::unique_ptr<CImporter> m_importer;
    ImportHooks m_hooks;
    PeakBuffers m_peaks;
    ImportSettings m_settings;
    std::string m_copyFolder;
    std::string m_linkFolder;
    bool m_showImportReports = true;
    bool m_showLinkReports = true;
};
