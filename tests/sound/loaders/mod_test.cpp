// The MOD loader on modules written by the test writer.
#include <gtest/gtest.h>

#include "dump.h"
#include "loadhelp.h"
#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "support/mod_writer.h"

namespace {

modw::Module oneNote(uint16_t period)
{
    modw::Module m;
    m.samples.resize(1);
    m.samples[0].data.assign(16, 1);
    m.cell(0, 0, 0) = {period, 1, 0, 0};
    return m;
}

Loaded loadMod(const modw::Module &m) { return Loaded(gmpLoadMODMemory, modw::write(m)); }

}  // namespace

TEST(LoaderMOD, ChannelCountComesFromTheTag)
{
    struct {
        const char *tag;
        int channels;  // 0: refused with "Invalid module file"
    } cases[] = {{"M.K.", 4}, {"M!K!", 4}, {"FLT4", 4}, {"OCTA", 8}, {"6CHN", 6}, {"8CHN", 8},
                 {"16CH", 16}, {"32CH", 32}, {"TDZ3", 3}, {"33CH", 0}, {"99CH", 0},
                 {"xCHN", 0}, {"\0\0\0\0", 0}, {"FLT8", 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tag);
        modw::Module m = oneNote(428);
        m.tag = std::string(c.tag, 4);
        m.channels = c.channels ? c.channels : 4;
        Loaded l = loadMod(m);
        if (c.channels == 0) {
            EXPECT_EQ(l.error, errInvalidModule);
            EXPECT_EQ(l.m, nullptr);
        } else {
            ASSERT_EQ(l.error, 0);
            EXPECT_EQ(l->numChans, c.channels);
            EXPECT_EQ(l->playMode, gmpPT);
        }
    }
}

TEST(LoaderMOD, PeriodsBecomeTheNearestTableNoteAtOrBelow)
{
    struct {
        uint16_t period;
        uint8_t note;
        bool extended;
    } cases[] = {{856, 0x10, false}, {850, 0x11, false}, {113, 0x3B, false},
                 {1712, 0x00, true}, {4095, 0x00, true}, {107, 0x40, true}, {28, 0x5B, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.period);
        Loaded l = loadMod(oneNote(c.period));
        ASSERT_EQ(l.error, 0);
        const uint8_t *d = gmpPatternData(l->patterns[0]);
        EXPECT_EQ(d[0], gmpEntryNote | 0);
        EXPECT_EQ(d[1], c.note);
        EXPECT_EQ(d[2], 0);
        EXPECT_EQ((l->flags & gmpExtOctaves) != 0, c.extended);
    }
    // Below the table's last period no note fits.
    EXPECT_EQ(loadMod(oneNote(27)).error, errInvalidPatt);
}

