#pragma once
// CDataInputElement: one drawn control of a processor panel (knob, switch, display). It holds
// one parameter as a float plus a recall value, the value the last recalled snap gave it, to
// which an Alt-click returns. Knobs change by dragging while the main timer ticks; switches
// change on the press.
//
// Threading: everything runs on the main thread except Value(), which the audio thread reads
// once per block; the value is an atomic float written only by the main thread.

#include <atomic>
#include <cstdint>
#include <string>

class CPanelCanvas;

// Modifier bits of a press.
enum : uint8_t { ModAlt = 1, ModCtrl = 2 };

// The recall value of an element that no snap has set.
constexpr float kNoRecall = -100000000.0f;

class CDataInputElement {
public:
    CDataInputElement(int width, int height, float value);
    virtual ~CDataInputElement() = default;
    CDataInputElement(const CDataInputElement&) = delete;
    CDataInputElement& operator=(const CDataInputElement&) = delete;

    // Numeric elements clamp to their range; switches store the value unchanged.
    virtual void SetValue(float v);
    virtual void SetValueAndRecall(float v);
    virtual void SetGreyed(bool g);
    // Applies the mouse movement since the last tick while the element is captured.
    virtual void DragTick() {}
    // Every main-timer tick (blinking).
    virtual void Tick() {}
    // Stores the canvas and position; the hit rectangle becomes the element's area.
    virtual void Place(CPanelCanvas* canvas, int x, int y);
    // False outside the hit rectangle; otherwise remembers the press, acts, redraws, true.
    virtual bool MouseDown(uint8_t modifiers, int x, int y);
    // Label, then the value display.
    virtual void Paint();
    // The value display only (knob position, digits, lamp).
    virtual void Redraw() {}

    void MouseMove(int x, int y);
    // Ends a drag: the press modifiers are cleared.
    void MouseUp() { m_pressModifiers = 0; }

    float Value() const { return m_value.load(std::memory_order_relaxed); }
    float RecallValue() const { return m_recall; }
    bool HasRecall() const { return m_recall != kNoRecall; }
    bool Greyed() const { return m_greyed; }
    int X() const { return m_x; }
    int Y() const { return m_y; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    CPanelCanvas* Canvas() const { return m_canvas; }
    uint8_t PressModifiers() const { return m_pressModifiers; }

    // The fine-adjust key (left Ctrl) as the window last saw it; drags move a tenth as far
    // while it is down.
    static void SetFineKeyDown(bool down) { s_fineKey.store(down, std::memory_order_relaxed); }
    static bool FineKeyDown() { return s_fineKey.load(std::memory_order_relaxed); }

protected:
    // The element's own reaction to a press inside it (modifiers already stored).
    virtual void Press(int x, int y) {}
    virtual void PaintLabel() {}
    void StoreValue(float v) { m_value.store(v, std::memory_order_relaxed); }

    float m_recall = kNoRecall;
    int m_y = 0, m_x = 0;
    int m_width, m_height;
    int m_pressX = 0, m_pressY = 0, m_curX = 0, m_curY = 0, m_lastX = 0, m_lastY = 0;
    uint8_t m_pressModifiers = 0;
    bool m_greyed = false;
    int m_hit[4] = {0, 0, 0, 0};
    CPanelCanvas* m_canvas = nullptr;

private:
    std::atomic<float> m_value;
    static std::atomic<bool> s_fineKey;
};
