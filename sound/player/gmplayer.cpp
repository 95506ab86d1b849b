// The player engine: song registration, the tick, rows, notes, periods,
// volumes, panning and envelopes.
#include "sound/player/gmplayer.h"

#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

SoundDevice *gmpSD = nullptr;
PlayState *playHandles[gmpMaxSongs];
gmpUpdRateHook SetUpdRate = nullptr;
int gmpTempo = 125;
int gmpNoPlay = 0;
PlayState *gmpHandle = nullptr;
ModuleRecord *gmpCurModule = nullptr;
int gmpPlayMode = 0;
ChannelState *gmpChan = nullptr;
