#include "core/VSTSnap.h"

#include <memory>

#include "library/CVSTStatus.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"
#include "vst/CVSTHost.h"

void StoreVSTChain(CVSTEffectList& chain, CVSTStatus& status) {
    status.Clear();
    const int count = chain.Count() < CVSTStatus::kMaxEffects ? chain.Count() : CVSTStatus::kMaxEffects;
    for (int i = 0; i < count; ++i) {
        CVSTEffect* effect = chain.Get(i);
        std::vector<float> params;
        const int n = effect->ParameterCount();
        params.reserve(n);
        for (int p = 0; p < n; ++p) params.push_back(effect->GetParameter(p));
        int16_t flags = 0;
        if (effect->Bypassed()) flags |= CVSTStatus::FlagBypassed;
        if (effect->Collapsed()) flags |= CVSTStatus::FlagCollapsed;
        const int16_t program = effect->Loaded() ? static_cast<int16_t>(effect->GetProgram()) : 0;
        status.AddEffect(effect->Name(), program, flags, params);
    }
}

int ApplyVSTChain(CVSTEffectList& chain, const CVSTStatus& status) {
    int failed = 0;
    chain.SetRebuilding(true);
    chain.DestroyAll();
    const std::vector<std::string> folders = chain.Folders();
    for (int i = 0; i < status.GetEffectCount(); ++i) {
        const CVSTStatus::Slot& slot = status.GetSlot(i);
        CVSTEffect* effect = chain.Append(std::make_unique<CVSTEffect>(slot.name));
        if (effect->Load(folders) != CVSTHost::Ok) {
            ++failed;
        } else {
            effect->SetProgram(slot.program);
            if ((slot.flags & CVSTStatus::FlagChunk) && !slot.chunk.empty()) effect->SetChunk(slot.chunk);
            for (size_t p = 0; p < slot.params.size(); ++p) effect->SetParameter(static_cast<int>(p), slot.params[p]);
        }
        effect->SetBypassed((slot.flags & CVSTStatus::FlagBypassed) != 0);
        effect->SetCollapsed((slot.flags & CVSTStatus::FlagCollapsed) != 0);
    }
    chain.SetRebuilding(false);
    return failed;
}
