// The OSS output device: mixes in the format the driver accepted and writes
// to "/dev/dsp" as much as the driver has room for at each poll. Where
// "/dev/dsp" cannot be opened, the platform calls below reach the ALSA
// stand-in of platform/audio behind the same requests and answers.
//
// Thread contract: StartPlay and Play run on the player thread (or the
// application's own polling), everything else on the application thread or,
// for SetUpdRate, inside a player tick; always under the poll lock.
#pragma once

#include <cstddef>
#include <sys/types.h>

#include "sound/mixer/sdevice.h"

extern SoundDevice OSS;

// The five platform calls of the device. Tests replace them with a fake
// driver; by default they are the "/dev/dsp" calls of platform/audio.
struct ossPlatformCalls {
    int (*open)(const char *path, int flags, int mode);
    int (*close)(int fd);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    ssize_t (*write)(int fd, const void *buffer, size_t bytes);
    void (*perror)(const char *what);
};
extern ossPlatformCalls ossPlatform;
extern const ossPlatformCalls ossDefaultPlatform;

// Request numbers (Open Sound System) and format codes.
enum : unsigned long {
    ossReqSetFmt = 0xC0045005UL,
    ossReqChannels = 0xC0045006UL,
    ossReqSpeed = 0xC0045002UL,
    ossReqGetOSpace = 0x8010500CUL
};
enum { ossFmtU8 = 8, ossFmtS16LE = 16 };

// The driver's output-space record; only bytes is used.
struct ossSpaceInfo {
    int fragments;
    int fragstotal;
    int fragsize;
    int bytes;
};

int ossDetect(int *result);
int ossInit(unsigned mixRate, unsigned mode);
int ossClose(void);
int ossGetMode(unsigned *mode);
int ossSetUpdRate(unsigned updateRate);  // hundredths of a hertz
int ossStartPlay(void);
int ossPlay(int *callPlayer);

// Device state, readable by tests and status displays.
extern unsigned ossMixRate;     // Hz, as the driver accepted it
extern unsigned ossOutputMode;  // sdMono/sdStereo + sd8bit/sd16bit
extern unsigned ossUpdateMix;   // frames per player tick
extern unsigned ossMixLeft;     // frames until the next tick
extern unsigned ossSpaceLeft;   // bytes the driver can still take this poll
