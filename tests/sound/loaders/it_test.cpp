// The IT loader on modules written by the test writer.
#include <gtest/gtest.h>

#include "dump.h"
#include "loadhelp.h"
#include "sound/api/errors.h"
#include "sound/player/gmplayer.h"
#include "support/it_writer.h"
#include "support/recdevice.h"

namespace {

itw::Module basic()
{
    itw::Module m;
    m.samples.resize(1);
    m.samples[0].name = "square";
    m.samples[0].data = {100, 100, -100, -100};
    m.patterns.resize(1);
    m.patterns[0].entries = {{0, 0, 60, 1, -1, -1, 0}};
    return m;
}

Loaded loadIT(const itw::Module &m) { return Loaded(gmpLoadITMemory, itw::write(m)); }

}  // namespace

TEST(LoaderIT, OrdersMarkersDoNotRaiseThePatternCount)
{
    itw::Module m = basic();
    m.orders = {0, 254, 2, 255};
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->songLength, 4);
    EXPECT_EQ(std::vector<uint16_t>(l->orders, l->orders + 4),
              (std::vector<uint16_t>{0, 0xFFFE, 2, 0xFFFF}));
    EXPECT_EQ(l->numPatts, 3u);
    EXPECT_EQ(l->patterns[2]->length, 72u);
    EXPECT_EQ(l->playMode, gmpIT);
    EXPECT_EQ(l->masterVolume, 64);
    EXPECT_EQ(l->flags, gmpLinearFreq);
    m.globalVolume = 48;
    EXPECT_EQ(loadIT(m)->masterVolume, 24) << "the file's 0..128 halved";
    m.orders = {};
    EXPECT_EQ(loadIT(m).error, errInvalidModule);
}

TEST(LoaderIT, SampleDataConversions)
{
    itw::Module m = basic();
    m.samples.resize(4);
    m.samples[0].data = {-128, 0, 127};             // signed 8-bit
    m.samples[1].data = {-128, -1};                  // unsigned 8-bit: 0x00, 0x7F on disk
    m.samples[1].cvt = 0;
    m.samples[2].is16 = true;
    m.samples[2].data.assign(1000, -2);
    m.samples[3].is16 = true;                       // unsigned 16-bit
    m.samples[3].cvt = 0;
    m.samples[3].data = {-32768, 0};
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(sampleBytes(l.m, 0), (std::vector<uint8_t>{0x00, 0x80, 0xFF}));
    EXPECT_EQ(sampleBytes(l.m, 1), (std::vector<uint8_t>{0x00, 0x7F}));
    EXPECT_EQ(l->samples[1]->sampleType, smp8bitMono);
    EXPECT_EQ(l->samples[2]->sampleLength, 2000u);
    EXPECT_EQ(l->samples[2]->sampleType, smp16bitMono);
    const int16_t *d2 = static_cast<const int16_t *>(l->samples[2]->sample);
    EXPECT_EQ(d2[0], -2);
    EXPECT_EQ(d2[999], -2);
    const int16_t *d3 = static_cast<const int16_t *>(l->samples[3]->sample);
    EXPECT_EQ(d3[0], -32768);
    EXPECT_EQ(d3[1], 0);
    EXPECT_EQ(l->samples[0]->panning, -1);
    EXPECT_EQ(l->samples[0]->baseTune, 8363);
}

TEST(LoaderIT, CompressedSamplesLoadLikePlainOnes)
{
    itw::Module plain = basic();
    plain.samples.resize(4);
    std::vector<int> wave8, wave16;
    for (int i = 0; i < 0x8000 + 300; i++) {
        wave8.push_back((i * 7 % 200) - 100);
        wave16.push_back((i * 263 % 50000) - 25000);
    }
    for (int k = 0; k < 4; k++) {
        plain.samples[k].is16 = k >= 2;
        plain.samples[k].data = k >= 2 ? wave16 : wave8;
    }
    itw::Module packed = plain;
    for (int k = 0; k < 4; k++) {
        packed.samples[k].compressed = true;
        packed.samples[k].it215 = k % 2 == 1;
        packed.samples[k].compressSeed = static_cast<uint32_t>(k + 1);
    }
    Loaded a = loadIT(plain), b = loadIT(packed);
    ASSERT_EQ(a.error, 0);
    ASSERT_EQ(b.error, 0);
    for (unsigned k = 0; k < 4; k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(sampleBytes(b.m, k), sampleBytes(a.m, k));
    }
    // Compressed data are signed whatever the conversion byte says.
    packed.samples[0].cvt = 0;
    EXPECT_EQ(sampleBytes(loadIT(packed).m, 0), sampleBytes(a.m, 0));
}

