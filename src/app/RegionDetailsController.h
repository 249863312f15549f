#pragma once
// RegionDetailsController: what the side panel shows of the region browser's current region:
// the information list, the regions of the same sample (each with its icon, the current one
// selected; a click makes another the current region) and the notes box with "Save". They
// follow the current region whenever it changes.
//
// Threading: main thread only.

#include <QObject>
#include <cstdint>

#include "app/AreaController.h"

class BrowserController;
class CRegion;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QWidget;
struct WindowAreas;

class RegionDetailsController : public AreaController {
public:
    static constexpr const char* kNotesHint =
        "Region Notes | Type comments for current region. Used by the search engine (Query).";

    RegionDetailsController(CCore& core, const WindowAreas& areas);
    ~RegionDetailsController() override;

    // The browser whose current region is shown; its redraws tell of changes.
    void SetBrowser(BrowserController* browser);
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // Shows the region's details (null: empty lists).
    void Show(CRegion* region);
    // "Save": the notes box becomes the current region's notes (cut to 255 bytes).
    void SaveNotes();
    CRegion* Shown() const { return m_shown; }

private:
    void FollowBrowser();
    void SameSampleClicked(int row);

    QWidget* m_notesPanel = nullptr;
    QTreeWidget* m_info = nullptr;
    QListWidget* m_sameSample = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPushButton* m_save = nullptr;
    BrowserController* m_browser = nullptr;
    CRegion* m_shown = nullptr;
    int32_t m_shownId = 0;
    QObject m_context;
};
