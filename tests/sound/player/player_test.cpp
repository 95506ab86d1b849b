// Player engine and commands, driven through the recording device.
#include <cstring>

#include "harness.h"
#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "support/it_writer.h"
#include "support/s3m_writer.h"


// ---------------------------------------------------------------------------
// Tempo and update rate.

static unsigned g_hookRate;
static void hook(unsigned rate) { g_hookRate = rate; }

TEST(PlayerTempo, RateReachesDeviceAndHook)
{
    recdev::reset();
    ASSERT_EQ(gmpInit(recdev::device()), 0);
    EXPECT_EQ(recdev::takeLog(), Lines({"SetUpdRate 5000"}));
    g_hookRate = 0;
    gmpSetUpdRateFunct(hook);
    EXPECT_EQ(g_hookRate, 5000u);
    gmpSetTempo(0);  // ignored
    EXPECT_TRUE(recdev::takeLog().empty());
    EXPECT_EQ(gmpTempo, 125);
    gmpSetTempo(150);
    EXPECT_EQ(recdev::takeLog(), Lines({"SetUpdRate 6000"}));
    EXPECT_EQ(g_hookRate, 6000u);
    gmpSetUpdRateFunct(nullptr);
}

TEST(PlayerTempo, TempoCommandBelow32IsIgnoredAndSpeedCommandSetsSpeed)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.pattern(0).set(0, 0, "... .. .. F1F").set(1, 0, "... .. .. F1F").set(1, 0, "... .. .. F20");
    s.start(m);
    s.toFirstRow();
    EXPECT_EQ(s.ps->speed, 31);
    EXPECT_EQ(gmpTempo, 125);
    s.run(31);
    EXPECT_EQ(gmpTempo, 32);
}

// ---------------------------------------------------------------------------
// Periods and rates.

TEST(PlayerPeriods, XMLinearMiddleNote)
{
    Song s;
    xmw::Module m = simpleModule();
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    s.start(m);
    auto log = s.run(6);
    EXPECT_EQ(s.chan(0).period, 4608u);
    EXPECT_EQ(linesWith(tickLines(log, 5), "PlaySound"), Lines({"PlaySound 0 8363"}));
    EXPECT_EQ(linesWith(tickLines(log, 5), "SetRate"), Lines({"SetRate 0 8363"}));
}

TEST(PlayerPeriods, XMAmigaTableAndItsEnds)
{
    Song s;
    xmw::Module m = simpleModule();
    m.linear = false;
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    s.start(m);
    s.toFirstRow();
    // C-4 untuned: table entry 8 (856) * 2 >> 4 ... octave 4 -> 856 * 2 >> 4 = 107.
    EXPECT_EQ(s.chan(0).period, static_cast<uint32_t>((856 * 16 * 2) >> 4));
    int period;
    // The highest note with the highest finetune and the lowest with the
    // lowest stay inside the table: their neighbour is the end entry itself.
    SampleRecord *smp = s.module->samples[0];
    gmpChan = &s.chan(0);
    smp->fineTune = 127;
    smp->baseTune = 60;
    ASSERT_EQ(gmpNotePeriod(0x9B, &period), 0);  // n clamps to 118: B-9
    int m7 = 127 & 15, a = gmpPeriodsFT2[8 * 10 + 7 + 8];
    EXPECT_EQ(period, ((m7 * a + (16 - m7) * a) * 2) >> 9);
    smp->fineTune = -128;
    smp->baseTune = -60;
    ASSERT_EQ(gmpNotePeriod(0x00, &period), 0);  // C-0, finetune -8 steps
    EXPECT_EQ(period, gmpPeriodsFT2[0] * 32);
}

// Note bytes with a semitone nibble of 12..15 carry into the next octave
// instead of reading past the 12-entry tables.
TEST(PlayerPeriods, SemitoneNibbleAbove11CarriesIntoOctave)
{
    Song s;
    xmw::Module m = simpleModule();
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    s.start(m);
    s.toFirstRow();
    gmpChan = &s.chan(0);
    int p1, p2;
    ASSERT_EQ(gmpNotePeriod(0x4C, &p1), 0);
    ASSERT_EQ(gmpNotePeriod(0x50, &p2), 0);
    EXPECT_EQ(p1, p2);
    gmpCurModule->playMode = gmpPlayMode = gmpPT;
    ASSERT_EQ(gmpNotePeriod(0x1F, &p1), 0);
    ASSERT_EQ(gmpNotePeriod(0x23, &p2), 0);
    EXPECT_EQ(p1, p2);
    gmpCurModule->playMode = gmpPlayMode = gmpST3;
    s.module->samples[0]->baseTune = 8363;
    ASSERT_EQ(gmpNotePeriod(0x2E, &p1), 0);
    ASSERT_EQ(gmpNotePeriod(0x32, &p2), 0);
    EXPECT_EQ(p1, p2);
    s.module->samples[0]->baseTune = 0;  // no middle-C rate: silent, no division
    ASSERT_EQ(gmpNotePeriod(0x40, &p1), 0);
    EXPECT_EQ(p1, 0);
    gmpCurModule->playMode = gmpPlayMode = gmpFT2;
}

TEST(PlayerPeriods, RatesOfEveryMode)
{
    Song s;
    s.start(simpleModule());
    unsigned rate;
    gmpPlayMode = gmpPT;
    ASSERT_EQ(gmpPeriodRate(856, &rate), 0);
    EXPECT_EQ(rate, 4143u);
    gmpPlayMode = gmpST3;
    ASSERT_EQ(gmpPeriodRate(1712, &rate), 0);
    EXPECT_EQ(rate, 8362u);
    gmpPlayMode = gmpFT2;
    gmpCurModule->flags = 0;
    ASSERT_EQ(gmpPeriodRate(1712, &rate), 0);
    EXPECT_EQ(rate, 14317456u / 1712);
    gmpCurModule->flags = gmpLinearFreq;
    ASSERT_EQ(gmpPeriodRate(54784, &rate), 0);  // the largest period: shift 71
    EXPECT_EQ(rate, 0u);
    EXPECT_EQ(gmpPeriodRate(0, &rate), errInvalidPatt);
    EXPECT_EQ(gmpLinTable[0], 535232);
    EXPECT_EQ(gmpLinTable[1], 534749);
    EXPECT_EQ(ft2VibratoTable[64], -64);
    EXPECT_EQ(ft2VibratoTable[192], 64);
}

