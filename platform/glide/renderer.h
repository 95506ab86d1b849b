// renderer.h: the frame's command list and the threads that draw it.
//
// Draw calls are set up on the program thread and queued; the queue is drawn
// when the frame is needed (swap, texture download, read-back). The screen is
// cut into bands of rows; each band is drawn by one thread, its commands in
// submission order, so the pixels do not depend on the thread count.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/glide/raster.h"

namespace glide {

class Renderer {
public:
    Renderer() = default;
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // Thread count (at least 1; the calling thread is one of them).
    void setThreads(int n);
    int threads() const { return threads_; }
    void setReference(bool on) { reference_ = on; }

    // The state passed must stay unchanged until the next flush; snapshot()
    // keeps copies for the queue.
    const State *snapshot(const State &st);
    void drawTriangle(const State *st, const GrVertex &a, const GrVertex &b, const GrVertex &c, int screenHeight);
    void clear(const State *st, uint32_t argb, uint16_t depth, int screenHeight);
    bool pending() const { return !cmds_.empty(); }
    size_t queued() const { return cmds_.size(); }

    // Draws everything queued into the surface and empties the queue.
    void flush(Surface &s, const uint8_t *const tmuMem[kNumTmu]);

private:
    static constexpr int kBandRows = 16;
    struct Cmd {
        bool isClear;
        uint32_t index;
    };
    struct Clear {
        const State *st;
        uint32_t argb;
        uint16_t depth;
    };

    void addToBands(uint32_t cmd, int y0, int y1, int screenHeight);
    void drawBand(int band);
    void workerLoop(uint64_t seenGeneration);
    void stopWorkers();

    std::deque<State> states_;
    std::vector<Triangle> tris_;
    std::vector<Clear> clears_;
    std::vector<Cmd> cmds_;
    std::vector<std::vector<uint32_t>> bands_;

    int threads_ = 1;
    bool reference_ = false;

    // The job being drawn.
    Surface *surface_ = nullptr;
    const uint8_t *mem_[kNumTmu] = {};
    std::atomic<int> nextBand_{0};
    int bandCount_ = 0;

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    int busy_ = 0;
    bool quit_ = false;
};

}  // namespace glide
