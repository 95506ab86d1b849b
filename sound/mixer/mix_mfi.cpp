// Mono output, float mixing with linear interpolation: out += gL/65536 x v
// with v interpolated between frame i and its partner i + k; stereo data
// adds both interpolated sides (gL already halved for it).
#include "sound/mixer/mixcommon.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static constexpr float INV65536 = 1.0f / 65536.0f;

// ---- Per-frame routines ---------------------------------------------------

// Mono data through a byte table (8-bit or mu-law).
static void mixMFITableMono(unsigned count, int k, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const ptrdiff_t i = frameIndex(pos);
        const float v = interp16(tab[smp[i]], tab[smp[i + k]], pos);
        dest[0] += gl * v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMFI8Mono(unsigned count, int k) { mixMFITableMono(count, k, dsmByteFloatTable); }

static void mixMFIUlawMono(unsigned count, int k) { mixMFITableMono(count, k, dsmUlawFloatTable); }

static void mixMFI16Mono(unsigned count, int k)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const ptrdiff_t i = frameIndex(pos);
        const float v = interp16(smp[i], smp[i + k], pos);
        dest[0] += gl * v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMFITableStereo(unsigned count, int k, const float *tab)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const uint8_t *a = smp + 2 * frameIndex(pos);
        const uint8_t *b = a + 2 * k;
        dest[0] += gl * (interp16(tab[a[0]], tab[b[0]], pos) + interp16(tab[a[1]], tab[b[1]], pos));
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMFI8Stereo(unsigned count, int k) { mixMFITableStereo(count, k, dsmByteFloatTable); }

static void mixMFIUlawStereo(unsigned count, int k)
{
    mixMFITableStereo(count, k, dsmUlawFloatTable);
}

static void mixMFI16Stereo(unsigned count, int k)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const int16_t *a = smp + 2 * frameIndex(pos);
        const int16_t *b = a + 2 * k;
        dest[0] += gl * (interp16(a[0], b[0], pos) + interp16(a[1], b[1], pos));
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines: partner 1 ----------------------------------------------
//
// Four frames per SSE2 iteration (then pairs): each frame and its partner
// come in one read, 8-bit and 16-bit data are turned into floats in the
// vector registers (the same values as the byte table or the int16-to-float
// conversion), and the per-frame routine's operations run four frames at a
// time in the same order: the results are identical.

// Byte data: tab is the byte table (8-bit, unpacked in registers) when
// byteData is set, else the mu-law table (looked up).
static inline void mixMFITableMonoBlock(unsigned count, const float *tab,
                                        [[maybe_unused]] bool byteData)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_set1_ps(gl);
    const __m128i step4 = _mm_set1_epi32(static_cast<int>(4 * step));
    __m128i p4 = positions4(pos, step);
    for (; n + 4 <= count; n += 4, dest += 4, pos += 4 * step, p4 = _mm_add_epi32(p4, step4)) {
        const uint32_t w0 = pairU8(smp + frameIndex(pos));
        const uint32_t w1 = pairU8(smp + frameIndex(pos + step));
        const uint32_t w2 = pairU8(smp + frameIndex(pos + 2 * step));
        const uint32_t w3 = pairU8(smp + frameIndex(pos + 3 * step));
        __m128 a, b, wa, wb;
        if (byteData) {
            unpackU8Pairs(_mm_setr_epi32(static_cast<int>(w0), static_cast<int>(w1),
                                         static_cast<int>(w2), static_cast<int>(w3)),
                          &a, &b);
        } else {
            a = _mm_setr_ps(tab[w0 & 0xFF], tab[w1 & 0xFF], tab[w2 & 0xFF], tab[w3 & 0xFF]);
            b = _mm_setr_ps(tab[w0 >> 8], tab[w1 >> 8], tab[w2 >> 8], tab[w3 >> 8]);
        }
        weights4(p4, &wa, &wb);
        const __m128 v = interpW4(wa, wb, a, b);
        _mm_storeu_ps(dest, _mm_add_ps(_mm_loadu_ps(dest), _mm_mul_ps(g, v)));
    }
#endif
    for (; n < count; n += 2, dest += 2, pos += 2 * step) {
        const uint32_t pos1 = pos + step;
        const uint8_t *f0 = smp + frameIndex(pos);
        const uint8_t *f1 = smp + frameIndex(pos1);
        const float v0 = interp16(tab[f0[0]], tab[f0[1]], pos);
        const float v1 = interp16(tab[f1[0]], tab[f1[1]], pos1);
        dest[0] += gl * v0;
        dest[1] += gl * v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMFI8MonoBlock(unsigned count, int)
{
    mixMFITableMonoBlock(count, dsmByteFloatTable, true);
}

static void mixMFIUlawMonoBlock(unsigned count, int)
{
    mixMFITableMonoBlock(count, dsmUlawFloatTable, false);
}

static void mixMFI16MonoBlock(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    float *dest = static_cast<float *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const float gl = dsmMixLeftVolFloat * INV65536;
    unsigned n = 0;
#if defined(__SSE2__)
    const __m128 g = _mm_set1_ps(gl);
    const __m128i step4 = _mm_set1_epi32(static_cast<int>(4 * step));
    __m128i p4 = positions4(pos, step);
    for (; n + 4 <= count; n += 4, dest += 4, pos += 4 * step, p4 = _mm_add_epi32(p4, step4)) {
        const __m128i w =
            _mm_setr_epi32(static_cast<int>(pairS16(smp + frameIndex(pos))),
                           static_cast<int>(pairS16(smp + frameIndex(pos + step))),
                           static_cast<int>(pairS16(smp + frameIndex(pos + 2 * step))),
                           static_cast<int>(pairS16(smp + frameIndex(pos + 3 * step))));
        __m128 a, b, wa, wb;
        unpackS16Pairs(w, &a, &b);
        weights4(p4, &wa, &wb);
        const __m128 v = interpW4(wa, wb, a, b);
        _mm_storeu_ps(dest, _mm_add_ps(_mm_loadu_ps(dest), _mm_mul_ps(g, v)));
    }
#endif
    for (; n < count; n += 2, dest += 2, pos += 2 * step) {
        const uint32_t pos1 = pos + step;
        const int16_t *f0 = smp + frameIndex(pos);
        const int16_t *f1 = smp + frameIndex(pos1);
        const float v0 = interp16(f0[0], f0[1], pos);
        const float v1 = interp16(f1[0], f1[1], pos1);
        dest[0] += gl * v0;
        dest[1] += gl * v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by sample type; rows 1 and 2 are empty.
MixRoutine dsmMixMonoFloatInterp[dsmRoutineEntries] = {
    {1, 1, nullptr, nullptr, nullptr},                     // 0 none
    {1, 2, mixMFI8Mono, mixMFI8MonoBlock, nullptr},        // 1 8-bit mono
    {1, 2, mixMFI16Mono, mixMFI16MonoBlock, nullptr},      // 2 16-bit mono
    {1, 1, mixMFI8Stereo, mixMFI8Stereo, nullptr},         // 3 8-bit stereo
    {1, 1, mixMFI16Stereo, mixMFI16Stereo, nullptr},       // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                     // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                     // 6 ADPCM stereo
    {1, 2, mixMFIUlawMono, mixMFIUlawMonoBlock, nullptr},  // 7 mu-law mono
    {1, 1, mixMFIUlawStereo, mixMFIUlawStereo, nullptr},   // 8 mu-law stereo
};
