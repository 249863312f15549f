#pragma once
// CMarker: a named position inside a region, in frames from the region start.

#include <cstdint>
#include <string>

class CMarker {
public:
    static constexpr int kTextSize = 128; // at most 127 bytes of text

    // Marker icons, the image index of the marker list.
    enum Icon : int32_t { IconLamp = 0, IconDownArrow = 1, IconPin = 2 };

    CMarker() = default;
    CMarker(int64_t position, const std::string& text, int32_t reserved, int32_t regionId, int32_t icon);

    int64_t GetPosition() const { return m_position; }
    void SetPosition(int64_t position) { m_position = position; }
    const std::string& GetText() const { return m_text; }
    // Cut to 127 bytes on a character boundary.
    void SetText(const std::string& text);
    int32_t GetIcon() const { return m_icon; }
    void SetIcon(int32_t icon) { m_icon = icon; }
    int32_t GetRegionId() const { return m_regionId; }
    void SetRegionId(int32_t id) { m_regionId = id; }
    int32_t GetReserved() const { return m_reserved; }
    void SetReserved(int32_t value) { m_reserved = value; }

private:
    int64_t m_position = 0;
    int32_t m_regionId = 0;
    int32_t m_reserved = 0;
    int32_t m_icon = 0;
    std::string m_text;
};
