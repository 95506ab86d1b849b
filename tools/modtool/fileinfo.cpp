// WAVE headers and ADPCM block streams through the library's file-info
// calls.
#include "fileinfo.h"

#include <cstdio>
#include <cstring>

#include "sound/api/midasdll.h"

bool looksLikeWave(const std::string &file)
{
    std::FILE *f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    unsigned char h[12];
    bool wave = std::fread(h, 1, sizeof h, f) == sizeof h && std::memcmp(h, "RIFF", 4) == 0 &&
                std::memcmp(h + 8, "WAVE", 4) == 0;
    std::fclose(f);
    return wave;
}

bool readWaveInfo(const std::string &file, WaveInfo *info, std::string *error)
{
    MIDASwaveInfo w;
    if (!MIDASgetWaveInfo(file.c_str(), &w)) {
        *error = MIDASgetErrorMessage(MIDASgetLastError());
        return false;
    }
    info->sampleType = w.sampleType;
    info->rate = w.sampleRate;
    info->dataBytes = w.dataBytes;
    info->channels = w.channels;
    info->bits = w.bits;
    return true;
}

bool decodeAdpcmFile(const std::string &file, unsigned channels, AdpcmInfo *info,
                     std::string *error)
{
    MIDASadpcmInfo a;
    if (!MIDASgetAdpcmInfo(file.c_str(), channels, &a)) {
        int code = MIDASgetLastError();
        *error =
            code == MIDAS_ERR_INVALID_ADPCM ? "no valid ADPCM block" : MIDASgetErrorMessage(code);
        return false;
    }
    info->inputBytes = a.inputBytes;
    info->frames = a.frames;
    info->blocks = a.blocks;
    info->skippedBytes = a.skippedBytes;
    info->missingBytes = a.missingBytes;
    return true;
}
