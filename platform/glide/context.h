// context.h: the one board of the process: state, buffers, texture memory,
// the drawing queue, the display and the swap clock.
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/glide/display.h"
#include "platform/glide/glide_ext.h"
#include "platform/glide/renderer.h"

namespace glide {

using Clock = std::chrono::steady_clock;

// GLIDE_STATS: how the shown frames kept up with the 60 Hz retrace.
struct FrameStats {
    uint64_t missed = 0;  // frames shown later than the retrace they were due at
    int missRun = 0, longestMissRun = 0;  // consecutive missed frames
    double worstFrame = 0;                // longest time between two shown frames
    double waitSeconds = 0;               // the program thread waiting for the drawing
    std::deque<Clock::time_point> lastSecond;  // show times within the last second
    Clock::time_point firstShown;
    int lowestPerSecond = -1;  // fewest frames shown in any one second (-1: no whole second yet)
    FILE *log = nullptr;       // GLIDE_STATS_LOG: one line per shown frame
    double lastCpuMs = 0;      // the process's CPU time at the last line
};

struct Context {
    bool initialised = false;
    bool open = false;
    int width = 0, height = 0;
    int colourFormat = GR_COLORFORMAT_ARGB;

    State state;                      // current render state
    const State *queued = nullptr;    // its snapshot in the queue, if unchanged since
    std::vector<uint16_t> colour[2];  // [front, back] by index below
    int back = 1;
    std::vector<uint16_t> depth;
    std::vector<uint8_t> tmuMem[kNumTmu];
    Renderer renderer;

    std::unique_ptr<Display> display;
    std::vector<uint32_t> gammaLut;  // 565 pixel -> 0x00RRGGBB
    std::vector<uint32_t> rgbFrame;
    CaptureSpec capture;
    std::string captureDir;

    bool pacing = true;
    bool referenceRaster = false;
    int threads = 0;  // 0 = one per processor plus the program thread
    Clock::time_point retraceBase, lastSwap, lastShown;
    uint64_t shown = 0;  // frames shown
    uint64_t swaps = 0;  // frames handed to the drawing threads
    // The frame handed off by the last swap, drawn meanwhile, not yet shown.
    bool pendingShow = false;
    int pendingBuffer = 0, pendingInterval = 1;

    bool stats = false;
    FrameStats frameStats;

    bool quitDelivered = false;
    GlideQuitHook quitHook = nullptr;
    void *quitUser = nullptr;
    FrameHook frameHook = nullptr;
    void *frameUser = nullptr;
    SwapHook swapHook = nullptr;
    void *swapUser = nullptr;

    Surface backSurface() {
        return {width, height, colour[back].data(), depth.data()};
    }
    const uint8_t *const *memPointers() {
        static thread_local const uint8_t *p[kNumTmu];
        for (int i = 0; i < kNumTmu; ++i) p[i] = tmuMem[i].data();
        return p;
    }
    // Waits for the frame handed off at the last swap to be drawn.
    void finishDrawing();
    // Draws everything queued into the back buffer (finishing that frame first).
    void flush();
    // Draws, paces and shows the frame handed off at the last swap, if any.
    void showPending();
    // Paces and shows that frame, which is drawn (ready: since when).
    void presentPending(Clock::time_point ready);
    // The state changed: the next draw call takes a new snapshot.
    void changed() { queued = nullptr; }
};

Context &ctx();

// A fatal error of the API: message on standard error, process ends.
[[noreturn]] void fatal(const std::string &message);

}  // namespace glide
