// ADPCM block decoder: code steps, block search, piecewise decoding, fast
// paths against the plain loop, hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "support/adpcm_encoder.h"
#include "sound/api/errors.h"
#include "sound/extras/adpcmtbl.h"
#include "sound/extras/madpcm.h"

using adpcmtest::Channel;

namespace {

struct Decoder {
    mAdpcmState *s = nullptr;
    explicit Decoder(unsigned channels) { EXPECT_EQ(mAdpcmInitState(channels, 0, &s), errOK); }
    ~Decoder() { mAdpcmFreeState(s); }
};

// Feeds the whole input, inChunk bytes at a time, into outChunk-byte output
// pieces until the input is used up; returns every frame produced.
std::vector<int16_t> decodeAll(const std::vector<uint8_t> &in, unsigned channels,
                               unsigned inChunk = 1u << 30, unsigned outChunk = 4096)
{
    Decoder d(channels);
    std::vector<int16_t> result;
    std::vector<int16_t> out(outChunk / 2);
    size_t pos = 0;
    while (pos < in.size()) {
        unsigned n = static_cast<unsigned>(std::min<size_t>(inChunk, in.size() - pos));
        unsigned used = 0, written = 0;
        EXPECT_EQ(mAdpcmDecode(in.data() + pos, n, out.data(), outChunk, &used, &written, d.s),
                  errOK);
        EXPECT_LE(used, n);
        EXPECT_LE(written, outChunk);
        if (used == 0 && written == 0) {
            ADD_FAILURE() << "no progress at input byte " << pos;
            break;
        }
        pos += used;
        result.insert(result.end(), out.begin(), out.begin() + written / 2);
    }
    return result;
}

std::vector<int16_t> sine(unsigned frames, unsigned channels)
{
    std::vector<int16_t> s;
    for (unsigned f = 0; f < frames; f++)
        for (unsigned c = 0; c < channels; c++)
            s.push_back(static_cast<int16_t>(
                12000.0 * std::sin(f * (0.031 + 0.02 * c)) + 3000.0 * std::sin(f * 0.4)));
    return s;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(AdpcmTables, StepSizesAndDifferencesAtTheEnds)
{
    EXPECT_EQ(stepSizes[0], 7);
    EXPECT_EQ(stepSizes[88], 32767);
    for (int s = 1; s < mAdpcmNumSteps; s++)
        EXPECT_GT(stepSizes[s], stepSizes[s - 1]) << s;
    // Every negative code mirrors its positive twin.
    for (int s = 0; s < mAdpcmNumSteps; s++)
        for (int c = 0; c < 8; c++)
            EXPECT_EQ(mAdpcmPredDiffTable[s][c + 8], -mAdpcmPredDiffTable[s][c]);
}

TEST(AdpcmDecode, CodesZeroAndSevenAtStepIndexZero)
{
    // One mono block, predictor 0 at step index 0, codes 0, 7, then 1, 0.
    Channel ch;
    std::vector<uint8_t> block = adpcmtest::header(1, 9 + 2, &ch);
    block.push_back(0x07);
    block.push_back(0x10);
    std::vector<int16_t> out = decodeAll(block, 1);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 0);   // code 0 adds 0, index stays at 0
    EXPECT_EQ(out[1], 11);  // code 7 adds 11, index 0 -> 8
    EXPECT_EQ(out[2], 17);  // code 1 at index 8 (step 16): 2 + 4
    EXPECT_EQ(out[3], 18);  // code 0 at index 7 (step 14) still adds 14 >> 3
}

TEST(AdpcmDecode, ClampsThePredictorAndTheStepIndex)
{
    Channel ch;
    ch.pred = 32000;
    ch.index = 88;
    std::vector<uint8_t> block = adpcmtest::header(1, 9 + 2, &ch);
    block.push_back(0x77);  // two large positive steps: clamped at 32767, index stays 88
    block.push_back(0xFF);  // two large negative steps from the top
    std::vector<int16_t> out = decodeAll(block, 1);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 32767);
    int expect = 32767 + mAdpcmPredDiffTable[88][15];
    EXPECT_EQ(out[2], expect);
    expect += mAdpcmPredDiffTable[88][15];
    EXPECT_EQ(out[3], expect < -32768 ? -32768 : expect);
}

