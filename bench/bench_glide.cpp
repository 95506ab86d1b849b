// bench_glide: fill rates and synthetic frame rates of the software board,
// headless and unpaced. One line per case:
//   glide.<case>.<W>x<H>.<threads>t <value> <unit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "graphics/glide.h"
#include "platform/glide/display.h"
#include "platform/glide/glide_ext.h"

namespace {

using Clock = std::chrono::steady_clock;

int W = 640, H = 480;
int gThreads = 1;
// With --cpu, rates are per CPU second of the process divided by the thread
// count: what an otherwise idle machine would show, when other work competes
// for the cores. Wall-clock rates otherwise.
bool gCpuTime = false;
const char *gOnly = nullptr;  // --only SUBSTRING: run the matching cases only
bool selected(const char *name) { return !gOnly || std::strstr(name, gOnly) != nullptr; }

double processCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

GrVertex vtx(float x, float y, float c, float oow, float s, float t) {
    GrVertex v{};
    v.x = x;
    v.y = y;
    v.r = v.g = v.b = c;
    v.a = 255;
    v.oow = oow;
    v.tmuvtx[0] = {s * oow, t * oow, oow};
    v.tmuvtx[1] = v.tmuvtx[0];
    return v;
}

void fullQuad(float c, float texels) {
    GrVertex a = vtx(0, 0, c, 1, 0, 0), b = vtx(static_cast<float>(W), 0, c, 1, texels, 0);
    GrVertex d = vtx(static_cast<float>(W), static_cast<float>(H), c, 1, texels, texels);
    GrVertex e = vtx(0, static_cast<float>(H), c, 1, 0, texels);
    grDrawTriangle(&a, &b, &d);
    grDrawTriangle(&d, &e, &a);
}

std::vector<uint16_t> chain;
GrTexInfo info;

void uploadTextures() {
    chain.resize(87381);
    uint32_t x = 12345;
    for (auto &t : chain) {
        x = x * 1664525u + 1013904223u;
        t = static_cast<uint16_t>(x >> 16);
    }
    info = {GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, chain.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexDownloadMipMap(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &info);
    grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
}

enum class Tex { None, Point, Bilinear, Trilinear };

void setTexturing(Tex mode) {
    for (GrChipID_t t : {GR_TMU0, GR_TMU1}) {
        const int f = mode == Tex::Point ? GR_TEXTUREFILTER_POINT_SAMPLED : GR_TEXTUREFILTER_BILINEAR;
        grTexFilterMode(t, f, f);
        grTexMipMapMode(t, GR_MIPMAP_NEAREST, 1);
        grTexClampMode(t, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    }
    if (mode == Tex::None) {
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED,
                       GR_COMBINE_OTHER_ITERATED, 0);
        return;
    }
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    if (mode == Tex::Trilinear) {
        grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION, GR_COMBINE_FUNCTION_BLEND,
                     GR_COMBINE_FACTOR_LOD_FRACTION, 0, 0);
        grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, 0, 0);
        grTexSource(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &info);
        grTexSource(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
    } else {
        grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, 0, 0);
        grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    }
}

void opaque() { grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO); }
void additive() { grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO); }

// The first effect's shape: a 41x31 screen mesh, 2400 triangles, texture
// coordinates rippling so that LODs vary around 0..1.
void mesh(float phase) {
    static GrVertex grid[31][41];
    for (int i = 0; i < 31; ++i) {
        for (int j = 0; j < 41; ++j) {
            const float x = static_cast<float>(j) * static_cast<float>(W) / 40.0f;
            const float y = static_cast<float>(i) * static_cast<float>(H) / 30.0f;
            const float s = static_cast<float>(j) * 6.4f + 8 * std::sin(phase + static_cast<float>(i) * 0.3f);
            const float t = static_cast<float>(i) * 8.5f + 8 * std::cos(phase + static_cast<float>(j) * 0.2f);
            grid[i][j] = vtx(x, y, 200, 1, s, t);
        }
    }
    for (int i = 0; i < 30; ++i) {
        for (int j = 0; j < 40; ++j) {
            grDrawTriangle(&grid[i][j], &grid[i][j + 1], &grid[i + 1][j + 1]);
            grDrawTriangle(&grid[i + 1][j + 1], &grid[i + 1][j], &grid[i][j]);
        }
    }
}

