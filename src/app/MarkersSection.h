#pragma once
// MarkersSection: the "Edit Markers" side section, the markers of the region in the wave viewer
// in list order (caption = the marker's text, image = its icon "Lamp", "Down Arrow" or "Pin").
// A click puts the viewer's cursor on the marker; editing a caption renames the marker; the
// list's menu deletes, re-icons and moves the selected marker. The list follows the viewer's
// region and its markers on every tick.
//
// Threading: main thread only.

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AreaController.h"

class CMarker;
class CRegion;
class CWaveViewer;
class QListWidget;
class QListWidgetItem;
class QMenu;

class MarkersSection : public QObject, public AreaController {
    Q_OBJECT
public:
    MarkersSection(CCore& core, CWaveViewer& viewer);
    ~MarkersSection() override;

    QListWidget* List() const { return m_list; }
    void RegisterCommands(CommandTable& commands) override;
    void Tick(const EngineSnapshot& snapshot) override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // Fills the list again when the viewer's region or its markers changed.
    void Refresh(bool force = false);
    // The list's commands on the selected row; each does nothing without one.
    void DeleteSelected();
    void SetSelectedIcon(int icon);
    void MoveSelectedToCursor();
    // Clicking row n: the viewer's cursor to that marker.
    void RowClicked(int row);

private:
    struct Entry {
        int64_t position;
        std::string text;
        int32_t icon;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> CurrentEntries() const;
    CMarker* SelectedMarker() const;
    void Renamed(QListWidgetItem* item);
    // After a change of the markers: the viewer draws them anew and the list follows.
    void Changed();

    CWaveViewer& m_viewer;
    QListWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    CommandTable* m_commands = nullptr;
    CRegion* m_shown = nullptr;
    int32_t m_shownId = 0;
    std::vector<Entry> m_entries;
    bool m_filling = false;
    int m_mode = 0;
};
