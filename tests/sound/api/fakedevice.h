// A sound device that records what reaches it, for the poll tests. Play
// answers from a script of callPlayer values (then 0); every operation
// counts its calls. Counters are atomic: the player thread polls it.
#pragma once

#include <atomic>
#include <deque>

#include "sound/mixer/sdevice.h"

namespace fakedev {

struct State {
    std::atomic<int> startPlays{0};
    std::atomic<int> plays{0};
    std::atomic<int> setVolumes{0};
    std::atomic<int> updRates{0};
    std::deque<int> script;  // callPlayer answers of the next Play calls
    int startPlayError = 0;
    int playError = 0;
    bool closed = false;
};
inline State state;

inline int ok0() { return 0; }
inline int detect(int *r) { *r = 1; return 0; }
inline int init(unsigned, unsigned) { state.closed = false; return 0; }
inline int close() { state.closed = true; return 0; }
inline int getU(unsigned *v) { *v = 0; return 0; }
inline int setU(unsigned) { return 0; }
inline int setI(int) { return 0; }
inline int chU(unsigned) { return 0; }
inline int chUU(unsigned, unsigned) { return 0; }
inline int chUP(unsigned, unsigned *v) { *v = 0; return 0; }
inline int chI(unsigned, int) { return 0; }
inline int chIP(unsigned, int *v) { *v = 0; return 0; }
inline int setVolume(unsigned, unsigned) { state.setVolumes++; return 0; }
inline int addSample(SoundDeviceSample *, int, unsigned *h) { *h = 1; return 0; }
inline int updRate(unsigned) { state.updRates++; return 0; }
inline int startPlay() { state.startPlays++; return state.startPlayError; }
inline int play(int *callPlayer)
{
    state.plays++;
    *callPlayer = 0;
    if (!state.script.empty()) {
        *callPlayer = state.script.front();
        state.script.pop_front();
    }
    return state.playError;
}
inline int startStream(unsigned, void *, unsigned, int, unsigned) { return 0; }
inline int loopCb(unsigned, sdLoopCallback) { return 0; }

inline SoundDevice device = {
    0, 0, 0, 0, 0, 1, 1, 9, "Fake", nullptr, 0, nullptr,
    detect, init, close, getU, getU, setU, ok0, ok0, setI, setI, setU, getU, setU, getU,
    chUU, chU, chU, chUU, chUP, setVolume, chUP, chUU, chUP, chUU, chUP, chIP, chI, chIP, chI,
    addSample, setU, updRate, startPlay, play, startStream, chU, loopCb, chUU, chI,
};

inline void reset()
{
    state.startPlays = 0;
    state.plays = 0;
    state.setVolumes = 0;
    state.updRates = 0;
    state.script.clear();
    state.startPlayError = 0;
    state.playError = 0;
    state.closed = false;
    device.playOncePerPoll = 0;
}

}  // namespace fakedev
