#include "app/TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <ostream>
#include <unistd.h>

#include <QMenuBar>
#include <QTimer>

#include "app/FolderIcons.h"
#include "app/PanelBox.h"
#include "app/QtUiPort.h"
#include "audiofile/PeakFile.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "library/CDatabase.h"
#include "library/CPrefs.h"
#include "library/CPresetList.h"
#include "library/CRegionList.h"
#include "library/CSampleList.h"
#include "library/CVSTFolders.h"
#include "library/Startup.h"
#include "views/DSPPanelView.h"

namespace {
const char* kAppTitle = "Sonquil";
const int kSidePanelWidth = 224;
const int kAbovePanelHeight = 83;

// The paint box handlers of a drawn panel view that is created later than its box.
template <typename View>
PanelBox::Handlers PanelHandlers(std::unique_ptr<View>& view, std::function<void(int, int)> compose) {
    PanelBox::Handlers h;
    h.compose = std::move(compose);
    h.image = [&view]() -> const QImage& {
        static const QImage none;
        return view ? view->Image() : none;
    };
    h.leftDown = [&view](bool alt, bool ctrl, int x, int y) { return view && view->LeftButtonDown({alt, ctrl}, x, y); };
    h.move = [&view](int x, int y, bool ctrl) {
        if (view) view->MouseMove(x, y, ctrl);
    };
    h.up = [&view] {
        if (view) view->MouseUp();
    };
    return h;
}

QTreeWidgetItem* MakeNode(const QString& caption, int id, int icon, int selectedIcon) {
    auto* item = new QTreeWidgetItem(QStringList{caption});
    item->setData(0, Qt::UserRole, id);
    item->setData(0, Qt::UserRole + 1, icon);
    item->setData(0, Qt::UserRole + 2, selectedIcon);
    item->setIcon(0, FolderIcons::Icon(icon, selectedIcon));
    return item;
}
} // namespace

std::filesystem::path TForm1::ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path();
    return exe.parent_path();
}

TForm1::TForm1(StartupEnvironment env, QWidget* parent) : QMainWindow(parent), m_env(std::move(env)) {
    setObjectName("Form1");
    m_qtUi = std::make_unique<QtUiPort>(this);
    m_ui = m_env.ui ? m_env.ui : m_qtUi.get();
    Startup();
}

TForm1::~TForm1() { Form1OnDestroy(); }

void TForm1::Trace(const char* step) {
    if (m_trace) *m_trace << step << "\n";
}

void TForm1::Terminate(StartupResult why) {
    m_result = why;
    showMinimized();
    hide();
}

