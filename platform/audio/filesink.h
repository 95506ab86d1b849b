// The file-sink device: a sound device outside the detection list that mixes
// as fast as the CPU allows into an AudioSink (a WAVE file or memory), so
// offline rendering never waits for a clock.
//
// Every Play mixes exactly up to the next player tick (whole frames, the
// fraction carried on to the next tick, so that a render keeps the song's
// tempo), and the record asks the poller to call Play once per poll: one
// poll renders one tick.
//
// Thread contract: as for the other devices (under the poll lock).
#pragma once

#include <cstdint>

#include "platform/audio/wavwriter.h"
#include "sound/mixer/sdevice.h"

extern SoundDevice FileSink;

// Where the output goes; null (the default) throws it away. Set before Init.
void fsSetSink(AudioSink *sink);
// The mixer's arithmetic: 0 = the mixer's own choice, else one of
// dsmModeInteger, dsmModeFloat, dsmModeInterp (floating point with
// interpolation). Set before Init.
void fsSetMixingMode(unsigned mixing);
// Ticks rounded as the OSS device rounds them (up to an even number of
// frames, the fraction dropped) instead of exact: the show's own timing,
// for reports of when its sync marks arrive. Set before Init.
void fsSetDeviceTicks(bool deviceTicks);
// Frames mixed since Init.
uint64_t fsFramesMixed(void);
// True when a write to the sink failed since Init.
bool fsWriteFailed(void);

int fsDetect(int *result);
int fsInit(unsigned mixRate, unsigned mode);
int fsClose(void);
int fsGetMode(unsigned *mode);
int fsSetUpdRate(unsigned updateRate);  // hundredths of a hertz
int fsStartPlay(void);
int fsPlay(int *callPlayer);