TEST(LoaderMOD, CellsConvertToEntries)
{
    modw::Module m = oneNote(0);
    m.cell(0, 0, 0) = {0, 1, 0, 0};           // instrument alone: note 255
    m.cell(0, 1, 1) = {0, 0, 0x8, 0xA0};      // 8xx above 128: dropped
    m.cell(0, 2, 1) = {0, 0, 0x8, 164};       // surround stays
    m.cell(0, 3, 2) = {0, 0, 0xF, 0x21};      // tempo from 33 on
    m.cell(0, 4, 2) = {0, 0, 0xF, 0x1F};      // speed
    m.cell(0, 5, 3) = {0, 0, 0xE, 0xC3};      // note cut, tick 3
    m.cell(0, 6, 3) = {0, 0, 0xE, 0x03};      // E3x: kept as command 0
    m.cell(0, 7, 0) = {0, 0, 0xC, 0x40};      // volume
    Loaded l = loadMod(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(dumpPattern(l->patterns[0]),
              "  0: 0:FF/00\n"
              "  2: 1:--/-- c9,A4\n"
              "  3: 2:--/-- c16,21\n"
              "  4: 2:--/-- c15,1F\n"
              "  5: 3:--/-- c24,03\n"
              "  6: 3:--/-- c0,03\n"
              "  7: 0:--/-- c13,40\n");
    EXPECT_EQ(l->patterns[0]->rows, 64u);

    m.cell(0, 9, 0) = {0, 32, 0, 0};  // no instrument 32
    EXPECT_EQ(loadMod(m).error, errInvalidPatt);
}

TEST(LoaderMOD, SampleLoopsAndLengths)
{
    modw::Module m;
    m.samples.resize(4);
    for (auto &s : m.samples)
        s.data.assign(100, -128);
    m.samples[0].loopStart = 0;   // one word: no loop
    m.samples[0].loopLength = 1;
    m.samples[1].loopStart = 10;  // loop ends at byte 60: the rest is cut
    m.samples[1].loopLength = 20;
    m.samples[2].loopStart = 40;  // loop past the data: kept where data exist
    m.samples[2].loopLength = 30;
    m.samples[3].loopStart = 60;  // loop entirely past the data: no loop
    m.samples[3].loopLength = 10;
    m.samples[3].finetune = 0x1F;
    m.samples[3].volume = 99;
    for (unsigned i = 0; i < 4; i++)
        m.cell(0, i, 0) = {428, static_cast<uint8_t>(i + 1), 0, 0};
    Loaded l = loadMod(m);
    ASSERT_EQ(l.error, 0);
    const SampleRecord *s0 = l->samples[0], *s1 = l->samples[1], *s2 = l->samples[2],
                       *s3 = l->samples[3];
    EXPECT_EQ(s0->loopMode, sdLoopAmigaNone);
    EXPECT_EQ(s0->loopType, loopNone);
    EXPECT_EQ(s0->sampleLength, 100u);
    EXPECT_EQ(s1->loopMode, sdLoopAmiga);
    EXPECT_EQ(s1->loopType, loopUnidir);
    EXPECT_EQ(s1->loopStart, 20u);
    EXPECT_EQ(s1->loopEnd, 60u);
    EXPECT_EQ(s1->sampleLength, 60u);
    EXPECT_EQ(s2->loopEnd, 100u);
    EXPECT_EQ(s2->loopType, loopUnidir);
    EXPECT_EQ(s3->loopType, loopNone);
    EXPECT_EQ(s3->fineTune, 15) << "finetune masked to its nibble";
    EXPECT_EQ(s3->volume, 64u);
    // Signed data stored unsigned: -128 becomes 0.
    EXPECT_EQ(sampleBytes(l.m, 0), std::vector<uint8_t>(100, 0));
    EXPECT_EQ(s0->sampleType, smp8bitMono);
}

TEST(LoaderMOD, OnlyUsedInstrumentsGetSamples)
{
    modw::Module m = oneNote(428);
    m.samples.resize(3);
    m.samples[1].data.assign(8, 5);
    m.samples[1].name = "unused";
    m.samples[2].data.assign(8, 7);
    m.cell(0, 1, 0) = {428, 3, 0, 0};
    Loaded l = loadMod(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->numInsts, 31u);
    EXPECT_EQ(l->numSamples, 31u);
    EXPECT_EQ(l->instruments[1]->numSamples, 0u);
    EXPECT_EQ(l->instruments[1]->used, 0u);
    EXPECT_STREQ(l->instruments[1]->name, "unused");
    EXPECT_EQ(l->samples[1], nullptr);
    // The unused sample's data still move the file position for the next one.
    EXPECT_EQ(sampleBytes(l.m, 2), std::vector<uint8_t>(8, 0x87));
    EXPECT_EQ(l->instruments[2]->sampleList[0], l->samples[2]);
}

TEST(LoaderMOD, OrdersBeyondTheSongLengthStillCount)
{
    modw::Module m = oneNote(428);
    m.orders = {0, 1, 0, 3};
    m.songLength = 2;
    m.cell(3, 5, 1) = {0, 0, 0xC, 0x20};
    m.restart = 1;
    Loaded l = loadMod(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->songLength, 2);
    EXPECT_EQ(l->numPatts, 4u);
    EXPECT_EQ(dumpPattern(l->patterns[3]), "  5: 1:--/-- c13,20\n");
    EXPECT_EQ(l->restart, 1);
    m.restart = 2;  // not below the song length
    EXPECT_EQ(loadMod(m)->restart, 0);
}

TEST(LoaderMOD, PanningFollowsTheStereoSeparation)
{
    int saved = mDefaultStereoSeparation;
    mDefaultStereoSeparation = 32;
    Loaded l = loadMod(oneNote(428));
    mDefaultStereoSeparation = saved;
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(std::vector<int>(l->panning, l->panning + 8),
              (std::vector<int>{32, 96, 96, 32, 32, 96, 96, 32}));
}

TEST(LoaderMOD, ShortFilesFailCleanlyOrLoseSampleData)
{
    std::vector<uint8_t> bytes = modw::write(oneNote(428));
    // Cut inside the pattern data: nothing to play.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 1084 + 500);
    EXPECT_EQ(Loaded(gmpLoadMODMemory, cut).error, errEndOfFile);
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 600);
    EXPECT_EQ(Loaded(gmpLoadMODMemory, header).error, errEndOfFile);
    // Cut inside the sample data: the sample keeps what is there.
    std::vector<uint8_t> shortSample(bytes.begin(), bytes.end() - 10);
    Loaded l(gmpLoadMODMemory, shortSample);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->samples[0]->sampleLength, 6u);
}
