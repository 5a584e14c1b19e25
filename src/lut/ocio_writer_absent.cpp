#include "lut/lut_writers.h"

// Without OpenColorIO none of its formats can be written.

bool CanWriteOcioFormats() {
    return false;
}

bool WriteOcioLut(const OcioWriting& /*how*/, const LutToWrite& /*lut*/, ByteSink& /*out*/) {
    return false;
}
