// A mixer for stream tests: the software mixer behind the silent device's
// record, stereo 16-bit output mixed in float, no output filter, and an
// amplification that gives every channel unity gain, so a full-volume 16-bit
// stream comes out sample for sample.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/api/errors.h"
#include "sound/extras/midasstr.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/dsmnsnd.h"

namespace streamtest {

struct Mixer {
    Mixer(unsigned rate, unsigned channels)
    {
        MixOptions options;
        options.outputFilterMode = 0;
        dsmInit(rate, dsmModeStereo | dsmMode16bit | dsmModeFloat, options);
        dsmOpenChannels(channels);
        dsmSetAmplification(64 * channels);
        strInit(&MixNoSound);
    }
    ~Mixer()
    {
        strClose();
        dsmCloseChannels();
        dsmClose();
    }
    // Mixes frames stereo frames.
    std::vector<int16_t> mix(unsigned frames)
    {
        std::vector<int16_t> out(2 * frames);
        dsmMixData(frames, out.data());
        return out;
    }
    std::vector<int16_t> mixLeft(unsigned frames)
    {
        std::vector<int16_t> stereo = mix(frames), left(frames);
        for (unsigned i = 0; i < frames; i++)
            left[i] = stereo[2 * i];
        return left;
    }
};

// first, first + 1, ... (n values).
inline std::vector<int16_t> counter(int first, unsigned n)
{
    std::vector<int16_t> v(n);
    for (unsigned i = 0; i < n; i++)
        v[i] = static_cast<int16_t>(first + static_cast<int>(i));
    return v;
}

inline const unsigned char *bytesOf(const std::vector<int16_t> &v)
{
    return reinterpret_cast<const unsigned char *>(v.data());
}

}  // namespace streamtest

namespace streamtest {

// Waits until the stream holds at least bytes of unplayed data (the buffered
// count includes the one frame that always stays free). False after 5 s.
inline bool waitForData(strStream *s, unsigned bytes)
{
    for (int i = 0; i < 5000; i++) {
        unsigned buffered = 0;
        if (strGetStreamBytesBuffered(s, &buffered) != errOK)
            return false;
        if (buffered >= bytes + s->frameSize)
            return true;
        usleep(1000);
    }
    return false;
}

// Mixes frames frames in pieces, each only once the writer has put it in the
// buffer, so the output shows exactly what the writer wrote.
inline std::vector<int16_t> mixPaced(Mixer &mixer, strStream *s, unsigned frames,
                                     unsigned piece = 64)
{
    std::vector<int16_t> out;
    while (frames > 0) {
        unsigned n = frames < piece ? frames : piece;
        if (!waitForData(s, n * s->frameSize))
            break;
        std::vector<int16_t> part = mixer.mix(n);
        out.insert(out.end(), part.begin(), part.end());
        frames -= n;
    }
    return out;
}

inline std::vector<int16_t> leftOf(const std::vector<int16_t> &stereo)
{
    std::vector<int16_t> left;
    for (size_t i = 0; i < stereo.size(); i += 2)
        left.push_back(stereo[i]);
    return left;
}

}  // namespace streamtest
