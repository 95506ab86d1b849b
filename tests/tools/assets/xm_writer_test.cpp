#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "tools/assets/xm_writer.h"
#include "tools/assets/xm_reader.h"

using namespace assets;

namespace {

XmInstrument tone(const char* name, std::vector<int16_t> data) {
    XmInstrument ins;
    ins.name = name;
    XmSample s;
    s.name = name;
    s.data = std::move(data);
    ins.samples.push_back(s);
    return ins;
}

XmModule small_module() {
    XmModule m;
    m.name = "unit";
    m.channels = 4;
    m.speed = 5;
    m.tempo = 140;
    m.restart = 1;
    XmPattern p(3, 4);
    p.at(0, 0) = {49, 1, 0x40, 0x0F, 0x06};       // every field: stored unpacked
    p.at(0, 1) = {97, 0, 0, 0, 0};                // key off alone
    p.at(1, 2) = {0, 0, 0, 0x20, 0x05};           // sync mark, effect only
    p.at(2, 3) = {0, 2, 0xC8, 0, 0};              // instrument and volume-column panning
    p.at(2, 0) = {13, 0, 0, 0x0C, 0};             // effect with zero parameter
    m.patterns.push_back(p);
    m.patterns.push_back(XmPattern(64, 4));       // empty
    m.orders = {0, 1, 0};
    m.instruments.push_back(tone("wrap", {0, 32767, -32768, 1000, -1000, 0}));
    XmInstrument env = tone("env", {5, 6, 7, 8});
    env.volume_env.points = {{0, 0}, {10, 64}, {40, 20}};
    env.volume_env.sustain = 1;
    env.panning_env.points = {{0, 32}, {20, 48}};
    env.panning_env.loop_start = 0;
    env.panning_env.loop_end = 1;
    env.vibrato_type = 2;
    env.vibrato_sweep = 9;
    env.vibrato_depth = 4;
    env.vibrato_rate = 12;
    env.fadeout = 0x1234;
    env.samples[0].loop = XmLoop::pingpong;
    env.samples[0].loop_start = 1;
    env.samples[0].loop_length = 2;
    env.samples[0].finetune = -17;
    env.samples[0].relative_note = -3;
    env.samples[0].panning = 200;
    env.samples[0].volume = 33;
    m.instruments.push_back(env);
    return m;
}

}  // namespace

TEST(XmWriter, HeaderFieldsAndSizes) {
    const std::vector<uint8_t> file = write_xm(small_module());
    ASSERT_GE(file.size(), 336u);
    EXPECT_EQ(0, std::memcmp(file.data(), "Extended Module: ", 17));
    EXPECT_EQ(0x1A, file[37]);
    const xmread::Module m = xmread::read(file);  // also checks nothing is left over
    EXPECT_EQ("unit", std::string(m.name.c_str()));
    EXPECT_EQ(0x0104u, m.version);
    EXPECT_EQ(276u, m.header_size);
    EXPECT_EQ(3u, m.song_length);
    EXPECT_EQ(1u, m.restart);
    EXPECT_EQ(4u, m.channels);
    EXPECT_EQ(2u, m.num_patterns);
    EXPECT_EQ(2u, m.num_instruments);
    EXPECT_EQ(1u, m.flags & 1) << "linear frequency table";
    EXPECT_EQ(5u, m.speed);
    EXPECT_EQ(140u, m.tempo);
    EXPECT_EQ(0, m.orders[0]);
    EXPECT_EQ(1, m.orders[1]);
    EXPECT_EQ(0, m.orders[2]);
    EXPECT_EQ(0, m.orders[3]);
    // The instrument data begin right after the order table.
    EXPECT_EQ(9u, m.patterns[0].header_length);
}

