#include "tool/look_access.h"

#include "look/look_reader.h"
#include "tool/parsed_look.h"

std::unique_ptr<ParsedLook> ReadLook(const CVxString& text, uint32_t& storedSize) {
    auto look = std::make_unique<ParsedLook>();
    storedSize = 0;
    if (!ReadLookText(look->grading, text, look->mask, storedSize))
        return nullptr;
    return look;
}
