// Stereo output, float mixing with linear interpolation: each data channel
// is interpolated between frame i and its partner i + k (k = 1 normally, 0 at
// the last frame of a sample, back to the loop start at the end of a forward
// loop), then left += gL/65536 x v, right += gR/65536 x v.
#include "sound/mixer/mixcommon.h"

static constexpr float INV65536 = 1.0f / 65536.0f;

// ---- Per-frame routines ---------------------------------------------------

// Mono data through a byte table (8-bit or mu-law).
static void mixSFITableMono(unsigned count, int k, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const ptrdiff_t i = frameIndex(pos);
        const float v = interp16(tab[smp[i]], tab[smp[i + k]], pos);
        dest[0] += gl * v;
        dest[1] += gr * v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSFI8Mono(unsigned count, int k)
{
    mixSFITableMono(count, k, dsmByteFloatTable);
}

static void mixSFIUlawMono(unsigned count, int k)
{
    mixSFITableMono(count, k, dsmUlawFloatTable);
}

static void mixSFI16Mono(unsigned count, int k)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const ptrdiff_t i = frameIndex(pos);
        const float v = interp16(smp[i], smp[i + k], pos);
        dest[0] += gl * v;
        dest[1] += gr * v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSFITableStereo(unsigned count, int k, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const uint8_t *a = smp + 2 * frameIndex(pos);
        const uint8_t *b = a + 2 * k;
        dest[0] += gl * interp16(tab[a[0]], tab[b[0]], pos);
        dest[1] += gr * interp16(tab[a[1]], tab[b[1]], pos);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSFI8Stereo(unsigned count, int k)
{
    mixSFITableStereo(count, k, dsmByteFloatTable);
}

static void mixSFIUlawStereo(unsigned count, int k)
{
    mixSFITableStereo(count, k, dsmUlawFloatTable);
}

static void mixSFI16Stereo(unsigned count, int k)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int16_t *a = smp + 2 * frameIndex(pos);
        const int16_t *b = a + 2 * k;
        dest[0] += gl * interp16(a[0], b[0], pos);
        dest[1] += gr * interp16(a[1], b[1], pos);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines: two frames per iteration, partner 1 ------------------

static void mixSFITableMonoBlock(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step2 = 2 * step;
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n += 2, dest += 4, pos += step2) {
        const uint32_t pos1 = pos + step;
        const uint8_t *f0 = smp + frameIndex(pos);
        const uint8_t *f1 = smp + frameIndex(pos1);
        const float v0 = interp16(tab[f0[0]], tab[f0[1]], pos);
        const float v1 = interp16(tab[f1[0]], tab[f1[1]], pos1);
        dest[0] += gl * v0;
        dest[1] += gr * v0;
        dest[2] += gl * v1;
        dest[3] += gr * v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSFI8MonoBlock(unsigned count, int)
{
    mixSFITableMonoBlock(count, dsmByteFloatTable);
}

static void mixSFIUlawMonoBlock(unsigned count, int)
{
    mixSFITableMonoBlock(count, dsmUlawFloatTable);
}

static void mixSFI16MonoBlock(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step2 = 2 * step;
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    for (unsigned n = 0; n < count; n += 2, dest += 4, pos += step2) {
        const uint32_t pos1 = pos + step;
        const int16_t *f0 = smp + frameIndex(pos);
        const int16_t *f1 = smp + frameIndex(pos1);
        const float v0 = interp16(f0[0], f0[1], pos);
        const float v1 = interp16(f1[0], f1[1], pos1);
        dest[0] += gl * v0;
        dest[1] += gr * v0;
        dest[2] += gl * v1;
        dest[3] += gr * v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by sample type; rows 1 and 2 are empty.
MixRoutine dsmMixStereoFloatInterp[dsmRoutineEntries] = {
    {1, 1, nullptr, nullptr, nullptr},                    // 0 none
    {1, 2, mixSFI8Mono, mixSFI8MonoBlock, nullptr},       // 1 8-bit mono
    {1, 2, mixSFI16Mono, mixSFI16MonoBlock, nullptr},     // 2 16-bit mono
    {1, 1, mixSFI8Stereo, mixSFI8Stereo, nullptr},        // 3 8-bit stereo
    {1, 1, mixSFI16Stereo, mixSFI16Stereo, nullptr},      // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                    // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                    // 6 ADPCM stereo
    {1, 2, mixSFIUlawMono, mixSFIUlawMonoBlock, nullptr}, // 7 mu-law mono
    {1, 1, mixSFIUlawStereo, mixSFIUlawStereo, nullptr},  // 8 mu-law stereo
};
