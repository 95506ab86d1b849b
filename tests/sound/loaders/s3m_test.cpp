// The S3M loader on modules written by the test writer.
#include <gtest/gtest.h>

#include "dump.h"
#include "loadhelp.h"
#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "support/s3m_writer.h"

namespace {

s3mw::Module basic()
{
    s3mw::Module m;
    m.instruments.resize(1);
    m.instruments[0].name = "lead";
    m.instruments[0].data.assign(32, 0x90);
    m.patterns.resize(1);
    m.patterns[0].entries = {{0, 0, 0x40, 1, -1, -1, 0}};
    return m;
}

Loaded loadS3M(const s3mw::Module &m) { return Loaded(gmpLoadS3MMemory, s3mw::write(m)); }

}  // namespace

TEST(LoaderS3M, OrdersTrimAndMarkers)
{
    s3mw::Module m = basic();
    m.orders = {0, 254, 3, 255, 1, 255, 255};
    Loaded l = loadS3M(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->songLength, 5);
    EXPECT_EQ(std::vector<uint16_t>(l->orders, l->orders + 5),
              (std::vector<uint16_t>{0, 0xFFFE, 3, 0xFFFF, 1}));
    EXPECT_EQ(l->numPatts, 4u) << "raised by order 3; patterns 1 to 3 are empty";
    EXPECT_EQ(l->patterns[3]->length, 72u);
    EXPECT_EQ(l->playMode, gmpST3);

    m.orders = {255, 255};
    EXPECT_EQ(loadS3M(m).error, errInvalidModule);
    m.orders = {};
    EXPECT_EQ(loadS3M(m).error, errInvalidModule);
}

TEST(LoaderS3M, ChannelPanning)
{
    s3mw::Module m = basic();
    std::fill(std::begin(m.channelSettings), std::end(m.channelSettings), 255);
    m.channelSettings[0] = 3;
    m.channelSettings[1] = 9;
    m.channelSettings[2] = 0x83;  // disabled
    m.channelSettings[3] = 12;
    Loaded plain = loadS3M(m);
    ASSERT_EQ(plain.error, 0);
    EXPECT_EQ(std::vector<int>(plain->panning, plain->panning + 4), (std::vector<int>{0, 128, 0, 128}));

    m.panTable = true;
    m.pan[0] = 0x20 | 3;   // 24
    m.pan[1] = 0x20 | 7;   // centre
    m.pan[2] = 0x20 | 15;  // disabled channel: centre whatever its byte
    m.pan[3] = 15;         // no bit 5: the channel setting decides
    Loaded table = loadS3M(m);
    ASSERT_EQ(table.error, 0);
    EXPECT_EQ(std::vector<int>(table->panning, table->panning + 4), (std::vector<int>{24, 64, 64, 128}));
    m.pan[0] = 0x20 | 15;
    m.pan[1] = 0x20 | 9;
    Loaded right = loadS3M(m);
    EXPECT_EQ(right->panning[0], 128);
    EXPECT_EQ(right->panning[1], 80);

    int saved = mDefaultStereoSeparation;
    mDefaultStereoSeparation = 16;
    m.panTable = false;
    Loaded narrow = loadS3M(m);
    mDefaultStereoSeparation = saved;
    EXPECT_EQ(std::vector<int>(narrow->panning, narrow->panning + 4), (std::vector<int>{48, 80, 0, 80}));

    std::fill(std::begin(m.channelSettings), std::end(m.channelSettings), 255);
    EXPECT_EQ(loadS3M(m).error, errInvalidModule) << "no channel enabled";
}

TEST(LoaderS3M, HeaderFlagsAndLimits)
{
    s3mw::Module m = basic();
    m.version = 0x1300;
    EXPECT_EQ(loadS3M(m)->flags, gmpST300Slides);
    m.version = 0x1320;
    EXPECT_EQ(loadS3M(m)->flags, 0);
    m.flags = 0x40 | 0x10;
    EXPECT_EQ(loadS3M(m)->flags, gmpST300Slides | gmpAmigaLimits);
    m.globalVolume = 200;
    m.speed = 3;
    m.tempo = 150;
    Loaded l = loadS3M(m);
    EXPECT_EQ(l->masterVolume, 64);
    EXPECT_EQ(l->speed, 3);
    EXPECT_EQ(l->tempo, 150);
}

