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

#include "sound/mixer/dsm.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Frame index of a 16.16 source offset (negative when playing backward).
static inline ptrdiff_t frameIndex(uint32_t pos16)
{
    return static_cast<int32_t>(pos16) >> 16;
}

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
// T[hi'] + (T[lo'] >> 8). The one carry that would wrap hi' (s >= 0x7F80)
// is held at hi' = lo' = 255, i.e. s = 32639, instead of flipping the sign
// of a near full-scale value.
static inline int32_t split16(const int32_t *table, int16_t s)
{
    const uint32_t u = static_cast<uint16_t>(s);
    uint32_t lo = (u & 0xFF) + 128;
    uint32_t hi = ((u >> 8) + 128) & 0xFF;
    hi += lo >> 8;
    lo &= 0xFF;
    if (hi > 255) {
        hi = 255;
        lo = 255;
    }
    return table[hi] + (table[lo] >> 8);
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