TEST(LoaderIT, StereoSamplesAreMixedDown)
{
    itw::Module m = basic();
    m.samples[0].data = {100, -100, 10};
    m.samples[0].right = {50, -50, -11};
    m.samples[0].is16 = false;
    itw::Module z = m;
    z.samples[0].compressed = true;
    for (const itw::Module &mod : {m, z}) {
        Loaded l = loadIT(mod);
        ASSERT_EQ(l.error, 0);
        EXPECT_EQ(sampleBytes(l.m, 0), (std::vector<uint8_t>{128 + 75, 128 - 75, 128 - 1}));
    }
    // Before 2.14 the stereo bit is not trusted: the data play as one channel.
    m.cwt = 0x200;
    Loaded old = loadIT(m);
    EXPECT_EQ(old->samples[0]->sampleLength, 3u);
    EXPECT_EQ(sampleBytes(old.m, 0), (std::vector<uint8_t>{228, 28, 138}));
}

TEST(LoaderIT, SampleLoops)
{
    itw::Module m = basic();
    m.samples.resize(3);
    for (auto &s : m.samples) {
        s.is16 = true;
        s.data.assign(100, 0);
    }
    m.samples[0].loopFlags = 0x10 | 0x40;  // bidirectional loop
    m.samples[0].loopStart = 10;
    m.samples[0].loopEnd = 150;            // cut to the data
    m.samples[1].loopFlags = 0x10 | 0x20 | 0x80;
    m.samples[1].loopStart = 20;
    m.samples[1].loopEnd = 90;
    m.samples[1].susStart = 30;
    m.samples[1].susEnd = 40;
    m.samples[2].loopFlags = 0x10;         // empty loop: none
    m.samples[2].loopStart = 50;
    m.samples[2].loopEnd = 50;
    recdev::reset();
    SoundDevice *saved = gmpSD;
    gmpSD = recdev::device();
    ModuleRecord *mod = nullptr;
    std::vector<uint8_t> bytes = itw::write(m);
    ASSERT_EQ(gmpLoadITMemory(bytes.data(), bytes.size(), 1, nullptr, &mod), 0);
    const SampleRecord *s0 = mod->samples[0], *s1 = mod->samples[1], *s2 = mod->samples[2];
    EXPECT_EQ(s0->loopMode, sdLoop1Rel);
    EXPECT_EQ(s0->loopType, loopBidir);
    EXPECT_EQ(s0->loopStart, 20u);
    EXPECT_EQ(s0->loopEnd, 200u);
    EXPECT_EQ(s1->loopMode, sdLoop2);
    EXPECT_EQ(s1->loopType, loopUnidir);
    EXPECT_EQ(s1->susLoopType, loopBidir);
    EXPECT_EQ(s1->susLoopStart, 60u);
    EXPECT_EQ(s1->susLoopEnd, 80u);
    EXPECT_EQ(s2->loopMode, sdLoopNone);
    EXPECT_EQ(s2->loopType, loopNone);
    EXPECT_EQ(s1->sample, nullptr) << "given to the device, not kept";
    // The device plays loop 1 until release: the sustain loop comes first.
    const auto &dev = recdev::samples();
    ASSERT_EQ(dev.size(), 3u);
    EXPECT_EQ(dev[1].desc.loop1Start, 60u);
    EXPECT_EQ(dev[1].desc.loop1End, 80u);
    EXPECT_EQ(dev[1].desc.loop1Type, loopBidir);
    EXPECT_EQ(dev[1].desc.loop2Start, 40u);
    EXPECT_EQ(dev[1].desc.loop2End, 180u);
    EXPECT_EQ(dev[1].desc.loop2Type, loopUnidir);
    EXPECT_EQ(dev[0].desc.loop2Type, loopBidir) << "a plain loop goes on after the release";
    EXPECT_EQ(dev[0].data.size(), 200u);
    EXPECT_EQ(mod->samples[0]->sdHandle, 1u);
    EXPECT_EQ(gmpFreeModule(mod), 0);
    EXPECT_TRUE(recdev::samples()[0].removed);
    gmpSD = saved;
}

