#pragma once
// CScrollbar: the drawn scroll bar of the tapes, and the slider of the bar below the browser
// (the browser's column slider, the wave viewer's zoom slider). The model is plain integers;
// Paint draws it into the tape's image.
//
// Threading: main thread only.

#include <cstdint>

class QPainter;

struct TapeRect {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }  // one past the last column
    int Bottom() const { return top + height; } // one past the last row
    // Strictly inside: the edge columns and rows do not count.
    bool StrictlyContains(int x, int y) const {
        return x > left && x < left + width - 1 && y > top && y < top + height - 1;
    }
    bool Contains(int x, int y) const { return x >= left && x < left + width && y >= top && y < top + height; }
    bool Empty() const { return width <= 0 || height <= 0; }
};

class CScrollbar {
public:
    enum Orientation { Horizontal = 1, Vertical = 2 };
    enum Hit { None = 0, Thumb = 2, Before = 3, After = 4 };

    // Rectangle by its edge columns and rows, both included.
    void SetRect(int left, int top, int right, int bottom);
    // Clamps the position to the new range.
    void Configure(int orientation, int page, int total);
    // A hit code; a disabled bar and a point outside the bar give None.
    int Press(int x, int y);
    // While the thumb is held: follows the pointer; true when the position changed.
    bool Drag(int x, int y);
    void Release() { m_dragging = false; }
    bool StepBack() { return SetPosition(m_position - 1); }
    bool StepForward() { return SetPosition(m_position + 1); }
    bool ToStart() { return SetPosition(0); }
    bool ToEnd() { return SetPosition(m_max); }
    int GetPosition() const { return m_position; }
    // Clamped to 0..max; true when it changed.
    bool SetPosition(int position);
    void Paint(QPainter& p) const;

    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool on) { m_enabled = on; }
    bool IsDragging() const { return m_dragging; }
    int GetOrientation() const { return m_orientation; }
    int GetTotal() const { return m_total; }
    int GetPage() const { return m_page; }
    int GetMax() const { return m_max; }
    const TapeRect& Outer() const { return m_outer; }
    const TapeRect& Inner() const { return m_inner; }
    TapeRect ThumbRect() const;

private:
    int Track() const;
    bool m_enabled = true;
    int m_orientation = Horizontal;
    int m_total = 1;
    int m_page = 1;
    int m_position = 0;
    int m_max = 0;
    TapeRect m_outer, m_inner;
    int m_pressPointer = 0;
    int m_pressThumb = 0;
    bool m_dragging = false;
};
