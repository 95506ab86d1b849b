// Shared helpers of the player tests: load an XM built by the test writer
// onto the recording device, play it tick by tick and look at the log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/player/gmplayer.h"
#include "support/recdevice.h"
#include "support/xmwriter.h"

struct Song {
    ModuleRecord *module = nullptr;
    PlayState *ps = nullptr;
    int channels[32];

    Song()
    {
        recdev::reset();
        gmpInit(recdev::device());
        for (int i = 0; i < 32; i++)
            channels[i] = i;
    }
    ~Song()
    {
        if (ps)
            gmpStopSong(ps);
        if (module)
            gmpFreeModule(module);
    }
    int load(const xmw::Module &m, int addSD = 1)
    {
        std::vector<uint8_t> bytes = m.build();
        return gmpLoadXMMemory(bytes.data(), bytes.size(), addSD, nullptr, &module);
    }
    // Any loader's in-memory entry point (gmpLoadITMemory, ...).
    template <typename Loader>
    int loadWith(Loader loader, const std::vector<uint8_t> &bytes)
    {
        return loader(bytes.data(), bytes.size(), 1, nullptr, &module);
    }
    int play(int loopSong = 1)
    {
        recdev::takeLog();
        return gmpPlaySong(module, -1, -1, -1, loopSong, -1, channels, &ps);
    }
    // Loads and starts; fails the test on any error.
    void start(const xmw::Module &m, int loopSong = 1)
    {
        ASSERT_EQ(load(m), 0);
        ASSERT_EQ(play(loopSong), 0);
        recdev::takeLog();
    }
    // Runs n ticks; each tick's calls follow a "tick <k>" line (k counts
    // from 0 at the first tick run by this song).
    std::vector<std::string> run(int n)
    {
        for (int i = 0; i < n; i++) {
            recdev::mark("tick " + std::to_string(ticks++));
            int error = gmpPlay();
            if (error != 0) {
                recdev::mark("error " + std::to_string(error));
                break;
            }
        }
        return recdev::takeLog();
    }
    // Runs ticks until the first tick of the first row has played (the song
    // starts speed - 1 ticks before its first row).
    void toFirstRow() { run(ps->speed); }
    ChannelState &chan(int c) { return ps->channels[c]; }
    int ticks = 0;
};

using Lines = std::vector<std::string>;

// Lines of `log` that start with `prefix`.
std::vector<std::string> linesWith(const std::vector<std::string> &log, const std::string &prefix);
// Lines of the given tick (between its "tick k" mark and the next mark).
std::vector<std::string> tickLines(const std::vector<std::string> &log, int tick);

// A one-instrument module with a 16-frame 8-bit sample (looped forward), so a
// note sounds; `chans` channels, one pattern of `rows` rows.
xmw::Module simpleModule(unsigned chans = 1, unsigned rows = 8);
