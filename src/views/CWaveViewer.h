#pragma once
// CWaveViewer: the edit mode's picture of one region. It draws the region graph (ruler and peak
// lanes of the view window), the navigator (the whole region with the view window marked), the
// dB scale, the right strip and the status line into off-screen images, from the sample's peak
// pairs only; it never reads audio. The play-position line is not painted into those images:
// ComposeGraph / ComposeNavigator return a copy with the line inverted on top, so a timer tick
// costs one copy and two columns and never disturbs the prepared picture.
//
// Positions are frames relative to the region start (0 .. L). Cursor and range are working
// copies; a range change is written back to the region at once.
//
// Interaction (mouse, zoom slider, keys, menu commands) is a set of plain operations here; the
// window only translates its events into them. Every operation that changes what is shown
// ends with a redraw at the sizes of the last Redraw (RedrawLast), and the redraw hook then
// tells the window to show the new images. Playback started from the viewer goes through the
// WaveViewerPlayback the window hands over; without one the transport counts as stopped and
// nothing is played.
//
// Threading: main thread only. The play position it is handed was written by the audio engine.

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "views/CScrollbar.h"

class CMarker;
class CRegion;
class UiPort;
class WaveViewerPlayback;
struct PeakBuffers;

class CWaveViewer {
public:
    static constexpr int kRulerHeight = 31;
    static constexpr int64_t kPeakCapacity = 8500000; // pairs
    static constexpr int32_t kDefaultEnd = 13230000;
    static constexpr int kStripWidth = 20;
    static constexpr int kNavigatorHeight = 50;
    static constexpr int kStatusHeight = 19;
    static constexpr uint32_t kPanelColour = 0xDDEEFF;
    static constexpr uint32_t kCursorColour = 0xFFFF00;
    static constexpr uint32_t kMarkerColour = 0xFF0000;

    // Interaction distances and lengths.
    static constexpr int32_t kMinZoomWindow = 200000; // shortest window that zooming produces
    static constexpr int kGrabColumns = 4;            // a range edge or window edge is grabbed
    static constexpr int kMarkerPickColumns = 6;      // a marker is picked
    static constexpr int32_t kMinDragRange = 2048;    // shortest range a drag leaves active
    static constexpr int32_t kMinCommandRange = 1024; // shortest range a menu command leaves active
    static constexpr int32_t kNavigatorJump = 500000; // window of a jump from the zoomed-out view

    // Graph drag modes (0 none, 1 cursor, 2 range, 3 marker), navigator drag modes (1 left
    // window edge, 2 right window edge, 3 window, 4 jump), grabbed range edge (0 new range,
    // 1 start edge, 2 end edge).
    enum GraphDrag { DragNone = 0, DragCursor = 1, DragRange = 2, DragMarker = 3 };
    enum NavigatorDrag { NavNone = 0, NavLeftEdge = 1, NavRightEdge = 2, NavWindow = 3, NavJump = 4 };
    enum RangeEdge { EdgeNew = 0, EdgeStart = 1, EdgeEnd = 2 };

    // The pointer shape a move without a drag asks for; Unchanged during a drag.
    enum class Pointer { Unchanged, Default, ResizeHorizontal, Hand };

    // What a left release on the graph ended.
    struct GraphReleaseResult {
        bool rangeDragEnded = false; // a range drag (mode 2) ended: range written to the region
        bool rangeActive = false;    // the range after it
        // The caller stops playback: a range drag ended with the range inactive (shorter than
        // kMinDragRange frames).
        bool stopPlayback = false;
    };

    struct Colours {
        uint32_t background, body, fade, rangeBackground, rangeBody, rangeFade;
    };
    // The colours of a scheme 0..3; anything else gives Blue.
    static Colours SchemeColours(int scheme);
    // Red × 0.5, green × 0.5, blue × 0.6, truncated.
    static uint32_t Darken(uint32_t rgb);

    struct Tick {
        int row = 0;
        bool major = false;
        std::string label; // empty: no label
    };
    struct RulerLabel {
        int x = 0;
        std::string text;
    };

    static constexpr const char* kGraphHint = "Region Graphs | Click and drag (move cursor / define range).";
    static constexpr const char* kNavigatorHint =
        "Wave Navigator | Click and drag (center/scroll display when zoomed in)";

    CWaveViewer();

