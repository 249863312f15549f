#include "library/CMarker.h"

#include "common/FixedText.h"

CMarker::CMarker(int64_t position, const std::string& text, int32_t reserved, int32_t regionId, int32_t icon)
    : m_position(position), m_regionId(regionId), m_reserved(reserved), m_icon(icon) {
    SetText(text);
}

void CMarker::SetText(const std::string& text) { m_text = CutUtf8(text, kTextSize - 1); }
