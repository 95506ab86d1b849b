// IT 2.14 / 2.15 sample decompression on small hand-made streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sound/api/file.h"
#include "sound/player/itsmpdec.h"
#include "support/it_writer.h"

namespace {

// Decodes one channel from the bytes through a memory file, as the loader does.
template <typename T>
std::vector<int> decode(const std::vector<uint8_t> &bytes, unsigned frames, bool it215,
                        unsigned long *used = nullptr, size_t skip = 0)
{
    fileHandle f;
    EXPECT_EQ(fileOpenMemory(bytes.data(), bytes.size(), &f), 0);
    EXPECT_EQ(fileSeek(f, static_cast<long>(skip), rfSeekAbsolute), 0);
    std::vector<T> out(frames, 99);
    unsigned long u = 0;
    EXPECT_EQ(itsDecompress(f, bytes.size() - skip, out.data(), frames, sizeof(T) == 2, it215, &u), 0);
    fileClose(f);
    if (used)
        *used = u;
    return std::vector<int>(out.begin(), out.end());
}

// A smooth wave with some noise, so that widths change often but stay small.
std::vector<int> wave(size_t n, int amplitude, uint32_t seed)
{
    std::vector<int> v(n);
    int64_t x = 0, dx = 0;
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1664525u + 1013904223u;
        dx += static_cast<int>((seed >> 24) % 7) - 3;
        dx = dx * 15 / 16;
        x += dx;
        if (x > amplitude || x < -amplitude - 1)
            x = -x / 2;
        v[i] = static_cast<int>(x);
        if ((seed >> 8) % 97 == 0)  // rare jumps need the widest codes
            v[i] = -v[i] - 1;
    }
    return v;
}

}  // namespace

// The worked examples of the format notes: every width-change mode, both
// integrations, 8 and 16 bits.
TEST(ItSampleDecoder, WorkedExamplesDecodeExactly)
{
    const std::vector<uint8_t> ex1 = {0x05, 0x00, 0x0A, 0xF6, 0xE1, 0x1B, 0x00};
    EXPECT_EQ(decode<int8_t>(ex1, 4, false), (std::vector<int>{10, 5, -3, 0}));
    EXPECT_EQ(decode<int8_t>(ex1, 4, true), (std::vector<int>{10, 15, 12, 12}));

    const std::vector<uint8_t> ex2 = {0x07, 0x00, 0x02, 0xA3, 0xD2, 0x64, 0x9C, 0x7D, 0x0D};
    EXPECT_EQ(decode<int8_t>(ex2, 8, false), (std::vector<int>{1, 3, 0, 100, 0, 1, 0, 0}));
    EXPECT_EQ(decode<int8_t>(ex2, 8, true), (std::vector<int>{1, 4, 4, 104, 104, 105, 105, 105}));

    const std::vector<uint8_t> ex3 = {0x0B, 0x00, 0x03, 0x00, 0x2F, 0x51, 0xD1,
                                      0x07, 0x06, 0x0F, 0x30, 0x07, 0x06};
    EXPECT_EQ(decode<int16_t>(ex3, 5, false), (std::vector<int>{7, 0, 1000, -1000, 11345}));
    EXPECT_EQ(decode<int16_t>(ex3, 5, true), (std::vector<int>{7, 7, 1007, 7, 11352}));
}

TEST(ItSampleDecoder, BlockDecoderStopsWhereItsBitsEnd)
{
    // Example 2 without its count: 54 bits give all 8 frames, 32 bits only 4.
    const uint8_t bits[] = {0x02, 0xA3, 0xD2, 0x64, 0x9C, 0x7D, 0x0D};
    int8_t out[8] = {};
    EXPECT_EQ(itsDecodeBlock(bits, sizeof bits, out, 8, 0, 0), 8u);
    EXPECT_EQ(itsDecodeBlock(bits, 4, out, 8, 0, 0), 4u);
    // Asking for fewer frames than the block holds stops early.
    EXPECT_EQ(itsDecodeBlock(bits, sizeof bits, out, 3, 0, 0), 3u);
}

