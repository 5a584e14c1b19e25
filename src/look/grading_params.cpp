#include "look/grading_params.h"

#include "platform/ascii.h"

#include <cmath>

namespace {

constexpr double kTolerance = 1e-9;

std::atomic<uint64_t> g_objectCounter{0};

bool HasLutValue(const CVxShaderParamStorage& layer, const char* name) {
    const CVxShaderParam* param = layer.Find(name);
    if (!param)
        return false;
    CVxString text = param->GetText();
    return !text.IsEmpty() && !(text == "*");
}

// "matrixR.X", "matrixG.Y", "matrixB.Z" are 1 in the identity, every other
// matrix entry 0.
double IdentityMatrixValue(const CVxString& name) {
    uint32_t length = name.Length();
    if (length < 3)
        return 0;
    char row = ascii::Upper(name[length - 3]);
    char column = ascii::Upper(name[length - 1]);
    bool diagonal = (row == 'R' && column == 'X') || (row == 'G' && column == 'Y') ||
                    (row == 'B' && column == 'Z');
    return diagonal ? 1 : 0;
}

bool HasColourMatrix(const CVxShaderParamStorage& layer) {
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam* param = layer.GetParam(i);
        if (!param->Name.StartsWith("matrix"))
            continue;
        double value = param->IsDouble ? param->dValue : 0;
        if (std::fabs(value - IdentityMatrixValue(param->Name)) > kTolerance)
            return true;
    }
    return false;
}

// The name without a component suffix (".X", ".r" ...).
CVxString WithoutComponent(const CVxString& name) {
    CVxString stem(name);
    const uint32_t length = stem.Length();
    if (length >= 2 && stem[length - 2] == '.' && ascii::IsLetter(stem[length - 1]))
        stem.RemoveBack(2);
    return stem;
}

bool IsZoneControl(const CVxString& name) {
    const CVxString stem = WithoutComponent(name);
    return stem.EndsWith("LMH") || stem.EndsWith("Low") || stem.EndsWith("Mid") ||
           stem.EndsWith("High");
}

bool HasZoneControl(const CVxShaderParamStorage& layer) {
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam* param = layer.GetParam(i);
        if (param->IsMarker() || param->EqualsDefault() || param->Name.StartsWith("GrayOut"))
            continue;
        if (IsZoneControl(param->Name))
            return true;
    }
    return false;
}

// A correction of one of the six secondaries (gain1 ... contrast6, and the
// saturations of the groups 1-3 and 4-6), with the value that leaves it
// without effect.
bool IsSecondaryCorrection(const CVxString& name, double& neutral) {
    const CVxString stem = WithoutComponent(name);
    neutral = 1;
    if (stem.EqualsNoCase("Saturation123") || stem.EqualsNoCase("Saturation456"))
        return true;
    neutral = 0;
    const uint32_t length = stem.Length();
    if (length < 2 || stem[length - 1] < '1' || stem[length - 1] > '6')
        return false;
    const CVxString correction = stem.Left(length - 1);
    for (const char* word : {"Gain", "Offset", "Overall", "Temperature", "Magenta", "Contrast"})
        if (correction.EqualsNoCase(word))
            return true;
    return false;
}

// A secondary that corrects something makes the render key colours by hue,
// lightness and saturation, which no curve per channel can do.
bool HasActiveSecondary(const CVxShaderParamStorage& layer) {
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam* param = layer.GetParam(i);
        double neutral = 0;
        if (param->IsMarker() || !IsSecondaryCorrection(param->Name, neutral))
            continue;
        if (param->IsDouble ? std::fabs(param->dValue - neutral) > kTolerance
                            : !param->EqualsDefault())
            return true;
    }
    return false;
}

