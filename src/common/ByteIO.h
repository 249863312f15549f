#pragma once
// Little-endian field reader and writer for on-disk records. Records are built and parsed
// field by field in declared order, never by copying a struct.
//
// The reader never reads past its end: a read beyond the bytes left sets the failed flag and
// yields zeros, so a parser checks Ok() once after a group of fields.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class ByteWriter {
public:
    void U8(uint8_t v) { m_buf.push_back(v); }
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void U64(uint64_t v) { Put(v, 8); }
    void I16(int16_t v) { Put(static_cast<uint16_t>(v), 2); }
    void I32(int32_t v) { Put(static_cast<uint32_t>(v), 4); }
    void I64(int64_t v) { Put(static_cast<uint64_t>(v), 8); }
    void F32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(u);
    }
    void F64(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        U64(u);
    }
    void Bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        m_buf.insert(m_buf.end(), b, b + n);
    }
    void Zeros(size_t n) { m_buf.insert(m_buf.end(), n, 0); }
    // A text in a fixed field of size bytes: cut to size − 1 bytes (UTF-8 safe), NUL padded.
    void Text(std::string_view text, size_t size);
    // Overwrites 4 bytes at offset (for lengths patched after the fact).
    void PatchU32(size_t offset, uint32_t v);

    size_t Size() const { return m_buf.size(); }
    const std::vector<uint8_t>& Data() const { return m_buf; }
    std::vector<uint8_t>& Data() { return m_buf; }
    void Clear() { m_buf.clear(); }

private:
    void Put(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) m_buf.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t> m_buf;
};

class ByteReader {
public:
    ByteReader(const void* data, size_t size) : m_p(static_cast<const uint8_t*>(data)), m_size(size) {}
    explicit ByteReader(const std::vector<uint8_t>& v) : ByteReader(v.data(), v.size()) {}

    uint8_t U8() { return static_cast<uint8_t>(Get(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Get(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Get(4)); }
    uint64_t U64() { return Get(8); }
    int16_t I16() { return static_cast<int16_t>(Get(2)); }
    int32_t I32() { return static_cast<int32_t>(Get(4)); }
    int64_t I64() { return static_cast<int64_t>(Get(8)); }
    float F32() {
        uint32_t u = U32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    double F64() {
        uint64_t u = U64();
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    }
    bool Bytes(void* out, size_t n);
    // A fixed text field of size bytes, up to its first NUL.
    std::string Text(size_t size);
    bool Skip(size_t n);

    bool Ok() const { return !m_failed; }
    void Fail() { m_failed = true; }
    size_t Pos() const { return m_pos; }
    size_t Left() const { return m_size - m_pos; }
    bool Seek(size_t pos);
    const uint8_t* Here() const { return m_p + m_pos; }

private:
    uint64_t Get(int n) {
        if (m_failed || Left() < static_cast<size_t>(n)) {
            m_failed = true;
            m_pos = m_size;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(m_p[m_pos + i]) << (8 * i);
        m_pos += static_cast<size_t>(n);
        return v;
    }
    const uint8_t* m_p;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed = false;
};

// Big-endian helpers for the formats that need them (AIFF, SUN).
inline uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t LoadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLE32(const uint8_t* p) {
    return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void StoreBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
