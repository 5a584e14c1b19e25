// A build without OpenColorIO reads none of its formats: Load and the tool
// treat such files as they treat any other file.
#include "lut/ocio_reader.h"

struct OcioFileTransform::Impl {};

std::string OcioUnavailableReason() {
    return "this build has no OpenColorIO";
}

void ClearOcioCaches() {}

OcioFileTransform::OcioFileTransform() = default;
OcioFileTransform::~OcioFileTransform() = default;

bool OcioFileTransform::Open(FileAccess&, const CVxString&) {
    return false;
}

uint32_t OcioFileTransform::CorrectionCount() const {
    return 0;
}

const std::string& OcioFileTransform::CorrectionId() const {
    static const std::string kNone;
    return kNone;
}

bool OcioFileTransform::Apply(float*, size_t) const {
    return false;
}

bool OcioFileTransform::ApplyToLattice(uint32_t, float*) const {
    return false;
}

bool OcioFileTransform::FillLut(CVxLUT& lut, bool, CVxLUT::EDimensionRequirement) const {
    lut.DeletePreLUT();
    lut.Clear();
    return false;
}

bool ReadOcioLut(CVxLUT& lut, const LutFiles&, const CVxString&, bool,
                 CVxLUT::EDimensionRequirement) {
    lut.DeletePreLUT();
    lut.Clear();
    return false;
}
