// Real-time playback of a WAVE, raw PCM or raw ADPCM file as a stream.
#pragma once

#include <string>

struct StreamOptions {
    int sampleType = 0;  // 0: WAVE file (type and rate from the header)
    unsigned rate = 44100;
};

// Parses --type and --rate for raw files. The default type is 16-bit stereo,
// or ADPCM stereo for a name ending in .adpcm. False with a message.
bool parseStreamOptions(const std::string &file, int argc, char **argv, StreamOptions *options,
                        std::string *error);
// Plays the file until its data has been played or q is pressed. Returns the
// exit status.
int playStream(const std::string &file, const StreamOptions &options);