TEST(LoaderS3M, PatternEntries)
{
    s3mw::Module m = basic();
    m.instruments.resize(2);
    m.patterns[0].entries = {
        {0, 0, 0x4C, 1, -1, -1, 0},   // semitone 12: kept, played as C-5
        {1, 1, 0x31, 2, 64, -1, 0},   // volume 64 stored as 63
        {2, 2, 254, 0, -1, -1, 0},    // note off, no instrument
        {3, 3, 0x52, 3, -1, -1, 0},   // instrument beyond the count
        {4, 0, -1, -1, -1, 19, 0x83}, // S8x: 4-bit panning
        {5, 0, -1, -1, -1, 26, 0x10}, // Z: not converted
        {6, 0, -1, -1, -1, 1, 0x04},  // A: speed
        {7, 0, -1, -1, -1, 19, 0x13}, // S1x: dropped
        {8, 9, 0x20, 1, -1, -1, 0},   // channel 9 is not enabled
        {9, 0, 0x80, 1, -1, -1, 0},   // above octave 7: no note
    };
    Loaded l = loadS3M(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(dumpPattern(l->patterns[0]),
              "  0: 0:4C/00\n"
              "  1: 1:31/01 v63\n"
              "  2: 2:FE/FF\n"
              "  3: 3:52/FF\n"
              "  4: 0:--/-- c20,03\n"
              "  6: 0:--/-- c15,04\n"
              "  9: 0:FF/00\n");
    EXPECT_EQ(l->numChans, 4);
    EXPECT_EQ(l->instruments[0]->used, 1u);
    EXPECT_EQ(l->instruments[1]->used, 1u);
}

TEST(LoaderS3M, ChannelsAreTheFewerOfEnabledAndUsed)
{
    s3mw::Module m = basic();
    std::fill(std::begin(m.channelSettings), std::end(m.channelSettings), 0);  // 32 enabled
    m.patterns[0].entries = {{0, 5, 0x40, 1, -1, -1, 0}};
    EXPECT_EQ(loadS3M(m)->numChans, 6);
    m.patterns[0].entries = {};
    EXPECT_EQ(loadS3M(m)->numChans, 32) << "no entries: every enabled channel";
}

TEST(LoaderS3M, Samples)
{
    s3mw::Module m = basic();
    m.instruments.resize(4);
    m.instruments[0].data.assign(100, 0x80);
    m.instruments[0].loop = true;
    m.instruments[0].loopStart = 10;
    m.instruments[0].loopEnd = 50;          // cut at the loop end
    m.instruments[0].c2spd = 0;             // would divide by zero
    m.instruments[1].data = {0x00, 0x7F, 0xFF};
    m.instruments[1].volume = 80;
    m.instruments[1].loop = true;           // start equals end: no loop
    m.instruments[1].loopStart = 2;
    m.instruments[1].loopEnd = 2;
    m.instruments[2].data = {1, 2, 3};      // never used
    m.instruments[3].data = {1, 2, 3, 4};
    m.instruments[3].length = 1000;         // the file holds 4
    m.instruments[3].type = 2;              // AdLib: no sample data
    m.patterns[0].entries = {{0, 0, 0x40, 1, -1, -1, 0}, {1, 0, 0x40, 2, -1, -1, 0},
                             {2, 0, 0x40, 4, -1, -1, 0}};
    Loaded l = loadS3M(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->samples[0]->sampleLength, 50u);
    EXPECT_EQ(l->samples[0]->loopMode, sdLoop1);
    EXPECT_EQ(l->samples[0]->loopStart, 10u);
    EXPECT_EQ(l->samples[0]->loopEnd, 50u);
    EXPECT_EQ(l->samples[0]->baseTune, 8363);
    EXPECT_EQ(l->samples[1]->loopType, loopNone);
    EXPECT_EQ(l->samples[1]->volume, 64u);
    EXPECT_EQ(sampleBytes(l.m, 1), (std::vector<uint8_t>{0x00, 0x7F, 0xFF})) << "unsigned as stored";
    EXPECT_EQ(l->samples[2], nullptr);
    EXPECT_EQ(l->instruments[2]->numSamples, 0u);
    EXPECT_EQ(l->samples[3]->sampleType, smpNone);

    m.signedSamples = true;
    m.instruments[3].type = 1;
    Loaded s = loadS3M(m);
    EXPECT_EQ(sampleBytes(s.m, 1), (std::vector<uint8_t>{0x80, 0xFF, 0x7F}));
    EXPECT_EQ(s->samples[3]->sampleLength, 4u) << "cut to the data in the file";
}

TEST(LoaderS3M, OversizedAndDamagedPatterns)
{
    s3mw::Module m = basic();
    // 20000 bytes of entries in one row, more than a pattern ever needs.
    std::vector<uint8_t> raw;
    while (raw.size() < 20000)
        raw.insert(raw.end(), {0xE0, 0x40, 0x01, 0x20, 0x0F, 0x01});
    raw.push_back(0);
    m.patterns[0].raw = raw;
    Loaded big = loadS3M(m);
    ASSERT_EQ(big.error, 0);
    EXPECT_EQ(big->patterns[0]->rows, 64u);
    EXPECT_EQ(big->patterns[0]->length, 8u + 20004u / 6 * 6 + 64u);

    // A stored length beyond the file and an entry cut in the middle (no
    // sample data, so the pattern ends the file).
    m.instruments[0].data.clear();
    m.patterns[0].raw = std::vector<uint8_t>{0x20, 0x40, 0x01, 0x00, 0xE1, 0x40};
    m.patterns[0].lengthField = 60000;
    Loaded cut = loadS3M(m);
    ASSERT_EQ(cut.error, 0);
    EXPECT_EQ(dumpPattern(cut->patterns[0]), "  0: 0:40/00\n");
    EXPECT_EQ(cut->patterns[0]->length, 8u + 4u + 63u);
}

// An instrument pointer (partly) past the end of the file refuses the load;
// it used to load as an empty instrument.
TEST(LoaderS3M, InstrumentHeaderPastTheEndIsRefused)
{
    s3mw::Module m = basic();
    std::vector<uint8_t> bytes = s3mw::write(m);
    const size_t ptr = 96 + m.orders.size();
    for (size_t paragraph : {(bytes.size() - 40) / 16, size_t{0xFFFF}}) {
        std::vector<uint8_t> b = bytes;
        b[ptr] = static_cast<uint8_t>(paragraph);
        b[ptr + 1] = static_cast<uint8_t>(paragraph >> 8);
        EXPECT_EQ(Loaded(gmpLoadS3MMemory, b).error, errEndOfFile) << paragraph;
    }
}
