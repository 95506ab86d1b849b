// Mu-law conversion.
#include "sound/mixer/mulaw.h"

#include <array>
#include <cstddef>
#include <cstdint>

// expTable[i] = floor(log2 i) for i >= 2, else 0: the segment of a biased
// magnitude shifted right by 7.
static constexpr std::array<uint8_t, 256> makeExpTable()
{
    std::array<uint8_t, 256> t{};
    for (int i = 2; i < 256; i++) {
        int e = 0;
        while ((i >> (e + 1)) != 0)
            e++;
        t[static_cast<size_t>(i)] = static_cast<uint8_t>(e);
    }
    return t;
}
static constexpr std::array<uint8_t, 256> expTable = makeExpTable();

// Start of each segment's magnitudes: (132 << e) - 132.
static constexpr int32_t decExpTable[8] = {0, 132, 396, 924, 1980, 4092, 8316, 16764};

static_assert(expTable[2] == 1 && expTable[255] == 7 && expTable[1] == 0);

int mUlawEncode(const short *in, unsigned inBytes, unsigned char *out)
{
    const unsigned count = inBytes / 2;
    for (unsigned i = 0; i < count; i++) {
        int a = in[i];
        int sign = a < 0 ? 0x80 : 0;
        int m = a < 0 ? -a : a;
        if (m > 32635)
            m = 32635;
        int biased = m + 132;
        int e = expTable[static_cast<unsigned>(biased >> 7)];
        int mantissa = (biased >> (e + 3)) & 0x0F;
        out[i] = static_cast<unsigned char>(~(sign | e << 4 | mantissa));
    }
    return 0;
}

int mUlawDecode(const unsigned char *in, unsigned count, short *out)
{
    for (unsigned i = 0; i < count; i++) {
        unsigned c = static_cast<unsigned char>(~in[i]);
        unsigned e = (c >> 4) & 7;
        int magnitude = decExpTable[e] + static_cast<int>((c & 0x0F) << (e + 3));
        out[i] = static_cast<short>((in[i] & 0x80) ? magnitude : -magnitude);
    }
    return 0;
}
