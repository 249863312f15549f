#include "library/CPrefs.h"

#include <cstring>

#include "common/ByteIO.h"
#include "common/FixedText.h"

namespace {
bool KeyOk(int key) { return key >= 0 && key < CPrefs::kKeys; }
bool TextOk(int index) { return index >= 0 && index < CPrefs::kTexts; }
} // namespace

void CPrefs::Clear() {
    std::memset(m_flags, 0, sizeof m_flags);
    std::memset(m_values, 0, sizeof m_values);
    std::memset(m_textFlags, 0, sizeof m_textFlags);
    std::memset(m_texts, 0, sizeof m_texts);
}

bool CPrefs::Has(int key) const { return KeyOk(key) && m_flags[key] != 0; }

int32_t CPrefs::GetInt(int key) const { return KeyOk(key) ? m_values[key] : 0; }

uint8_t CPrefs::GetByte(int key) const {
    return KeyOk(key) ? static_cast<uint8_t>(static_cast<uint32_t>(m_values[key]) & 0xFF) : 0;
}

void CPrefs::SetInt(int key, int32_t value) {
    if (!KeyOk(key)) return;
    m_values[key] = value;
    m_flags[key] = 1;
}

void CPrefs::SetByte(int key, uint8_t value) {
    if (!KeyOk(key)) return;
    uint32_t slot = static_cast<uint32_t>(m_values[key]);
    slot = (slot & 0xFFFFFF00u) | value;
    m_values[key] = static_cast<int32_t>(slot);
    m_flags[key] = 1;
}

bool CPrefs::HasText(int index) const { return TextOk(index) && m_textFlags[index] != 0; }

std::string CPrefs::GetText(int index) const {
    return TextOk(index) ? GetFixedText(m_texts[index], kTextSize) : std::string();
}

void CPrefs::SetText(int index, std::string_view text) {
    if (!TextOk(index)) return;
    SetFixedText(m_texts[index], kTextSize, text);
    m_textFlags[index] = 1;
}

void CPrefs::WriteBlock(ByteWriter& w) const {
    w.I32(1);
    w.Bytes(m_flags, kKeys);
    for (int32_t v : m_values) w.I32(v);
    w.Bytes(m_textFlags, kTexts);
    // Texts go out as the raw fields so that bytes after a NUL survive a round trip.
    for (const auto& t : m_texts) w.Bytes(t, kTextSize);
}

bool CPrefs::ReadBlock(ByteReader& r) {
    Clear();
    if (r.Left() < kBlockSize) {
        r.Fail();
        return false;
    }
    r.I32(); // block version: not checked, the layout never changed
    r.Bytes(m_flags, kKeys);
    for (int32_t& v : m_values) v = r.I32();
    r.Bytes(m_textFlags, kTexts);
    for (auto& t : m_texts) r.Bytes(t, kTextSize);
    return r.Ok();
}
