#include "lut/curve_set.h"
#include "lut/curve_set_formats.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_text.h"

#include "foundation/paths.h"
#include "foundation/vx_string.h"
#include "script/shader_script.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

using EInterpolation = CVxCurve::EInterpolation;
using EExtrapolation = CVxCurve::EExtrapolation;

// Room for the largest table of the integer formats and the conversion curves.
constexpr size_t kReservedPoints = 1025;

const char* const kScriptVariables[] = {"in", "red", "green", "blue", "alpha"};
const char* const kScriptOutputs[] = {"red", "green", "blue"};

using TextFormat = bool (*)(const char* text, size_t length, CurveQuad curves);
const TextFormat kTextFormats[] = {ReadConversionSettings, ReadLog10BitSettings, ReadIntegerTable,
                                   ReadCurveExpressions, ReadColumns};

void ReportError(FrameworkError* error, const CVxString& path, const char* reason) {
    if (error == nullptr)
        return;
    error->severity = CVxCurveSet::kErrorSeverity;
    error->message = "Lookup table \"";
    error->message += path;
    error->message += "\" could not be loaded: ";
    error->message += reason;
}

// The script between the first '>' and a closing script tag (or the end).
bool ScriptText(const CVxString& text, const char*& begin, size_t& length) {
    const int open = text.Find('>');
    if (open < 0)
        return false;
    const char* start = text.c_str() + open + 1;
    const char* end = text.c_str() + text.Length();
    const int close = text.ReverseFind('<');
    if (close > open) {
        const char* tag = text.c_str() + close + 1;
        const size_t rest = static_cast<size_t>(end - tag);
        if (TextStartsWithNoCase(tag, rest, "/VEXLANScript") ||
            TextStartsWithNoCase(tag, rest, "/VEXLANSScript"))
            end = text.c_str() + close;
    }
    const std::string_view script = CVxString::Trim({start, static_cast<size_t>(end - start)});
    begin = script.data();
    length = script.size();
    return length > 0;
}

} // namespace

CVxCurveSet::CVxCurveSet() = default;

CVxCurveSet::~CVxCurveSet() = default;

