#pragma once
// CDSPSnap: a named setting of the whole DSP stack, VST chain included, kept in a region.

#include <cstdint>
#include <string>

#include "library/CParamBlock.h"
#include "library/CVSTStatus.h"

class CDSPSnap {
public:
    static constexpr int kNameSize = 256;

    CDSPSnap() : m_name("Snap") {}
    explicit CDSPSnap(const std::string& name);
    CDSPSnap(const CDSPSnap&) = default;
    CDSPSnap& operator=(const CDSPSnap&) = default;

    const std::string& GetName() const { return m_name; }
    // Cut to 255 bytes on a character boundary.
    void SetName(const std::string& name);
    // Kept in memory only.
    int32_t GetReserved0() const { return m_reserved0; }
    void SetReserved0(int32_t v) { m_reserved0 = v; }
    // Kept in the snap record on disk.
    int32_t GetReserved1() const { return m_reserved1; }
    void SetReserved1(int32_t v) { m_reserved1 = v; }

    CParamBlock& Params() { return m_params; }
    const CParamBlock& Params() const { return m_params; }
    CVSTStatus& Vst() { return m_vst; }
    const CVSTStatus& Vst() const { return m_vst; }

private:
    std::string m_name;
    int32_t m_reserved0 = 0;
    int32_t m_reserved1 = 0;
    CParamBlock m_params;
    CVSTStatus m_vst;
};
