#pragma once

#include "foundation/vx_string.h"
#include "lut/curve.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CVxLUT;
class ShaderScript;

// An error the framework hands to its caller instead of printing it.
struct FrameworkError {
    int severity = 0;
    CVxString message;
};

// Per-channel transfer curves read from a small text file: red, green, blue
// and a master curve, or a script that computes red, green and blue from
// "in", or (when the file is a lattice LUT) that lattice. Reference-counted:
// the count is 1 at creation and Release deletes the set at 0.
struct LutFiles;

class CVxCurveSet {
public:
    enum class EChannel : uint8_t { eRed = 0, eGreen = 1, eBlue = 2, eMaster = 3 };
    static constexpr int kChannels = 4;
    static constexpr int kErrorSeverity = 2;

    CVxCurveSet();
    CVxCurveSet(const CVxCurveSet&) = delete;
    CVxCurveSet& operator=(const CVxCurveSet&) = delete;

    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    void Release();

    // Reads the file at path (a bare name is looked up in the LUT folders when
    // no such file exists). With tryLUT, a LUT file is taken first: a 1D table
    // becomes the curves, a lattice is kept. Otherwise the text formats are
    // tried in turn. On failure errorOut (when given) receives the reason.
    bool Read(const LutFiles& source, const CVxString& path, FrameworkError* errorOut, bool tryLUT);
    // Reads a file already in memory as the text formats and scripts that Read
    // tries, up to its first NUL byte.
    bool ReadBytes(const uint8_t* data, size_t size);

    // Statements that sampling a script may execute over all its samples.
#ifdef GRADESHIFT_FUZZING
    static constexpr uint64_t kScriptStepBudget = 1000000;
#else
    static constexpr uint64_t kScriptStepBudget = 100000000;
#endif
    // A smaller budget lets fuzzing reach the end of a runaway script in
    // moments under sanitizers, which slow each statement tenfold.
    void SetScriptStepBudget(uint64_t budget) {
        m_scriptStepBudget = budget;
    }

    // Writes n entries of four floats (R, G, B and A = 1) for the inputs
    // i/(n - 1). False when the set holds neither curves nor a script (nothing
    // was read, or the file was a lattice), when the script's samples take
    // more than the step budget's statements together, or when the script
    // assigns none of red, green and blue at any input.
    bool Sample(uint32_t n, float* out);

    // Null while no curves exist (before Read, and when a script or lattice was read).
    const CVxCurve* Curve(EChannel channel) const;
    const CVxLUT* Lattice() const {
        return m_lattice.get();
    }
    bool HasScript() const {
        return m_script != nullptr;
    }

protected:
    virtual ~CVxCurveSet();

private:
    bool CreateCurves();
    void DropCurves();
    // Empties the curves and gives them back their initial kinds.
    void ResetCurves();
    bool TakeLut(const LutFiles& source, const CVxString& path);
    // Red, green or blue holds a point.
    bool DefinesACurve() const;
    // The text formats, then a script; on failure the reason goes to errorOut.
    bool ReadText(CVxString& text, FrameworkError* errorOut, const CVxString& path);
    bool ReadTextFormats(const CVxString& text);
    bool ReadScript(const CVxString& text);
    // One run at the input, within the steps left; false when they run out.
    bool RunScriptAt(double input, uint64_t& stepsLeft);
    bool SampleScript(const std::vector<double>& inputs, float* out);
    // Runs the script again over the inputs until one of its runs assigns red,
    // green or blue.
    bool ScriptAssignsAnOutput(const std::vector<double>& inputs, uint64_t& stepsLeft);

    std::atomic<int32_t> m_refCount{1};
    std::unique_ptr<CVxCurve> m_curves[kChannels];
    std::unique_ptr<CVxLUT> m_lattice;
    std::unique_ptr<ShaderScript> m_script;
    uint64_t m_scriptStepBudget = kScriptStepBudget;
};

// Releases a curve set when its holder goes away.
struct CurveSetReleaser {
    void operator()(CVxCurveSet* set) const { set->Release(); }
};
using CurveSetHolder = std::unique_ptr<CVxCurveSet, CurveSetReleaser>;
