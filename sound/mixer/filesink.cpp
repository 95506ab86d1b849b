// The file-sink device.
#include "sound/mixer/filesink.h"

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/mixer/dsm.h"

namespace {

fsWriteFn writer = nullptr;
void *writerData = nullptr;
uint8_t *roomBuffer = nullptr;
unsigned roomFrames = 0;
unsigned mixingKind = 0;
bool evenTicks = false;

unsigned outputMode = sdStereo | sd16bit;
unsigned frameBytes = 4;
unsigned updateRate = 5000;  // player ticks per second, in hundredths
uint64_t tickRemainder = 0;  // frames * updateRate owed to the next tick
unsigned tickLeft = 0;       // frames of the current tick still to mix; 0: not started
uint64_t framesMixed = 0;
uint8_t *staging = nullptr;  // output on its way to the writer when there is no buffer

// Output for the writer alone is mixed in pieces of this many frames.
constexpr unsigned chunkFrames = 4096;

const char *const cardNames[] = {"File output"};

// The length of the tick that starts now, in frames.
unsigned nextTick()
{
    if (evenTicks)
        return ((dsmMixRate * 100 / updateRate) + 1) & ~1U;
    tickRemainder += uint64_t(dsmMixRate) * 100;
    unsigned frames = unsigned(tickRemainder / updateRate);
    tickRemainder %= updateRate;
    return frames;
}

}  // namespace

void fsSetWriter(fsWriteFn write, void *user)
{
    writer = write;
    writerData = user;
}

void fsSetRoom(void *buffer, unsigned frames)
{
    roomBuffer = static_cast<uint8_t *>(buffer);
    roomFrames = frames;
}

unsigned fsRoomLeft(void) { return roomFrames; }
void fsSetMixingMode(unsigned mixing) { mixingKind = mixing; }
void fsSetDeviceTicks(bool deviceTicks) { evenTicks = deviceTicks; }
uint64_t fsFramesMixed(void) { return framesMixed; }

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
    unsigned m =
        (stereo ? dsmModeStereo : dsmModeMono) | (bits16 ? dsmMode16bit : dsmMode8bit) | mixingKind;
    CHECK(dsmInit(mixRate, m, dsmDeviceOptions));
    int error = memAlloc(int(chunkFrames * frameBytes), reinterpret_cast<void **>(&staging));
    if (error != errOK) {
        dsmClose();
        return error;
    }
    framesMixed = 0;
    tickRemainder = 0;
    tickLeft = 0;
    roomBuffer = nullptr;
    roomFrames = 0;
    return fsSetUpdRate(5000);
}

int fsClose(void)
{
    if (staging) {
        memFree(staging);
        staging = nullptr;
    }
    roomBuffer = nullptr;
    roomFrames = 0;
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
    *callPlayer = 0;
    while (roomFrames > 0) {
        if (tickLeft == 0)
            tickLeft = nextTick();
        unsigned n = tickLeft < roomFrames ? tickLeft : roomFrames;
        uint8_t *out = roomBuffer;
        if (!out) {
            out = staging;
            if (n > chunkFrames)
                n = chunkFrames;
        }
        CHECK(dsmMixData(n, out));
        unsigned bytes = n * frameBytes;
        framesMixed += n;
        tickLeft -= n;
        roomFrames -= n;
        if (roomBuffer)
            roomBuffer += bytes;
        if (writer && !writer(out, bytes, writerData))
            return errFileWrite;
        if (tickLeft == 0) {
            *callPlayer = 1;
            return errOK;
        }
    }
    return errOK;
}

constinit SoundDevice FileSink = dsmDevice({
    .playOncePerPoll = 0,  // Play stops at each tick by itself
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
