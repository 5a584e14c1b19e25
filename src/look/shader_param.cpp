#include "look/shader_param.h"

#include "foundation/name_table.h"
#include "foundation/xml_values.h"
#include "foundation/xml_writer.h"

#include <cmath>

namespace {

constexpr double kTolerance = 1e-9;

bool IsAid(const CVxString& name) {
    return name.StartsWith("GrayOut") || name.EqualsNoCase("NeutralGray") ||
           name.EqualsNoCase("Picking");
}

char CanonicalComponent(char c) {
    switch (c) {
    case 'R':
    case 'r':
    case 'H':
    case 'h':
    case 'x':
        return 'X';
    case 'G':
    case 'g':
    case 'L':
    case 'l':
    case 'y':
        return 'Y';
    case 'B':
    case 'b':
    case 'S':
    case 's':
    case 'z':
        return 'Z';
    case 'A':
    case 'a':
    case 'w':
        return 'W';
    default:
        return c;
    }
}

} // namespace

bool NamesLutFile(const CVxString& name) {
    return name.EqualsNoCase("BaseLUT") || name.EqualsNoCase("MatrixLUT");
}

void NormaliseParamName(CVxString& name) {
    uint32_t length = name.Length();
    if (length < 3 || name[length - 2] != '.')
        return;
    char last = name[length - 1];
    char canonical = CanonicalComponent(last);
    if (canonical == last)
        return;
    name.RemoveBack(1);
    name.Append(canonical);
}

// --- CVxShaderParam ---

void CVxShaderParam::SetNumber(double value) {
    Value.Empty();
    IsDouble = true;
    dValue = value;
}

void CVxShaderParam::SetText(const CVxString& text) {
    Value = text;
    IsDouble = false;
}

void CVxShaderParam::SetDefault(const CVxString& text) {
    Default = text;
    double number = 0;
    IsDefaultDouble = ParseXMLDouble(text.c_str(), number);
    dDefault = IsDefaultDouble ? number : 0;
}

CVxString CVxShaderParam::GetText() const {
    return IsDouble ? FormatXMLDecimal(dValue, 5) : Value;
}

double CVxShaderParam::GetDouble(double defaultValue) const {
    if (IsDouble)
        return dValue;
    double number = defaultValue;
    ParseXMLDouble(Value.c_str(), number);
    return number;
}

uint32_t CVxShaderParam::GetUInt32(uint32_t defaultValue) const {
    uint32_t number = defaultValue;
    ParseXMLUInt32(GetText().c_str(), number);
    return number;
}

int32_t CVxShaderParam::GetInt32(int32_t defaultValue) const {
    int32_t number = defaultValue;
    ParseXMLInt32(GetText().c_str(), number);
    return number;
}

uint8_t CVxShaderParam::GetByte(uint8_t defaultValue) const {
    uint32_t number = defaultValue;
    ParseXMLUInt32(GetText().c_str(), number, 0, 255);
    return static_cast<uint8_t>(number);
}

int64_t CVxShaderParam::GetInt64(int64_t defaultValue) const {
    int64_t number = defaultValue;
    ParseXMLInt64(GetText().c_str(), number);
    return number;
}

bool CVxShaderParam::GetBool(bool defaultValue) const {
    bool flag = defaultValue;
    ParseXMLBool(GetText().c_str(), flag);
    return flag;
}

CVxString CVxShaderParam::FileText() const {
    if (!IsMarker())
        return GetText();
    CVxString text("N");
    text.Append(GetText());
    return text;
}

bool CVxShaderParam::EqualsDefault() const {
    if (IsDouble && IsDefaultDouble)
        return std::fabs(dValue - dDefault) <= kTolerance;
    return GetText().Compare(Default, CVxString::eCaseInsensitive) == 0;
}

CVxString CVxShaderParam::Dump() const {
    CVxString text;
    AppendXMLFormat(text,
                    "Name=\"%s\" Value=\"%s\" IsDouble=%d dValue=%g | Default=\"%s\" "
                    "IsDefaultDouble=%d dDefault=%g",
                    Name.c_str(), Value.c_str(), IsDouble ? 1 : 0, dValue, Default.c_str(),
                    IsDefaultDouble ? 1 : 0, dDefault);
    return text;
}

// --- CVxShaderParamStorage ---

CVxShaderParamStorage::CVxShaderParamStorage() : m_data(std::make_shared<Payload>()) {}

