// Tables of the 4-bit ADPCM decoder: the IMA step sizes and the predictor
// difference every code gives at every step size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum {
    mAdpcmNumSteps = 89,  // step indices 0..88
    mAdpcmMaxStep = 88
};

// The IMA step sizes, 7 .. 32767, indexed by step index.
extern const std::array<int32_t, mAdpcmNumSteps> stepSizes;

// Step index change by the low three bits of a code.
extern const std::array<int32_t, 8> mAdpcmStepSizeAdj;

// mAdpcmPredDiffTable[s][c]: the predictor change of the 4-bit code c at step
// index s, with step = stepSizes[s]: (step >> 3) + step (bit 2) + (step >> 1)
// (bit 1) + (step >> 2) (bit 0), negated when bit 3 is set.
extern const std::array<std::array<int32_t, 16>, mAdpcmNumSteps> mAdpcmPredDiffTable;
