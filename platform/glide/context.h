// context.h: the one board of the process: state, buffers, texture memory,
// the drawing queue, the display and the swap clock.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/glide/display.h"
#include "platform/glide/glide_ext.h"
#include "platform/glide/renderer.h"

namespace glide {

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
    int threads = 0;  // 0 = one per processor
    std::chrono::steady_clock::time_point retraceBase, lastSwap, lastShown;
    uint64_t shown = 0;

    bool stats = false;
    double worstFrame = 0, rasterSeconds = 0;

    bool quitDelivered = false;
    GlideQuitHook quitHook = nullptr;
    void *quitUser = nullptr;
    FrameHook frameHook = nullptr;
    void *frameUser = nullptr;

    Surface backSurface() {
        return {width, height, colour[back].data(), depth.data()};
    }
    const uint8_t *const *memPointers() {
        static thread_local const uint8_t *p[kNumTmu];
        for (int i = 0; i < kNumTmu; ++i) p[i] = tmuMem[i].data();
        return p;
    }
    // Draws everything queued into the back buffer.
    void flush();
    // The state changed: the next draw call takes a new snapshot.
    void changed() { queued = nullptr; }
};

Context &ctx();

// A fatal error of the API: message on standard error, process ends.
[[noreturn]] void fatal(const std::string &message);

}  // namespace glide
