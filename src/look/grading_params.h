#pragma once

#include "foundation/vx_string.h"
#include "foundation/xml_object.h"
#include "look/shader_param.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CVxXMLReader;

// A grading: an ordered stack of shader layers, bottom first. The base
// grading is 12 consecutive VEXLAN.Base.1 sublayers that count as one
// logical layer. Reference-counted (starts at 1); the layer array lives in a
// payload shared copy-on-write with clones, the layers themselves shared by
// reference.
class CVxGradingParamStorage : public IVxXMLObject, public IVxXMLObjectFactory {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint32_t kBaseSublayers = 12;

    CVxGradingParamStorage();
    CVxGradingParamStorage(const CVxGradingParamStorage&) = delete;
    CVxGradingParamStorage& operator=(const CVxGradingParamStorage&) = delete;
    ~CVxGradingParamStorage() override;

    // "*grading" followed by the object's process-wide unique number.
    const CVxString& Name() const { return m_name; }
    uint64_t UniqueNumber() const { return m_uniqueNumber; }

    // --- logical layers (the base counts as one) ---
    uint32_t LayerCount() const;
    // Null when out of range. The base resolves to its current sublayer.
    CVxShaderParamStorage* Layer(uint32_t index) const;
    // Takes over the caller's reference and sets the owner; returns the
    // logical index, or kNone (the layer then stays the caller's).
    uint32_t AddLayer(CVxShaderParamStorage* shader);
    bool RemoveLayer(uint32_t index);
    // Logical index of the base (equal to its array position), kNone without one.
    uint32_t BaseIndex() const { return m_data->baseIndex; }
    bool HasBase() const { return m_data->baseIndex != kNone && m_data->baseSublayerCount > 0; }
    bool IsBaseLayer(uint32_t logicalIndex) const {
        return HasBase() && logicalIndex == m_data->baseIndex;
    }

    // --- the array of every layer, base sublayers included ---
    uint32_t ArrayCount() const { return static_cast<uint32_t>(m_data->layers.size()); }
    CVxShaderParamStorage* ArrayLayer(uint32_t position) const;
    uint32_t BaseSublayerCount() const { return m_data->baseSublayerCount; }
    // Sublayer k of the base, null without a base or out of range.
    CVxShaderParamStorage* BaseSublayer(uint32_t k) const;
    // Starts a base at the end of the array; sublayers follow through AppendBaseSublayer.
    void BeginBase();
    bool AppendBaseSublayer(CVxShaderParamStorage* sublayer);
    uint32_t CurrentSublayer() const { return m_data->currentSublayer; }
    void SetCurrentSublayer(uint32_t k);

    bool IsOneDimensional() const { return m_data->oneDimensional; }
    void SetOneDimensional(bool flag);
    uint32_t SelectedLayer() const { return m_data->selectedLayer; }
    void SetSelectedLayer(uint32_t layer);

    // Every colour channel goes through its own curve (no cross-channel
    // effect): the writer bakes a 1D LUT and a CDL only then.
    bool IsPerChannelOnly(bool ignoreLuts) const;
    // As IsPerChannelOnly(false), but for the LUT files that the base names
    // (BaseLUT, MatrixLUT), whose names are appended to `lutFiles`: true when
    // the grading acts on each channel alone if those files do.
    bool IsPerChannelBesideLutFiles(std::vector<CVxString>& lutFiles) const;
    // Every layer, each base sublayer included, has no effect, or there is none.
    bool IsIdentity() const;
    // Brings the secondary (HLS) parameters of every base sublayer from range
    // version 1 to 2.
    void UpgradeBaseRanges();

    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }

    // IVxXMLObject: the object form, a "Grading" element (nothing when identity).
    void WriteXML(CVxString& out, uint32_t indent) const override;
    IVxXMLObject* Clone() const override;
    void Release() override;
    // IVxXMLObjectFactory: reads a "Grading" element into a new grading.
    IVxXMLObject* CreateFromXML(CVxXMLReader& reader) override;

    // Scratch members of the framework's grading, 0 after construction.
    double m_scratchTime = 0;
    uint32_t m_scratchFlags = 0;

private:
    struct CData {
        uint32_t selectedLayer = 0;
        std::vector<CVxShaderParamStorage*> layers;
        uint32_t baseIndex = kNone;
        uint32_t baseSublayerCount = 0;
        uint32_t currentSublayer = 0;
        bool oneDimensional = false;

        CData() { layers.reserve(128); }
        CData(const CData& other);
        ~CData();
    };

    void MakeUnique();
    // Array position of a logical index, kNone when out of range.
    uint32_t ArrayPosition(uint32_t logicalIndex) const;

    std::shared_ptr<CData> m_data;
    CVxString m_name;
    uint64_t m_uniqueNumber;
    std::atomic<int32_t> m_refCount{1};
};
