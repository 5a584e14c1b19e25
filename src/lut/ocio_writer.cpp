#include "lut/lut_writers.h"

#include "lut/ocio_quiet.h"

#include <OpenColorIO/OpenColorIO.h>

#include <locale>
#include <sstream>
#include <string>

namespace OCIO = OCIO_NAMESPACE;

namespace {

// Maps a table's input range onto the 0 to 1 that OpenColorIO's tables take.
void AddDomainMatrix(OCIO::GroupTransform& group, const LutTable& table) {
    double matrix[16] = {0};
    double offset[4] = {0, 0, 0, 0};
    for (int c = 0; c < 3; ++c) {
        const double low = table.domainMin[c];
        const double scale = 1.0 / (static_cast<double>(table.domainMax[c]) - low);
        matrix[c * 5] = scale;
        offset[c] = -low * scale;
    }
    matrix[15] = 1.0;
    OCIO::MatrixTransformRcPtr transform = OCIO::MatrixTransform::Create();
    transform->setMatrix(matrix);
    transform->setOffset(offset);
    group.appendTransform(transform);
}

OCIO::TransformRcPtr TableTransform(const LutTable& table) {
    if (!table.is3D) {
        OCIO::Lut1DTransformRcPtr lut = OCIO::Lut1DTransform::Create();
        lut->setLength(table.size);
        for (uint32_t i = 0; i < table.size; ++i) {
            const float* rgb = table.Entry(i);
            lut->setValue(i, rgb[0], rgb[1], rgb[2]);
        }
        lut->setFileOutputBitDepth(OCIO::BIT_DEPTH_F32);
        lut->setInterpolation(OCIO::INTERP_LINEAR);
        return lut;
    }
    OCIO::Lut3DTransformRcPtr lut = OCIO::Lut3DTransform::Create(table.size);
    const uint32_t n = table.size;
    uint64_t index = 0;
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r, ++index) {
                const float* rgb = table.Entry(index);
                lut->setValue(r, g, b, rgb[0], rgb[1], rgb[2]);
            }
    lut->setFileOutputBitDepth(OCIO::BIT_DEPTH_F32);
    lut->setInterpolation(OCIO::INTERP_LINEAR);
    return lut;
}

void AddTable(OCIO::GroupTransform& group, const LutTable& table) {
    if (!table.HasUnitDomain())
        AddDomainMatrix(group, table);
    group.appendTransform(TableTransform(table));
}

bool IsUsableTable(const LutTable& table) {
    return !table.IsEmpty() && table.size >= 2 && (table.channels == 3 || table.channels == 4);
}

OCIO::GroupTransformRcPtr BuildGroup(const LutToWrite& lut) {
    OCIO::GroupTransformRcPtr group = OCIO::GroupTransform::Create();
    if (!lut.shaper.IsEmpty())
        AddTable(*group, lut.shaper);
    AddTable(*group, lut.table);
    return group;
}

constexpr const char* kSourceSpace = "source";
constexpr const char* kWrittenSpace = "written";

// A configuration of two spaces, the second the transform from the first.
OCIO::ConstConfigRcPtr BakingConfig(const OCIO::ConstTransformRcPtr& transform) {
    OCIO::ConfigRcPtr config = OCIO::Config::Create();
    OCIO::ColorSpaceRcPtr source = OCIO::ColorSpace::Create();
    source->setName(kSourceSpace);
    config->addColorSpace(source);
    OCIO::ColorSpaceRcPtr written = OCIO::ColorSpace::Create();
    written->setName(kWrittenSpace);
    written->setTransform(transform, OCIO::COLORSPACE_DIR_FROM_REFERENCE);
    config->addColorSpace(written);
    config->setRole(OCIO::ROLE_DEFAULT, kSourceSpace);
    return config;
}

void Bake(const OcioWriting& how, const LutToWrite& lut, std::ostream& stream) {
    const OCIO::GroupTransformRcPtr group = BuildGroup(lut);
    OCIO::BakerRcPtr baker = OCIO::Baker::Create();
    baker->setConfig(BakingConfig(group));
    baker->setFormat(how.bakerFormat);
    baker->setInputSpace(kSourceSpace);
    baker->setTargetSpace(kWrittenSpace);
    const uint32_t size = lut.latticeSize == 0 ? lut.table.size : lut.latticeSize;
    baker->setCubeSize(static_cast<int>(size));
    // Only the cinespace baker writes metadata; the others get a comment line below.
    if (how.note == EOcioNote::eMetadata)
        baker->getFormatMetadata().addChildElement(OCIO::METADATA_DESCRIPTION, kWrittenByNote);
    baker->bake(stream);
}

// The note as a comment line: first in a 3DL or itx file, after the first line
// ("# Truelight Cube v2.0") in a Truelight file. Their readers, OpenColorIO's
// and ours, pass over lines that begin with "#" and name no keyword.
std::string WithCommentNote(EOcioNote note, const std::string& text) {
    const std::string line = std::string("# ") + kWrittenByNote + "\n";
    if (note == EOcioNote::eFirstLine)
        return line + text;
    if (note != EOcioNote::eSecondLine)
        return text;
    const size_t afterFirst = text.find('\n');
    if (afterFirst == std::string::npos)
        return text;
    return text.substr(0, afterFirst + 1) + line + text.substr(afterFirst + 1);
}

void WriteProcessList(const OcioWriting& how, const LutToWrite& lut, std::ostream& stream) {
    const OCIO::GroupTransformRcPtr group = BuildGroup(lut);
    group->getFormatMetadata().addChildElement(OCIO::METADATA_DESCRIPTION, kWrittenByNote);
    group->write(BakingConfig(OCIO::MatrixTransform::Create()), how.processListFormat, stream);
}

bool Fits(const OcioWriting& how, const LutToWrite& lut) {
    if (!IsUsableTable(lut.table))
        return false;
    if (!lut.shaper.IsEmpty() && (lut.shaper.is3D || !IsUsableTable(lut.shaper)))
        return false;
    if (how.processListFormat)
        return true;
    // The baker samples lattices; a 1D table needs the lattice size to sample at.
    return lut.table.is3D || lut.latticeSize >= 2;
}

} // namespace

bool CanWriteOcioFormats() {
    return true;
}

bool WriteOcioLut(const OcioWriting& how, const LutToWrite& lut, ByteSink& out) {
    if (!Fits(how, lut))
        return false;
    const OcioQuietScope quiet;
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    try {
        if (how.processListFormat)
            WriteProcessList(how, lut, stream);
        else
            Bake(how, lut, stream);
    } catch (const std::exception&) {
        return false;
    }
    const std::string text = WithCommentNote(how.note, stream.str());
    return !text.empty() && out.Append(text.data(), text.size());
}