TEST(LoaderIT, KeyboardTableBuildsTheSampleList)
{
    itw::Module m = basic();
    m.useInstruments = true;
    m.samples.resize(5);
    m.instruments.resize(1);
    itw::Instrument &in = m.instruments[0];
    in.keyboard[2 * 0 + 1] = 5;
    in.keyboard[2 * 1 + 1] = 5;
    in.keyboard[2 * 2 + 1] = 3;
    in.keyboard[2 * 3 + 1] = 9;   // no sample 9
    in.keyboard[2 * 2] = 50;      // key 2 plays note 50
    in.keyboard[2 * 4] = 200;     // no note 200: the key plays itself
    in.keyboard[2 * 4 + 1] = 3;
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    const InstrumentRecord *i0 = l->instruments[0];
    ASSERT_EQ(i0->numSamples, 2u);
    EXPECT_EQ(i0->sampleList[0], l->samples[4]);
    EXPECT_EQ(i0->sampleList[1], l->samples[2]);
    const uint8_t *ns = i0->noteSamples;
    EXPECT_EQ(std::vector<uint8_t>(ns, ns + 10), (std::vector<uint8_t>{0, 0, 1, 0, 50, 1, 3, 255, 4, 1}));
    EXPECT_EQ(ns[2 * 119 + 1], 255);
    EXPECT_EQ(i0->used, 1u);
    EXPECT_EQ(l->flags, gmpLinearFreq | gmpInstruments);
}

TEST(LoaderIT, NewFormatInstrumentFieldsAndEnvelopes)
{
    itw::Module m = basic();
    m.useInstruments = true;
    m.instruments.resize(1);
    itw::Instrument &in = m.instruments[0];
    in.name = "pad";
    in.useSample(1);
    in.nna = 2;
    in.dct = 1;
    in.dca = 2;
    in.fadeout = 300;
    in.pps = 5;
    in.ppc = 48;
    in.gbv = 100;
    in.dfp = 40;
    in.rv = 3;
    in.rp = 4;
    in.vol = {1 | 2 | 4, {{64, 0}, {32, 10}, {70, 20}, {0, 30}}, 1, 3, 2, 2, {}};
    in.pan = {1, {{-32, 0}, {32, 5}, {-40, 9}}, 0, 0, 0, 0, {}};
    in.pitch = {1 | 4, {{0, 0}, {16, 4}, {-16, 8}}, 0, 0, 0, 2, {}};
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    const InstrumentRecord *i0 = l->instruments[0];
    EXPECT_STREQ(i0->name, "pad");
    EXPECT_EQ(i0->newNoteAction, 2);
    EXPECT_EQ(i0->dupCheckType, 1);
    EXPECT_EQ(i0->dupCheckAction, 2);
    EXPECT_EQ(i0->volFadeout, 300u);
    EXPECT_EQ(i0->pitchPanSep, 5);
    EXPECT_EQ(i0->pitchPanCenter, 48);
    EXPECT_EQ(i0->instGlobalVolume, 50u);  // 0..128 in the file, 0..64 in the module
    EXPECT_EQ(i0->defaultPan, 40);
    EXPECT_EQ(i0->randomVolume, 3);
    EXPECT_EQ(i0->randomPan, 4);
    const EnvelopeRecord *v = i0->volEnvelope, *p = i0->panEnvelope, *t = i0->pitchEnvelope;
    ASSERT_TRUE(v && p && t);
    EXPECT_EQ(v->numPoints, 4);
    EXPECT_EQ(v->loopStart, 1);
    EXPECT_EQ(v->loopEnd, 3);
    EXPECT_EQ(v->susLoopStart, 2);
    EXPECT_EQ(v->susLoopEnd, 2);
    EXPECT_EQ(v->susPoint, 2) << "a one-point sustain loop holds at that point";
    EXPECT_EQ(v->points[1].pos, 10);
    EXPECT_EQ(v->points[1].value, 32);
    EXPECT_EQ(v->points[2].value, 64) << "volume above 64 limited";
    EXPECT_EQ(v->points[3].pos, 30);
    EXPECT_EQ(p->numPoints, 3);
    EXPECT_EQ(p->loopStart, 255);
    EXPECT_EQ(p->susPoint, 255);
    EXPECT_EQ(p->points[0].value, 0);
    EXPECT_EQ(p->points[1].value, 64);
    EXPECT_EQ(p->points[2].value, 0) << "panning below -32 limited";
    EXPECT_EQ(p->points[2].pos, 9);
    EXPECT_EQ(t->numPoints, 3);
    EXPECT_EQ(t->susLoopStart, 0);
    EXPECT_EQ(t->susLoopEnd, 2);
    EXPECT_EQ(t->susPoint, 2);
    EXPECT_EQ(t->points[1].value, 48);
    EXPECT_EQ(t->points[2].value, 16);
}

