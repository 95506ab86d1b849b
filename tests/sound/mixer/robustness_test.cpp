// Random channel operations and mixing in every mode: no crash, no read
// outside the data (the sanitizer build checks every access), and every
// playing channel stays inside its sample.
#include <cstring>
#include <random>

#include "mixer_support.h"

using MixerRobustness = MixerTest;

TEST_F(MixerRobustness, RemovingAPlayingSampleStopsItsChannels)
{
    options.outputFilterMode = 0;
    start(44100, 0x52, 2);
    uint8_t data[256];
    std::memset(data, 250, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 256, loopUnidir);
    play(0, h, 44100);
    mix16(10);
    ASSERT_EQ(dsmRemoveSample(h), 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChStopped);
    for (int16_t v : mix16(100))  // the freed copy is never read
        EXPECT_EQ(v, 0);
}

TEST_F(MixerRobustness, RandomOperationsNeverLeaveTheData)
{
    options.outputFilterMode = 2;
    std::mt19937 rng(2024);
    auto pick = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    for (unsigned mode : {0x52u, 0x46u, 0x32u, 0xB2u, 0xA5u, 0x51u}) {
        start(mode & dsmModeMono ? 22050 : 44100, mode, 4);
        // Samples of every mixable type, odd byte lengths, loops of every
        // kind including ones that reach past the data or have no length.
        std::vector<std::vector<uint8_t>> blocks;
        std::vector<unsigned> handles;
        const int types[] = {smp8bitMono, smp16bitMono, smp8bitStereo, smp16bitStereo,
                             smpUlawMono, smpUlawStereo};
        for (int i = 0; i < 12; i++) {
            const unsigned bytes = 1 + pick(700);
            blocks.emplace_back(bytes);
            for (auto &b : blocks.back())
                b = static_cast<uint8_t>(rng());
            SoundDeviceSample s{};
            s.sample = blocks.back().data();
            s.location = 1;
            s.sampleType = types[pick(6)];
            s.length = bytes;
            s.loopMode = static_cast<int>(pick(6));
            s.loop1Start = pick(bytes + 20);
            s.loop1End = pick(bytes + 40);
            s.loop1Type = static_cast<int>(pick(4));
            s.loop2Start = pick(bytes);
            s.loop2End = pick(bytes + 10);
            s.loop2Type = static_cast<int>(pick(3));
            unsigned h = 0;
            ASSERT_EQ(dsmAddSample(&s, static_cast<int>(pick(2)), &h), 0);
            handles.push_back(h);
        }
        for (int op = 0; op < 1500; op++) {
            const unsigned ch = pick(5);  // 4 is out of range on purpose
            switch (pick(12)) {
            case 0:
                dsmSetSample(ch, handles[pick(handles.size())]);
                break;
            case 1:
                dsmPlaySound(ch, pick(3) == 0 ? pick(300000) : 8000 + pick(60000));
                break;
            case 2:
                dsmSetPosition(ch, pick(900));
                break;
            case 3:
                dsmSetVolume(ch, pick(80));
                break;
            case 4:
                dsmSetPanning(ch, pick(4) == 0 ? panSurround : static_cast<int>(pick(129)) - 64);
                break;
            case 5:
                dsmReleaseSound(ch);
                break;
            case 6:
                dsmStopSound(ch);
                break;
            case 7:
                dsmSetRate(ch, pick(100000));
                break;
            case 8:
                dsmMuteChannel(ch, static_cast<int>(pick(2)));
                break;
            case 9:
                dsmSetMasterVolume(pick(70));
                break;
            default: {
                std::vector<int16_t> out(2 * 600);
                ASSERT_EQ(dsmMixData(1 + pick(600), out.data()), 0);
                break;
            }
            }
            for (unsigned i = 0; i < dsmAllocatedChannels; i++) {
                const MixChannel *c = &dsmChannels[i];
                if (c->status >= dsmChPlaying && c->sample != nullptr) {
                    ASSERT_LE(c->playPos, c->length) << "mode " << mode << " op " << op;
                }
            }
        }
        dsmClose();
        started = false;
    }
}

// A one-frame bidirectional loop, parked on its frame moving backward, once
// ran a frame and a fraction backward from it: the interpolating routines
// read the frame before the sample (a heap overflow on a short looped IT
// sample). Here that frame is a guard value in front of the data (the
// device plays the caller's buffer), so any read of it shows in the output,
// sanitizer or not.
TEST_F(MixerRobustness, OneFrameBidirectionalLoopStaysOnItsFrame)
{
    options.outputFilterMode = 0;
    options.disableVolumeRamping = 1;
    for (unsigned mode : {0xA6u, 0xB2u}) {
        for (int type : {smp8bitMono, smp16bitMono}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " type " << type);
            start(44100, mode, 1);
            int16_t words[2] = {-32768, 8000};
            uint8_t bytes[2] = {0, 200};
            SoundDeviceSample s{};
            s.sample = type == smp16bitMono ? static_cast<void *>(words + 1)
                                            : static_cast<void *>(bytes + 1);
            s.location = 1;
            s.sampleType = type;
            s.length = type == smp16bitMono ? 2 : 1;
            s.loopMode = sdLoop1;
            s.loop1End = s.length;
            s.loop1Type = loopBidir;
            unsigned h = 0;
            ASSERT_EQ(dsmAddSample(&s, 0, &h), 0);
            play(0, h, 30000);
            // The loop may rest until the next call; what plays is the frame.
            const int16_t frame = mix16(1)[0];
            ASSERT_NE(frame, 0);
            for (int call = 0; call < 20; call++)
                for (int16_t v : mix16(50))
                    ASSERT_TRUE(v == 0 || v == frame) << "call " << call << ": " << v;
            dsmClose();
            started = false;
        }
    }
}

// A channel moving backward in a long sample's bidirectional loop takes a
// short sample while its rate is 0: setting a position then changes nothing
// but the sample, so the old backward position would be read downward from,
// past the new data. Behind the short sample's frames lie guard bytes of
// the other side of silence; any read of them shows in the output.
TEST_F(MixerRobustness, SampleChangeAtRateZeroKeepsABackwardPositionInside)
{
    options.outputFilterMode = 0;
    options.disableVolumeRamping = 1;
    start(44100, 0x52, 1);
    std::vector<uint8_t> big(1000, 200), small(1000, 100);  // guard: below the middle
    std::memset(small.data(), 150, 8);                        // the data: above it
    const unsigned h1 = addSample(big.data(), 1000, smp8bitMono, sdLoop1, 900, 1000, loopBidir);
    const unsigned h2 = addSample(small.data(), 8, smp8bitMono, sdLoop1, 2, 8, loopBidir);
    play(0, h1, 44100);
    mix16(1010);
    ASSERT_EQ(dsmChannels[0].direction, -1);
    dsmSetRate(0, 0);
    dsmSetSample(0, h2);
    dsmSetPosition(0, 0);
    dsmSetRate(0, 44100);
    const std::vector<int16_t> out = mix16(100);
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_GT(out[i], 0) << "frame " << i / 2;
}
