#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>
#include <vector>

// A look read into memory: its grading and shape mask, held for one file.
class ParsedLook;

// Why a render produced no lattice; each reason has its own message.
enum class ERenderFailure : uint8_t { eShaderMissing, eLutMissing, eInternal };

// What the per-file flows need from the rendering engine.
class LookRenderer {
public:
    virtual ~LookRenderer() = default;

    // Replaces text with a complete new look document holding lattices of the given sizes.
    virtual bool WriteRebuiltLook(ParsedLook& look, CVxString& text, uint32_t size3D,
                                  uint32_t size1D) = 0;
    // Fills rgb with size^3 RGB triples, red fastest.
    virtual bool RenderLookToLut(ParsedLook& look, uint32_t size, std::vector<float>& rgb,
                                 ERenderFailure& failure) = 0;
};

// The renderer the program runs with.
std::unique_ptr<LookRenderer> CreateLookRenderer();
