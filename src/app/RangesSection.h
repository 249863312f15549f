#pragma once
// RangesSection: the "Edit Ranges" side section, the range history of the region in the wave
// viewer ("none" first, then the ranges newest first). A click on line n selects history entry
// n and gives the viewer that range; a line dragged onto the region list makes a region of it.
// The list follows the viewer's region and its history on every tick.
//
// Threading: main thread only.

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AreaController.h"

class CRegion;
class CWaveViewer;
class QListWidget;
class QMimeData;

class RangesSection : public QObject, public AreaController {
    Q_OBJECT
public:
    RangesSection(CCore& core, CWaveViewer& viewer);
    ~RangesSection() override;

    QListWidget* List() const { return m_list; }
    void Tick(const EngineSnapshot& snapshot) override;
    void CoreStopping() override;
    void ModeChanged(int mode) override;

    // Fills the list again when the viewer's region or its history changed.
    void Refresh(bool force = false);
    // A click on line n (0 "none"): selects history entry n; the viewer takes the result when
    // it differs from its own range. False when n names no line or no region is shown.
    bool SelectLine(int n);

    // The drag's data: the history line; the drop target reads it back (0: none).
    static QMimeData* MimeFor(int line);
    static int LineFrom(const QMimeData* mime);

private:
    std::vector<std::string> CurrentLines() const;

    CWaveViewer& m_viewer;
    QListWidget* m_list = nullptr;
    CRegion* m_shown = nullptr;
    int32_t m_shownId = 0;
    std::vector<std::string> m_lines;
    int m_mode = 0;
};
