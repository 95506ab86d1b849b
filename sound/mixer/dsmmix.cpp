// Buffer mixing: dsmMixData and dsmMixChannel. A channel's sound is cut
// into segments that end at the next event (sample end, loop end,
// bidirectional loop start, stream write position); each segment goes to the
// mixing routines, then the event is handled.
//
// Positions inside this unit are 48.16 fixed point in an int64_t (pos16):
// whole frames above bit 16, the fraction below. The routines themselves see
// 16.16 offsets from the segment start, which the 32767-frame cap on a
// segment keeps inside 32 bits.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "sound/mixer/dsm.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void *dsmMixDest;
const void *dsmMixSample;
int32_t dsmMixSrcPos;
int32_t dsmMixStep;
float dsmMixLeftVolFloat, dsmMixRightVolFloat;
int32_t dsmMixLeftVolInt, dsmMixRightVolInt;
const int32_t *dsmMixLeftVolTable, *dsmMixRightVolTable;
const int32_t *dsmMixLeftUlawVolTable, *dsmMixRightUlawVolTable;

static constexpr int64_t ONE16 = 65536;              // one frame in pos16
static constexpr int64_t MAX_DISTANCE = 0x7FFF0000;  // 32767 frames
// A step this large already skips 32767 frames per output frame; capping it
// keeps a negated step and every routine offset inside 32 bits.
static constexpr int64_t MAX_STEP = 0x7FFF0000;

static int isStereoData(int type)
{
    return type == smp8bitStereo || type == smp16bitStereo || type == smpUlawStereo;
}

static int isStream(const MixChannel *c) { return c->sampleHandle == dsmStreamHandle; }

static unsigned writePosition(MixChannel *c)
{
    return std::atomic_ref<unsigned>(c->streamWritePos).load(std::memory_order_acquire);
}

struct LoopValues {
    int64_t start, end;  // frames
    int type;
};

static LoopValues currentLoop(const MixChannel *c)
{
    if (c->loopNum == 2)
        return {c->loop2Start, c->loop2End, c->loop2Type};
    return {c->loop1Start, c->loop1End, c->loop1Type};
}

// Whole frames to a distance in pos16, capped at 32767 frames.
static int64_t forwardDistance(int64_t whole, int64_t frac)
{
    if (whole > 32767)
        return MAX_DISTANCE;
    return whole * ONE16 - frac;
}

// Distance in pos16 to the next event; sets the partner offset of the segment
// and remembers the position the segment starts from.
static int64_t nextEventDistance(MixChannel *c, int64_t pos16)
{
    const int interp = (dsmMode & dsmModeInterp) != 0;
    const int64_t pos = pos16 >> 16;
    const int64_t frac = pos16 & 0xFFFF;
    const LoopValues loop = currentLoop(c);
    c->partner = 1;
    c->prevPos = static_cast<unsigned>(pos);

    if (isStream(c)) {
        const int64_t wp = writePosition(c);
        if (pos <= wp && wp <= loop.end) {
            if (pos >= wp)
                return 0;
            if (!interp)
                return forwardDistance(wp - pos, frac);
            if (wp - pos > 1)
                return forwardDistance(wp - 1 - pos, frac);
            c->partner = 0;
            return forwardDistance(1, frac);
        }
    }

    switch (loop.type) {
    case loopNone: {
        const int64_t left = c->length - pos;
        if (interp && left <= 1) {
            c->partner = 0;
            return forwardDistance(left, frac);
        }
        return forwardDistance(interp ? left - 1 : left, frac);
    }
    case loopUnidir:
    case loopBidir:
        if (c->direction == -1 && loop.type == loopBidir) {
            int64_t whole = pos - loop.start;
            if (interp && pos == loop.end - 1) {
                // The last frame of the loop has no partner above it. A
                // one-frame loop has no frame below it either: whole stays
                // 0 there, or the run would read the frame before the start.
                if (whole > 1)
                    whole = 1;
                c->partner = 0;
            }
            if (whole > 32766)
                return MAX_DISTANCE;
            return whole * ONE16 + frac;
        } else {
            const int64_t left = loop.end - pos;
            if (interp && left <= 1) {
                // The last frame of the loop interpolates towards the loop
                // start (forward) or with itself (bidirectional).
                c->partner = loop.type == loopUnidir ? static_cast<int>(loop.start - pos) : 0;
                return forwardDistance(left, frac);
            }
            return forwardDistance(interp ? left - 1 : left, frac);
        }
    default: return 0;
    }
}

