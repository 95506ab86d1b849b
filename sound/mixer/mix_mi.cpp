// Mono output, integer mixing. 8-bit and mu-law data add a row of the volume
// tables (out += TL[byte]); 16-bit data out += (s x vL) >> 8 per frame, and
// through the table split (no multiply, 33 volume levels) in the block
// routine. Stereo data adds both sides at the halved mono level.
#include "sound/mixer/mixcommon.h"

// ---- Per-frame routines ---------------------------------------------------

static void mixMITableMono(unsigned count, const int32_t *tl)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    for (unsigned n = 0; n < count; n++, dest++, pos += step)
        dest[0] += tl[smp[frameIndex(pos)]];
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMI8Mono(unsigned count, int) { mixMITableMono(count, dsmMixLeftVolTable); }

static void mixMIUlawMono(unsigned count, int) { mixMITableMono(count, dsmMixLeftUlawVolTable); }

static void mixMI16Mono(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt;
    for (unsigned n = 0; n < count; n++, dest++, pos += step)
        dest[0] += mul16(smp[frameIndex(pos)], vl);
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMITableStereo(unsigned count, const int32_t *tl)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const uint8_t *f = smp + 2 * frameIndex(pos);
        dest[0] += tl[f[0]] + tl[f[1]];
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMI8Stereo(unsigned count, int) { mixMITableStereo(count, dsmMixLeftVolTable); }

static void mixMIUlawStereo(unsigned count, int)
{
    mixMITableStereo(count, dsmMixLeftUlawVolTable);
}

static void mixMI16Stereo(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const int32_t vl = dsmMixLeftVolInt;
    for (unsigned n = 0; n < count; n++, dest++, pos += step) {
        const int16_t *f = smp + 2 * frameIndex(pos);
        dest[0] += mul16(f[0] + f[1], vl);
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// ---- Block routines: four frames per vector addition, then pairs -----------

static void mixMITableMonoBlock(unsigned count, const int32_t *tl)
{
    const uint8_t *smp = static_cast<const uint8_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step2 = 2 * step;
    unsigned n = 0;
    for (; n + 4 <= count; n += 4, dest += 4, pos += 4 * step)
        addInt4(dest, tl[smp[frameIndex(pos)]], tl[smp[frameIndex(pos + step)]],
                tl[smp[frameIndex(pos + 2 * step)]], tl[smp[frameIndex(pos + 3 * step)]]);
    for (; n < count; n += 2, dest += 2, pos += step2) {
        const int32_t v0 = tl[smp[frameIndex(pos)]];
        const int32_t v1 = tl[smp[frameIndex(pos + step)]];
        dest[0] += v0;
        dest[1] += v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

static void mixMI8MonoBlock(unsigned count, int) { mixMITableMonoBlock(count, dsmMixLeftVolTable); }

static void mixMIUlawMonoBlock(unsigned count, int)
{
    mixMITableMonoBlock(count, dsmMixLeftUlawVolTable);
}

static void mixMI16MonoBlock(unsigned count, int)
{
    const int16_t *smp = static_cast<const int16_t *>(dsmMixSample);
    int32_t *dest = static_cast<int32_t *>(dsmMixDest);
    uint32_t pos = static_cast<uint32_t>(dsmMixSrcPos);
    const uint32_t step = static_cast<uint32_t>(dsmMixStep);
    const uint32_t step2 = 2 * step;
    const int32_t *tl = dsmMixLeftVolTable;
    unsigned n = 0;
    for (; n + 4 <= count; n += 4, dest += 4, pos += 4 * step)
        addInt4(dest, split16(tl, smp[frameIndex(pos)]), split16(tl, smp[frameIndex(pos + step)]),
                split16(tl, smp[frameIndex(pos + 2 * step)]),
                split16(tl, smp[frameIndex(pos + 3 * step)]));
    for (; n < count; n += 2, dest += 2, pos += step2) {
        const int32_t v0 = split16(tl, smp[frameIndex(pos)]);
        const int32_t v1 = split16(tl, smp[frameIndex(pos + step)]);
        dest[0] += v0;
        dest[1] += v1;
    }
    dsmMixSrcPos = static_cast<int32_t>(pos);
    dsmMixDest = dest;
}

// Indexed by sample type; rows 1 and 2 are empty.
MixRoutine dsmMixMonoInteger[dsmRoutineEntries] = {
    {1, 1, nullptr, nullptr, nullptr},                   // 0 none
    {1, 2, mixMI8Mono, mixMI8MonoBlock, nullptr},        // 1 8-bit mono
    {1, 2, mixMI16Mono, mixMI16MonoBlock, nullptr},      // 2 16-bit mono
    {1, 1, mixMI8Stereo, mixMI8Stereo, nullptr},         // 3 8-bit stereo
    {1, 1, mixMI16Stereo, mixMI16Stereo, nullptr},       // 4 16-bit stereo
    {1, 1, nullptr, nullptr, nullptr},                   // 5 ADPCM mono
    {1, 1, nullptr, nullptr, nullptr},                   // 6 ADPCM stereo
    {1, 2, mixMIUlawMono, mixMIUlawMonoBlock, nullptr},  // 7 mu-law mono
    {1, 1, mixMIUlawStereo, mixMIUlawStereo, nullptr},   // 8 mu-law stereo
};
