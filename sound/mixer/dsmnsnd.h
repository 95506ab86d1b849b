// The silent device: runs the mixer at 4000 Hz with master volume 0 and
// throws the output away, paced by the wall clock, so that the player, its
// sync callbacks and every timing taken from the music keep their pace
// without sound. Detection falls back to it when no output opens.
//
// Thread contract: as for the OSS device (under the poll lock).
#pragma once

#include <cstdint>

#include "sound/mixer/sdevice.h"

extern SoundDevice MixNoSound;

int nsndDetect(int *result);
int nsndInit(unsigned mixRate, unsigned mode);
int nsndClose(void);
int nsndGetMode(unsigned *mode);
int nsndSetUpdRate(unsigned updateRate);  // hundredths of a hertz
int nsndStartPlay(void);
int nsndPlay(int *callPlayer);
// A volume of the device's own; the record uses the mixer's instead.
int nsndSetMasterVolume(unsigned volume);
int nsndGetMasterVolume(unsigned *volume);

// Milliseconds of the wall clock, low 32 bits (differences wrap correctly).
uint32_t GetTimeMS(void);
// The clock the device reads; tests replace it.
extern uint32_t (*nsndClock)(void);

extern unsigned nsndUpdateMix;      // frames (at 4000 Hz) per player tick
extern unsigned nsndMixLeft;        // frames until the next tick
extern unsigned nsndPlayElemsLeft;  // frames still owed for the elapsed time
