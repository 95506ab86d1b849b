// glide_api.cpp: the API entry points for start-up, render state, frames and
// the swap; the texture functions live in texmem.cpp.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/glide/context.h"
#include "platform/glide/record.h"

namespace glide {

namespace {

constexpr auto kRetrace = std::chrono::nanoseconds(16666667);  // 60 Hz

// A colour in the format given to grSstWinOpen, as 0xAARRGGBB.
uint32_t toArgb(uint32_t v, int format) {
    switch (format) {
        case GR_COLORFORMAT_ABGR: return (v & 0xFF00FF00u) | ((v >> 16) & 0xFF) | ((v & 0xFF) << 16);
        case GR_COLORFORMAT_RGBA: return (v >> 8) | (v << 24);
        case GR_COLORFORMAT_BGRA:
            return ((v & 0xFF) << 24) | (((v >> 8) & 0xFF) << 16) | (((v >> 16) & 0xFF) << 8) | (v >> 24);
        default: return v;
    }
}

bool validTmu(GrChipID_t tmu) { return tmu >= 0 && tmu < kNumTmu; }

bool resolutionSize(GrScreenResolution_t res, int &w, int &h) {
    static const int sizes[][2] = {{320, 200}, {320, 240}, {400, 256}, {512, 384}, {640, 200}, {640, 350},
                                   {640, 400}, {640, 480}, {800, 600}, {960, 720}, {856, 480}, {512, 256},
                                   {1024, 768}, {1280, 1024}, {1600, 1200}, {400, 300}};
    if (res < 0 || res >= static_cast<int>(std::size(sizes))) return false;
    w = sizes[res][0];
    h = sizes[res][1];
    return true;
}

const char *env(const char *name) {
    const char *v = std::getenv(name);
    return v && *v ? v : nullptr;
}

void buildGammaLut(Context &c) {
    double gamma = 1.7;  // the board's power-on table
    if (const char *g = env("GLIDE_GAMMA")) {
        char *end = nullptr;
        const double v = std::strtod(g, &end);
        if (end && *end == 0 && v > 0.05 && v < 20) {
            gamma = v;
        } else {
            std::fprintf(stderr, "glide: GLIDE_GAMMA=%s is not a gamma between 0.05 and 20, using 1.7\n", g);
        }
    }
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<uint8_t>(std::lround(255.0 * std::pow(i / 255.0, 1.0 / gamma)));
    }
    c.gammaLut.resize(65536);
    for (uint32_t p = 0; p < 65536; ++p) {
        const Rgb e = expand565(static_cast<uint16_t>(p));
        c.gammaLut[p] = (uint32_t{table[e.r]} << 16) | (uint32_t{table[e.g]} << 8) | table[e.b];
    }
}

void resetState(Context &c) {
    State s;
    s.clipMaxX = c.width;
    s.clipMaxY = c.height;
    c.state = s;
    c.changed();
}

void readEnvironment(Context &c) {
    c.pacing = !env("GLIDE_NOPACE") || std::strcmp(env("GLIDE_NOPACE"), "0") == 0;
    if (const char *t = env("GLIDE_THREADS")) {
        const int n = std::atoi(t);
        if (n >= 1 && n <= 64) {
            c.threads = n;
        } else {
            std::fprintf(stderr, "glide: GLIDE_THREADS=%s is not a count from 1 to 64, ignored\n", t);
        }
    }
    if (const char *v = env("GLIDE_SIMD")) {
        if (std::strlen(v) == 1 && v[0] >= '0' && v[0] <= '2') {
            setSimdLevel(static_cast<SimdLevel>(v[0] - '0'));
        } else {
            std::fprintf(stderr, "glide: GLIDE_SIMD=%s is not 0 (plain), 1 (SSE2) or 2 (AVX2), ignored\n", v);
        }
    }
    c.stats = env("GLIDE_STATS") && std::strcmp(env("GLIDE_STATS"), "0") != 0;
    c.frameStats = FrameStats{};
    if (const char *path = env("GLIDE_STATS_LOG")) {
        c.frameStats.log = std::fopen(path, "w");
        if (c.frameStats.log) {
            std::fprintf(c.frameStats.log, "# frame shown_ms ready_ms missed cpu_ms\n");
        } else {
            std::fprintf(stderr, "glide: GLIDE_STATS_LOG=%s cannot be written: %s\n", path, std::strerror(errno));
        }
    }
    c.captureDir.clear();
    c.capture = CaptureSpec{};
    if (const char *dir = env("GLIDE_CAPTURE_DIR")) {
        std::string err;
        const char *frames = env("GLIDE_CAPTURE_FRAMES");
        if (!parseCaptureFrames(frames ? frames : "all", c.capture, err)) {
            std::fprintf(stderr, "glide: %s; no frames will be captured\n", err.c_str());
        } else {
            c.captureDir = dir;
        }
    }
}

// By default one drawing thread per processor besides the program thread,
// which draws too while it waits for a frame, but sleeps through the pacing
// and sets up the next frame while the last one is drawn.
int effectiveThreads(const Context &c) {
    if (c.threads > 0) return c.threads;
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 2 : static_cast<int>(std::min(n, 16u)) + 1;
}

void printStats(const Context &c) {
    const FrameStats &f = c.frameStats;
    const double seconds = std::chrono::duration<double>(c.lastShown - c.retraceBase).count();
    char lowest[32] = "-";
    if (f.lowestPerSecond >= 0) std::snprintf(lowest, sizeof lowest, "%d", f.lowestPerSecond);
    std::fprintf(stderr,
                 "glide: %llu frames shown, %.1f fps average, lowest %s fps in a second, worst frame %.1f ms, "
                 "%llu missed the retrace (at most %d in a row), waited %.2f ms per frame for the drawing "
                 "(%d threads, %s)\n",
                 static_cast<unsigned long long>(c.shown), c.shown && seconds > 0 ? c.shown / seconds : 0.0, lowest,
                 f.worstFrame * 1000.0, static_cast<unsigned long long>(f.missed), f.longestMissRun,
                 c.shown ? f.waitSeconds * 1000.0 / c.shown : 0.0, c.renderer.threads(),
                 c.display ? c.display->name() : "none");
}

void showFrame(Context &c, const uint16_t *frame) {
    const bool capture = !c.captureDir.empty() && c.capture.wants(c.shown);
    const bool window = c.display && std::strcmp(c.display->name(), "headless") != 0;
    if (capture || window || c.frameHook) {
        const size_t n = static_cast<size_t>(c.width) * c.height;
        c.rgbFrame.resize(n);
        for (size_t i = 0; i < n; ++i) c.rgbFrame[i] = c.gammaLut[frame[i]];
        if (c.display) c.display->present(c.rgbFrame.data(), c.width, c.height);
        if (c.frameHook) c.frameHook(c.rgbFrame.data(), c.width, c.height, c.shown, c.frameUser);
        if (capture) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05llu.png", static_cast<unsigned long long>(c.shown));
            std::string err;
            if (!writePng(c.captureDir + name, c.rgbFrame.data(), c.width, c.height, err)) {
                std::fprintf(stderr, "glide: capture failed: %s\n", err.c_str());
                c.captureDir.clear();  // say it once
            }
        }
    }
    ++c.shown;
}

