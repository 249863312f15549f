#include "views/DSPPanelView.h"

#include "dsp/CDataInputElement.h"
#include "dsp/CProcessor.h"
#include "dsp/CTubeAmp.h"

namespace {

constexpr uint32_t kGround = Rgb(24, 24, 24);

void Resize(QImage& image, int width, int height) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (image.width() != width || image.height() != height) image = QImage(width, height, QImage::Format_RGB32);
}

uint8_t Bits(PanelModifiers m, bool withCtrl) {
    return static_cast<uint8_t>((m.alt ? ModAlt : 0) | (withCtrl && m.ctrl ? ModCtrl : 0));
}

} // namespace

void DSPPanelView::SetProcessors(CProcessor* eq, CProcessor* imager, CProcessor* compressor) {
    m_rows[0] = eq;
    m_rows[1] = imager;
    m_rows[2] = compressor;
    for (CProcessor* p : m_rows)
        if (p) p->SetCanvas(&m_canvas);
}

void DSPPanelView::Paint(int width, int height, int valvePanelWidth) {
    Resize(m_image, width, height);
    m_canvas.FillRect(0, 0, width, height, kGround);
    int x = (valvePanelWidth - 1000) / 2;
    if (x < 0) x = 0;
    for (int y : {0, 70, 140}) m_canvas.BackgroundStrip(x, y);
    for (int y : {69, 139, 209}) m_canvas.Line(0, y, width - 1, y, Rgb(0, 0, 0));
    for (int i = 0; i < 3; ++i) {
        CProcessor* p = m_rows[i];
        if (!p) continue;
        p->SetCanvas(&m_canvas);
        p->Layout(0, i * height / 3, width - 1, height / 3);
        p->PaintAll();
    }
}

bool DSPPanelView::LeftButtonDown(PanelModifiers mods, int x, int y) {
    CDataInputElement::SetFineKeyDown(mods.ctrl);
    const uint8_t bits = Bits(mods, true);
    bool taken = false;
    // Every processor is asked, so each one's capture is cleared or set by this press.
    for (CProcessor* p : {m_rows[0], m_rows[2], m_rows[1]})
        if (p && p->MouseDown(bits, x, y)) taken = true;
    return !taken && !mods.alt && !mods.ctrl;
}

void DSPPanelView::MouseMove(int x, int y, bool ctrlDown) {
    CDataInputElement::SetFineKeyDown(ctrlDown);
    for (CProcessor* p : m_rows)
        if (p) p->MouseMove(x, y);
}

void DSPPanelView::MouseUp() {
    for (CProcessor* p : m_rows)
        if (p) p->MouseUp();
}

void ControlAmpView::SetValveAmp(CTubeAmp* amp) {
    m_amp = amp;
    if (m_amp) m_amp->SetCanvas(&m_canvas);
}

void ControlAmpView::SetScheme(int scheme) {
    if (!m_amp) return;
    m_amp->SetScheme(scheme >= 0 && scheme <= 3 ? scheme : 0);
}

int ControlAmpView::Scheme() const { return m_amp ? m_amp->Scheme() : 0; }

void ControlAmpView::Paint(int width, int height) {
    Resize(m_image, width, height);
    m_canvas.FillRect(0, 0, width, height, kGround);
    int x = (width - 1000) / 2;
    m_canvas.BackgroundStrip(x < 0 ? 0 : x, 0);
    m_canvas.Line(0, 69, width - 1, 69, Rgb(0, 0, 0));
    if (!m_amp) return;
    m_amp->SetCanvas(&m_canvas);
    m_amp->Layout(0, 0, width, height);
    m_amp->PaintAll();
}

bool ControlAmpView::LeftButtonDown(PanelModifiers mods, int x, int y) {
    CDataInputElement::SetFineKeyDown(mods.ctrl);
    bool taken = m_amp && m_amp->MouseDown(Bits(mods, false), x, y);
    return !taken && !mods.alt && !mods.ctrl;
}

void ControlAmpView::MouseMove(int x, int y, bool ctrlDown) {
    CDataInputElement::SetFineKeyDown(ctrlDown);
    if (m_amp) m_amp->MouseMove(x, y);
}

void ControlAmpView::MouseUp() {
    if (m_amp) m_amp->MouseUp();
}