void CVxCurveSet::Release() {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

const CVxCurve* CVxCurveSet::Curve(EChannel channel) const {
    return m_curves[static_cast<int>(channel)].get();
}

bool CVxCurveSet::CreateCurves() {
    for (std::unique_ptr<CVxCurve>& curve : m_curves) {
        curve.reset(new (std::nothrow)
                        CVxCurve(EInterpolation::eHermiteAuto, EExtrapolation::eLinearEnds));
        if (!curve || !curve->Reserve(kReservedPoints))
            return false;
    }
    return true;
}

void CVxCurveSet::DropCurves() {
    for (std::unique_ptr<CVxCurve>& curve : m_curves)
        curve.reset();
}

void CVxCurveSet::ResetCurves() {
    for (std::unique_ptr<CVxCurve>& curve : m_curves) {
        curve->Empty();
        curve->SetInterpolation(EInterpolation::eHermiteAuto);
        curve->SetExtrapolation(EExtrapolation::eLinearEnds);
    }
}

bool CVxCurveSet::TakeLut(const LutFiles& source, const CVxString& path) {
    std::unique_ptr<CVxLUT> lut(new (std::nothrow) CVxLUT());
    if (!lut ||
        !lut->Load(source, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, false))
        return false;
    if (lut->m_is3D) {
        m_lattice = std::move(lut);
        return true;
    }
    if (!CreateCurves())
        return false;
    const uint32_t size = lut->m_size;
    for (int c = 0; c < 3; ++c) {
        const double low = lut->m_domainMin[c];
        const double step = size > 1 ? (lut->m_domainMax[c] - low) / (size - 1) : 0.0;
        CurvePointBatch points;
        for (uint32_t i = 0; i < size; ++i)
            points.Add(low + i * step, lut->m_data[i * 4 + c]);
        if (!points.AddTo(*m_curves[c]))
            return false;
    }
    MakeIdentity(*m_curves[3]);
    return true;
}

bool CVxCurveSet::DefinesACurve() const {
    for (int c = 0; c < 3; ++c)
        if (m_curves[c]->PointCount() > 0)
            return true;
    return false;
}

bool CVxCurveSet::ReadTextFormats(const CVxString& text) {
    CurveQuad curves = {m_curves[0].get(), m_curves[1].get(), m_curves[2].get(), m_curves[3].get()};
    // A reading that leaves red, green and blue without points would sample to
    // black: it does not count.
    for (TextFormat format : kTextFormats) {
        ResetCurves();
        if (format(text.c_str(), text.Length(), curves) && DefinesACurve())
            return true;
    }
    return false;
}

bool CVxCurveSet::ReadScript(const CVxString& text) {
    const char* begin = nullptr;
    size_t length = 0;
    if (!ScriptText(text, begin, length))
        return false;
    std::unique_ptr<ShaderScript> script(new (std::nothrow) ShaderScript());
    if (!script)
        return false;
    for (const char* name : kScriptVariables)
        script->DeclareExtern(name, 0.0);
    if (!script->Load(begin, length))
        return false;
    m_script = std::move(script);
    return true;
}

bool CVxCurveSet::Read(const LutFiles& source, const CVxString& path, FrameworkError* errorOut,
                       bool tryLUT) {
    m_lattice.reset();
    m_script.reset();
    DropCurves();

    const CVxString resolved = source.Resolve(path, CVxString(), ELutNameOrder::eExistingFileFirst);
    if (tryLUT && TakeLut(source, resolved))
        return true;
    DropCurves();

    CVxString text;
    if (!ReadTextFile(source.files, resolved, text, true)) {
        ReportError(errorOut, resolved, "file not found.");
        return false;
    }
    return ReadText(text, errorOut, resolved);
}

bool CVxCurveSet::ReadBytes(const uint8_t* data, size_t size) {
    m_lattice.reset();
    m_script.reset();
    DropCurves();
    const void* nul = std::memchr(data, 0, size);
    if (nul != nullptr)
        size = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
    if (size >= CVxString::npos)
        return false;
    try {
        CVxString text(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
        return ReadText(text, nullptr, CVxString());
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CVxCurveSet::ReadText(CVxString& text, FrameworkError* errorOut, const CVxString& path) {
    if (ByteOrderMarkLength(reinterpret_cast<const uint8_t*>(text.c_str()), text.Length()) != 0)
        text = text.Mid(3);
    if (!CreateCurves()) {
        ReportError(errorOut, path, "out of memory.");
        return false;
    }
    if (ReadTextFormats(text))
        return true;
    DropCurves();
    if (ReadScript(text))
        return true;
    ReportError(errorOut, path, "unknown format.");
    return false;
}

bool CVxCurveSet::Sample(uint32_t n, float* out) {
    if (!m_script && !m_curves[0])
        return false;
    std::vector<double> inputs(n);
    for (uint32_t i = 0; i < n; ++i)
        inputs[i] = n > 1 ? double(i) / double(n - 1) : 0.0;
    if (m_script)
        return SampleScript(inputs, out);
    std::vector<double> outputs(n);
    for (int c = 0; c < 3; ++c) {
        m_curves[c]->EvaluateRising(inputs.data(), n, outputs.data());
        for (uint32_t i = 0; i < n; ++i)
            out[size_t(i) * 4 + c] = static_cast<float>(outputs[i]);
    }
    for (uint32_t i = 0; i < n; ++i)
        out[size_t(i) * 4 + 3] = 1.0f;
    return true;
}

bool CVxCurveSet::RunScriptAt(double input, uint64_t& stepsLeft) {
    m_script->Set("in", input);
    m_script->SetRunStepLimit(stepsLeft);
    // A run that stops on an error (a division by zero at this input, say)
    // leaves the sample what red, green and blue hold at that point.
    m_script->Run();
    if (m_script->LastRunSteps() > stepsLeft)
        return false;
    stepsLeft -= m_script->LastRunSteps();
    return true;
}

bool CVxCurveSet::SampleScript(const std::vector<double>& inputs, float* out) {
    // The samples share one budget of steps, so that a runaway script ends
    // while a script that loops long at every sample still runs through.
    uint64_t stepsLeft = m_scriptStepBudget;
    bool allBlack = true;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!RunScriptAt(inputs[i], stepsLeft))
            return false;
        float* entry = out + i * 4;
        for (int c = 0; c < 3; ++c) {
            entry[c] = static_cast<float>(m_script->Get(kScriptOutputs[c], 0.0));
            allBlack = allBlack && entry[c] == 0.0f;
        }
        entry[3] = 1.0f;
    }
    return !allBlack || ScriptAssignsAnOutput(inputs, stepsLeft);
}

bool CVxCurveSet::ScriptAssignsAnOutput(const std::vector<double>& inputs, uint64_t& stepsLeft) {
    // Outputs that start from a value no statement would compute and still
    // hold it after every run were never assigned.
    constexpr double kUnassigned = -1.2345e300;
    for (const char* output : kScriptOutputs)
        m_script->Set(output, kUnassigned);
    bool assigned = false;
    for (size_t i = 0; i < inputs.size() && !assigned; ++i) {
        if (!RunScriptAt(inputs[i], stepsLeft))
            break;
        for (const char* output : kScriptOutputs)
            assigned = assigned || m_script->Get(output, 0.0) != kUnassigned;
    }
    for (const char* output : kScriptOutputs)
        m_script->Set(output, 0.0);
    return assigned;
}
