#pragma once
// TForm1: the main window. Its constructor runs the whole start-up and its destructor the
// shutdown; every long-lived object of the program is created and owned here, in a fixed
// order, and reached by the rest of the program through the references it hands out.
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

#include "app/SingleInstance.h"

class QtUiPort;
class UiPort;
class QFrame;
class QAction;
class QTimer;
class PanelBox;
class CDitherEngine;
class CSampleList;
class CRegionList;
class CPresetList;
class CParaEQ4B;
class CCompressor;
class CStereoImager;
class CTubeAmp;
class CDSPStack;
class CPrefs;
class CVSTFolders;
class CDatabase;
class DSPPanelView;
class ControlAmpView;

// What the start-up takes from its surroundings. The program fills it from the real system;
// tests inject a folder, a lock, a screen size and a scripted UI port.
struct StartupEnvironment {
    std::filesystem::path exeFolder;  // empty: the folder of the running executable
    std::string lockPath;             // empty: the session's lock
    std::optional<QSize> screenSize;  // none: the primary screen
    UiPort* ui = nullptr;             // none: the window's own dialogs
    std::ostream* trace = nullptr;    // start-up trace; none is opened by default
    QWidget* splash = nullptr;        // the splash window, shown while the library loads
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    enum class StartupResult { Running, AnotherInstance, DSPEngineMissing, ScreenTooSmall, LibraryFailed };

    explicit TForm1(StartupEnvironment env = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // False when start-up ended early; the program then quits without showing the window.
    bool StartupComplete() const { return m_startupComplete; }
    StartupResult Result() const { return m_result; }
    int Mode() const { return m_mode; }

    UiPort& Ui() const { return *m_ui; }
    // The shared dialogs, created once after the main window.
    void CreateDialogs();
    QTreeWidget* RegionTree() const { return m_regionTree; }
    const std::filesystem::path& ExeFolder() const { return m_exeFolder; }
    const std::filesystem::path& DatabaseBaseFolder() const { return m_dbBaseFolder; }

    // The long-lived objects (null before start-up created them).
    CSampleList* SampleList() const { return m_sampleList.get(); }
    CRegionList* RegionList() const { return m_regionList.get(); }
    CPresetList* PresetList() const { return m_presetList.get(); }
    CPrefs* Prefs() const { return m_prefs.get(); }
    CDSPStack* Stack() const { return m_stack.get(); }
    CTubeAmp* ValveAmp() const { return m_valveAmp.get(); }
    QTreeWidget* PresetTree() const { return m_presetTree; }
    QAction* UseSSEAction() const { return m_useSSE; }
    PanelBox* ControlAmpBox() const { return m_controlAmpBox; }

    // One tick of the main timer (50 ms).
    void Timer1Timer();

    static std::filesystem::path ExecutableFolder();
    static constexpr int kMinWidth = 1024;
    static constexpr int kMinHeight = 690;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Start-up steps; each returns false when the program must end.
    void Startup();
    bool StartDSPEngine();
    bool CheckScreenSize();
    bool OpenLibrary();
    // The objects the database file keeps.
    struct DbLibrary Library() const;
    void BuildMenus();
    void BuildPresetTree();
    void UseSSEClick(bool checked);
    void CreateMainObjects();
    void BuildLayout();
    void BuildRegionTree();
    void PrepareRegionFolders();
    void SetMode(int mode);
    void ApplyColourScheme();
    void Trace(const char* step);
    void Terminate(StartupResult why);

    // Window events named after the control and the event.
    bool Form1OnCloseQuery();
    void Form1OnDestroy();
    void Form1OnShow();

    StartupEnvironment m_env;
    std::filesystem::path m_exeFolder;
    std::filesystem::path m_dbBaseFolder;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<QtUiPort> m_qtUi;
    UiPort* m_ui = nullptr;
    std::ostream* m_trace = nullptr;

    // Start-up state.
    bool m_startupComplete = false;
    StartupResult m_result = StartupResult::Running;
    int m_mode = 0; // 0 browse, 1 edit
    int m_storageMode = 0;
    int m_lossyBitRate = 400;
    std::string m_copyImportFolder;
    std::string m_linkImportFolder;
    bool m_destroyed = false;
    bool m_dspLoaded = false;

    // Long-lived objects, in the order start-up creates them.
    std::unique_ptr<CDitherEngine> m_dither;
    std::unique_ptr<CSampleList> m_sampleList;
    std::unique_ptr<CRegionList> m_regionList;
    std::unique_ptr<CPresetList> m_presetList;
    std::unique_ptr<CParaEQ4B> m_eq;
    std::unique_ptr<CCompressor> m_compressor;
    std::unique_ptr<CStereoImager> m_imager;
    std::unique_ptr<CTubeAmp> m_valveAmp;
    std::unique_ptr<CDSPStack> m_stack;
    std::unique_ptr<CPrefs> m_prefs;
    std::unique_ptr<CVSTFolders> m_vstFolders;
    std::unique_ptr<CDatabase> m_database;
    std::unique_ptr<DSPPanelView> m_dspPanelView;
    std::unique_ptr<ControlAmpView> m_controlAmpView;

    // Window parts.
    QFrame* m_leftPanel = nullptr;
    QFrame* m_rightPanel = nullptr;
    QFrame* m_tapePanel = nullptr;
    QFrame* m_abovePanel = nullptr;
    QTreeWidget* m_regionTree = nullptr;
    QTreeWidget* m_presetTree = nullptr;
    PanelBox* m_dspPanelBox = nullptr;
    PanelBox* m_controlAmpBox = nullptr;
    QAction* m_useSSE = nullptr;
    QTimer* m_timer1 = nullptr;
};
