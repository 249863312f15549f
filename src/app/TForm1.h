#pragma once
// TForm1: the main window, the shell of the program. Its constructor runs the start-up: the
// single-instance lock, the layout of the panels, the core (which makes every long-lived object
// and opens the library), the window areas' controllers, the main timer and the mode. Its
// destructor runs the shutdown. Everything an area shows and every command it offers lives in
// that area's controller; the commands themselves are rows of one table (Commands.cpp).
//
// Threading: main thread only.

#include <QMainWindow>
#include <QSize>
#include <QTreeWidget>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainTimer.h"
#include "common/SingleInstance.h"

class QtUiPort;
class QtMainThreadPort;
class UiPort;
class QAction;
class QTimer;
class PanelBox;
class CCore;
class CRegionList;
class CommandTable;
class AreaController;
class LibraryBrowserController;
class DSPController;
class BrowserController;
class EditController;
class MetersController;
class ImportController;
class TBoardSetupForm;
class WindowKeys;
class WindowTick;
class WindowTransportView;
class CWaveViewer;
class RegionEditController;
class SnapsController;
class PrefsController;
class SideSections;
class ImportFilesSection;
class RecordSection;
class RangesSection;
class MarkersSection;
class VSTChainSection;
class CDImportSection;

// What the start-up takes from its surroundings. The program fills it from the real system;
// tests inject a folder, a lock, a screen size and a scripted UI port.
struct StartupEnvironment {
    std::filesystem::path exeFolder; // empty: the folder of the running executable
    std::string lockPath;            // empty: the session's lock
    std::optional<QSize> screenSize; // none: the primary screen; logical pixels, as Qt reports it
    double screenRatio = 1.0;        // the injected screen's device pixel ratio (scale factor)
    UiPort* ui = nullptr;            // none: the window's own dialogs
    std::ostream* trace = nullptr;   // start-up trace; none is opened by default
    QWidget* splash = nullptr;       // the splash window, shown while the library loads
    // Files named on the command line (a file manager's "Open with"): imported like a drop when
    // the window is first shown after a complete start-up.
    std::vector<std::string> files;
    // The null device's input file (--null-input); empty for its generated tone.
    std::string nullInput;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    enum class StartupResult { Running, AnotherInstance, DSPEngineMissing, ScreenTooSmall, LibraryFailed };

    explicit TForm1(StartupEnvironment env = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // False when start-up ended early; the program then quits without showing the window.
    bool StartupComplete() const;
    StartupResult Result() const { return m_result; }
    int Mode() const { return m_mode; }

    UiPort& Ui() const { return *m_ui; }
    // The shared dialogs, created once after the main window.
    void CreateDialogs();
    CCore& Core() const { return *m_core; }
    CommandTable& Commands() const { return *m_commands; }

    // Shortcuts into the areas, for the program's tests.
    CRegionList* RegionList() const;
    QTreeWidget* RegionTree() const;
    QTreeWidget* PresetTree() const;
    QAction* UseSSEAction() const;
    PanelBox* ControlAmpBox() const;
    // The snap area (region editing block).
    SnapsController* Snaps() const { return m_snaps; }
    CWaveViewer& WaveViewer() const { return *m_waveViewer; }
    // Preferences block: the settings no other area owns, and the font size's widget list.
    PrefsController* Preferences() const { return m_prefs; }
    DSPController* DSP() const { return m_dsp; }
    MetersController* Meters() const { return m_meters; }
    EditController* Edit() const { return m_edit; }
    // The side sections of the right side panel (side sections block).
    SideSections* Sections() const { return m_sections; }
    ImportFilesSection* ImportFiles() const { return m_importFiles.get(); }
    RecordSection* Record() const { return m_record; }
    RangesSection* Ranges() const { return m_ranges; }
    MarkersSection* Markers() const { return m_markers; }
    // The plug-in chain's section, dock and dialogs.
    VSTChainSection* VSTChain() const { return m_vstChain; }
    CDImportSection* CDImport() const { return m_cdImport; }

    // One tick of the main timer (50 ms).
    void Timer1Timer();
    const MainTimer& Timer() const { return m_mainTimer; }
    WindowKeys* Keys() const { return m_keys; }
    // Browse (0) or edit (1) mode: the areas show their parts of the mode, the command table its
    // rows.
    void SetMode(int mode);

    static constexpr int kMinWidth = 1024;
    static constexpr int kMinHeight = 690;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void Startup();
    bool CheckScreenSize();
    void BuildLayout();
    void RegisterShellCommands();
    void ApplyColourScheme();
    // A menu whose items the mode hides all goes from the bar (and from its parent menu) too.
    void HideEmptyMenus();
    void Trace(const char* step);
    void Terminate(StartupResult why);

    // Window events named after the control and the event.
    bool Form1OnCloseQuery();
    void Form1OnDestroy();
    void Form1OnShow();

    StartupEnvironment m_env;
    std::filesystem::path m_exeFolder;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<QtUiPort> m_qtUi;
    UiPort* m_ui = nullptr;
    std::unique_ptr<QtMainThreadPort> m_mainThread;
    std::unique_ptr<CCore> m_core;
    // The region graph's model: the edit-mode area draws and operates it, the region editing and
    // snap commands act on the region it shows.
    std::unique_ptr<CWaveViewer> m_waveViewer;
    CommandTable* m_commands = nullptr;

    StartupResult m_result = StartupResult::Running;
    int m_mode = 0; // 0 browse, 1 edit
    bool m_destroyed = false;

    // The areas, in layout order; the shell hands each the same moments of the program's life.
    std::vector<std::unique_ptr<AreaController>> m_areas;
    LibraryBrowserController* m_browser = nullptr;
    DSPController* m_dsp = nullptr;
    BrowserController* m_browserView = nullptr;
    EditController* m_edit = nullptr;
    MetersController* m_meters = nullptr;
    RegionEditController* m_regionEdit = nullptr; // region editing block
    SnapsController* m_snaps = nullptr;
    PrefsController* m_prefs = nullptr;   // preferences block
    ImportController* m_import = nullptr; // the command line's files go through its drop import
    // Side sections block.
    SideSections* m_sections = nullptr;
    std::unique_ptr<ImportFilesSection> m_importFiles;
    RecordSection* m_record = nullptr;
    RangesSection* m_ranges = nullptr;
    MarkersSection* m_markers = nullptr;
    VSTChainSection* m_vstChain = nullptr;
    CDImportSection* m_cdImport = nullptr;
    QTimer* m_timer1 = nullptr;
    MainTimer m_mainTimer;
    std::unique_ptr<WindowTick> m_tick;
    std::unique_ptr<WindowTransportView> m_transportView;
    WindowKeys* m_keys = nullptr;
    std::unique_ptr<TBoardSetupForm> m_boardSetup;
};