static void callLoopCallback(MixChannel *c)
{
    if (c->loopCallback != nullptr)
        c->loopCallback(static_cast<unsigned>(c - dsmChannels));
}

// Takes a pending sample change at the end of an Amiga-mode sample.
// Returns 1 when the channel goes on.
static int tryAmigaChange(MixChannel *c, int64_t *pos16, int *stop)
{
    if (!c->sampleChanged)
        return 0;
    if (c->loopMode != sdLoopAmigaNone && c->loopMode != sdLoopAmiga)
        return 0;
    if (c->sampleHandle < 1 || c->sampleHandle > dsmMaxSamples ||
        !dsmSamples[c->sampleHandle - 1].inUse)
        return 0;
    const int newMode = dsmSamples[c->sampleHandle - 1].loopMode;
    if (newMode != sdLoopAmigaNone && newMode != sdLoopAmiga)
        return 0;
    dsmChangeSample(c);
    c->loopNum = 1;
    c->direction = 1;
    if (c->loopMode == sdLoopAmiga && c->loop1Type != loopNone) {
        *pos16 = static_cast<int64_t>(c->loop1Start) << 16;
        *stop = 0;
    } else {
        c->status = dsmChEnded;
        *stop = 1;
    }
    return 1;
}

// Handles the event at the end of a segment. Returns 1 to stop mixing the
// channel in this call.
static int handleEnd(MixChannel *c, int64_t *pos16)
{
    const int64_t pos = *pos16 >> 16;
    const int64_t frac = *pos16 & 0xFFFF;
    const LoopValues loop = currentLoop(c);
    int stop = 0;

    if (isStream(c)) {
        const int64_t wp = writePosition(c);
        if (pos >= wp && wp == loop.end)
            return 1;  // waits for data
    }

    if (loop.type == loopNone) {
        if (pos < static_cast<int64_t>(c->length))
            return 0;
        if (tryAmigaChange(c, pos16, &stop))
            return stop;
        c->status = dsmChEnded;
        return 1;
    }
    if (loop.type != loopUnidir && loop.type != loopBidir)
        return 1;

    if (c->direction == -1) {
        if (pos > loop.start || (pos == loop.start && frac != 0))
            return 0;
        callLoopCallback(c);
        // Reflect about the loop start: 2 x start - old - 1/65536.
        const int64_t reflected = 2 * (loop.start << 16) - *pos16 - 1;
        c->direction = 1;
        if ((reflected >> 16) >= loop.end) {
            *pos16 = loop.start << 16;
            return 1;
        }
        *pos16 = reflected;
        return 0;
    }

    if (pos < loop.end) {
        if (isStream(c)) {
            const int64_t wp = writePosition(c);
            if (pos >= wp && static_cast<int64_t>(c->prevPos) <= wp)
                return 1;  // crossed the write position in this segment
        }
        return 0;
    }

    callLoopCallback(c);
    if (tryAmigaChange(c, pos16, &stop))
        return stop;
    if (c->loopNum == 1 && c->status == dsmChReleased) {
        c->loopNum = 2;
        return 0;
    }
    if (loop.type == loopUnidir) {
        *pos16 -= (loop.end - loop.start) << 16;
        if ((*pos16 >> 16) < loop.end)
            return 0;
        *pos16 = loop.start << 16;
        return 1;
    }
    // Reflect about the loop end: 2 x end - old - 1/65536.
    const int64_t reflected = 2 * (loop.end << 16) - *pos16 - 1;
    c->direction = -1;
    if ((reflected >> 16) > loop.start) {
        *pos16 = reflected;
        return 0;
    }
    // Not even one frame of room: park on the last frame of the loop (frame
    // loop.end itself may lie past the data).
    *pos16 = (loop.end << 16) - 1;
    return 1;
}

