// The sound-device record: everything above the mixer (API, poller, player,
// loaders, sample effects, streams) reaches the output through it.
//
// Every operation returns an error code (0 = success). Channel operations run
// under the poll lock; the mixer and the devices take no lock of their own.
// Two exceptions: loaders call AddSample without the lock while the player
// thread mixes (it only claims a free slot no channel refers to yet), and
// stream writer threads call GetPosition and SetStreamWritePosition.
#pragma once

#include <cstddef>
#include <cstdint>

// Output mode word: one of mono/stereo and one of 8/16-bit.
enum { sdMono = 1, sdStereo = 2, sd8bit = 4, sd16bit = 8 };

// Sample types. Frame size in bytes in the comment.
enum {
    smpNone = 0,         // 1: no data, never sounds
    smp8bitMono = 1,     // 1: unsigned, 128 = silence
    smp16bitMono = 2,    // 2: signed, native byte order
    smp8bitStereo = 3,   // 2: unsigned, left then right
    smp16bitStereo = 4,  // 4: signed, left then right
    smpAdpcmMono = 5,    // 1: only the streams layer takes these
    smpAdpcmStereo = 6,  // 1
    smpUlawMono = 7,     // 1: one mu-law code per frame
    smpUlawStereo = 8,   // 2
    smpNumTypes = 9
};

// Loop types of loop1Type and loop2Type.
enum {
    loopNone = 0,
    loopUnidir = 1,  // jump back from the loop end to the loop start
    loopBidir = 2    // reverse direction at either end
};

// Loop modes of a sample as the mixer interprets them.
enum {
    sdLoopNone = 0,  // 0, 1: first loop only; ReleaseSound does nothing
    sdLoop1 = 1,
    sdLoop1Rel = 2,  // 2, 3: release loop: after ReleaseSound, on to loop 2
    sdLoop2 = 3,
    sdLoopAmigaNone = 4,  // 4, 5: Amiga sample change at the sample's end
    sdLoopAmiga = 5
};

// The sample handed to AddSample. Byte offsets and lengths.
struct SoundDeviceSample {
    void *sample;         // the data
    int location;         // 0 = no data, nonzero = ordinary memory
    int sampleType;       // smp...
    unsigned length;      // bytes
    int loopMode;         // sdLoop...
    unsigned loop1Start;  // bytes
    unsigned loop1End;    // bytes, first byte after the loop
    int loop1Type;        // loop...
    unsigned loop2Start;
    unsigned loop2End;
    int loop2Type;
};

typedef void (*sdLoopCallback)(unsigned channel);

// Fifty-one slots: twelve of data, then the operations in slot order.
struct SoundDevice {
    unsigned playOncePerPoll;  // nonzero: one Play and at most one tick per poll
    unsigned configFlags;
    unsigned port;
    unsigned irq;
    unsigned dma;
    unsigned card;
    unsigned numCardTypes;
    unsigned modes;  // output modes the device can produce (sdMono...)
    const char *name;
    const char *const *cardNames;
    unsigned numPortAddresses;
    const uint16_t *portAddresses;

    int (*Detect)(int *result);
    int (*Init)(unsigned mixRate, unsigned mode);
    int (*Close)(void);
    int (*GetMixRate)(unsigned *rate);
    int (*GetMode)(unsigned *mode);
    int (*OpenChannels)(unsigned channels);
    int (*CloseChannels)(void);
    int (*ClearChannels)(void);
    int (*Mute)(int muted);
    int (*Pause)(int paused);
    int (*SetMasterVolume)(unsigned volume);
    int (*GetMasterVolume)(unsigned *volume);
    int (*SetAmplification)(unsigned amplification);
    int (*GetAmplification)(unsigned *amplification);
    int (*PlaySound)(unsigned channel, unsigned rate);
    int (*ReleaseSound)(unsigned channel);
    int (*StopSound)(unsigned channel);
    int (*SetRate)(unsigned channel, unsigned rate);
    int (*GetRate)(unsigned channel, unsigned *rate);
    int (*SetVolume)(unsigned channel, unsigned volume);
    int (*GetVolume)(unsigned channel, unsigned *volume);
    int (*SetSample)(unsigned channel, unsigned handle);
    int (*GetSample)(unsigned channel, unsigned *handle);
    int (*SetPosition)(unsigned channel, unsigned position);
    int (*GetPosition)(unsigned channel, unsigned *position);
    int (*GetDirection)(unsigned channel, int *direction);
    int (*SetPanning)(unsigned channel, int panning);
    int (*GetPanning)(unsigned channel, int *panning);
    int (*MuteChannel)(unsigned channel, int muted);
    int (*AddSample)(SoundDeviceSample *sample, int copySample, unsigned *handle);
    int (*RemoveSample)(unsigned handle);
    int (*SetUpdRate)(unsigned updateRate);  // hundredths of a hertz
    int (*StartPlay)(void);
    int (*Play)(int *callPlayer);
    int (*StartStream)(unsigned channel, void *buffer, unsigned bufferBytes, int sampleType,
                       unsigned rate);
    int (*StopStream)(unsigned channel);
    int (*SetLoopCallback)(unsigned channel, sdLoopCallback callback);
    int (*SetStreamWritePosition)(unsigned channel, unsigned position);
    int (*PauseStream)(unsigned channel, int paused);
};

// Twelve data words, then thirty-nine operations.
static_assert((sizeof(SoundDevice) - offsetof(SoundDevice, Detect)) / sizeof(void *) == 39);

// Panning values: -64 left .. 64 right, 0 middle, 128 surround.
enum { panLeft = -64, panMiddle = 0, panRight = 64, panSurround = 128 };
