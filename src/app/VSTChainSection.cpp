#include "app/VSTChainSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CommandTable.h"
#include "app/TVSTDockingForm.h"
#include "app/TVSTFoldersForm.h"
#include "app/TVSTPluginsForm.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/EngineSnapshot.h"
#include "library/CVSTFolders.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"
#include "vst/CVSTHost.h"

VSTChainSection::VSTChainSection(CCore& core, UiPort& ui, QWidget* window)
    : AreaController(core), m_ui(ui), m_window(window) {
    m_widget = new QWidget;
    m_widget->setObjectName("DSPChainPanel");
    auto* v = new QVBoxLayout(m_widget);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);
    auto* title = new QLabel("Signal Flows From Top To Bottom");
    title->setObjectName("DSPChainTitle");
    m_list = new QListWidget;
    m_list->setObjectName("DSPChainList");
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_add = new QPushButton("Add VST");
    m_add->setObjectName("AddVSTButton");
    m_remove = new QPushButton("Remove");
    m_remove->setObjectName("RemoveVSTButton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    v->addWidget(title);
    v->addWidget(m_list, 1);
    v->addLayout(buttons);
    // The section's buttons go through the command table too, so they act exactly when the
    // menu items do.
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (m_commands) m_commands->Dispatch("chain.addEffect");
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_commands) m_commands->Dispatch("chain.removeEffect");
    });

    m_dock = new TVSTDockingForm(window);
    m_dock->chainChanged = [this] { RefreshList(); };
}

VSTChainSection::~VSTChainSection() {
    // The dock is the main window's child; it lets go of the chain when the core stops.
    if (m_dock) m_dock->SetChain(nullptr);
}

CVSTEffectList* VSTChainSection::Chain() const { return m_core.VSTChain(); }

std::vector<std::string> VSTChainSection::Folders() const {
    const CVSTFolders* f = m_core.VSTFolders();
    return f ? f->Folders() : std::vector<std::string>{};
}

void VSTChainSection::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("setup.vstFolders", [this](bool) { ShowFolders(); });
    commands.Bind("chain.addEffect", [this](bool) { AddEffect(); });
    commands.Bind("chain.removeEffect", [this](bool) { RemoveEffect(); });
    auto* menu = new QMenu(m_list);
    menu->setObjectName("DSPChainMenu");
    commands.FillMenu("@DSPChain", menu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->popup(m_list->viewport()->mapToGlobal(at)); });
}

void VSTChainSection::CoreStarted() {
    if (CVSTEffectList* chain = Chain()) chain->SetFolders(Folders());
    m_dock->SetChain(Chain());
    RefreshList();
}

void VSTChainSection::Tick(const EngineSnapshot& snapshot) {
    m_core.VSTTick(snapshot.transportState);
    // A snap recall rebuilds the chain without the window's help: its list and windows follow.
    if (Members() == m_listed) return;
    // The dock loads what the recall made, so the list then shows the plug-ins' own names.
    m_dock->LayoutDock();
    RefreshList();
}

void VSTChainSection::ModeChanged(int mode) {
    m_dock->SetEditMode(mode == kModeEdit);
    // Effects a browse-mode recall made are loaded by the dock now; the list shows their names.
    RefreshList();
}

void VSTChainSection::CoreStopping() {
    m_dock->SetChain(nullptr);
    m_listed.clear();
}

std::vector<const CVSTEffect*> VSTChainSection::Members() const {
    std::vector<const CVSTEffect*> members;
    if (const CVSTEffectList* chain = Chain())
        for (int i = 0; i < chain->Count(); ++i) members.push_back(chain->Get(i));
    return members;
}

void VSTChainSection::RefreshList() {
    const int selected = m_list->currentRow();
    m_list->clear();
    m_listed = Members();
    if (CVSTEffectList* chain = Chain())
        for (int i = 0; i < chain->Count(); ++i) m_list->addItem(QString::fromStdString(chain->Get(i)->ListName()));
    if (selected >= 0 && selected < m_list->count()) m_list->setCurrentRow(selected);
}

void VSTChainSection::ShowFolders() {
    CVSTFolders* folders = m_core.VSTFolders();
    if (!folders) return;
    if (!m_foldersForm) m_foldersForm = new TVSTFoldersForm(*folders, m_ui, m_window);
    m_foldersForm->exec();
    // Effects are found in the folders as they are now.
    if (CVSTEffectList* chain = Chain()) chain->SetFolders(Folders());
}

void VSTChainSection::AddEffect() {
    CVSTEffectList* chain = Chain();
    if (!chain) return;
    if (!m_pluginsForm) {
        m_pluginsForm = new TVSTPluginsForm(
            m_ui, [this] { return CVSTHost::ScanPlugins(Folders()); },
            [this](const std::string& name, std::string& message) {
                const int result = CVSTHost::TestLoad(Folders(), name);
                if (result == CVSTHost::Ok) return true;
                message = CVSTHost::Message(result);
                return false;
            },
            m_window);
    }
    if (m_pluginsForm->exec() != QDialog::Accepted || m_pluginsForm->Chosen().empty()) return;
    chain->SetFolders(Folders());
    int result = CVSTHost::Ok;
    if (!chain->AddEffect(m_pluginsForm->Chosen(), result)) {
        // It passed its test load a moment ago; a second load can still fail (the file went).
        m_ui.Notice(CVSTHost::Message(result));
        return;
    }
    m_dock->LayoutDock();
    RefreshList();
}

void VSTChainSection::RemoveEffect() {
    CVSTEffectList* chain = Chain();
    QListWidgetItem* item = m_list->currentItem();
    if (!chain || !item || !item->isSelected()) return;
    const int index = m_list->row(item);
    if (index < 0 || index >= chain->Count()) return;
    // The chain closes the effect's windows through the dock before it unloads it.
    chain->RemoveAndDestroy(index);
    m_dock->LayoutDock();
    RefreshList();
}
