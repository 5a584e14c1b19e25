#include "render/shader_definition.h"

#include "foundation/number_text.h"
#include "platform/ascii.h"
#include "render/definition_markup.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace {

CVxString ToVx(std::string_view text) {
    return CVxString(text.data(), static_cast<uint32_t>(text.size()));
}

// Defaults are read leniently: an item without a number counts as 0, a comma at
// the end starts no item, and items past the number the element takes are ignored.
NumberListPolicy DefaultsList(uint32_t maxItems) {
    return {.syntax = ENumberSyntax::eLeadingNumber,
            .blanks = CVxString::kBlanks,
            .emptyPieces = EEmptyPieces::eLastIsNoItem,
            .maxItems = maxItems,
            .ignoreItemsPastMax = true,
            .badItemIsZero = true};
}

bool ParseFlag(std::string_view text) {
    std::string key = ascii::UpperCopy(CVxString::Trim(text));
    return key == "1" || key == "TRUE" || key == "ON" || key == "YES";
}

uint32_t ParseUnit(std::string_view text) {
    text = CVxString::Trim(text);
    uint32_t value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
        return 0;
    return value;
}

// Masks reach a layer under these extern names; they are no script parameters.
bool IsReservedExternName(const CVxString& name) {
    return name.EqualsNoCase("__alphamask") || name.EqualsNoCase("__vectormask");
}

// Splits "name.c" into the name and the component; no suffix means component 0.
std::string_view SplitComponent(std::string_view name, uint32_t& component) {
    component = 0;
    size_t length = name.size();
    if (length >= 3 && name[length - 2] == '.' && script::ComponentOf(name[length - 1]) >= 0) {
        component = static_cast<uint32_t>(script::ComponentOf(name[length - 1]));
        return name.substr(0, length - 2);
    }
    return name;
}

} // namespace

bool ShaderDefinition::Parse(const CVxString& text) {
    m_message.Empty();
    DefinitionMarkup markup(text.c_str(), text.Length());
    DefinitionElement element;
    bool sawShader = false;
    while (markup.Next(element)) {
        std::string name = ascii::UpperCopy(element.name);
        if (name == "SHADER") {
            sawShader = true;
            ReadShader(element);
        } else if (name == "EXTERN") {
            ReadExtern(element);
        } else if (name == "TEXTURELIST") {
            ReadTextureList(element);
        } else if (name == "TEXTURE") {
            ReadTexture(element);
        } else if (name == "LUT") {
            ReadLut(element);
        } else if (name == "LOOKUP") {
            ReadLookup(element);
        } else if (name == "VEXLANSCRIPT") {
            m_hasScript = true;
            m_scriptText = ToVx(markup.TakeContentUntilEndTag(element.name));
        } else {
            ReadPanelElement(name, element);
        }
    }

    // Lookups find their table once every `lut` is known.
    for (const ShaderLookup& lookup : m_pendingLookups)
        for (ShaderLookupTable& table : m_tables)
            if (table.Name().EqualsNoCase(lookup.lutName.c_str())) {
                table.AddLookup(lookup);
                break;
            }
    m_pendingLookups.clear();

    DeclareExterns();
    if (!sawShader) {
        m_message = "No shader element in the definition.";
        return false;
    }
    if (m_hasScript && !m_script.Load(m_scriptText)) {
        m_message = m_script.Message();
        return false;
    }
    return true;
}

void ShaderDefinition::ReadShader(const DefinitionElement& attributes) {
    m_name = ToVx(CVxString::Trim(attributes.Get("name")));
    m_secondPass = ToVx(CVxString::Trim(attributes.Get("secondpass")));
    m_bypassLUT = ParseFlag(attributes.Get("bypassLUT", "0"));
    m_noopWhenDefault = ParseFlag(attributes.Get("noopwhendefault", "0"));
}

void ShaderDefinition::ReadExtern(const DefinitionElement& attributes) {
    AddExtern(ToVx(CVxString::Trim(attributes.Get("name"))), ToVx(attributes.Get("default", "1.0")),
              ParseFlag(attributes.Get("noop", "0")));
}

