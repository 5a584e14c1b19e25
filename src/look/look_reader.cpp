#include "look/look_reader.h"

#include "foundation/xml_reader.h"
#include "look/look_elements.h"

#include <string_view>

namespace {

void ReadLutElement(CVxXMLReader& reader, uint32_t& sizeOut) {
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth))
        if (reader.TagIs("size"))
            ParseXMLUInt32(reader.Value().c_str(), sizeOut);
}

bool ReadShadersElement(CVxXMLReader& reader, CVxGradingParamStorage& grading,
                        CVxString& errorOut) {
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        if (reader.TagIs("base")) {
            if (!ReadBaseElement(reader, grading, &errorOut))
                return false;
        } else if (reader.TagIs("grading1d") || reader.TagIs("1dgrading")) {
            bool flag = grading.IsOneDimensional();
            if (ParseXMLBool(reader.Value().c_str(), flag))
                grading.SetOneDimensional(flag);
        } else if (reader.TagIs("shader")) {
            LayerHolder layer(new CVxShaderParamStorage());
            ReadShaderBody(reader, *layer);
            if (!layer->Name().IsEmpty() &&
                grading.AddLayer(layer.get()) != CVxGradingParamStorage::kNone)
                layer.release();
        }
    }
    return true;
}

bool ReadRootChildren(CVxXMLReader& reader, CVxGradingParamStorage& grading,
                      std::unique_ptr<CVxShapeMask>& maskOut, uint32_t& sizeOut,
                      CVxString& errorOut) {
    bool isEnd = false;
    reader.Next(isEnd);
    if (reader.AtEnd() || isEnd) {
        errorOut = "Empty look document";
        return false;
    }
    const uint32_t rootDepth = reader.Depth();
    reader.Next(isEnd);
    if (reader.AtEnd() || isEnd) {
        errorOut = "Empty look document";
        return false;
    }
    do {
        if (reader.TagIs("LUT")) {
            ReadLutElement(reader, sizeOut);
        } else if (reader.TagIs("mask")) {
            maskOut.reset(CVxShapeMask::ReadElement(reader));
        } else if (reader.TagIs("shaders")) {
            if (!ReadShadersElement(reader, grading, errorOut))
                return false;
        }
    } while (reader.NextChild(rootDepth));
    return true;
}

} // namespace

bool ReadLookTextWithError(CVxGradingParamStorage& grading, const CVxString& text,
                           std::unique_ptr<CVxShapeMask>& maskOut, uint32_t& sizeOut,
                           CVxString& errorOut) {
    maskOut.reset();
    CVxXMLReader reader{XmlTextView(text)};
    bool ok = false;
    try {
        ok = ReadRootChildren(reader, grading, maskOut, sizeOut, errorOut);
    } catch (const CVxXMLParseError& error) {
        errorOut = error.FullText();
        ok = false;
    }
    if (!ok)
        maskOut.reset();
    return ok;
}

bool ReadLookText(CVxGradingParamStorage& grading, const CVxString& text,
                  std::unique_ptr<CVxShapeMask>& maskOut, uint32_t& sizeOut) {
    CVxString error;
    return ReadLookTextWithError(grading, text, maskOut, sizeOut, error);
}

namespace {

// The first byte after blanks and a byte-order mark opens a tag: the file is
// meant to be a document, and what is wrong with it is worth saying.
bool BeginsAsMarkup(const CVxString& text) {
    std::string_view rest = text.View();
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    const size_t first = rest.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && rest[first] == '<';
}

} // namespace

std::string WhyNotALook(const CVxString& text) {
    if (text.IsEmpty())
        return "empty file";
    if (!BeginsAsMarkup(text))
        return "not a look or LUT file";
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask;
    uint32_t size = 0;
    CVxString error;
    if (ReadLookTextWithError(grading, text, mask, size, error) || error.IsEmpty())
        return "not a valid look";
    error.Replace("\n", ", ");
    return std::string("not a valid look: ") + error.c_str();
}
