// Stereo output, float mixing: left += gL x S, right += gR x S for mono
// data, each side from its own data for stereo data. S is on the 16-bit
// scale (byte and mu-law through the float tables).
#include "sound/mixer/mixcommon.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---- Per-frame routines ---------------------------------------------------

static void mixSF8Mono(unsigned count, int)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    const float *tab = dsmByteFloatTable;
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const float s = tab[smp[frameIndex(pos)]];
        dest[0] += gl * s;
        dest[1] += gr * s;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSF16Mono(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const float s = smp[frameIndex(pos)];
        dest[0] += gl * s;
        dest[1] += gr * s;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSFUlawMono(unsigned count, int)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    const float *tab = dsmUlawFloatTable;
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const float s = tab[smp[frameIndex(pos)]];
        dest[0] += gl * s;
        dest[1] += gr * s;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Stereo data through a byte table (8-bit or mu-law).
static void mixSFTableStereo(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const uint8_t *f = smp + 2 * frameIndex(pos);
        dest[0] += gl * tab[f[0]];
        dest[1] += gr * tab[f[1]];
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSF8Stereo(unsigned count, int) { mixSFTableStereo(count, dsmByteFloatTable); }

static void mixSFUlawStereo(unsigned count, int) { mixSFTableStereo(count, dsmUlawFloatTable); }

static void mixSF16Stereo(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += gl * static_cast<float>(f[0]);
        dest[1] += gr * static_cast<float>(f[1]);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines ----------------------------------------------------------
//
// Two frames per step of the block size, four per SSE2 iteration when
// count allows: the samples are fetched one by one, but each group of
// frames goes to the accumulators in two vector read-modify-writes instead
// of eight scalar ones. The products and sums are the per-frame ones, in the
// same order, so the results are identical.

#if defined(__SSE2__)
// dest[0..7] += (s0 s0 s1 s1 | s2 s2 s3 s3) x (gl gr gl gr).
static inline void addStereo4(float *dest, __m128 s, __m128 g)
{
    const __m128 lo = _mm_unpacklo_ps(s, s);
    const __m128 hi = _mm_unpackhi_ps(s, s);
    _mm_storeu_ps(dest, _mm_add_ps(_mm_loadu_ps(dest), _mm_mul_ps(lo, g)));
    _mm_storeu_ps(dest + 4, _mm_add_ps(_mm_loadu_ps(dest + 4), _mm_mul_ps(hi, g)));
}
#endif

// Byte-table mono data (8-bit or mu-law); count is even.
static void mixSFTableMonoBlock(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_setr_ps(gl, gr, gl, gr);
    for (; n + 4 <= count; n += 4, dest += 8) {
        const float s0 = tab[smp[frameIndex(pos)]];
        const float s1 = tab[smp[frameIndex(pos + step)]];
        const float s2 = tab[smp[frameIndex(pos + 2 * step)]];
        const float s3 = tab[smp[frameIndex(pos + 3 * step)]];
        pos += 4 * step;
        addStereo4(dest, _mm_setr_ps(s0, s1, s2, s3), g);
    }
#endif
    for (; n < count; n += 2, dest += 4, pos += 2 * step) {
        const float s0 = tab[smp[frameIndex(pos)]];
        const float s1 = tab[smp[frameIndex(pos + step)]];
        dest[0] += gl * s0;
        dest[1] += gr * s0;
        dest[2] += gl * s1;
        dest[3] += gr * s1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSF8MonoBlock(unsigned count, int) { mixSFTableMonoBlock(count, dsmByteFloatTable); }

static void mixSFUlawMonoBlock(unsigned count, int)
{
    mixSFTableMonoBlock(count, dsmUlawFloatTable);
}

static void mixSF16MonoBlock(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat, gr = dsmMixRightVolFloat;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_setr_ps(gl, gr, gl, gr);
    for (; n + 4 <= count; n += 4, dest += 8) {
        const __m128i s =
            _mm_setr_epi32(smp[frameIndex(pos)], smp[frameIndex(pos + step)],
                           smp[frameIndex(pos + 2 * step)], smp[frameIndex(pos + 3 * step)]);
        pos += 4 * step;
        addStereo4(dest, _mm_cvtepi32_ps(s), g);
    }
#endif
    for (; n < count; n += 2, dest += 4, pos += 2 * step) {
        const float s0 = smp[frameIndex(pos)];
        const float s1 = smp[frameIndex(pos + step)];
        dest[0] += gl * s0;
        dest[1] += gr * s0;
        dest[2] += gl * s1;
        dest[3] += gr * s1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by sample type; rows: general, middle, surround (empty here).
MixRoutine dsmMixStereoFloat[dsmRoutineEntries] = {
    {1, 1, nullptr, nullptr, nullptr},                   // 0 none
    {1, 2, mixSF8Mono, mixSF8MonoBlock, nullptr},        // 1 8-bit mono
    {1, 2, mixSF16Mono, mixSF16MonoBlock, nullptr},      // 2 16-bit mono
    {1, 1, mixSF8Stereo, mixSF8Stereo, nullptr},         // 3 8-bit stereo
    {1, 1, mixSF16Stereo, mixSF16Stereo, nullptr},       // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                   // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                   // 6 ADPCM stereo
    {1, 2, mixSFUlawMono, mixSFUlawMonoBlock, nullptr},  // 7 mu-law mono
    {1, 1, mixSFUlawStereo, mixSFUlawStereo, nullptr},   // 8 mu-law stereo
};