void UpgradeSecondaries(CVxShaderParamStorage& layer) {
    static const char* const kSuffixes[3] = {".X", ".Y", ".Z"};
    static const char* const kMiddleDefaults[3] = {"N180.0", "N0.5", "N0.5"};
    static const double kToleranceValues[3] = {15, 1, 1};
    for (int k = 1; k <= 6; ++k) {
        CVxString range, middle, tolerance;
        range.Format("RangeHLS%d", k);
        middle.Format("MiddleHLS%d", k);
        tolerance.Format("ToleranceHLS%d", k);
        bool anyRange = false;
        for (const char* suffix : kSuffixes)
            anyRange = anyRange || layer.Find(range + suffix) != nullptr;
        if (!anyRange)
            continue;
        for (int j = 0; j < 3; ++j) {
            CVxString middleName = middle + kSuffixes[j];
            if (!layer.Find(middleName))
                layer.SetNumber(middleName, 0, kMiddleDefaults[j]);
            double r = layer.Number((range + kSuffixes[j]).c_str(), 0);
            CVxString toleranceName = tolerance + kSuffixes[j];
            if (CVxShaderParam* existing = layer.Find(toleranceName)) {
                existing->SetDefault(CVxString("N0.0"));
                if (r < kTolerance)
                    existing->SetNumber(0);
            } else if (r >= kTolerance) {
                layer.SetNumber(toleranceName, kToleranceValues[j], "N0.0");
            }
        }
    }
}

} // namespace

CVxGradingParamStorage::CData::CData(const CData& other)
    : selectedLayer(other.selectedLayer), layers(other.layers), baseIndex(other.baseIndex),
      baseSublayerCount(other.baseSublayerCount), currentSublayer(other.currentSublayer),
      oneDimensional(other.oneDimensional) {
    for (CVxShaderParamStorage* layer : layers)
        layer->AddRef();
}

CVxGradingParamStorage::CData::~CData() {
    for (CVxShaderParamStorage* layer : layers)
        layer->Release();
}

CVxGradingParamStorage::CVxGradingParamStorage()
    : m_data(std::make_shared<CData>()), m_uniqueNumber(++g_objectCounter) {
    m_name = "*grading";
    m_name.Append(CVxString::FromUInt64(m_uniqueNumber));
}

CVxGradingParamStorage::~CVxGradingParamStorage() = default;

void CVxGradingParamStorage::MakeUnique() {
    if (m_data.use_count() > 1)
        m_data = std::make_shared<CData>(*m_data);
}

uint32_t CVxGradingParamStorage::LayerCount() const {
    uint32_t count = ArrayCount() - m_data->baseSublayerCount;
    return HasBase() ? count + 1 : count;
}

uint32_t CVxGradingParamStorage::ArrayPosition(uint32_t logicalIndex) const {
    if (logicalIndex >= LayerCount())
        return kNone;
    if (!HasBase() || logicalIndex < m_data->baseIndex)
        return logicalIndex;
    if (logicalIndex == m_data->baseIndex)
        return m_data->baseIndex + m_data->currentSublayer;
    return logicalIndex + m_data->baseSublayerCount - 1;
}

CVxShaderParamStorage* CVxGradingParamStorage::Layer(uint32_t index) const {
    uint32_t position = ArrayPosition(index);
    return position == kNone ? nullptr : m_data->layers[position];
}

CVxShaderParamStorage* CVxGradingParamStorage::ArrayLayer(uint32_t position) const {
    return position < ArrayCount() ? m_data->layers[position] : nullptr;
}

CVxShaderParamStorage* CVxGradingParamStorage::BaseSublayer(uint32_t k) const {
    if (!HasBase() || k >= m_data->baseSublayerCount)
        return nullptr;
    return m_data->layers[m_data->baseIndex + k];
}

uint32_t CVxGradingParamStorage::AddLayer(CVxShaderParamStorage* shader) {
    if (!shader || ArrayCount() >= kNone - 1)
        return kNone;
    MakeUnique();
    m_data->layers.push_back(shader);
    shader->SetOwner(this);
    return LayerCount() - 1;
}