TEST(LoaderIT, EnvelopesOffEmptyOrOversized)
{
    itw::Module m = basic();
    m.useInstruments = true;
    m.instruments.resize(3);
    for (auto &in : m.instruments)
        in.useSample(1);
    m.instruments[0].vol = {0, {{64, 0}, {0, 10}}, 0, 0, 0, 0, {}};   // off
    m.instruments[1].vol = {1, {}, 0, 0, 0, 0, {}};                   // on, no points
    itw::Envelope big{1 | 2, {}, 5, 40, 0, 0, 30};                    // 30 points claimed
    for (int k = 0; k < 25; k++)
        big.points.push_back({k, static_cast<uint16_t>(k * 3)});
    big.points[7].second = 5;  // goes back in time
    m.instruments[2].vol = big;
    m.instruments[2].pan = big;
    m.instruments[2].pitch = big;
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    EXPECT_EQ(l->instruments[0]->volEnvelope, nullptr);
    EXPECT_EQ(l->instruments[1]->volEnvelope, nullptr);
    const EnvelopeRecord *v = l->instruments[2]->volEnvelope;
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->numPoints, 25);
    EXPECT_EQ(v->loopStart, 255) << "loop end beyond the points";
    EXPECT_EQ(v->points[24].pos, 72);
    EXPECT_EQ(v->points[24].value, 24);
    EXPECT_EQ(v->points[7].pos, 18) << "positions never go back";
    // Each envelope read from its own place: the pitch envelope's last point
    // is where the 82-byte spacing puts it.
    EXPECT_EQ(l->instruments[2]->pitchEnvelope->points[24].value, 56);
    EXPECT_EQ(l->instruments[2]->panEnvelope->points[24].pos, 72);
}

TEST(LoaderIT, OldFormatInstruments)
{
    itw::Module m = basic();
    m.useInstruments = true;
    m.oldInstruments = true;
    m.instruments.resize(1);
    itw::Instrument &in = m.instruments[0];
    in.useSample(1);
    in.fadeout = 20;
    in.nna = 1;
    in.dct = 1;
    in.vol = {1 | 4, {{64, 0}, {40, 8}, {0, 16}}, 0, 0, 1, 1, {}};
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    const InstrumentRecord *i0 = l->instruments[0];
    EXPECT_EQ(i0->volFadeout, 20u);
    EXPECT_EQ(i0->newNoteAction, 1);
    EXPECT_EQ(i0->dupCheckType, 1);
    EXPECT_EQ(i0->defaultPan, -1);
    EXPECT_EQ(i0->instGlobalVolume, 64u);
    EXPECT_EQ(i0->panEnvelope, nullptr);
    const EnvelopeRecord *v = i0->volEnvelope;
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->numPoints, 3) << "the node list ends at tick 255";
    EXPECT_EQ(v->points[1].pos, 8);
    EXPECT_EQ(v->points[1].value, 40);
    EXPECT_EQ(v->susPoint, 1);
}

