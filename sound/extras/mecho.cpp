// Echo effects as post-processors of the mixer.
#include "sound/extras/mecho.h"

#include <cstring>
#include <type_traits>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

int mEchoInitialized = 0;
unsigned mEchoRate = 0;
int mEchoStereo = 0;
mEchoEffect *mEchoEffectList = nullptr;

// 16.16 to float.
static float fixToFloat(int32_t v) { return static_cast<float>(v) * (1.0f / 65536.0f); }

int mEchoBuildEffect(const EchoSet *set, unsigned rate, int stereo, mEchoEffect **effect)
{
    const unsigned numTaps = set->numEchoes;
    if (numTaps > 1024 || (numTaps > 0 && set->echoes == nullptr))
        return errInvalidArguments;

    // Frames of delay per tap. Computed in 64 bits: (ms / 1000) x rate wraps
    // 32 bits beyond about 1.5 seconds at 44100 Hz.
    uint64_t longest = 0;
    for (unsigned i = 0; i < numTaps; i++) {
        uint64_t d = (static_cast<uint64_t>(set->echoes[i].delay / 1000) * rate) >> 16;
        if (d > longest)
            longest = d;
    }
    uint64_t need = (stereo ? 2 * longest : longest) + 16;
    uint64_t length = 1;
    while (length < need)
        length <<= 1;
    // memAlloc takes an int of bytes.
    if (length > (1u << 28))
        return errOutOfMemory;

    mEchoEffect *e;
    int size = static_cast<int>(sizeof(mEchoEffect) + numTaps * sizeof(mEchoTapState));
    int error = memAlloc(size, reinterpret_cast<void **>(&e));
    if (error)
        return error;
    std::memset(e, 0, sizeof(mEchoEffect));
    e->taps = reinterpret_cast<mEchoTapState *>(e + 1);
    e->feedback = fixToFloat(set->feedback);
    e->gain = fixToFloat(set->gain);
    e->numTaps = numTaps;
    e->stereo = stereo;

    for (unsigned i = 0; i < numTaps; i++) {
        const EchoTap &src = set->echoes[i];
        mEchoTapState &t = e->taps[i];
        uint32_t d = static_cast<uint32_t>((static_cast<uint64_t>(src.delay / 1000) * rate) >> 16);
        if (!stereo) {
            t.leftOffset = t.rightOffset = d;
        } else if (!src.reverseChannels) {
            t.leftOffset = t.rightOffset = 2 * d;
        } else {
            // Left (even index 2f) reads the right value of frame f - d at
            // 2f - (2d - 1); right (2f + 1) reads the left value at
            // 2f + 1 - (2d + 1). With d = 0 the left offset is -1 modulo the
            // line: the right input of the same frame, written just before.
            t.leftOffset = 2 * d - 1;
            t.rightOffset = 2 * d + 1;
        }
        t.prevLeft = t.prevRight = 0.0f;
        float g = static_cast<float>(src.gain);
        switch (src.filterType) {
        case mEchoFilterLowPass:  // mean of this and the previous value
            t.curCoef = t.prevCoef = g * (1.0f / 131072.0f);
            break;
        case mEchoFilterHighPass:  // half the difference from the previous value
            t.curCoef = g * (1.0f / 131072.0f);
            t.prevCoef = -t.curCoef;
            break;
        default:
            t.curCoef = g * (1.0f / 65536.0f);
            t.prevCoef = 0.0f;
            break;
        }
    }

    error =
        memAlloc(static_cast<int>(length * sizeof(float)), reinterpret_cast<void **>(&e->buffer));
    if (error) {
        memFree(e);
        return error;
    }
    for (uint64_t i = 0; i < length; i++)
        e->buffer[i] = 0.0f;
    e->mask = static_cast<unsigned>(length - 1);
    e->writeIndex = 0;
    e->postProc.floatMono = mEchoFloatMono;
    e->postProc.floatStereo = mEchoFloatStereo;
    e->postProc.intMono = mEchoIntMono;
    e->postProc.intStereo = mEchoIntStereo;
    *effect = e;
    return errOK;
}

int mEchoFreeEffect(mEchoEffect *effect)
{
    int error = memFree(effect->buffer);
    int error2 = memFree(effect);
    return error ? error : error2;
}

// ---- Processing ---------------------------------------------------------
//
// Per frame and channel: the input x goes into the delay line; the output is
// y = x + the taps, each tap reading the line `offset` elements back (so a
// tap of d frames repeats what came in d frames ago) through its filter; y is
// clamped, scaled by the gain for the output, and x + feedback x y replaces x
// in the line.

static inline float clampEcho(float y)
{
    if (y > mEchoClamp)
        return mEchoClamp;
    if (y < -mEchoClamp)
        return -mEchoClamp;
    return y;
}

