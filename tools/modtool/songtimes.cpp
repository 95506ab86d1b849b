// Row times of a song.
#include "songtimes.h"

void SongTimes::add(unsigned position, unsigned row, double seconds)
{
    start_.emplace(std::make_pair(position, row), seconds);
}

double SongTimes::at(unsigned position, unsigned row) const
{
    auto it = start_.upper_bound({position, row});
    return it == start_.begin() ? 0 : std::prev(it)->second;
}

bool songTimes(const std::string &file, SongTimes *times, PassResult *pass, std::string *error)
{
    PassOptions options;
    options.silent = true;
    options.chunkFrames = 128;  // a row's time is within 3 ms of where it starts
    options.beforeChunk = [times, rate = options.rate](unsigned position, unsigned row,
                                                       uint64_t frames) {
        times->add(position, row, double(frames) / rate);
    };
    return runSongPass(file, options, pass, error);
}
