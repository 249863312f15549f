#include "app/TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QVBoxLayout>
#include <ostream>
#include <unistd.h>

#include "app/FolderIcons.h"
#include "app/QtUiPort.h"

namespace {
const char* kAppTitle = "Sonquil";
const int kSidePanelWidth = 224;
const int kAbovePanelHeight = 83;

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
    BuildLayout();

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

    // 15. Region tree with its fixed nodes.
    BuildRegionTree();

    // 16. User folders; "User" selected.
    Trace("Preparing RL folders");
    PrepareRegionFolders();

    // 18. Preferences.
    Trace("Reading prefs");

    // 24. Colours: the window a light grey-blue, the trees and lists a pale blue.
    ApplyColourScheme();

    // 25. Browse mode.
    Trace("Setting enviroment");
    SetMode(0);

    // 29. Start-up is complete: from now on the shutdown saves the library.
    m_startupComplete = true;
    setFocus(Qt::OtherFocusReason);
}

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
    // Objects are created here in their fixed order as their parts arrive:
    // dither engine, sample list, region list, work list, VTape, region browser, two scroll bars,
    // preset list, transport, wave viewer, audio display, play list, equaliser, compressor,
    // stereo imager, valve amplifier, storage-format tables, VST chain.
    m_storageMode = 0;
    m_lossyBitRate = 400;
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
    leftLayout->addWidget(m_regionTree);

    auto* work = new QFrame(central);
    work->setObjectName("WorkPanel");
    work->setFrameShape(QFrame::StyledPanel);

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
    // The first node, "User", is selected at start.
    if (QTreeWidgetItem* first = m_regionTree->topLevelItem(0)) m_regionTree->setCurrentItem(first);
}

void TForm1::SetMode(int mode) {
    setUpdatesEnabled(false);
    m_mode = mode;
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
    // Shutdown order: stop the transport and wait, end the two threads, destroy the swapper,
    // VST chain and wave viewer; only after a complete start-up save the library; then the
    // dither engine, the encoder modules and the DSP engine go.
    if (m_startupComplete) {
    }
}