TEST(AdpcmDecode, EncodedSignalDecodesToTheEncodersPredictor)
{
    for (unsigned channels = 1; channels <= 2; channels++) {
        std::vector<int16_t> signal = sine(3000, channels);
        adpcmtest::Encoded e = adpcmtest::encode(signal, channels, 500);
        std::vector<int16_t> out = decodeAll(e.bytes, channels);
        ASSERT_EQ(out, e.decoded) << channels << " channels";
        // The codec follows the signal closely: a sanity check on the
        // encoder that built the stream, not only on the decoder.
        double err = 0, sig = 0;
        for (size_t i = 0; i < signal.size(); i++) {
            err += std::pow(out[i] - signal[i], 2);
            sig += std::pow(signal[i], 2);
        }
        EXPECT_GT(10 * std::log10(sig / err), 20.0) << channels << " channels";
    }
}

TEST(AdpcmDecode, PiecewiseInputAndOutputGiveTheSameFrames)
{
    for (unsigned channels = 1; channels <= 2; channels++) {
        adpcmtest::Encoded e = adpcmtest::encode(sine(2000, channels), channels, 333 * 2);
        // Pieces that split headers and code bytes at every offset.
        for (unsigned inChunk : {1u, 2u, 5u, 11u, 13u, 700u})
            for (unsigned outChunk : {4u, 8u, 12u, 1000u})
                EXPECT_EQ(decodeAll(e.bytes, channels, inChunk, outChunk), e.decoded)
                    << channels << " channels, in " << inChunk << ", out " << outChunk;
    }
}

TEST(AdpcmDecode, OutputSizesThatAreNotAMultipleOfFourAreRefused)
{
    Decoder d(1);
    uint8_t in[4] = {};
    int16_t out[8];
    unsigned used = 99, written = 99;
    for (unsigned bytes : {1u, 2u, 6u, 10u})
        EXPECT_EQ(mAdpcmDecode(in, 4, out, bytes, &used, &written, d.s), errInvalidArguments);
    EXPECT_EQ(mAdpcmDecode(in, 4, out, 0, &used, &written, d.s), errOK);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(written, 0u);
}

TEST(AdpcmDecode, OnlyMonoAndStereoDecodersExist)
{
    mAdpcmState *s = nullptr;
    EXPECT_EQ(mAdpcmInitState(0, 0, &s), errInvalidArguments);
    EXPECT_EQ(mAdpcmInitState(3, 0, &s), errInvalidArguments);
    EXPECT_EQ(s, nullptr);
}

TEST(AdpcmResync, GarbageBeforeTheFirstHeaderIsSkipped)
{
    adpcmtest::Encoded e = adpcmtest::encode(sine(400, 2), 2, 100);
    // Includes a lone magic pair whose header does not check out.
    std::vector<uint8_t> garbage = {0x00, 0x17, 0x42, 0x17, 0x99, 0x42, 0xFF, 0x12, 0x17};
    EXPECT_EQ(decodeAll(concat(garbage, e.bytes), 2), e.decoded);
    EXPECT_EQ(decodeAll(concat(garbage, e.bytes), 2, 3, 8), e.decoded);
}

