#include "support/recording_glide.h"

#include <cstdio>
#include <cstring>

namespace rec {
namespace {

Board the_board;
std::vector<Call> the_calls;
std::function<void(long)> swap_fn;
long swap_count = 0;
long triangle_count = 0;
long polygon_count = 0;
long clear_count = 0;
GlideQuitHook hook = nullptr;
void *hook_user = nullptr;

Call &log(const char *name, std::initializer_list<double> args)
{
    static Call scratch;
    if (!the_board.log_calls) {
        scratch = Call{};
        return scratch;
    }
    the_calls.push_back(Call{name, std::vector<double>(args), {}, {}, {}});
    return the_calls.back();
}

// Texels of one level of a square texture at lod (0 = 256).
FxU32 level_texels(int lod) { return (256u >> lod) * (256u >> lod); }

FxU32 chain_bytes(FxU32 evenOdd, const GrTexInfo *info, bool memory_sizes)
{
    FxU32 texels = 0;
    for (int lod = info->largeLod; lod <= info->smallLod && lod <= 8; lod++) {
        const bool even = (lod % 2) == 0;
        if (!((even && (evenOdd & GR_MIPMAPLEVELMASK_EVEN)) || (!even && (evenOdd & GR_MIPMAPLEVELMASK_ODD))))
            continue;
        FxU32 n = level_texels(lod);
        if (memory_sizes && n < 4)
            n = 4;
        texels += n;
    }
    return texels * (info->format >= 8 ? 2u : 1u);
}

}  // namespace

void reset()
{
    the_board = Board{};
    the_calls.clear();
    swap_fn = nullptr;
    swap_count = 0;
    triangle_count = 0;
    polygon_count = 0;
    clear_count = 0;
    hook = nullptr;
    hook_user = nullptr;
}

Board &board() { return the_board; }
const std::vector<Call> &calls() { return the_calls; }
void clear_calls() { the_calls.clear(); }

std::string str(const Call &c)
{
    std::string s = c.name + "(";
    for (size_t i = 0; i < c.args.size(); i++) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s%.9g", i ? "," : "", c.args[i]);
        s += buf;
    }
    return s + ")";
}

std::vector<std::string> trace(const std::vector<std::string> &names)
{
    std::vector<std::string> out;
    for (const Call &c : the_calls) {
        bool want = names.empty();
        for (const std::string &n : names)
            want = want || c.name == n;
        if (want)
            out.push_back(str(c));
    }
    return out;
}

int count(const std::string &name)
{
    int n = 0;
    for (const Call &c : the_calls)
        n += c.name == name;
    return n;
}

void on_swap(std::function<void(long)> f) { swap_fn = std::move(f); }
long swaps() { return swap_count; }
long triangles() { return triangle_count; }
long polygons() { return polygon_count; }
long clears() { return clear_count; }
GlideQuitHook quit_hook() { return hook; }
void *quit_user() { return hook_user; }

FxU32 mem_required(FxU32 evenOdd, const GrTexInfo *info)
{
    return (chain_bytes(evenOdd, info, true) + 7u) & ~7u;
}

}  // namespace rec

using rec::log;

