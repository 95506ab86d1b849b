#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "tools/assets/song.h"
#include "tools/assets/synth.h"
#include "tools/assets/xm_reader.h"

using namespace assets;

namespace {

const XmModule& song() {
    static const XmModule m = compose_song();
    return m;
}

XmModule blank(int patterns, int rows) {
    XmModule m;
    m.channels = 2;
    m.speed = 6;
    m.tempo = 125;
    for (int i = 0; i < patterns; ++i) m.patterns.emplace_back(rows, 2);
    for (int i = 0; i < patterns; ++i) m.orders.push_back(static_cast<uint8_t>(i));
    return m;
}

constexpr double kRow = 6 * 2.5 / 125;  // one row at speed 6, tempo 125

}  // namespace

// The show waits for these values in this order; each ends a scene.
TEST(Song, FourSyncMarksInShowOrderNearTheirCues) {
    const SongTiming t = walk_song(song());
    ASSERT_EQ(4u, t.marks.size());
    const int values[] = {1, 3, 5, 4};
    const double cue[] = {14, 30, 46, 60};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(values[i], t.marks[i].value);
        EXPECT_NEAR(cue[i], t.marks[i].seconds, 1.5) << "mark " << values[i];
        EXPECT_EQ(0, t.marks[i].row % 16) << "mark " << values[i] << " is not on a bar line";
    }
    // The first mark must wait until the title picture has faded (frame 800 at 60 Hz).
    EXPECT_GT(t.marks[0].seconds, 800.0 / 60.0);
    // One pass lasts 80..150 s and outlasts the show: the last effect runs
    // 800 frames after the 32-frame fade that follows mark 4.
    EXPECT_GE(t.pass_seconds, 80.0);
    EXPECT_LE(t.pass_seconds, 150.0);
    EXPECT_GT(t.pass_seconds, t.marks[3].seconds + 832.0 / 60.0);
    EXPECT_GT(t.restart_position, 0);
    EXPECT_LT(t.restart_position, static_cast<int>(song().orders.size()));
}

// The written file, read back independently, holds exactly those marks as
// effect 0x20 in the positions played before the wrap.
TEST(Song, FileCarriesExactlyTheFourMarks) {
    const xmread::Module m = xmread::read(write_xm(song()));
    EXPECT_EQ(0x0104u, m.version);
    EXPECT_EQ(1u, m.flags & 1);
    std::vector<int> found;
    for (unsigned pos = 0; pos < m.song_length; ++pos) {
        const xmread::Pattern& p = m.patterns.at(m.orders[pos]);
        for (const XmCell& c : p.cells)
            if (c.effect == 0x20) found.push_back(c.param);
    }
    EXPECT_EQ((std::vector<int>{1, 3, 5, 4}), found);
}

TEST(Song, UsesThePlayersFeatures) {
    std::set<int> effects;
    bool volume_set = false, volume_command = false;
    for (const XmPattern& p : song().patterns)
        for (const XmCell& c : p.cells) {
            if (c.effect || c.param) effects.insert(c.effect == 0xE ? 0xE0 | (c.param >> 4) : c.effect);
            volume_set |= c.volume >= 0x10 && c.volume <= 0x50;
            volume_command |= c.volume >= 0x60;
        }
    for (int e : {0x0, 0x1, 0x3, 0x4, 0x8, 0xA, 0xD, 0xE6, 0xF, 0x20}) EXPECT_TRUE(effects.count(e)) << "effect " << e;
    EXPECT_TRUE(volume_set);
    EXPECT_TRUE(volume_command);
    bool vol_env = false, pan_env = false, auto_vibrato = false;
    for (const XmInstrument& ins : song().instruments) {
        vol_env |= ins.volume_env.enabled();
        pan_env |= ins.panning_env.enabled();
        auto_vibrato |= ins.vibrato_depth > 0;
    }
    EXPECT_TRUE(vol_env && pan_env && auto_vibrato);
}

TEST(SongWalk, SpeedAndTempoChangesTakeEffectOnTheirRow) {
    XmModule m = blank(1, 4);
    m.patterns[0].at(1, 0) = {0, 0, 0, fx::speed_tempo, 3};    // speed 3 from row 1
    m.patterns[0].at(2, 1) = {0, 0, 0, fx::speed_tempo, 250};  // tempo 250 from row 2
    const SongTiming t = walk_song(m);
    EXPECT_NEAR(kRow + 3 * 2.5 / 125 + 2 * 3 * 2.5 / 250, t.pass_seconds, 1e-9);
}

