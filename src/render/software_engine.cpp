#include "render/compositing_engine.h"

#include "foundation/number_text.h"
#include "foundation/parallel_bands.h"
#include "look/grading_params.h"
#include "lut/lut.h"
#include "render/image_operations.h"
#include "render/kernel_registry.h"
#include "render/lut_sampling.h"
#include "render/render_context.h"
#include "render/render_image.h"
#include "render/render_lut_cache.h"
#include "render/shader_layer_instance.h"
#include "render/shader_registry.h"
#include "render/stage_runner.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

using ERenderError = IVxCompositingEngine::ERenderError;

enum class EOperatorKind : uint8_t {
    eNoop,
    eOver,
    eOverPremultiplied,
    eFade,
    eLut,
    eReadout,
    eGrading
};

bool TokenStartsWith(const CVxString& token, const char* prefix) {
    return token.StartsWith(prefix, false);
}

// Cuts the pipeline at "|" into tokens trimmed of blanks; empty tokens are dropped.
std::vector<CVxString> SplitPipeline(const CVxString& pipeline) {
    std::vector<CVxString> tokens;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= pipeline.Length(); ++i) {
        if (i < pipeline.Length() && pipeline[i] != '|')
            continue;
        CVxString token = pipeline.Mid(start, i - start);
        token.Trim(" \t\r\n");
        if (!token.IsEmpty())
            tokens.push_back(token);
        start = i + 1;
    }
    return tokens;
}

bool ParseFiniteNumber(const CVxString& text, double& value) {
    CVxString trimmed = text;
    trimmed.Trim(" \t");
    return trimmed.ToDouble(value) && std::isfinite(value);
}

EBlendMode BlendModeOf(EOperatorKind kind) {
    switch (kind) {
    case EOperatorKind::eOver:
        return EBlendMode::eOver;
    case EOperatorKind::eOverPremultiplied:
        return EBlendMode::eOverPremultiplied;
    default:
        return EBlendMode::eFade;
    }
}

const char* LutShaderFor(const CVxLUT& lut) {
    if (!lut.m_is3D)
        return "VEXLAN.LUT.1D";
    return lut.m_preLUT ? "VEXLAN.LUT.1D3D" : "VEXLAN.LUT.3D";
}

} // namespace

struct CVxSoftwareCompositingEngine::Operator {
    CVxString name;
    uint32_t inputs = 1;
    EOperatorKind kind = EOperatorKind::eNoop;
    const CVxGradingParamStorage* grading = nullptr;
    // Built on the first application in a render, released with the operator.
    std::vector<std::unique_ptr<CVxShaderLayerInstance>> layers;
    bool prepared = false;
};

// Everything one Render creates: the image stack, the pending group of
// single-input operators, the LUTs loaded and the operators made from
// gradings. Destroying it releases all of that, whatever way the render ends.
class CVxSoftwareCompositingEngine::RenderRun {
public:
    RenderRun(CVxSoftwareCompositingEngine& engine, CVxRenderContext& context, RenderImage& output,
              uint32_t flags)
        : m_engine(engine), m_context(context), m_output(output), m_flags(flags),
          m_luts(engine.m_environment.luts) {
        m_luts.SetLastFolder(engine.m_lastLutFolder);
    }
    ~RenderRun() { m_engine.m_operators.resize(m_engine.m_builtInOperators); }

    void Run(const CVxString& pipeline);

private:
    struct Entry {
        RenderImage* image = nullptr;
        std::unique_ptr<RenderImage> owned;
        const CVxLUT* lut = nullptr;
    };

    void ProcessToken(const CVxString& token);
    void Push(Entry entry);
    void PushSource(const CVxString& name);
    void PushConstant(const CVxString& token);
    void ApplyOperator(const CVxString& token);
    Operator& FindOrAddOperator(const CVxString& name);
    void FlushPending(bool last = false);
    RowHooks HooksFor(const RenderImage* image, bool last) const;
    void Prepare(Operator& op);
    bool MakeWritable(Entry& entry);
    Entry& TopImageEntry();
    void ApplyLut();
    void Blend(EBlendMode mode, float amount);
    void Flip(const CVxString& token);
    void Transform(const CVxString& token);
    void Stretch(const CVxString& token);
    void Resample(Entry& entry, const double matrix[6]);
    void WriteOutput();

