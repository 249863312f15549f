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
// Threading: main thread only. The play position it is handed was written by the audio engine.

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CMarker;
class CRegion;
class UiPort;
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

    // Loads the region's rate, lengths, view window and range; cursor to 0. Does not redraw
    // and does not read peaks (Redraw does when the region changed). Null shows nothing.
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
};