// Waits for the retrace at which a swap with this interval is shown and
// returns when that is: the retraces lie on a fixed 60 Hz grid from
// grSstWinOpen, so pacing never drifts; a late frame waits for the next grid
// point and has missed its retrace (the first frame never counts as missed).
// Unpaced, a frame is shown at once and has missed when it came more than
// one retrace after the last.
Clock::time_point waitRetrace(Context &c, int interval, bool &missed) {
    const Clock::time_point now = Clock::now();
    if (!c.pacing || interval <= 0) {
        missed = c.shown > 0 && now - c.lastSwap > kRetrace;
        c.lastSwap = now;
        return now;
    }
    Clock::time_point target = c.lastSwap + interval * kRetrace;
    const bool late = target < now;
    // The first frame has no frame before it to be late after (its set-up,
    // textures and all, runs from the opening of the window).
    missed = late && c.shown > 0;
    if (late) {
        const auto ticks = (now - c.retraceBase + kRetrace - std::chrono::nanoseconds(1)) / kRetrace;
        target = c.retraceBase + ticks * kRetrace;
    }
    std::this_thread::sleep_until(target);
    c.lastSwap = target;
    return target;
}

// The statistics of one shown frame: shownAt is its retrace (paced) or the
// moment it was shown, readyAt when it was drawn and the program had swapped
// the next one.
void countFrame(Context &c, Clock::time_point shownAt, Clock::time_point readyAt, bool missed) {
    FrameStats &f = c.frameStats;
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    const double interval = c.shown > 0 ? ms(shownAt - c.lastShown) : 0.0;
    f.worstFrame = std::max(f.worstFrame, interval / 1000.0);
    if (missed) {
        ++f.missed;
        f.longestMissRun = std::max(f.longestMissRun, ++f.missRun);
    } else {
        f.missRun = 0;
    }
    // Frames shown within the second that ends here, once a whole second has passed.
    if (c.shown == 0) f.firstShown = shownAt;
    f.lastSecond.push_back(shownAt);
    while (f.lastSecond.front() <= shownAt - std::chrono::seconds(1)) f.lastSecond.pop_front();
    if (shownAt - f.firstShown >= std::chrono::seconds(1)) {
        const int n = static_cast<int>(f.lastSecond.size());
        f.lowestPerSecond = f.lowestPerSecond < 0 ? n : std::min(f.lowestPerSecond, n);
    }
    if (f.log) {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        const double cpu = static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
        std::fprintf(f.log, "%llu %.3f %.3f %d %.3f\n", static_cast<unsigned long long>(c.shown), interval,
                     c.shown > 0 ? ms(readyAt - c.lastShown) : 0.0, missed ? 1 : 0, cpu - f.lastCpuMs);
        f.lastCpuMs = cpu;
    }
    c.lastShown = shownAt;
}

}  // namespace