// The metaball effects' shape: many small perspective-textured triangles,
// depth-tested, spread over the screen.
void smallTriangles(float phase) {
    uint32_t x = 777;
    auto rnd = [&] {
        x = x * 1664525u + 1013904223u;
        return static_cast<float>(x >> 8) / 16777216.0f;
    };
    for (int n = 0; n < 6000; ++n) {
        const float cx = rnd() * static_cast<float>(W), cy = rnd() * static_cast<float>(H);
        const float r = 6 + 10 * rnd();
        const float w = 5 + 20 * rnd();
        GrVertex v[3];
        for (int k = 0; k < 3; ++k) {
            const float a = phase + static_cast<float>(k) * 2.094f + rnd();
            v[k] = vtx(cx + r * std::cos(a), cy + r * std::sin(a), 180, 1.0f / (w + static_cast<float>(k)),
                       rnd() * 256, rnd() * 256);
        }
        grDrawTriangle(&v[0], &v[1], &v[2]);
    }
}

// Runs `frame` repeatedly for about `seconds`; returns frames per second.
template <typename F>
double measure(F frame, double seconds = 0.6) {
    frame(0);  // warm-up
    grBufferSwap(1);
    int frames = 0;
    const Clock::time_point t0 = Clock::now();
    const double cpu0 = processCpuSeconds();
    double elapsed = 0;
    while (elapsed < seconds || frames < 3) {
        frame(frames + 1);
        grBufferSwap(1);
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    if (gCpuTime) return frames / ((processCpuSeconds() - cpu0) / gThreads);
    return frames / elapsed;
}

void report(const char *name, int threads, double value, const char *unit) {
    std::printf("glide.%s.%dx%d.%dt %.1f %s\n", name, W, H, threads, value, unit);
    std::fflush(stdout);
}

void runAll(int threads) {
    glide::setThreadCount(threads);
    gThreads = threads;
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(1);
    grDepthBufferFunction(GR_CMP_ALWAYS);
    constexpr int kLayers = 4;
    const double px = static_cast<double>(W) * H * kLayers;
    struct FillCase {
        const char *name;
        Tex tex;
        bool overlay;
    };
    const FillCase fills[] = {{"fill_gouraud", Tex::None, false},
                              {"fill_point", Tex::Point, false},
                              {"fill_bilinear", Tex::Bilinear, false},
                              {"fill_trilinear", Tex::Trilinear, false},
                              {"fill_trilinear_additive", Tex::Trilinear, true}};
    for (const FillCase &c : fills) {
        if (!selected(c.name)) continue;
        setTexturing(c.tex);
        // About 1.4 texels per pixel: between levels 0 and 1, so trilinear blends.
        const double fps = measure([&](int) {
            for (int i = 0; i < kLayers; ++i) {
                if (c.overlay && (i & 1)) additive(); else opaque();
                fullQuad(200, static_cast<float>(W) * 1.4f);
            }
        });
        report(c.name, threads, fps * px / 1e6, "Mpixels/s");
    }
    opaque();
    grDepthBufferFunction(GR_CMP_LESS);

    setTexturing(Tex::Trilinear);
    if (selected("scene_mesh")) report("scene_mesh", threads, measure([](int f) {
               grBufferClear(0, 0, 0xFFFF);
               opaque();
               mesh(static_cast<float>(f) * 0.05f);
               additive();
               fullQuad(128, 256);
           }), "fps");
    if (selected("scene_two_meshes")) report("scene_two_meshes", threads, measure([](int f) {
               grBufferClear(0, 0, 0xFFFF);
               opaque();
               mesh(static_cast<float>(f) * 0.05f);
               additive();
               mesh(static_cast<float>(f) * -0.03f);
               fullQuad(128, 256);
           }), "fps");
    if (selected("scene_small_triangles")) report("scene_small_triangles", threads, measure([](int f) {
               grBufferClear(0, 0, 0xFFFF);
               opaque();
               grDepthBufferFunction(GR_CMP_LESS);
               smallTriangles(static_cast<float>(f) * 0.02f);
               grDepthBufferFunction(GR_CMP_ALWAYS);
               additive();
               fullQuad(128, 256);
           }), "fps");
    opaque();
}

// A picture of the rasteriser at work: a perspective floor with trilinear
// mip-mapping, a Gouraud-shaded polygon fan and an additive glow, 640x480.
void screenshotTexture() {
    std::vector<uint16_t> &c = chain;
    c.assign(87381, 0);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool check = ((x >> 5) ^ (y >> 5)) & 1;
            const int r = check ? 230 : 40, g = check ? 200 : 60 + (x & 63), b = check ? 90 : 160 + (y & 63);
            c[y * 256 + x] = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        }
    }
    // Each smaller level: the 2x2 average of the one above.
    size_t off = 0;
    for (int size = 256; size > 1; size /= 2) {
        const size_t next = off + static_cast<size_t>(size) * size;
        for (int y = 0; y < size / 2; ++y) {
            for (int x = 0; x < size / 2; ++x) {
                int r = 0, g = 0, b = 0;
                for (int k = 0; k < 4; ++k) {
                    const uint16_t p = c[off + static_cast<size_t>(2 * y + (k >> 1)) * size + 2 * x + (k & 1)];
                    r += p >> 11;
                    g += (p >> 5) & 63;
                    b += p & 31;
                }
                c[next + static_cast<size_t>(y) * (size / 2) + x] = static_cast<uint16_t>(((r / 4) << 11) | ((g / 4) << 5) | (b / 4));
            }
        }
        off = next;
    }
    info = {GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, c.data()};
    grTexDownloadMipMap(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &info);
    grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
}