    // Called by Redraw with the region's notes when it starts showing another region (the main
    // window's notes box).
    using NotesHook = std::function<void(const std::string& notes)>;
    void SetNotesHook(NotesHook hook) { m_notesHook = std::move(hook); }
    // Called at the end of every Redraw (also those the interaction makes): the window shows
    // the new images of all five surfaces.
    using RedrawHook = std::function<void()>;
    void SetRedrawHook(RedrawHook hook) { m_redrawHook = std::move(hook); }
    // The transport as the viewer sees it; null: always stopped. Not owned.
    void SetPlayback(WaveViewerPlayback* playback) { m_playback = playback; }

    // Loads the region's rate, lengths, view window and range; cursor to 0. Does not redraw
    // and does not read peaks (Redraw does when the region changed). Null shows nothing.
    // Ends any drag in progress (a grabbed marker belongs to the old region).
    void SetRegion(CRegion* region);
    // The region was removed: current and loaded region become null.
    void RemoveRegion();
    CRegion* CurrentRegion() const { return m_current; }
    CRegion* LoadedRegion() const { return m_loaded; }
    // Writes the view window into the current region (leaving edit mode).
    void SaveViewWindow();

    // Peaks handed over directly (a peak file just built, or tests); the current region becomes
    // the loaded one. framesPerPeak ≤ 0 or more pairs than the buffer holds leave nothing loaded.
    bool SetPeaks(const std::vector<uint16_t>& pairs, int32_t framesPerPeak, int32_t channels);
    // Reads the current region's peak file when it is not the loaded one. False when there is
    // no peak file to read (the graph then stays empty).
    bool LoadPeaks();

    // "Rebuild Graph": the sample's peak file made afresh from its audio through the shared
    // buffers, with progress through ui. Only WAV, AIFF, MP3, Ogg Vorbis and KX64 samples are
    // rebuilt; for the others nothing happens and the result is false with error empty. The
    // next Redraw reads the new peaks.
    bool RebuildGraph(UiPort* ui, PeakBuffers& buffers, bool& cancelled, std::string& error);
    // "Mark Individual Tracks ": the track marking over the loaded peak pairs of the region,
    // adding its markers to the region; added receives their positions. False without loaded
    // peaks. The caller redraws.
    bool MarkTracks(std::vector<int64_t>& added);

    void SetEditMode(bool on) { m_editMode = on; }
    void SetMono(bool on) { m_mono = on; }
    bool Mono() const { return m_mono; }
    void SetLog(bool on) { m_log = on; }
    bool Log() const { return m_log; }
    void SetColourScheme(int scheme) { m_scheme = scheme < 0 || scheme > 3 ? 0 : scheme; }
    int ColourScheme() const { return m_scheme; }

    // View window S..E, kept inside 0..L with S < E.
    void SetViewWindow(int32_t start, int32_t end);
    int32_t ViewStart() const { return m_viewStart; }
    int32_t ViewEnd() const { return m_viewEnd; }
    int32_t RegionLength() const { return m_regionEnd; }
    int32_t SampleRate() const { return m_rate; }
    void SetCursor(int32_t position);
    int32_t Cursor() const { return m_cursor; }
    int CursorX() const { return m_cursorX; }
    // Sets the range here and in the region.
    void SetRange(bool on, int32_t start, int32_t end);
    bool RangeActive() const { return m_rangeOn; }
    int32_t RangeStart() const { return m_rangeStart; }
    int32_t RangeEnd() const { return m_rangeEnd; }

    // Coordinate mappings. W is the graph width, Wn the navigator width.
    static int PosToX(int64_t p, int64_t s, int64_t e, int w);
    static int64_t XToPos(int x, int64_t s, int64_t e, int w);
    static int PosToNavX(int64_t p, int64_t l, int wn);
    static int64_t NavXToPos(int x, int64_t l, int wn);
    // The same with the viewer's state and the sizes of the last redraw.
    int X(int64_t p) const { return PosToX(p, m_viewStart, m_viewEnd, m_graphWidth); }
    int64_t Pos(int x) const { return XToPos(x, m_viewStart, m_viewEnd, m_graphWidth); }
    int NavX(int64_t p) const { return PosToNavX(p, m_regionEnd, m_navWidth); }
    int64_t NavPos(int x) const { return NavXToPos(x, m_regionEnd, m_navWidth); }

    // Column j of a surface w columns wide showing positions a..b: left and right levels 0..1,
    // before the fade envelope. Zero when no peaks are loaded.
    void ColumnLevels(int64_t a, int64_t b, int w, int j, double& left, double& right) const;
    // The fade envelope's factor at position p (1 outside the fades).
    double FadeGain(int64_t p) const;
    // The bar height of a level in a lane of the given height.
    static int BarHeight(double level, int lane, bool log);
    // dB of the peak at the cursor: −99.9 without a region, −1000 for silence.
    double PeakAtCursor() const;

