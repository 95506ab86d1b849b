// Stereo output, integer mixing. 8-bit and mu-law data add rows of the
// volume tables (left += TL[byte], right += TR[byte]); 16-bit data
// (s x v) >> 8 per frame and the table split in the block routines.
//
// Three rows: general; middle (panning 0: one value, added to both sides);
// surround (panning 128: the right value is subtracted; for 16-bit data the
// per-frame routines get a negated right gain instead).
#include "sound/mixer/mixcommon.h"

// Side of the right channel: +1 normally, -1 for surround.
enum { RIGHT_ADD = 1, RIGHT_SUB = -1 };

// ---- Per-frame routines ---------------------------------------------------

static inline void mixSITableMono(unsigned count, const int32_t *tl, const int32_t *tr, int side)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const uint8_t b = smp[frameIndex(pos)];
        dest[0] += tl[b];
        dest[1] += side * tr[b];
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static inline void mixSITableStereo(unsigned count, const int32_t *tl, const int32_t *tr, int side)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const uint8_t *f = smp + 2 * frameIndex(pos);
        dest[0] += tl[f[0]];
        dest[1] += side * tr[f[1]];
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSI8Mono(unsigned count, int)
{
    mixSITableMono(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_ADD);
}

static void mixSIUlawMono(unsigned count, int)
{
    mixSITableMono(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_ADD);
}

static void mixSI8Stereo(unsigned count, int)
{
    mixSITableStereo(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_ADD);
}

static void mixSIUlawStereo(unsigned count, int)
{
    mixSITableStereo(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_ADD);
}

// Surround twins: the right value is subtracted.
static void mix8MonoS(unsigned count, int)
{
    mixSITableMono(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_SUB);
}

static void mixUlawMonoS(unsigned count, int)
{
    mixSITableMono(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_SUB);
}

static void mix8StereoS(unsigned count, int)
{
    mixSITableStereo(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_SUB);
}

static void mixUlawStereoS(unsigned count, int)
{
    mixSITableStereo(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_SUB);
}

// Middle twins: one value from the left row, added to both sides.
static inline void mixSITableMonoM(unsigned count, const int32_t *tl)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int32_t v = tl[smp[frameIndex(pos)]];
        dest[0] += v;
        dest[1] += v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mix8MonoM(unsigned count, int) { mixSITableMonoM(count, dsmMixLeftVolTable); }

static void mixUlawMonoM(unsigned count, int) { mixSITableMonoM(count, dsmMixLeftUlawVolTable); }

// 16-bit data: the right gain arrives negated for surround.
static void mixSI16Mono(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt, vr = dsmMixRightVolInt;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int32_t s = smp[frameIndex(pos)];
        dest[0] += mul16(s, vl);
        dest[1] += mul16(s, vr);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSI16Stereo(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt, vr = dsmMixRightVolInt;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += mul16(f[0], vl);
        dest[1] += mul16(f[1], vr);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines -----------------------------------------------------------

// Byte data, four frames per iteration, two vector additions. side: RIGHT_ADD or RIGHT_SUB; a
// null tr means middle (the left value on both sides).
static inline void mixSITableMonoBlock(unsigned count, const int32_t *tl, const int32_t *tr,
                                       int side)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step4 = 4 * step;
    for (unsigned n = 0; n < count; n += 4, dest += 8, pos += step4) {
        const uint8_t b0 = smp[frameIndex(pos)];
        const uint8_t b1 = smp[frameIndex(pos + step)];
        const uint8_t b2 = smp[frameIndex(pos + 2 * step)];
        const uint8_t b3 = smp[frameIndex(pos + 3 * step)];
        if (tr == nullptr) {
            const int32_t v0 = tl[b0], v1 = tl[b1], v2 = tl[b2], v3 = tl[b3];
            addInt4(dest, v0, v0, v1, v1);
            addInt4(dest + 4, v2, v2, v3, v3);
        } else {
            addInt4(dest, tl[b0], side * tr[b0], tl[b1], side * tr[b1]);
            addInt4(dest + 4, tl[b2], side * tr[b2], tl[b3], side * tr[b3]);
        }
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSI8MonoBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_ADD);
}

static void mixSIUlawMonoBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_ADD);
}

static void mix8MonoMBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftVolTable, nullptr, RIGHT_ADD);
}

static void mixUlawMonoMBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftUlawVolTable, nullptr, RIGHT_ADD);
}

static void mix8MonoSBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_SUB);
}

static void mixUlawMonoSBlock(unsigned count, int)
{
    mixSITableMonoBlock(count, dsmMixLeftUlawVolTable, dsmMixRightUlawVolTable, RIGHT_SUB);
}

