// The file-sink device.
#include "platform/audio/filesink.h"

#include <vector>

#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"

namespace {

AudioSink *sink = nullptr;
unsigned mixingKind = 0;
unsigned outputMode = sdStereo | sd16bit;
unsigned frameBytes = 4;
unsigned updateRate = 5000;  // player ticks per second, in hundredths
uint64_t tickRemainder = 0;  // frames * updateRate owed to the next tick
uint64_t framesMixed = 0;
bool evenTicks = false;
bool writeFailed = false;
std::vector<uint8_t> staging;

// Mixed and written in pieces of this many frames.
constexpr unsigned chunkFrames = 4096;

const char *const cardNames[] = {"File output"};

}  // namespace

void fsSetSink(AudioSink *s) { sink = s; }
void fsSetMixingMode(unsigned mixing) { mixingKind = mixing; }
void fsSetDeviceTicks(bool deviceTicks) { evenTicks = deviceTicks; }
uint64_t fsFramesMixed(void) { return framesMixed; }
bool fsWriteFailed(void) { return writeFailed; }

int fsDetect(int *result)
{
    *result = 1;
    return errOK;
}

int fsInit(unsigned mixRate, unsigned mode)
{
    // As the OSS device reads its mode word: mono only when asked, 8-bit only
    // when asked.
    bool stereo = !(mode & sdMono);
    bool bits16 = !(mode & sd8bit);
    outputMode = (stereo ? sdStereo : sdMono) | (bits16 ? sd16bit : sd8bit);
    frameBytes = (stereo ? 2 : 1) * (bits16 ? 2 : 1);
    unsigned m = (stereo ? dsmModeStereo : dsmModeMono) | (bits16 ? dsmMode16bit : dsmMode8bit) |
                 mixingKind;
    int error = dsmInit(mixRate, m, dsmDeviceOptions);
    if (error != errOK)
        return error;
    staging.assign(size_t(chunkFrames) * frameBytes, 0);
    framesMixed = 0;
    writeFailed = false;
    tickRemainder = 0;
    return fsSetUpdRate(5000);
}

int fsClose(void)
{
    staging.clear();
    staging.shrink_to_fit();
    return dsmClose();
}

int fsGetMode(unsigned *mode)
{
    *mode = outputMode;
    return errOK;
}

int fsSetUpdRate(unsigned rate)
{
    if (rate == 0)
        return errInvalidArguments;
    updateRate = rate;
    return errOK;
}

int fsStartPlay(void) { return errOK; }

int fsPlay(int *callPlayer)
{
    // A tick is mixRate * 100 / updateRate frames; the fraction left over
    // carries into the next tick, so that renders keep the song's tempo to
    // the frame.
    unsigned left;
    if (evenTicks) {
        left = ((dsmMixRate * 100 / updateRate) + 1) & ~1U;
    } else {
        tickRemainder += uint64_t(dsmMixRate) * 100;
        left = unsigned(tickRemainder / updateRate);
        tickRemainder %= updateRate;
    }
    while (left > 0) {
        unsigned n = left < chunkFrames ? left : chunkFrames;
        int error = dsmMixData(n, staging.data());
        if (error != errOK)
            return error;
        if (sink && !sink->write(staging.data(), size_t(n) * frameBytes))
            writeFailed = true;
        framesMixed += n;
        left -= n;
    }
    *callPlayer = 1;
    return errOK;
}

constinit SoundDevice FileSink = dsmDevice({
    .playOncePerPoll = 1,  // one tick per poll
    .configFlags = 0x38,
    .modes = sdMono | sdStereo | sd8bit | sd16bit,
    .name = "File Sink Sound Device",
    .cardNames = cardNames,
    .Detect = fsDetect,
    .Init = fsInit,
    .Close = fsClose,
    .GetMode = fsGetMode,
    .SetUpdRate = fsSetUpdRate,
    .StartPlay = fsStartPlay,
    .Play = fsPlay,
});