// ---------------------------------------------------------------------------
// A hand-built module for the other play modes (no loader needed).

struct HandModule {
    ModuleRecord *m = nullptr;
    std::vector<uint8_t> rows;
    explicit HandModule(int playMode, unsigned chans = 1)
    {
        gmpAllocModule(&m);
        m->playMode = playMode;
        m->numChans = static_cast<uint8_t>(chans);
        m->masterVolume = 64;
        m->speed = 3;
        m->tempo = 125;
        gmpAllocInstrument(1, &inst);
        memAllocZero(sizeof(SampleRecord), reinterpret_cast<void **>(&smp));
        smp->sdHandle = 0;
        smp->sampleType = smp8bitMono;
        smp->sampleLength = 100;
        smp->volume = 40;
        smp->baseTune = 8363;
        inst->sampleList[0] = smp;
        inst->used = 1;
    }
    static void memAllocZero(int size, void **p)
    {
        memAlloc(size, p);
        std::memset(*p, 0, static_cast<size_t>(size));
    }
    // Rows as entries: {chan, note, inst, vol (or -1), cmd, info}; an empty
    // row is an empty vector.
    struct E { int chan, note, inst, vol, cmd, info; };
    void row(const std::vector<E> &entries)
    {
        for (const E &e : entries) {
            uint8_t flags = static_cast<uint8_t>(e.chan);
            if (e.note != 255 || e.inst != 255) flags |= gmpEntryNote;
            if (e.vol >= 0) flags |= gmpEntryVolume;
            if (e.cmd) flags |= gmpEntryCommand;
            rows.push_back(flags);
            if (flags & gmpEntryNote) {
                rows.push_back(static_cast<uint8_t>(e.note));
                rows.push_back(static_cast<uint8_t>(e.inst));
            }
            if (flags & gmpEntryVolume) rows.push_back(static_cast<uint8_t>(e.vol));
            if (flags & gmpEntryCommand) {
                rows.push_back(static_cast<uint8_t>(e.cmd));
                rows.push_back(static_cast<uint8_t>(e.info));
            }
        }
        rows.push_back(0);
        numRows++;
    }
    // Finishes the module: pattern 0 from the rows, `orders` order list.
    ModuleRecord *finish(std::vector<uint16_t> orders = {0}, unsigned patterns = 1)
    {
        m->numInsts = 1;
        memAlloc(sizeof(InstrumentRecord *), reinterpret_cast<void **>(&m->instruments));
        m->instruments[0] = inst;
        m->numSamples = 1;
        memAlloc(sizeof(SampleRecord *), reinterpret_cast<void **>(&m->samples));
        m->samples[0] = smp;
        memAlloc(32 * sizeof(int), reinterpret_cast<void **>(&m->panning));
        for (int i = 0; i < 32; i++)
            m->panning[i] = m->playMode == gmpIT ? 32 : 64;
        m->songLength = static_cast<int>(orders.size());
        memAlloc(static_cast<int>(orders.size() * 2), reinterpret_cast<void **>(&m->orders));
        std::memcpy(m->orders, orders.data(), orders.size() * 2);
        m->numPatts = patterns;
        memAlloc(static_cast<int>(patterns * sizeof(PatternRecord *)),
                 reinterpret_cast<void **>(&m->patterns));
        PatternRecord *p;
        memAlloc(static_cast<int>(8 + rows.size()), reinterpret_cast<void **>(&p));
        p->length = static_cast<uint32_t>(8 + rows.size());
        p->rows = numRows;
        std::memcpy(gmpPatternData(p), rows.data(), rows.size());
        m->patterns[0] = p;
        for (unsigned i = 1; i < patterns; i++)
            gmpAllocEmptyPattern(numRows, &m->patterns[i]);
        return m;
    }
    InstrumentRecord *inst = nullptr;
    SampleRecord *smp = nullptr;
    unsigned numRows = 0;
};

TEST(PlayerPeriods, ProTrackerNote)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpPT);
    h.row({{0, 0x10, 0, -1, 0, 0}});
    h.row({});
    Song s;
    s.module = h.finish();
    ASSERT_EQ(s.play(), 0);
    auto log = s.run(3);
    EXPECT_EQ(s.chan(0).period, 856u);
    EXPECT_EQ(linesWith(log, "PlaySound"), Lines({"PlaySound 0 4143"}));
    // PT output: volume 40 of the sample, full global, fade and master.
    EXPECT_EQ(linesWith(tickLines(log, 2), "SetVolume"), Lines({"SetVolume 0 40"}));
}

TEST(PlayerPanning, SurroundAndScalesOfEachMode)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpST3);
    h.row({});
    Song s;
    s.module = h.finish();
    ASSERT_EQ(s.play(), 0);
    gmpChan = &s.chan(0);
    recdev::takeLog();
    gmpSetPanning(164);
    gmpSetPanning(0);
    gmpSetPanning(200);
    EXPECT_EQ(recdev::takeLog(),
                Lines({"SetPanning 0 128", "SetPanning 0 -64", "SetPanning 0 64"}));
    gmpPlayMode = gmpIT;
    gmpSetPanning(64);
    EXPECT_EQ(recdev::takeLog(), Lines({"SetPanning 0 64"}));
    gmpPlayMode = gmpFT2;
    gmpSetPanning(300);
    EXPECT_EQ(s.chan(0).pan, 255);
    EXPECT_TRUE(recdev::takeLog().empty());  // XM panning reaches the device per tick
}

// ---------------------------------------------------------------------------
// Commands.

TEST(PlayerCommands, SetPanning16)
{
    Song s;
    xmw::Module m = simpleModule(3, 2);
    m.pattern(0).set(0, 0, "... .. .. E87").set(0, 1, "... .. .. E88").set(0, 2, "... .. .. E8F");
    s.start(m);
    auto log = s.run(6);
    EXPECT_EQ(s.chan(0).pan, 64);
    EXPECT_EQ(s.chan(1).pan, 64);
    EXPECT_EQ(s.chan(2).pan, 128);
    EXPECT_EQ(linesWith(tickLines(log, 5), "SetPanning"),
                Lines({"SetPanning 0 -32", "SetPanning 1 -32", "SetPanning 2 0"}));
}

