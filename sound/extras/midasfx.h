// Sample effects: one-shot or looping sounds played next to the music, on a
// channel the application chooses or on a pool of automatic effect channels
// handed out strictly in turn.
//
// Play handles: a play on an explicit channel returns the channel number
// (below 256); a play on an automatic channel returns a fresh handle from
// 256 to 65534, wrapping back to 256. 0xFFFF is never a handle; as a channel
// it asks for the next automatic channel. A handle whose slot has since been
// taken by a newer play no longer resolves: operations on it do nothing and
// return 0.
//
// Thread contract: application thread only, through the API, which holds the
// poll lock around every call that touches a channel.
#pragma once

#include "sound/mixer/sdevice.h"

enum {
    fxAutoChannel = 0xFFFF,  // channel argument: any automatic channel
    fxFirstAutoHandle = 256,
    fxLastAutoHandle = 65534
};

int fxInit(SoundDevice *sd);
// Stops every automatic channel and frees the pool.
int fxClose(void);

// Loads a whole file as sample data of the given type (1..4, 7, 8). With loop
// nonzero the sample loops over all of it.
int fxLoadRawSample(const char *fileName, int sampleType, int loop, unsigned *sampleHandle);
// Loads the data chunk of a WAVE file with the type the file declares.
int fxLoadWaveSample(const char *fileName, int loop, unsigned *sampleHandle);
int fxFreeSample(unsigned sampleHandle);

// Replaces the automatic pool with count channels (stopping the old ones).
int fxSetAutoChannels(unsigned count, const unsigned *channels);

int fxPlaySample(unsigned channel, unsigned sampleHandle, unsigned priority, unsigned rate,
                 unsigned volume, int panning, unsigned *playHandle);
int fxStopSample(unsigned playHandle);
int fxSetSampleRate(unsigned playHandle, unsigned rate);
int fxSetSampleVolume(unsigned playHandle, unsigned volume);
int fxSetSamplePanning(unsigned playHandle, int panning);
// Recorded in the automatic slot; it does not influence which slot is taken.
int fxSetSamplePriority(unsigned playHandle, unsigned priority);
// *playing = 1 while the handle's channel reports a nonzero rate.
int fxGetSamplePlayStatus(unsigned playHandle, int *playing);

// The device channel of a play handle; 0 when it no longer resolves.
int FindChannel(unsigned playHandle, unsigned *channel);
