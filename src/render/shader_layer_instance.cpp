#include "render/shader_layer_instance.h"

#include "foundation/number_text.h"
#include "foundation/paths.h"
#include "look/shader_param.h"
#include "lut/lut.h"
#include "render/compositing_engine.h"
#include "render/kernel_registry.h"
#include "render/lut_sampling.h"
#include "render/shader_registry.h"

namespace {

using ERenderError = IVxCompositingEngine::ERenderError;

const char kBadTextureShader[] = "VEXLAN.BadTexture";
const char* const kComponentSuffixes[4] = {".x", ".y", ".z", ".w"};

// "1,0.5,0" and the like: up to four C numbers; nothing between two commas is no item.
constexpr NumberListPolicy kParameterList{.syntax = ENumberSyntax::eCNumber,
                                          .blanks = CVxString::kBlanks,
                                          .emptyPieces = EEmptyPieces::eSkipped};

bool HasComponentSuffix(const CVxString& name) {
    return name.Length() >= 3 && name[name.Length() - 2] == '.';
}

} // namespace

CVxShaderLayerInstance::CVxShaderLayerInstance(const CVxShaderParamStorage& layer,
                                               const CVxShaderRegistry& registry,
                                               RenderLutCache& luts, uint32_t& lutMissing)
    : m_shaderName(layer.Name()) {
    ShaderSource source;
    if (!registry.FindSource(m_shaderName, source))
        throw ERenderError::eShaderNotFound;
    if (!m_definition.Parse(*source.definition))
        throw ERenderError::eShaderNotFound;
    BindParameters(layer);
    if (!LoadTextures(layer, source.packageFolder, luts)) {
        lutMissing = 1;
        m_shaderName = kBadTextureShader;
        m_firstPass = CreateStage(m_shaderName);
        return;
    }
    m_firstPass = CreateStage(KernelName(source));
    if (!m_definition.SecondPass().IsEmpty())
        m_secondPass = CreateStage(m_definition.SecondPass());
}

// A package's stage text names the kernel it runs; the built-in shaders run
// the kernel of their definition's name.
CVxString CVxShaderLayerInstance::KernelName(const ShaderSource& source) const {
    CVxString kernel = source.stage ? *source.stage : CVxString();
    kernel.Trim();
    if (!kernel.IsEmpty())
        return kernel;
    return m_definition.Name().IsEmpty() ? m_shaderName : m_definition.Name();
}

void CVxShaderLayerInstance::BindParameters(const CVxShaderParamStorage& layer) {
    std::vector<ShaderParameterValue> values;
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam& param = *layer.GetParam(i);
        if (param.IsDouble) {
            values.push_back({param.Name, param.dValue});
            continue;
        }
        // A text of numbers sets the components one after the other; any other
        // text (a file name, a word) is no script value.
        double numbers[4];
        uint32_t count = 0;
        if (!HasComponentSuffix(param.Name))
            ParseNumberList(param.Value.View(), kParameterList, numbers, count);
        for (uint32_t c = 0; c < count; ++c)
            values.push_back({param.Name + kComponentSuffixes[c], numbers[c]});
    }
    // A script that fails keeps what it computed; the render goes on.
    m_definition.Bind(values);
}

// Only texture lists name LUT files; a definition's <texture> elements are
// images, and neither they nor a list's `default` are loaded as LUTs.
bool CVxShaderLayerInstance::LoadTextures(const CVxShaderParamStorage& layer,
                                          const CVxString& packageFolder, RenderLutCache& luts) {
    for (const ShaderTextureList& list : m_definition.TextureLists())
        if (!LoadTexture(layer, list.name, list.unit, packageFolder, luts))
            return false;
    return true;
}

// The file is the whole value as the look writes it: a name beginning with
// 'N' read as a marker parameter keeps its 'N'. A layer without the parameter
// leaves the unit without a texture.
bool CVxShaderLayerInstance::LoadTexture(const CVxShaderParamStorage& layer, const CVxString& name,
                                         uint32_t unit, const CVxString& packageFolder,
                                         RenderLutCache& luts) {
    const CVxShaderParam* param = layer.Find(name);
    const CVxString fileName = param ? param->FileText() : CVxString();
    if (fileName.IsEmpty() || fileName == "*" || unit >= kTextureUnits)
        return true;
    const CVxLUT* lut = luts.Load(luts.Resolve(fileName, packageFolder));
    if (!lut)
        return false;
    m_textures[unit] = MakeLutTexture(*lut);
    m_textureBound[unit] = true;
    return true;
}

PixelStageSetup CVxShaderLayerInstance::StageSetup() const {
    PixelStageSetup setup;
    setup.script = &m_definition.Script();
    for (uint32_t unit = 0; unit < kTextureUnits; ++unit)
        setup.textures[unit] = m_textureBound[unit] ? &m_textures[unit] : nullptr;
    for (const ShaderLookupTable& table : m_definition.LookupTables())
        if (table.Unit() < kTextureUnits)
            setup.lookups[table.Unit()] = {table.Data().data(), table.RowCount()};
    return setup;
}

std::unique_ptr<PixelStage> CVxShaderLayerInstance::CreateStage(const CVxString& kernelName) const {
    PixelStageFactory factory = FindPixelStage(kernelName);
    if (!factory)
        throw ERenderError::eShaderNotFound;
    return factory(StageSetup());
}

void CVxShaderLayerInstance::AppendStages(std::vector<const PixelStage*>& stages) const {
    if (m_firstPass)
        stages.push_back(m_firstPass.get());
    if (m_secondPass)
        stages.push_back(m_secondPass.get());
}