static std::vector<std::pair<unsigned, unsigned>> g_sync;
static std::vector<unsigned> g_syncInfo;
static void syncCallback(unsigned info, unsigned position, unsigned row)
{
    g_syncInfo.push_back(info);
    g_sync.emplace_back(position, row);
}

TEST(PlayerCommands, MusicSyncCallsBackOnceOnTheRowsFirstTick)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.pattern(1, 4).set(2, 0, "... .. .. W05");
    m.orders = {0, 1};
    s.start(m);
    g_sync.clear();
    g_syncInfo.clear();
    gmpSetSyncCallback(s.ps, syncCallback);
    // Pattern 0: 4 rows; pattern 1 row 2 starts on tick 5 + 6 * (4 + 2).
    int firstTick = 5 + 6 * 6;
    s.run(firstTick);
    EXPECT_TRUE(g_sync.empty());
    s.run(1);
    ASSERT_EQ(g_sync.size(), 1u);
    EXPECT_EQ(g_syncInfo[0], 5u);
    EXPECT_EQ(g_sync[0], std::make_pair(1u, 2u));
    s.run(5);
    EXPECT_EQ(g_sync.size(), 1u);
    PlayInfo *info;
    gmpGetInformation(s.ps, &info);
    EXPECT_EQ(info->syncInfo, 5u);
}

TEST(PlayerCommands, SpeedZeroRestartsAndCountsALoop)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.pattern(1, 4).set(1, 0, "... .. .. F00");
    m.orders = {0, 1};
    s.start(m);
    s.run(5 + 6 * 6);
    EXPECT_EQ(s.ps->songLoopCount, 1);
    EXPECT_EQ(s.ps->position, 0);
    EXPECT_EQ(s.ps->row, 0);
}

// Rows seen by the player, one entry per new row.
static std::vector<std::pair<int, int>> rowsPlayed(Song &s, int rows)
{
    std::vector<std::pair<int, int>> out;
    for (int r = 0; r < rows; r++) {
        s.run(s.ps->speed);
        out.emplace_back(static_cast<int>(s.ps->info->position), static_cast<int>(s.ps->info->row));
    }
    return out;
}

TEST(PlayerCommands, PatternLoopCountTwoPlaysThreeTimes)
{
    Song s;
    xmw::Module m = simpleModule(1, 5);
    m.speed = 1;
    m.pattern(0).set(1, 0, "... .. .. E60").set(2, 0, "... .. .. E62");
    s.start(m);
    auto rows = rowsPlayed(s, 9);
    std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2},
                                             {0, 1}, {0, 2}, {0, 3}, {0, 4}};
    EXPECT_EQ(rows, want);
}

TEST(PlayerCommands, PatternBreakAndJump)
{
    Song s;
    xmw::Module m = simpleModule(1, 8);
    m.speed = 1;
    m.pattern(0).set(1, 0, "... .. .. D12");  // decimal 12 -> clamped to row 7
    m.pattern(1, 8).set(0, 0, "... .. .. B00");
    m.orders = {0, 1};
    s.start(m);
    auto rows = rowsPlayed(s, 4);
    std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {1, 7}, {0, 0}};
    EXPECT_EQ(rows, want);
    EXPECT_EQ(s.ps->songLoopCount, 1);  // the end of the song wrapped
    ASSERT_EQ(gmpSetPosition(s.ps, 1), 0);
    rows = rowsPlayed(s, 2);  // B00 jumps back to position 0: another loop
    want = {{1, 0}, {0, 0}};
    EXPECT_EQ(rows, want);
    EXPECT_EQ(s.ps->songLoopCount, 2);
}

TEST(PlayerCommands, PatternDelayRepeatsWithoutNewNotes)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 2;
    m.pattern(0).set(0, 0, "C-4 01 .. EE2").set(1, 0, "D-4 01 .. ...");
    s.start(m);
    auto log = s.run(1 + 2 * 3);
    // Row 0, then two delayed repeats, then row 1 starts its note.
    EXPECT_EQ(linesWith(log, "PlaySound").size(), 1u);
    log = s.run(2);
    EXPECT_EQ(linesWith(log, "PlaySound").size(), 1u);
}

TEST(PlayerCommands, VolumeSlideAndMemory)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 4;
    m.pattern(0).set(0, 0, "C-4 01 30 A02").set(1, 0, "... .. .. A00").set(2, 0, "... .. .. A30");
    s.start(m);
    s.toFirstRow();
    EXPECT_EQ(s.chan(0).volume, 32);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 32 - 6);
    s.run(4);  // A00 slides on with the remembered 02
    EXPECT_EQ(s.chan(0).volume, 32 - 12);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 32 - 12 + 9);
}

TEST(PlayerCommands, GlobalVolumeStaysWithin64)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 3;
    m.pattern(0).set(0, 0, "C-4 01 .. G7F").set(1, 0, "... .. .. HF0").set(2, 0, "... .. .. G00");
    s.start(m);
    s.toFirstRow();
    EXPECT_EQ(s.ps->globalVolume, 64);
    s.run(5);  // two ticks of HF0 from 64
    EXPECT_EQ(s.ps->globalVolume, 64);
    s.run(1);
    EXPECT_EQ(s.ps->globalVolume, 0);
    // The module's own value is clamped too when it comes back at the wrap.
    s.module->masterVolume = 200;
    s.run(6);
    EXPECT_EQ(s.ps->songLoopCount, 1);
    EXPECT_EQ(s.ps->globalVolume, 64);
}

TEST(PlayerCommands, PortamentoSlidesTowardsTargetWithoutRestart)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 4;
    m.pattern(0).set(0, 0, "C-4 01 .. ...").set(1, 0, "D-4 .. .. 304").set(2, 0, "... .. .. 300")
        .set(3, 0, "... .. .. 300");
    s.start(m);
    s.toFirstRow();
    auto log = s.run(4);
    EXPECT_TRUE(linesWith(log, "PlaySound").empty());
    EXPECT_EQ(s.chan(0).portaTarget, 4608u - 128);
    EXPECT_EQ(s.chan(0).period, 4608u);
    s.run(3);
    EXPECT_EQ(s.chan(0).period, 4608u - 3 * 16);
    s.run(8);
    EXPECT_EQ(s.chan(0).period, 4608u - 128);
}