TEST(LoaderIT, WithoutInstrumentsEachSampleIsOne)
{
    itw::Module m = basic();
    m.samples.resize(3);
    m.samples[2].name = "third";
    m.patterns[0].entries.push_back({1, 1, 61, 3, -1, -1, 0});
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    ASSERT_EQ(l->numInsts, 3u);
    EXPECT_EQ(l->instruments[0]->numSamples, 1u);
    EXPECT_EQ(l->instruments[0]->sampleList[0], l->samples[0]);
    EXPECT_EQ(l->instruments[1]->numSamples, 0u);
    EXPECT_EQ(l->instruments[1]->used, 0u);
    EXPECT_STREQ(l->instruments[2]->name, "third");
    EXPECT_EQ(l->instruments[2]->defaultPan, -1);
    EXPECT_EQ(l->instruments[2]->noteSamples, nullptr);
    EXPECT_NE(l->samples[1], nullptr) << "every sample is loaded, used or not";
}

TEST(LoaderIT, PackedPatterns)
{
    itw::Module m = basic();
    m.samples.resize(2);
    m.patterns[0].rows = 32;
    m.patterns[0].entries = {
        {0, 0, 60, 1, 64, 20, 0x80},  // T80
        {1, 0, 60, 1, 64, 20, 0x80},  // all repeated
        {2, 0, 255, -1, -1, -1, 0},   // note off
        {3, 0, 254, -1, 200, -1, 0},  // note cut, volume-column command
        {4, 0, 246, -1, -1, -1, 0},   // note fade: no note
        {5, 1, 119, 3, -1, 24, 0xFF}, // X: 255 -> 64; instrument 3 of 2: none
        {6, 1, -1, -1, -1, 19, 0x8F}, // S8F
        {7, 2, -1, 2, -1, 19, 0x9F},  // S9x dropped: instrument alone
        {8, 4, 12, 1, -1, -1, 0},     // channel 4: one past the last enabled
        {9, 5, 12, 1, -1, -1, 0},     // channel 5: dropped
        {10, 40, 12, 1, -1, -1, 0},   // above 31: dropped
        {11, 0, -1, -1, -1, 22, 0x80},// V80: full global volume, 64
        {12, 0, -1, -1, -1, 22, 0xFF},// beyond 128: full too
    };
    Loaded l = loadIT(m);
    ASSERT_EQ(l.error, 0);
    const std::string expected =
        "  0: 0:50/00 v64 c16,80\n"
        "  1: 0:50/00 v64 c16,80\n"
        "  2: 0:FE/FF\n"
        "  3: 0:FD/FF v200\n"
        "  4: 0:FF/FF\n"
        "  5: 1:9B/FF c9,40\n"
        "  6: 1:--/-- c20,0F\n"
        "  7: 2:FF/01\n"
        "  8: 4:10/00\n"
        "  11: 0:--/-- c27,40\n"
        "  12: 0:--/-- c27,40\n";
    EXPECT_EQ(dumpPattern(l->patterns[0]), expected);
    EXPECT_EQ(l->patterns[0]->rows, 32u);
    EXPECT_EQ(l->numChans, 5);
    // The same rows written without repeats convert the same.
    m.patterns[0].repeats = false;
    EXPECT_EQ(dumpPattern(loadIT(m)->patterns[0]), expected);
}

TEST(LoaderIT, DamagedPatternsAndOffsets)
{
    itw::Module m = basic();
    m.patterns[0].rows = 0;
    EXPECT_EQ(loadIT(m).error, errInvalidPatt);
    m.patterns[0].rows = 257;
    EXPECT_EQ(loadIT(m).error, errInvalidPatt);
    m.patterns[0].rows = 256;
    EXPECT_EQ(loadIT(m)->patterns[0]->rows, 256u);

    m = basic();
    m.patternOffsetOverride = {0x7FFFFFF0};
    EXPECT_EQ(loadIT(m).error, errEndOfFile);

    // Packed data cut short: a mask byte missing, then an entry without its
    // bytes; a stored length beyond the file.
    m = basic();
    m.samples[0].data.clear();
    m.patterns[0].raw = std::vector<uint8_t>{0x81, 0x03, 60, 1, 0, 0x82};
    m.patterns[0].lengthField = 0xFFFF;
    Loaded cut = loadIT(m);
    ASSERT_EQ(cut.error, 0);
    EXPECT_EQ(dumpPattern(cut->patterns[0]), "  0: 0:50/00\n");
    m.patterns[0].raw = std::vector<uint8_t>{0x81, 0x0F, 60};
    EXPECT_EQ(dumpPattern(loadIT(m)->patterns[0]), "");

    // Repeat bits before any value was given (found by fuzzing: they used to
    // repeat instrument 0 of a module without instruments, volume 0 and
    // note C-0).
    m = basic();
    m.samples.clear();
    m.patterns[0].raw = std::vector<uint8_t>{0x81, 0xF0, 0x00};
    Loaded early = loadIT(m);
    ASSERT_EQ(early.error, 0);
    EXPECT_EQ(early->numInsts, 0u);
    EXPECT_EQ(dumpPattern(early->patterns[0]), "  0: 0:FF/FF\n");

    // Sample data beyond the end of the file: an empty sample.
    m = basic();
    m.samples[0].dataOffset = 0x10000000;
    Loaded far = loadIT(m);
    ASSERT_EQ(far.error, 0);
    EXPECT_EQ(far->samples[0]->sampleType, smpNone);
    EXPECT_EQ(far->samples[0]->sampleLength, 0u);
    // A length far beyond what the file holds.
    m = basic();
    m.samples[0].lengthField = 5000000;
    Loaded lng = loadIT(m);
    ASSERT_EQ(lng.error, 0);
    EXPECT_EQ(lng->samples[0]->sampleLength, 4u);
    m.samples[0].lengthField = 0x7FFFFFFF;
    m.samples[0].is16 = true;
    EXPECT_EQ(loadIT(m).error, errInvalidInst);
}