// 16-bit data through the table split, any count: pairs of frames with one
// vector addition, then a last odd frame. A null tr means middle.
static inline void mixSI16MonoSplit(unsigned count, const int32_t *tl, const int32_t *tr, int side)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    unsigned n = 0;
    for (; n + 2 <= count; n += 2, dest += 4, pos += 2 * step) {
        const int16_t s0 = smp[frameIndex(pos)];
        const int16_t s1 = smp[frameIndex(pos + step)];
        const int32_t l0 = split16(tl, s0), l1 = split16(tl, s1);
        if (tr == nullptr)
            addInt4(dest, l0, l0, l1, l1);
        else
            addInt4(dest, l0, side * split16(tr, s0), l1, side * split16(tr, s1));
    }
    for (; n < count; n++, dest += 2, pos += step) {
        const int16_t s = smp[frameIndex(pos)];
        const int32_t l = split16(tl, s);
        dest[0] += l;
        dest[1] += tr == nullptr ? l : side * split16(tr, s);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static inline void mixSI16StereoSplit(unsigned count, const int32_t *tl, const int32_t *tr,
                                      int side)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    unsigned n = 0;
    for (; n + 2 <= count; n += 2, dest += 4, pos += 2 * step) {
        const int16_t *f0 = smp + 2 * frameIndex(pos);
        const int16_t *f1 = smp + 2 * frameIndex(pos + step);
        addInt4(dest, split16(tl, f0[0]), side * split16(tr, f0[1]), split16(tl, f1[0]),
                side * split16(tr, f1[1]));
    }
    for (; n < count; n++, dest += 2, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += split16(tl, f[0]);
        dest[1] += side * split16(tr, f[1]);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixSI16MonoBlock(unsigned count, int)
{
    mixSI16MonoSplit(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_ADD);
}

static void mix16MonoMBlock(unsigned count, int)
{
    mixSI16MonoSplit(count, dsmMixLeftVolTable, nullptr, RIGHT_ADD);
}

static void mix16MonoSBlock(unsigned count, int)
{
    mixSI16MonoSplit(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_SUB);
}

static void mixSI16StereoBlock(unsigned count, int)
{
    mixSI16StereoSplit(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_ADD);
}

// Middle: both sides at the left level.
static void mix16StereoMBlock(unsigned count, int)
{
    mixSI16StereoSplit(count, dsmMixLeftVolTable, dsmMixLeftVolTable, RIGHT_ADD);
}

static void mix16StereoSBlock(unsigned count, int)
{
    mixSI16StereoSplit(count, dsmMixLeftVolTable, dsmMixRightVolTable, RIGHT_SUB);
}

// Middle per-frame twin of 16-bit stereo data: both sides with the left gain.
static void mix16StereoM(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += mul16(f[0], vl);
        dest[1] += mul16(f[1], vl);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Middle per-frame twin of 16-bit mono data: one product on both sides.
static void mix16MonoM(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt;
    for (unsigned n = 0; n < count; n++, dest += 2, pos += step) {
        const int32_t v = mul16(smp[frameIndex(pos)], vl);
        dest[0] += v;
        dest[1] += v;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by row x 9 + sample type.
MixRoutine dsmMixStereoInteger[dsmRoutineEntries] = {
    // Row 0: general.
    {1, 1, nullptr, nullptr, nullptr},                   // 0 none
    {1, 4, mixSI8Mono, mixSI8MonoBlock, nullptr},        // 1 8-bit mono
    {1, 1, mixSI16Mono, mixSI16MonoBlock, nullptr},      // 2 16-bit mono
    {1, 1, mixSI8Stereo, mixSI8Stereo, nullptr},         // 3 8-bit stereo
    {1, 1, mixSI16Stereo, mixSI16StereoBlock, nullptr},  // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                   // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                   // 6 ADPCM stereo
    {1, 4, mixSIUlawMono, mixSIUlawMonoBlock, nullptr},  // 7 mu-law mono
    {1, 1, mixSIUlawStereo, mixSIUlawStereo, nullptr},   // 8 mu-law stereo
    // Row 1: middle.
    {1, 1, nullptr, nullptr, nullptr},
    {1, 4, mix8MonoM, mix8MonoMBlock, nullptr},
    {1, 1, mix16MonoM, mix16MonoMBlock, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    {1, 1, mix16StereoM, mix16StereoMBlock, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    {1, 4, mixUlawMonoM, mixUlawMonoMBlock, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    // Row 2: surround.
    {1, 1, nullptr, nullptr, nullptr},
    {1, 4, mix8MonoS, mix8MonoSBlock, nullptr},
    {1, 1, mixSI16Mono, mix16MonoSBlock, nullptr},
    {1, 1, mix8StereoS, mix8StereoS, nullptr},
    {1, 1, mixSI16Stereo, mix16StereoSBlock, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    {1, 1, nullptr, nullptr, nullptr},
    {1, 4, mixUlawMonoS, mixUlawMonoSBlock, nullptr},
    {1, 1, mixUlawStereoS, mixUlawStereoS, nullptr},
};