TEST(PlayerCommands, VibratoBendsOnlyThePlayPeriod)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 4;
    m.pattern(0).set(0, 0, "C-4 01 .. 484").set(1, 0, "... .. .. ...");
    s.start(m);
    s.toFirstRow();
    s.run(3);
    // Three continuing ticks at speed 8 use positions 0, 8 and 16.
    int d16 = (ptVibratoTable[16] * 4) >> 5;
    EXPECT_EQ(s.chan(0).playPeriod, 4608 + d16);
    EXPECT_EQ(s.chan(0).period, 4608u);
    s.run(1);  // next row without vibrato restores the period
    EXPECT_EQ(s.chan(0).playPeriod, 4608);
}

TEST(PlayerCommands, ArpeggioCarriesWholeOctaves)
{
    Song s;
    xmw::Module m = simpleModule(1, 2);
    m.speed = 3;
    m.pattern(0).set(0, 0, "B-3 01 .. 0FF");
    s.start(m);
    s.run(4);
    int p;
    gmpChan = &s.chan(0);
    gmpNotePeriod(0x52, &p);  // B-3 + 15 semitones = D-5
    EXPECT_EQ(s.chan(0).playPeriod, p);
}

TEST(PlayerCommands, NoteCutAndDelayAndKeyOff)
{
    Song s;
    xmw::Module m = simpleModule(2, 4);
    m.speed = 4;
    m.pattern(0).set(0, 0, "C-4 01 .. EC2").set(0, 1, "C-4 01 .. ED2").set(1, 0, "=== .. .. ...");
    s.start(m);
    auto log = s.run(6);
    EXPECT_EQ(linesWith(tickLines(log, 3), "PlaySound"), Lines({"PlaySound 0 8363"}));
    EXPECT_EQ(linesWith(tickLines(log, 5), "PlaySound"), Lines({"PlaySound 1 8363"}));
    EXPECT_EQ(s.chan(0).volume, 0);
    s.run(2);
    EXPECT_EQ(s.chan(0).keyOff, 1);
}

TEST(PlayerCommands, SampleOffsetIsDoubledFor16BitSamples)
{
    Song s;
    xmw::Module m(1);
    m.pattern(0, 2).set(0, 0, "C-4 01 .. 902");
    m.instrument().sample16(std::vector<int>(1024, 100));
    s.start(m);
    auto log = s.run(6);
    EXPECT_EQ(linesWith(log, "SetPosition"), Lines({"SetPosition 0 1024"}));
}

TEST(PlayerCommands, VolumeColumn)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.speed = 3;
    m.pattern(0).set(0, 0, "C-4 01 30 ...").set(1, 0, "... .. 62 ...").set(2, 0, "... .. 94 ...")
        .set(3, 0, "... .. C4 ...");
    s.start(m);
    s.toFirstRow();
    EXPECT_EQ(s.chan(0).volume, 32);
    s.run(5);
    EXPECT_EQ(s.chan(0).volume, 28);
    s.run(1);
    EXPECT_EQ(s.chan(0).volume, 32);
    s.run(3);
    EXPECT_EQ(s.chan(0).pan, 68);
}

TEST(PlayerCommands, MultiRetrigScalesVolume)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpST3);
    h.m->speed = 4;
    h.row({{0, 0x40, 0, 48, cmdMultiRetrig, 0x62}});
    h.row({});
    Song s;
    s.module = h.finish();
    ASSERT_EQ(s.play(), 0);
    auto log = s.run(4 + 3);
    EXPECT_EQ(linesWith(log, "SetPosition").size(), 1u);
    EXPECT_EQ(s.chan(0).volume, 48 * 10 / 16);
}

// ---------------------------------------------------------------------------
// Song flow.

TEST(PlayerSong, SkipMarkerAndEndMarker)
{
    Song s;
    xmw::Module m = simpleModule(1, 1);
    m.speed = 1;
    for (unsigned i = 1; i < 5; i++)
        m.pattern(i, 1);
    m.orders = {0, 1, 2, 3, 4, 0};
    s.start(m);
    s.module->orders[3] = gmpOrderSkip;
    s.module->orders[5] = gmpOrderEnd;
    std::vector<int> positions;
    for (int i = 0; i < 6; i++) {
        s.run(1);
        positions.push_back(static_cast<int>(s.ps->info->position));
    }
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 4, 0, 1}));
    EXPECT_EQ(s.ps->songLoopCount, 1);
}

TEST(PlayerSong, LoopSongZeroStopsAfterTheFirstWrap)
{
    Song s;
    xmw::Module m = simpleModule(1, 2);
    m.speed = 1;
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    s.start(m, 0);
    s.run(2);
    EXPECT_EQ(s.ps->songLoopCount, 1);
    auto log = s.run(3);
    EXPECT_EQ(log.size(), 3u);  // only the tick marks: the song is silent
    EXPECT_EQ(playHandles[s.ps->index], s.ps);
}

TEST(PlayerSong, SetPositionSkipsMarkersInTheDirectionOfTravel)
{
    Song s;
    xmw::Module m = simpleModule(1, 1);
    for (unsigned i = 1; i < 4; i++)
        m.pattern(i, 1);
    m.orders = {0, 1, 2, 3};
    s.start(m);
    s.module->orders[2] = gmpOrderSkip;
    ASSERT_EQ(gmpSetPosition(s.ps, 2), 0);
    EXPECT_EQ(s.ps->position, 3);
    ASSERT_EQ(gmpSetPosition(s.ps, 2), 0);  // backwards from 3
    EXPECT_EQ(s.ps->position, 1);
    ASSERT_EQ(gmpSetPosition(s.ps, 9), 0);
    EXPECT_EQ(s.ps->position, 0);
    ASSERT_EQ(gmpSetPosition(s.ps, -1), 0);
    EXPECT_EQ(s.ps->position, 3);
}

TEST(PlayerSong, BadCommandByteFailsTheTick)
{
    Song s;
    xmw::Module m = simpleModule(1, 2);
    m.pattern(0).set(0, 0, "... .. .. F05");
    s.start(m);
    // The entry is flag, command, info: make the command one past the last.
    uint8_t *data = gmpPatternData(s.module->patterns[0]);
    ASSERT_EQ(data[1], cmdSetSpeed);
    data[1] = gmpNumCommands;
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(gmpPlay(), 0);
    EXPECT_EQ(gmpPlay(), errInvalidPatt);
}

