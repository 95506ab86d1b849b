// render --start/--end: a pass through a section of the order list, from
// position start to position end (both played), until it comes round to
// its start the asked number of times.
#pragma once

#include <string>

#include "songpass.h"

// As runSongPass, for positions start..end (end -1: to the song's end).
// Fails with a message when a position lies past the order list or end is
// before start. result gets what the render needs (frames, rate, limit).
bool runSectionPass(const std::string &file, const PassOptions &options, int start, int end,
                    PassResult *result, std::string *error);
