#pragma once
// SideSections: the column of twelve collapsible sections in the right-hand side panel. Each
// section is a 21-pixel header (picture, title, pin) above its content; the column places the
// sections of the current mode one below the other at their current heights and scrolls inside
// the side panel. This controller also owns the open/closed state of the two side panels and of
// the panel above the VTape, and "AutoExpand Panels" (a closed side panel opens while the mouse
// is on its edge strip).
//
// The contents belong to other areas; they are handed over with SetContent.
//
// Threading: main thread only.

#include <QObject>
#include <QString>
#include <array>

#include "app/AreaController.h"

class QScrollArea;
class QWidget;
class SectionHeader;
struct WindowAreas;

class SideSections : public QObject, public AreaController {
    Q_OBJECT
public:
    static constexpr int kCount = 12;
    static constexpr int kHeaderHeight = 21;
    static constexpr int kPinWidth = 20;
    static constexpr int kSidePanelOpen = 224;
    static constexpr int kAbovePanelOpen = 83;
    static constexpr int kPanelClosed = 6;
    enum Section {
        ImportFiles = 0,
        Record = 1,
        ImportAudioCD = 2,
        EditRegionNotes = 3,
        Preprocess = 4,
        EditFades = 5,
        EditRanges = 6,
        EditMarkers = 7,
        ViewRegionInfo = 8,
        EditDSPSnaps = 9,
        EditDSPChain = 10,
        ViewRegionAndSubregions = 11,
    };
    enum Panel { LeftPanel = 0, RightPanel = 1, AbovePanel = 2 };

    static const char* Title(int section);
    static int OpenHeight(int section);
    // Whether the section belongs to mode (browse 0, edit 1); "Preprocess" and "Edit Fades"
    // belong to none.
    static bool ShownIn(int section, int mode);

    SideSections(CCore& core, const WindowAreas& areas);
    ~SideSections() override;

    // The panels whose sizes F5, F6, F8 and the preferences set.
    void SetPanels(QWidget* left, QWidget* right, QWidget* above);
    // The content of a section; sections without one are never shown (their features come
    // later). enableWhileOpen, if given, is enabled only while the section is open.
    void SetContent(int section, QWidget* content, QWidget* enableWhileOpen = nullptr);

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // A click on a section's header: toggles it between its open height and its header (a
    // pinned section always opens), collapses every other unpinned section and scrolls the
    // opened one into view.
    void HeaderClicked(int section);
    // A left press at (x, y) in a header, as the header widget passes it on.
    void HeaderPressed(int section, int x, int y);
    bool IsOpen(int section) const { return Valid(section) && m_open[section]; }
    bool IsShown(int section) const;
    int Height(int section) const;
    // Collapses every section, then opens the pinned ones (the start-up's order).
    void RestorePinned();

    // The pinned sections as stored: bit i = section i.
    int PinnedBits() const;
    void SetPinnedBits(int bits);
    bool IsPinned(int section) const { return Valid(section) && m_pinned[section]; }

    bool AutoExpand() const { return m_autoExpand; }
    // Also checks or unchecks "AutoExpand Panels".
    void SetAutoExpand(bool on);
    // Open: 224 pixels wide (the side panels) or 83 high (above the VTape); closed: 6.
    bool PanelOpen(int panel) const;
    void SetPanelOpen(int panel, bool open);
    void TogglePanel(int panel) { SetPanelOpen(panel, !PanelOpen(panel)); }

    QScrollArea* Column() const { return m_scroll; }
    QWidget* HeaderWidget(int section) const;
    QWidget* SectionWidget(int section) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool Valid(int section) { return section >= 0 && section < kCount; }
    // Places the shown sections top to bottom and sizes the column to their sum.
    void Layout();
    void ScrollIntoView(int section);
    void SetOpen(int section, bool open);
    void ApplyEnabled(int section);
    QWidget* PanelWidget(int panel) const;

    struct Slot {
        QWidget* frame = nullptr; // clips the content below the header to the current height
        SectionHeader* header = nullptr;
        QWidget* content = nullptr;
        QWidget* enableWhileOpen = nullptr;
    };
    std::array<Slot, kCount> m_slots;
    std::array<bool, kCount> m_open{};
    std::array<bool, kCount> m_pinned{};
    QScrollArea* m_scroll = nullptr;
    QWidget* m_column = nullptr;
    std::array<QWidget*, 3> m_panels{};
    std::array<bool, 3> m_autoOpened{};
    bool m_autoExpand = false;
    CommandTable* m_commands = nullptr;
    int m_mode = 0;
};