TEST(XmWriter, PatternPackingReadsBack) {
    const XmModule src = small_module();
    const xmread::Module m = xmread::read(write_xm(src));
    const xmread::Pattern& p = m.patterns[0];
    ASSERT_EQ(3u, p.rows);
    for (int r = 0; r < 3; ++r)
        for (int ch = 0; ch < 4; ++ch) {
            const XmCell& a = src.patterns[0].at(r, ch);
            const XmCell& b = p.cells[static_cast<size_t>(r * 4 + ch)];
            EXPECT_EQ(a.note, b.note) << r << "," << ch;
            EXPECT_EQ(a.instrument, b.instrument) << r << "," << ch;
            EXPECT_EQ(a.volume, b.volume) << r << "," << ch;
            EXPECT_EQ(a.effect, b.effect) << r << "," << ch;
            EXPECT_EQ(a.param, b.param) << r << "," << ch;
        }
    // Row 0: one unpacked five-byte cell, then a mask + note, then two empty
    // cells of one byte each; the whole pattern is as small as the format allows.
    const std::vector<uint8_t> packed = pack_pattern(src.patterns[0]);
    ASSERT_GE(packed.size(), 9u);
    EXPECT_EQ(49, packed[0]);
    EXPECT_EQ(0x81, packed[5]);
    EXPECT_EQ(97, packed[6]);
    EXPECT_EQ(0x80, packed[7]);
    EXPECT_EQ(0x80, packed[8]);
    EXPECT_EQ(5u + 2 + 1 + 1 + (1 + 1 + 3 + 1) + (3 + 1 + 1 + 3), packed.size());
    EXPECT_EQ(packed.size(), p.packed_size);
    // An all-empty pattern is stored with no data.
    EXPECT_EQ(0u, m.patterns[1].packed_size);
    EXPECT_EQ(64u, m.patterns[1].rows);
}

TEST(XmWriter, InstrumentsEnvelopesAndDeltaCodedSamples) {
    const XmModule src = small_module();
    const xmread::Module m = xmread::read(write_xm(src));
    ASSERT_EQ(2u, m.instruments.size());
    const xmread::Instrument& a = m.instruments[0];
    EXPECT_EQ(263u, a.size);
    EXPECT_EQ(40u, a.sample_header_size);
    EXPECT_EQ(1u, a.num_samples);
    EXPECT_EQ(0u, a.vol_type);
    ASSERT_EQ(1u, a.samples.size());
    EXPECT_EQ(12u, a.samples[0].length) << "lengths are in bytes";
    EXPECT_EQ(0x10u, a.samples[0].type & 0x13) << "16-bit, no loop";
    // Delta coding survives the full range, including wrap-around steps.
    EXPECT_EQ(src.instruments[0].samples[0].data, a.samples[0].data);

    const xmread::Instrument& b = m.instruments[1];
    EXPECT_EQ(3u, b.vol_points);
    EXPECT_EQ(2u, b.pan_points);
    EXPECT_EQ(1u, b.vol_sustain);
    EXPECT_EQ(1u | 2u, b.vol_type) << "on + sustain";
    EXPECT_EQ(1u | 4u, b.pan_type) << "on + loop";
    ASSERT_EQ(3u, b.vol_env.size());
    EXPECT_EQ(10u, b.vol_env[1].first);
    EXPECT_EQ(64u, b.vol_env[1].second);
    EXPECT_EQ(2u, b.vib_type);
    EXPECT_EQ(9u, b.vib_sweep);
    EXPECT_EQ(4u, b.vib_depth);
    EXPECT_EQ(12u, b.vib_rate);
    EXPECT_EQ(0x1234u, b.fadeout);
    const xmread::Sample& s = b.samples[0];
    EXPECT_EQ(2u, s.loop_start) << "loop fields are in bytes";
    EXPECT_EQ(4u, s.loop_length);
    EXPECT_EQ(0x12u, s.type) << "16-bit ping-pong loop";
    EXPECT_EQ(-17, s.finetune);
    EXPECT_EQ(-3, s.relative_note);
    EXPECT_EQ(200u, s.panning);
    EXPECT_EQ(33u, s.volume);
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    {
        XmModule m = small_module();
        m.channels = 5;
        for (auto& p : m.patterns) p = XmPattern(p.rows, 5);
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "odd channel count";
    }
    {
        XmModule m = small_module();
        m.orders.push_back(7);
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "order names a missing pattern";
    }
    {
        XmModule m = small_module();
        m.restart = 3;
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "restart beyond the order list";
    }
    {
        XmModule m = small_module();
        for (uint16_t i = 0; i < 13; ++i) m.instruments[1].volume_env.points.push_back({static_cast<uint16_t>(100 + i), 1});
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "13 envelope points";
    }
    {
        XmModule m = small_module();
        m.instruments[1].samples[0].loop_length = 4;
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "loop runs past the sample";
    }
    {
        XmModule m = small_module();
        m.instruments[0].note_map[10] = 1;
        EXPECT_THROW(write_xm(m), std::invalid_argument) << "note map names a missing sample";
    }
}
