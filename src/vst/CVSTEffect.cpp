#include "vst/CVSTEffect.h"

#include <algorithm>
#include <cstring>

#include "vst/CVSTHost.h"
#include "vst/FpuGuard.h"
#include "vst/VstAbi.h"

namespace {

// A plug-in may declare more channels than our stereo pair; the extra ones get buffers of their
// own so it never writes past our pointer arrays. Beyond this many it is not run at all.
constexpr int kMaxChannels = 64;

// A chunk larger than this is taken for a broken answer rather than copied.
constexpr intptr_t kMaxChunk = intptr_t(256) << 20;

} // namespace

CVSTEffect::CVSTEffect(const std::string& name) {
    if (name.size() < static_cast<size_t>(kNameSize)) m_name = name;
}

CVSTEffect::~CVSTEffect() { Unload(); }

intptr_t CVSTEffect::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!m_effect || !m_effect->dispatcher) return 0;
    try {
        FpuGuard fpu;
        return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

int CVSTEffect::Load(const std::vector<std::string>& folders) {
    if (m_effect) return CVSTHost::Ok;
    const int result = CVSTHost::Instantiate(CVSTHost::FindPlugin(folders, m_name), m_module, m_effect);
    if (result != CVSTHost::Ok) return result;

    const int ins = std::max(m_effect->numInputs, 0);
    const int outs = std::max(m_effect->numOutputs, 0);
    m_channels = std::max({ins, outs, 2});
    if (m_channels <= kMaxChannels) {
        m_extra.assign(static_cast<size_t>(m_channels - 2) * 2 * kMaxPiece, 0.0f);
        m_inPtrs.assign(m_channels, nullptr);
        m_outPtrs.assign(m_channels, nullptr);
        for (int c = 2; c < m_channels; ++c) {
            m_inPtrs[c] = m_extra.data() + static_cast<size_t>(c - 2) * 2 * kMaxPiece;
            m_outPtrs[c] = m_inPtrs[c] + kMaxPiece;
        }
    }

    m_rate = CVSTHost::SampleRate();
    Dispatch(vst2::effOpen, 0, 0, nullptr, 0.0f);
    Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(m_rate));
    Dispatch(vst2::effSetBlockSize, 0, CVSTHost::kBlockSize, nullptr, 0.0f);
    Dispatch(vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
    m_resumed = true;
    int w = 0, h = 0;
    EditGetRect(w, h);
    return CVSTHost::Ok;
}

void CVSTEffect::Unload() {
    if (!m_effect) return;
    EditClose();
    SetFlags(Flags() & ~FlagMiniPanelOpen);
    Dispatch(vst2::effMainsChanged, 0, 0, nullptr, 0.0f);
    m_resumed = false;
    CVSTHost::Release(m_module, m_effect);
    m_inPtrs.clear();
    m_outPtrs.clear();
    m_extra.clear();
}

void CVSTEffect::SetBypassed(bool on) {
    int32_t f = Flags();
    SetFlags(on ? (f | FlagBypassed) : (f & ~FlagBypassed));
}

void CVSTEffect::SetCollapsed(bool on) {
    int32_t f = Flags();
    SetFlags(on ? (f | FlagCollapsed) : (f & ~FlagCollapsed));
}

void CVSTEffect::SetActive(bool active) {
    if (active == m_active) return;
    m_active = active;
    if (!m_effect) return;
    Dispatch(vst2::effMainsChanged, 0, active ? 1 : 0, nullptr, 0.0f);
    m_resumed = active;
}

bool CVSTEffect::EditOpen(intptr_t windowId) {
    if (!m_effect || !(m_effect->flags & vst2::effFlagsHasEditor)) return false;
    Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(windowId), 0.0f);
    SetFlags(Flags() | FlagEditorOpen);
    return true;
}

void CVSTEffect::EditClose() {
    if (!(Flags() & FlagEditorOpen)) return;
    Dispatch(vst2::effEditClose, 0, 0, nullptr, 0.0f);
    SetFlags(Flags() & ~FlagEditorOpen);
}

void CVSTEffect::EditIdle() {
    if (Flags() & FlagEditorOpen) Dispatch(vst2::effEditIdle, 0, 0, nullptr, 0.0f);
}

bool CVSTEffect::EditGetRect(int& width, int& height) {
    vst2::ERect* rect = nullptr;
    Dispatch(vst2::effEditGetRect, 0, 0, &rect, 0.0f);
    if (!rect) return false;
    width = rect->right - rect->left + 1;
    height = rect->bottom - rect->top + 1;
    m_editorWidth = width;
    m_editorHeight = height;
    return true;
}

std::string CVSTEffect::EffectName() {
    char buffer[vst2::kNameBuffer] = {};
    Dispatch(vst2::effGetEffectName, 0, 0, buffer, 0.0f);
    buffer[sizeof buffer - 1] = 0;
    return buffer;
}

std::string CVSTEffect::ListName() {
    std::string name = EffectName();
    if (!name.empty()) return name;
    name = m_name;
    if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".so") == 0) name.resize(name.size() - 3);
    return name;
}

int CVSTEffect::ProgramCount() const { return m_effect ? std::max(m_effect->numPrograms, 0) : 0; }

