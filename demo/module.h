// module: start and stop of the music, and the music-sync callback.
#pragma once

#include <cstdint>

// Starts the sound system and plays the module file. Returns 1, or 0 when
// the sound system cannot start or the module cannot be loaded; the reason
// is then in music_error() and whatever had started is shut down again.
int startplay(const char *filename);
// Stops the music and shuts the sound system down.
void stopplay();
// The music-sync callback: keeps the low 8 bits of the sync value in SYNC.
// Runs on the sound system's player thread; stores the byte and returns.
void SyncCallback(uint32_t sync, uint32_t position, uint32_t row);
// One line naming the module file and the reason of the last failure.
const char *music_error();
