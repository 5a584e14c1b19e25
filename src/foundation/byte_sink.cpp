#include "foundation/byte_sink.h"

#include <cstring>

bool StringSink::Append(const void* data, size_t size) {
    if (m_failed || size > CVxString::npos - 1 - m_text.Length()) {
        m_failed = true;
        return false;
    }
    // Byte for byte, 0 bytes included.
    const uint32_t start = m_text.Length();
    const uint32_t end = start + static_cast<uint32_t>(size);
    std::memcpy(m_text.GetBuffer(end) + start, data, size);
    m_text.SetLength(end);
    return true;
}
