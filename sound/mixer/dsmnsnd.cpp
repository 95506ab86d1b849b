// The silent device.
#include "sound/mixer/dsmnsnd.h"

#include <sys/time.h>

#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"

enum { nsndRate = 4000 };

uint32_t (*nsndClock)(void) = GetTimeMS;
unsigned nsndUpdateMix = 0;
unsigned nsndMixLeft = 0;
unsigned nsndPlayElemsLeft = 0;
static uint32_t prevPlayTime;  // ms at the previous StartPlay
static unsigned nsndMasterVolume = 64;

static const char *const nsndCardNames[] = {"No Sound"};

uint32_t GetTimeMS(void)
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return uint32_t(uint64_t(tv.tv_sec) * 1000 + uint64_t(tv.tv_usec) / 1000);
}

int nsndDetect(int *result)
{
    *result = 1;
    return errOK;
}

int nsndInit(unsigned, unsigned)
{
    int error = dsmInit(nsndRate, dsmModeMono | dsmMode16bit, dsmDeviceOptions);
    if (error != errOK)
        return error;
    if ((error = nsndSetUpdRate(5000)) != errOK)
        return error;
    // Nothing is heard, so the mixer only advances the channels' positions.
    if ((error = dsmSetMasterVolume(0)) != errOK)
        return error;
    prevPlayTime = nsndClock();
    return errOK;
}

int nsndClose(void) { return dsmClose(); }

int nsndGetMode(unsigned *mode)
{
    *mode = sdMono | sd16bit;
    return errOK;
}

int nsndSetUpdRate(unsigned updateRate)
{
    nsndUpdateMix = ((nsndRate * 100 / updateRate) + 1) & ~1U;
    nsndMixLeft = nsndUpdateMix;
    return errOK;
}

int nsndStartPlay(void)
{
    uint32_t now = nsndClock();
    uint32_t elapsed = now - prevPlayTime;  // modulo 2^32: right across a wrap
    prevPlayTime = now;
    // After a long stall only two seconds are caught up; a poll within 9 ms
    // of the previous one owes nothing, and that time is not carried over.
    if (elapsed > 2000)
        elapsed = 2000;
    if (elapsed <= 9)
        elapsed = 0;
    nsndPlayElemsLeft = elapsed * (nsndRate / 1000);
    return errOK;
}

int nsndPlay(int *callPlayer)
{
    if (nsndPlayElemsLeft == 0) {
        *callPlayer = 0;
        return errOK;
    }
    unsigned n = nsndPlayElemsLeft < nsndMixLeft ? nsndPlayElemsLeft : nsndMixLeft;
    nsndPlayElemsLeft -= n;
    nsndMixLeft -= n;
    // Mixed in pieces of at most a quarter of the mixing buffer's bytes in
    // frames and thrown away. The output goes to a scratch block of our own
    // rather than over the accumulators.
    static int16_t discard[2048];
    unsigned piece = dsmMixBufferSize / 4;
    if (piece > sizeof discard / sizeof discard[0])
        piece = sizeof discard / sizeof discard[0];
    while (n > 0) {
        unsigned c = n < piece ? n : piece;
        int error = dsmMixData(c, discard);
        if (error != errOK)
            return error;
        n -= c;
    }
    if (nsndMixLeft == 0) {
        nsndMixLeft = nsndUpdateMix;
        *callPlayer = 1;
    } else {
        *callPlayer = 0;
    }
    return errOK;
}

int nsndSetMasterVolume(unsigned volume)
{
    nsndMasterVolume = volume;
    return errOK;
}

int nsndGetMasterVolume(unsigned *volume)
{
    *volume = nsndMasterVolume;
    return errOK;
}

constinit SoundDevice MixNoSound = dsmDevice({
    .playOncePerPoll = 0,
    .configFlags = 0x20,
    .modes = sdMono | sd16bit,
    .name = "Mixing No Sound Sound Device",
    .cardNames = nsndCardNames,
    .Detect = nsndDetect,
    .Init = nsndInit,
    .Close = nsndClose,
    .GetMode = nsndGetMode,
    .SetUpdRate = nsndSetUpdRate,
    .StartPlay = nsndStartPlay,
    .Play = nsndPlay,
});