TEST(AdpcmResync, BlocksWithBadHeadersAreSkipped)
{
    // Three blocks of one stream; the middle one is damaged in turn in each
    // header field the decoder checks. The decoder drops it and picks up the
    // third block, whose header carries its own predictor state.
    std::vector<int16_t> signal = sine(300, 1);
    adpcmtest::Encoded e = adpcmtest::encode(signal, 1, 100);
    const size_t blockBytes = 9 + 50;
    ASSERT_EQ(e.bytes.size(), 3 * blockBytes);
    std::vector<int16_t> expected(e.decoded.begin(), e.decoded.begin() + 100);
    expected.insert(expected.end(), e.decoded.begin() + 200, e.decoded.end());

    struct Damage {
        const char *what;
        size_t offset;
        uint8_t value;
        bool fixChecksum;
    };
    const Damage damages[] = {
        {"checksum", 4, 0x00, false},
        {"magic", 1, 0x43, true},
        {"length shorter than the header", 2, 5, true},
        {"step index above 88", 8, 89, true},
        {"step index 255", 8, 255, true},
    };
    for (const Damage &dmg : damages) {
        std::vector<uint8_t> bytes = e.bytes;
        uint8_t *h = bytes.data() + blockBytes;
        if (dmg.offset == 4 && h[4] == dmg.value)
            h[4] ^= 1;
        else
            h[dmg.offset] = dmg.value;
        if (dmg.fixChecksum) {
            unsigned sum = 0;
            for (int i = 0; i < 9; i++)
                if (i != 4)
                    sum += h[i];
            h[4] = static_cast<uint8_t>(sum);
        }
        EXPECT_EQ(decodeAll(bytes, 1), expected) << dmg.what;
    }
}

TEST(AdpcmResync, AHeaderOnlyBlockAndAnEmptyInputProduceNothing)
{
    Channel ch;
    std::vector<uint8_t> empty = adpcmtest::header(1, 9, &ch);
    adpcmtest::Encoded e = adpcmtest::encode(sine(100, 1), 1, 100);
    EXPECT_EQ(decodeAll(concat(empty, e.bytes), 1), e.decoded);
    Decoder d(1);
    int16_t out[4];
    unsigned used = 1, written = 1;
    EXPECT_EQ(mAdpcmDecode(nullptr, 0, out, 8, &used, &written, d.s), errOK);
    EXPECT_EQ(used + written, 0u);
}

TEST(AdpcmResync, RandomBytesAreConsumedWithoutOverrun)
{
    std::mt19937 rng(1234);
    for (unsigned channels = 1; channels <= 2; channels++) {
        std::vector<uint8_t> noise(20000);
        for (uint8_t &b : noise)
            b = static_cast<uint8_t>(rng());
        // A valid block buried in the noise is still found.
        adpcmtest::Encoded e = adpcmtest::encode(sine(64, channels), channels, 64);
        std::vector<uint8_t> bytes = concat(noise, e.bytes);
        std::vector<int16_t> out = decodeAll(bytes, channels, 37, 20);
        ASSERT_GE(out.size(), e.decoded.size());
        EXPECT_TRUE(std::equal(e.decoded.begin(), e.decoded.end(),
                               out.end() - static_cast<long>(e.decoded.size())));
    }
}

TEST(AdpcmFastPath, MonoAndStereoMatchThePlainLoop)
{
    std::mt19937 rng(99);
    for (unsigned channels = 1; channels <= 2; channels++)
        for (int round = 0; round < 50; round++) {
            Decoder fast(channels), plain(channels);
            for (unsigned c = 0; c < channels; c++) {
                int32_t pred = static_cast<int32_t>(rng() % 65536) - 32768;
                int32_t index = static_cast<int32_t>(rng() % 89);
                fast.s->predictor[c] = plain.s->predictor[c] = pred;
                fast.s->stepIndex[c] = plain.s->stepIndex[c] = index;
            }
            unsigned frames = 2 * (1 + rng() % 200);
            std::vector<uint8_t> in(frames * channels / 2);
            for (uint8_t &b : in)
                b = static_cast<uint8_t>(rng());
            std::vector<int16_t> a(frames * channels), b(frames * channels);
            mAdpcmDecodeFrames(fast.s, in.data(), a.data(), frames);
            mAdpcmDecodeFramesGeneral(plain.s, in.data(), b.data(), frames);
            ASSERT_EQ(a, b) << channels << " channels, round " << round;
            for (unsigned c = 0; c < channels; c++) {
                EXPECT_EQ(fast.s->predictor[c], plain.s->predictor[c]);
                EXPECT_EQ(fast.s->stepIndex[c], plain.s->stepIndex[c]);
            }
        }
}