bool CVxGradingParamStorage::RemoveLayer(uint32_t index) {
    uint32_t position = ArrayPosition(index);
    if (position == kNone)
        return false;
    MakeUnique();
    std::vector<CVxShaderParamStorage*>& layers = m_data->layers;
    if (IsBaseLayer(index)) {
        auto first = layers.begin() + m_data->baseIndex;
        auto last = first + m_data->baseSublayerCount;
        for (auto it = first; it != last; ++it)
            (*it)->Release();
        layers.erase(first, last);
        m_data->baseIndex = kNone;
        m_data->baseSublayerCount = 0;
        m_data->currentSublayer = 0;
        return true;
    }
    layers[position]->Release();
    layers.erase(layers.begin() + position);
    if (m_data->baseIndex != kNone && position < m_data->baseIndex)
        --m_data->baseIndex;
    return true;
}

// A second base moves the mark: the sublayers of the earlier one stay in the
// array as ordinary layers.
void CVxGradingParamStorage::BeginBase() {
    MakeUnique();
    m_data->baseIndex = ArrayCount();
    m_data->baseSublayerCount = 0;
    m_data->currentSublayer = 0;
}

bool CVxGradingParamStorage::AppendBaseSublayer(CVxShaderParamStorage* sublayer) {
    if (m_data->baseIndex == kNone || m_data->baseSublayerCount >= kBaseSublayers ||
        m_data->baseIndex + m_data->baseSublayerCount != ArrayCount())
        return false;
    MakeUnique();
    m_data->layers.push_back(sublayer);
    sublayer->SetOwner(this);
    ++m_data->baseSublayerCount;
    return true;
}

void CVxGradingParamStorage::SetCurrentSublayer(uint32_t k) {
    MakeUnique();
    m_data->currentSublayer = k < m_data->baseSublayerCount ? k : 0;
}

void CVxGradingParamStorage::SetOneDimensional(bool flag) {
    MakeUnique();
    m_data->oneDimensional = flag;
}

void CVxGradingParamStorage::SetSelectedLayer(uint32_t layer) {
    MakeUnique();
    m_data->selectedLayer = layer;
}

bool CVxGradingParamStorage::IsPerChannelOnly(bool ignoreLuts) const {
    if (ArrayCount() > m_data->baseSublayerCount)
        return false;
    const CVxShaderParamStorage* primary = BaseSublayer(0);
    if (!ignoreLuts && primary &&
        (HasLutValue(*primary, "MatrixLUT") || HasLutValue(*primary, "BaseLUT") ||
         HasColourMatrix(*primary)))
        return false;
    if (!primary)
        return true;
    for (uint32_t k = 1; k < kBaseSublayers; ++k) {
        const CVxShaderParamStorage* sublayer = BaseSublayer(k);
        if (sublayer && !sublayer->HasNoEffect(true))
            return false;
    }
    const CVxShaderParam* saturation = primary->Find("Saturation");
    if (saturation && std::fabs(saturation->GetDouble(0) - 1) > kTolerance)
        return false;
    return !HasZoneControl(*primary) && !HasActiveSecondary(*primary);
}

bool CVxGradingParamStorage::IsPerChannelBesideLutFiles(std::vector<CVxString>& lutFiles) const {
    const CVxShaderParamStorage* primary = BaseSublayer(0);
    if (!IsPerChannelOnly(true) || (primary && HasColourMatrix(*primary)))
        return false;
    for (const char* name : {"MatrixLUT", "BaseLUT"})
        if (primary && HasLutValue(*primary, name))
            lutFiles.push_back(primary->Find(name)->GetText());
    return true;
}

// Every base sublayer counts, not only the one that stands for the base.
bool CVxGradingParamStorage::IsIdentity() const {
    for (const CVxShaderParamStorage* layer : m_data->layers)
        if (!layer->HasNoEffect(false))
            return false;
    return true;
}

void CVxGradingParamStorage::UpgradeBaseRanges() {
    for (uint32_t k = 0; k < m_data->baseSublayerCount; ++k)
        UpgradeSecondaries(*BaseSublayer(k));
}

IVxXMLObject* CVxGradingParamStorage::Clone() const {
    CVxGradingParamStorage* copy = new CVxGradingParamStorage();
    copy->m_data = m_data;
    copy->m_scratchTime = m_scratchTime;
    copy->m_scratchFlags = m_scratchFlags;
    return copy;
}

void CVxGradingParamStorage::Release() {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}