// Effective gains of the channel's current volumes for the routines.
static void setMixVolumes(const MixChannel *c)
{
    const int stereoOut = (dsmMode & dsmModeStereo) != 0;
    const int surround = stereoOut && c->panning == panSurround;
    const unsigned n = dsmNumChannels != 0 ? dsmNumChannels : 1;
    if (dsmMode & dsmModeFloat) {
        const float f =
            static_cast<float>(dsmAmplification) / (static_cast<float>(n) * 268435456.0f);
        float left = f * static_cast<float>(c->leftVol);
        float right = f * static_cast<float>(c->rightVol);
        if (!stereoOut && isStereoData(c->sampleType))
            left *= 0.5f;
        dsmMixLeftVolFloat = left;
        dsmMixRightVolFloat = surround ? -right : right;
        return;
    }
    // Integer: 16-bit gain (A x V / N) >> 20 in unsigned 32-bit arithmetic,
    // used as (sample x gain) >> 8; table level 0..32 for 8-bit and mu-law.
    auto gain = [n](unsigned v) { return static_cast<int32_t>((dsmAmplification * v / n) >> 20); };
    auto level = [](unsigned v) { return std::min((((v >> 16) + 1) >> 1), 32u); };
    unsigned left = static_cast<unsigned>(c->leftVol);
    unsigned right = static_cast<unsigned>(c->rightVol);
    unsigned levelL, levelR;
    if (stereoOut) {
        levelL = level(left);
        levelR = level(right);
    } else if (isStereoData(c->sampleType)) {
        left >>= 1;
        right = left;
        levelL = levelR = level(left);
    } else {
        right = left;
        levelL = levelR = std::min((left + 1) >> 17, 32u);
    }
    dsmMixLeftVolInt = gain(left);
    dsmMixRightVolInt = surround ? -gain(right) : gain(right);
    dsmMixLeftVolTable = dsmVolumeTable + levelL * 256;
    dsmMixRightVolTable = dsmVolumeTable + levelR * 256;
    dsmMixLeftUlawVolTable = dsmUlawVolumeTable + levelL * 256;
    dsmMixRightUlawVolTable = dsmUlawVolumeTable + levelR * 256;
}

// One output frame of volume ramping.
static void rampVolumes(MixChannel *c)
{
    auto toward = [](int cur, int target, int step) {
        if (cur < target)
            return cur + std::min(step, target - cur);
        return cur - std::min(step, cur - target);
    };
    c->leftVol = toward(c->leftVol, c->leftVolTarget, c->leftRampStep);
    c->rightVol = toward(c->rightVol, c->rightVolTarget, c->rightRampStep);
    c->ramping = c->leftVol != c->leftVolTarget || c->rightVol != c->rightVolTarget;
}

static const MixRoutine *pickRoutine(const MixRoutine *routines, const MixChannel *c)
{
    const int type = c->sampleType;
    if (type < 0 || type >= smpNumTypes)
        return nullptr;
    if (c->panning == panMiddle && routines[9 + type].mixFrame != nullptr)
        return &routines[9 + type];
    if (c->panning == panSurround && routines[18 + type].mixFrame != nullptr)
        return &routines[18 + type];
    return routines[type].mixFrame != nullptr ? &routines[type] : nullptr;
}

