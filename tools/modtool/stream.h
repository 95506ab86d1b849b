// Real-time playback of a WAVE, raw PCM or raw ADPCM file as a stream.
#pragma once

#include <string>

struct StreamOptions {
    int sampleType = 0;  // 0: WAVE file (type and rate from the header)
    unsigned rate = 44100;
    bool typeGiven = false;  // --type: the file is raw data whatever its name
};

// Parses --type and --rate for raw files. The default type is 16-bit stereo,
// or ADPCM stereo for a name ending in .adpcm. False with a message.
bool parseStreamOptions(const std::string &file, int argc, char **argv, StreamOptions *options,
                        std::string *error);
// Plays the file until its data has been played or q is pressed. Returns the
// exit status. Refused with one line: an empty file, a .wav name that is not
// a RIFF WAVE file, and data that is neither WAVE nor declared raw (by
// --type or a .raw or .adpcm name).
int playStream(const std::string &file, const StreamOptions &options);
