// Mixer throughput: 32 channels of looped 8-bit or 16-bit samples at
// 44100 Hz, stereo and mono 16-bit output, in each mixing mode. One line per
// case: mixer.<mode>.<8bit|16bit> <value> Mvoiceframes/s, where a voice-frame
// is one channel's output frame, per second of this thread's CPU time (the
// machine is shared, so wall time would measure the neighbours).
//
// Usage: bench_mixer [seconds of audio per case, default 4]
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sound/mixer/dsm.h"

static double threadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

static constexpr unsigned CHANNELS = 32;
static constexpr unsigned RATE = 44100;
static constexpr unsigned SAMPLE_FRAMES = 16384;
static constexpr unsigned PIECE = 882;  // 20 ms: what one poll mixes
// The mixer's default options; the 16-bit split cases turn the mu-law
// conversion off.
static MixOptions options;

// Mixes seconds of audio of CHANNELS looped voices; returns Mvoiceframes/s.
// perFrame: every block routine replaced by its per-frame twin, to show what
// the block routines gain.
static double runCase(unsigned mode, bool sixteen, double seconds, bool perFrame = false)
{
    std::vector<uint8_t> data8(SAMPLE_FRAMES);
    std::vector<int16_t> data16(SAMPLE_FRAMES);
    for (unsigned i = 0; i < SAMPLE_FRAMES; i++) {
        const double v = std::sin(2 * M_PI * i / 97.0) * 0.7 + std::sin(2 * M_PI * i / 13.0) * 0.2;
        data8[i] = static_cast<uint8_t>(128 + std::lround(v * 127));
        data16[i] = static_cast<int16_t>(std::lround(v * 32767));
    }
    if (dsmInit(RATE, mode, options) != 0 || dsmOpenChannels(CHANNELS) != 0) {
        std::fprintf(stderr, "bench_mixer: mixer start failed\n");
        std::exit(1);
    }
    SoundDeviceSample s{};
    s.sample = sixteen ? static_cast<void *>(data16.data()) : static_cast<void *>(data8.data());
    s.location = 1;
    s.sampleType = sixteen ? smp16bitMono : smp8bitMono;
    const unsigned bytes = sixteen ? 2 * SAMPLE_FRAMES : SAMPLE_FRAMES;
    s.length = bytes;
    s.loopMode = sdLoop1;
    s.loop1Start = 0;
    s.loop1End = bytes;
    s.loop1Type = loopUnidir;
    unsigned handle = 0;
    dsmAddSample(&s, 1, &handle);
    const int pans[4] = {0, -40, 40, 0};
    for (unsigned ch = 0; ch < CHANNELS; ch++) {
        dsmSetSample(ch, handle);
        dsmSetVolume(ch, 40 + ch % 24);
        dsmSetPanning(ch, pans[ch % 4]);
        dsmPlaySound(ch, 22050 + ch * 2100);  // steps 0.5 to about 2
        dsmSetPosition(ch, (ch * 997 % SAMPLE_FRAMES) * (sixteen ? 2 : 1));
    }
    MixRoutine saved[dsmRoutineEntries];
    for (unsigned i = 0; i < dsmRoutineEntries; i++) {
        saved[i] = dsmActMixRoutines[i];
        if (perFrame)
            dsmActMixRoutines[i].mixBlock = dsmActMixRoutines[i].mixFrame;
    }
    const unsigned total = static_cast<unsigned>(seconds * RATE);
    std::vector<int16_t> out(2 * PIECE);
    dsmMixData(PIECE, out.data());  // warm the caches and finish any ramps
    const double t0 = threadSeconds();
    for (unsigned done = 0; done < total; done += PIECE)
        dsmMixData(PIECE, out.data());
    const double t = threadSeconds() - t0;
    double energy = 0;
    for (int16_t v : out)
        energy += std::abs(v);
    if (energy == 0) {
        std::fprintf(stderr, "bench_mixer: mode 0x%X mixed silence\n", mode);
        std::exit(1);
    }
    for (unsigned i = 0; i < dsmRoutineEntries; i++)
        dsmActMixRoutines[i] = saved[i];
    dsmCloseChannels();
    dsmClose();
    return static_cast<double>(total) * CHANNELS / t / 1e6;
}

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    struct Mode {
        const char *name;
        unsigned mode;
    };
    const Mode modes[] = {
        {"integer", 0x52},      {"float", 0x32},      {"interp", 0xB2},
        {"mono-integer", 0x46}, {"mono-float", 0x26}, {"mono-interp", 0xA6},
    };
    for (const Mode &m : modes) {
        for (bool sixteen : {false, true}) {
            // Best of three: other processes share the cores and the caches.
            double best = 0;
            for (int run = 0; run < 3; run++) {
                const double v = runCase(m.mode, sixteen, seconds / 3);
                best = v > best ? v : best;
            }
            std::printf("mixer.%s.%s %.0f Mvoiceframes/s\n", m.name, sixteen ? "16bit" : "8bit",
                        best);
            std::fflush(stdout);
        }
    }
    // Integer mixing keeps 16-bit samples as mu-law unless told otherwise;
    // without the conversion they take the 16-bit routines (the table split
    // in the block routines).
    options.ulawAutoConvert = 0;
    for (bool perFrame : {false, true}) {
        double best = 0;
        for (int run = 0; run < 3; run++) {
            const double v = runCase(0x52, true, seconds / 3, perFrame);
            best = v > best ? v : best;
        }
        std::printf("mixer.integer.16bit-split%s %.0f Mvoiceframes/s\n",
                    perFrame ? ".perframe" : "", best);
        std::fflush(stdout);
    }
    options.ulawAutoConvert = 1;
    // The same stereo cases with per-frame routines only, for comparison.
    for (int i = 0; i < 3; i++) {
        for (bool sixteen : {false, true}) {
            double best = 0;
            for (int run = 0; run < 3; run++) {
                const double v = runCase(modes[i].mode, sixteen, seconds / 3, true);
                best = v > best ? v : best;
            }
            std::printf("mixer.%s.%s.perframe %.0f Mvoiceframes/s\n", modes[i].name,
                        sixteen ? "16bit" : "8bit", best);
            std::fflush(stdout);
        }
    }
    return 0;
}
