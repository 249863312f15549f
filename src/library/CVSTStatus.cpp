#include "library/CVSTStatus.h"

namespace {
const CVSTStatus::Slot kEmptySlot{};
}

void CVSTStatus::SetEffectCount(int32_t count) {
    if (count < 0) count = 0;
    if (count > kMaxEffects) count = kMaxEffects;
    m_effectCount = count;
}

const CVSTStatus::Slot& CVSTStatus::GetSlot(int i) const {
    if (i < 0 || i >= kMaxEffects) return kEmptySlot;
    return m_slots[i];
}

CVSTStatus::Slot* CVSTStatus::MutableSlot(int i) {
    if (i < 0 || i >= kMaxEffects) return nullptr;
    return &m_slots[i];
}

bool CVSTStatus::SetName(int i, const std::string& name) {
    Slot* s = MutableSlot(i);
    if (!s) return false;
    // A cut plug-in file name would name another file, so a name that does not fit is dropped.
    if (name.size() > static_cast<size_t>(kNameSize - 1)) s->name.clear();
    else s->name = name;
    return true;
}

bool CVSTStatus::AddEffect(const std::string& name, int16_t program, int16_t flags, const std::vector<float>& params) {
    if (m_effectCount >= kMaxEffects) return false;
    int i = m_effectCount < 0 ? 0 : m_effectCount;
    SetName(i, name);
    m_slots[i].program = program;
    m_slots[i].flags = flags;
    m_slots[i].params = params;
    m_slots[i].chunk.clear();
    m_effectCount = i + 1;
    return true;
}

void CVSTStatus::Clear() {
    m_effectCount = 0;
    m_workingSlot = 0;
    m_paramCursor = 0;
    for (Slot& s : m_slots) s = Slot{};
}