void TForm1::Startup() {
    // 1. The executable's folder is the current folder; no trace stream is open by default.
    m_exeFolder = m_env.exeFolder.empty() ? ExecutableFolder() : m_env.exeFolder;
    std::error_code ec;
    std::filesystem::current_path(m_exeFolder, ec);
    m_trace = m_env.trace;

    // 2. One instance only: a second one ends without a word.
    m_instance = std::make_unique<SingleInstance>(m_env.lockPath.empty() ? SingleInstance::DefaultLockPath()
                                                                         : m_env.lockPath);
    if (!m_instance->Acquire()) {
        Terminate(StartupResult::AnotherInstance);
        return;
    }

    // 3. Title and caption.
    QApplication::setApplicationName(kAppTitle);
    setWindowTitle(kAppTitle);

    // 4. Panels of the window.
    BuildMenus();
    BuildLayout();

    // 5. DSP engine.
    Trace("Starting DSP engine");
    if (!StartDSPEngine()) {
        Terminate(StartupResult::DSPEngineMissing);
        return;
    }

    // 6. Screen size.
    Trace("Checking screen size");
    if (!CheckScreenSize()) {
        Terminate(StartupResult::ScreenTooSmall);
        return;
    }

    // 7. The long-lived objects, in their fixed order.
    Trace("Creating main objects");
    m_dbBaseFolder = m_exeFolder;
    CreateMainObjects();

    // 8. CD service; the import dialogs start in the user's home folder.
    Trace("Starting CD service");
    const char* home = getenv("HOME");
    m_copyImportFolder = m_linkImportFolder = home ? home : "/";

    // 9. The library.
    Trace("Opening DB");
    if (!OpenLibrary()) {
        Terminate(StartupResult::LibraryFailed);
        return;
    }

    // 10. The splash shows while the rest starts.
    if (m_env.splash) {
        m_env.splash->show();
        m_env.splash->repaint();
    }

    // 15. Region tree with its fixed nodes.
    BuildRegionTree();

    // 16. User folders; "User" selected.
    Trace("Preparing RL folders");
    PrepareRegionFolders();

    // 17. Preset tree.
    BuildPresetTree();

    // 18. Preferences.
    Trace("Reading prefs");

    // 20. The main timer.
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(50);
    connect(m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    m_timer1->start();
    // The splash stays a second longer, without holding up the window.
    if (QWidget* splash = m_env.splash) QTimer::singleShot(1000, splash, [splash] { splash->hide(); });

    // 24. Colours: the window a light grey-blue, the trees and lists a pale blue.
    ApplyColourScheme();

    // 25. Browse mode.
    Trace("Setting enviroment");
    SetMode(0);

    // 29. Start-up is complete: from now on the shutdown saves the library.
    m_startupComplete = true;
    setFocus(Qt::OtherFocusReason);
}

bool TForm1::StartDSPEngine() {
    CDSPEngine& engine = DSPEngine();
    std::string message;
    if (!engine.Load(message) || !engine.AllocWorkBuffers()) {
        engine.Unload();
        m_ui->Notice("DSPEngine module not found", kAppTitle);
        return false;
    }
    m_dspLoaded = true;
    if (engine.SSESupport()) {
        engine.UseSSE(1);
        m_useSSE->setChecked(true);
    } else {
        m_useSSE->setEnabled(false);
    }
    return true;
}

void TForm1::UseSSEClick(bool checked) { DSPEngine().UseSSE(checked ? 1 : 0); }

bool TForm1::CheckScreenSize() {
    QSize size;
    QRect work;
    if (m_env.screenSize) {
        size = *m_env.screenSize;
        work = QRect(QPoint(0, 0), size);
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        size = s->size();
        work = s->availableGeometry();
    }
    if (size.width() < 1024 || size.height() < 768) {
        m_ui->Notice("The minimum required screen resolution is 1024x768.\n Please modify settings using the "
                     "Windows control panel.",
                     kAppTitle);
        return false;
    }
    // The whole work area, from its top left corner.
    setGeometry(work);
    return true;
}

void TForm1::CreateMainObjects() {
    // Later parts add the work list, the two tapes and scroll bars, the transport, the wave
    // viewer, the audio display, the play list, the storage-format tables and the VST chain at
    // their places in this order.
    CDSPEngine& engine = DSPEngine();
    m_dither = std::make_unique<CDitherEngine>(engine);
    m_sampleList = std::make_unique<CSampleList>();
    m_regionList = std::make_unique<CRegionList>();
    m_presetList = std::make_unique<CPresetList>();
    m_presetList->CreateFactory();
    m_eq = std::make_unique<CParaEQ4B>();
    m_compressor = std::make_unique<CCompressor>(engine);
    m_imager = std::make_unique<CStereoImager>(engine);
    m_valveAmp = std::make_unique<CTubeAmp>(engine, *m_dither);
    m_stack = std::make_unique<CDSPStack>(engine, *m_dither, *m_valveAmp);
    m_stack->SetEqualiser(m_eq.get());
    m_stack->SetStereoImager(m_imager.get());
    m_stack->SetCompressor(m_compressor.get());
    m_prefs = std::make_unique<CPrefs>();
    CVDisk::Table().Clear(); // filled by the database or the first start
    m_vstFolders = std::make_unique<CVSTFolders>();

    m_dspPanelView = std::make_unique<DSPPanelView>();
    m_dspPanelView->SetProcessors(m_eq.get(), m_imager.get(), m_compressor.get());
    m_controlAmpView = std::make_unique<ControlAmpView>();
    m_controlAmpView->SetValveAmp(m_valveAmp.get());

    m_storageMode = 0;
    m_lossyBitRate = 400;
}

DbLibrary TForm1::Library() const {
    DbLibrary lib;
    lib.prefs = m_prefs.get();
    lib.vdisk = &CVDisk::Table();
    lib.samples = m_sampleList.get();
    lib.regions = m_regionList.get();
    lib.presets = m_presetList.get();
    lib.vstFolders = m_vstFolders.get();
    return lib;
}

bool TForm1::OpenLibrary() {
    m_database = std::make_unique<CDatabase>(m_dbBaseFolder);
    // Regions stored without statistics take them from their sample's peak file.
    m_database->SetPeakSource([](const CSample& sample, std::vector<uint16_t>& pairs) {
        std::string name;
        if (!sample.PeakFileName(name)) return false;
        return ReadPeakPairs(sample.PeakFileFolder(), name, pairs);
    });
    return OpenLibraryAtStartup(*m_database, *m_ui, Library());
}

void TForm1::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    QAction* quit = file->addAction("Quit");
    connect(quit, &QAction::triggered, this, &QWidget::close);
    QMenu* setup = menuBar()->addMenu("Setup");
    m_useSSE = setup->addAction("Use SSE DSP Instructions");
    m_useSSE->setCheckable(true);
    connect(m_useSSE, &QAction::toggled, this, &TForm1::UseSSEClick);
}

