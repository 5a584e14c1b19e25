#include "look/parsed_look.h"

#include "look/look_reader.h"

std::unique_ptr<ParsedLook> ReadLook(const CVxString& text) {
    auto look = std::make_unique<ParsedLook>();
    if (!ReadLookText(look->grading, text, look->mask, look->storedSize))
        return nullptr;
    return look;
}
