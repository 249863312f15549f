#pragma once
// CProcessor: a built-in processor of the mastering chain, at once a DSP object and a panel of
// drawn controls. Its parameters are the values of its controls, addressed by (kind, id); the
// panel is how the user edits them.
//
// Threading: Process and Reset run on the audio thread and read control values fresh at the
// start of every block; every other operation runs on the main thread.

#include <cstdint>

#include "common/ColourScheme.h"
#include "common/ProcessorKind.h"

class CDataInputElement;
class CPanelCanvas;
class CParamBlock;

class CProcessor {
public:
    static constexpr int kMaxControls = 24;

    explicit CProcessor(int kind);
    virtual ~CProcessor();
    CProcessor(const CProcessor&) = delete;
    CProcessor& operator=(const CProcessor&) = delete;

    // Stores the panel rectangle and places every control (abstract: positions are per kind).
    virtual void Layout(int x, int y, int width, int height) = 0;
    // The panel's own graphics, drawn after the controls.
    virtual void Paint() {}
    // Adapts colour-dependent graphics to the scheme.
    virtual void ApplyScheme() {}
    // Passes the position to the captured control.
    virtual void MouseMove(int x, int y);
    // Every main-timer tick: the captured control applies its drag; every control ticks.
    virtual void Tick();
    // Processes a block in place. The base leaves it untouched.
    virtual void Process(float* left, float* right, int n, int sampleRate) {}
    // Clears filter histories.
    virtual void Reset() {}
    // Everything a block leaves behind for the next, back to its state at construction: the
    // filter histories and the envelopes, delay lines and gains that Reset keeps across
    // playbacks. An export item starts here, so that it never depends on what was played or
    // rendered before it. Only while no block runs.
    virtual void ClearState() { Reset(); }
    // Lets the meters fall while no audio flows.
    virtual void DecayMeters() {}
    // Redraws the meters from what the audio thread published; the main timer calls it while
    // playing.
    virtual void RedrawMeters() {}
    // Values of the controls whose (kind, id) the block holds; the recall values too for a snap.
    virtual void ApplyPreset(const CParamBlock& block);
    virtual void ApplySnap(const CParamBlock& block);

    void SetScheme(int scheme);
    void SetGreyed(bool greyed);
    void PaintAll();
    void RedrawControls();
    // Offers a press to the controls in panel order; true when one took it. Bit 0 Alt, bit 1 Ctrl.
    bool MouseDown(uint8_t modifiers, int x, int y);
    void MouseUp();
    // Replaces this kind's list in the block with (id, value) of every control in panel order.
    bool StoreParameters(CParamBlock& block) const;

    // Where the panel draws; nothing is drawn while unset or not shown.
    void SetCanvas(CPanelCanvas* canvas) { m_canvas = canvas; }
    CPanelCanvas* Canvas() const { return m_canvas; }
    void SetShown(bool shown) { m_shown = shown; }
    bool Shown() const { return m_shown; }
    bool Dirty() const { return m_dirty; }
    void ClearDirty() { m_dirty = false; }
    bool Greyed() const { return m_greyed; }
    int Scheme() const { return m_scheme; }
    int Kind() const { return m_kind; }
    int ControlCount() const { return m_controlCount; }
    CDataInputElement* Control(int i) const { return (i >= 0 && i < m_controlCount) ? m_controls[i] : nullptr; }
    int ParameterId(int i) const { return (i >= 0 && i < m_controlCount) ? m_ids[i] : -1; }
    CDataInputElement* Captured() const { return m_captured; }
    // The control holding parameter id; null when the kind has none.
    CDataInputElement* FindControl(int id) const;
    // The value of parameter id, or fallback when no control holds it.
    float Param(int id, float fallback = 0.0f) const;
    void SetParam(int id, float value);
    // The panel rectangle from the last Layout.
    int PanelX() const { return m_rect[0]; }
    int PanelY() const { return m_rect[1]; }
    int PanelWidth() const { return m_rect[2]; }
    int PanelHeight() const { return m_rect[3]; }

protected:
    // Takes ownership of a control with its parameter id, in panel order.
    void AddControl(CDataInputElement* control, int id);
    // Stores the rectangle and places control i at (x + X[i] × s, y + Y[i]), s = canvas width / 1024.
    void PlaceControls(int x, int y, int width, int height, const int* X, const int* Y);
    // The horizontal scale of the paint box: width / 1024.
    double ScaleX() const;
    // Called after a press changed nothing but the pressed control (index in panel order).
    virtual void ControlPressed(int index) {}
    void MarkDirty() { m_dirty = true; }
    bool ApplyBlock(const CParamBlock& block, bool withRecall, const int* skipIds, int skipCount);

    int32_t m_kind;
    CDataInputElement* m_controls[kMaxControls] = {};
    int32_t m_ids[kMaxControls] = {};
    int32_t m_controlCount = 0;
    int32_t m_scheme = SchemeAmber;
    bool m_greyed = false;
    bool m_dirty = false;
    CDataInputElement* m_captured = nullptr;
    int32_t m_rect[4] = {0, 0, 0, 0};
    bool m_shown = false;
    CPanelCanvas* m_canvas = nullptr;
};
