#pragma once
// A canvas that records what the panels draw, so tests can check digits, lamps and knobs.

#include "dsp/CPanelCanvas.h"

#include <string>
#include <vector>

struct DrawCall {
    std::string what; // "knob", "digit", "point", "lamp", "text", "meter", ...
    int x = 0, y = 0, a = 0;
    bool flag = false;
    std::string text;
};

class RecordingCanvas : public CPanelCanvas {
public:
    explicit RecordingCanvas(int w = 1024, int h = 210) : m_w(w), m_h(h) {}
    int Width() const override { return m_w; }
    int Height() const override { return m_h; }
    void FillRect(int x, int y, int w, int h, uint32_t) override { Add("fill", x, y, w, false); }
    void Line(int x0, int y0, int, int, uint32_t) override { Add("line", x0, y0, 0, false); }
    void Text(int x, int y, int h, uint32_t, const std::string& t) override { Add("text", x, y, h, false, t); }
    int TextWidth(int, const std::string& t) override { return 5 * static_cast<int>(t.size()); }
    void Knob(int x, int y, int size, int index, bool greyed) override { Add("knob", x, y, index, greyed); }
    void Digit(int x, int y, int glyph, bool greyed) override { Add("digit", x, y, glyph, greyed); }
    void DecimalPoint(int x, int y, bool greyed) override { Add("point", x, y, 0, greyed); }
    void DigitFrame(int x, int y, int, int) override { Add("frame", x, y, 0, false); }
    void Lamp(int x, int y, bool lit, bool greyed) override { Add("lamp", x, y, greyed, lit); }
    void Button(int x, int y, int, int, bool down, bool greyed) override { Add("button", x, y, greyed, down); }
    void MeterColumn(int x, int y, int index, int) override { Add("meter", x, y, index, false); }
    void BackgroundStrip(int x, int y) override { Add("strip", x, y, 0, false); }
    void Title(int x, int y, const std::string& t, int) override { Add("title", x, y, 0, false, t); }

    std::vector<DrawCall> Of(const std::string& what) const {
        std::vector<DrawCall> r;
        for (const auto& c : calls)
            if (c.what == what) r.push_back(c);
        return r;
    }
    std::vector<int> Digits() const {
        std::vector<int> r;
        for (const auto& c : calls)
            if (c.what == "digit") r.push_back(c.a);
        return r;
    }
    std::vector<DrawCall> calls;

private:
    void Add(const char* w, int x, int y, int a, bool f, const std::string& t = "") {
        calls.push_back({w, x, y, a, f, t});
    }
    int m_w, m_h;
};
