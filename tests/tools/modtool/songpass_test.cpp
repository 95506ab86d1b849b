// One pass of a song: where it ends, what it renders, which syncs it sees.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "songpass.h"
#include "sound/api/testmodules.h"
#include "sound/api/midasdll.h"

namespace {

// The test song: speed 3, 50 ticks a second, 882 frames a tick at 44100 Hz.
// The player starts at tick 0 of the first row, so row reads happen at
// ticks 3, 6, 9, ... and a pass of n rows ends where the tick 3 + 3n would
// read the first row again.
constexpr uint64_t tickFrames = 882;

uint64_t passFrames(unsigned rowReads) { return (3 + 3 * uint64_t(rowReads)) * tickFrames; }

std::string writeSong(const testmod::XmSpec &spec, const char *name)
{
    std::string path = std::string(::testing::TempDir()) + "q5_pass_" + std::to_string(getpid()) + "_" + name + ".xm";
    EXPECT_TRUE(testmod::writeFile(path, testmod::xmBytes(spec)));
    return path;
}

PassResult run(const std::string &path, PassOptions options = {})
{
    PassResult r;
    std::string error;
    EXPECT_TRUE(runSongPass(path, options, &r, &error)) << error;
    return r;
}

testmod::Cell effect(uint8_t eff, uint8_t param) { return testmod::Cell{0, 0, 0, eff, param}; }

}  // namespace

TEST(SongPass, EndsWhereTheSongComesRoundWithItsSyncs)
{
    PassResult r = run(writeSong(testmod::songSpec(2), "plain"));
    EXPECT_EQ(r.format, "XM");
    EXPECT_EQ(r.songName, "test song");
    EXPECT_EQ(r.channels, 2u);
    EXPECT_EQ(r.patterns, 2u);
    EXPECT_EQ(r.instruments, 1u);
    EXPECT_EQ(r.samples, 1u);
    EXPECT_EQ(r.songLength, 2u);
    EXPECT_FALSE(r.hitLimit);
    EXPECT_EQ(r.frames, passFrames(32));
    // A sync every fourth row, none from the next pass.
    ASSERT_EQ(r.syncEvents.size(), 8u);
    for (unsigned i = 0; i < 8; i++) {
        EXPECT_EQ(r.syncEvents[i].frame, (3 + 12 * uint64_t(i)) * tickFrames);
        EXPECT_EQ(r.syncEvents[i].position, i / 4);
        EXPECT_EQ(r.syncEvents[i].row, 4 * (i % 4));
        EXPECT_EQ(r.syncEvents[i].value, 16 * (i / 4) + i % 4);
    }
}

TEST(SongPass, LoopsPlayMorePasses)
{
    PassOptions options;
    options.loops = 3;
    PassResult r = run(writeSong(testmod::songSpec(2), "loops"), options);
    EXPECT_EQ(r.frames, passFrames(3 * 32));
    EXPECT_EQ(r.syncEvents.size(), 24u);
}

TEST(SongPass, JumpBackEndsThePass)
{
    testmod::XmSpec spec = testmod::songSpec(3);
    spec.patterns[2][15][1] = effect(0xB, 1);  // position jump to 1
    PassResult r = run(writeSong(spec, "jump"));
    EXPECT_EQ(r.frames, passFrames(48));
}

TEST(SongPass, JumpToItsOwnPositionEndsThePass)
{
    testmod::XmSpec spec = testmod::songSpec(2);
    spec.patterns[1][15][1] = effect(0xB, 1);
    PassResult r = run(writeSong(spec, "selfjump"));
    EXPECT_EQ(r.frames, passFrames(32));
}

TEST(SongPass, PatternLoopAndDelayStayInThePass)
{
    testmod::XmSpec spec = testmod::songSpec(2);
    spec.patterns[0][0][1].eff = 0xE;  // E60: loop start
    spec.patterns[0][0][1].param = 0x60;
    spec.patterns[0][3][1] = effect(0xE, 0x62);  // rows 0..3 twice more
    spec.patterns[1][5][1] = effect(0xE, 0xE2);  // row 5 held two rows longer
    PassResult r = run(writeSong(spec, "loopdelay"));
    EXPECT_EQ(r.frames, passFrames(32 + 8 + 2));
}