TEST(ItSampleDecoder, DamagedStreamsYieldZerosNotGarbage)
{
    // File cut inside the block: four frames decode, the rest stay 0.
    const std::vector<uint8_t> cut = {0x04, 0x00, 0x02, 0xA3, 0xD2, 0x64};
    EXPECT_EQ(decode<int8_t>(cut, 8, false), (std::vector<int>{1, 3, 0, 100, 0, 0, 0, 0}));

    // A width code beyond 9 (0x1FF) ends the block after the frames before it.
    // 9-bit +5, then 0x1FF.
    const std::vector<uint8_t> bad = {0x03, 0x00, 0x05, 0xFE, 0x03};
    EXPECT_EQ(decode<int8_t>(bad, 3, false), (std::vector<int>{5, 0, 0}));

    // A zero-length block adds nothing; the next block follows on directly.
    std::vector<uint8_t> zero = {0x00, 0x00, 0x05, 0x00, 0x0A, 0xF6, 0xE1, 0x1B, 0x00};
    EXPECT_EQ(decode<int8_t>(zero, 4, false), (std::vector<int>{10, 5, -3, 0}));

    // Padding after a full block's bit stream is skipped through the block's
    // count: the second block is found where the count says.
    std::vector<int> v = wave(0x8000 + 50, 100, 3);
    std::vector<uint8_t> z = itw::compress(v, false, false);
    size_t first = z[0] | (z[1] << 8);
    z.insert(z.begin() + 2 + static_cast<long>(first), {0xEE, 0xEE, 0xEE});
    first += 3;
    z[0] = static_cast<uint8_t>(first);
    z[1] = static_cast<uint8_t>(first >> 8);
    EXPECT_EQ(decode<int8_t>(z, static_cast<unsigned>(v.size()), false), v);

    // A count larger than the file: the bytes that exist are used.
    std::vector<uint8_t> longCount = {0xFF, 0xFF, 0x0A, 0xF6, 0xE1, 0x1B, 0x00};
    EXPECT_EQ(decode<int8_t>(longCount, 4, false), (std::vector<int>{10, 5, -3, 0}));
}

// Round trips through the test compressor across block boundaries, with
// random width changes, check the per-block reset and every change path.
TEST(ItSampleDecoder, RoundTripsAcrossBlocks)
{
    struct Case {
        bool is16, it215;
        size_t frames;
        int amplitude;
    } cases[] = {{false, false, 0x8000 + 777, 127}, {false, true, 0x10005, 127},
                 {true, false, 0x4000 + 777, 32767}, {true, true, 0x8005, 32767},
                 {true, false, 3000, 300}, {false, true, 3000, 20}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "16-bit " << c.is16 << " 2.15 " << c.it215);
        std::vector<int> v = wave(c.frames, c.amplitude, static_cast<uint32_t>(c.frames));
        std::vector<uint8_t> z = itw::compress(v, c.is16, c.it215, 12345);
        unsigned long used = 0;
        std::vector<int> back = c.is16 ? decode<int16_t>(z, static_cast<unsigned>(v.size()), c.it215, &used)
                                       : decode<int8_t>(z, static_cast<unsigned>(v.size()), c.it215, &used);
        EXPECT_EQ(back, v);
        EXPECT_EQ(used, z.size());
    }
}

TEST(ItSampleDecoder, SecondChannelStartsWhereTheFirstEnded)
{
    std::vector<int> left = wave(0x8000 + 100, 127, 1), right = wave(0x8000 + 100, 127, 2);
    std::vector<uint8_t> z = itw::compress(left, false, false, 7);
    std::vector<uint8_t> zr = itw::compress(right, false, false, 9);
    z.insert(z.end(), zr.begin(), zr.end());
    unsigned long used = 0;
    EXPECT_EQ(decode<int8_t>(z, static_cast<unsigned>(left.size()), false, &used), left);
    EXPECT_EQ(decode<int8_t>(z, static_cast<unsigned>(right.size()), false, nullptr, used), right);
}
