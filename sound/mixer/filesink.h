// The file-sink device: a sound device outside the detection list that mixes
// as fast as the CPU allows, for offline rendering. It never waits for a
// clock: each Play mixes into the room the caller gave it (fsSetRoom) and
// stops at the next player tick or when the room is used up, whichever
// comes first. The output goes to the room's buffer, to a writer function,
// or both; with neither it is mixed and thrown away.
//
// Tick lengths are exact: a tick is mixRate * 100 / updateRate frames, the
// fraction carried on to the next tick, so that a render keeps the song's
// tempo to the frame. Each tick's length is taken when the tick starts, so
// a tempo change made by the player at a tick applies from the next one.
// Without room Play mixes nothing and asks for no tick: polling the device
// (MIDASpoll, the player thread) does nothing on it.
//
// Thread contract: as for the other devices (under the poll lock).
#pragma once

#include <cstdint>

#include "sound/mixer/sdevice.h"

extern SoundDevice FileSink;

// Receives every piece of output; returns 0 when it could not take it, and
// Play then fails with errFileWrite (the output up to there is counted).
typedef int (*fsWriteFn)(const void *data, unsigned bytes, void *user);

// Where the output goes besides the room's buffer; null: nowhere. Any time.
void fsSetWriter(fsWriteFn write, void *user);
// Room for the next Play calls: frames to mix, and where to put them (null:
// only to the writer). Play counts the room down.
void fsSetRoom(void *buffer, unsigned frames);
unsigned fsRoomLeft(void);
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

int fsDetect(int *result);
int fsInit(unsigned mixRate, unsigned mode);
int fsClose(void);
int fsGetMode(unsigned *mode);
int fsSetUpdRate(unsigned updateRate);  // hundredths of a hertz
int fsStartPlay(void);
int fsPlay(int *callPlayer);
