#pragma once

#include "foundation/vx_string.h"

#include <cstddef>
#include <string_view>

// A document text that the XML readers read where it lies, borrowed: whoever
// makes the view keeps the text alive and unchanged for as long as the view, a
// reader built on it or any view that reader hands out is in use. A text that
// would not live that long (a temporary) is first kept in a CVxString of the
// caller's next to the reader; a view of a temporary CVxString does not compile.
class XmlTextView {
public:
    constexpr XmlTextView(const char* data, size_t length) : m_text(data, length) {}
    explicit XmlTextView(const CVxString& text) : m_text(text.View()) {}
    XmlTextView(const CVxString&&) = delete;

    const char* Data() const { return m_text.data(); }
    size_t Length() const { return m_text.size(); }

private:
    std::string_view m_text;
};