int screenshot(const char *path) {
    W = 640;
    H = 480;
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);
    glide::setPacing(false);
    screenshotTexture();
    setTexturing(Tex::Trilinear);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(1);
    grDepthBufferFunction(GR_CMP_LESS);
    grBufferClear(0x00000818, 0, GR_WDEPTHVALUE_FARTHEST);
    // Floor y = 1 below the eye, z from 2 to 40, projected with focal 400;
    // every vertex stays within the +-2048 pixels the vertex registers hold.
    constexpr int kN = 24;
    GrVertex floor[kN + 1][kN + 1];
    for (int i = 0; i <= kN; ++i) {
        for (int j = 0; j <= kN; ++j) {
            const float z = 2.0f + 38.0f * static_cast<float>(i) / kN;
            const float x = -8.0f + 16.0f * static_cast<float>(j) / kN;
            const float shade = 255.0f - 200.0f * static_cast<float>(i) / kN;
            floor[i][j] = vtx(320 + 400 * x / z, 200 + 400 / z, shade, 1.0f / z, x * 64, z * 32);
        }
    }
    for (int i = 0; i < kN; ++i) {
        for (int j = 0; j < kN; ++j) {
            grDrawTriangle(&floor[i][j], &floor[i][j + 1], &floor[i + 1][j + 1]);
            grDrawTriangle(&floor[i + 1][j + 1], &floor[i + 1][j], &floor[i][j]);
        }
    }
    // A Gouraud fan, additive, over the horizon.
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_ITERATED, 0);
    additive();
    grDepthBufferFunction(GR_CMP_ALWAYS);
    grDepthMask(0);
    GrVertex fan[18];
    int idx[18];
    fan[0] = vtx(320, 150, 255, 0.5f, 0, 0);
    fan[0].g = 160;
    fan[0].b = 60;
    idx[0] = 0;
    for (int k = 1; k < 18; ++k) {
        const float a = static_cast<float>(k - 1) * 6.2831853f / 16.0f;
        fan[k] = vtx(320 + 130 * std::cos(a), 150 + 110 * std::sin(a), 0, 0.5f, 0, 0);
        fan[k].b = 40;
        idx[k] = k;
    }
    grDrawPolygon(18, idx, fan);
    grBufferSwap(0);
    std::vector<uint32_t> rgb(static_cast<size_t>(W) * H);
    const uint16_t *front = glide::frontBuffer();
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = glide::displayColour(front[i]);
    std::string err;
    const bool ok = glide::writePng(path, rgb.data(), W, H, err);
    if (!ok) std::fprintf(stderr, "bench_glide: %s\n", err.c_str());
    grSstWinClose();
    grGlideShutdown();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    setenv("GLIDE_BACKEND", "headless", 1);
    setenv("GLIDE_NOPACE", "1", 1);
    unsetenv("GLIDE_CAPTURE_DIR");
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;       // 2 threads only
        else if (std::strcmp(argv[i], "--cpu") == 0) gCpuTime = true;  // see gCpuTime
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) gOnly = argv[++i];
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) return screenshot(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: bench_glide [--quick] [--cpu] [--only CASE] | --screenshot FILE.png\n");
            return 2;
        }
    }
    struct Res {
        GrScreenResolution_t code;
        int w, h;
    };
    const Res resolutions[] = {{GR_RESOLUTION_640x480, 640, 480}, {GR_RESOLUTION_1024x768, 1024, 768}};
    grGlideInit();
    for (const Res &r : resolutions) {
        W = r.w;
        H = r.h;
        grSstWinOpen(0, r.code, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);
        glide::setPacing(false);
        uploadTextures();
        for (int threads : {1, 2}) {
            if (quick && threads == 1) continue;
            runAll(threads);
        }
        grSstWinClose();
    }
    grGlideShutdown();
    return 0;
}
