#pragma once

#include "foundation/vx_string.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CVxGradingParamStorage;

// One named parameter of a shader layer: a number or a text, with a default
// text. A default beginning with 'N' marks a marker parameter, whose value a
// look writes with a leading 'N'.
class CVxShaderParam {
public:
    CVxString Name;
    CVxString Value; // empty while the value is numeric
    bool IsDouble = false;
    double dValue = 0;
    CVxString Default;
    bool IsDefaultDouble = false;
    double dDefault = 0;

    void SetNumber(double value);
    void SetText(const CVxString& text);
    void SetDefault(const CVxString& text);

    // Numbers as text use 5 decimals, tidied (0.5 -> "0.5", 2.0 -> "2").
    CVxString GetText() const;
    double GetDouble(double defaultValue) const;
    uint32_t GetUInt32(uint32_t defaultValue) const;
    int32_t GetInt32(int32_t defaultValue) const;
    uint8_t GetByte(uint8_t defaultValue) const;
    int64_t GetInt64(int64_t defaultValue) const;
    bool GetBool(bool defaultValue) const;

    bool IsMarker() const { return Default.Length() > 0 && Default[0] == 'N'; }
    // The value as a look file writes it: the text, after an 'N' for markers.
    CVxString FileText() const;
    // Equal to its default: numbers within 1e-9 when both are numeric,
    // otherwise the texts compared without regard to case.
    bool EqualsDefault() const;
    // "Name=... Value=... IsDouble=... dValue=... | Default=... IsDefaultDouble=... dDefault=..."
    CVxString Dump() const;
};

// The base grading's parameters that name a LUT file (BaseLUT, MatrixLUT, any
// letter case). Their value is the whole file name: a leading 'N' is part of
// the name, never a marker.
bool NamesLutFile(const CVxString& name);

// Maps the last letter of a component suffix (".r", ".h", ".x" ...) to the
// canonical X, Y, Z or W. Names shorter than 3 characters stay as they are.
void NormaliseParamName(CVxString& name);

// One shader layer: a named shader with its fields and its parameters. The
// parameters are kept sorted by the hash of their upper-case name; equal
// hashes keep their insertion order, so iteration by index is hash order.
// Reference-counted (starts at 1); the payload is shared copy-on-write
// between copies made by CloneLayer.
class CVxShaderParamStorage {
public:
    CVxShaderParamStorage();
    CVxShaderParamStorage(const CVxShaderParamStorage&) = delete;
    CVxShaderParamStorage& operator=(const CVxShaderParamStorage&) = delete;
    virtual ~CVxShaderParamStorage() = default;

    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    void Release();
    // A new layer (count 1, no owner) sharing this one's payload.
    CVxShaderParamStorage* CloneLayer() const;

    const CVxString& Name() const { return m_data->name; }
    void SetName(const CVxString& name);
    bool Visible() const { return m_data->visible; }
    void SetVisible(bool visible);
    bool Enabled() const { return m_data->enabled; }
    void SetEnabled(bool enabled);
    float Opacity() const { return m_data->opacity; }
    void SetOpacity(float opacity);
    uint32_t Mask() const { return m_data->mask; }
    void SetMask(uint32_t mask);
    uint32_t VectorMask() const { return m_data->vectorMask; }
    void SetVectorMask(uint32_t vectorMask);

    CVxGradingParamStorage* Owner() const { return m_owner; }
    void SetOwner(CVxGradingParamStorage* owner) { m_owner = owner; }

    // Setters return the stored parameter. A null defaultText keeps the
    // default of an existing parameter (empty for a new one).
    virtual CVxShaderParam* SetNumber(const CVxString& name, double value,
                                      const char* defaultText = nullptr);
    virtual CVxShaderParam* SetText(const CVxString& name, const CVxString& text,
                                    const char* defaultText = nullptr);
    // Stores a copy of param under its (normalised) name, replacing one of the
    // same name in place; a null param removes the entry.
    void SetParam(const CVxString& name, const CVxShaderParam* param);
    virtual CVxShaderParam* Find(const CVxString& name);
    const CVxShaderParam* Find(const CVxString& name) const;
    CVxShaderParam* Find(const char* name) { return Find(CVxString(name)); }
    const CVxShaderParam* Find(const char* name) const { return Find(CVxString(name)); }
    virtual CVxShaderParam* GetParam(uint32_t index);
    const CVxShaderParam* GetParam(uint32_t index) const;
    // The parameter, or a copy of the template's parameter when the name is
    // missing here; null when neither has it.
    virtual CVxShaderParam* FindOrCreate(const CVxString& name,
                                         const CVxShaderParamStorage* templateLayer);
    uint32_t ParamCount() const { return static_cast<uint32_t>(m_data->params.size()); }

    // Numeric value of a parameter, or the fallback when it is missing or not a number.
    double Number(const char* name, double fallback) const;

    // For VEXLAN.Base.1 layers: every parameter holds its default.
    bool IsAtDefaults(bool ignoreAids) const;
    // Hidden, disabled, unnamed, "noop", or a base layer at its defaults.
    bool HasNoEffect(bool ignoreAids) const;

private:
    struct Entry {
        CVxShaderParam param;
        uint32_t hash;
    };
    struct Payload {
        CVxString name;
        bool visible = true;
        bool enabled = true;
        float opacity = 1.0f;
        uint32_t mask = 0;
        uint32_t vectorMask = 0;
        std::vector<Entry> params;
    };

    void MakeUnique();
    int IndexOf(const CVxString& normalisedName, uint32_t hash) const;
    CVxShaderParam& Insert(const CVxString& normalisedName, uint32_t hash);
    CVxShaderParam& FindOrInsert(const CVxString& name);

    std::shared_ptr<Payload> m_data;
    std::atomic<int32_t> m_refCount{1};
    CVxGradingParamStorage* m_owner = nullptr;
};

// Holds one reference to a layer until it is handed on with release().
struct LayerReleaser {
    void operator()(CVxShaderParamStorage* layer) const {
        if (layer)
            layer->Release();
    }
};
using LayerHolder = std::unique_ptr<CVxShaderParamStorage, LayerReleaser>;

// The name of the base grading's shader.
inline constexpr const char* kBaseShaderName = "VEXLAN.Base.1";
