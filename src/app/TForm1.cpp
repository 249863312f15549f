#include "app/TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ostream>

#include "app/CommandTable.h"
#include "app/BrowserController.h"
#include "app/DSPController.h"
#include "app/EditController.h"
#include "app/ExportController.h"
#include "app/HelpController.h"
#include "app/ImportController.h"
#include "app/PanelBox.h"
#include "app/TBoardSetupForm.h"
#include "app/MetersController.h"
#include "app/PrefsController.h"
#include "app/LibraryBrowserController.h"
#include "app/RegionDetailsController.h"
#include "app/RegionEditController.h"
#include "app/SearchController.h"
#include "app/SnapsController.h"
#include "app/SideSections.h"
#include "app/ImportFilesSection.h"
#include "app/RecordSection.h"
#include "app/CDImportSection.h"
#include "core/CRecorder.h"
#include "app/MarkersSection.h"
#include "app/RangesSection.h"
#include "app/VSTChainSection.h"
#include "app/ScreenCheck.h"
#include "app/QtMainThreadPort.h"
#include "app/QtUiPort.h"
#include "app/WindowAreas.h"
#include "app/WindowKeys.h"
#include "app/WindowTick.h"
#include "app/WindowTransportView.h"
#include "core/CCore.h"
#include "engine/CTransport.h"
#include "views/CWaveViewer.h"
#include "engine/NullDevice.h"
#include "library/CRegionList.h"
#include "core/ProgramFolder.h"

namespace {
const char* kAppTitle = "Sonquil";
const char* kLibraryInUse = "The library is in use by another program (sonquil-cli).\n"
                            "Please start Sonquil again when it has finished.";
const int kSidePanelWidth = 224;
const int kAbovePanelHeight = 83;
} // namespace

TForm1::TForm1(StartupEnvironment env, QWidget* parent) : QMainWindow(parent), m_env(std::move(env)) {
    setObjectName("Form1");
    m_qtUi = std::make_unique<QtUiPort>(this);
    m_ui = m_env.ui ? m_env.ui : m_qtUi.get();
    m_mainThread = std::make_unique<QtMainThreadPort>();
    m_core = std::make_unique<CCore>(*m_ui, *m_mainThread);
    size_t count = 0;
    const CommandRow* rows = MainWindowCommands(count);
    m_commands = new CommandTable(rows, count, this);
    Startup();
}

TForm1::~TForm1() { Form1OnDestroy(); }

bool TForm1::StartupComplete() const { return m_core->StartupComplete(); }

void TForm1::Trace(const char* step) {
    if (m_env.trace) *m_env.trace << step << "\n";
}

void TForm1::Terminate(StartupResult why) {
    m_result = why;
    showMinimized();
    hide();
}