TEST(SongWalk, BreaksJumpsLoopsAndDelays) {
    {
        // Break to row "12" (two decimal digits) of the next pattern.
        XmModule m = blank(2, 16);
        m.patterns[0].at(3, 1) = {0, 0, 0, fx::pattern_break, 0x12};
        m.patterns[1].at(12, 0) = {0, 0, 0, fx::sync, 9};
        const SongTiming t = walk_song(m);
        EXPECT_NEAR((4 + 4) * kRow, t.pass_seconds, 1e-9);
        ASSERT_EQ(1u, t.marks.size());
        EXPECT_NEAR(4 * kRow, t.marks[0].seconds, 1e-9);
        EXPECT_EQ(12, t.marks[0].row);
    }
    {
        // Rows 2..3 looped twice more: played three times in all.
        XmModule m = blank(1, 8);
        m.patterns[0].at(2, 0) = {0, 0, 0, fx::extended, 0x60};
        m.patterns[0].at(3, 0) = {0, 0, 0, fx::extended, 0x62};
        m.patterns[0].at(3, 1) = {0, 0, 0, fx::sync, 1};
        const SongTiming t = walk_song(m);
        EXPECT_NEAR((8 + 4) * kRow, t.pass_seconds, 1e-9);
        EXPECT_EQ(3u, t.marks.size());
    }
    {
        // A row delayed twice lasts three rows; a jump back ends the pass.
        XmModule m = blank(2, 4);
        m.patterns[0].at(1, 0) = {0, 0, 0, fx::extended, 0xE2};
        m.patterns[1].at(1, 0) = {0, 0, 0, fx::position_jump, 0};
        const SongTiming t = walk_song(m);
        EXPECT_NEAR((4 + 2) * kRow + 2 * kRow, t.pass_seconds, 1e-9);
    }
    {
        // F00 stops the song on its row.
        XmModule m = blank(1, 8);
        m.patterns[0].at(5, 0) = {0, 0, 0, fx::speed_tempo, 0};
        EXPECT_NEAR(5 * kRow, walk_song(m).pass_seconds, 1e-9);
    }
}

TEST(Synth, TuningPutsMiddleCWhereItBelongs) {
    EXPECT_EQ(0, tuning_for_rate(8363).relative_note);
    EXPECT_EQ(0, tuning_for_rate(8363).finetune);
    EXPECT_EQ(12, tuning_for_rate(16726).relative_note);
    EXPECT_EQ(0, tuning_for_rate(16726).finetune);
    EXPECT_EQ(-12, tuning_for_rate(8363 / 2.0).relative_note);
    for (double period : {64.0, 100.5, 128.0}) {
        const Tuning t = tuning_for_period(period);
        EXPECT_GE(t.finetune, -64);
        EXPECT_LE(t.finetune, 63);
        const double rate = 8363.0 * std::pow(2.0, (t.relative_note + t.finetune / 128.0) / 12.0);
        const double cents = 1200.0 * std::log2(rate / period / 261.6255653);
        EXPECT_LT(std::fabs(cents), 1.0) << "period " << period;
    }
}

// Every instrument sounds, none is clipped, and looped samples join without a
// click: the step from the loop's end back to its start is no larger than the
// steps inside the loop.
TEST(Synth, SamplesAreCleanAndLoopsSeamless) {
    for (const XmInstrument& ins : song().instruments) {
        const XmSample& s = ins.samples.at(0);
        int peak = 0;
        for (int16_t v : s.data) peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_GT(peak, 10000) << ins.name;
        EXPECT_LT(peak, 32767) << ins.name << " is clipped";
        if (s.loop == XmLoop::none) continue;
        const size_t a = s.loop_start, b = s.loop_start + s.loop_length;
        int inner = 0;
        for (size_t i = a; i + 1 < b; ++i) inner = std::max(inner, std::abs(s.data[i + 1] - s.data[i]));
        EXPECT_LE(std::abs(s.data[a] - s.data[b - 1]), inner) << ins.name;
    }
}