void ShaderDefinition::AddExtern(const CVxString& fullName, const CVxString& defaults, bool noop,
                                 uint32_t maxValues) {
    if (fullName.IsEmpty())
        return;
    ShaderExtern entry{};
    std::string_view full = fullName.View();
    std::string_view base = SplitComponent(full, entry.firstComponent);
    entry.name = ToVx(base);
    if (IsReservedExternName(entry.name))
        return;
    entry.noop = noop;
    // A name with a component suffix declares that component alone.
    if (base.size() != full.size())
        maxValues = 1;
    double values[4] = {0, 0, 0, 0};
    uint32_t count = 0;
    ParseNumberList(defaults.View(), DefaultsList(maxValues), values, count);
    if (count == 0)
        count = 1;
    entry.componentCount = std::min(count, 4 - entry.firstComponent);
    for (uint32_t i = 0; i < entry.componentCount; ++i)
        entry.defaults[entry.firstComponent + i] = values[i];
    m_externByKey.emplace(ascii::UpperCopy(base), static_cast<uint32_t>(m_externs.size()));
    m_externs.push_back(entry);
}

void ShaderDefinition::ReadTextureList(const DefinitionElement& attributes) {
    ShaderTextureList entry;
    entry.name = ToVx(CVxString::Trim(attributes.Get("name")));
    entry.unit = ParseUnit(attributes.Get("unit", "0"));
    entry.isExtern = ParseFlag(attributes.Get("extern", "0"));
    entry.defaultValue = ToVx(attributes.Get("default"));
    m_textureLists.push_back(entry);
}

void ShaderDefinition::ReadTexture(const DefinitionElement& attributes) {
    ShaderTexture entry;
    entry.name = ToVx(CVxString::Trim(attributes.Get("name")));
    entry.unit = ParseUnit(attributes.Get("unit", "0"));
    std::string type = ascii::UpperCopy(CVxString::Trim(attributes.Get("type", "3d")));
    entry.type = type == "2D"     ? ETextureType::e2D
                 : type == "RECT" ? ETextureType::eRect
                                  : ETextureType::e3D;
    // "wrap" sets all three directions; "wrapx", "wrapy", "wrapz" one each.
    std::string all = ascii::UpperCopy(CVxString::Trim(attributes.Get("wrap", "clamp")));
    const char* axes[3] = {"wrapx", "wrapy", "wrapz"};
    for (int i = 0; i < 3; ++i) {
        std::string mode = attributes.Has(axes[i])
                               ? ascii::UpperCopy(CVxString::Trim(attributes.Get(axes[i])))
                               : all;
        entry.repeat[i] = mode != "CLAMP";
    }
    entry.interpolate = ParseFlag(attributes.Get("interpolate", "1"));
    entry.defaultValue = ToVx(attributes.Get("default"));
    m_textures.push_back(entry);
}

void ShaderDefinition::ReadLut(const DefinitionElement& attributes) {
    m_tables.emplace_back(ToVx(CVxString::Trim(attributes.Get("name"))),
                          ParseUnit(attributes.Get("unit", "0")));
}

void ShaderDefinition::ReadLookup(const DefinitionElement& attributes) {
    ShaderLookup lookup;
    lookup.lutName = ToVx(CVxString::Trim(attributes.Get("lut")));
    lookup.function = LookupFunctionFromName(ToVx(CVxString::Trim(attributes.Get("function"))));
    if (lookup.function == ELookupFunction::eNone ||
        !ParseLookupSwizzle(ToVx(attributes.Get("swizzle")), lookup))
        return;
    std::string_view variables = attributes.Get("variables");
    while (!variables.empty()) {
        size_t comma = variables.find(',');
        std::string_view item = CVxString::Trim(variables.substr(0, comma));
        uint32_t component = 0;
        SplitComponent(item, component);
        lookup.variables.push_back(ToVx(item));
        lookup.components.push_back(static_cast<uint8_t>(component));
        if (comma == std::string_view::npos)
            break;
        variables.remove_prefix(comma + 1);
    }
    m_pendingLookups.push_back(lookup);
}

