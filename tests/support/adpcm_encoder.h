// A small ADPCM encoder for building test streams in the decoder's block
// format. It steps its predictor with the decoder's own tables, so a decoder
// fed its blocks reproduces the encoder's predictor exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/extras/adpcmtbl.h"

namespace adpcmtest {

struct Channel {
    int32_t pred = 0;
    int32_t index = 0;
};

inline unsigned encodeOne(Channel &ch, int sample)
{
    int32_t step = stepSizes[static_cast<size_t>(ch.index)];
    int32_t diff = sample - ch.pred;
    unsigned code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= step / 2) {
        code |= 2;
        diff -= step / 2;
    }
    if (diff >= step / 4)
        code |= 1;
    ch.pred += mAdpcmPredDiffTable[static_cast<size_t>(ch.index)][code];
    if (ch.pred > 32767)
        ch.pred = 32767;
    if (ch.pred < -32768)
        ch.pred = -32768;
    ch.index += mAdpcmStepSizeAdj[code & 7];
    if (ch.index < 0)
        ch.index = 0;
    if (ch.index > 88)
        ch.index = 88;
    return code;
}

// Header of a block: magic, length, checksum, type, per-channel state.
inline std::vector<uint8_t> header(unsigned channels, unsigned blockLength, const Channel *chs)
{
    std::vector<uint8_t> h = {0x17, 0x42, static_cast<uint8_t>(blockLength & 0xFF),
                              static_cast<uint8_t>(blockLength >> 8), 0,
                              static_cast<uint8_t>(channels == 1 ? 5 : 6)};
    for (unsigned c = 0; c < channels; c++) {
        uint16_t p = static_cast<uint16_t>(chs[c].pred);
        h.push_back(static_cast<uint8_t>(p & 0xFF));
        h.push_back(static_cast<uint8_t>(p >> 8));
        h.push_back(static_cast<uint8_t>(chs[c].index));
    }
    unsigned sum = 0;
    for (uint8_t b : h)
        sum += b;
    h[4] = static_cast<uint8_t>(sum);
    return h;
}

// Encodes interleaved 16-bit frames into blocks of at most framesPerBlock
// frames (even for mono). The decoder output of the result is `decoded`.
struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<int16_t> decoded;
};

inline Encoded encode(const std::vector<int16_t> &samples, unsigned channels,
                      unsigned framesPerBlock)
{
    Encoded e;
    Channel chs[2];
    unsigned frames = static_cast<unsigned>(samples.size()) / channels;
    for (unsigned f0 = 0; f0 < frames; f0 += framesPerBlock) {
        unsigned n = frames - f0 < framesPerBlock ? frames - f0 : framesPerBlock;
        unsigned dataBytes = (n * channels + 1) / 2;
        std::vector<uint8_t> h = header(channels, 6 + 3 * channels + dataBytes, chs);
        e.bytes.insert(e.bytes.end(), h.begin(), h.end());
        std::vector<uint8_t> data(dataBytes, 0);
        unsigned nib = 0;
        for (unsigned f = f0; f < f0 + n; f++)
            for (unsigned c = 0; c < channels; c++, nib++) {
                unsigned code = encodeOne(chs[c], samples[f * channels + c]);
                e.decoded.push_back(static_cast<int16_t>(chs[c].pred));
                data[nib / 2] |= static_cast<uint8_t>((nib & 1) ? code : code << 4);
            }
        e.bytes.insert(e.bytes.end(), data.begin(), data.end());
    }
    return e;
}

}  // namespace adpcmtest
