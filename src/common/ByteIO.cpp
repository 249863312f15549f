#include "common/ByteIO.h"

#include "common/FixedText.h"

void ByteWriter::Text(std::string_view text, size_t size) {
    if (size == 0) return;
    size_t at = m_buf.size();
    m_buf.resize(at + size, 0);
    SetFixedText(reinterpret_cast<char*>(m_buf.data() + at), size, text);
}

void ByteWriter::PatchU32(size_t offset, uint32_t v) {
    if (offset + 4 <= m_buf.size()) StoreLE32(m_buf.data() + offset, v);
}

bool ByteReader::Bytes(void* out, size_t n) {
    if (m_failed || Left() < n) {
        m_failed = true;
        m_pos = m_size;
        return false;
    }
    std::memcpy(out, m_p + m_pos, n);
    m_pos += n;
    return true;
}

std::string ByteReader::Text(size_t size) {
    if (m_failed || Left() < size) {
        m_failed = true;
        m_pos = m_size;
        return {};
    }
    std::string s = GetFixedText(reinterpret_cast<const char*>(m_p + m_pos), size);
    m_pos += size;
    return s;
}

bool ByteReader::Skip(size_t n) {
    if (m_failed || Left() < n) {
        m_failed = true;
        m_pos = m_size;
        return false;
    }
    m_pos += n;
    return true;
}

bool ByteReader::Seek(size_t pos) {
    if (pos > m_size) {
        m_failed = true;
        return false;
    }
    m_pos = pos;
    return true;
}