TEST(PlayerSong, MasterVolumeFadeAndSlots)
{
    Song s;
    xmw::Module m = simpleModule(2, 2);
    m.pattern(0).set(0, 0, "C-4 01 .. ...").set(0, 1, "C-4 01 .. ...");
    s.start(m);
    EXPECT_EQ(s.ps->index, gmpMaxSongs - 1);
    EXPECT_EQ(gmpFadeChannel(s.ps, 2, 10), errInvalidChanNumber);
    ASSERT_EQ(gmpFadeChannel(s.ps, 1, 32), 0);
    gmpSetMasterVolume(s.ps, 200);  // stored; the output limits it
    auto log = s.run(6);
    EXPECT_EQ(linesWith(tickLines(log, 5), "SetVolume"),
                Lines({"SetVolume 0 64", "SetVolume 1 32"}));
}

TEST(PlayerSong, SixteenSongsThenOutOfSlots)
{
    Song s;
    s.start(simpleModule());
    PlayState *more[gmpMaxSongs];
    int n = 0;
    int error;
    while ((error = gmpPlaySong(s.module, -1, -1, -1, 1, -1, s.channels, &more[n])) == 0)
        n++;
    EXPECT_EQ(n, gmpMaxSongs - 1);
    EXPECT_EQ(error, errOutOfResources);
    for (int i = 0; i < n; i++)
        EXPECT_EQ(gmpStopSong(more[i]), 0);
}

// ---------------------------------------------------------------------------
// Envelopes and automatic vibrato.

TEST(PlayerEnvelope, InterpolatesSustainsAndLoops)
{
    Song s;
    s.start(simpleModule());
    gmpChan = &s.chan(0);
    EnvelopeRecord env;
    std::memset(&env, 0, sizeof env);
    env.numPoints = 3;
    env.points[0] = {0, 0};
    env.points[1] = {4, 64};
    env.points[2] = {8, 32};
    env.susPoint = 1;
    env.loopStart = env.loopEnd = env.susLoopStart = env.susLoopEnd = 255;
    int pos = 0, value;
    uint8_t held = 0;
    std::vector<int> values;
    for (int i = 0; i < 7; i++) {
        gmpCalcEnvelope(&env, &pos, &held, &value);
        values.push_back(value >> 8);
    }
    EXPECT_EQ(values, (std::vector<int>{0, 16, 32, 48, 64, 64, 64}));
    s.chan(0).keyOff = 1;
    held = 0;
    values.clear();
    for (int i = 0; i < 6; i++) {
        gmpCalcEnvelope(&env, &pos, &held, &value);
        values.push_back(value >> 8);
    }
    EXPECT_EQ(values, (std::vector<int>{64, 56, 48, 40, 32, 32}));
    // A loop from point 1 to point 2 (key off, so no sustain).
    env.loopStart = 1;
    env.loopEnd = 2;
    pos = 6;
    values.clear();
    for (int i = 0; i < 4; i++) {
        gmpCalcEnvelope(&env, &pos, &held, &value);
        values.push_back(pos);
    }
    EXPECT_EQ(values, (std::vector<int>{7, 4, 5, 6}));
}

// An envelope whose first point is not at tick 0 holds its first value until
// the first point instead of reading before the point array.
TEST(PlayerEnvelope, PositionBeforeTheFirstPoint)
{
    Song s;
    s.start(simpleModule());
    gmpChan = &s.chan(0);
    EnvelopeRecord env;
    std::memset(&env, 0, sizeof env);
    env.numPoints = 2;
    env.points[0] = {3, 40};
    env.points[1] = {5, 60};
    env.susPoint = env.loopStart = env.loopEnd = env.susLoopStart = env.susLoopEnd = 255;
    int pos = 0, value;
    uint8_t held = 0;
    std::vector<int> values;
    for (int i = 0; i < 6; i++) {
        gmpCalcEnvelope(&env, &pos, &held, &value);
        values.push_back(value >> 8);
    }
    EXPECT_EQ(values, (std::vector<int>{40, 40, 40, 40, 50, 60}));
}

TEST(PlayerEnvelope, VolumeEnvelopeAndFadeoutReachTheDevice)
{
    Song s;
    xmw::Module m = simpleModule(1, 8);
    m.speed = 2;
    m.instruments[0].vol.on = true;
    m.instruments[0].vol.points = {{0, 64}, {2, 32}};
    m.instruments[0].vol.sustain = 1;
    m.instruments[0].fadeout = 8192;
    m.pattern(0).set(0, 0, "C-4 01 .. ...").set(2, 0, "=== .. .. ...");
    s.start(m);
    auto log = s.run(1 + 2 * 3 + 2);
    std::vector<std::string> vols;
    for (int t = 1; t < 9; t++) {
        auto v = linesWith(tickLines(log, t), "SetVolume");
        ASSERT_EQ(v.size(), 1u);
        vols.push_back(v[0]);
    }
    // Envelope 64, 48, 32 then held; key-off on tick 5, then the fade drops a
    // quarter (2 * 8192 of 65536) per tick.
    EXPECT_EQ(vols, Lines({"SetVolume 0 64", "SetVolume 0 48", "SetVolume 0 32",
                                  "SetVolume 0 32", "SetVolume 0 32", "SetVolume 0 24",
                                  "SetVolume 0 16", "SetVolume 0 8"}));
}

TEST(PlayerEnvelope, AutoVibratoSweepsIn)
{
    Song s;
    xmw::Module m = simpleModule(1, 4);
    m.instruments[0].vibDepth = 8;
    m.instruments[0].vibSweep = 4;
    m.instruments[0].vibRate = 64;
    m.instruments[0].vibType = 1;  // square: -64 below 128, +64 from it
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    s.start(m);
    s.run(6);
    // First tick: depth 512, position 64 -> -64 * 512 >> 14 = -2.
    EXPECT_EQ(s.chan(0).autoVibDepth, 512);
    EXPECT_EQ(s.chan(0).finalPeriod, 4608 - 2);
    s.run(1);
    EXPECT_EQ(s.chan(0).finalPeriod, 4608 + 4);  // depth 1024, position 128
}

