#include "library/CParamBlock.h"

#include <cstring>

void CParamBlock::Clear() {
    kindCount = 0;
    std::memset(kinds, 0, sizeof kinds);
    std::memset(reserved, 0, sizeof reserved);
    std::memset(valueCounts, 0, sizeof valueCounts);
    std::memset(ids, 0, sizeof ids);
    std::memset(values, 0, sizeof values);
}

bool CParamBlock::Append(int kind, int id, float value) {
    int n = kindCount < 0 ? 0 : (kindCount > kMaxKinds ? kMaxKinds : kindCount);
    int list = -1;
    for (int i = 0; i < n; ++i)
        if (kinds[i] == kind) {
            list = i;
            break;
        }
    if (list < 0) {
        if (n >= kMaxKinds) return false;
        list = n;
        kinds[list] = kind;
        valueCounts[list] = 0;
        kindCount = n + 1;
    }
    int c = valueCounts[list];
    if (c < 0 || c >= kMaxValues) return false;
    ids[list * kMaxValues + c] = id;
    values[list * kMaxValues + c] = value;
    valueCounts[list] = c + 1;
    return true;
}

void CParamBlock::ClearKind(int kind) {
    int n = kindCount < 0 ? 0 : (kindCount > kMaxKinds ? kMaxKinds : kindCount);
    for (int i = 0; i < n; ++i)
        if (kinds[i] == kind) valueCounts[i] = 0;
}

bool CParamBlock::Lookup(int kind, int id, float& value) const {
    int n = kindCount < 0 ? 0 : (kindCount > kMaxKinds ? kMaxKinds : kindCount);
    for (int i = 0; i < n; ++i) {
        if (kinds[i] != kind) continue;
        int c = valueCounts[i] < 0 ? 0 : (valueCounts[i] > kMaxValues ? kMaxValues : valueCounts[i]);
        for (int j = 0; j < c; ++j)
            if (ids[i * kMaxValues + j] == id) {
                value = values[i * kMaxValues + j];
                return true;
            }
    }
    return false;
}

bool CParamBlock::HasKind(int kind) const {
    int n = kindCount < 0 ? 0 : (kindCount > kMaxKinds ? kMaxKinds : kindCount);
    for (int i = 0; i < n; ++i)
        if (kinds[i] == kind) return true;
    return false;
}
