// The show's music, composed in code, and a walk through it that tells
// where its sync marks fall.
#pragma once

#include <vector>

#include "tools/assets/xm_writer.h"

namespace assets {

// Effect numbers as the format stores them.
namespace fx {
inline constexpr uint8_t arpeggio = 0x0, slide_up = 0x1, slide_down = 0x2, tone_porta = 0x3,
                         vibrato = 0x4;
inline constexpr uint8_t panning = 0x8, volume_slide = 0xA, position_jump = 0xB,
                         pattern_break = 0xD;
inline constexpr uint8_t extended = 0xE, speed_tempo = 0xF,
                         sync = 0x20;  // sync: the music-sync mark 'W'
}  // namespace fx

inline constexpr uint8_t kKeyOff = 97;

// Channels of the arrangement.
enum Channel {
    kKickCh,
    kSnareCh,
    kHatCh,
    kBassCh,
    kPadCh0,
    kPadCh1,
    kPadCh2,
    kLeadCh,
    kArpCh,
    kFxCh,
    kChannels
};

XmModule compose_song();

struct SyncMark {
    int value;
    int position;
    int row;
    double seconds;  // song time at the start of the row
};

struct SongTiming {
    std::vector<SyncMark> marks;  // in playing order, up to the first wrap
    double pass_seconds = 0;      // from the start until the song first wraps
    int restart_position = 0;     // where it goes on after the wrap
};

// Plays the order list row by row as a tracker would (speed and tempo
// changes, pattern breaks, position jumps, pattern loops and delays) until the
// song first wraps. A row lasts speed * 2.5 / tempo seconds.
SongTiming walk_song(const XmModule &module);

}  // namespace assets