Context &ctx() {
    static Context c;
    return c;
}

void fatal(const std::string &message) {
    std::fprintf(stderr, "glide: fatal: %s\n", message.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

void Context::finishDrawing() {
    if (!renderer.drawing()) return;
    const Clock::time_point t0 = Clock::now();
    renderer.finish();
    frameStats.waitSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
}

void Context::flush() {
    finishDrawing();
    if (renderer.pending()) {
        const Clock::time_point t0 = Clock::now();
        renderer.flush(backSurface(), memPointers());
        frameStats.waitSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    queued = nullptr;
}

void Context::presentPending(Clock::time_point ready) {
    pendingShow = false;
    bool missed = false;
    const Clock::time_point at = waitRetrace(*this, pendingInterval, missed);
    countFrame(*this, at, ready, missed);
    showFrame(*this, colour[pendingBuffer].data());
    if (!quitDelivered && display && display->quitRequested()) {
        quitDelivered = true;  // once per window
        if (quitHook) quitHook(quitUser);
    }
}

void Context::showPending() {
    if (!pendingShow) return;
    finishDrawing();
    presentPending(Clock::now());
}

// ---------------------------------------------------------------------------
// Extension functions.

void setReferenceRaster(bool on) {
    Context &c = ctx();
    c.flush();
    c.referenceRaster = on;
    c.renderer.setReference(on);
}
void setThreadCount(int n) {
    Context &c = ctx();
    c.flush();
    c.threads = std::clamp(n, 0, 64);
    c.renderer.setThreads(effectiveThreads(c));
}
int threadCount() { return ctx().renderer.threads(); }
int setVectorLevel(int level) {
    ctx().flush();
    setSimdLevel(static_cast<SimdLevel>(std::clamp(level, 0, 2)));
    ctx().changed();
    return static_cast<int>(simdLevel());
}
int vectorLevel() { return static_cast<int>(simdLevel()); }
void setPacing(bool on) { ctx().pacing = on; }
int screenWidth() { return ctx().open ? ctx().width : 0; }
int screenHeight() { return ctx().open ? ctx().height : 0; }
const uint16_t *backBuffer() {
    Context &c = ctx();
    if (!c.open) return nullptr;
    c.flush();
    return c.colour[c.back].data();
}
const uint16_t *frontBuffer() {
    Context &c = ctx();
    if (!c.open) return nullptr;
    c.showPending();
    return c.colour[1 - c.back].data();
}
const uint16_t *depthBuffer() {
    Context &c = ctx();
    if (!c.open) return nullptr;
    c.flush();
    return c.depth.data();
}
const uint8_t *textureMemory(int tmu) {
    Context &c = ctx();
    if (!validTmu(tmu) || c.tmuMem[tmu].empty()) return nullptr;
    c.flush();
    return c.tmuMem[tmu].data();
}
void setFrameHook(FrameHook hook, void *user) {
    Context &c = ctx();
    if (c.open) c.showPending();
    c.frameHook = hook;
    c.frameUser = user;
}
void setSwapHook(SwapHook hook, void *user) {
    ctx().swapHook = hook;
    ctx().swapUser = user;
}
uint32_t displayColour(uint16_t pixel) {
    Context &c = ctx();
    if (c.gammaLut.empty()) buildGammaLut(c);
    return c.gammaLut[pixel];
}

}  // namespace glide

using glide::ctx;

// ---------------------------------------------------------------------------
// Start-up, queries, shut-down.

extern "C" {

FxBool grSstQueryBoards(GrHwConfiguration *hwc) {
    if (hwc) hwc->num_sst = 1;
    return FXTRUE;
}

void grGlideInit(void) {
    glide::Context &c = ctx();
    if (c.initialised) return;
    c.initialised = true;
    for (auto &m : c.tmuMem) m.assign(glide::kTmuBytes + glide::kTmuSlack, 0);
}

FxBool grSstQueryHardware(GrHwConfiguration *hwc) {
    if (!hwc) return FXFALSE;
    std::memset(hwc, 0, sizeof *hwc);
    hwc->num_sst = 1;
    hwc->SSTs[0].type = GR_SSTTYPE_VOODOO;
    GrVoodooConfig_t &v = hwc->SSTs[0].sstBoard.VoodooConfig;
    v.fbRam = 4;
    v.fbiRev = 2;
    v.nTexelfx = glide::kNumTmu;
    v.sliDetect = FXFALSE;
    for (auto &t : v.tmuConfig) {
        t.tmuRev = 1;
        t.tmuRam = static_cast<int>(glide::kTmuBytes >> 20);
    }
    return FXTRUE;
}

void grSstSelect(int which) {
    if (which != 0) glide::fatal("grSstSelect: board " + std::to_string(which) + " does not exist");
}

FxBool grSstWinOpen(FxU32, GrScreenResolution_t res, GrScreenRefresh_t, GrColorFormat_t colorFormat,
                    GrOriginLocation_t, int, int) {
    glide::Context &c = ctx();
    if (!c.initialised) grGlideInit();
    if (c.open) grSstWinClose();
    int w, h;
    if (!glide::resolutionSize(res, w, h)) return FXFALSE;
    c.width = w;
    c.height = h;
    c.colourFormat = colorFormat;
    const size_t n = static_cast<size_t>(w) * h;
    for (auto &b : c.colour) b.assign(n, 0);
    c.depth.assign(n, 0xFFFF);
    c.back = 1;
    glide::resetState(c);
    glide::readEnvironment(c);
    glide::buildGammaLut(c);
    c.renderer.setReference(c.referenceRaster);
    c.renderer.setThreads(glide::effectiveThreads(c));
    // Record mode: the recorder's virtual clock paces the swaps, nothing is shown.
    const bool recording = glide::recordBegin(w, h);
    if (recording) c.pacing = false;
    const char *backend = recording ? "headless" : glide::env("GLIDE_BACKEND");
    if (backend && std::strcmp(backend, "headless") != 0 && std::strcmp(backend, "sdl") != 0) {
        std::fprintf(stderr, "glide: GLIDE_BACKEND=%s unknown (headless or sdl), choosing by display\n", backend);
        backend = nullptr;
    }
    c.display = nullptr;
    if (!backend || std::strcmp(backend, "sdl") == 0) c.display = glide::openWindowDisplay(w, h);
    if (!c.display) {
        if (backend && std::strcmp(backend, "sdl") == 0) std::fprintf(stderr, "glide: no window, drawing headless\n");
        c.display = glide::openHeadlessDisplay();
    }
    c.shown = 0;
    c.swaps = 0;
    c.pendingShow = false;
    c.quitDelivered = false;
    c.retraceBase = c.lastSwap = c.lastShown = glide::Clock::now();
    c.open = true;
    return FXTRUE;
}

void grSstWinClose(void) {
    glide::Context &c = ctx();
    if (!c.open) return;
    c.showPending();
    c.flush();
    glide::recordEnd();
    if (c.stats) glide::printStats(c);
    if (c.frameStats.log) std::fclose(c.frameStats.log);
    c.frameStats.log = nullptr;
    c.display.reset();
    c.open = false;
    for (auto &b : c.colour) std::vector<uint16_t>().swap(b);
    std::vector<uint16_t>().swap(c.depth);
}

void grGlideShutdown(void) {
    glide::Context &c = ctx();
    grSstWinClose();
    c.renderer.setThreads(1);
    c.initialised = false;
}

// ---------------------------------------------------------------------------
// Render state.

void grDepthBufferMode(GrDepthBufferMode_t mode) {
    ctx().state.depthMode = mode;
    ctx().changed();
}
void grDepthBufferFunction(GrCmpFnc_t function) {
    ctx().state.depthFunc = function;
    ctx().changed();
}
void grDepthMask(FxBool mask) {
    ctx().state.depthMask = mask != 0;
    ctx().changed();
}
void grDepthBiasLevel(FxI32 level) {
    ctx().state.depthBias = static_cast<int16_t>(level);
    ctx().changed();
}

void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
    glide::Context &c = ctx();
    const FxU32 w = static_cast<FxU32>(c.width), h = static_cast<FxU32>(c.height);
    maxx = std::min(maxx, w);
    maxy = std::min(maxy, h);
    minx = std::min(minx, maxx);
    miny = std::min(miny, maxy);
    c.state.clipMinX = static_cast<int>(minx);
    c.state.clipMinY = static_cast<int>(miny);
    c.state.clipMaxX = static_cast<int>(maxx);
    c.state.clipMaxY = static_cast<int>(maxy);
    c.changed();
}

void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
    glide::State &s = ctx().state;
    s.ccFunction = function;
    s.ccFactor = factor;
    s.ccLocal = local;
    s.ccOther = other;
    s.ccInvert = invert != 0;
    ctx().changed();
}

void grConstantColorValue(GrColor_t value) {
    glide::Context &c = ctx();
    c.state.constColour = glide::toArgb(value, c.colourFormat);
    c.changed();
}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgb_sf, GrAlphaBlendFnc_t rgb_df, GrAlphaBlendFnc_t alpha_sf,
                          GrAlphaBlendFnc_t alpha_df) {
    glide::State &s = ctx().state;
    s.blendRgbSrc = rgb_sf;
    s.blendRgbDst = rgb_df;
    s.blendOn = !(rgb_sf == GR_BLEND_ONE && rgb_df == GR_BLEND_ZERO && alpha_sf == GR_BLEND_ONE &&
                  alpha_df == GR_BLEND_ZERO);
    ctx().changed();
}

