#pragma once
// VSTChainSection: the plug-in chain's area of the window. It owns the "Edit DSP Chain" side
// section (the chain list, "Signal Flows From Top To Bottom", with "Add VST" and "Remove"), the
// dock the editors hang on (TVSTDockingForm) and the "VST Folders" and "VST Plugins" dialogs,
// and binds "VST Folders...", "Add VST Effect..." and "Remove VST Effect".
//
// The chain itself is the core's, shared with the engine and the snaps; this area only lays out
// its windows and keeps the list in step. A chain changed elsewhere (a snap recalled by a click
// on a region) is noticed at the next main-timer tick.
//
// Threading: main thread only.

#include <QObject>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/AreaController.h"

class CVSTEffect;
class CVSTEffectList;
class QListWidget;
class QPushButton;
class QWidget;
class TVSTDockingForm;
class TVSTFoldersForm;
class TVSTPluginsForm;
class UiPort;

class VSTChainSection : public QObject, public AreaController {
    Q_OBJECT
public:
    // window: the main window, parent of the dialogs and the dock.
    VSTChainSection(CCore& core, UiPort& ui, QWidget* window);
    ~VSTChainSection() override;

    QWidget* Widget() const { return m_widget; }
    TVSTDockingForm* Dock() const { return m_dock; }
    QListWidget* ChainList() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }
    // The dialogs, made when first opened.
    TVSTFoldersForm* FoldersForm() const { return m_foldersForm; }
    TVSTPluginsForm* PluginsForm() const { return m_pluginsForm; }

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // "VST Folders...".
    void ShowFolders();
    // "Add VST Effect..." and "Add VST".
    void AddEffect();
    // "Remove VST Effect" and "Remove": the effect selected in the chain list.
    void RemoveEffect();
    // The chain list from the chain.
    void RefreshList();

private:
    CVSTEffectList* Chain() const;
    std::vector<std::string> Folders() const;
    std::vector<const CVSTEffect*> Members() const;

    UiPort& m_ui;
    QWidget* m_window;
    QWidget* m_widget = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    TVSTDockingForm* m_dock = nullptr;
    TVSTFoldersForm* m_foldersForm = nullptr;
    TVSTPluginsForm* m_pluginsForm = nullptr;
    CommandTable* m_commands = nullptr;
    // The effects the list shows, to notice a chain changed elsewhere.
    std::vector<const CVSTEffect*> m_listed;
};