    CVxSoftwareCompositingEngine& m_engine;
    CVxRenderContext& m_context;
    RenderImage& m_output;
    uint32_t m_flags;
    std::vector<Entry> m_stack;
    std::vector<Operator*> m_pending;
    RenderLutCache m_luts;
};

CVxSoftwareCompositingEngine::CVxSoftwareCompositingEngine(const RenderEnvironment& environment)
    : m_environment(environment), m_threadCount(DefaultThreadCount()) {
    const struct {
        const char* name;
        uint32_t inputs;
        EOperatorKind kind;
    } builtIns[] = {
        {"*noop", 1, EOperatorKind::eNoop},
        {"*over", 2, EOperatorKind::eOver},
        {"*overp", 2, EOperatorKind::eOverPremultiplied},
        {"*fade", 2, EOperatorKind::eFade},
        {"*lut", 2, EOperatorKind::eLut},
        {"*readout", 1, EOperatorKind::eReadout},
    };
    for (const auto& builtIn : builtIns) {
        auto op = std::make_unique<Operator>();
        op->name = builtIn.name;
        op->inputs = builtIn.inputs;
        op->kind = builtIn.kind;
        m_operators.push_back(std::move(op));
    }
    m_builtInOperators = m_operators.size();
}

CVxSoftwareCompositingEngine::~CVxSoftwareCompositingEngine() = default;

void CVxSoftwareCompositingEngine::SetThreadCount(uint32_t threads) {
    m_threadCount = threads ? threads : DefaultThreadCount();
}

std::vector<CVxString> CVxSoftwareCompositingEngine::OperatorNames() const {
    std::vector<CVxString> names;
    for (const auto& op : m_operators)
        names.push_back(op->name);
    return names;
}

bool CVxSoftwareCompositingEngine::Render(const CVxString& pipeline, CVxRenderContext& context,
                                          uint32_t width, uint32_t height, RenderImage* output,
                                          const RenderRegion*, uint32_t flags) {
    m_lastError = 0;
    m_lutMissing = 0;
    m_outOfMemory = false;
    m_abort = 0;
    m_width = width;
    m_height = height;
    try {
        if (!output)
            throw ERenderError::eRequestEmpty;
        {
            RenderRun run(*this, context, *output, flags);
            run.Run(pipeline);
        }
        if (Stopping())
            throw ERenderError::eAborted;
        return true;
    } catch (ERenderError error) {
        // A pass that was stopped fails as any failed pass does.
        m_lastError = uint32_t(Stopping() ? ERenderError::eAborted : error);
    } catch (const std::bad_alloc&) {
        m_lastError = uint32_t(ERenderError::eEvaluationFailed);
        m_outOfMemory = true;
    }
    return false;
}

void CVxSoftwareCompositingEngine::RenderRun::Run(const CVxString& pipeline) {
    const std::vector<CVxString> tokens = SplitPipeline(pipeline);
    if (tokens.empty())
        throw ERenderError::eRequestEmpty;
    for (const CVxString& token : tokens) {
        if (m_engine.Stopping())
            throw ERenderError::eAborted;
        ProcessToken(token);
    }
    // What is pending now runs last: its rows are final as it writes them.
    FlushPending(true);
    WriteOutput();
}

