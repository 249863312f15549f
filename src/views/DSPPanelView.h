#pragma once
// The two drawn processor panels: "DSP Panel" (equaliser, stereo imager and compressor in
// thirds) and "Control Amp" (the valve amplifier). Each composes an off-screen image that the
// window shows, and takes the window's mouse events for its processors.
//
// Threading: main thread only.

#include "views/QtPanelCanvas.h"

#include <QImage>

#include <cstdint>

class CProcessor;
class CTubeAmp;

// Modifier keys of a press as the window reports them.
struct PanelModifiers {
    bool alt = false;
    bool ctrl = false;
};

class DSPPanelView {
public:
    DSPPanelView() : m_canvas(m_image) {}
    DSPPanelView(const DSPPanelView&) = delete;
    DSPPanelView& operator=(const DSPPanelView&) = delete;

    // The processors of the three rows; a null row is left as background.
    void SetProcessors(CProcessor* eq, CProcessor* imager, CProcessor* compressor);
    // Redraws the whole panel at this size. valvePanelWidth centres the background strips.
    void Paint(int width, int height, int valvePanelWidth);
    // Left button pressed: true when no control took it and no modifier was held, so the
    // window should start dragging the panel (to the preset tree or the region graph).
    bool LeftButtonDown(PanelModifiers mods, int x, int y);
    void MouseMove(int x, int y, bool ctrlDown);
    void MouseUp();

    const QImage& Image() const { return m_image; }

private:
    QImage m_image;
    QtPanelCanvas m_canvas;
    CProcessor* m_rows[3] = {nullptr, nullptr, nullptr}; // eq, imager, compressor
};

class ControlAmpView {
public:
    ControlAmpView() : m_canvas(m_image) {}
    ControlAmpView(const ControlAmpView&) = delete;
    ControlAmpView& operator=(const ControlAmpView&) = delete;

    void SetValveAmp(CTubeAmp* amp);
    // The LED colour scheme (0 Blue, 1 Amber, 2 Yellow, 3 Green) the region graph and the meter
    // bridge share; out-of-range values fall back to Blue. Takes effect at the next Paint.
    void SetScheme(int scheme);
    int Scheme() const;
    void Paint(int width, int height);
    // Only Alt reaches the controls here; the drag rule is that of the DSP panel.
    bool LeftButtonDown(PanelModifiers mods, int x, int y);
    void MouseMove(int x, int y, bool ctrlDown);
    void MouseUp();

    const QImage& Image() const { return m_image; }

private:
    QImage m_image;
    QtPanelCanvas m_canvas;
    CTubeAmp* m_amp = nullptr;
};
