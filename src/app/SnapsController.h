#pragma once
// SnapsController: DSP snaps and presets in the window. The snap list ("Edit DSP Snaps", edit
// mode) shows the snaps of the region in the wave viewer with its buttons "New", "Favorite",
// "Delete", "Copy", "Cut", "Paste", "Rename" and their keys; the preset list beside the preset
// tree lists the presets of the selected node; the "DSP" menu, the region graph menu's "Take
// DSP Snap" and the preset tree's menu; and the DSP panels' drag onto the preset tree and list.
// What the commands do to the region and the preset list is the core's (SnapCommands).
//
// Threading: main thread only.

#include <QObject>
#include <memory>
#include <vector>

#include "app/AreaController.h"

class CDSPPreset;
class CRegion;
class CWaveViewer;
class DSPController;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTreeWidget;
class QWidget;
class SnapCommands;
struct WindowAreas;

class SnapsController : public QObject, public AreaController {
    Q_OBJECT
public:
    SnapsController(CCore& core, const WindowAreas& areas, CWaveViewer& viewer, DSPController& dsp);
    ~SnapsController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // Shows the snaps of the wave viewer's region again (call it when the viewer shows another
    // region; the main timer's tick also notices a change of region on its own).
    void Refresh();
    // Lists the presets of the preset list's current folder again.
    void RefreshPresets();

    // The commands, as their buttons, keys and menu items run them.
    void TakeSnap();
    void FavoriteSnap();
    void DeleteSnap();
    void CopySnap();
    void CutSnap();
    void PasteSnap();
    void RenameSnap();
    void PickSnap(int row);
    // A preset from tree node n (1..12); the tree then selects its User folder.
    CDSPPreset* MakePreset(int node);
    void RenamePreset();
    void DeletePreset();
    void ApplyPresetRow(int row);
    // The DSP panel was dropped on the preset tree (node id) or on the preset list (node −1:
    // the current folder).
    void PanelDropped(int node);

    QWidget* SnapPanel() const { return m_snapPanel; }
    QListWidget* SnapList() const { return m_snapList; }
    QListWidget* PresetList() const { return m_presetList; }
    QPushButton* Button(int i) const { return m_buttons[static_cast<size_t>(i)]; }
    SnapCommands* Snaps() const { return m_snaps.get(); }
    enum ButtonIndex { New = 0, Favorite, Delete, Copy, Cut, Paste, Rename, ButtonCount };

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CRegion* Region() const;
    int SelectedSnap() const;
    void UpdateButtons();
    void TreeSelectionChanged();
    void SelectTreeNode(int node);
    void StartPanelDrag(QWidget* source);
    bool SnapListKey(int key, Qt::KeyboardModifiers mods);
    bool PresetSelectedForEdit(CDSPPreset*& preset) const;

    CWaveViewer& m_viewer;
    DSPController& m_dsp;
    CommandTable* m_commands = nullptr;
    std::unique_ptr<SnapCommands> m_snaps;
    QWidget* m_snapPanel = nullptr;
    QListWidget* m_snapList = nullptr;
    std::vector<QPushButton*> m_buttons;
    QListWidget* m_presetList = nullptr;
    QTreeWidget* m_presetTree = nullptr;
    QMenu* m_treeMenu = nullptr;
    int m_mode = 0;
    bool m_filling = false;
    // What the snap list shows, so a tick can tell that the viewer moved to another region.
    const CRegion* m_shownRegion = nullptr;
    int m_shownCount = -1;
};