void CVxSoftwareCompositingEngine::RenderRun::ProcessToken(const CVxString& token) {
    if (token == "?") {
        Push(Entry{});
    } else if (token[0] != '*') {
        PushSource(token);
    } else if (TokenStartsWith(token, "*mask")) {
        Entry entry;
        entry.image = m_context.FindMask(token);
        Push(std::move(entry));
    } else if (TokenStartsWith(token, "*pop")) {
        if (m_pending.empty())
            throw ERenderError::eNothingToPop;
        FlushPending();
    } else if (TokenStartsWith(token, "*flip")) {
        Flip(token);
    } else if (TokenStartsWith(token, "*panscan") || TokenStartsWith(token, "*xform")) {
        Transform(token);
    } else if (TokenStartsWith(token, "*stretch")) {
        Stretch(token);
    } else if (TokenStartsWith(token, "*rgb")) {
        PushConstant(token);
    } else {
        ApplyOperator(token);
    }
}

// The pending group belongs to the image it follows, so it runs before
// anything else lands on the stack.
void CVxSoftwareCompositingEngine::RenderRun::Push(Entry entry) {
    FlushPending();
    m_stack.push_back(std::move(entry));
}

void CVxSoftwareCompositingEngine::RenderRun::PushSource(const CVxString& name) {
    Entry entry;
    entry.image = m_context.FindSource(name);
    if (!entry.image) {
        const CVxString path = m_engine.m_environment.luts.Resolve(name);
        if (!m_luts.Exists(path))
            throw ERenderError::eUnknownSource;
        entry.lut = m_luts.Load(path);
        if (!entry.lut)
            throw ERenderError::eLutNotLoaded;
    }
    Push(std::move(entry));
}

void CVxSoftwareCompositingEngine::RenderRun::PushConstant(const CVxString& token) {
    // Four finite C numbers; nothing between two commas is no item.
    constexpr NumberListPolicy kConstantList{
        .syntax = ENumberSyntax::eCNumber, .blanks = " \t", .emptyPieces = EEmptyPieces::eSkipped};
    double values[4];
    uint32_t count = 0;
    if (!ParseNumberList(token.View().substr(4), kConstantList, values, count) || count != 4 ||
        !std::all_of(values, values + 4, [](double value) { return std::isfinite(value); }))
        throw ERenderError::eBadArgument;
    Entry entry;
    entry.owned = RenderImage::Allocate(m_engine.m_width, m_engine.m_height, 4);
    if (!entry.owned)
        throw ERenderError::eOperatorFailed;
    const float rgba[4] = {float(values[0]), float(values[1]), float(values[2]), float(values[3])};
    entry.owned->Fill(rgba);
    entry.image = entry.owned.get();
    Push(std::move(entry));
}

void CVxSoftwareCompositingEngine::RenderRun::ApplyOperator(const CVxString& token) {
    const int space = token.FindOneOf(" \t");
    const CVxString name = space < 0 ? token : token.Left(uint32_t(space));
    Operator& op = FindOrAddOperator(name);
    double amount = 0;
    if (space >= 0 && !ParseFiniteNumber(token.Mid(uint32_t(space)), amount))
        throw ERenderError::eBadArgument;

    if (op.kind == EOperatorKind::eReadout) {
        if (m_stack.empty())
            return;
        if (m_flags & kReadoutFlag)
            FlushPending();
        return;
    }
    if (op.inputs == 1) {
        if (m_stack.empty())
            throw ERenderError::eNoInput;
        m_pending.push_back(&op);
        return;
    }
    if (op.kind == EOperatorKind::eLut) {
        if (m_stack.size() < 2)
            throw ERenderError::eLutNeedsTwoInputs;
        ApplyLut();
        return;
    }
    if (m_stack.size() < op.inputs)
        throw ERenderError::eStackUnderflow;
    Blend(BlendModeOf(op.kind), float(amount));
}

CVxSoftwareCompositingEngine::Operator&
CVxSoftwareCompositingEngine::RenderRun::FindOrAddOperator(const CVxString& name) {
    for (const auto& op : m_engine.m_operators)
        if (op->name.Compare(name, CVxString::eCaseInsensitive) == 0)
            return *op;
    const CVxGradingParamStorage* grading = m_context.FindObject(name);
    if (!grading)
        throw ERenderError::eUnknownOperator;
    auto op = std::make_unique<Operator>();
    op->name = name;
    op->kind = EOperatorKind::eGrading;
    op->grading = grading;
    m_engine.m_operators.push_back(std::move(op));
    return *m_engine.m_operators.back();
}