    std::string StatusText() const;
    std::string NavigatorTitle() const;
    std::vector<RulerLabel> RulerLabels() const;
    // The dB scale's ticks for a scale of the given height, in the current mono/log state.
    std::vector<Tick> ScaleTicks(int height) const;
    // The marker nearest to graph column x within 6 columns; ties keep the first in marker
    // order. Null when none.
    CMarker* MarkerNear(int x) const;

    // Draws every surface at the given sizes: graph W × H, navigator Wn × 50, dB scale
    // 20 × H, strip 20 × H, status line Wn × 19. Reloads peaks first when the region changed.
    // Outside edit mode with a loaded region nothing is drawn. Clears the play line.
    void Redraw(int graphWidth, int graphHeight, int navWidth);
    // Redraw at the sizes of the last Redraw; what every interaction operation ends with.
    void RedrawLast();
    int GraphHeight() const { return m_graphHeight; }
    int NavigatorWidth() const { return m_navWidth; }

    // ---- zoom and scroll (the window never leaves 0..L). Each does nothing without a region,
    // redraws when the window changed, and returns whether it changed. ----
    bool ZoomIn();           // wheel forward, Up
    bool ZoomOut();          // wheel back, Down
    bool ZoomReset();        // "Zoom Reset", Ctrl+Down: 0..L
    bool ScrollLeft();       // Page Up: by (E − S) ÷ 64
    bool ScrollRight();      // Page Down
    bool ZoomToStart();      // "Zoom to Start": same length, S = 0
    bool ZoomToEnd();        // "Zoom To End": same length, E = L
    bool ZoomToRangeStart(); // "Zoom To Range Start": range start ± 200000 (active range only)
    bool ZoomToRangeEnd();   // "Zoom To Range End"
    bool ZoomToRange();      // "Zoom To Range"
    bool ZoomToFadeIn();     // "Zoom To Fade In"
    bool ZoomToFadeOut();    // "Zoom To Fade Out"
    bool ZoomToCursor();     // "Zoom To Cursor", Ctrl+Up: cursor ± 100000
    // The wheel: forward zooms in, back zooms out; nothing while the transport plays.
    bool Wheel(bool forward);
    // The zoom slider's command with v = −100..100 on the window saved by SaveWindow (the
    // slider press); v > 0 zooms in toward the cursor, v < 0 out toward the whole region.
    bool ZoomSlider(int v);
    // Centres the window on p (same length; at an end of the region it stops there). True
    // when the window moved. Redraws when it moved.
    bool CentreOn(int64_t p);
    // The main timer, while playing from the graph and !IsBusy(): keep the play position in
    // view, centred ("Scroll Graph When Playing") or paged. True (and redrawn) when it moved.
    bool FollowPlayPosition(int64_t p, bool centred);
    // Copy of the view window (zoom slider press, navigator jump), and back.
    void SaveWindow();
    int32_t SavedViewStart() const { return m_savedStart; }
    int32_t SavedViewEnd() const { return m_savedEnd; }

    // ---- zoom slider: a CScrollbar 0..100 at columns Wn − 100..Wn − 10, rows 10..22 of the
    // zoom bar (the bar below the panel, barWidth columns wide). The window draws it with
    // ZoomSliderBar().Paint(painter) into its bar image and routes the bar's mouse events
    // here. ----
    void LayoutZoomSlider(int barWidth);
    const CScrollbar& ZoomSliderBar() const { return m_zoomSlider; }
    // A press inside the slider: saves the window, takes the press (a press beside the thumb
    // steps it) and applies the slider. False (nothing done) outside the slider.
    bool ZoomSliderPress(int x, int y);
    // With the slider held: the thumb follows, the zoom is applied on every change. True when
    // the slider was held (the window repaints its bar).
    bool ZoomSliderMove(int x, int y);
    // Ends the hold; the thumb returns to 50. True when the slider was held.
    bool ZoomSliderRelease();
    bool ZoomSliderHeld() const { return m_zoomSliderHeld; }

