// Echo effects: multi-tap delay lines with feedback that run as
// post-processors on the whole mixing buffer, after the channels are mixed and
// before the output filter and the conversion to the output format.
//
// Thread contract: effects are added and removed on the application thread
// under the poll lock (which keeps the mixer's post-processor ring still);
// the four processing functions run on the player thread inside dsmMixData.
// All arithmetic is single-precision float, whatever the mixing mode.
#pragma once

#include <cstdint>

#include "sound/mixer/dsm.h"

// One tap of an echo set (16 bytes).
struct EchoTap {
    uint32_t delay;           // milliseconds, 16.16
    int32_t gain;             // 16.16
    int32_t reverseChannels;  // stereo: nonzero takes left from the right history and back
    uint32_t filterType;      // mEchoFilter...
};
static_assert(sizeof(EchoTap) == 16);

enum { mEchoFilterNone = 0, mEchoFilterLowPass = 1, mEchoFilterHighPass = 2 };

// An echo effect as the application describes it.
struct EchoSet {
    int32_t feedback;  // 16.16: share of the output fed back into the delay line
    int32_t gain;      // 16.16: gain of the output
    uint32_t numEchoes;
    EchoTap *echoes;
};

// Per tap, as the effect runs it. Offsets are distances back from the write
// index in delay-line elements (stereo lines interleave left and right).
struct mEchoTapState {
    uint32_t leftOffset;  // the only one in mono
    uint32_t rightOffset;
    float prevLeft, prevRight;  // the tap's previous values (filters)
    float curCoef, prevCoef;    // y += prevCoef x previous + curCoef x current
};

struct mEchoEffect {
    mEchoEffect *next, *prev;  // ring of effects
    PostProcessor postProc;    // user data points back at the effect
    float feedback, gain;
    unsigned numTaps;
    int stereo;
    float *buffer;  // delay line, mask + 1 floats
    unsigned mask;  // delay line length - 1 (a power of two)
    unsigned writeIndex;
    mEchoTapState *taps;  // numTaps entries, in the same block as the record
};

// Outputs are kept within this magnitude before the gain is applied.
constexpr float mEchoClamp = 10435760.0f;

extern int mEchoInitialized;
extern unsigned mEchoRate;
extern int mEchoStereo;
extern mEchoEffect *mEchoEffectList;

// Takes the mixer's rate and output channels; the API calls it before the
// first effect is added.
int mEchoInit(void);
// Builds an effect from set and links it at the front of the mixer's
// post-processor ring. Does nothing (and returns 0) when not initialised.
int mEchoAddEffect(EchoSet *set, mEchoEffect **effect);
// Unlinks and frees one effect (0 and nothing when not initialised).
int mEchoRemoveEffect(mEchoEffect *effect);
// Removes every effect; nothing when not initialised.
int mEchoClose(void);

// Builds an effect for the given rate and output without linking it
// anywhere; mEchoFreeEffect releases it.
int mEchoBuildEffect(const EchoSet *set, unsigned rate, int stereo, mEchoEffect **effect);
int mEchoFreeEffect(mEchoEffect *effect);

// The post-processor functions (buffer, frames, effect).
int mEchoFloatMono(void *buffer, unsigned frames, void *effect);
int mEchoFloatStereo(void *buffer, unsigned frames, void *effect);
int mEchoIntMono(void *buffer, unsigned frames, void *effect);
int mEchoIntStereo(void *buffer, unsigned frames, void *effect);