// The output's rows are filled as the passes first read them, and are final
// as the last pass writes them; other images have no hooks.
RowHooks CVxSoftwareCompositingEngine::RenderRun::HooksFor(const RenderImage* image,
                                                           bool last) const {
    if (image != &m_output)
        return {};
    return {m_engine.m_fillOutputRows, last ? m_engine.m_finalOutputRows : nullptr};
}

void CVxSoftwareCompositingEngine::RenderRun::FlushPending(bool last) {
    if (m_pending.empty())
        return;
    const std::vector<Operator*> group = std::move(m_pending);
    m_pending.clear();
    Entry& target = m_stack.back();
    if (!target.image)
        throw ERenderError::eEvaluationFailed;
    std::vector<const PixelStage*> stages;
    for (Operator* op : group) {
        if (op->kind != EOperatorKind::eGrading)
            continue;
        Prepare(*op);
        for (const auto& layer : op->layers)
            layer->AppendStages(stages);
    }
    if (stages.empty())
        return;
    if (!MakeWritable(target) ||
        !RunPixelStages(*target.image, stages, m_engine.m_threadCount, HooksFor(target.image, last),
                        m_engine.m_environment.stop))
        throw ERenderError::eEvaluationFailed;
}

void CVxSoftwareCompositingEngine::RenderRun::Prepare(Operator& op) {
    if (op.prepared)
        return;
    const CVxGradingParamStorage& grading = *op.grading;
    for (uint32_t i = 0; i < grading.ArrayCount(); ++i) {
        const CVxShaderParamStorage* layer = grading.ArrayLayer(i);
        if (!layer || layer->HasNoEffect(false))
            continue;
        op.layers.push_back(std::make_unique<CVxShaderLayerInstance>(
            *layer, m_engine.m_environment.shaders, m_luts, m_engine.m_lutMissing));
    }
    op.prepared = true;
}

// An entry may be changed in place when it owns its image, or when it holds
// the output image and no other entry shares it; any other image is copied.
bool CVxSoftwareCompositingEngine::RenderRun::MakeWritable(Entry& entry) {
    if (entry.owned)
        return true;
    size_t sharers = 0;
    for (const Entry& other : m_stack)
        sharers += other.image == entry.image;
    if (entry.image == &m_output && sharers == 1)
        return true;
    entry.owned =
        RenderImage::Allocate(entry.image->Width(), entry.image->Height(), entry.image->Channels());
    if (!entry.owned)
        return false;
    entry.owned->CopyFrom(*entry.image);
    entry.image = entry.owned.get();
    return true;
}

CVxSoftwareCompositingEngine::RenderRun::Entry&
CVxSoftwareCompositingEngine::RenderRun::TopImageEntry() {
    FlushPending();
    if (m_stack.empty())
        throw ERenderError::eStackUnderflow;
    if (!m_stack.back().image)
        throw ERenderError::eUnknownSource;
    return m_stack.back();
}

void CVxSoftwareCompositingEngine::RenderRun::ApplyLut() {
    FlushPending();
    const CVxLUT* lut = m_stack.back().lut;
    if (!lut)
        throw ERenderError::eNotALut;
    Entry& target = m_stack[m_stack.size() - 2];
    PixelStageFactory factory = FindPixelStage(CVxString(LutShaderFor(*lut)));
    if (!target.image || !factory || !MakeWritable(target))
        throw ERenderError::eOperatorFailed;
    const LutTexture texture = MakeLutTexture(*lut);
    PixelStageSetup setup;
    setup.textures[1] = &texture;
    const std::unique_ptr<PixelStage> stage = factory(setup);
    if (!RunPixelStages(*target.image, {stage.get()}, m_engine.m_threadCount,
                        HooksFor(target.image, false), m_engine.m_environment.stop))
        throw ERenderError::eOperatorFailed;
    m_stack.pop_back();
}