    // ---- graph mouse (PaintBox1). The window clears keyboard focus before a left press. ----
    // Left press at (x, y): y ≤ 15 range edit; 15 < y ≤ 31 marker band (Shift range between
    // markers, Alt delete the marker near x, else pick it up); y > 31 cursor, or range edit
    // with Shift or near an edge of an active range. While playing, a cursor press restarts
    // playback from the new cursor to the region end.
    void GraphPress(int x, int y, bool shift, bool alt);
    // Move at x. rightHeld: the logical right button is down too (button swap already
    // respected): with a drag it plays half a second from x (scrubbing). Without a drag only
    // the pointer shape is asked for: horizontal resize near an edge of an active range.
    Pointer GraphMove(int x, bool rightHeld);
    // Left release at x. A range drag writes the range into the region and its history; the
    // result says whether the caller must stop playback.
    GraphReleaseResult GraphRelease(int x);
    // Right button: stops playback, then plays from the cursor to the range end when the
    // cursor lies in an active range (start ≤ cursor < end), else to the region end. The
    // window captures the mouse. Release stops playback.
    void GraphRightPress();
    void GraphRightRelease();
    // Middle button held over the graph: the compare hold.
    void GraphMiddlePress();
    void GraphMiddleRelease();
    // Double click, when the window is neither rendering, monitoring nor recording: the view
    // window is saved into the region; if playing, playback stops and the viewer lets go of
    // its region (current and loaded become null). The window then switches to browse mode.
    void GraphDoubleClick();

    // ---- navigator mouse (PaintBox6) ----
    // Left press: grabs a window edge (within 4 columns), the window (inside it), or jumps
    // (outside it; from the zoomed-out view first to a 500000-frame window) until release.
    void NavigatorPress(int x, int y);
    // Move: with a drag applies it; without one asks for the pointer shape (horizontal
    // resize near a window edge, hand elsewhere).
    Pointer NavigatorMove(int x);
    // Ends the drag; after a jump the saved window comes back.
    void NavigatorRelease();
    // Right button: stops playback, plays from the position of x to the region end. Release
    // stops playback. The window captures the mouse.
    void NavigatorRightPress(int x);
    void NavigatorRightRelease();

    // A graph or navigator drag is in progress (the timer does not follow the play position).
    bool IsBusy() const { return m_graphDrag || m_navDrag; }
    int GraphDragMode() const { return m_graphDragMode; }
    int NavigatorDragMode() const { return m_navDragMode; }
    int GrabbedRangeEdge() const { return m_grabbedEdge; }
    const CMarker* GrabbedMarker() const { return m_grabbedMarker; }

    // ---- cursor commands (keys). Each redraws. ----
    // Left / Right (n = ±1, ±10 with Ctrl): centres on the cursor first when it is outside
    // the window; the new cursor is the position n columns away (at least one frame away
    // when a column holds less than a frame), the window centres on it when it is not
    // strictly inside; while playing, playback restarts from the cursor to the region end.
    void MoveCursorBy(int columns);
    // "Go to Previous Marker" / "Go to Next Marker": the nearest stop (region ends, active
    // range bounds, markers) before / after the cursor; the window centres on it; while
    // playing, playback restarts from the cursor.
    void CursorToPreviousStop();
    void CursorToNextStop();
    // Home: cursor 0 and the window to the start; End: cursor L and the window to the end.
    void CursorToStart();
    void CursorToEnd();
    // The cursor to p (clicking a marker row, "Move Marker To Cursor"): the window centres
    // on it when it lies outside.
    void CursorTo(int64_t p);

    // ---- range commands. The cursor value is the cursor while the transport is stopped and
    // the play position while it plays. Each writes the range into the region (and, when
    // active, its range history) and redraws; a range under kMinCommandRange frames is
    // inactive. Nothing without a region. ----
    void RangeStartAtCursor();     // "Start Selection At Cursor" (Range From Cursor)
    void RangeEndAtCursor();       // "End Selection At Cursor" (Range To Cursor)
    void RangeFromCursorToEnd();   // Shift+End
    void RangeFromStartToCursor(); // Shift+Home
    void SelectAll();              // Range All
    void ClearRange();             // Range Reset: inactive, bounds kept, no history entry
    // Range between the markers around column x (none: the region ends); nothing when it
    // would be shorter than kMinDragRange frames. True when the range was set.
    bool RangeBetweenMarkers(int x);
    // "Show Region As Range On Root", after the caller found the root region and stopped
    // playback: shows root with the range on over start..end (the previous region's bounds
    // in sample frames), written neither into the root region nor its history, then
    // "Zoom To Range". Redraws. Nothing for a null root.
    void ShowRangeOnRoot(CRegion* root, int64_t start, int64_t end);

    // ---- fade commands, shape 0 Lin, 1 Log, 2 Exp. The cursor value as for ranges. When two
    // fades would overlap the other one is shortened. True when the region changed: the
    // caller stops the transport (the graph is already redrawn). ----
    bool FadeInToCursor(int shape);
    bool FadeOutFromCursor(int shape);
    bool ResetFadeIn();
    bool ResetFadeOut();

