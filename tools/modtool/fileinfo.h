// modtool info for sound files that are not modules: RIFF WAVE files and raw
// ADPCM block streams.
#pragma once

#include <cstdint>
#include <string>

// True when the file starts with "RIFF", a length and "WAVE".
bool looksLikeWave(const std::string &file);

struct WaveInfo {
    int sampleType = 0;  // MIDAS_SAMPLE_8BIT_MONO .. MIDAS_SAMPLE_16BIT_STEREO
    unsigned rate = 0;   // Hz
    unsigned channels = 0;
    unsigned bits = 0;
    unsigned dataBytes = 0;  // PCM bytes present in the file
};
// Reads the header through the WAVE reader. False with a message on error.
bool readWaveInfo(const std::string &file, WaveInfo *info, std::string *error);

struct AdpcmInfo {
    uint64_t inputBytes = 0;
    uint64_t frames = 0;        // decoded frames (per channel)
    uint64_t blocks = 0;        // blocks whose header was accepted
    uint64_t skippedBytes = 0;  // bytes passed over while searching for a header,
                                // including an incomplete header at the end
    uint64_t missingBytes = 0;  // code bytes the last block announced but lacked
};
// Decodes the whole stream of 1 or 2 channels. False with a message on a file
// that cannot be read or holds no valid block.
bool decodeAdpcmFile(const std::string &file, unsigned channels, AdpcmInfo *info,
                     std::string *error);
