// Fuzzes the ADPCM decoder. The first byte picks the channel count and the
// input and output piece sizes; the rest is the stream. Every call must make
// progress and stay inside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/api/errors.h"
#include "sound/extras/madpcm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    unsigned channels = 1 + (data[0] & 1);
    unsigned inPiece = 1 + ((data[0] >> 1) & 31) * 7;     // 1 .. 218 bytes
    unsigned outBytes = 4 * (1 + ((data[0] >> 6) & 3) * 9);  // 4 .. 112 bytes
    data++;
    size--;

    mAdpcmState *s;
    if (mAdpcmInitState(channels, 0, &s) != errOK)
        std::abort();
    // Exactly sized, so any write past the reported space is caught.
    std::vector<short> out(outBytes / 2);
    size_t pos = 0;
    while (pos < size) {
        size_t left = size - pos;
        unsigned n = left < inPiece ? static_cast<unsigned>(left) : inPiece;
        // A copy of exactly n bytes: a read past the piece is caught too.
        std::vector<unsigned char> piece(data + pos, data + pos + n);
        unsigned used = 0, written = 0;
        if (mAdpcmDecode(piece.data(), n, out.data(), outBytes, &used, &written, s) != errOK)
            std::abort();
        if (used > n || written > outBytes || (used == 0 && written == 0))
            std::abort();
        if (s->stepIndex[0] > 88 || s->stepIndex[channels - 1] > 88)
            std::abort();
        pos += used;
    }
    mAdpcmFreeState(s);
    return 0;
}
