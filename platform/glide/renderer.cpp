// renderer.cpp: command lists, banding and the drawing threads.
#include "platform/glide/renderer.h"

#include <algorithm>

namespace glide {

void Renderer::List::reset() {
    for (auto &band : bands) band.clear();
    cmds.clear();
    tris.clear();
    clears.clear();
    states.clear();
    surface = Surface{};
    bandCount = 0;
}

Renderer::~Renderer() {
    finish();
    stopWorkers();
}

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
    finish();
    n = std::clamp(n, 1, 64);
    if (n == threads_ && static_cast<int>(workers_.size()) == n - 1) return;
    stopWorkers();
    threads_ = n;
    // A new worker must not mistake an earlier frame for a job.
    const uint64_t current = generation_;
    for (int i = 1; i < n; ++i) workers_.emplace_back([this, current] { workerLoop(current); });
}

void Renderer::setReference(bool on) {
    finish();
    reference_ = on;
}

const State *Renderer::snapshot(const State &st) {
    List &l = fill();
    l.states.push_back(st);
    prepareFast(l.states.back());
    return &l.states.back();
}

void Renderer::addToBands(uint32_t cmd, int y0, int y1, int screenHeight) {
    List &l = fill();
    const int needed = (screenHeight + kBandRows - 1) / kBandRows;
    if (static_cast<int>(l.bands.size()) < needed) l.bands.resize(needed);
    if (y0 >= y1) return;
    const int b1 = std::min((y1 - 1) / kBandRows, needed - 1);
    for (int b = y0 / kBandRows; b <= b1; ++b) l.bands[b].push_back(cmd);
}

void Renderer::drawTriangle(const State *st, const GrVertex &a, const GrVertex &b, const GrVertex &c,
                            int screenHeight) {
    List &l = fill();
    Triangle &t = l.tris.emplace_back();  // set up in place: no copy of the planes
    if (!setupTriangle(*st, a, b, c, t)) {
        l.tris.pop_back();
        return;
    }
    l.cmds.push_back({false, static_cast<uint32_t>(l.tris.size() - 1)});
    addToBands(static_cast<uint32_t>(l.cmds.size() - 1), t.minY, t.maxY, screenHeight);
}

void Renderer::clear(const State *st, uint32_t argb, uint16_t depth, int screenHeight) {
    List &l = fill();
    l.clears.push_back({st, argb, depth});
    l.cmds.push_back({true, static_cast<uint32_t>(l.clears.size() - 1)});
    addToBands(static_cast<uint32_t>(l.cmds.size() - 1), st->clipMinY, st->clipMaxY, screenHeight);
}

void Renderer::drawBand(List &job, int band) {
    const int y0 = band * kBandRows, y1 = std::min(y0 + kBandRows, job.surface.height);
    const std::vector<uint32_t> &list = job.bands[band];
    for (size_t k = 0; k < list.size(); ++k) {
        // The set-up records were written by the thread that queued them and
        // span several cache lines; start loading the next one's edges and
        // planes while this one draws.
        if (k + 1 < list.size()) {
            const Cmd &next = job.cmds[list[k + 1]];
            if (!next.isClear) {
                const char *p = reinterpret_cast<const char *>(&job.tris[next.index]);
                for (size_t off = 0; off < sizeof(Triangle); off += 64) __builtin_prefetch(p + off);
            }
        }
        const Cmd &cmd = job.cmds[list[k]];
        if (cmd.isClear) {
            const Clear &c = job.clears[cmd.index];
            clearRows(*c.st, c.argb, c.depth, job.surface, y0, y1);
        } else if (reference_) {
            rasterReference(job.tris[cmd.index], job.mem, job.surface, y0, y1);
        } else {
            rasterFast(job.tris[cmd.index], job.mem, job.surface, y0, y1);
        }
    }
}

void Renderer::drawBands(List &job) {
    for (int b; (b = job.nextBand.fetch_add(1)) < job.bandCount;) drawBand(job, b);
}

void Renderer::workerLoop(uint64_t seen) {
    for (;;) {
        List *job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
            job = job_;
        }
        drawBands(*job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--busy_ == 0) done_.notify_all();
        }
    }
}

void Renderer::submit(const Surface &s, const uint8_t *const tmuMem[kNumTmu]) {
    finish();
    List &job = fill();
    if (job.cmds.empty()) return;
    job.surface = s;
    for (int i = 0; i < kNumTmu; ++i) job.mem[i] = tmuMem[i];
    job.bandCount = std::min(static_cast<int>(job.bands.size()), (s.height + kBandRows - 1) / kBandRows);
    job.nextBand.store(0);
    filling_ = 1 - filling_;
    running_ = &job;
    if (workers_.empty() || reference_) {
        drawBands(job);  // nobody to hand it to
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = static_cast<int>(workers_.size());
        job_ = &job;
        ++generation_;
    }
    wake_.notify_all();
}

void Renderer::finish() {
    if (!running_) return;
    List &job = *running_;
    drawBands(job);  // whatever bands the workers have not taken yet
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return busy_ == 0; });
        job_ = nullptr;
    }
    job.reset();
    running_ = nullptr;
}

void Renderer::flush(const Surface &s, const uint8_t *const tmuMem[kNumTmu]) {
    submit(s, tmuMem);
    finish();
}

}  // namespace glide