// ---------------------------------------------------------------------------
// Rules of the other play modes, on hand-built modules.

TEST(PlayerModes, ST3VolumeSlideTickRules)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpST3);
    h.m->speed = 4;
    h.row({{0, 0x40, 0, 32, cmdVolSlide, 0x02}});  // down 2 on ticks 1..3
    h.row({{0, 255, 255, -1, cmdVolSlide, 0x3F}});  // fine up 3 on tick 0 only
    h.row({{0, 255, 255, -1, cmdVolSlide, 0xF2}});  // fine down 2 on tick 0 only
    h.row({{0, 255, 255, -1, cmdVolSlide, 0x00}});  // last info (F2) again
    Song s;
    s.module = h.finish();
    ASSERT_EQ(s.play(), 0);
    s.toFirstRow();
    EXPECT_EQ(s.chan(0).volume, 32);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 32 - 6 + 3);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 29 - 2);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 27 - 2);
    // ST3.00 fast slides act on tick 0 as well.
    s.module->flags = gmpST300Slides;
    ASSERT_EQ(gmpSetPosition(s.ps, 0), 0);
    s.run(4);
    EXPECT_EQ(s.chan(0).volume, 32 - 2);  // the row's volume 32, then tick 0 slides
}

TEST(PlayerModes, ST3IgnoresSpeedZeroAndBreaksPastTheEnd)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpST3);
    h.m->speed = 1;
    h.row({{0, 255, 255, -1, cmdSetSpeed, 0}});
    h.row({{0, 255, 255, -1, cmdPatternBreak, 0x99}});
    h.row({});
    Song s;
    s.module = h.finish({0, 1}, 2);
    ASSERT_EQ(s.play(), 0);
    s.run(1);
    EXPECT_EQ(s.ps->speed, 1);
    EXPECT_EQ(s.ps->songLoopCount, 0);
    s.run(1);
    // 99 decimal is beyond the 3-row pattern: the next pattern starts at row 0.
    EXPECT_EQ(s.ps->position, 1);
    s.run(1);
    EXPECT_EQ(s.ps->info->row, 0u);
    EXPECT_EQ(s.ps->info->position, 1u);
}

TEST(PlayerModes, PositionJumpBeyondTheEndRestarts)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpPT);
    h.m->speed = 1;
    h.row({{0, 255, 255, -1, cmdPositionJump, 9}});
    Song s;
    s.module = h.finish({0, 0, 0});
    s.module->restart = 2;
    ASSERT_EQ(s.play(), 0);
    s.run(1);
    EXPECT_EQ(s.ps->position, 2);
    EXPECT_EQ(s.ps->songLoopCount, 1);
}

// Key-off releases the device's sound in IT (the sample's sustain loop
// ends there) and in ProTracker; XM leaves the sample looping and ends the
// note through its envelopes and fade-out.
TEST(PlayerModes, KeyOffReleasesTheSoundInITOnly)
{
    for (int mode : {gmpIT, gmpFT2}) {
        recdev::reset();
        gmpInit(recdev::device());
        HandModule h(mode);
        h.m->speed = 2;
        h.row({{0, 0x50, 0, -1, 0, 0}});
        h.row({{0, gmpNoteKeyOff, 255, -1, 0, 0}});
        Song s;
        s.module = h.finish();
        SoundDeviceSample none{};
        unsigned handle;
        ASSERT_EQ(recdev::device()->AddSample(&none, 1, &handle), 0);
        s.module->samples[0]->sdHandle = handle;
        ASSERT_EQ(s.play(), 0);
        auto log = s.run(4);  // the key-off row is read on tick 3
        EXPECT_EQ(s.chan(0).keyOff, 1) << mode;
        EXPECT_EQ(linesWith(log, "ReleaseSound"), mode == gmpIT ? Lines({"ReleaseSound 0"}) : Lines({})) << mode;
    }
}

TEST(PlayerModes, ITNoteTablePicksNoteAndSampleAndPans)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpIT);
    h.m->speed = 2;
    h.row({{0, 0x40, 0, -1, 0, 0}});
    Song s;
    s.module = h.finish();
    InstrumentRecord *inst = s.module->instruments[0];
    memAlloc(240, reinterpret_cast<void **>(&inst->noteSamples));
    for (int k = 0; k < 120; k++) {
        inst->noteSamples[2 * k] = static_cast<uint8_t>(k + 12);  // an octave up
        inst->noteSamples[2 * k + 1] = 0;
    }
    inst->defaultPan = 16;
    SoundDeviceSample none{};
    unsigned handle;
    ASSERT_EQ(recdev::device()->AddSample(&none, 1, &handle), 0);
    s.module->samples[0]->sdHandle = handle;
    s.module->samples[0]->panning = -1;
    ASSERT_EQ(s.play(), 0);
    auto log = s.run(2);
    EXPECT_EQ(s.chan(0).note, 0x50);
    // IT's C-5 is middle C: (1712 * 8363 * 32 >> 5) / 8363 = 1712, the
    // period of ST3's C-4; 14317056 / 1712 = 8362 Hz.
    EXPECT_EQ(s.chan(0).period, 1712u);
    EXPECT_EQ(linesWith(log, "PlaySound"), Lines({"PlaySound 0 8362"}));
    EXPECT_EQ(linesWith(log, "SetSample"), Lines({"SetSample 0 1", "SetSample 0 1"}));
    // Default panning 16 of 0..64 reaches the device as 2 * 16 - 64, at
    // once and again with the tick's output.
    EXPECT_EQ(linesWith(tickLines(log, 1), "SetPanning"),
              Lines({"SetPanning 0 -32", "SetPanning 0 -32"}));
    EXPECT_EQ(s.chan(0).fadeOut, 512);
}

// Pattern data that end inside an entry, or a row without its closing 0,
// fail the tick with 17 instead of reading past the pattern.
TEST(PlayerSong, TruncatedPatternDataFailsTheTick)
{
    Song s;
    xmw::Module m = simpleModule(1, 2);
    m.speed = 1;
    m.pattern(0).set(0, 0, "C-4 01 40 A01");
    s.start(m);
    PatternRecord *p = s.module->patterns[0];
    p->length = 8 + 3;  // flag, note, instrument: volume and command missing
    EXPECT_EQ(gmpPlay(), errInvalidPatt);
    p->length = 8 + 6;  // the whole entry, but no row terminator
    EXPECT_EQ(gmpPlay(), errInvalidPatt);
    p->length = 8 + 7 + 1;
    EXPECT_EQ(gmpPlay(), 0);
    EXPECT_EQ(gmpPlay(), 0);  // row 1, then the wrap
}