extern "C" {

FxBool grSstQueryBoards(GrHwConfiguration *hw)
{
    log("grSstQueryBoards", {});
    memset(hw, 0, sizeof *hw);
    hw->num_sst = rec::board().boards;
    return FXTRUE;
}

void grGlideInit(void) { log("grGlideInit", {}); }

FxBool grSstQueryHardware(GrHwConfiguration *hw)
{
    log("grSstQueryHardware", {});
    memset(hw, 0, sizeof *hw);
    hw->num_sst = rec::board().boards;
    if (hw->num_sst > 0) {
        hw->SSTs[0].type = GR_SSTTYPE_VOODOO;
        hw->SSTs[0].sstBoard.VoodooConfig.fbRam = 4;
        hw->SSTs[0].sstBoard.VoodooConfig.nTexelfx = 2;
        hw->SSTs[0].sstBoard.VoodooConfig.tmuConfig[0].tmuRam = 4;
        hw->SSTs[0].sstBoard.VoodooConfig.tmuConfig[1].tmuRam = 4;
    }
    return rec::board().query_hardware;
}

void grSstSelect(int which) { log("grSstSelect", {(double)which}); }

FxBool grSstWinOpen(FxU32 hWnd, GrScreenResolution_t res, GrScreenRefresh_t refresh, GrColorFormat_t cf,
                    GrOriginLocation_t origin, int ncol, int naux)
{
    log("grSstWinOpen", {(double)hWnd, (double)res, (double)refresh, (double)cf, (double)origin, (double)ncol,
                         (double)naux});
    return FXTRUE;
}

void grSstWinClose(void) { log("grSstWinClose", {}); }
void grGlideShutdown(void) { log("grGlideShutdown", {}); }
void grDepthBufferMode(GrDepthBufferMode_t m) { log("grDepthBufferMode", {(double)m}); }
void grDepthBufferFunction(GrCmpFnc_t f) { log("grDepthBufferFunction", {(double)f}); }
void grDepthMask(FxBool m) { log("grDepthMask", {(double)m}); }
void grDepthBiasLevel(FxI32 l) { log("grDepthBiasLevel", {(double)l}); }
void grClipWindow(FxU32 a, FxU32 b, FxU32 c, FxU32 d) { log("grClipWindow", {(double)a, (double)b, (double)c, (double)d}); }

void grColorCombine(GrCombineFunction_t f, GrCombineFactor_t k, GrCombineLocal_t l, GrCombineOther_t o, FxBool inv)
{
    log("grColorCombine", {(double)f, (double)k, (double)l, (double)o, (double)inv});
}

void grConstantColorValue(GrColor_t v) { log("grConstantColorValue", {(double)v}); }

void grAlphaBlendFunction(GrAlphaBlendFnc_t a, GrAlphaBlendFnc_t b, GrAlphaBlendFnc_t c, GrAlphaBlendFnc_t d)
{
    log("grAlphaBlendFunction", {(double)a, (double)b, (double)c, (double)d});
}

void grCullMode(GrCullMode_t m) { log("grCullMode", {(double)m}); }
void grDitherMode(GrDitherMode_t m) { log("grDitherMode", {(double)m}); }
void grHints(GrHint_t t, FxU32 m) { log("grHints", {(double)t, (double)m}); }

void grTexFilterMode(GrChipID_t t, GrTextureFilterMode_t a, GrTextureFilterMode_t b)
{
    log("grTexFilterMode", {(double)t, (double)a, (double)b});
}

void grTexMipMapMode(GrChipID_t t, GrMipMapMode_t m, FxBool b) { log("grTexMipMapMode", {(double)t, (double)m, (double)b}); }

void grTexClampMode(GrChipID_t t, GrTextureClampMode_t s, GrTextureClampMode_t u)
{
    log("grTexClampMode", {(double)t, (double)s, (double)u});
}

void grTexLodBiasValue(GrChipID_t t, float b) { log("grTexLodBiasValue", {(double)t, (double)b}); }

void grTexDetailControl(GrChipID_t t, int bias, FxU8 scale, float max)
{
    log("grTexDetailControl", {(double)t, (double)bias, (double)scale, (double)max});
}

void grTexCombine(GrChipID_t t, GrCombineFunction_t rf, GrCombineFactor_t rk, GrCombineFunction_t af,
                  GrCombineFactor_t ak, FxBool ri, FxBool ai)
{
    log("grTexCombine", {(double)t, (double)rf, (double)rk, (double)af, (double)ak, (double)ri, (double)ai});
}

FxU32 grTexMinAddress(GrChipID_t t)
{
    log("grTexMinAddress", {(double)t});
    return t >= 0 && t < 3 ? rec::board().min_address[t] : 0;
}

FxU32 grTexMaxAddress(GrChipID_t t)
{
    log("grTexMaxAddress", {(double)t});
    return t >= 0 && t < 3 ? rec::board().max_address[t] : 0;
}

FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo *info)
{
    log("grTexTextureMemRequired", {(double)evenOdd}).info = *info;
    return rec::mem_required(evenOdd, info);
}

void grTexDownloadMipMap(GrChipID_t t, FxU32 start, FxU32 evenOdd, GrTexInfo *info)
{
    rec::Call &c = log("grTexDownloadMipMap", {(double)t, (double)start, (double)evenOdd});
    c.info = *info;
    if (rec::board().keep_texels && rec::board().log_calls && info->data) {
        // The whole chain as passed: every level at its true size.
        const FxU32 bytes = rec::chain_bytes(GR_MIPMAPLEVELMASK_BOTH, info, false);
        const uint8_t *p = (const uint8_t *)info->data;
        c.texels.assign(p, p + bytes);
    }
}

void grTexSource(GrChipID_t t, FxU32 start, FxU32 evenOdd, GrTexInfo *info)
{
    log("grTexSource", {(double)t, (double)start, (double)evenOdd}).info = *info;
}

void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth)
{
    rec::clear_count++;
    log("grBufferClear", {(double)color, (double)alpha, (double)depth});
}

void grDrawTriangle(const GrVertex *a, const GrVertex *b, const GrVertex *c)
{
    rec::triangle_count++;
    if (!rec::board().log_triangles)
        return;
    rec::Call &call = log("grDrawTriangle", {});
    if (rec::board().keep_vertices && rec::board().log_calls)
        call.verts = {*a, *b, *c};
}

void grDrawPolygon(int n, const int ilist[], const GrVertex vlist[])
{
    rec::polygon_count++;
    if (n >= 3)
        rec::triangle_count += n - 2;
    if (!rec::board().log_polygons)
        return;
    rec::Call &call = log("grDrawPolygon", {(double)n});
    if (rec::board().keep_vertices && rec::board().log_calls)
        for (int i = 0; i < n; i++)
            call.verts.push_back(vlist[ilist[i]]);
}

void grBufferSwap(int interval)
{
    log("grBufferSwap", {(double)interval});
    rec::swap_count++;
    if (rec::swap_fn)
        rec::swap_fn(rec::swap_count);
}

void glideSetQuitHook(GlideQuitHook h, void *user)
{
    rec::hook = h;
    rec::hook_user = user;
}

}  // extern "C"