void TForm1::BuildPresetTree() {
    m_presetTree->clear();
    struct Node {
        const char* caption;
        int id;
    };
    const Node tops[] = {{"Stacks", 1}, {"EQ", 4}, {"Compressor", 7}, {"Stereo Imager", 10}};
    for (const Node& n : tops) {
        QTreeWidgetItem* top = MakeNode(n.caption, n.id, 2, 3);
        top->addChild(MakeNode("Factory", n.id + 1, 2, 3));
        top->addChild(MakeNode("User", n.id + 2, 2, 3));
        m_presetTree->addTopLevelItem(top);
    }
    m_presetTree->expandAll();
}

void TForm1::Timer1Timer() {
    // The processors' share of the tick; the transport's part joins with the engine.
    if (m_stack) m_stack->PanelTick(kTransportStopped, false);
    if (m_controlAmpBox) m_controlAmpBox->update();
    if (m_dspPanelBox && m_dspPanelBox->isVisible()) m_dspPanelBox->update();
}

void TForm1::BuildLayout() {
    auto* central = new QWidget(this);
    central->setObjectName("MainPanel");
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    m_leftPanel = new QFrame(central);
    m_leftPanel->setObjectName("LeftPanel");
    m_leftPanel->setFixedWidth(kSidePanelWidth);
    auto* leftLayout = new QVBoxLayout(m_leftPanel);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    m_regionTree = new QTreeWidget(m_leftPanel);
    m_regionTree->setObjectName("RegionTree");
    m_regionTree->setHeaderHidden(true);
    leftLayout->addWidget(m_regionTree, 2);
    m_presetTree = new QTreeWidget(m_leftPanel);
    m_presetTree->setObjectName("PresetTree");
    m_presetTree->setHeaderHidden(true);
    leftLayout->addWidget(m_presetTree, 1);

    auto* work = new QFrame(central);
    work->setObjectName("WorkPanel");
    work->setFrameShape(QFrame::StyledPanel);
    auto* workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    workLayout->addStretch(1);
    PanelBox::Handlers dsp = PanelHandlers(m_dspPanelView, [this](int w, int h) {
        if (m_dspPanelView) m_dspPanelView->Paint(w, h, m_controlAmpBox ? m_controlAmpBox->width() : w);
    });
    m_dspPanelBox = new PanelBox(dsp, work);
    m_dspPanelBox->setObjectName("DSPPanel");
    m_dspPanelBox->setFixedHeight(210);
    workLayout->addWidget(m_dspPanelBox);

    m_rightPanel = new QFrame(central);
    m_rightPanel->setObjectName("RightPanel");
    m_rightPanel->setFixedWidth(kSidePanelWidth);

    middle->addWidget(m_leftPanel);
    middle->addWidget(work, 1);
    middle->addWidget(m_rightPanel);

    m_abovePanel = new QFrame(central);
    m_abovePanel->setObjectName("AboveTapePanel");
    m_abovePanel->setFixedHeight(kAbovePanelHeight);
    m_abovePanel->setFrameShape(QFrame::StyledPanel);
    auto* aboveLayout = new QHBoxLayout(m_abovePanel);
    aboveLayout->setContentsMargins(0, 0, 0, 0);
    PanelBox::Handlers amp = PanelHandlers(m_controlAmpView, [this](int w, int h) {
        if (m_controlAmpView) m_controlAmpView->Paint(w, h);
    });
    m_controlAmpBox = new PanelBox(amp, m_abovePanel);
    m_controlAmpBox->setObjectName("ControlAmp");
    m_controlAmpBox->setFixedHeight(70);
    aboveLayout->addWidget(m_controlAmpBox);
    m_tapePanel = new QFrame(central);
    m_tapePanel->setObjectName("TapePanel");
    m_tapePanel->setFixedHeight(120);
    m_tapePanel->setFrameShape(QFrame::StyledPanel);

    outer->addLayout(middle, 1);
    outer->addWidget(m_abovePanel);
    outer->addWidget(m_tapePanel);
    setCentralWidget(central);
    setMinimumSize(kMinWidth, kMinHeight);
}

