// The song's time at each row, from a silent pass: what play shows as the
// song time, so that it stands still while paused and jumps with a seek.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "songpass.h"

class SongTimes {
public:
    // Records that the row at (position, row) starts at 'seconds', unless
    // it was reached before (the first time counts).
    void add(unsigned position, unsigned row, double seconds);
    // The time at the row; a row never reached in the pass (a seek past a
    // jump) gets the time of the nearest row before it, or 0.
    double at(unsigned position, unsigned row) const;

private:
    std::map<std::pair<unsigned, unsigned>, double> start_;
};

// Runs the silent pass of play: the song's facts and length in *pass and
// its row times in *times. False with a message on a module that does not
// load.
bool songTimes(const std::string &file, SongTimes *times, PassResult *pass, std::string *error);
