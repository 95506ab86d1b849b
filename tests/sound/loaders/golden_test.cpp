// Pinned dumps of small MOD, S3M and IT modules: any change in what the
// loaders build shows up here. Regenerate with Q5_UPDATE_GOLDEN=1 and explain
// the change in the commit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dump.h"
#include "golden_file.h"
#include "loadhelp.h"
#include "support/it_writer.h"
#include "support/mod_writer.h"
#include "support/s3m_writer.h"

TEST(GoldenLoader, SmallMOD)
{
    modw::Module m;
    m.name = "golden mod";
    m.orders = {0, 1, 0};
    m.samples.resize(3);
    m.samples[0] = {"bass", std::vector<int8_t>(64, 0), 3, 48, 8, 16};
    for (int i = 0; i < 64; i++)
        m.samples[0].data[i] = static_cast<int8_t>(i * 4 - 128);
    m.samples[1] = {"snare", std::vector<int8_t>(40, -7), 0x0E, 64, 0, 1};
    m.samples[2] = {"unused", std::vector<int8_t>(10, 3), 0, 10, 0, 1};
    m.cell(0, 0, 0) = {428, 1, 0, 0};
    m.cell(0, 0, 1) = {856, 2, 0xC, 0x30};
    m.cell(0, 4, 2) = {214, 1, 0x1, 0x02};
    m.cell(0, 8, 3) = {0, 0, 0xE, 0xD2};
    m.cell(1, 0, 0) = {1712, 2, 0xA, 0x0F};
    m.cell(1, 63, 3) = {0, 0, 0xB, 0x00};
    Loaded l(gmpLoadMODMemory, modw::write(m));
    ASSERT_EQ(l.error, 0);
    checkGolden("small_mod.txt", dumpModule(l.m));
}

TEST(GoldenLoader, SmallS3M)
{
    s3mw::Module m;
    m.name = "golden s3m";
    m.orders = {0, 254, 1, 255, 255};
    m.panTable = true;
    m.pan[0] = 0x20 | 2;
    m.pan[1] = 0x20 | 13;
    m.version = 0x1300;
    m.instruments.resize(2);
    m.instruments[0] = {"piano", 1, std::vector<uint8_t>(48, 0x70), UINT32_MAX, 16, 40, true, 50, 22050, 0};
    m.instruments[1] = {"hat", 1, {0x80, 0xFF, 0x00, 0x80}, UINT32_MAX, 0, 0, false, 64, 8363, 0};
    m.patterns.resize(2);
    m.patterns[0].entries = {{0, 0, 0x40, 1, 48, -1, 0}, {0, 1, 0x47, 2, -1, 4, 0x21},
                             {16, 2, 254, 0, -1, -1, 0}, {32, 3, -1, -1, 64, 19, 0xB2}};
    m.patterns[1].entries = {{0, 0, 0x52, 1, -1, 17, 0x03}, {63, 1, -1, -1, -1, 2, 0x00}};
    Loaded l(gmpLoadS3MMemory, s3mw::write(m));
    ASSERT_EQ(l.error, 0);
    checkGolden("small_s3m.txt", dumpModule(l.m));
}

TEST(GoldenLoader, SmallIT)
{
    itw::Module m;
    m.name = "golden it";
    m.orders = {0, 1, 254, 0, 255};
    m.useInstruments = true;
    m.samples.resize(2);
    m.samples[0].name = "saw";
    for (int i = 0; i < 300; i++)
        m.samples[0].data.push_back((i % 50) * 5 - 125);
    m.samples[0].compressed = true;
    m.samples[0].loopFlags = 0x10;
    m.samples[0].loopStart = 50;
    m.samples[0].loopEnd = 300;
    m.samples[0].c5speed = 22000;
    m.samples[0].vibSpeed = 1;
    m.samples[0].vibDepth = 2;
    m.samples[0].vibRate = 3;
    m.samples[0].vibType = 1;
    m.samples[1].name = "sine16";
    m.samples[1].is16 = true;
    for (int i = 0; i < 100; i++)
        m.samples[1].data.push_back((i * 977) % 60000 - 30000);
    m.samples[1].compressed = true;
    m.samples[1].it215 = true;
    m.samples[1].loopFlags = 0x20 | 0x80;
    m.samples[1].susStart = 10;
    m.samples[1].susEnd = 20;
    m.instruments.resize(2);
    m.instruments[0].name = "lead";
    m.instruments[0].useSample(1);
    for (int n = 60; n < 120; n++)
        m.instruments[0].keyboard[2 * n + 1] = 2;
    m.instruments[0].fadeout = 256;
    m.instruments[0].vol = {1 | 4, {{64, 0}, {48, 4}, {20, 12}}, 0, 0, 1, 1, {}};
    m.instruments[0].pan = {1 | 2, {{-16, 0}, {16, 8}}, 0, 1, 0, 0, {}};
    m.instruments[1].name = "empty";
    m.patterns.resize(2);
    m.patterns[0].entries = {{0, 0, 48, 1, 64, 1, 0x06}, {0, 1, 72, 1, 130, 8, 0x44},
                             {4, 0, 255, -1, -1, -1, 0}, {8, 2, 60, 2, -1, 19, 0xC4},
                             {12, 3, 254, -1, -1, 24, 0x80}};
    m.patterns[1].rows = 16;
    m.patterns[1].entries = {{0, 0, 36, 1, -1, 7, 0x10}, {15, 1, -1, -1, 10, 3, 0x02}};
    Loaded l(gmpLoadITMemory, itw::write(m));
    ASSERT_EQ(l.error, 0);
    checkGolden("small_it.txt", dumpModule(l.m));
}
