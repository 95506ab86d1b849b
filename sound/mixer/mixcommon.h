// Helpers shared by the mixing-routine units (mix_*.cpp). Not part of the
// mixer's interface.
//
// A routine reads the context of dsm.h into locals, loops, and stores the
// advanced source position and destination back. Source positions are 16.16
// offsets from dsmMixSample kept in a uint32_t so that stepping wraps instead
// of overflowing; the frame index is the arithmetic shift of the signed value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/mixer/dsm.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Frame index of a 16.16 source offset (negative when playing backward).
static inline ptrdiff_t frameIndex(uint32_t pos16) { return static_cast<int32_t>(pos16) >> 16; }

// Linear interpolation of a and b at fraction f (0..65535) of a frame, on a
// 65536 x sample scale: (65536 - f) a + f b. Per-frame and block routines
// share it, so they agree bit for bit.
static inline float interp16(float a, float b, uint32_t pos16)
{
    const uint32_t f = pos16 & 0xFFFF;
    return static_cast<float>(65536 - f) * a + static_cast<float>(f) * b;
}

// A 16-bit sample through an 8-bit volume table row, without a multiply:
// s = (hi' - 128) x 256 + (lo' - 128) with lo' = low byte + 128 and hi' =
// high byte + 128 + carry (both mod 256), so the contribution is
// T[hi'] + (T[lo'] >> 8). Both bytes come out of one 16-bit addition:
// (s + 0x8080) mod 65536 = hi' x 256 + lo'. The one carry that would wrap
// hi' (s >= 0x7F80) would flip the sign of a near full-scale value, so s is
// held at 0x7F7F first (hi' = lo' = 255, the largest value the split can
// express: 32639).
static inline unsigned splitIndex(int16_t s)
{
    const int32_t held = s < 0x7F7F ? s : 0x7F7F;
    return static_cast<uint16_t>(held + 0x8080);
}

static inline int32_t split16(const int32_t *table, int16_t s)
{
    const unsigned t = splitIndex(s);
    return table[t >> 8] + (table[t & 0xFF] >> 8);
}

// Integer product of a 16-bit sample and a 16-bit gain, >> 8 (arithmetic).
static inline int32_t mul16(int32_t s, int32_t gain)
{
    return static_cast<int32_t>(static_cast<uint32_t>(s) * static_cast<uint32_t>(gain)) >> 8;
}

// dest[0..3] += (a, b, c, d): one vector read-modify-write of four integer
// accumulators (wrapping, as the scalar sums do in practice).
static inline void addInt4(int32_t *dest, int32_t a, int32_t b, int32_t c, int32_t d)
{
#if defined(__SSE2__)
    const __m128i v = _mm_setr_epi32(a, b, c, d);
    const __m128i acc = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dest));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dest), _mm_add_epi32(acc, v));
#else
    dest[0] += a;
    dest[1] += b;
    dest[2] += c;
    dest[3] += d;
#endif
}

// A frame and its partner in one read, for the block routines (partner 1):
// two unsigned bytes as (partner << 8) | frame, two 16-bit samples as
// (partner << 16) | frame (little-endian).
static inline uint32_t pairU8(const uint8_t *p)
{
    uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

static inline uint32_t pairS16(const int16_t *p)
{
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

#if defined(__SSE2__)
// Four frames' fractions as interpolation weights: wb = f, wa = 65536 - f.
// Both are whole numbers below 2^17, so the float subtraction is exact and
// equals the conversion of the integer difference.
static inline void weights4(__m128i p4, __m128 *wa, __m128 *wb)
{
    *wb = _mm_cvtepi32_ps(_mm_and_si128(p4, _mm_set1_epi32(0xFFFF)));
    *wa = _mm_sub_ps(_mm_set1_ps(65536.0f), *wb);
}

// (65536 - f) a + f b for four frames, in the order of interp16.
static inline __m128 interpW4(__m128 wa, __m128 wb, __m128 a, __m128 b)
{
    return _mm_add_ps(_mm_mul_ps(wa, a), _mm_mul_ps(wb, b));
}

// Four words of pairU8 as the byte-to-float table values n x 256 - 32768
// (exact in float), frame values in *a, partners in *b.
static inline void unpackU8Pairs(__m128i w, __m128 *a, __m128 *b)
{
    const __m128i bias = _mm_set1_epi32(32768);
    *a = _mm_cvtepi32_ps(
        _mm_sub_epi32(_mm_slli_epi32(_mm_and_si128(w, _mm_set1_epi32(0xFF)), 8), bias));
    *b = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(w, _mm_set1_epi32(0xFF00)), bias));
}

// Four words of pairS16 as floats, frame values in *a, partners in *b.
static inline void unpackS16Pairs(__m128i w, __m128 *a, __m128 *b)
{
    *a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(w, 16), 16));
    *b = _mm_cvtepi32_ps(_mm_srai_epi32(w, 16));
}

// The 16.16 positions pos, pos + step, pos + 2 step, pos + 3 step.
static inline __m128i positions4(uint32_t pos, uint32_t step)
{
    return _mm_setr_epi32(static_cast<int>(pos), static_cast<int>(pos + step),
                          static_cast<int>(pos + 2 * step), static_cast<int>(pos + 3 * step));
}
#endif