int dsmMixChannel(unsigned channel, MixRoutine *routines, unsigned frames, void *buffer)
{
    MixChannel *c = &dsmChannels[channel];
    if (c->rate == 0 || c->sample == nullptr || c->location == 0 || c->length == 0)
        return 0;
    const unsigned outValues = (dsmMode & dsmModeStereo) ? 2 : 1;
    // Step = rate / mixRate in 16.16.
    int64_t step = (static_cast<int64_t>(c->rate / dsmMixRate) << 16) +
                   (static_cast<int64_t>(c->rate % dsmMixRate) << 16) / dsmMixRate;
    step = std::min(step, MAX_STEP);
    if (step == 0)
        return 0;  // a rate far below the mixing rate never advances

    int64_t pos16 = (static_cast<int64_t>(c->playPos) << 16) | c->playPosLow;
    char *dest = static_cast<char *>(buffer);
    unsigned remaining = frames;
    int lastWasZero = 0;
    while (remaining > 0) {
        if (c->status < dsmChPlaying)
            break;
        const MixRoutine *entry = pickRoutine(routines, c);
        if (entry == nullptr || c->sample == nullptr || c->location == 0) {
            c->status = dsmChEnded;  // nothing mixable: never started on such data
            break;
        }
        const int64_t distance = nextEventDistance(c, pos16);
        int64_t count64 = distance <= 0 ? 0 : (distance + step - 1) / step;
        const unsigned count = static_cast<unsigned>(std::min<int64_t>(count64, remaining));
        if (count == 0) {
            if (lastWasZero)
                break;
            lastWasZero = 1;
        } else {
            lastWasZero = 0;
            const int32_t signedStep = static_cast<int32_t>(c->direction == -1 ? -step : step);
            dsmMixSample = static_cast<const char *>(c->sample) +
                           static_cast<size_t>(pos16 >> 16) * (1u << dsmFrameShift(c->sampleType));
            dsmMixSrcPos = static_cast<int32_t>(pos16 & 0xFFFF);
            dsmMixStep = signedStep;
            dsmMixDest = dest;
            unsigned left = count;
            while (left > 0 && c->ramping) {
                setMixVolumes(c);
                entry->mixFrame(1, c->partner);
                rampVolumes(c);
                left--;
            }
            if (left > 0) {
                if (c->leftVol != 0 || c->rightVol != 0) {
                    setMixVolumes(c);
                    if (c->partner != 1) {
                        entry->mixFrame(left, c->partner);
                    } else {
                        const unsigned block = left - left % entry->blockSize;
                        if (block > 0)
                            entry->mixBlock(block, 1);
                        if (left > block)
                            entry->mixFrame(left - block, 1);
                    }
                } else if (c->status == dsmChFading) {
                    c->status = dsmChStopped;
                    c->ramping = 0;
                }
            }
            pos16 += static_cast<int64_t>(count) * signedStep;
            dest += static_cast<size_t>(count) * outValues * 4;
            remaining -= count;
        }
        const int stop = handleEnd(c, &pos16);
        if (pos16 < 0)
            pos16 = 0;  // only a reflection about a loop start at 0 can undershoot
        // Release: a stream writer that sees this position reuses the bytes
        // behind it, so our reads of them must be ordered before the store.
        std::atomic_ref<unsigned>(c->playPos)
            .store(static_cast<unsigned>(pos16 >> 16), std::memory_order_release);
        c->playPosLow = static_cast<unsigned>(pos16 & 0xFFFF);
        if (stop)
            break;
    }
    return 0;
}

void dsmClearBufferInt(unsigned frames)
{
    const unsigned values = (dsmMode & dsmModeStereo) ? 2 * frames : frames;
    std::memset(dsmMixBuffer, 0, values * sizeof(int32_t));
}

void dsmClearBufferFloat(unsigned frames)
{
    const unsigned values = (dsmMode & dsmModeStereo) ? 2 * frames : frames;
    float *b = static_cast<float *>(dsmMixBuffer);
    for (unsigned i = 0; i < values; i++)
        b[i] = 0.0f;
}

void dsmConvertInt16(unsigned values, void *dest)
{
    const int32_t *src = static_cast<const int32_t *>(dsmMixBuffer);
    int16_t *out = static_cast<int16_t *>(dest);
    for (unsigned i = 0; i < values; i++)
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(src[i], -32768, 32767));
}

