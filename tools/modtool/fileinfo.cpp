// WAVE headers through mWaveOpen; ADPCM streams decoded whole through
// mAdpcmDecode, feeding header bytes one at a time so that every accepted
// header and every byte skipped while resynchronising can be counted.
#include "fileinfo.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "sound/api/errors.h"
#include "sound/api/midasdll.h"
#include "sound/extras/madpcm.h"
#include "sound/extras/waveread.h"
#include "sound/mixer/sdevice.h"

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
    mWaveHandle wave = nullptr;
    int code = mWaveOpen(file.c_str(), &wave);
    if (code != 0) {
        *error = MIDASgetErrorMessage(code);
        return false;
    }
    info->sampleType = wave->sampleType;
    info->rate = wave->sampleRate;
    info->dataBytes = wave->dataLength;
    info->channels = wave->sampleType == smp8bitStereo || wave->sampleType == smp16bitStereo ? 2 : 1;
    info->bits = wave->sampleType == smp8bitMono || wave->sampleType == smp8bitStereo ? 8 : 16;
    mWaveClose(wave);
    return true;
}

namespace {

// Whole-file read with a size cap: a raw stream is decoded in memory.
const long maxAdpcmFile = 256L << 20;

bool readWhole(const std::string &file, std::vector<unsigned char> *bytes, std::string *error)
{
    std::FILE *f = std::fopen(file.c_str(), "rb");
    if (!f) {
        *error = MIDASgetErrorMessage(errFileOpen);
        return false;
    }
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        *error = MIDASgetErrorMessage(errFileRead);
        return false;
    }
    if (size > maxAdpcmFile) {
        std::fclose(f);
        *error = "ADPCM file larger than 256 MiB";
        return false;
    }
    bytes->resize(size_t(size));
    bool ok = size == 0 || std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    std::fclose(f);
    if (!ok)
        *error = MIDASgetErrorMessage(errFileRead);
    return ok;
}

}  // namespace

bool decodeAdpcmFile(const std::string &file, unsigned channels, AdpcmInfo *info,
                     std::string *error)
{
    std::vector<unsigned char> bytes;
    if (!readWhole(file, &bytes, error))
        return false;
    mAdpcmState *state = nullptr;
    int code = mAdpcmInitState(channels, 0, &state);
    if (code != 0) {
        *error = MIDASgetErrorMessage(code);
        return false;
    }
    info->inputBytes = bytes.size();
    static short out[4096];  // 16-bit output, discarded: only the counts matter
    size_t pos = 0;
    while (pos < bytes.size()) {
        unsigned used = 0, written = 0;
        if (state->dataLeft == 0) {
            // One header byte per call: a call that completes the header
            // either starts a block (the header count resets to the full
            // length) or skips one byte (one byte left to collect).
            bool completing = state->headerLeft == 1;
            mAdpcmDecode(&bytes[pos], 1, out, sizeof out, &used, &written, state);
            if (used != 1)
                break;  // cannot happen with room for output; never loop on it
            pos++;
            if (completing) {
                if (state->headerLeft == state->headerLength)
                    info->blocks++;
                else
                    info->skippedBytes++;
            }
        } else {
            size_t avail = bytes.size() - pos;
            unsigned n = state->dataLeft < avail ? state->dataLeft : unsigned(avail);
            mAdpcmDecode(&bytes[pos], n, out, sizeof out, &used, &written, state);
            if (used == 0)
                break;
            pos += used;
        }
        info->frames += written / (2 * channels);
    }
    if (state->dataLeft == 0)
        info->skippedBytes += state->headerLength - state->headerLeft;
    else
        info->missingBytes = state->dataLeft;
    mAdpcmFreeState(state);
    if (info->blocks == 0) {
        *error = "no valid ADPCM block";
        return false;
    }
    return true;
}
