// Instrument synthesis: every sound of the music is computed here.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assets/xm_writer.h"

namespace assets {

struct Tuning {
    int8_t relative_note = 0;
    int8_t finetune = 0;  // 1/128 semitone
};

// Tuning that makes note C-4 play the sample at rate_at_c4 frames a second
// (the format plays C-4 at 8363 Hz with no tuning).
Tuning tuning_for_rate(double rate_at_c4);
// Tuning for a tone whose fundamental period is period_frames: C-4 then sounds
// middle C (261.63 Hz).
Tuning tuning_for_period(double period_frames);

// Float samples (nominally -1..1) to 16-bit PCM, scaled by gain and clipped.
std::vector<int16_t> to_pcm(const std::vector<float> &v, float gain);

// The instruments of the music, ready to write. Each is deterministic.
XmInstrument make_kick();
XmInstrument make_snare();
XmInstrument make_closed_hat();
XmInstrument make_open_hat();
XmInstrument make_bass();
XmInstrument make_pad();
XmInstrument make_lead();
XmInstrument make_pluck();
XmInstrument make_bell();
XmInstrument make_crash();
XmInstrument make_riser();

}  // namespace assets
