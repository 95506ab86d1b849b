// Player internals shared by the engine (gmplayer.cpp) and the command
// handlers (gmpcmds.cpp). Not part of the player's interface.
#pragma once

#include "sound/player/gmplayer.h"

// Instrument number -> record, null when out of range or empty.
InstrumentRecord *gmpInstrumentOf(int instrument);
// sampleList entry, null when out of range or empty.
SampleRecord *gmpSampleOf(const InstrumentRecord *inst, unsigned sampleIndex);
// The sample gmpChan plays, or null.
SampleRecord *gmpCurSample(void);
// Envelope positions back to 0, sustains cleared.
void gmpRestartEnvelopes(void);
// SetPosition on gmpChan's device channel; offset in samples.
int gmpStartPosition(int offset);
// Puts gmpHandle on a playable order at or after its position; with wrapped
// it first goes to restartPos, counting a song loop.
int gmpSettlePosition(bool wrapped);
// Octave and semitone of a note byte; a semitone nibble of 12..15 carries
// into the octave, so the semitone is always 0..11.
void gmpSplitNote(int note, int *octave, int *semitone);
// Volume, panning and rate of every channel of gmpHandle for this tick.
int gmpRunEnvelopes(void);
