#pragma once
// CPrefs: the preferences store. A keyed table of 2,048 one-byte present flags and 2,048
// int32 values, plus 20 text settings. Each setting of the window owns a key; a key that is
// not present leaves its setting at the window's default. The store lives in memory and is
// kept in the preferences block of the database file.
//
// Threading: main thread only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ByteReader;
class ByteWriter;

class CPrefs {
public:
    static constexpr int kKeys = 2048;
    static constexpr int kTexts = 20;
    static constexpr int kTextSize = 512;
    // Version word, flags, values, text flags, texts.
    static constexpr size_t kBlockSize = 4 + kKeys + 4 * kKeys + kTexts + kTexts * kTextSize;

    CPrefs() { Clear(); }

    // All flags 0, all values 0, all texts empty.
    void Clear();

    // Keys outside 0..2047 are never present; setting one does nothing.
    bool Has(int key) const;
    int32_t GetInt(int key) const;
    // The lowest byte of the key's slot.
    uint8_t GetByte(int key) const;
    void SetInt(int key, int32_t value);
    // Replaces only the lowest byte of the slot, as the one-byte settings always have.
    void SetByte(int key, uint8_t value);

    // The text settings, kept but used by no key today.
    bool HasText(int index) const;
    std::string GetText(int index) const;
    void SetText(int index, std::string_view text);

    // The preferences block of the database file, kBlockSize bytes.
    void WriteBlock(ByteWriter& w) const;
    // Reads a whole block; false (store cleared) when fewer than kBlockSize bytes are left.
    bool ReadBlock(ByteReader& r);

private:
    uint8_t m_flags[kKeys];
    int32_t m_values[kKeys];
    uint8_t m_textFlags[kTexts];
    char m_texts[kTexts][kTextSize];
};
