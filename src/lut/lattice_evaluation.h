#pragma once

#include <cstdint>

class CVxLUT;

// A LUT's transform at the nodes of a lattice, as tools apply a LUT file:
// the pre-LUT first, linear in every 1D table, trilinear in a lattice, each
// input clamped to its table's domain (CVxLUT::Apply). Evaluated over its own
// domain, a table without a pre-LUT gives the values of its own nodes exactly
// where the new nodes meet them, so at its own size it is itself.
//
// Writes n³ RGB triples, red fastest, for the nodes low + i / (n - 1) *
// (high - low) of every axis (one node at `low` for n = 1). False when the LUT
// holds no entries or n is 0.
bool EvaluateAtLattice(const CVxLUT& lut, uint32_t n, float low, float high, float* rgb);
