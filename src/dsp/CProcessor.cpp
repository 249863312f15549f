#include "dsp/CProcessor.h"

#include "dsp/CDataInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "library/CParamBlock.h"

CProcessor::CProcessor(int kind) : m_kind(kind) {}

CProcessor::~CProcessor() {
    for (int i = 0; i < m_controlCount; ++i) delete m_controls[i];
}

void CProcessor::AddControl(CDataInputElement* control, int id) {
    if (m_controlCount >= kMaxControls) {
        delete control;
        return;
    }
    m_controls[m_controlCount] = control;
    m_ids[m_controlCount] = id;
    ++m_controlCount;
}

double CProcessor::ScaleX() const { return m_canvas ? m_canvas->Width() / 1024.0 : 1.0; }

void CProcessor::PlaceControls(int x, int y, int width, int height, const int* X, const int* Y) {
    m_rect[0] = x;
    m_rect[1] = y;
    m_rect[2] = width;
    m_rect[3] = height;
    const double s = ScaleX();
    for (int i = 0; i < m_controlCount; ++i) m_controls[i]->Place(m_canvas, x + static_cast<int>(X[i] * s), y + Y[i]);
}

CDataInputElement* CProcessor::FindControl(int id) const {
    for (int i = 0; i < m_controlCount; ++i)
        if (m_ids[i] == id) return m_controls[i];
    return nullptr;
}

float CProcessor::Param(int id, float fallback) const {
    CDataInputElement* c = FindControl(id);
    return c ? c->Value() : fallback;
}

void CProcessor::SetParam(int id, float value) {
    if (CDataInputElement* c = FindControl(id)) c->SetValue(value);
}

void CProcessor::MouseMove(int x, int y) {
    if (m_captured) m_captured->MouseMove(x, y);
}

void CProcessor::Tick() {
    if (m_captured) {
        m_captured->DragTick();
        m_dirty = true;
    }
    for (int i = 0; i < m_controlCount; ++i) m_controls[i]->Tick();
}

void CProcessor::SetScheme(int scheme) {
    m_scheme = scheme;
    ApplyScheme();
    m_dirty = true;
}

void CProcessor::SetGreyed(bool greyed) {
    if (greyed == m_greyed) return;
    m_greyed = greyed;
    for (int i = 0; i < m_controlCount; ++i) m_controls[i]->SetGreyed(greyed);
    if (m_shown)
        for (int i = 0; i < m_controlCount; ++i) m_controls[i]->Redraw();
    if (!greyed) m_dirty = true;
}

void CProcessor::PaintAll() {
    if (!m_shown) return;
    for (int i = 0; i < m_controlCount; ++i) m_controls[i]->Paint();
    Paint();
    if (!m_greyed) m_dirty = true;
}

void CProcessor::RedrawControls() {
    if (!m_shown) return;
    for (int i = 0; i < m_controlCount; ++i) m_controls[i]->Redraw();
    if (!m_greyed) m_dirty = true;
}

bool CProcessor::MouseDown(uint8_t modifiers, int x, int y) {
    m_captured = nullptr;
    for (int i = 0; i < m_controlCount; ++i) {
        if (m_controls[i]->MouseDown(modifiers, x, y)) {
            m_captured = m_controls[i];
            m_dirty = true;
            ControlPressed(i);
            return true;
        }
    }
    return false;
}

void CProcessor::MouseUp() {
    if (m_captured) m_captured->MouseUp();
    m_captured = nullptr;
}

bool CProcessor::StoreParameters(CParamBlock& block) const {
    block.ClearKind(m_kind);
    bool ok = true;
    for (int i = 0; i < m_controlCount; ++i) ok = block.Append(m_kind, m_ids[i], m_controls[i]->Value()) && ok;
    return ok;
}

bool CProcessor::ApplyBlock(const CParamBlock& block, bool withRecall, const int* skipIds, int skipCount) {
    bool changed = false;
    for (int i = 0; i < m_controlCount; ++i) {
        bool skip = false;
        for (int k = 0; k < skipCount; ++k) skip = skip || m_ids[i] == skipIds[k];
        float v;
        if (skip || !block.Lookup(m_kind, m_ids[i], v)) continue;
        if (withRecall) m_controls[i]->SetValueAndRecall(v);
        else m_controls[i]->SetValue(v);
        changed = true;
        if (m_shown) m_controls[i]->Redraw();
    }
    m_dirty = true;
    return changed;
}

void CProcessor::ApplyPreset(const CParamBlock& block) { ApplyBlock(block, false, nullptr, 0); }

void CProcessor::ApplySnap(const CParamBlock& block) { ApplyBlock(block, true, nullptr, 0); }
