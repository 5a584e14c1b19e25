#pragma once

#include "foundation/vx_string.h"

#include <cstddef>

// Where a writer puts the bytes it produces: a string in memory, or a file
// being replaced (FileOutput, see file_access.h).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be taken; a sink stays failed from then on.
    virtual bool Append(const void* data, size_t size) = 0;
};

// Appends to a string, which the caller may reserve beforehand.
class StringSink : public ByteSink {
public:
    explicit StringSink(CVxString& text) : m_text(text) {}
    bool Append(const void* data, size_t size) override;

private:
    CVxString& m_text;
    bool m_failed = false;
};
