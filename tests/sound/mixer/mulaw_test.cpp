// Mu-law encoding and decoding.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sound/mixer/mulaw.h"

static unsigned char encode1(short v)
{
    unsigned char c;
    mUlawEncode(&v, 2, &c);
    return c;
}

static short decode1(unsigned char c)
{
    short v;
    mUlawDecode(&c, 1, &v);
    return v;
}

TEST(Ulaw, KnownCodes)
{
    EXPECT_EQ(encode1(0), 0xFF);
    EXPECT_EQ(encode1(-32768), encode1(-32635));
    EXPECT_EQ(encode1(-32635), 0x00);
    EXPECT_EQ(decode1(encode1(1000)), 988);
    EXPECT_EQ(decode1(0xFF), 0);
    EXPECT_EQ(decode1(0x7F), 0);
    EXPECT_EQ(decode1(0x80), 32124);
    EXPECT_EQ(decode1(0x00), -32124);
}

TEST(Ulaw, RoundTripErrorStaysWithinTheSegmentStep)
{
    // Each segment e quantises with steps of 8 << e; the decoded value lies
    // within one step of the input (and never changes sign).
    for (int v = -32768; v <= 32767; v += 7) {
        short in = static_cast<short>(v);
        short out = decode1(encode1(in));
        int m = std::abs(v) > 32635 ? 32635 : std::abs(v);
        int step = 8;
        while (step < 1024 && (m + 132) >= (step << 5))
            step <<= 1;
        EXPECT_LE(std::abs(m - std::abs(out)), step) << v;
        if (v > 0) {
            EXPECT_GE(out, 0) << v;
        }
        if (v < 0) {
            EXPECT_LE(out, 0) << v;
        }
    }
    // Decoding every code and encoding it again gives the code back, except
    // the negative zero 0x7F, which encodes as 0xFF.
    for (int c = 0; c < 256; c++) {
        if (c == 0x7F)
            continue;
        EXPECT_EQ(encode1(decode1(static_cast<unsigned char>(c))), c) << c;
    }
}