void dsmConvertInt8(unsigned values, void *dest)
{
    const int32_t *src = static_cast<const int32_t *>(dsmMixBuffer);
    uint8_t *out = static_cast<uint8_t *>(dest);
    for (unsigned i = 0; i < values; i++)
        out[i] = static_cast<uint8_t>(std::clamp<int32_t>(src[i] >> 8, -128, 127) + 128);
}

void dsmConvertFloat16(unsigned values, void *dest)
{
    const float *src = static_cast<const float *>(dsmMixBuffer);
    int16_t *out = static_cast<int16_t *>(dest);
    unsigned i = 0;
#if defined(__SSE2__)
    // Eight values at a time, the same results as the loop below: the
    // operand order of max/min passes a NaN through as std::clamp does, the
    // conversion rounds in the current mode as lrint does, and the 16-bit
    // result is the low half of the 32-bit one (shift and sign extension
    // before the saturating pack), as the cast takes it.
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    for (; i + 8 <= values; i += 8) {
        const __m128 a = _mm_min_ps(hi, _mm_max_ps(lo, _mm_loadu_ps(src + i)));
        const __m128 b = _mm_min_ps(hi, _mm_max_ps(lo, _mm_loadu_ps(src + i + 4)));
        const __m128i ia = _mm_srai_epi32(_mm_slli_epi32(_mm_cvtps_epi32(a), 16), 16);
        const __m128i ib = _mm_srai_epi32(_mm_slli_epi32(_mm_cvtps_epi32(b), 16), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(ia, ib));
    }
#endif
    for (; i < values; i++) {
        // Clamped before the conversion so that no float is out of int range.
        const float v = std::clamp(src[i], -32768.0f, 32767.0f);
        out[i] = static_cast<int16_t>(std::lrint(v));
    }
}

void dsmConvertFloat8(unsigned values, void *dest)
{
    const float *src = static_cast<const float *>(dsmMixBuffer);
    uint8_t *out = static_cast<uint8_t *>(dest);
    for (unsigned i = 0; i < values; i++) {
        const float v = std::clamp(src[i], -2147483648.0f, 2147483520.0f);
        const int32_t t = static_cast<int32_t>(v);  // truncates toward zero
        out[i] = static_cast<uint8_t>(std::clamp<int32_t>(t >> 8, -128, 127) + 128);
    }
}

int dsmMixData(unsigned frames, void *dest)
{
    if (dsmMixBuffer == nullptr)
        return 0;
    const int stereo = (dsmMode & dsmModeStereo) != 0;
    const int isFloat = (dsmMode & dsmModeFloat) != 0;
    const int out16 = (dsmMode & dsmMode16bit) != 0;
    const unsigned maxFrames = dsmMixBufferSize / (stereo ? 8 : 4);
    char *out = static_cast<char *>(dest);
    while (frames > 0) {
        const unsigned c = std::min(frames, maxFrames);
        if (isFloat)
            dsmClearBufferFloat(c);
        else
            dsmClearBufferInt(c);
        if (!dsmPaused && dsmChPlay && dsmNumChannels != 0)
            for (unsigned ch = 0; ch < dsmAllocatedChannels; ch++)
                dsmMixChannel(ch, dsmActMixRoutines, c, dsmMixBuffer);
        if (dsmPostProcList != nullptr) {
            PostProcessor *pp = dsmPostProcList->next;
            while (pp != dsmPostProcList) {
                PostProcessor *next = pp->next;  // pp may unlink itself
                dsmPostProcFunc fn = isFloat ? (stereo ? pp->floatStereo : pp->floatMono)
                                             : (stereo ? pp->intStereo : pp->intMono);
                if (fn != nullptr)
                    fn(dsmMixBuffer, c, pp->userData);
                pp = next;
            }
        }
        const unsigned values = stereo ? 2 * c : c;
        if (isFloat) {
            if (out16)
                dsmConvertFloat16(values, out);
            else
                dsmConvertFloat8(values, out);
        } else {
            if (out16)
                dsmConvertInt16(values, out);
            else
                dsmConvertInt8(values, out);
        }
        out += static_cast<size_t>(values) * (out16 ? 2 : 1);
        frames -= c;
    }
    return 0;
}