void grCullMode(GrCullMode_t mode) {
    ctx().state.cull = mode;
    ctx().changed();
}

void grDitherMode(GrDitherMode_t mode) {
    ctx().state.dither = mode;
    ctx().changed();
}

void grHints(GrHint_t hintType, FxU32 hintMask) {
    glide::State &s = ctx().state;
    if (hintType == GR_HINT_ALLOW_MIPMAP_DITHER) s.lodDitherAllowed = hintMask != 0;
    if (hintType == GR_HINT_STWHINT) s.stwHint = hintMask;
    ctx().changed();
}

// ---------------------------------------------------------------------------
// Texture unit modes.

void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minf, GrTextureFilterMode_t magf) {
    if (!glide::validTmu(tmu)) return;
    ctx().state.tmu[tmu].minFilter = minf;
    ctx().state.tmu[tmu].magFilter = magf;
    ctx().changed();
}

void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lodBlend) {
    if (!glide::validTmu(tmu)) return;
    ctx().state.tmu[tmu].mipmapMode = mode;
    ctx().state.tmu[tmu].lodBlend = lodBlend != 0;
    ctx().changed();
}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_mode, GrTextureClampMode_t t_mode) {
    if (!glide::validTmu(tmu)) return;
    ctx().state.tmu[tmu].clampS = s_mode;
    ctx().state.tmu[tmu].clampT = t_mode;
    ctx().changed();
}

