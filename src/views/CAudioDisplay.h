#pragma once
// CAudioDisplay: the meter bridge. Two banks of six bars ("Pre" before the DSP chain, "Post"
// after it), the dB scale of the chosen reading, the position / remaining counter and the
// transport's status icon, composed into one off-screen image. The timer hands it the engine's
// block statistics; after a stop it halves them for 199 ticks so the bars fall away.
//
// Threading: main thread only. The statistics it is given were written by the audio thread.

#include <QImage>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/CMeterBar.h"
#include "views/QtPanelCanvas.h"

struct BlockStatSet;

// One set of block statistics in the engine's order.
struct MeterStats {
    enum { PeakLeft, PeakRight, PowerLeft, PowerRight, Centre, Side, Count };
    std::array<float, Count> v{};
    // A copy of what the audio thread last published (one relaxed read per value).
    static MeterStats From(const BlockStatSet& set);
};

struct ScaleTick {
    int position = 0;  // pixels from the bank start
    bool whole = true; // 7 px at whole dB values, 4 px at fractional ones
    std::string label; // empty: no label
};

class CAudioDisplay {
public:
    enum Scale { Linear = 0, Log140 = 1, Log90 = 2, Log60 = 3, Special = 4 };
    // Bar order within a bank.
    enum Bar { BarPeakLeft, BarPeakRight, BarPowerLeft, BarPowerRight, BarSide, BarCentre };
    static constexpr int kFalloffTicks = 199;
    static constexpr int kTopMargin = 20;
    static constexpr int kRowHeight = 5;
    static constexpr int kDigitWidth = 16;
    static constexpr int kDigitHeight = 22;

    CAudioDisplay();

    // Menu captions, in setting order.
    static const std::vector<std::string>& HoldNames();
    static const std::vector<std::string>& DecayNames();
    static const std::vector<std::string>& ScaleNames();
    static int HoldTimeFor(int setting);    // 0, 5, 10, 15, 20 updates
    static float HoldDecayFor(int setting); // 0.005 … 0.009 per update

    // A statistic as a bar reading on a scale; range 0 counts as 140 dB. sideOrCentre selects
    // the Special scale's other offset.
    static float Reading(int scale, float rangeDb, float x, bool sideOrCentre);
    // Ticks and labels of a scale for a bank s px long.
    static std::vector<ScaleTick> Ticks(int scale, float rangeDb, int s);
    // Digits the counter shows for a layout 0..7.
    static int CounterDigits(int layout);
    // "hh:mm:ss:ff" of frames at rate, keeping the last digits: 8 digits all four groups.
    static std::string CounterText(int64_t frames, int32_t rate, int digits);
    // Status icon: 0 playing, 1 monitoring, 2 recording, 3 otherwise.
    static int StatusIcon(int32_t transportState);

    void SetColourScheme(int scheme);
    int GetColourScheme() const { return m_scheme; }
    void SetHold(int setting);
    int GetHold() const { return m_hold; }
    void SetDecay(int setting);
    int GetDecay() const { return m_decay; }
    void SetPersistence(bool on);
    bool GetPersistence() const { return m_persistence; }
    void SetScale(int scale);
    int GetScale() const { return m_scale; }
    float GetScaleRange() const { return m_range; }
    void SetShownMeters(int mask);
    int GetShownMeters() const { return m_shown; }
    void SetCounterLayout(int layout) { m_counterLayout = layout < 0 || layout > 7 ? 0 : layout; }
    int GetCounterLayout() const { return m_counterLayout; }

    // Redraw all: background, layout, scale, bars, counter, status icon, at the panel's size.
    void RedrawAll(int width, int height);
    // New statistics of both sets: converts the shown groups and moves their bars.
    void UpdateLevels(const MeterStats& pre, const MeterStats& post);
    // One tick of the fall-off after a stop: halves the last statistics and updates. False (and
    // nothing done) once the 199 ticks are used up; StartFalloff arms it again.
    bool Settle();
    void StartFalloff() { m_falloff = kFalloffTicks; }
    // One step of the fall: the last statistics halved and shown again (the main timer counts
    // the steps).
    void Fall();
    int FalloffLeft() const { return m_falloff; }
    // Every bar's value and hold to 0.
    void Reset();
    void UpdateCounter(int64_t position, int64_t remaining, int32_t rate);
    void UpdateStatusIcon(int32_t transportState);
    // The state lamp's lit picture in the status icon's place; the main timer alternates it
    // with the status icon every eight ticks.
    void DrawStateLamp();
    bool LampShown() const { return m_lampShown; }

    const QImage& Image() const { return m_image; }
    const CMeterBar& BarAt(int i) const { return m_bars[static_cast<size_t>(i)]; }
    int MeterLength() const { return m_meterLength; }
    int CounterWidth() const { return m_counterWidth; }
    int Rows() const { return m_rows; }
    const std::string& UpperCounter() const { return m_upper; }
    const std::string& LowerCounter() const { return m_lower; }
    int ShownIcon() const { return m_icon; }

private:
    void Layout();
    void DrawScale();
    void DrawCounter();
    void DrawStatusIcon();
    void ApplyToBars();
    uint32_t ScaleColour() const;

    std::array<CMeterBar, 12> m_bars;
    int m_scheme = 0;
    int m_shown = 63;
    int m_hold = 2;
    int m_decay = 2;
    bool m_persistence = true;
    int m_counterLayout = 0;
    int m_groupGap = 7;
    int m_scale = Linear;
    float m_range = 140.0f;
    int m_meterLength = 0;
    int m_counterWidth = 0;
    int m_rows = 1;
    MeterStats m_pre, m_post;
    int m_falloff = 0;
    std::string m_upper = "00:00:00:00", m_lower = "00:00:00:00";
    int m_icon = 3;
    bool m_lampShown = false;
    QImage m_image;
    QtPanelCanvas m_canvas;
};
