#pragma once

#include "foundation/vx_string.h"
#include "render/shader_lookups.h"
#include "script/shader_script.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct DefinitionElement;

// A parameter of a shader with its default components.
struct ShaderExtern {
    CVxString name;          // without a component suffix
    uint32_t firstComponent; // a suffix in the declaration sets that component only
    uint32_t componentCount; // how many defaults were given, from firstComponent on
    double defaults[4];
    bool noop;
};

// A LUT file named by the layer's parameter of the same name, loaded into a texture unit.
struct ShaderTextureList {
    CVxString name;
    uint32_t unit;
    bool isExtern;
    CVxString defaultValue;
};

enum class ETextureType : uint8_t { e3D, e2D, eRect };

struct ShaderTexture {
    CVxString name;
    uint32_t unit;
    ETextureType type;
    bool repeat[3]; // x, y, z; clamp otherwise
    bool interpolate;
    CVxString defaultValue;
};

// A numeric parameter of a layer, handed to the definition's script.
struct ShaderParameterValue {
    CVxString name;
    double value;
};

// One shader definition read from its markup text, with its own script object
// and lookup tables: what a layer needs before its pixels are evaluated.
//
// Use: Parse (declares every extern at its default and loads the script),
// then SetParameter for each numeric layer parameter, RunScript, UpdateLookups;
// Bind does the last three in that order.
class ShaderDefinition {
public:
    ShaderDefinition() = default;
    ShaderDefinition(const ShaderDefinition&) = delete;
    ShaderDefinition& operator=(const ShaderDefinition&) = delete;

    // False when the text holds no `shader` element or its script does not
    // compile; everything read up to then stays filled in.
    bool Parse(const CVxString& text);

    // Hands a layer parameter to the script when the definition declares it and
    // it is not a texture; other names are ignored (false).
    bool SetParameter(const CVxString& name, double value);
    // True when there is no script or it ran; a failed run keeps what it computed.
    bool RunScript();
    // Recomputes the lookup tables whose variables changed.
    void UpdateLookups();
    // SetParameter for each value, then RunScript and UpdateLookups.
    bool Bind(const std::vector<ShaderParameterValue>& parameters);

    const CVxString& Name() const { return m_name; }
    const CVxString& SecondPass() const { return m_secondPass; }
    bool BypassLUT() const { return m_bypassLUT; }
    bool NoopWhenDefault() const { return m_noopWhenDefault; }
    const std::vector<ShaderExtern>& Externs() const { return m_externs; }
    const ShaderExtern* FindExtern(const CVxString& name) const;
    const std::vector<ShaderTextureList>& TextureLists() const { return m_textureLists; }
    const std::vector<ShaderTexture>& Textures() const { return m_textures; }
    const std::vector<ShaderLookupTable>& LookupTables() const { return m_tables; }
    const ShaderLookupTable* FindLookupTable(const CVxString& name) const;
    bool HasScript() const { return m_hasScript; }
    const CVxString& ScriptText() const { return m_scriptText; }
    ShaderScript& Script() { return m_script; }
    const ShaderScript& Script() const { return m_script; }
    // Why Parse or RunScript failed.
    const CVxString& Message() const { return m_message; }

private:
    void ReadShader(const DefinitionElement& attributes);
    void ReadExtern(const DefinitionElement& attributes);
    void ReadTextureList(const DefinitionElement& attributes);
    void ReadTexture(const DefinitionElement& attributes);
    void ReadLut(const DefinitionElement& attributes);
    void ReadLookup(const DefinitionElement& attributes);
    bool ReadPanelElement(const std::string& element, const DefinitionElement& attributes);
    // Declares `name` (or the one component its suffix names) with up to
    // `maxValues` defaults; reserved mask names are skipped.
    void AddExtern(const CVxString& name, const CVxString& defaults, bool noop,
                   uint32_t maxValues = 4);
    void DeclareExterns();

    CVxString m_name;
    CVxString m_secondPass;
    bool m_bypassLUT = false;
    bool m_noopWhenDefault = false;
    std::vector<ShaderExtern> m_externs;
    std::unordered_map<std::string, uint32_t> m_externByKey;
    std::vector<ShaderTextureList> m_textureLists;
    std::vector<ShaderTexture> m_textures;
    std::vector<ShaderLookupTable> m_tables;
    std::vector<ShaderLookup> m_pendingLookups;
    bool m_hasScript = false;
    CVxString m_scriptText;
    ShaderScript m_script;
    CVxString m_message;
};
