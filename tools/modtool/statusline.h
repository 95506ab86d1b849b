// The status line of play: where the song is, its time against its length,
// and the channels' meters, fitted to the terminal's width.
#pragma once

#include <string>

struct StatusFields {
    unsigned position = 0, songLength = 0, pattern = 0, row = 0;
    unsigned speed = 0, tempo = 0, volume = 64;
    double songTime = 0, duration = 0;  // seconds
    bool paused = false, looping = false;
    std::string meters;  // one bar character (UTF-8) per channel
};

// "m:ss", minutes as many as needed.
std::string clockText(double seconds);

// The line, at most width - 1 columns (the last column would wrap on many
// terminals). What does not fit goes in this order: the meters, the speed
// and tempo, the volume, the pattern and row; the position, the times and
// the paused mark go last, cut at the end when even they are too wide.
std::string statusLine(const StatusFields &f, unsigned width);

// Display columns of a UTF-8 string of single-column characters.
size_t columns(const std::string &text);