void CVxShaderParamStorage::Release() {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

CVxShaderParamStorage* CVxShaderParamStorage::CloneLayer() const {
    CVxShaderParamStorage* copy = new CVxShaderParamStorage();
    copy->m_data = m_data;
    return copy;
}

void CVxShaderParamStorage::MakeUnique() {
    if (m_data.use_count() > 1)
        m_data = std::make_shared<Payload>(*m_data);
}

void CVxShaderParamStorage::SetName(const CVxString& name) {
    MakeUnique();
    m_data->name = name;
}

void CVxShaderParamStorage::SetVisible(bool visible) {
    MakeUnique();
    m_data->visible = visible;
}

void CVxShaderParamStorage::SetEnabled(bool enabled) {
    MakeUnique();
    m_data->enabled = enabled;
}

void CVxShaderParamStorage::SetOpacity(float opacity) {
    MakeUnique();
    m_data->opacity = opacity;
}

void CVxShaderParamStorage::SetMask(uint32_t mask) {
    MakeUnique();
    m_data->mask = mask;
}

void CVxShaderParamStorage::SetVectorMask(uint32_t vectorMask) {
    MakeUnique();
    m_data->vectorMask = vectorMask;
}

int CVxShaderParamStorage::IndexOf(const CVxString& normalisedName, uint32_t hash) const {
    return IndexByHash(m_data->params, normalisedName, hash,
                       [](const Entry& entry) -> const CVxString& { return entry.param.Name; });
}

CVxShaderParam& CVxShaderParamStorage::Insert(const CVxString& normalisedName, uint32_t hash) {
    std::vector<Entry>& params = m_data->params;
    Entry entry;
    entry.param.Name = normalisedName;
    entry.hash = hash;
    const size_t position = PositionAfterHash(params, hash);
    return params.insert(params.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry))
        ->param;
}

CVxShaderParam& CVxShaderParamStorage::FindOrInsert(const CVxString& name) {
    CVxString normalised(name);
    NormaliseParamName(normalised);
    uint32_t hash = NameHash(normalised);
    MakeUnique();
    int index = IndexOf(normalised, hash);
    if (index >= 0)
        return m_data->params[static_cast<size_t>(index)].param;
    return Insert(normalised, hash);
}

CVxShaderParam* CVxShaderParamStorage::SetNumber(const CVxString& name, double value,
                                                 const char* defaultText) {
    CVxShaderParam& param = FindOrInsert(name);
    param.SetNumber(value);
    if (defaultText)
        param.SetDefault(CVxString(defaultText));
    return &param;
}

CVxShaderParam* CVxShaderParamStorage::SetText(const CVxString& name, const CVxString& text,
                                               const char* defaultText) {
    CVxShaderParam& param = FindOrInsert(name);
    param.SetText(text);
    if (defaultText)
        param.SetDefault(CVxString(defaultText));
    return &param;
}

void CVxShaderParamStorage::SetParam(const CVxString& name, const CVxShaderParam* param) {
    CVxString normalised(name);
    NormaliseParamName(normalised);
    uint32_t hash = NameHash(normalised);
    MakeUnique();
    int index = IndexOf(normalised, hash);
    if (!param) {
        if (index >= 0)
            m_data->params.erase(m_data->params.begin() + index);
        return;
    }
    CVxShaderParam& target =
        index >= 0 ? m_data->params[static_cast<size_t>(index)].param : Insert(normalised, hash);
    target = *param;
    target.Name = normalised;
}

CVxShaderParam* CVxShaderParamStorage::Find(const CVxString& name) {
    CVxString normalised(name);
    NormaliseParamName(normalised);
    int index = IndexOf(normalised, NameHash(normalised));
    if (index < 0)
        return nullptr;
    MakeUnique();
    return &m_data->params[static_cast<size_t>(index)].param;
}

const CVxShaderParam* CVxShaderParamStorage::Find(const CVxString& name) const {
    CVxString normalised(name);
    NormaliseParamName(normalised);
    int index = IndexOf(normalised, NameHash(normalised));
    return index < 0 ? nullptr : &m_data->params[static_cast<size_t>(index)].param;
}

CVxShaderParam* CVxShaderParamStorage::GetParam(uint32_t index) {
    if (index >= ParamCount())
        return nullptr;
    MakeUnique();
    return &m_data->params[index].param;
}

const CVxShaderParam* CVxShaderParamStorage::GetParam(uint32_t index) const {
    return index < ParamCount() ? &m_data->params[index].param : nullptr;
}

CVxShaderParam* CVxShaderParamStorage::FindOrCreate(const CVxString& name,
                                                    const CVxShaderParamStorage* templateLayer) {
    if (CVxShaderParam* existing = Find(name))
        return existing;
    const CVxShaderParam* source = templateLayer ? templateLayer->Find(name) : nullptr;
    if (!source)
        return nullptr;
    CVxShaderParam copy = *source;
    SetParam(name, &copy);
    return Find(name);
}

double CVxShaderParamStorage::Number(const char* name, double fallback) const {
    const CVxShaderParam* param = Find(name);
    return param ? param->GetDouble(fallback) : fallback;
}

bool CVxShaderParamStorage::IsAtDefaults(bool ignoreAids) const {
    if (!Name().EqualsNoCase(kBaseShaderName))
        return false;
    for (const Entry& entry : m_data->params) {
        const CVxShaderParam& param = entry.param;
        if (param.Name.StartsWith("Secondary"))
            continue;
        if (ignoreAids && IsAid(param.Name))
            continue;
        if (param.Default.IsEmpty() && !param.Name.EndsWith("LUT"))
            return false;
        if (param.IsMarker())
            continue;
        bool holdsDefault =
            param.IsDouble ? std::fabs(param.dValue - param.dDefault) <= kTolerance
                           : param.Value.Compare(param.Default, CVxString::eCaseInsensitive) == 0;
        if (!holdsDefault)
            return false;
    }
    return true;
}

bool CVxShaderParamStorage::HasNoEffect(bool ignoreAids) const {
    if (!Visible() || !Enabled() || Name().IsEmpty() || Name().EqualsNoCase("noop"))
        return true;
    return IsAtDefaults(ignoreAids);
}