void grTexLodBiasValue(GrChipID_t tmu, float bias) {
    if (!glide::validTmu(tmu) || !std::isfinite(bias)) return;
    // A signed 4.2 field: quarters, the conversion truncating (v + 1/8) / (1/4).
    int quarters = static_cast<int>(std::trunc((std::clamp(bias, -64.0f, 64.0f) + 0.125f) / 0.25f));
    quarters = std::clamp(quarters, -32, 31);
    ctx().state.tmu[tmu].lodBias256 = quarters * 64;
    ctx().changed();
}

void grTexDetailControl(GrChipID_t tmu, int lod_bias, FxU8 detail_scale, float detail_max) {
    if (!glide::validTmu(tmu)) return;
    glide::TmuState &t = ctx().state.tmu[tmu];
    t.detailBias = std::clamp(lod_bias, -32, 31);
    t.detailScale = std::min<int>(detail_scale, 7);
    t.detailMax = std::isfinite(detail_max) ? static_cast<int>(std::lround(std::clamp(detail_max, 0.0f, 1.0f) * 255))
                                            : 0;
    ctx().changed();
}

void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor, FxBool rgb_invert,
                  FxBool alpha_invert) {
    if (!glide::validTmu(tmu)) return;
    glide::TmuState &t = ctx().state.tmu[tmu];
    t.rgb = {rgb_function, rgb_factor, rgb_invert != 0};
    t.alpha = {alpha_function, alpha_factor, alpha_invert != 0};
    ctx().changed();
}

