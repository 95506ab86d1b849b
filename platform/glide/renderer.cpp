// renderer.cpp: command queue, banding and the drawing threads.
#include "platform/glide/renderer.h"

#include <algorithm>

namespace glide {

Renderer::~Renderer() { stopWorkers(); }

void Renderer::stopWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread &t : workers_) t.join();
    workers_.clear();
    quit_ = false;
}

void Renderer::setThreads(int n) {
    n = std::clamp(n, 1, 64);
    if (n == threads_ && static_cast<int>(workers_.size()) == n - 1) return;
    stopWorkers();
    threads_ = n;
    // A new worker must not mistake an earlier frame for a job.
    const uint64_t current = generation_;
    for (int i = 1; i < n; ++i) workers_.emplace_back([this, current] { workerLoop(current); });
}

const State *Renderer::snapshot(const State &st) {
    states_.push_back(st);
    prepareFast(states_.back());
    return &states_.back();
}

void Renderer::addToBands(uint32_t cmd, int y0, int y1, int screenHeight) {
    const int needed = (screenHeight + kBandRows - 1) / kBandRows;
    if (static_cast<int>(bands_.size()) < needed) bands_.resize(needed);
    if (y0 >= y1) return;
    const int b1 = std::min((y1 - 1) / kBandRows, needed - 1);
    for (int b = y0 / kBandRows; b <= b1; ++b) bands_[b].push_back(cmd);
}

void Renderer::drawTriangle(const State *st, const GrVertex &a, const GrVertex &b, const GrVertex &c,
                            int screenHeight) {
    Triangle &t = tris_.emplace_back();  // set up in place: no copy of the planes
    if (!setupTriangle(*st, a, b, c, t)) {
        tris_.pop_back();
        return;
    }
    cmds_.push_back({false, static_cast<uint32_t>(tris_.size() - 1)});
    addToBands(static_cast<uint32_t>(cmds_.size() - 1), t.minY, t.maxY, screenHeight);
}

void Renderer::clear(const State *st, uint32_t argb, uint16_t depth, int screenHeight) {
    clears_.push_back({st, argb, depth});
    cmds_.push_back({true, static_cast<uint32_t>(clears_.size() - 1)});
    addToBands(static_cast<uint32_t>(cmds_.size() - 1), st->clipMinY, st->clipMaxY, screenHeight);
}

void Renderer::drawBand(int band) {
    const int y0 = band * kBandRows, y1 = std::min(y0 + kBandRows, surface_->height);
    const std::vector<uint32_t> &list = bands_[band];
    for (size_t k = 0; k < list.size(); ++k) {
        // The set-up records were written by the thread that queued them and
        // span several cache lines; start loading the next one's edges and
        // planes while this one draws.
        if (k + 1 < list.size()) {
            const Cmd &next = cmds_[list[k + 1]];
            if (!next.isClear) {
                const char *p = reinterpret_cast<const char *>(&tris_[next.index]);
                for (size_t off = 0; off < sizeof(Triangle); off += 64) __builtin_prefetch(p + off);
            }
        }
        const Cmd &cmd = cmds_[list[k]];
        if (cmd.isClear) {
            const Clear &c = clears_[cmd.index];
            clearRows(*c.st, c.argb, c.depth, *surface_, y0, y1);
        } else if (reference_) {
            rasterReference(tris_[cmd.index], mem_, *surface_, y0, y1);
        } else {
            rasterFast(tris_[cmd.index], mem_, *surface_, y0, y1);
        }
    }
}

void Renderer::workerLoop(uint64_t seen) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
        }
        for (int b; (b = nextBand_.fetch_add(1)) < bandCount_;) drawBand(b);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--busy_ == 0) done_.notify_all();
        }
    }
}

void Renderer::flush(Surface &s, const uint8_t *const tmuMem[kNumTmu]) {
    if (cmds_.empty()) return;
    surface_ = &s;
    for (int i = 0; i < kNumTmu; ++i) mem_[i] = tmuMem[i];
    bandCount_ = std::min(static_cast<int>(bands_.size()), (s.height + kBandRows - 1) / kBandRows);
    nextBand_.store(0);
    if (!workers_.empty() && !reference_) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = static_cast<int>(workers_.size());
            ++generation_;
        }
        wake_.notify_all();
        for (int b; (b = nextBand_.fetch_add(1)) < bandCount_;) drawBand(b);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return busy_ == 0; });
    } else {
        for (int b = 0; b < bandCount_; ++b) drawBand(b);
    }
    for (auto &band : bands_) band.clear();
    cmds_.clear();
    tris_.clear();
    clears_.clear();
    states_.clear();
    surface_ = nullptr;
}

}  // namespace glide
