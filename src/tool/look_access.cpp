#include "tool/look_access.h"

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
