// ADPCM tables. The difference table is built at compile time from the step
// sizes, so the two can never disagree.
#include "sound/extras/adpcmtbl.h"

namespace {

constexpr std::array<int32_t, mAdpcmNumSteps> kSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::array<int32_t, 16>, mAdpcmNumSteps> buildPredDiff()
{
    std::array<std::array<int32_t, 16>, mAdpcmNumSteps> t{};
    for (std::size_t s = 0; s < kSteps.size(); s++) {
        int32_t step = kSteps[s];
        for (int c = 0; c < 16; c++) {
            int32_t d = step >> 3;
            if (c & 4)
                d += step;
            if (c & 2)
                d += step >> 1;
            if (c & 1)
                d += step >> 2;
            t[s][static_cast<std::size_t>(c)] = (c & 8) ? -d : d;
        }
    }
    return t;
}

constexpr auto kPredDiff = buildPredDiff();
static_assert(kPredDiff[0][0] == 0, "code 0 at the smallest step adds nothing");
static_assert(kPredDiff[0][7] == 11, "code 7 at the smallest step adds 11");
static_assert(kPredDiff[0][15] == -11);
// The largest change stays far inside 32 bits: predictor + difference never
// overflows before it is clamped to 16 bits.
static_assert(kPredDiff[88][7] == 4095 + 32767 + 16383 + 8191);

}  // namespace

const std::array<int32_t, mAdpcmNumSteps> stepSizes = kSteps;
const std::array<int32_t, 8> mAdpcmStepSizeAdj = {-1, -1, -1, -1, 2, 4, 6, 8};
const std::array<std::array<int32_t, 16>, mAdpcmNumSteps> mAdpcmPredDiffTable = kPredDiff;
