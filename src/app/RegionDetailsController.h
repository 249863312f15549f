#pragma once
// RegionDetailsController: what the side panel shows of the region browser's current region:
// the information list, the regions of the same sample (each with its icon, the current one
// selected; a click makes another the current region) and the notes box with "Save". They
// follow the current region whenever it changes.
//
// Threading: main thread only.

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/AreaController.h"

class BrowserController;
class CRegion;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QWidget;
class QEvent;
struct WindowAreas;

class RegionDetailsController : public AreaController {
public:
    static constexpr const char* kNotesHint =
        "Region Notes | Type comments for current region. Used by the search engine (Query).";

    RegionDetailsController(CCore& core, const WindowAreas& areas);
    ~RegionDetailsController() override;

    // The browser whose current region is shown; its redraws tell of changes.
    void SetBrowser(BrowserController* browser);
    void CoreStopping() override;
    // Edits that keep the current region (fades, tags, ranges, snaps) change what its
    // information list says: each tick the list follows them.
    void Tick(const EngineSnapshot& snapshot) override;

    // Shows the region's details (null: empty lists).
    void Show(CRegion* region);
    // "Save": the notes box becomes the current region's notes (cut to 255 bytes).
    void SaveNotes();
    CRegion* Shown() const { return m_shown; }

    // The contents of the side sections "Edit Region Notes", "View Region Info" and "View
    // Region and Subregions"; the notes box is enabled only while its section is open.
    QWidget* NotesPanel() const { return m_notesPanel; }
    QPlainTextEdit* NotesBox() const { return m_notes; }
    QTreeWidget* InfoList() const { return m_info; }
    QListWidget* SameSampleList() const { return m_sameSample; }
    // A line of the range history dropped on the region list (the regions of the same sample):
    // the hook makes a region of that range.
    void SetRangeDropHook(std::function<void(int line)> hook) { m_rangeDrop = std::move(hook); }
    // Rows the information list shows after the region's own (the loudness figures).
    using ExtraRows = std::function<std::vector<std::pair<std::string, std::string>>(const CRegion&)>;
    void SetExtraRows(ExtraRows rows) { m_extraRows = std::move(rows); }

private:
    void FillInfo(std::vector<std::pair<std::string, std::string>> rows);
    // The region's rows and then the extra ones.
    std::vector<std::pair<std::string, std::string>> InfoRows(const CRegion& region) const;
    void FollowBrowser();
    void SameSampleClicked(int row);
    bool RangeDragEvent(QEvent* event);

    QWidget* m_notesPanel = nullptr;
    QTreeWidget* m_info = nullptr;
    QListWidget* m_sameSample = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPushButton* m_save = nullptr;
    BrowserController* m_browser = nullptr;
    CRegion* m_shown = nullptr;
    int32_t m_shownId = 0;
    std::vector<std::pair<std::string, std::string>> m_infoRows; // what the information list shows
    std::function<void(int line)> m_rangeDrop;
    ExtraRows m_extraRows;
    // Serves the connections and watches the region list for dropped ranges.
    class Context : public QObject {
    public:
        explicit Context(RegionDetailsController& owner) : m_owner(owner) {}
        bool eventFilter(QObject*, QEvent* event) override { return m_owner.RangeDragEvent(event); }

    private:
        RegionDetailsController& m_owner;
    };
    Context m_context{*this};
};
