#pragma once
// EditController: the edit-mode area of the main window. It shows the wave viewer's five
// surfaces (the region graph with the dB scale and the right strip beside it, the navigator
// above and the status line below) and the bar below them with the play / stop button, the
// loop toggle, the take-snap button and the zoom slider; it routes the mouse, the window's
// edit-mode keys and the wheel into the viewer's operations; it plays through the transport
// for the viewer (WaveViewerPlayback, play origin 2); it switches the window between browse and
// edit mode (a double click on a region opens it, a double click on the graph leaves); and it
// binds the "Edit" menu's edit-mode rows, the mode-dependent selection rows, the "Transport"
// menu, the "Zoom" menu, the region viewer's options and colour scheme, "Rebuild Graph" and
// the region graph's context menu. At every tick it moves the play-position line and keeps the
// play position in view.
//
// Threading: main thread only. The play position it reads was published by the audio thread.

#include <QImage>
#include <cstdint>
#include <functional>

#include "app/AreaController.h"
#include "views/WaveViewerPlayback.h"

class BrowserController;
class CRegion;
class CWaveViewer;
class QMenu;
class QWidget;
class ViewerBox;
struct PeakBuffers;
struct WindowAreas;

class EditController : public AreaController, private WaveViewerPlayback {
public:
    // Preference keys of the viewer's options (one byte each) and of the colour scheme (int).
    static constexpr int kAutoLoopKey = 41;
    static constexpr int kScrollKey = 42;
    static constexpr int kMonoKey = 43;
    static constexpr int kLogKey = 44;
    static constexpr int kSchemeKey = 60;
    // The Space variants of the window's key table that play the viewer's region.
    enum class Space { PreRoll, Whole, RangeOrCursor };

    EditController(CCore& core, const WindowAreas& areas, CWaveViewer& viewer);
    ~EditController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void Tick(const EngineSnapshot& snapshot) override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // The window's mode switch (TForm1::SetMode).
    void SetModeHook(std::function<void(int)> hook) { m_setMode = std::move(hook); }
    // The browser whose selection the browse-mode "Select All", "Deselect All" and "Invert
    // Selection" change, and where a region opened in the viewer shows its details.
    void SetBrowser(BrowserController* browser) { m_browser = browser; }
    // Selects a folder of the region tree ("Show Region As Range On Root").
    void SetFolderHook(std::function<void(int32_t folderId)> hook) { m_selectFolder = std::move(hook); }
    // The colour scheme also goes to the meter bridge.
    void SetSchemeHook(std::function<void(int scheme)> hook) { m_schemeHook = std::move(hook); }
    // The shared peak buffers "Rebuild Graph" builds with (the import's).
    void SetPeakBuffers(PeakBuffers* buffers) { m_peakBuffers = buffers; }

    // Opens the region in the wave viewer and switches to edit mode (a double click on a region
    // of the browser or the VTape, the VTape's "View Item (Region Graph)"): playback stops
    // first; nothing while the transport records, monitors or renders. The region's snap is
    // applied as edit mode does. In edit mode already the viewer just shows it. True when
    // opened.
    bool OpenRegion(CRegion* region);
    // Shows the region in the graph while another view plays it (an audition on the VTape in
    // edit mode); playback goes on. Nothing outside edit mode.
    void ShowAuditioned(CRegion* region);
    // A double click on the region graph: back to browse mode (playback stops first); nothing
    // while the transport records, monitors or renders. True when it left.
    bool LeaveEditMode();
    // The region shown was removed or its peaks are going away (a delete, an import): the
    // viewer lets go of it and the graph is repainted empty.
    void ClearViewer();
    // Redraws every surface at the boxes' sizes.
    void Repaint();
    // The window's edit-mode keys (Home, End, Page Up/Down, Up, Down, Left, Right); true when
    // taken. Nothing outside edit mode.
    bool EditKey(int key, Qt::KeyboardModifiers mods);
    // The Space rows that play the viewer's region (the caller has stopped what needed it).
    void SpaceKey(Space variant);
    // Wheel notches (positive: turned away from the user): zoom in or out one step each, in
    // edit mode while the transport is stopped.
    void Wheel(int notches);
    // The transport asks (shuttle while stopped, pause, the end of a playback).
    void PlayFromCursor();
    void PauseAt(int32_t lastShown);
    void RemovePlayMark();

    CWaveViewer& Viewer() { return m_viewer; }
    ViewerBox* NavigatorBox() const { return m_navigator; }
    ViewerBox* ScaleBox() const { return m_scale; }
    ViewerBox* StripBox() const { return m_strip; }
    ViewerBox* StatusBox() const { return m_status; }
    ViewerBox* BarBox() const { return m_bar; }
    QWidget* Area() const { return m_area; }
    QMenu* GraphMenu() const { return m_graphMenu; }
    bool AutoLoopRange() const { return m_autoLoop; }
    bool ScrollWhenPlaying() const { return m_scroll; }

private:
    // WaveViewerPlayback, on the core's transport.
    bool IsPlaying() const override;
    void Stop() override;
    void Play(const CRegion& region, int32_t from, int32_t to) override;
    int32_t PlayPosition() const override;
    void SetCompareHold(bool on) override;

    void BuildBoxes(const WindowAreas& areas);
    void BindMenus(CommandTable& commands);
    void BindOptions(CommandTable& commands);
    void Resized();
    void ShowImages();
    QImage BarImage();
    void BarPress(int x, int y);
    void GraphPress(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    void GraphMove(int x, int y, Qt::MouseButtons buttons);
    void GraphRelease(int x, int y, Qt::MouseButton button);
    void NavigatorPress(int x, int y, Qt::MouseButton button);
    void NavigatorMove(int x, Qt::MouseButtons buttons);
    void NavigatorRelease(Qt::MouseButton button);
    void DropDSPPanel();
    void SetScheme(int scheme);
    void CheckScheme();
    // Plays the range when one is on, else from the cursor (to the range end inside it).
    void PlayRangeOrCursor();
    void PlaySpan(int32_t from, int32_t to, bool range);
    void NewMarkerAtCursor();
    void ShowAsRangeOnRoot();
    void RebuildGraph();
    void MarkTracks();
    void Fade(bool in, int shape);
    void ResetFade(bool in);
    int TransportState() const;
    bool EditMode() const { return m_mode == 1; }
    bool HasRegion() const;
    void MovePlayLine(int32_t position);
    void HideLine();

    CWaveViewer& m_viewer;
    CommandTable* m_commands = nullptr;
    BrowserController* m_browser = nullptr;
    PeakBuffers* m_peakBuffers = nullptr;
    std::function<void(int)> m_setMode;
    std::function<void(int32_t)> m_selectFolder;
    std::function<void(int)> m_schemeHook;

    QWidget* m_area = nullptr;
    ViewerBox* m_graph = nullptr;
    ViewerBox* m_navigator = nullptr;
    ViewerBox* m_scale = nullptr;
    ViewerBox* m_strip = nullptr;
    ViewerBox* m_status = nullptr;
    ViewerBox* m_bar = nullptr;
    QMenu* m_graphMenu = nullptr;

    int m_mode = 0;
    bool m_autoLoop = false;
    bool m_scroll = false;
    // The region the transport is playing for the viewer (null when none).
    const CRegion* m_playing = nullptr;
    bool m_rightHeld = false; // right button held over the graph or the navigator
    bool m_middleHeld = false;
    int32_t m_lineAt = -1; // the play position the line was last moved to
};
