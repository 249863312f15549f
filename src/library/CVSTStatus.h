#pragma once
// CVSTStatus: the state of the VST chain kept in a snap: up to 16 effects with their program,
// flags, parameter values and opaque state chunk. Copies are deep.

#include <cstdint>
#include <string>
#include <vector>

class CVSTStatus {
public:
    static constexpr int kMaxEffects = 16;
    static constexpr int kNameSize = 64; // at most 63 bytes of name

    // Effect flag bits.
    enum : int16_t { FlagBypassed = 0x01, FlagCollapsed = 0x02, FlagChunk = 0x04 };

    struct Slot {
        std::string name; // the plug-in's file name
        int16_t program = 0;
        int16_t flags = 0;
        std::vector<float> params;  // parameter count = params.size()
        std::vector<uint8_t> chunk; // chunk size = chunk.size()
    };

    CVSTStatus() = default;

    // Effect count, 0 to 16 (clamped).
    int32_t GetEffectCount() const { return m_effectCount; }
    void SetEffectCount(int32_t count);
    int32_t GetWorkingSlot() const { return m_workingSlot; }
    void SetWorkingSlot(int32_t slot) { m_workingSlot = slot; }
    int32_t GetParamCursor() const { return m_paramCursor; }
    void SetParamCursor(int32_t cursor) { m_paramCursor = cursor; }

    // Slot i, 0..15; out-of-range indexes are refused by the setters and give an empty slot.
    const Slot& GetSlot(int i) const;
    Slot* MutableSlot(int i);
    // A name longer than 63 bytes cannot be kept and is stored as the empty string.
    bool SetName(int i, const std::string& name);

    // Appends an effect to the next free slot; false when all 16 are taken.
    bool AddEffect(const std::string& name, int16_t program, int16_t flags, const std::vector<float>& params);
    // Effect count 0 and every slot emptied.
    void Clear();

private:
    int32_t m_effectCount = 0;
    int32_t m_workingSlot = 0;
    int32_t m_paramCursor = 0;
    Slot m_slots[kMaxEffects];
};