// Instrument and sample headers whose offset lies (partly) past the end of
// the file refuse the load; they used to load as empty ones.
TEST(LoaderIT, HeadersPastTheEndAreRefused)
{
    itw::Module m = basic();
    m.useInstruments = true;
    m.instruments.resize(1);
    m.instruments[0].useSample(1);
    std::vector<uint8_t> bytes = itw::write(m);
    const size_t insOff = 192 + m.orders.size(), smpOff = insOff + 4;
    auto patched = [&bytes](size_t at, uint32_t offset) {
        std::vector<uint8_t> b = bytes;
        for (int k = 0; k < 4; k++)
            b[at + k] = static_cast<uint8_t>(offset >> (8 * k));
        return b;
    };
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    EXPECT_EQ(Loaded(gmpLoadITMemory, patched(insOff, size - 100)).error, errEndOfFile);
    EXPECT_EQ(Loaded(gmpLoadITMemory, patched(insOff, 0x7FFFFFF0)).error, errEndOfFile);
    EXPECT_EQ(Loaded(gmpLoadITMemory, patched(smpOff, size - 40)).error, errEndOfFile);
}

// Pattern bytes name instruments 0 to 254 only; a file may count up to 65535
// (found reading past the 256 flags of the used instruments).
TEST(LoaderIT, MoreThan256InstrumentsOrSamples)
{
    itw::Module m = basic();
    m.samples.resize(700);
    Loaded noInsts = loadIT(m);
    ASSERT_EQ(noInsts.error, 0);
    ASSERT_EQ(noInsts->numInsts, 700u);
    EXPECT_EQ(noInsts->instruments[0]->used, 1u);
    for (unsigned i = 1; i < 700; i++)
        ASSERT_EQ(noInsts->instruments[i]->used, 0u) << i;

    m.useInstruments = true;
    m.instruments.resize(700);
    m.instruments[0].useSample(1);
    Loaded insts = loadIT(m);
    ASSERT_EQ(insts.error, 0);
    ASSERT_EQ(insts->numInsts, 700u);
    EXPECT_EQ(insts->instruments[0]->used, 1u);
    for (unsigned i = 1; i < 700; i++)
        ASSERT_EQ(insts->instruments[i]->used, 0u) << i;
}

TEST(LoaderIT, CallbackErrorAbortsTheLoad)
{
    recdev::reset();
    SoundDevice *saved = gmpSD;
    gmpSD = recdev::device();
    static int calls;
    calls = 0;
    std::vector<uint8_t> bytes = itw::write(basic());
    ModuleRecord *mod = nullptr;
    auto failing = [](SoundDeviceSample *, SampleRecord *) -> int { return ++calls, errInvalidSampleHandle; };
    EXPECT_EQ(gmpLoadITMemory(bytes.data(), bytes.size(), 1, failing, &mod), errInvalidSampleHandle);
    EXPECT_EQ(mod, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(recdev::samples()[0].removed) << "the partial module left the device";
    gmpSD = saved;
}
