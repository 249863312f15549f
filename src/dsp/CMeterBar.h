#pragma once
// CMeterBar: one level bar with a hold marker. The value rises at once and falls by at most
// 0.2 per update, so a bar needs five updates to fall from full to empty; the hold marker stays
// at the highest recent value for a number of updates and then sinks step by step.
//
// The same element shows the level meters and the compressor's gain reduction. It draws through
// a CPanelCanvas; nothing is drawn while the canvas is unset.
//
// Threading: main thread only.

#include <cstdint>

class CPanelCanvas;

class CMeterBar {
public:
    enum Orientation : int { Horizontal = 0, Vertical = 1 };
    // Normal grows from the left (horizontal) or the bottom (vertical); Reversed from the far end.
    enum Direction : int { Normal = 0, Reversed = 1 };

    static constexpr float kMaxFall = 0.2f;
    static constexpr int kDefaultHoldTime = 10;
    static constexpr float kDefaultHoldDecay = 0.01f;
    static constexpr int kMaxHoldTime = 30;
    static constexpr float kMaxHoldDecay = 0.5f;
    static constexpr int kHoldStrip = 3;

    CMeterBar() = default;

    void SetBounds(int left, int top, int width, int height);
    void SetOrientation(Orientation o) { m_orientation = o; }
    void SetDirection(Direction d) { m_direction = d; }
    void SetCanvas(CPanelCanvas* canvas) { m_canvas = canvas; }
    void SetColours(uint32_t bar, uint32_t hold) {
        m_barColour = bar;
        m_holdColour = hold;
    }
    // Limited to 0..30 updates and 0..0.5 per update.
    void SetHoldTime(int updates);
    void SetHoldDecay(float perUpdate);
    void SetPersistence(bool on) { m_persistence = on; }

    // A new reading: applies the ballistics, then repaints (which moves the hold marker).
    void SetValue(float reading);
    // Value and hold to 0, then repaint.
    void Reset();
    // Moves the hold marker as one update does and draws the bar.
    void Paint();

    float Value() const { return m_value; }
    float Hold() const { return m_hold; }
    int HoldCounter() const { return m_holdCounter; }
    int HoldTime() const { return m_holdTime; }
    float HoldDecay() const { return m_holdDecay; }
    bool Persistence() const { return m_persistence; }
    uint32_t BarColour() const { return m_barColour; }
    uint32_t HoldColour() const { return m_holdColour; }
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    void UpdateHold();
    void Draw();
    // Fills the part of the bar from a to b pixels along its length (origin edge = 0).
    void FillSpan(int a, int b, uint32_t rgb);
    int Length() const { return m_orientation == Horizontal ? m_width : m_height; }

    int32_t m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    Orientation m_orientation = Horizontal;
    Direction m_direction = Normal;
    float m_value = 0.0f;
    float m_hold = 0.0f;
    int m_holdCounter = 0;
    int m_holdTime = kDefaultHoldTime;
    float m_holdDecay = kDefaultHoldDecay;
    bool m_persistence = true;
    uint32_t m_barColour = 0x2c85c0;
    uint32_t m_holdColour = 0x3c456a;
    CPanelCanvas* m_canvas = nullptr;
};
