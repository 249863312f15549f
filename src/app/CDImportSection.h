#pragma once
// CDImportSection: the "Import AudioCD" side section (browse mode) and the "CDDB Settings..."
// item of the "Setup" menu. A drive list (the machine's drives and the disc images opened in this
// run), the track list with a check box per track and the columns "Tracks", "Time" and "Size",
// and the buttons "Import", "Refresh" and "CDDB". A small "..." button beside the drive list
// opens a disc image (a cue sheet, a cdrdao TOC, a Nero image or a BIN beside its cue sheet),
// which then stands in the list as a drive: people without a drive import from images.
//
// The reading, the lookup and the import are the core's (CCDRip, the CDDB lookup, CCDImportJob),
// the same the command-line tool runs; this area shows their texts and hands them the window's
// dialogs through the UI port. The chosen drive is kept in the preferences store.
//
// Threading: main thread only.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AreaController.h"

class CRegion;
class CCDImportJob;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QWidget;
class TCDDBSettingsForm;
class UiPort;
struct PeakBuffers;

class CDImportSection : public QObject, public AreaController {
    Q_OBJECT
public:
    // What the window does around an import; every hook may be empty.
    struct Hooks {
        std::function<void()> clearViewer; // before the shared peak buffers are refilled
        std::function<void()> clearBrowserSelection;
        std::function<void(int32_t folderId)> selectFolder;
        std::function<void(CRegion& region)> addToBrowser;
        std::function<void()> redrawTapes;
    };
    // The preferences key of the chosen drive (the store leaves the keys from 110 to the panels).
    static constexpr int kDriveKey = 130;

    // peaks: the window's shared peak buffers; window: the parent of the settings dialog.
    CDImportSection(CCore& core, UiPort& ui, PeakBuffers& peaks, QWidget* window);
    ~CDImportSection() override;

    QWidget* Widget() const { return m_widget; }
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void CoreStopping() override;

    // The panel's actions, as its controls run them.
    // Clears the track list and fills it from the table of contents of the chosen drive.
    void RefreshTracks();
    // Keeps the chosen drive and reads its tracks.
    void DriveChosen(int index);
    // The lookup of the disc in the chosen drive, then its tracks read again.
    void Lookup();
    // Imports the checked tracks; false when nothing ran (no reader, the transport busy).
    bool ImportChecked();
    // Asks for a disc image and offers it as a drive.
    void ChooseImage();
    // Offers the image at path as a drive and chooses it; false (after telling why) when it
    // cannot be opened as a disc.
    bool OpenImage(const std::string& path);
    // The "CDDB Settings" dialog, modal.
    void ShowSettings();

    // The controls (tests drive them like a person).
    QComboBox* Drives() const { return m_drives; }
    QTreeWidget* Tracks() const { return m_tracks; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QPushButton* CDDBButton() const { return m_cddb; }
    QPushButton* ImageButton() const { return m_image; }
    // The checked rows, 0-based, ascending.
    std::vector<int> CheckedTracks() const;
    // The settings dialog, made at its first use (tests drive it through the menu item).
    TCDDBSettingsForm* SettingsForm() const { return m_settings.get(); }

private:
    void FillDrives();
    // Stops a running playback; true when the transport is then stopped.
    bool TransportReady();

    UiPort& m_ui;
    PeakBuffers& m_peaks;
    QWidget* m_window;
    Hooks m_hooks;
    CommandTable* m_commands = nullptr;
    std::unique_ptr<CCDImportJob> m_job;
    std::unique_ptr<TCDDBSettingsForm> m_settings;
    std::string m_imageFolder;
    bool m_filling = false;

    QWidget* m_widget = nullptr;
    QComboBox* m_drives = nullptr;
    QPushButton* m_image = nullptr;
    QTreeWidget* m_tracks = nullptr;
    QPushButton *m_import = nullptr, *m_refresh = nullptr, *m_cddb = nullptr;
};
