#include "foundation/xml_reader.h"
#include "foundation/xml_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TextObject : public IVxXMLObject {
public:
    explicit TextObject(const CVxString& text) : m_text(text) {}
    void WriteXML(CVxString& out, uint32_t) const override { out.Append(m_text); }
    IVxXMLObject* Clone() const override { return new TextObject(m_text); }
    void Release() override { delete this; }

private:
    CVxString m_text;
};

// Reads the first child value of the element it is given.
class FirstValueFactory : public IVxXMLObjectFactory {
public:
    IVxXMLObject* CreateFromXML(CVxXMLReader& reader) override {
        uint32_t depth = reader.Depth();
        if (!reader.NextChild(depth))
            return nullptr;
        return new TextObject(reader.CurrentValue());
    }
};

class RecordingSink : public IVxXMLTreeSink {
public:
    std::string seen;
    FirstValueFactory factory;

    void OnValue(const CVxString& key, const CVxString& value) override {
        seen += std::string(key.c_str()) + "=" + value.c_str() + ";";
    }
    IVxXMLObjectFactory* FactoryFor(const CVxString& fullKey) override {
        return fullKey.EqualsNoCase("values.Preset") ? &factory : nullptr;
    }
    void OnObject(const CVxString& fullKey, IVxXMLObject* object) override {
        CVxString text;
        object->WriteXML(text, 0);
        seen += std::string(fullKey.c_str()) + "{" + text.c_str() + "};";
        object->Release();
    }
};

TEST(XmlTree, ReadsDottedKeysBelowThePrefix) {
    struct Case {
        std::string text;
        bool ok;
        std::string seen;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" ?>\n\n<values>\n  <ColorTransforms>\n    <LUTPath1>\"D:\\luts\""
         "</LUTPath1>\n  </ColorTransforms>\n  <A_b-2>\"x\"</a_B-2>\n</values>\n<other>\"1\""
         "</other>",
         true, "ColorTransforms.LUTPath1=D:\\luts;A_b-2=x;"},
        {"<values><Preset><a.b>\"7\"</a.b><c>\"8\"</c></Preset><z>\"9\"</z></values>", true,
         "values.Preset{7};z=9;"},
        {"<values><a>1</a></values>", false, ""},
        {"<values><a.b>\"1\"</a.b></values>", false, ""},
        {"<values><1a>\"1\"</1a></values>", false, ""},
        {"<values><a>\"1\"</b></values>", false, "a=1;"},
        {"<values><a>\"1</a></values>", false, ""},
        {"<values><a>", false, ""},
        {"<values>\"1\"</values>", true, ""},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        EXPECT_EQ(ReadXMLTree(c.text.data(), c.text.size(), CVxString("values"), sink), c.ok)
            << c.text;
        EXPECT_EQ(sink.seen, c.seen) << c.text;
    }
}

TEST(XmlTree, WritesNestedElements) {
    std::vector<std::pair<CVxString, CVxString>> values = {
        {CVxString("values.b.y"), CVxString("2")},
        {CVxString("values.a"), CVxString("")},
        {CVxString("values.b.x"), CVxString("1")},
        {CVxString("values.9"), CVxString("n")}};
    CVxString sorted;
    WriteXMLTree(sorted, values, 0, true, true);
    EXPECT_STREQ(sorted.c_str(), "<values>\n"
                                 "  <a>\"\"</a>\n"
                                 "  <b>\n"
                                 "    <x>\"1\"</x>\n"
                                 "    <y>\"2\"</y>\n"
                                 "  </b>\n"
                                 "</values>\n");
    CVxString plain;
    WriteXMLTree(plain, values, 2, false, false);
    EXPECT_STREQ(plain.c_str(), "  <values>\n"
                                "    <b>\n"
                                "      <y>\"2\"</y>\n"
                                "      <x>\"1\"</x>\n"
                                "    </b>\n"
                                "  </values>\n");
}

} // namespace