// A jump back while a pattern loop still counts is not the song coming
// round: the pass ends only where a row comes back with no loop running.
TEST(SongPass, LoopsRunningAcrossJumpsPlayOut)
{
    // Rows 0..3 four times (E63), then B00 on the last time round: 16 rows.
    testmod::XmSpec a = testmod::songSpec(2);
    a.patterns[0][0][1].eff = 0xE;
    a.patterns[0][0][1].param = 0x60;
    a.patterns[0][3][1] = effect(0xE, 0x63);
    a.patterns[0][3][0] = effect(0xB, 0);
    EXPECT_EQ(run(writeSong(a, "loopjump")).frames, passFrames(16));
    // Position 1 jumps to itself from row 2 while its loop (E62) runs:
    // 16 rows of position 0, then rows 0..2 three times.
    testmod::XmSpec b = testmod::songSpec(3);
    b.patterns[1][0][1].eff = 0xE;
    b.patterns[1][0][1].param = 0x60;
    b.patterns[1][2][1] = effect(0xE, 0x62);
    b.patterns[1][2][0] = effect(0xB, 1);
    EXPECT_EQ(run(writeSong(b, "loopselfjump")).frames, passFrames(16 + 9));
}

TEST(SongPass, SilentPassLastsAsLongAsTheRender)
{
    std::string path = writeSong(testmod::songSpec(2), "render");
    PassOptions silent;
    silent.silent = true;
    PassResult a = run(path, silent);
    for (unsigned mode : {unsigned(MIDAS_RENDER_INTEGER), unsigned(MIDAS_RENDER_FLOAT), unsigned(MIDAS_RENDER_INTERPOLATE)}) {
        std::vector<uint8_t> out;
        MemorySink sink(&out);
        PassOptions options;
        options.sink = &sink;
        options.mixing = mode;
        PassResult b = run(path, options);
        EXPECT_EQ(b.frames, a.frames) << "mode " << mode;
        ASSERT_EQ(out.size(), b.frames * 4);
        // Silence until the first row, sound after it.
        size_t firstRow = 3 * tickFrames * 4;
        bool silentStart = true, soundAfter = false;
        for (size_t i = 0; i < out.size(); i++) {
            if (i < firstRow && out[i])
                silentStart = false;
            if (i >= firstRow && out[i])
                soundAfter = true;
        }
        EXPECT_TRUE(silentStart);
        EXPECT_TRUE(soundAfter);
    }
}

TEST(SongPass, RateSetsTheTickLength)
{
    PassOptions options;
    options.rate = 22050;
    PassResult r = run(writeSong(testmod::songSpec(2), "rate"), options);
    EXPECT_EQ(r.rate, 22050u);
    EXPECT_EQ(r.frames, (3 + 3 * 32) * 441u);  // 22050 / 50 exactly
    // Rounded as the OSS device rounds its ticks: 441 + 1, even.
    options.deviceTicks = true;
    r = run(writeSong(testmod::songSpec(2), "rate"), options);
    EXPECT_EQ(r.frames, (3 + 3 * 32) * 442u);
}

TEST(SongPass, LimitStopsASongThatNeverEnds)
{
    PassOptions options;
    options.maxSeconds = 0.5;
    PassResult r = run(writeSong(testmod::songSpec(2), "limit"), options);
    EXPECT_TRUE(r.hitLimit);
    EXPECT_GE(r.frames, 22050u);
    EXPECT_LT(r.frames, 22050u + tickFrames);
}

TEST(SongPass, LoadFailureIsReported)
{
    PassResult r;
    std::string error;
    EXPECT_FALSE(runSongPass("/nonexistent/q5/song.xm", {}, &r, &error));
    EXPECT_EQ(error, "File does not exist");
}