// Float to a 32-bit accumulator, truncating toward zero; a large gain may
// take the product past what an int holds.
static inline int32_t toAccumulator(float v)
{
    if (v >= 2147483520.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

template <typename Sample>
static void processMono(Sample *buf, unsigned frames, mEchoEffect *e)
{
    float *line = e->buffer;
    const unsigned mask = e->mask;
    unsigned w = e->writeIndex;
    for (unsigned f = 0; f < frames; f++) {
        float x = static_cast<float>(buf[f]);
        line[w] = x;
        float y = x;
        for (unsigned i = 0; i < e->numTaps; i++) {
            mEchoTapState &t = e->taps[i];
            float v = line[(w - t.leftOffset) & mask];
            y += t.prevCoef * t.prevLeft + t.curCoef * v;
            t.prevLeft = v;
        }
        y = clampEcho(y);
        if constexpr (std::is_floating_point_v<Sample>)
            buf[f] = e->gain * y;
        else
            buf[f] = toAccumulator(e->gain * y);
        line[w] = x + e->feedback * y;
        w = (w + 1) & mask;
    }
    e->writeIndex = w;
}

template <typename Sample>
static void processStereo(Sample *buf, unsigned frames, mEchoEffect *e)
{
    float *line = e->buffer;
    const unsigned mask = e->mask;
    unsigned w = e->writeIndex;  // always even: the left element of a frame
    for (unsigned f = 0; f < frames; f++) {
        float xl = static_cast<float>(buf[2 * f]);
        float xr = static_cast<float>(buf[2 * f + 1]);
        line[w] = xl;
        line[w + 1] = xr;
        float yl = xl, yr = xr;
        for (unsigned i = 0; i < e->numTaps; i++) {
            mEchoTapState &t = e->taps[i];
            float vl = line[(w - t.leftOffset) & mask];
            float vr = line[(w + 1 - t.rightOffset) & mask];
            yl += t.prevCoef * t.prevLeft + t.curCoef * vl;
            yr += t.prevCoef * t.prevRight + t.curCoef * vr;
            t.prevLeft = vl;
            t.prevRight = vr;
        }
        yl = clampEcho(yl);
        yr = clampEcho(yr);
        if constexpr (std::is_floating_point_v<Sample>) {
            buf[2 * f] = e->gain * yl;
            buf[2 * f + 1] = e->gain * yr;
        } else {
            buf[2 * f] = toAccumulator(e->gain * yl);
            buf[2 * f + 1] = toAccumulator(e->gain * yr);
        }
        line[w] = xl + e->feedback * yl;
        line[w + 1] = xr + e->feedback * yr;
        w = (w + 2) & mask;
    }
    e->writeIndex = w;
}

int mEchoFloatMono(void *buffer, unsigned frames, void *effect)
{
    processMono(static_cast<float *>(buffer), frames, static_cast<mEchoEffect *>(effect));
    return errOK;
}

int mEchoFloatStereo(void *buffer, unsigned frames, void *effect)
{
    processStereo(static_cast<float *>(buffer), frames, static_cast<mEchoEffect *>(effect));
    return errOK;
}

int mEchoIntMono(void *buffer, unsigned frames, void *effect)
{
    processMono(static_cast<int32_t *>(buffer), frames, static_cast<mEchoEffect *>(effect));
    return errOK;
}

int mEchoIntStereo(void *buffer, unsigned frames, void *effect)
{
    processStereo(static_cast<int32_t *>(buffer), frames, static_cast<mEchoEffect *>(effect));
    return errOK;
}

// ---- The effect list and the mixer's ring -------------------------------

int mEchoInit(void)
{
    if (mEchoInitialized)
        return errOK;
    int error = memAlloc(sizeof(mEchoEffect), reinterpret_cast<void **>(&mEchoEffectList));
    if (error)
        return error;
    std::memset(mEchoEffectList, 0, sizeof(mEchoEffect));
    mEchoEffectList->next = mEchoEffectList->prev = mEchoEffectList;
    mEchoRate = dsmMixRate;
    mEchoStereo = (dsmMode & dsmModeStereo) != 0;
    mEchoInitialized = 1;
    return errOK;
}

int mEchoAddEffect(EchoSet *set, mEchoEffect **effect)
{
    if (!mEchoInitialized)
        return errOK;
    mEchoEffect *e;
    int error = mEchoBuildEffect(set, mEchoRate, mEchoStereo, &e);
    if (error)
        return error;
    // Echoes run before the output filter, which sits at the back.
    if ((error = dsmAddPostProcessor(&e->postProc, 0, e)) != 0) {
        mEchoFreeEffect(e);
        return error;
    }
    e->next = mEchoEffectList->next;
    e->prev = mEchoEffectList;
    mEchoEffectList->next->prev = e;
    mEchoEffectList->next = e;
    *effect = e;
    return errOK;
}

int mEchoRemoveEffect(mEchoEffect *effect)
{
    if (!mEchoInitialized)
        return errOK;
    int error = dsmRemovePostProcessor(&effect->postProc);
    if (error)
        return error;
    effect->prev->next = effect->next;
    effect->next->prev = effect->prev;
    return mEchoFreeEffect(effect);
}

int mEchoClose(void)
{
    if (!mEchoInitialized)
        return errOK;
    int error;
    while (mEchoEffectList->next != mEchoEffectList)
        if ((error = mEchoRemoveEffect(mEchoEffectList->next)) != 0)
            return error;
    error = memFree(mEchoEffectList);
    mEchoEffectList = nullptr;
    mEchoInitialized = 0;
    return error;
}
