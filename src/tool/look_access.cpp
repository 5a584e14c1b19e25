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

CVxString WrapLutInLook(const CVxString& lutFileName) {
    CVxString text;
    text += "<?xml version=\"1.0\" ?>\n";
    text += "<look>\n";
    text += "  <shaders>\n";
    text += "    <base>\n";
    text += "      <visible>\"1\"</visible>\n";
    text += "      <sublayer0>\n";
    text += "        <opacity>\"1\"</opacity>\n";
    text += "        <parameters>\n";
    text += "          <BaseLUT>\"";
    text += lutFileName;
    text += "\"</BaseLUT>\n";
    text += "        </parameters>\n";
    text += "      </sublayer0>\n";
    text += "    </base>\n";
    text += "  </shaders>\n";
    text += "</look>\n";
    return text;
}
