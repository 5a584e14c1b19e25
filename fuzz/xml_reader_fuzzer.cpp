// Reads the bytes as a document of the framework's XML dialect token by token
// and parses every value with each value reader and number-list policy.
#include "fuzz_support.h"

#include "foundation/number_text.h"
#include "foundation/xml_reader.h"
#include "foundation/xml_values.h"

namespace {

void ParseValue(const char* value) {
    uint32_t u32 = 0;
    int32_t i32 = 0;
    int64_t i64 = 0;
    double d = 0;
    float f = 0;
    bool b = false;
    double list[4] = {0, 0, 0, 0};
    uint32_t count = 0;
    float colour[4] = {0, 0, 0, 0};
    ParseXMLUInt32(value, u32);
    ParseXMLUInt32(value, u32, 1, 256);
    ParseXMLInt32(value, i32);
    ParseXMLInt64(value, i64);
    ParseXMLDouble(value, d);
    ParseXMLDouble(value, d, 0.0, 1.0);
    ParseXMLFloat(value, f);
    ParseXMLBool(value, b);
    for (ENumberSyntax syntax :
         {ENumberSyntax::eDecimal, ENumberSyntax::eCNumber, ENumberSyntax::eLeadingNumber})
        for (EEmptyPieces empty :
             {EEmptyPieces::eAreItems, EEmptyPieces::eSkipped, EEmptyPieces::eLastIsNoItem}) {
            const bool lenient = empty == EEmptyPieces::eLastIsNoItem;
            ParseNumberList(value,
                            {.syntax = syntax,
                             .emptyPieces = empty,
                             .maxItems = lenient ? 3u : 4u,
                             .ignoreItemsPastMax = lenient,
                             .badItemIsZero = lenient},
                            list, count);
        }
    ParseXMLColor(value, colour);
}

void ReadTokens(CVxXMLReader& reader) {
    bool isEnd = false;
    while (true) {
        reader.Next(isEnd);
        if (reader.AtEnd())
            return;
        reader.TagHash();
        reader.Tag();
        reader.TagIs("look");
        reader.TagStartsWith("lay");
        if (isEnd)
            continue;
        reader.Value().Copy();
        ParseValue(reader.Value().c_str());
    }
}

// The element walk the document readers use: children by depth; "skip"
// elements, and everything below the nesting this walk follows, are skipped.
void ReadChildren(CVxXMLReader& reader, int levelsLeft) {
    const uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        if (reader.TagIs("skip")) {
            reader.SkipElement();
            continue;
        }
        ParseValue(reader.Value().c_str());
        if (levelsLeft > 0)
            ReadChildren(reader, levelsLeft - 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CVxString text = fuzz::TextOf(data, size);
    CVxXMLReader tokens{XmlTextView(text)};
    try {
        ReadTokens(tokens);
    } catch (const CVxXMLParseError& error) {
        error.FullText();
    }
    CVxXMLReader children{XmlTextView(reinterpret_cast<const char*>(data), size)};
    try {
        ReadChildren(children, 32);
    } catch (const CVxXMLParseError& error) {
        error.FullText();
    }
    return 0;
}