// Entries without an image count as transparent black.
void CVxSoftwareCompositingEngine::RenderRun::Blend(EBlendMode mode, float amount) {
    FlushPending();
    Entry upper = std::move(m_stack.back());
    m_stack.pop_back();
    Entry& lower = m_stack.back();
    for (Entry* entry : {&upper, &lower}) {
        if (entry->image)
            continue;
        const RenderImage* other = entry == &upper ? lower.image : upper.image;
        const uint32_t width = other ? other->Width() : m_engine.m_width;
        const uint32_t height = other ? other->Height() : m_engine.m_height;
        entry->owned = RenderImage::Allocate(width, height, 4);
        if (!entry->owned)
            throw ERenderError::eOperatorFailed;
        const float clear[4] = {0, 0, 0, 0};
        entry->owned->Fill(clear);
        entry->image = entry->owned.get();
    }
    if (!MakeWritable(lower) || !BlendImages(mode, amount, *upper.image, *lower.image))
        throw ERenderError::eOperatorFailed;
}

void CVxSoftwareCompositingEngine::RenderRun::Flip(const CVxString& token) {
    const bool vertical = token.Length() > 5 && (token[5] == 'v' || token[5] == 'V');
    Entry& entry = TopImageEntry();
    if (!MakeWritable(entry))
        throw ERenderError::eOperatorFailed;
    FlipImage(*entry.image, vertical);
}

void CVxSoftwareCompositingEngine::RenderRun::Transform(const CVxString& token) {
    Entry& entry = TopImageEntry();
    const RenderTransform* transform = m_context.FindTransform(token);
    const RenderTransform identity;
    Resample(entry, (transform ? transform : &identity)->m);
}

// "*stretch AMOUNT ALIGN": the image is scaled into the output area, from
// fitted with its aspect kept (0) to filling it (1), and placed against the
// named edge (centred along the other axis).
void CVxSoftwareCompositingEngine::RenderRun::Stretch(const CVxString& token) {
    CVxString rest = token.Mid(8);
    rest.Trim(" \t");
    CVxString amountText, align;
    double amount = 0;
    if (!rest.ExtractToken(" \t", amountText) || !ParseFiniteNumber(amountText, amount) ||
        amount < 0 || amount > 1 || !rest.ExtractToken(" \t", align) || !rest.IsEmpty())
        throw ERenderError::eBadArgument;
    EStretchAlignment alignment;
    if (align.EqualsNoCase("left"))
        alignment = EStretchAlignment::eLeft;
    else if (align.EqualsNoCase("right"))
        alignment = EStretchAlignment::eRight;
    else if (align.EqualsNoCase("top"))
        alignment = EStretchAlignment::eTop;
    else if (align.EqualsNoCase("bottom"))
        alignment = EStretchAlignment::eBottom;
    else
        throw ERenderError::eBadArgument;

    Entry& entry = TopImageEntry();
    double matrix[6];
    StretchMatrix(*entry.image, m_engine.m_width, m_engine.m_height, amount, alignment, matrix);
    Resample(entry, matrix);
}

// Replaces the entry's image by one of the output size read through the matrix.
void CVxSoftwareCompositingEngine::RenderRun::Resample(Entry& entry, const double matrix[6]) {
    std::unique_ptr<RenderImage> result =
        ResampleImage(*entry.image, matrix, m_engine.m_width, m_engine.m_height);
    if (!result)
        throw ERenderError::eOperatorFailed;
    entry.owned = std::move(result);
    entry.image = entry.owned.get();
    entry.lut = nullptr;
}

void CVxSoftwareCompositingEngine::RenderRun::WriteOutput() {
    if (m_stack.empty())
        throw ERenderError::eNoInput;
    const RenderImage* top = m_stack.back().image;
    if (!top)
        throw ERenderError::eUnknownSource;
    if (top == &m_output)
        return;
    if (!FitImageInto(*top, m_output))
        throw ERenderError::eOperatorFailed;
}