void TForm1::ApplyColourScheme() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xE3, 0xE3, 0xE9));
    setPalette(pal);
    QPalette tree = m_regionTree->palette();
    tree.setColor(QPalette::Base, QColor(0xEE, 0xEE, 0xFF));
    m_regionTree->setPalette(tree);
}

void TForm1::BuildRegionTree() {
    m_regionTree->clear();
    QTreeWidgetItem* user = MakeNode("User", 1, 0, 1);
    QTreeWidgetItem* system = MakeNode("System", 100, 0, 1);
    system->addChild(MakeNode("Lost", 111, 12, 13));
    system->addChild(MakeNode("Found", 112, 14, 15));
    system->addChild(MakeNode("Today", 121, 16, 17));
    system->addChild(MakeNode("Yesterday", 122, 16, 17));
    m_regionTree->addTopLevelItem(user);
    m_regionTree->addTopLevelItem(system);
    system->setExpanded(true);
}

void TForm1::PrepareRegionFolders() {
    // Folders are added in passes so that a parent always has its node before its children.
    std::vector<CRegion*> waiting;
    m_regionList->ForEach([&](CRegion* r) {
        if (r->IsFolder()) waiting.push_back(r);
    });
    auto findNode = [this](int id) -> QTreeWidgetItem* {
        for (QTreeWidgetItemIterator it(m_regionTree); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == id) return *it;
        return nullptr;
    };
    auto nodeFor = [](CRegion* f) {
        int icon = f->GetFolderIcon();
        return MakeNode(QString::fromStdString(f->GetName()), f->GetId(), icon, icon + 1);
    };
    while (!waiting.empty()) {
        std::vector<CRegion*> next;
        for (CRegion* f : waiting) {
            if (f->GetParentId() == 0) {
                m_regionTree->addTopLevelItem(nodeFor(f));
            } else if (QTreeWidgetItem* parent = findNode(f->GetParentId())) {
                parent->addChild(nodeFor(f));
            } else {
                next.push_back(f);
            }
        }
        if (next.size() == waiting.size()) {
            // Folders whose parent is gone (a damaged library) would otherwise be waited for
            // forever; they are shown at the top so their regions stay reachable.
            for (CRegion* f : next) m_regionTree->addTopLevelItem(nodeFor(f));
            break;
        }
        waiting.swap(next);
    }
    // The first node, "User", is selected and shown.
    if (QTreeWidgetItem* first = m_regionTree->topLevelItem(0)) m_regionTree->setCurrentItem(first);
    m_regionList->SetSelectedFolder(FolderId::User);
}

void TForm1::SetMode(int mode) {
    setUpdatesEnabled(false);
    m_mode = mode;
    // The DSP panel belongs to edit mode; the valve amplifier's panel is always shown.
    const bool edit = mode == 1;
    if (m_eq) m_eq->SetShown(edit);
    if (m_imager) m_imager->SetShown(edit);
    if (m_compressor) m_compressor->SetShown(edit);
    if (m_valveAmp) m_valveAmp->SetShown(true);
    if (m_dspPanelBox) m_dspPanelBox->setVisible(edit);
    setUpdatesEnabled(true);
}

void TForm1::CreateDialogs() { m_qtUi->CreateDialogs(); }

bool TForm1::Form1OnCloseQuery() {
    // The transport is stopped here once it exists; closing is always allowed.
    return true;
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (Form1OnCloseQuery())
        e->accept();
    else
        e->ignore();
}

void TForm1::Form1OnShow() { setFocus(Qt::OtherFocusReason); }

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    Form1OnShow();
}

void TForm1::resizeEvent(QResizeEvent* e) {
    // The minimum size keeps the window at least 1024 by 690.
    QMainWindow::resizeEvent(e);
}

void TForm1::Form1OnDestroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (m_timer1) m_timer1->stop();
    // 1-3. The transport, the two threads, the swapper, the VST chain and the wave viewer
    // join this sequence with their parts.
    // 4. Only a complete start-up saves: a run that ended early never overwrites a library it
    // did not load.
    if (m_startupComplete && m_database) {
        SaveLibraryAtShutdown(*m_database, *m_ui, Library(), m_startupComplete);
    }
    // 5. The dither engine, with the processors that use it.
    m_stack.reset();
    m_dspPanelView.reset();
    m_controlAmpView.reset();
    m_valveAmp.reset();
    m_imager.reset();
    m_compressor.reset();
    m_eq.reset();
    m_dither.reset();
    // 7. The DSP engine's work buffers.
    if (m_dspLoaded) {
        DSPEngine().FreeWorkBuffers();
        DSPEngine().Unload();
        m_dspLoaded = false;
    }
}
