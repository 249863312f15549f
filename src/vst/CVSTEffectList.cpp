#include "vst/CVSTEffectList.h"

#include <thread>

#include "vst/CVSTEffect.h"
#include "vst/CVSTHost.h"

// The two flags form a handshake in which each side first announces itself and then looks at the
// other (both sequentially consistent), so at least one of them sees the other: either the audio
// thread sees the flag and stays out, or the main thread sees it inside and waits for Leave.
class CVSTEffectList::KeepOut {
public:
    explicit KeepOut(CVSTEffectList& list)
        : m_list(list), m_wasRaised(list.m_rebuilding.exchange(true, std::memory_order_seq_cst)) {
        while (list.m_inside.load(std::memory_order_seq_cst)) std::this_thread::yield();
    }
    ~KeepOut() {
        if (!m_wasRaised) m_list.m_rebuilding.store(false, std::memory_order_release);
    }
    KeepOut(const KeepOut&) = delete;
    KeepOut& operator=(const KeepOut&) = delete;

private:
    CVSTEffectList& m_list;
    bool m_wasRaised;
};

CVSTEffectList::CVSTEffectList() = default;

CVSTEffectList::~CVSTEffectList() { DestroyAll(); }

CVSTEffect* CVSTEffectList::Get(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_effects[index].get();
}

int CVSTEffectList::IndexOf(const CVSTEffect* effect) const {
    for (int i = 0; i < Count(); ++i)
        if (m_effects[i].get() == effect) return i;
    return -1;
}

CVSTEffect* CVSTEffectList::Append(std::unique_ptr<CVSTEffect> effect) { return Insert(-1, std::move(effect)); }

CVSTEffect* CVSTEffectList::Insert(int index, std::unique_ptr<CVSTEffect> effect) {
    if (!effect) return nullptr;
    CVSTEffect* raw = effect.get();
    KeepOut out(*this);
    if (index < 0 || index > Count()) m_effects.push_back(std::move(effect));
    else m_effects.insert(m_effects.begin() + index, std::move(effect));
    return raw;
}

std::unique_ptr<CVSTEffect> CVSTEffectList::Remove(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    KeepOut out(*this);
    std::unique_ptr<CVSTEffect> effect = std::move(m_effects[index]);
    m_effects.erase(m_effects.begin() + index);
    return effect;
}

void CVSTEffectList::CloseWindows(CVSTEffect& effect) {
    if (m_closeHook) m_closeHook(effect);
    effect.EditClose();
    effect.SetFlags(effect.Flags() & ~(CVSTEffect::FlagEditorOpen | CVSTEffect::FlagMiniPanelOpen));
}

void CVSTEffectList::RemoveAndDestroy(int index) {
    std::unique_ptr<CVSTEffect> effect = Remove(index);
    if (!effect) return;
    // Out of the list, the audio thread can no longer reach it.
    CloseWindows(*effect);
    effect->Unload();
}

void CVSTEffectList::DestroyAll() {
    std::vector<std::unique_ptr<CVSTEffect>> gone;
    {
        KeepOut out(*this);
        gone.swap(m_effects);
    }
    for (auto& effect : gone) {
        CloseWindows(*effect);
        effect->Unload();
    }
}

void CVSTEffectList::CloseAllEditors() {
    for (auto& effect : m_effects) CloseWindows(*effect);
}

bool CVSTEffectList::MoveUp(int index) {
    if (index <= 0 || index >= Count()) return false;
    KeepOut out(*this);
    std::swap(m_effects[index - 1], m_effects[index]);
    return true;
}

bool CVSTEffectList::MoveDown(int index) {
    if (index < 0 || index >= Count() - 1) return false;
    KeepOut out(*this);
    std::swap(m_effects[index], m_effects[index + 1]);
    return true;
}

CVSTEffect* CVSTEffectList::AddEffect(const std::string& name, int& result) {
    auto effect = std::make_unique<CVSTEffect>(name);
    // Loading touches no effect of the list, so the chain keeps playing meanwhile.
    result = effect->Load(Folders());
    if (result != CVSTHost::Ok) return nullptr;
    return Append(std::move(effect));
}

int CVSTEffectList::LoadAll() {
    int first = CVSTHost::Ok;
    for (int i = 0; i < Count(); ++i) {
        CVSTEffect* effect = m_effects[i].get();
        if (effect->Loaded()) continue;
        KeepOut out(*this);
        const int result = effect->Load(Folders());
        if (first == CVSTHost::Ok) first = result;
    }
    return first;
}

int CVSTEffectList::Load(int index) {
    CVSTEffect* effect = Get(index);
    if (!effect) return CVSTHost::CantLoad;
    if (effect->Loaded()) return CVSTHost::Ok;
    KeepOut out(*this);
    return effect->Load(Folders());
}

void CVSTEffectList::SetRebuilding(bool on) {
    if (on) {
        m_rebuilding.store(true, std::memory_order_seq_cst);
        while (m_inside.load(std::memory_order_seq_cst)) std::this_thread::yield();
    } else {
        m_rebuilding.store(false, std::memory_order_release);
    }
}

void CVSTEffectList::SetSampleRate(double rate) {
    if (rate <= 0.0) return;
    const bool hostChanged = rate != CVSTHost::SampleRate();
    if (!hostChanged && m_toldRate == rate) return;
    KeepOut out(*this);
    CVSTHost::SetSampleRate(rate);
    for (auto& effect : m_effects) effect->ChangeSampleRate(rate);
    m_toldRate = rate;
}

double CVSTEffectList::SampleRate() const { return CVSTHost::SampleRate(); }

bool CVSTEffectList::Enter() {
    m_inside.store(true, std::memory_order_seq_cst);
    if (m_rebuilding.load(std::memory_order_seq_cst)) {
        m_inside.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void CVSTEffectList::Leave() { m_inside.store(false, std::memory_order_release); }

bool CVSTEffectList::Bypassed(int index) const {
    const CVSTEffect* effect = Get(index);
    return !effect || effect->Bypassed();
}

void CVSTEffectList::Run(int index, float* inLeft, float* inRight, float* outLeft, float* outRight, int n) {
    CVSTEffect* effect = Get(index);
    if (effect) effect->Process(inLeft, inRight, outLeft, outRight, n);
}

void CVSTEffectList::SetActive(int index, bool active) {
    if (CVSTEffect* effect = Get(index)) effect->SetActive(active);
}

void CVSTEffectList::Idle(int index) {
    if (CVSTEffect* effect = Get(index)) effect->EditIdle();
}
