// The OSS output device.
#include "sound/mixer/oss.h"

#include <cstdio>
#include <fcntl.h>

#include "platform/audio/dsp.h"
#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/mixer/dsm.h"

static_assert(sizeof(ossSpaceInfo) == sizeof(audioDspSpaceInfo));
static_assert(static_cast<unsigned long>(ossReqGetOSpace) ==
              static_cast<unsigned long>(audioDspGetOSpace));

const ossPlatformCalls ossDefaultPlatform = {audioDspOpen, audioDspClose, audioDspIoctl,
                                             audioDspWrite, std::perror};
ossPlatformCalls ossPlatform = ossDefaultPlatform;

unsigned ossMixRate = 0;
unsigned ossOutputMode = 0;
unsigned ossUpdateMix = 0;
unsigned ossMixLeft = 0;
unsigned ossSpaceLeft = 0;

static int audio_fd = -1;
static const int format_16bits = ossFmtS16LE;
static const int format_8bits = ossFmtU8;
static int format_stereo;      // channels requested, then as the driver answered
static int format_mixingrate;  // Hz requested, then as the driver answered
static ossSpaceInfo info;
static unsigned mixElemSize;  // bytes per output frame: 1, 2 or 4
static uint8_t *audioBuffer;
static unsigned audioBufferSize;  // bytes

static const char *const ossCardNames[] = {"Open Sound System output"};

int ossDetect(int *result)
{
    int fd = ossPlatform.open("/dev/dsp", O_WRONLY, 0);
    if (fd < 0) {
        *result = 0;
        return errOK;
    }
    ossPlatform.close(fd);
    *result = 1;
    return errOK;
}

int ossInit(unsigned mixRate, unsigned mode)
{
    format_mixingrate = int(mixRate);
    format_stereo = (mode & sdMono) ? 1 : 2;
    int format = (mode & sd8bit) ? format_8bits : format_16bits;

    audio_fd = ossPlatform.open("/dev/dsp", O_WRONLY, 0);
    if (audio_fd < 0) {
        ossPlatform.perror("/dev/dsp");
        return errDeviceNotAvailable;
    }
    if (ossPlatform.ioctl(audio_fd, ossReqSetFmt, &format) == -1) {
        ossPlatform.perror("SNDCTL_DSP_SETFMT");
        return errSDFailure;
    }
    if (ossPlatform.ioctl(audio_fd, ossReqChannels, &format_stereo) == -1) {
        ossPlatform.perror("SNDCTL_DSP_CHANNELS");
        return errSDFailure;
    }
    ossOutputMode = format_stereo == 2 ? sdStereo : sdMono;
    if (format == format_8bits)
        ossOutputMode |= sd8bit;
    else if (format == format_16bits)
        ossOutputMode |= sd16bit;
    else
        return errSDFailure;  // a format the mixer cannot produce: no message
    if (ossPlatform.ioctl(audio_fd, ossReqSpeed, &format_mixingrate) == -1) {
        ossPlatform.perror("SNDCTL_DSP_SPEED");
        return errSDFailure;
    }
    ossMixRate = unsigned(format_mixingrate);

    bool stereo = ossOutputMode & sdStereo;
    bool bits16 = ossOutputMode & sd16bit;
    mixElemSize = (bits16 ? 2 : 1) * (stereo ? 2 : 1);

    unsigned dsmModeWord = (stereo ? dsmModeStereo : dsmModeMono) |
                           (bits16 ? dsmMode16bit : dsmMode8bit) |
                           (dsmDeviceOptions.oversampling ? dsmModeInterp : 0);
    int error = dsmInit(ossMixRate, dsmModeWord, dsmDeviceOptions);
    if (error != errOK)
        return error;
    if ((error = ossSetUpdRate(5000)) != errOK)
        return error;

    if (ossPlatform.ioctl(audio_fd, ossReqGetOSpace, &info) == -1) {
        ossPlatform.perror("SNDCTL_DSP_GETOSPACE");
        return errSDFailure;
    }
    // The buffer-length option's milliseconds of output; unsigned 32-bit as
    // the sizes go.
    audioBufferSize = ossMixRate * mixElemSize * unsigned(dsmDeviceOptions.bufferLength) / 1000;
    return memAlloc(int(audioBufferSize), reinterpret_cast<void **>(&audioBuffer));
}

int ossClose(void)
{
    int error = dsmClose();
    if (error != errOK)
        return error;
    if ((error = memFree(audioBuffer)) != errOK)
        return error;
    audioBuffer = nullptr;
    ossPlatform.close(audio_fd);
    audio_fd = -1;
    return errOK;
}

int ossGetMode(unsigned *mode)
{
    *mode = ossOutputMode;
    return errOK;
}

int ossSetUpdRate(unsigned updateRate)
{
    // Frames per tick, kept even; a new rate starts a fresh tick interval.
    ossUpdateMix = ((ossMixRate * 100 / updateRate) + 1) & ~1U;
    ossMixLeft = ossUpdateMix;
    return errOK;
}

int ossStartPlay(void)
{
    if (ossPlatform.ioctl(audio_fd, ossReqGetOSpace, &info) == -1) {
        ossPlatform.perror("SNDCTL_DSP_GETOSPACE");
        return errSDFailure;
    }
    ossSpaceLeft = info.bytes > 0 ? unsigned(info.bytes) : 0;
    return errOK;
}

int ossPlay(int *callPlayer)
{
    for (;;) {
        unsigned n = audioBufferSize / mixElemSize;
        if (ossSpaceLeft / mixElemSize < n)
            n = ossSpaceLeft / mixElemSize;
        if (ossMixLeft < n)
            n = ossMixLeft;
        ossMixLeft -= n;
        int error = dsmMixData(n, audioBuffer);
        if (error != errOK)
            return error;
        // Never more than the driver reported free, so this does not block;
        // a short write is not retried.
        ossPlatform.write(audio_fd, audioBuffer, n * mixElemSize);
        ossSpaceLeft -= n * mixElemSize;
        if (ossMixLeft == 0) {
            ossMixLeft = ossUpdateMix;
            *callPlayer = 1;
            return errOK;
        }
        if (ossSpaceLeft < mixElemSize) {
            *callPlayer = 0;
            return errOK;
        }
    }
}

constinit SoundDevice OSS = dsmDevice({
    .playOncePerPoll = 0,
    .configFlags = 0x38,
    .modes = sdMono | sdStereo | sd8bit | sd16bit,
    .name = "Open Sound System Sound Device 1.1",
    .cardNames = ossCardNames,
    .Detect = ossDetect,
    .Init = ossInit,
    .Close = ossClose,
    .GetMode = ossGetMode,
    .SetUpdRate = ossSetUpdRate,
    .StartPlay = ossStartPlay,
    .Play = ossPlay,
});
