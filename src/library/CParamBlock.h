#pragma once
// CParamBlock: the parameter format shared by snaps and presets. Up to ten lists, one per
// processor kind, of up to fifty (parameter id, value) entries each.

#include <cstdint>

class CParamBlock {
public:
    static constexpr int kMaxKinds = 10;
    static constexpr int kMaxValues = 50;

    CParamBlock() { Clear(); }

    // Kind count 0 and every value count 0.
    void Clear();
    // Appends (id, value) to the list of kind, adding that list at the end when absent.
    // Returns false when the block has no room for the kind or the entry.
    bool Append(int kind, int id, float value);
    // Empties one kind's list; the kind keeps its place.
    void ClearKind(int kind);
    // First entry of (kind, id); false when absent.
    bool Lookup(int kind, int id, float& value) const;
    bool HasKind(int kind) const;

    // The raw fields, in their on-disk order after the leading zero word.
    int32_t kindCount = 0;
    int32_t kinds[kMaxKinds];
    int32_t reserved[kMaxKinds];
    int32_t valueCounts[kMaxKinds];
    int32_t ids[kMaxKinds * kMaxValues];
    float values[kMaxKinds * kMaxValues];
};