// ---------------------------------------------------------------------------
// IT instruments, channel volume, tremolo, short S3M patterns, fine periods.

// One IT instrument on sample 1 (a looped 64-frame square) with the given
// new note action and duplicate check; `rows` entries on channel 0.
static itw::Module itInstrumentModule(uint8_t nna, uint8_t dct, uint8_t dca,
                                      const std::vector<itw::Entry> &rows)
{
    itw::Module m;
    m.useInstruments = true;
    m.speed = 3;
    itw::Sample smp;
    for (int i = 0; i < 64; i++)
        smp.data.push_back(i < 32 ? 100 : -100);
    smp.loopFlags = 0x10;
    smp.loopEnd = 64;
    m.samples.push_back(smp);
    itw::Instrument inst;
    inst.useSample(1);
    inst.nna = nna;
    inst.dct = dct;
    inst.dca = dca;
    inst.fadeout = 256;  // 512 -> 0 in two ticks
    m.instruments.push_back(inst);
    itw::Pattern p;
    p.rows = 8;
    p.entries = rows;
    m.patterns.push_back(p);
    return m;
}

static itw::Entry itNote(unsigned row, int note) { return {row, 0, note, note < 120 ? 1 : -1}; }

// A key-off (===) or note cut (^^^) in instrument mode acts on the sounding
// note; it is not a key of the instrument's keyboard table.
TEST(PlayerIT, KeyOffAndNoteCutInInstrumentMode)
{
    Song s;
    ASSERT_EQ(s.loadWith(gmpLoadITMemory, itw::write(itInstrumentModule(
                                              0, 0, 0, {itNote(0, 60), itNote(1, 255), itNote(2, 60),
                                                        itNote(3, 254)}))), 0);
    ASSERT_EQ(s.play(), 0);
    Lines first = s.run(3);
    ASSERT_EQ(linesWith(first, "PlaySound"), Lines({"PlaySound 0 8362"}));
    Lines off = s.run(3);
    EXPECT_EQ(linesWith(off, "PlaySound"), Lines({}));
    EXPECT_EQ(linesWith(off, "ReleaseSound"), Lines({"ReleaseSound 0"}));
    EXPECT_EQ(s.chan(0).period, 1712u);
    Lines cut = s.run(6);
    EXPECT_EQ(linesWith(cut, "PlaySound"), Lines({"PlaySound 0 8362"}));
    EXPECT_EQ(linesWith(cut, "StopSound"), Lines({"StopSound 0"}));
}