// Panel elements declare parameters too; only their names and defaults matter here.
bool ShaderDefinition::ReadPanelElement(const std::string& element,
                                        const DefinitionElement& attributes) {
    static const char* const kScalarPanels[] = {"CHECKBOX", "BUTTON",  "GANG",     "DROPDOWN",
                                                "SLIDER",   "HWVALUE", "HWSLIDER", "EDITBOX"};
    static const char* const kColourPanels[] = {"COLORWHEEL", "COLORPICKER", "HWCOLOR",
                                                "COLORSELECTOR", "PRINTERLIGHTS"};
    auto add = [&](const char* nameAttribute, const char* defaultAttribute, const char* fallback,
                   uint32_t values) {
        AddExtern(ToVx(CVxString::Trim(attributes.Get(nameAttribute))),
                  ToVx(attributes.Get(defaultAttribute, fallback)), false, values);
    };
    for (const char* panel : kScalarPanels)
        if (element == panel) {
            add("name", "default", "1.0", 1);
            return true;
        }
    for (const char* panel : kColourPanels)
        if (element == panel) {
            add("name", "default", "1.0, 1.0, 1.0", 3);
            return true;
        }
    if (element == "RANGEWHEEL" || element == "RANGECONTROL") {
        add("name", "default", "180.0, 0.5, 0.5", 3);
        add("enable", "defaultenable", "1.0, 1.0, 1.0", 3);
        add("range", "defaultrange", "0.0, 0.0, 0.0", 3);
        add("tolerance", "defaulttolerance", "0.0, 0.0, 0.0", 3);
        add("invert", "defaultinvert", "0.0, 0.0, 0.0", 3);
        return true;
    }
    // A list of names: the i-th name takes the i-th default.
    bool isVector = element == "HWVECTOR";
    if (isVector || element == "TABBAR") {
        std::string_view names = attributes.Get(isVector ? "name" : "variables");
        double values[4] = {0, 0, 0, 0};
        uint32_t count = 0;
        if (isVector)
            ParseNumberList(attributes.Get("default", "1.0, 1.0, 1.0"), DefaultsList(4), values,
                            count);
        for (uint32_t i = 0; !names.empty(); ++i) {
            size_t comma = names.find(',');
            CVxString value;
            value.Format("%.17g", i < count ? values[i] : 0.0);
            AddExtern(ToVx(CVxString::Trim(names.substr(0, comma))), value, false, 1);
            if (comma == std::string_view::npos)
                break;
            names.remove_prefix(comma + 1);
        }
        return true;
    }
    return false;
}

void ShaderDefinition::DeclareExterns() {
    static const char* const kSuffixes[4] = {".x", ".y", ".z", ".w"};
    for (const ShaderExtern& entry : m_externs)
        for (uint32_t i = 0; i < entry.componentCount; ++i) {
            uint32_t component = entry.firstComponent + i;
            m_script.DeclareExtern(entry.name + kSuffixes[component], entry.defaults[component]);
        }
}

const ShaderExtern* ShaderDefinition::FindExtern(const CVxString& name) const {
    uint32_t component = 0;
    std::string_view base = SplitComponent(name.View(), component);
    auto found = m_externByKey.find(ascii::UpperCopy(base));
    return found == m_externByKey.end() ? nullptr : &m_externs[found->second];
}

const ShaderLookupTable* ShaderDefinition::FindLookupTable(const CVxString& name) const {
    for (const ShaderLookupTable& table : m_tables)
        if (table.Name().EqualsNoCase(name.c_str()))
            return &table;
    return nullptr;
}

bool ShaderDefinition::SetParameter(const CVxString& name, double value) {
    if (!FindExtern(name))
        return false;
    uint32_t component = 0;
    std::string_view base = SplitComponent(name.View(), component);
    for (const ShaderTextureList& list : m_textureLists)
        if (list.name.EqualsNoCase(ToVx(base).c_str()))
            return false;
    for (const ShaderTexture& texture : m_textures)
        if (texture.name.EqualsNoCase(ToVx(base).c_str()))
            return false;
    return m_script.Set(name, value);
}

bool ShaderDefinition::RunScript() {
    if (!m_hasScript || !m_script.IsLoaded())
        return true;
    if (m_script.Run())
        return true;
    m_message = m_script.Message();
    return false;
}

void ShaderDefinition::UpdateLookups() {
    for (ShaderLookupTable& table : m_tables)
        table.Update(m_script);
}

bool ShaderDefinition::Bind(const std::vector<ShaderParameterValue>& parameters) {
    for (const ShaderParameterValue& parameter : parameters)
        SetParameter(parameter.name, parameter.value);
    bool ran = RunScript();
    UpdateLookups();
    return ran;
}