bool CVSTEffect::ProgramName(int index, std::string& name) {
    char buffer[vst2::kNameBuffer] = {};
    const intptr_t ok = Dispatch(vst2::effGetProgramNameIndexed, index, 0, buffer, 0.0f);
    buffer[sizeof buffer - 1] = 0;
    if (!ok) return false;
    name = buffer;
    return true;
}

int CVSTEffect::GetProgram() { return static_cast<int>(Dispatch(vst2::effGetProgram, 0, 0, nullptr, 0.0f)); }

void CVSTEffect::SetProgram(int program) { Dispatch(vst2::effSetProgram, 0, program, nullptr, 0.0f); }

int CVSTEffect::ParameterCount() const { return m_effect ? std::max(m_effect->numParams, 0) : 0; }

float CVSTEffect::GetParameter(int index) {
    if (!m_effect || !m_effect->getParameter || index < 0 || index >= ParameterCount()) return 0.0f;
    try {
        FpuGuard fpu;
        return m_effect->getParameter(m_effect, index);
    } catch (...) {
        return 0.0f;
    }
}

std::string CVSTEffect::ParameterName(int index) {
    char buffer[vst2::kNameBuffer] = {};
    if (index >= 0 && index < ParameterCount()) Dispatch(vst2::effGetParamName, index, 0, buffer, 0.0f);
    buffer[sizeof buffer - 1] = 0;
    return buffer;
}

std::string CVSTEffect::ParameterDisplay(int index) {
    if (index < 0 || index >= ParameterCount()) return {};
    char value[vst2::kNameBuffer] = {};
    char label[vst2::kNameBuffer] = {};
    Dispatch(vst2::effGetParamDisplay, index, 0, value, 0.0f);
    Dispatch(vst2::effGetParamLabel, index, 0, label, 0.0f);
    value[sizeof value - 1] = 0;
    label[sizeof label - 1] = 0;
    std::string text = value;
    if (label[0]) text += std::string(" ") + label;
    return text;
}

void CVSTEffect::SetParameter(int index, float value) {
    if (!m_effect || !m_effect->setParameter || index < 0 || index >= ParameterCount()) return;
    try {
        FpuGuard fpu;
        m_effect->setParameter(m_effect, index, value);
    } catch (...) {
    }
}

bool CVSTEffect::ChunkCapable() const { return m_effect && (m_effect->flags & vst2::effFlagsProgramChunks); }

std::vector<uint8_t> CVSTEffect::GetChunk() {
    if (!ChunkCapable()) return {};
    void* data = nullptr;
    const intptr_t size = Dispatch(vst2::effGetChunk, 0, 0, &data, 0.0f);
    if (!data || size <= 0 || size > kMaxChunk) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

bool CVSTEffect::SetChunk(const std::vector<uint8_t>& chunk) {
    if (!m_effect || chunk.empty()) return false;
    // The plug-in may keep the pointer only for the call; it gets its own copy of our bytes.
    std::vector<uint8_t> copy(chunk);
    Dispatch(vst2::effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data(), 0.0f);
    return true;
}

void CVSTEffect::ChangeSampleRate(double rate) {
    if (!m_effect || rate == m_rate) return;
    const bool running = m_resumed;
    if (running) Dispatch(vst2::effMainsChanged, 0, 0, nullptr, 0.0f);
    Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    if (running) Dispatch(vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
    m_rate = rate;
}

void CVSTEffect::Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n) {
    vst2::AEffect* e = m_effect;
    const bool runnable = e && m_channels <= kMaxChannels && !m_inPtrs.empty() &&
                          ((e->flags & vst2::effFlagsCanReplacing) ? e->processReplacing != nullptr
                                                                   : e->process != nullptr);
    if (!runnable) {
        std::memcpy(outLeft, inLeft, sizeof(float) * n);
        std::memcpy(outRight, inRight, sizeof(float) * n);
        return;
    }
    float** ins = m_inPtrs.data();
    float** outs = m_outPtrs.data();
    const bool replacing = (e->flags & vst2::effFlagsCanReplacing) != 0;
    try {
        FpuGuard fpu;
        for (int done = 0; done < n;) {
            const int piece = std::min(n - done, kMaxPiece);
            ins[0] = const_cast<float*>(inLeft + done);
            ins[1] = const_cast<float*>(inRight + done);
            outs[0] = outLeft + done;
            outs[1] = outRight + done;
            for (int c = 2; c < m_channels; ++c) std::memset(ins[c], 0, sizeof(float) * piece);
            if (replacing) {
                e->processReplacing(e, ins, outs, piece);
            } else {
                // The old call adds into the outputs.
                for (int c = 0; c < m_channels; ++c) std::memset(outs[c], 0, sizeof(float) * piece);
                e->process(e, ins, outs, piece);
            }
            // A mono plug-in leaves the right output alone: it gets the left.
            if (e->numOutputs == 1) std::memcpy(outs[1], outs[0], sizeof(float) * piece);
            done += piece;
        }
    } catch (...) {
        std::memcpy(outLeft, inLeft, sizeof(float) * n);
        std::memcpy(outRight, inRight, sizeof(float) * n);
    }
}
