// The small modules whose traces and renders are pinned.
#pragma once

#include "support/xmwriter.h"

// Arpeggio, portamento, vibrato and slides on two channels.
xmw::Module pitchModule();
// Volume and panning envelopes with sustain, loop, key-off fade-out and
// automatic vibrato.
xmw::Module envelopeModule();
// Song flow: loops, breaks, jumps, delays, retriggers, cuts and sync.
xmw::Module flowModule();
// Volume-column commands, panning and global volume slides, Amiga periods
// with finetune.
xmw::Module volpanModule();
