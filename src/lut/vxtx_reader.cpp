#include "lut/lut.h"
#include "lut/lut_formats.h"

#include "foundation/byte_order.h"

#include <bit>
#include <cstring>

// The framework's own binary containers. VXTX: magic, size, dimensions and
// key-block length, then packed RGB floats. VTX2 adds a domain after the
// header. Files with a key block carry their payload in a form this reader
// does not know, so they are refused.

namespace {

constexpr size_t kHeaderBytes = 16;
constexpr size_t kDomainBytes = 24;
constexpr uint32_t kLargestKeyBlock = 2048;
constexpr uint32_t kLargestSize = 65536;
constexpr uint32_t kLargest3DSize = 256;
constexpr size_t kEntryBytes = 12;

uint32_t ReadWord(const uint8_t* bytes) {
    return LoadLittleEndian32(bytes);
}

float ReadFloat(const uint8_t* bytes) {
    return std::bit_cast<float>(ReadWord(bytes));
}

bool HeaderAccepted(uint32_t size, uint32_t dimensions, uint32_t keyBlock,
                    EDimensionRequirement requirement) {
    if (keyBlock > kLargestKeyBlock || size > kLargestSize) {
        return false;
    }
    if (size > kLargest3DSize && dimensions > 2) {
        return false;
    }
    if (dimensions != 1 && dimensions != 3) {
        return false;
    }
    if (requirement == EDimensionRequirement::eOnly3D && dimensions == 1) {
        return false;
    }
    if (requirement == EDimensionRequirement::eOnly1D && dimensions == 3) {
        return false;
    }
    return keyBlock == 0;
}

void CopyPayload(float* target, const uint8_t* payload, size_t floats) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(target, payload, floats * 4);
    } else {
        for (size_t k = 0; k < floats; ++k) {
            target[k] = ReadFloat(payload + k * 4);
        }
    }
}

} // namespace

EReaderResult ReadVxtxLut(CVxLUT& lut, const uint8_t* data, size_t size, bool /*upsample*/,
                          EDimensionRequirement requirement) {
    if (size <= kHeaderBytes) {
        return EReaderResult::eFailed;
    }
    const bool hasDomain = std::memcmp(data, "VTX2", 4) == 0;
    const size_t payloadStart = kHeaderBytes + (hasDomain ? kDomainBytes : 0);
    const uint32_t lutSize = ReadWord(data + 4);
    const uint32_t dimensions = ReadWord(data + 8);
    const uint32_t keyBlock = ReadWord(data + 12);
    if (!HeaderAccepted(lutSize, dimensions, keyBlock, requirement)) {
        return EReaderResult::eFailed;
    }
    const bool is3D = dimensions == 3;
    if (!lut.Create(lutSize, is3D)) {
        return EReaderResult::eFailed;
    }
    const size_t entries = is3D ? size_t(lutSize) * lutSize * lutSize : lutSize;
    if (payloadStart > size || entries * kEntryBytes > size - payloadStart) {
        lut.Clear();
        return EReaderResult::eFailed;
    }
    // Size 0 loads as an empty table; a fresh 1D one has no storage to copy to.
    if (entries != 0) {
        CopyPayload(lut.m_data, data + payloadStart, entries * 3);
        ExpandRgbToRgba(lut.m_data, entries, 1.0f);
    }
    if (!hasDomain) {
        lut.SetDomainUniform(0.0f, 1.0f);
        return EReaderResult::eLoaded;
    }
    float domainMin[4] = {ReadFloat(data + 16), ReadFloat(data + 20), ReadFloat(data + 24), 1.0f};
    float domainMax[4] = {ReadFloat(data + 28), ReadFloat(data + 32), ReadFloat(data + 36), 1.0f};
    lut.SetDomain(domainMin, domainMax);
    return EReaderResult::eLoaded;
}
