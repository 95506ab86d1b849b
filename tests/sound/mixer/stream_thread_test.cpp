// A stream writer thread moves the write position and reads the playing
// position without the poll lock while the mixer plays the stream.
#include <atomic>
#include <cstring>
#include <thread>

#include "mixer_support.h"

using ThreadMixerStream = MixerTest;

TEST_F(ThreadMixerStream, WriterAndMixerShareOnlyTheTwoPositionWords)
{
    options.outputFilterMode = 0;
    start(44100, 0x52, 1);
    const unsigned frames = 4096;
    std::vector<uint8_t> ring(frames, 200);
    ASSERT_EQ(dsmStartStream(0, ring.data(), frames, smp8bitMono, 44100), 0);
    dsmSetVolume(0, 64);
    std::atomic<bool> done{false};
    std::atomic<unsigned> writes{0};
    // The writer keeps the write position a quarter of the ring ahead of the
    // reader, wrapping as a real stream writer does.
    std::thread writer([&] {
        while (!done.load()) {
            unsigned pos = 0;
            dsmGetPosition(0, &pos);
            dsmSetStreamWritePosition(0, (pos + frames / 4) % frames);
            writes.fetch_add(1);
            std::this_thread::yield();
        }
    });
    while (writes.load() == 0)
        std::this_thread::yield();
    unsigned last = 0, advanced = 0;
    for (int i = 0; i < 200; i++) {
        mix16(256);
        unsigned pos = 0;
        dsmGetPosition(0, &pos);
        ASSERT_LT(pos, frames);
        advanced += (pos + frames - last) % frames;
        last = pos;
    }
    done.store(true);
    writer.join();
    EXPECT_GT(advanced, 0u);  // the stream played while the writer ran
}
