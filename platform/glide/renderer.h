// renderer.h: the frame's command list and the threads that draw it.
//
// Draw calls are set up on the program thread and queued; the queue is drawn
// when the frame is needed (swap, texture download, read-back). The screen is
// cut into bands of rows; each band is drawn by one thread, its commands in
// submission order, so the pixels do not depend on the thread count.
//
// Two command lists take turns: submit() hands the one being filled to the
// drawing threads and returns, so the program sets up the next frame while
// the last one is drawn; finish() waits for it, the calling thread drawing
// bands too. At most one list is being drawn at a time.
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
    void setReference(bool on);

    // The state passed must stay unchanged until the next flush; snapshot()
    // keeps copies for the queue.
    const State *snapshot(const State &st);
    void drawTriangle(const State *st, const GrVertex &a, const GrVertex &b, const GrVertex &c, int screenHeight);
    void clear(const State *st, uint32_t argb, uint16_t depth, int screenHeight);
    bool pending() const { return !fill().cmds.empty(); }
    size_t queued() const { return fill().cmds.size(); }
    // True while a submitted list is being drawn.
    bool drawing() const { return running_ != nullptr; }

    // Hands everything queued to the drawing threads, to be drawn into the
    // surface (which must stay in place until finish()), and returns. A list
    // still being drawn is finished first. With one thread, or with the
    // reference rasteriser, the list is drawn before submit returns.
    void submit(const Surface &s, const uint8_t *const tmuMem[kNumTmu]);
    // Waits until the submitted list is drawn (drawing bands meanwhile).
    void finish();
    // submit() and finish(): everything queued is in the surface.
    void flush(const Surface &s, const uint8_t *const tmuMem[kNumTmu]);

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
    // One frame's commands, their states and their banding.
    struct List {
        std::deque<State> states;
        std::vector<Triangle> tris;
        std::vector<Clear> clears;
        std::vector<Cmd> cmds;
        std::vector<std::vector<uint32_t>> bands;
        Surface surface;
        const uint8_t *mem[kNumTmu] = {};
        int bandCount = 0;
        std::atomic<int> nextBand{0};
        void reset();
    };

    List &fill() { return lists_[filling_]; }
    const List &fill() const { return lists_[filling_]; }
    void addToBands(uint32_t cmd, int y0, int y1, int screenHeight);
    void drawBand(List &job, int band);
    void drawBands(List &job);
    void workerLoop(uint64_t seenGeneration);
    void stopWorkers();

    List lists_[2];
    int filling_ = 0;
    List *running_ = nullptr;  // submitted, maybe still being drawn

    int threads_ = 1;
    bool reference_ = false;

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    List *job_ = nullptr;  // what the workers draw (under mutex_)
    int busy_ = 0;
    bool quit_ = false;
};

}  // namespace glide