    // ---- markers ----
    // Deletes the marker nearest to column x within 6 columns (ties: the first in marker
    // order); true when one was deleted (redrawn).
    bool DeleteMarkerNear(int x);

    // The play-position line: the first call after a redraw only marks the line shown.
    void SetPlayLine(int64_t position);
    void HidePlayLine() { m_playLineShown = false; }
    bool PlayLineShown() const { return m_playLineShown; }
    // The prepared images with the play-position line inverted on top when it is shown.
    QImage ComposeGraph() const;
    QImage ComposeNavigator() const;

    const QImage& GraphImage() const { return m_graph; }
    const QImage& NavigatorImage() const { return m_navigator; }
    const QImage& ScaleImage() const { return m_scale; }
    const QImage& StripImage() const { return m_strip; }
    const QImage& StatusImage() const { return m_status; }
    int GraphWidth() const { return m_graphWidth; }

private:
    struct Lookup {
        double m = 0.0, base = 0.0;
        bool ok = false;
    };
    Lookup LookupFor(int64_t a, int64_t b, int w) const;
    void MaxOver(int64_t first, int64_t stop, double& left, double& right) const;
    bool InFade(int64_t p) const;
    void DrawRuler(bool markers);
    void DrawPeakGraph();
    void DrawScale(int height);
    void DrawNavigator();
    void DrawStatus();

    // Interaction helpers (CWaveViewerInput.cpp, CWaveViewerCommands.cpp).
    bool MoveWindow(int64_t start, int64_t end);  // clamped into 0..L; true when it changed
    bool ApplyWindow(int64_t start, int64_t end); // MoveWindow, then a redraw when it changed
    bool CentreWindow(int64_t p);                 // CentreOn without the redraw
    int ClampColumn(int x) const;                 // 1..W − 2
    int32_t CursorValue() const;
    bool Playing() const;
    void StopIfPlaying();
    void PlayFrom(int64_t from, int64_t to);
    // The cursor to a stop of the previous / next stop commands, the window centred on it; a
    // playback restarts from there.
    void JumpToStop(int64_t stop);
    void BeginRangeEdit(int x);
    void CommitRange(bool on, int32_t start, int32_t end, bool history);
    void CommandRange(int64_t start, int64_t end);
    void ResetInteraction();
    bool GrabbedMarkerListed() const;

    CRegion* m_loaded = nullptr;
    CRegion* m_current = nullptr;
    int32_t m_peakCount = 0;
    int32_t m_framesPerPeak = 0;
    int32_t m_channels = 2;
    bool m_mono = false;
    bool m_log = false;
    std::vector<uint16_t> m_peaks;
    int32_t m_rate = 44100;
    int32_t m_regionEnd = kDefaultEnd;
    int64_t m_sampleLength = 0;
    int64_t m_regionOffset = 0; // R: the region's start frame in its sample
    int32_t m_viewStart = 0, m_viewEnd = kDefaultEnd;
    bool m_playLineShown = false;
    int64_t m_playPosition = 0;
    int32_t m_cursor = 0;
    int m_scheme = 0;
    int m_cursorX = 0;
    bool m_rangeOn = false;
    int32_t m_rangeStart = 0, m_rangeEnd = 0;
    bool m_editMode = true;
    int m_graphWidth = 1, m_navWidth = 1;
    QImage m_graph, m_navigator, m_scale, m_strip, m_status;
    NotesHook m_notesHook;
    CRegion* m_notesFor = nullptr; // region whose notes the hook was last given
    RedrawHook m_redrawHook;
    WaveViewerPlayback* m_playback = nullptr;
    int m_graphHeight = 0;

    // Interaction state; drag modes live from a press to its release.
    int32_t m_savedStart = 0, m_savedEnd = kDefaultEnd;
    CMarker* m_grabbedMarker = nullptr;
    int64_t m_grabbedOldPosition = 0;
    int32_t m_rangeAnchor = 0;
    bool m_graphDrag = false;
    int m_pressX = 0;
    bool m_navDrag = false;
    int m_dragOriginX = 0;
    int m_grabOffset = 0;
    int m_navGrabOffset = 0;
    int m_grabbedEdge = EdgeNew;
    int m_graphDragMode = DragNone;
    int m_navDragMode = NavNone;
    CScrollbar m_zoomSlider;
    bool m_zoomSliderHeld = false;
};
