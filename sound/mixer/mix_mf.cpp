// Mono output, float mixing: out += gL x S; stereo data out += gL x (SL + SR)
// with gL already halved for it. S is on the 16-bit scale.
#include "sound/mixer/mixcommon.h"

// ---- Per-frame routines ---------------------------------------------------

// Mono data through a byte table (8-bit or mu-law).
static void mixMFTableMono(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n++, dest++, pos += step)
        dest[0] += g * tab[smp[frameIndex(pos)]];
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMF8Mono(unsigned count, int) { mixMFTableMono(count, dsmByteFloatTable); }

static void mixMFUlawMono(unsigned count, int) { mixMFTableMono(count, dsmUlawFloatTable); }

static void mixMF16Mono(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n++, dest++, pos += step)
        dest[0] += g * static_cast<float>(smp[frameIndex(pos)]);
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMFTableStereo(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const uint8_t *f = smp + 2 * frameIndex(pos);
        dest[0] += g * (tab[f[0]] + tab[f[1]]);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMF8Stereo(unsigned count, int) { mixMFTableStereo(count, dsmByteFloatTable); }

static void mixMFUlawStereo(unsigned count, int) { mixMFTableStereo(count, dsmUlawFloatTable); }

static void mixMF16Stereo(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += g * (static_cast<float>(f[0]) + static_cast<float>(f[1]));
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines: four frames per iteration ----------------------------

static void mixMFTableMonoBlock(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step4 = 4 * step;
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n += 4, dest += 4, pos += step4) {
        const float s0 = tab[smp[frameIndex(pos)]];
        const float s1 = tab[smp[frameIndex(pos + step)]];
        const float s2 = tab[smp[frameIndex(pos + 2 * step)]];
        const float s3 = tab[smp[frameIndex(pos + 3 * step)]];
        dest[0] += g * s0;
        dest[1] += g * s1;
        dest[2] += g * s2;
        dest[3] += g * s3;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMF8MonoBlock(unsigned count, int) { mixMFTableMonoBlock(count, dsmByteFloatTable); }

static void mixMFUlawMonoBlock(unsigned count, int)
{
    mixMFTableMonoBlock(count, dsmUlawFloatTable);
}

static void mixMF16MonoBlock(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step4 = 4 * step;
    const float g = dsmMixLeftVolFloat;
    for (unsigned n = 0; n < count; n += 4, dest += 4, pos += step4) {
        const float s0 = smp[frameIndex(pos)];
        const float s1 = smp[frameIndex(pos + step)];
        const float s2 = smp[frameIndex(pos + 2 * step)];
        const float s3 = smp[frameIndex(pos + 3 * step)];
        dest[0] += g * s0;
        dest[1] += g * s1;
        dest[2] += g * s2;
        dest[3] += g * s3;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by sample type; rows 1 and 2 are empty.
MixRoutine dsmMixMonoFloat[dsmRoutineEntries] = {
    {1, 1, nullptr, nullptr, nullptr},                   // 0 none
    {1, 4, mixMF8Mono, mixMF8MonoBlock, nullptr},        // 1 8-bit mono
    {1, 4, mixMF16Mono, mixMF16MonoBlock, nullptr},      // 2 16-bit mono
    {1, 1, mixMF8Stereo, mixMF8Stereo, nullptr},         // 3 8-bit stereo
    {1, 1, mixMF16Stereo, mixMF16Stereo, nullptr},       // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                   // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                   // 6 ADPCM stereo
    {1, 4, mixMFUlawMono, mixMFUlawMonoBlock, nullptr},  // 7 mu-law mono
    {1, 1, mixMFUlawStereo, mixMFUlawStereo, nullptr},   // 8 mu-law stereo
};