void TForm1::Startup() {
    // The executable's folder is the current folder.
    m_exeFolder = m_env.exeFolder.empty() ? ExecutableFolder() : m_env.exeFolder;
    std::error_code ec;
    std::filesystem::current_path(m_exeFolder, ec);

    // One instance only: a second one ends without a word.
    m_instance = std::make_unique<SingleInstance>(m_env.lockPath.empty() ? SingleInstance::DefaultLockPath()
                                                                         : m_env.lockPath);
    if (!m_instance->Acquire()) {
        Terminate(StartupResult::AnotherInstance);
        return;
    }

    QApplication::setApplicationName(kAppTitle);
    setWindowTitle(kAppTitle);

    // The panels, the areas in them and the commands the areas offer.
    BuildLayout();
    RegisterShellCommands();
    for (auto& area : m_areas) area->RegisterCommands(*m_commands);
    m_commands->BuildMenuBar(menuBar());
    m_commands->AddShortcutsTo(this);

    // The core: the DSP engine, the screen check between it and the objects, the library.
    CoreOptions options;
    options.baseFolder = ProgramDataFolder(m_exeFolder);
    options.trace = m_env.trace;
    options.beforeObjects = [this] {
        Trace("Checking screen size");
        return CheckScreenSize();
    };
    switch (m_core->Start(options)) {
    case CCore::StartResult::Running: break;
    case CCore::StartResult::DSPEngineMissing: Terminate(StartupResult::DSPEngineMissing); return;
    case CCore::StartResult::Refused: Terminate(StartupResult::ScreenTooSmall); return;
    case CCore::StartResult::LibraryFailed: Terminate(StartupResult::LibraryFailed); return;
    case CCore::StartResult::LibraryInUse:
        // A tool (perhaps run from cron or by another user) works on this library now; two
        // holders would each save over the other's work.
        m_ui->Notice(kLibraryInUse, kAppTitle);
        Terminate(StartupResult::LibraryFailed);
        return;
    }

    // The splash shows while the rest starts.
    if (m_env.splash) {
        m_env.splash->show();
        m_env.splash->repaint();
    }

    // The region tree with the user's folders ("User" selected), the preset tree, the panels;
    // the preferences come last, when every area that owns a key has its widgets.
    if (CNullDevice* null = m_core->NullDevice(); null && !m_env.nullInput.empty())
        null->settings.inputFile = m_env.nullInput;
    Trace("Preparing RL folders");
    for (auto& area : m_areas) {
        if (area.get() == m_prefs) Trace("Reading prefs");
        area->CoreStarted();
    }
    // The transport tells the window of its changes; the window's keys see every key first.
    m_transportView = std::make_unique<WindowTransportView>();
    m_transportView->refresh.push_back([this] { m_meters->RefreshTransport(); });
    // The menus follow a change of the transport at once, not only at the next timer tick.
    m_transportView->refresh.push_back([this] {
        if (CTransport* t = m_core->Transport()) m_commands->ApplyTransportState(t->State());
    });
    m_transportView->removePlayMark.push_back([this](int32_t) { m_edit->RemovePlayMark(); });
    m_transportView->pauseAt.push_back([this](int32_t lastShown) { m_edit->PauseAt(lastShown); });
    m_transportView->playFromCursor.push_back([this] { m_edit->PlayFromCursor(); });
    if (CTransport* transport = m_core->Transport()) transport->SetView(m_transportView.get());
    m_keys = new WindowKeys(this, *m_core, *m_browserView, [this] { return m_mode; });
    m_keys->SetEditArea(m_edit);
    m_keys->togglePanel = [this](int panel) { m_sections->TogglePanel(panel); };
    m_keys->finishRecording = [this] { m_record->AfterStop(); };
    qApp->installEventFilter(m_keys);

    // The main timer. The splash stays a second longer, without holding up the window.
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(50);
    connect(m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    m_timer1->start();
    if (QWidget* splash = m_env.splash) QTimer::singleShot(1000, splash, [splash] { splash->hide(); });

    ApplyColourScheme();

    Trace("Setting enviroment");
    SetMode(0);

    // From now on the shutdown saves the library.
    m_core->MarkStartupComplete();
    setFocus(Qt::OtherFocusReason);
}

bool TForm1::CheckScreenSize() {
    QSize size;
    double ratio = 1.0;
    QRect work;
    if (m_env.screenSize) {
        size = *m_env.screenSize;
        ratio = m_env.screenRatio;
        work = QRect(QPoint(0, 0), size);
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        size = s->size();
        ratio = s->devicePixelRatio();
        work = s->availableGeometry();
    }
    // The screen's real pixels decide: at scale factor 2 a large screen has few logical ones.
    std::string refusal;
    if (!ScreenLargeEnough(ScreenDeviceSize(size, ratio), refusal)) {
        m_ui->Notice(refusal, kAppTitle);
        return false;
    }
    // The whole work area, from its top left corner. A scaled screen's work area can be lower
    // than the window's usual minimum (2560 x 1440 at scale 2 less a desktop panel is under 690
    // logical pixels high): the minimum then gives way, so that the window stays on the screen.
    setMinimumSize(std::min(kMinWidth, work.width()), std::min(kMinHeight, work.height()));
    setGeometry(work);
    return true;
}

void TForm1::RegisterShellCommands() {
    m_commands->Bind("file.quit", [this](bool) { close(); });
    m_commands->Bind("setup.audioBoard", [this](bool) {
        if (!m_boardSetup) m_boardSetup = std::make_unique<TBoardSetupForm>(*m_core->Devices(), this);
        m_boardSetup->Run(*m_core->AudioThread());
    });
}

void TForm1::BuildLayout() {
    auto* central = new QWidget(this);
    central->setObjectName("MainPanel");
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    auto* leftPanel = new QFrame(central);
    leftPanel->setObjectName("LeftPanel");
    leftPanel->setFixedWidth(kSidePanelWidth);
    auto* leftLayout = new QVBoxLayout(leftPanel);
    leftLayout->setContentsMargins(2, 2, 2, 2);

    auto* work = new QFrame(central);
    work->setObjectName("WorkPanel");
    work->setFrameShape(QFrame::StyledPanel);
    auto* workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    workLayout->addStretch(1);

    auto* rightPanel = new QFrame(central);
    rightPanel->setObjectName("RightPanel");
    rightPanel->setFixedWidth(kSidePanelWidth);
    auto* rightLayout = new QVBoxLayout(rightPanel);
    rightLayout->setContentsMargins(2, 2, 2, 2);

    middle->addWidget(leftPanel);
    middle->addWidget(work, 1);
    middle->addWidget(rightPanel);

    auto* abovePanel = new QFrame(central);
    abovePanel->setObjectName("AboveTapePanel");
    abovePanel->setFixedHeight(kAbovePanelHeight);
    abovePanel->setFrameShape(QFrame::StyledPanel);
    auto* aboveLayout = new QHBoxLayout(abovePanel);
    aboveLayout->setContentsMargins(0, 0, 0, 0);

    auto* tapePanel = new QFrame(central);
    tapePanel->setObjectName("TapePanel");
    tapePanel->setFixedHeight(120);
    tapePanel->setFrameShape(QFrame::StyledPanel);
    auto* tapeLayout = new QVBoxLayout(tapePanel);
    tapeLayout->setContentsMargins(0, 0, 0, 0);

    outer->addLayout(middle, 1);
    outer->addWidget(abovePanel);
    outer->addWidget(tapePanel);
    setCentralWidget(central);
    setMinimumSize(kMinWidth, kMinHeight);

    // The areas put their widgets into these places, in this order.
    WindowAreas areas{leftLayout, workLayout, rightLayout, aboveLayout, tapeLayout};
    m_waveViewer = std::make_unique<CWaveViewer>();
    auto browser = std::make_unique<LibraryBrowserController>(*m_core, areas);
    m_browser = browser.get();
    m_areas.push_back(std::move(browser));
    auto search = std::make_unique<SearchController>(*m_core, areas);
    SearchController* searchArea = search.get();
    m_areas.push_back(std::move(search));
    auto details = std::make_unique<RegionDetailsController>(*m_core, areas);
    RegionDetailsController* detailsArea = details.get();
    m_areas.push_back(std::move(details));
    auto dsp = std::make_unique<DSPController>(*m_core, areas);
    m_dsp = dsp.get();
    m_areas.push_back(std::move(dsp));
    auto browserArea = std::make_unique<BrowserController>(*m_core, areas, m_browser->RegionTree());
    BrowserController* browserView = browserArea.get();
    m_browserView = browserView;
    m_areas.push_back(std::move(browserArea));
    m_browser->SetBrowser(browserView);
    searchArea->SetBrowser(browserView);
    detailsArea->SetBrowser(browserView);
    // The edit-mode area: the region graph of the wave viewer, opened by a double click.
    auto editArea = std::make_unique<EditController>(*m_core, areas, *m_waveViewer);
    m_edit = editArea.get();
    m_areas.push_back(std::move(editArea));
    m_edit->SetBrowser(browserView);
    m_edit->SetModeHook([this](int mode) { SetMode(mode); });
    m_edit->SetFolderHook([this](int32_t folderId) { m_browser->SelectFolder(folderId); });
    browserView->SetOpenHook([this](CRegion* region) { return m_edit->OpenRegion(region); });
    browserView->SetAuditionHook([this](CRegion* region) { m_edit->ShowAuditioned(region); });
    // A region the graph starts showing shows its details (and notes) in the side panel.
    m_waveViewer->SetNotesHook(
        [this, detailsArea](const std::string&) { detailsArea->Show(m_waveViewer->CurrentRegion()); });
    auto meters = std::make_unique<MetersController>(*m_core, areas);
    m_meters = meters.get();
    m_areas.push_back(std::move(meters));
    m_tick = std::make_unique<WindowTick>(m_areas, *m_meters);
    // The region graph's colour scheme is the meter bridge's too.
    m_edit->SetSchemeHook([this](int scheme) {
        m_meters->Display().SetColourScheme(scheme);
        if (m_meters->Box()) m_meters->Box()->Recompose();
        // Preferences: the valve amplifier's panel shows the same LEDs.
        m_dsp->SetValveScheme(scheme);
    });
    auto import = std::make_unique<ImportController>(*m_core, *m_ui, this);
    ImportHooks hooks;
    hooks.selectFolder = [this](int32_t folderId) { m_browser->SelectFolder(folderId); };
    // A new region shows in the browser as the current one; during the VTape menu's imports it
    // also lands on the VTape.
    hooks.showOnTape = [browserView](CRegion& region) {
        browserView->ShowNewRegion(&region);
        browserView->ImportedRegion(region);
    };
    hooks.clearBrowserSelection = [browserView] { browserView->ClearSelection(); };
    // The browser already shows each new region as it comes; the end of the loop repaints.
    hooks.redrawTapes = [browserView] { browserView->Redraw(); };
    import->SetHooks(std::move(hooks));
    ImportController* importer = import.get();
    m_import = importer;
    browserView->SetImportRunner(
        [importer](const std::vector<std::string>& paths, bool link) { importer->ImportFiles(paths, link); });
    m_browser->SetFoundImporter([importer] { return importer->Importer(); });
    // An import refills the peak buffers: the graph lets go of its picture.
    connect(importer, &ImportController::viewerCleared, this, [this] { m_edit->ClearViewer(); });
    m_edit->SetPeakBuffers(&importer->Peaks());
    m_areas.push_back(std::move(import));
    auto exportArea = std::make_unique<ExportController>(*m_core, *m_ui, *browserView, this);
    ExportController* exporter = exportArea.get();
    detailsArea->SetExtraRows([exporter](const CRegion& region) { return exporter->LoudnessRows(region); });
    exportArea->SetMainTimerHook([this](bool on) {
        if (!m_timer1) return;
        if (on) m_timer1->start();
        else m_timer1->stop();
    });
    m_areas.push_back(std::move(exportArea));

    // Region editing and DSP snaps/presets: both act on the region the wave viewer shows.
    auto regionEdit = std::make_unique<RegionEditController>(*m_core, *browserView, *m_waveViewer);
    regionEdit->SetMainTimerHook([this](bool on) {
        if (!m_timer1) return;
        if (on) m_timer1->start();
        else m_timer1->stop();
    });
    m_regionEdit = regionEdit.get();
    m_areas.push_back(std::move(regionEdit));
    auto snaps = std::make_unique<SnapsController>(*m_core, areas, *m_waveViewer, *m_dsp);
    m_snaps = snaps.get();
    m_areas.push_back(std::move(snaps));
    // A deleted region leaves the graph (its images and the note of what plays go with it); a
    // region made from the range shows in the graph's views and the snap list at once.
    m_regionEdit->SetViewerClearedHook([this] {
        m_edit->ClearViewer();
        m_snaps->Refresh();
    });
    browserView->SetDeleteHook([this](const std::vector<CRegion*>& regions) { m_regionEdit->DeleteRegions(regions); });
    m_regionEdit->SetChangedHook([this] {
        m_edit->Repaint();
        m_snaps->Refresh();
    });

    // ---- side sections block: the column of the right side panel and what its sections show.
    auto sections = std::make_unique<SideSections>(*m_core, areas);
    m_sections = sections.get();
    m_sections->SetPanels(leftPanel, rightPanel, abovePanel);
    m_importFiles = std::make_unique<ImportFilesSection>();
    m_importFiles->SetRunner(
        [importer](const std::vector<std::string>& paths, bool link) { importer->ImportFiles(paths, link); });
    auto ranges = std::make_unique<RangesSection>(*m_core, *m_waveViewer);
    auto markers = std::make_unique<MarkersSection>(*m_core, *m_waveViewer);
    m_sections->SetContent(SideSections::ImportFiles, m_importFiles->Widget());
    // The "Record" section: the core's recorder fills the shared peak buffers; a take shows in
    // the browser as the current region and goes onto the work list.
    auto record = std::make_unique<RecordSection>(*m_core, importer->Peaks());
    m_record = record.get();
    RecordSection::Hooks recordHooks;
    recordHooks.clearViewer = [this] { m_edit->ClearViewer(); };
    recordHooks.clearMeters = [this] { m_meters->ClearMeters(); };
    recordHooks.finished = [browserView](CRegion& region) {
        browserView->ShowNewRegion(&region);
        browserView->WorkList().Insert(&region);
        browserView->Redraw();
    };
    m_record->SetHooks(std::move(recordHooks));
    m_sections->SetContent(SideSections::Record, m_record->Widget());
    m_meters->SetRecordingCounter([this](int64_t& frames, int64_t& limit, int32_t& rate) {
        if (const CRecorder* r = m_record->Recorder()) {
            frames = r->FramesRecorded();
            limit = r->FrameLimit();
            rate = r->Rate();
        }
    });
    m_meters->SetAutoStopFeed([this](float) { m_record->AutoStopTick(); });
    m_areas.push_back(std::move(record));
    // The "Import AudioCD" section: its imports fill the shared peak buffers and show their
    // regions as the file imports do.
    auto cd = std::make_unique<CDImportSection>(*m_core, *m_ui, importer->Peaks(), this);
    m_cdImport = cd.get();
    CDImportSection::Hooks cdHooks;
    cdHooks.clearViewer = [this] { m_edit->ClearViewer(); };
    cdHooks.clearBrowserSelection = [browserView] { browserView->ClearSelection(); };
    cdHooks.selectFolder = [this](int32_t folderId) { m_browser->SelectFolder(folderId); };
    cdHooks.addToBrowser = [browserView](CRegion& region) { browserView->ShowNewRegion(&region); };
    cdHooks.redrawTapes = [browserView] { browserView->Redraw(); };
    m_cdImport->SetHooks(std::move(cdHooks));
    m_sections->SetContent(SideSections::ImportAudioCD, m_cdImport->Widget());
    m_areas.push_back(std::move(cd));
    m_sections->SetContent(SideSections::EditRegionNotes, detailsArea->NotesPanel(), detailsArea->NotesBox());
    m_sections->SetContent(SideSections::EditRanges, ranges->List());
    m_sections->SetContent(SideSections::EditMarkers, markers->List());
    m_sections->SetContent(SideSections::ViewRegionInfo, detailsArea->InfoList());
    m_sections->SetContent(SideSections::EditDSPSnaps, m_snaps->SnapPanel());
    m_sections->SetContent(SideSections::ViewRegionAndSubregions, detailsArea->SameSampleList());
    // "Edit DSP Chain": the plug-in chain, its dock and its dialogs.
    auto chain = std::make_unique<VSTChainSection>(*m_core, *m_ui, this);
    m_vstChain = chain.get();
    m_sections->SetContent(SideSections::EditDSPChain, m_vstChain->Widget());
    m_areas.push_back(std::move(chain));
    // A range of the history dropped on the region list becomes the viewer's range and then a
    // region of its own (Create New Region From Range).
    RangesSection* rangesArea = ranges.get();
    detailsArea->SetRangeDropHook([this, rangesArea](int line) {
        if (m_mode != 1 || !rangesArea->SelectLine(line)) return;
        m_regionEdit->CreateFromRange();
    });
    m_ranges = rangesArea;
    m_markers = markers.get();
    m_areas.push_back(std::move(ranges));
    m_areas.push_back(std::move(markers));
    m_areas.push_back(std::move(sections));
    // ---- end of the side sections block.

    // The "Help" menu and the desktop's mixer.
    m_areas.push_back(std::make_unique<HelpController>(*m_core, *m_ui, this, m_env.splash));

    // Preferences block: last, so that its start-up sees every other area's widgets.
    auto prefs = std::make_unique<PrefsController>(*m_core, this, *browserView);
    m_prefs = prefs.get();
    m_areas.push_back(std::move(prefs));
    // The section lists take the font size too.
    m_prefs->AddFontTargets(
        {m_importFiles->Tree(), m_importFiles->Files(), m_ranges->List(), m_markers->List(), m_cdImport->Tracks()});
}

void TForm1::ApplyColourScheme() {
    // The window a light grey-blue, the trees and lists a pale blue.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xE3, 0xE3, 0xE9));
    setPalette(pal);
    QPalette tree = m_browser->RegionTree()->palette();
    tree.setColor(QPalette::Base, QColor(0xEE, 0xEE, 0xFF));
    m_browser->RegionTree()->setPalette(tree);
}

void TForm1::Timer1Timer() {
    const EngineSnapshot snapshot = m_core->Snapshot();
    m_commands->ApplyTransportState(snapshot.transportState);
    CTransport* transport = m_core->Transport();
    if (!transport) return;
    m_mainTimer.Tick(snapshot, transport->lastShown, *m_tick);
}

void TForm1::SetMode(int mode) {
    // A control the switch hides (the region browser, entered by a double click on it) would
    // pass the focus on to the next control, a combo box that then eats Space: the keys go back
    // to the window instead.
    QWidget* focused = QApplication::focusWidget();
    setUpdatesEnabled(false);
    m_mode = mode;
    m_commands->ApplyMode(mode);
    for (auto& area : m_areas) area->ModeChanged(mode);
    HideEmptyMenus();
    setUpdatesEnabled(true);
    if (focused && !focused->isVisible()) setFocus(Qt::OtherFocusReason);
}

void TForm1::HideEmptyMenus() {
    // Deepest menus first, so that a parent sees its submenus' new state.
    QList<QMenu*> menus = findChildren<QMenu*>();
    std::sort(menus.begin(), menus.end(),
              [](QMenu* a, QMenu* b) { return a->objectName().count('/') > b->objectName().count('/'); });
    for (QMenu* m : menus) {
        if (!m->objectName().startsWith("menu:")) continue;
        bool any = false;
        for (QAction* a : m->actions())
            if (a->isVisible() && !a->isSeparator()) any = true;
        m->menuAction()->setVisible(any);
    }
}

CRegionList* TForm1::RegionList() const { return m_core->RegionList(); }
QTreeWidget* TForm1::RegionTree() const { return m_browser ? m_browser->RegionTree() : nullptr; }
QTreeWidget* TForm1::PresetTree() const { return m_dsp ? m_dsp->PresetTree() : nullptr; }
QAction* TForm1::UseSSEAction() const { return m_commands->Action("setup.useSSE"); }
PanelBox* TForm1::ControlAmpBox() const { return m_dsp ? m_dsp->ControlAmpBox() : nullptr; }

void TForm1::CreateDialogs() { m_qtUi->CreateDialogs(); }

bool TForm1::Form1OnCloseQuery() {
    // A running transport is stopped first; closing is always allowed.
    if (CTransport* transport = m_core->Transport(); transport && !transport->IsStopped()) transport->Stop();
    return true;
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (Form1OnCloseQuery()) e->accept();
    else e->ignore();
}

void TForm1::Form1OnShow() { setFocus(Qt::OtherFocusReason); }

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    Form1OnShow();
    // Files from the command line are imported as if dropped on the window, once it is up (the
    // import's progress and report then have their parent), and only once.
    if (!m_env.files.empty() && StartupComplete())
        QTimer::singleShot(0, this, [this] {
            const std::vector<std::string> files = std::move(m_env.files);
            m_env.files.clear();
            if (!files.empty()) m_import->ImportDropped(files);
        });
}

void TForm1::Form1OnDestroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (m_timer1) m_timer1->stop();
    if (m_keys) qApp->removeEventFilter(m_keys);
    for (auto& area : m_areas) area->CoreStopping();
    if (CTransport* transport = m_core->Transport()) transport->SetView(nullptr);
    // The core ends the engine, saves the library after a complete start-up, and ends the
    // objects in the shutdown order.
    m_core->Stop();
}
