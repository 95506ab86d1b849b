// Stereo output, float mixing with linear interpolation: each data channel
// is interpolated between frame i and its partner i + k (k = 1 normally, 0 at
// the last frame of a sample, back to the loop start at the end of a forward
// loop), then left += gL/65536 x v, right += gR/65536 x v.
#include "sound/mixer/mixcommon.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// ---- Block routines: partner 1 ----------------------------------------------
//
// Four frames per SSE2 iteration (then pairs): the samples are fetched one by
// one, the interpolation weights, products and sums are computed four frames
// at a time with the per-frame routine's operations in the same order, so the
// results are identical.

#if defined(__SSE2__)
// Interpolates four frames: a, b the frame and partner values, p4 the four
// 16.16 positions (only the fractions are used).
static inline __m128 interp4(__m128 a, __m128 b, __m128i p4)
{
    const __m128i f = _mm_and_si128(p4, _mm_set1_epi32(0xFFFF));
    const __m128 wa = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_set1_epi32(65536), f));
    const __m128 wb = _mm_cvtepi32_ps(f);
    return _mm_add_ps(_mm_mul_ps(wa, a), _mm_mul_ps(wb, b));
}

// dest[0..7] += (v0 v0 v1 v1 | v2 v2 v3 v3) x (gl gr gl gr).
static inline void addStereo4(float *dest, __m128 v, __m128 g)
{
    const __m128 lo = _mm_unpacklo_ps(v, v);
    const __m128 hi = _mm_unpackhi_ps(v, v);
    _mm_storeu_ps(dest, _mm_add_ps(_mm_loadu_ps(dest), _mm_mul_ps(lo, g)));
    _mm_storeu_ps(dest + 4, _mm_add_ps(_mm_loadu_ps(dest + 4), _mm_mul_ps(hi, g)));
}
#endif

static void mixSFITableMonoBlock(unsigned count, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_setr_ps(gl, gr, gl, gr);
    for (; n + 4 <= count; n += 4, dest += 8, pos += 4 * step) {
        const uint32_t p1 = pos + step, p2 = pos + 2 * step, p3 = pos + 3 * step;
        const uint8_t *f0 = smp + frameIndex(pos);
        const uint8_t *f1 = smp + frameIndex(p1);
        const uint8_t *f2 = smp + frameIndex(p2);
        const uint8_t *f3 = smp + frameIndex(p3);
        const __m128 a = _mm_setr_ps(tab[f0[0]], tab[f1[0]], tab[f2[0]], tab[f3[0]]);
        const __m128 b = _mm_setr_ps(tab[f0[1]], tab[f1[1]], tab[f2[1]], tab[f3[1]]);
        const __m128i p4 = _mm_setr_epi32(static_cast<int>(pos), static_cast<int>(p1),
                                          static_cast<int>(p2), static_cast<int>(p3));
        addStereo4(dest, interp4(a, b, p4), g);
    }
#endif
    for (; n < count; n += 2, dest += 4, pos += 2 * step) {
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
    const float gl = dsmMixLeftVolFloat * INV65536, gr = dsmMixRightVolFloat * INV65536;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_setr_ps(gl, gr, gl, gr);
    for (; n + 4 <= count; n += 4, dest += 8, pos += 4 * step) {
        const uint32_t p1 = pos + step, p2 = pos + 2 * step, p3 = pos + 3 * step;
        const int16_t *f0 = smp + frameIndex(pos);
        const int16_t *f1 = smp + frameIndex(p1);
        const int16_t *f2 = smp + frameIndex(p2);
        const int16_t *f3 = smp + frameIndex(p3);
        const __m128 a = _mm_cvtepi32_ps(_mm_setr_epi32(f0[0], f1[0], f2[0], f3[0]));
        const __m128 b = _mm_cvtepi32_ps(_mm_setr_epi32(f0[1], f1[1], f2[1], f3[1]));
        const __m128i p4 = _mm_setr_epi32(static_cast<int>(pos), static_cast<int>(p1),
                                          static_cast<int>(p2), static_cast<int>(p3));
        addStereo4(dest, interp4(a, b, p4), g);
    }
#endif
    for (; n < count; n += 2, dest += 4, pos += 2 * step) {
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
