// bench_demo: CPU time per frame of each effect's own work (wave field and
// mesh, tunnel rays, metaball field, triangulation, clipping and projection)
// with rasterisation left out: this program defines a Glide that accepts
// every call and draws nothing, so the board's library is not used.
//
// Usage: bench_demo [repeats]   (default 3; the best run is printed)
// Output: one line per effect and screen size, "demo.<effect>.<WxH> <ms> ms/frame".
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "effects/effekt1.h"
#include "effects/effekt2.h"
#include "effects/effekt3.h"
#include "graphics/3dfx.h"
#include "graphics/glide.h"

namespace {

double thread_cpu_ms()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Frames are timed from swap to swap, so the texture uploads at the start of
// an effect are left out.
long swap_count = 0;
double first_swap_ms = 0, last_swap_ms = 0;
// Sync values sent after given swaps: {swap, value} pairs ending with {0, 0}.
const long (*sync_plan)[2] = nullptr;

volatile float sink;  // keeps the vertex data alive for the optimiser

}  // namespace

// ---------------------------------------------------------------------------
// A Glide that draws nothing.

extern "C" {
FxBool grSstQueryBoards(GrHwConfiguration *hw)
{
    memset(hw, 0, sizeof *hw);
    hw->num_sst = 1;
    return FXTRUE;
}
void grGlideInit(void) {}
FxBool grSstQueryHardware(GrHwConfiguration *hw) { return grSstQueryBoards(hw); }
void grSstSelect(int) {}
FxBool grSstWinOpen(FxU32, GrScreenResolution_t, GrScreenRefresh_t, GrColorFormat_t, GrOriginLocation_t, int, int)
{
    return FXTRUE;
}
void grSstWinClose(void) {}
void grGlideShutdown(void) {}
void grDepthBufferMode(GrDepthBufferMode_t) {}
void grDepthBufferFunction(GrCmpFnc_t) {}
void grDepthMask(FxBool) {}
void grDepthBiasLevel(FxI32) {}
void grClipWindow(FxU32, FxU32, FxU32, FxU32) {}
void grColorCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}
void grConstantColorValue(GrColor_t) {}
void grAlphaBlendFunction(GrAlphaBlendFnc_t, GrAlphaBlendFnc_t, GrAlphaBlendFnc_t, GrAlphaBlendFnc_t) {}
void grCullMode(GrCullMode_t) {}
void grDitherMode(GrDitherMode_t) {}
void grHints(GrHint_t, FxU32) {}
void grTexFilterMode(GrChipID_t, GrTextureFilterMode_t, GrTextureFilterMode_t) {}
void grTexMipMapMode(GrChipID_t, GrMipMapMode_t, FxBool) {}
void grTexClampMode(GrChipID_t, GrTextureClampMode_t, GrTextureClampMode_t) {}
void grTexLodBiasValue(GrChipID_t, float) {}
void grTexDetailControl(GrChipID_t, int, FxU8, float) {}
void grTexCombine(GrChipID_t, GrCombineFunction_t, GrCombineFactor_t, GrCombineFunction_t, GrCombineFactor_t, FxBool,
                  FxBool)
{
}
FxU32 grTexMinAddress(GrChipID_t) { return 0; }
FxU32 grTexMaxAddress(GrChipID_t tmu) { return tmu < 2 ? 0x3FFFF8u : 0u; }
FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo *info)
{
    FxU32 texels = 0;
    for (int lod = info->largeLod; lod <= info->smallLod && lod <= 8; lod++) {
        const FxU32 mask = lod % 2 == 0 ? GR_MIPMAPLEVELMASK_EVEN : GR_MIPMAPLEVELMASK_ODD;
        if (evenOdd & mask) {
            const FxU32 n = (256u >> lod) * (256u >> lod);
            texels += n < 4 ? 4 : n;
        }
    }
    return (texels * (info->format >= 8 ? 2u : 1u) + 7u) & ~7u;
}
void grTexDownloadMipMap(GrChipID_t, FxU32, FxU32, GrTexInfo *) {}
void grTexSource(GrChipID_t, FxU32, FxU32, GrTexInfo *) {}
void grBufferClear(GrColor_t, GrAlpha_t, FxU16) {}
void grDrawTriangle(const GrVertex *a, const GrVertex *b, const GrVertex *c) { sink = a->x + b->y + c->oow; }
void grDrawPolygon(int n, const int ilist[], const GrVertex vlist[]) { sink = vlist[ilist[n - 1]].x; }
void grBufferSwap(int)
{
    swap_count++;
    last_swap_ms = thread_cpu_ms();
    if (swap_count == 1)
        first_swap_ms = last_swap_ms;
    for (const long (*p)[2] = sync_plan; p && (*p)[0]; p++)
        if ((*p)[0] == swap_count)
            set_sync_value((uint8_t)(*p)[1]);
}
void glideSetQuitHook(GlideQuitHook, void *) {}
}  // extern "C"

// ---------------------------------------------------------------------------

namespace {

void write_picture(const std::string &path, int k)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        exit(1);
    }
    for (long i = 0; i < 196608; i++)
        fputc((int)((i * (k + 3) / 7 + (i / 768) * k) & 0xFF), f);
    fclose(f);
}

// CPU milliseconds per frame of one run of fn, frames counted by swaps.
template <typename Fn>
double per_frame(Fn fn, const long (*plan)[2])
{
    swap_count = 0;
    sync_plan = plan;
    set_sync_value(0);
    fn();
    return swap_count > 1 ? (last_swap_ms - first_swap_ms) / (double)(swap_count - 1) : 0.0;
}

}  // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? atoi(argv[1]) : 3;
    char tmpl[] = "/tmp/bench_demo_XXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = tmpl;
    std::filesystem::create_directories(dir / "gfx");
    const char *names[] = {"03", "q52", "plinux", "meta", "spider", "metal", "greets", "credits"};
    for (int k = 0; k < 8; k++)
        write_picture((dir / "gfx" / (std::string(names[k]) + ".tga")).string(), k);
    std::filesystem::current_path(dir);

    // Effect 1: 200 ripple frames, 300 tunnel frames (with the ripple layer,
    // the zoom and the moving camera), the 128-frame fade-out.
    static const long plan1[][2] = {{200, 1}, {500, 3}, {0, 0}};
    // Effect 2: 200 frames of each scene waiting for the music, then the fade.
    static const long plan2[][2] = {{200, 5}, {400, 4}, {0, 0}};
    const int sizes[4][2] = {{512, 384}, {640, 480}, {800, 600}, {1024, 768}};

    for (const auto &s : sizes) {
        init_glide(s[0], s[1]);
        CreateTarget(s[0], s[1]);
        if (!init_effekt1(s[0], s[1]) || !init_effekt2(s[0], s[1]) || !init_effekt3(s[0], s[1])) {
            fprintf(stderr, "bench_demo: cannot read the pictures\n");
            return 1;
        }
        double best[3] = {1e30, 1e30, 1e30};
        for (int r = 0; r < repeats; r++) {
            best[0] = std::min(best[0], per_frame(effekt1, plan1));
            best[1] = std::min(best[1], per_frame(effekt2, plan2));
            best[2] = std::min(best[2], per_frame(effekt3, nullptr));
        }
        for (int e = 0; e < 3; e++)
            printf("demo.effekt%d.%dx%d %.3f ms/frame\n", e + 1, s[0], s[1], best[e]);
        fflush(stdout);
        close_effekt1();
        close_effekt2();
        close_effekt3();
        close_glide();
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