// A new note moves the sounding one to a background channel unless the
// action is a cut; there it goes on, is released, or fades, and the
// duplicate check ends an earlier note on the same key.
TEST(PlayerIT, NewNoteActionsAndDuplicateCheck)
{
    struct Case {
        uint8_t nna, dct, dca;
        int secondNote;
        Lines bgCalls;       // device calls on channel 0 once the new note starts
        bool bgSounds;       // the old note is still heard two ticks later (a
                             // fade-out of 256 takes 512 to 0 in two ticks)
    };
    const Case cases[] = {
        {gmpNNACut, 0, 0, 64, {}, false},
        {gmpNNAContinue, 0, 0, 64, {}, true},
        // Released without a volume envelope, the note fades out as well.
        {gmpNNANoteOff, 0, 0, 64, {"ReleaseSound 0", "StopSound 0"}, false},
        {gmpNNANoteFade, 0, 0, 64, {"StopSound 0"}, false},
        {gmpNNAContinue, gmpDCTNote, gmpDCACut, 60, {"StopSound 0"}, false},
        {gmpNNAContinue, gmpDCTNote, gmpDCACut, 64, {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "nna " << int(c.nna) << " dct " << int(c.dct)
                                        << " note " << c.secondNote);
        Song s;
        ASSERT_EQ(s.loadWith(gmpLoadITMemory,
                             itw::write(itInstrumentModule(c.nna, c.dct, c.dca,
                                                           {itNote(0, 60), itNote(1, c.secondNote)}))),
                  0);
        // One pattern channel, and one background channel when notes can
        // outlive their row.
        EXPECT_EQ(s.module->numChans, c.nna == gmpNNACut ? 1 : 2);
        ASSERT_EQ(s.play(), 0);
        s.run(3);
        Lines log = s.run(5);  // the second row is read on tick 5
        Lines played = linesWith(log, "PlaySound");
        ASSERT_EQ(played.size(), 1u);
        // The new note takes the free device channel when the old one stays.
        bool moved = c.nna != gmpNNACut;
        EXPECT_EQ(played[0].rfind(moved ? "PlaySound 1 " : "PlaySound 0 ", 0), 0u) << played[0];
        Lines bg;
        for (const std::string &l : log)
            if ((l.rfind("ReleaseSound 0", 0) == 0 || l.rfind("StopSound 0", 0) == 0))
                bg.push_back(l);
        EXPECT_EQ(bg, c.bgCalls);
        if (moved) {
            Lines volumes = linesWith(tickLines(log, 7), "SetVolume 0 ");
            ASSERT_FALSE(volumes.empty() && c.bgSounds);
            EXPECT_EQ(!volumes.empty() && volumes.back() != "SetVolume 0 0", c.bgSounds);
        }
    }
}

// Channel volume: the header's initial value, Mxx, and Nxy sliding on the
// ticks after the first; it scales what the device hears.
TEST(PlayerIT, ChannelVolumeFromHeaderMAndN)
{
    itw::Module m = itInstrumentModule(0, 0, 0, {itNote(0, 60)});
    m.useInstruments = false;
    m.channelVolume[0] = 32;
    m.patterns[0].entries.push_back({1, 0, -1, -1, -1, 'M' - 'A' + 1, 0x10});
    m.patterns[0].entries.push_back({2, 0, -1, -1, -1, 'N' - 'A' + 1, 0x40});
    m.patterns[0].entries.push_back({3, 0, -1, -1, -1, 'M' - 'A' + 1, 0x50});  // above 64: ignored
    Song s;
    ASSERT_EQ(s.loadWith(gmpLoadITMemory, itw::write(m)), 0);
    ASSERT_EQ(s.play(), 0);
    auto volumeAt = [&](int tick) { return linesWith(tickLines(s.run(3), tick), "SetVolume 0 "); };
    EXPECT_EQ(volumeAt(2), Lines({"SetVolume 0 32"}));
    EXPECT_EQ(volumeAt(5), Lines({"SetVolume 0 16"}));
    EXPECT_EQ(volumeAt(8), Lines({"SetVolume 0 16"}));
    EXPECT_EQ(volumeAt(11), Lines({"SetVolume 0 24"}));  // N40: 16 + 4 on ticks 1 and 2
}

// Tremolo swings the volume of the ticks after the first by the vibrato
// wave, depth 8: sin at position 8 (180) * 8 / 64 = 22, at 16 (255) 31;
// the next row is back at the row's volume.
TEST(PlayerCommands, TremoloInEveryMode)
{
    for (int mode : {gmpPT, gmpST3, gmpFT2, gmpIT}) {
        SCOPED_TRACE(mode);
        recdev::reset();
        gmpInit(recdev::device());
        HandModule h(mode);
        h.m->speed = 4;
        h.smp->sampleGlobalVolume = 64;
        h.inst->instGlobalVolume = 64;
        h.row({{0, 0x40, 0, 32, cmdTremolo, 0x88}});
        h.row({});
        Song s;
        s.module = h.finish();
        ASSERT_EQ(s.play(), 0);
        s.toFirstRow();
        Lines log = s.run(4);
        Lines volumes;
        for (int t = s.ticks - 4; t < s.ticks; t++)
            for (const std::string &l : linesWith(tickLines(log, t), "SetVolume"))
                volumes.push_back(l);
        EXPECT_EQ(volumes, Lines({"SetVolume 0 32", "SetVolume 0 54", "SetVolume 0 63",
                                  "SetVolume 0 32"}));
    }
}

// A pattern whose stored length is shorter than its packed rows is read on
// to row 64: the speed command on row 40 still plays.
TEST(PlayerSong, S3MShortPackedLengthReadsAllRows)
{
    s3mw::Module m;
    s3mw::Instrument inst;
    inst.data.assign(100, 128);
    m.instruments.push_back(inst);
    s3mw::Pattern p;
    p.entries.push_back({0, 0, 0x40, 1});
    p.entries.push_back({40, 0, -1, -1, -1, 1, 3});  // A03
    p.lengthField = 12;
    m.patterns.push_back(p);
    Song s;
    ASSERT_EQ(s.loadWith(gmpLoadS3MMemory, s3mw::write(m)), 0);
    ASSERT_EQ(s.play(), 0);
    s.run(6 * 41);
    EXPECT_EQ(s.ps->speed, 3);
}

// ST3 periods keep their fraction up to the rate: C-5 of a 44100 Hz sample
// is 88200 Hz, where the whole period 162 would give 88377 (3.5 cents sharp).
TEST(PlayerPeriods, ST3NoteRateKeepsThePeriodsFraction)
{
    recdev::reset();
    gmpInit(recdev::device());
    HandModule h(gmpST3);
    h.smp->baseTune = 44100;
    h.row({{0, 0x50, 0, -1, 0, 0}});
    Song s;
    s.module = h.finish();
    ASSERT_EQ(s.play(), 0);
    Lines log = s.run(3);
    EXPECT_EQ(s.chan(0).period, 162u);
    // (1712 * 133808 << 8 >> 5) / 44100 = 41556 in 1/256; 14317056 * 256 / 41556.
    EXPECT_EQ(linesWith(log, "PlaySound"), Lines({"PlaySound 0 88198"}));
}

// An S3M saved by Impulse Tracker (version 3xxxh) plays equal-tempered
// notes: A-4 at middle-C rate 8363 is 14317056 / 1712 * 2^(9/12) = 14064 Hz.
// Saved by Scream Tracker, it keeps the table's 1016: 14317056 / 1016 = 14091.
TEST(PlayerPeriods, S3MFromImpulseTrackerPlaysEqualTemperament)
{
    for (uint16_t version : {0x3212, 0x1320}) {
        SCOPED_TRACE(version);
        recdev::reset();
        gmpInit(recdev::device());
        s3mw::Module m;
        m.version = version;
        s3mw::Instrument inst;
        inst.data.assign(100, 128);
        m.instruments.push_back(inst);
        s3mw::Pattern p;
        p.entries.push_back({0, 0, 0x49, 1});
        m.patterns.push_back(p);
        Song s;
        ASSERT_EQ(s.loadWith(gmpLoadS3MMemory, s3mw::write(m)), 0);
        ASSERT_EQ(s.play(), 0);
        Lines log = s.run(7);
        EXPECT_EQ(linesWith(log, "PlaySound"),
                  Lines({version == 0x3212 ? "PlaySound 0 14064" : "PlaySound 0 14091"}));
    }
}

// The pitch envelope bends the rate (+24 steps of half a semitone: an
// octave), a channel panned 100 plays in surround, and T1x raises the tempo
// on the ticks after the first.
TEST(PlayerIT, PitchEnvelopeSurroundAndTempoSlide)
{
    itw::Module m = itInstrumentModule(0, 0, 0, {itNote(0, 60)});
    m.instruments[0].pitch.flags = 1;
    m.instruments[0].pitch.points = {{24, 0}};
    m.channelPan[0] = 100;
    m.patterns[0].entries.push_back({1, 0, -1, -1, -1, 'T' - 'A' + 1, 0x12});
    Song s;
    ASSERT_EQ(s.loadWith(gmpLoadITMemory, itw::write(m)), 0);
    ASSERT_EQ(s.play(), 0);
    Lines log = s.run(3);
    // C-5 plays at period 1712 (8362 Hz); an octave up is 856: 16725 Hz.
    EXPECT_EQ(linesWith(tickLines(log, 2), "SetRate"), Lines({"SetRate 0 16725"}));
    EXPECT_EQ(linesWith(tickLines(log, 2), "SetPanning"), Lines({"SetPanning 0 128"}));
    EXPECT_EQ(linesWith(s.run(5), "SetUpdRate"), Lines({"SetUpdRate 5080", "SetUpdRate 5160"}));
}