// ---------------------------------------------------------------------------
// Frames.

void grBufferClear(GrColor_t color, GrAlpha_t, FxU16 depth) {
    glide::Context &c = ctx();
    if (!c.open) return;
    if (!c.queued) c.queued = c.renderer.snapshot(c.state);
    color = glide::toArgb(color, c.colourFormat);
    c.renderer.clear(c.queued, color, depth, c.height);
}

void grDrawTriangle(const GrVertex *a, const GrVertex *b, const GrVertex *cv) {
    glide::Context &c = ctx();
    if (!c.open || !a || !b || !cv) return;
    // A frame that never ends must not queue without bound.
    if (c.renderer.queued() >= (size_t{1} << 20)) c.flush();
    if (!c.queued) c.queued = c.renderer.snapshot(c.state);
    c.renderer.drawTriangle(c.queued, *a, *b, *cv, c.height);
}

void grDrawPolygon(int nverts, const int ilist[], const GrVertex vlist[]) {
    if (nverts < 3 || !ilist || !vlist) return;
    for (int i = 0; i < nverts; ++i) {
        if (ilist[i] < 0) return;
    }
    for (int i = 1; i + 1 < nverts; ++i) grDrawTriangle(&vlist[ilist[0]], &vlist[ilist[i]], &vlist[ilist[i + 1]]);
}

void grBufferSwap(int swap_interval) {
    glide::Context &c = ctx();
    if (!c.open) return;
    // The frame before is drawn by now. This one goes to the drawing threads
    // (into the buffer shown two swaps ago, which it starts from) while the
    // frame before waits for its retrace and is shown, and while the program
    // goes on to the next frame, which is shown at the next swap.
    c.finishDrawing();
    const auto ready = glide::Clock::now();
    c.renderer.submit(c.backSurface(), c.memPointers());  // draws it here when alone
    c.frameStats.waitSeconds += std::chrono::duration<double>(glide::Clock::now() - ready).count();
    c.queued = nullptr;
    if (c.pendingShow) c.presentPending(ready);
    c.pendingShow = true;
    c.pendingBuffer = c.back;
    c.pendingInterval = swap_interval;
    c.back = 1 - c.back;
    if (c.swapHook) c.swapHook(c.swaps, c.swapUser);
    ++c.swaps;
}

void glideSetQuitHook(GlideQuitHook hook, void *user) {
    ctx().quitHook = hook;
    ctx().quitUser = user;
}

}  // extern "C"
