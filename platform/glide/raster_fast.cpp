// raster_fast.cpp: the rasteriser the show runs on. Rows are walked span by
// span (the span ends solved from the edge equations), parameters stepped by
// their x gradients from a start value computed directly for each row, so a
// row's pixels do not depend on which rows the caller asked for.
//
// The render states the show uses get span loops specialised at compile
// time (colour combine, texture set-up, blending, depth); every other state
// goes through the general per-pixel path of pipeline.h. Both compute the
// same arithmetic as the reference rasteriser, pixel for pixel. Where the
// processor has AVX2, the specialised loops hand rows of four pixels or
// more to a loop that shades eight pixels at a time (raster_vec.inc), with
// the same arithmetic again.
#include <immintrin.h>

#include <algorithm>
#include <climits>

#include "platform/glide/pipeline.h"

namespace glide {

namespace {

enum class CC { Iterated, Texture, TextureTimesIterated, TextureTimesIteratedPlusIterated };
enum class TX { None, Unit0, Pair, Unit1 };
enum class BL { Opaque, Add };

struct FastConfig {
    bool ok = false;
    CC cc = CC::Iterated;
    TX tx = TX::None;
    BL bl = BL::Opaque;
    bool depth = false;
};

bool isLocalOnly(const CombineUnit &u) {
    return u.function == GR_COMBINE_FUNCTION_LOCAL && u.factor == GR_COMBINE_FACTOR_ZERO && !u.invert;
}
bool is565(const TexSource &s) { return s.valid && s.format == GR_TEXFMT_RGB_565; }

FastConfig classify(const State &st, const TexUse &use) {
    FastConfig c;
    if (st.ccInvert) return c;
    const int fn = st.ccFunction, f = st.ccFactor;
    if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER && f == GR_COMBINE_FACTOR_ONE && st.ccOther == GR_COMBINE_OTHER_ITERATED) {
        c.cc = CC::Iterated;
    } else if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER && f == GR_COMBINE_FACTOR_ONE &&
               st.ccOther == GR_COMBINE_OTHER_TEXTURE) {
        c.cc = CC::Texture;
    } else if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER && f == GR_COMBINE_FACTOR_LOCAL &&
               st.ccLocal == GR_COMBINE_LOCAL_ITERATED && st.ccOther == GR_COMBINE_OTHER_TEXTURE) {
        c.cc = CC::TextureTimesIterated;
    } else if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL && f == GR_COMBINE_FACTOR_LOCAL &&
               st.ccLocal == GR_COMBINE_LOCAL_ITERATED && st.ccOther == GR_COMBINE_OTHER_TEXTURE) {
        c.cc = CC::TextureTimesIteratedPlusIterated;
    } else {
        return c;
    }
    if (c.cc != CC::Iterated) {
        const TmuState &u0 = st.tmu[0], &u1 = st.tmu[1];
        if (isLocalOnly(u0.rgb) && is565(u0.src)) {
            c.tx = TX::Unit0;
        } else if (u0.rgb.function == GR_COMBINE_FUNCTION_BLEND && u0.rgb.factor == GR_COMBINE_FACTOR_LOD_FRACTION &&
                   !u0.rgb.invert && isLocalOnly(u1.rgb) && is565(u0.src) && is565(u1.src) &&
                   use.sample[0] && use.sample[1] && use.stSource[1] == 0) {
            c.tx = TX::Pair;
        } else if (u0.rgb.function == GR_COMBINE_FUNCTION_SCALE_OTHER && u0.rgb.factor == GR_COMBINE_FACTOR_ONE &&
                   !u0.rgb.invert && isLocalOnly(u1.rgb) && is565(u1.src) && use.sample[1]) {
            c.tx = TX::Unit1;
        } else {
            return c;
        }
    }
    const int a = static_cast<int>(st.constColour >> 24);
    if (!st.blendOn || (st.blendRgbSrc == GR_BLEND_ONE && st.blendRgbDst == GR_BLEND_ZERO)) {
        c.bl = BL::Opaque;
    } else if ((st.blendRgbSrc == GR_BLEND_ONE && st.blendRgbDst == GR_BLEND_ONE) ||
               (st.blendRgbSrc == GR_BLEND_SRC_ALPHA && st.blendRgbDst == GR_BLEND_SRC_ALPHA && a == 255)) {
        c.bl = BL::Add;  // (s * 256 + d * 256) >> 8, clamped
    } else {
        return c;
    }
    if (st.depthMode == GR_DEPTHBUFFER_WBUFFER) {
        c.depth = true;
    } else if (st.depthMode != GR_DEPTHBUFFER_DISABLE) {
        return c;
    }
    c.ok = true;
    return c;
}

// One 565 texel as 8-bit channels.
struct Texel565 {
    int r, g, b;
};
[[gnu::always_inline]] inline Texel565 texel565(const uint8_t *level, uint32_t index) {
    uint16_t p;
    std::memcpy(&p, level + index * 2, 2);
    const int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    return {(r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2)};
}

// A 565 texel expanded to 8-bit channels r | g << 16 | b << 32, as the sum
// of one entry for each byte: the bit replication of each field splits into
// a part from the low byte and a part from the high byte.
struct SpreadTables {
    uint64_t lo[256], hi[256];
    constexpr SpreadTables() : lo(), hi() {
        for (uint64_t v = 0; v < 256; ++v) {
            const uint64_t b5 = v & 31, gLow = v >> 5;  // green bits 0..2
            lo[v] = (((b5 << 3) | (b5 >> 2)) << 32) | ((gLow << 2) << 16);
            const uint64_t gHigh = v & 7, r5 = v >> 3;  // green bits 3..5
            hi[v] = ((r5 << 3) | (r5 >> 2)) | (((gHigh << 5) + (gHigh >> 1)) << 16);
        }
    }
};
inline constexpr SpreadTables kSpread{};
inline constexpr uint64_t kLaneMask = 0x000000FF00FF00FFull;  // the 8-bit channels of r | g << 16 | b << 32

[[gnu::always_inline]] inline uint64_t spread565(const uint8_t *level, uint32_t index) {
    return kSpread.lo[level[index * 2]] + kSpread.hi[level[index * 2 + 1]];
}

// One level of a 565 texture as a unit reads it at a given LOD: what
// sampleUnit works out per pixel, worked out once per LOD.
// Addressing is branch-free: a wrapping axis masks with size - 1 (the clamp
// that follows never bites), a clamping axis masks with -1 and clamps.
struct LevelView {
    const uint8_t *base;
    int L, wl, wmask, hmask;
    int andS, andT;  // wmask / hmask when wrapping, -1 when clamping
    bool bilinear;
};

[[gnu::always_inline]] inline LevelView levelView(const TmuState &tmu, const uint8_t *mem, int lod) {
    const TexSource &src = tmu.src;
    LevelView v;
    v.L = levelFor(src, lod >> 8);
    v.wl = src.wlog2[v.L];
    v.wmask = (1 << v.wl) - 1;
    v.hmask = (1 << src.hlog2[v.L]) - 1;
    v.base = mem + src.levelAddr[v.L];
    const bool magnify = lod <= src.largeLod * 256;
    v.bilinear = (magnify ? tmu.magFilter : tmu.minFilter) != GR_TEXTUREFILTER_POINT_SAMPLED;
    v.andS = tmu.clampS == GR_TEXTURECLAMP_WRAP ? v.wmask : -1;
    v.andT = tmu.clampT == GR_TEXTURECLAMP_WRAP ? v.hmask : -1;
    return v;
}

// sampleUnit for 565 textures (same arithmetic).
[[gnu::always_inline]] inline Texel565 sampleLevel(const LevelView &v, int32_t s8, int32_t t8) {
    auto addrS = [&](int i) { return v.andS >= 0 ? (i & v.andS) : std::clamp(i, 0, v.wmask); };
    auto addrT = [&](int j) { return v.andT >= 0 ? (j & v.andT) : std::clamp(j, 0, v.hmask); };
    if (!v.bilinear) {
        const int i = addrS(s8 >> (8 + v.L)), j = addrT(t8 >> (8 + v.L));
        return texel565(v.base, (static_cast<uint32_t>(j) << v.wl) + static_cast<uint32_t>(i));
    }
    const int32_t u = (s8 >> v.L) - 128, w = (t8 >> v.L) - 128;
    const int i0 = u >> 8, j0 = w >> 8;
    const int fu = bilinearFraction(u), fv = bilinearFraction(w);
    const uint32_t ia = static_cast<uint32_t>(addrS(i0)), ib = static_cast<uint32_t>(addrS(i0 + 1));
    const uint32_t ra = static_cast<uint32_t>(addrT(j0)) << v.wl, rb = static_cast<uint32_t>(addrT(j0 + 1)) << v.wl;
    // The three channels in 16-bit lanes of one word: each weighted sum is
    // below 2^16 (weights sum to 256), so no carries cross lanes.
    int wt[4];
    bilinearWeights(fu, fv, wt);
    const uint64_t sum = spread565(v.base, ra + ia) * static_cast<uint64_t>(wt[0]) +
                         spread565(v.base, ra + ib) * static_cast<uint64_t>(wt[1]) +
                         spread565(v.base, rb + ia) * static_cast<uint64_t>(wt[2]) +
                         spread565(v.base, rb + ib) * static_cast<uint64_t>(wt[3]);
    return {static_cast<int>((sum >> 8) & 0xFF), static_cast<int>((sum >> 24) & 0xFF),
            static_cast<int>((sum >> 40) & 0xFF)};
}

// sampleLevel with the channels left in 16-bit lanes, r | g << 16 | b << 32.
[[gnu::always_inline]] inline uint64_t sampleLevelLanes(const LevelView &v, int32_t s8, int32_t t8) {
    auto addrS = [&](int i) { return v.andS >= 0 ? (i & v.andS) : std::clamp(i, 0, v.wmask); };
    auto addrT = [&](int j) { return v.andT >= 0 ? (j & v.andT) : std::clamp(j, 0, v.hmask); };
    if (!v.bilinear) {
        const int i = addrS(s8 >> (8 + v.L)), j = addrT(t8 >> (8 + v.L));
        return spread565(v.base, (static_cast<uint32_t>(j) << v.wl) + static_cast<uint32_t>(i));
    }
    const int32_t u = (s8 >> v.L) - 128, w = (t8 >> v.L) - 128;
    const int i0 = u >> 8, j0 = w >> 8;
    const int fu = bilinearFraction(u), fv = bilinearFraction(w);
    const uint32_t ia = static_cast<uint32_t>(addrS(i0)), ib = static_cast<uint32_t>(addrS(i0 + 1));
    const uint32_t ra = static_cast<uint32_t>(addrT(j0)) << v.wl, rb = static_cast<uint32_t>(addrT(j0 + 1)) << v.wl;
    int wt[4];
    bilinearWeights(fu, fv, wt);
    const uint64_t sum = spread565(v.base, ra + ia) * static_cast<uint64_t>(wt[0]) +
                         spread565(v.base, ra + ib) * static_cast<uint64_t>(wt[1]) +
                         spread565(v.base, rb + ia) * static_cast<uint64_t>(wt[2]) +
                         spread565(v.base, rb + ib) * static_cast<uint64_t>(wt[3]);
    return (sum >> 8) & kLaneMask;
}

// The four spread texels of the last bilinear footprint read from one level
// view. When a level is magnified, neighbouring pixels read the same four
// texels; the cache makes that one comparison instead of eight loads.
struct FootprintCache {
    int i0 = INT32_MIN, j0 = 0;
    uint64_t c[4] = {};
};

// sampleLevel for a bilinear view, through a footprint cache that holds
// texels of this same view only.
[[gnu::always_inline]] inline uint64_t sampleBilinearCached(const LevelView &v, int32_t s8, int32_t t8,
                                                            FootprintCache &fc) {
    const int32_t u = (s8 >> v.L) - 128, w = (t8 >> v.L) - 128;
    const int i0 = u >> 8, j0 = w >> 8;
    const int fu = bilinearFraction(u), fv = bilinearFraction(w);
    if (i0 != fc.i0 || j0 != fc.j0) {
        auto addrS = [&](int i) { return v.andS >= 0 ? (i & v.andS) : std::clamp(i, 0, v.wmask); };
        auto addrT = [&](int j) { return v.andT >= 0 ? (j & v.andT) : std::clamp(j, 0, v.hmask); };
        const uint32_t ia = static_cast<uint32_t>(addrS(i0)), ib = static_cast<uint32_t>(addrS(i0 + 1));
        const uint32_t ra = static_cast<uint32_t>(addrT(j0)) << v.wl, rb = static_cast<uint32_t>(addrT(j0 + 1)) << v.wl;
        fc.c[0] = spread565(v.base, ra + ia);
        fc.c[1] = spread565(v.base, ra + ib);
        fc.c[2] = spread565(v.base, rb + ia);
        fc.c[3] = spread565(v.base, rb + ib);
        fc.i0 = i0;
        fc.j0 = j0;
    }
    int wt[4];
    bilinearWeights(fu, fv, wt);
    const uint64_t sum = fc.c[0] * static_cast<uint64_t>(wt[0]) + fc.c[1] * static_cast<uint64_t>(wt[1]) +
                         fc.c[2] * static_cast<uint64_t>(wt[2]) + fc.c[3] * static_cast<uint64_t>(wt[3]);
    return (sum >> 8) & kLaneMask;
}

// ---------------------------------------------------------------------------
// Rows eight pixels at a time. The same arithmetic as the per-pixel loop
// below, in 32-bit lanes (GCC vector types: the compiler emits AVX2 in the
// functions built for it and pairs of SSE2 operations elsewhere).
// Everything a lane computes stays in range for any input: the texel
// indices are wrapped or clamped into their level before the reads, so
// lanes past the end of the row or failing the depth test may compute
// anything and are simply not stored.

using v8i = int32_t __attribute__((vector_size(32)));
using v8u = uint32_t __attribute__((vector_size(32)));
using v8h = uint16_t __attribute__((vector_size(16)));
constexpr v8i kLane = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr v8u kLaneU = {0, 1, 2, 3, 4, 5, 6, 7};

// What one row needs, from the per-pixel loop's row set-up; the fields up
// to undither describe rows of constant 1/w (flat).
struct RowJob {
    uint16_t *crow, *drow;
    int y, xl, xr;
    int64_t r, g, b, drx, dgx, dbx;  // iterated colour at xl and its steps
    int64_t sw, tw, dsx, dtx;        // s/w, t/w at xl and their steps
    int64_t w;                       // the row's 1/w
    bool unitW;                      // 1/w is exactly 1: the divide is a shift
    double inv;                      // 65536 / (1/w)
    const LevelView *viewA, *view1;
    int m;      // the trilinear pair's weight of unit 1's texel (1..256)
    int depth;  // the row's depth value
    int depthFunc;
    bool depthWrite, dither, undither;
    // Rows where 1/w varies (flat false): its step, and what the depth, the
    // LOD and the level views of each pixel come from.
    bool flat;
    int64_t dwx;
    int depthBias;
    const LodCalc *lodA, *lod1;
    const State::LevelLanes *lanesA, *lanes1;
    const TmuState *uA, *u1;
    const uint8_t *memA, *mem1;
    int largeA, large1;  // LOD of each unit's largest level (magnification below)
    bool sameLod, blendReverse;
};
using RowFn = void (*)(const RowJob &);

// The dither matrix entries of eight pixels from x, by y & 3 and x & 3.
struct DitherLanes {
    int32_t d[4][4][8];
    constexpr DitherLanes() : d() {
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                for (int k = 0; k < 8; ++k) d[y][x][k] = kDither4x4[y][(x + k) & 3];
            }
        }
    }
};
constexpr DitherLanes kDitherLanes{};
// Rows shorter than this go pixel by pixel.
constexpr int kMinVectorRow = 4;

// The kernel, built twice: for AVX2 and for the baseline (SSE2).
#define GLIDE_VEC_AVX2 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#include "platform/glide/raster_vec.inc"
}  // namespace avx2
#pragma GCC pop_options
#undef GLIDE_VEC_AVX2
#define GLIDE_VEC_AVX2 0
namespace sse2 {
#include "platform/glide/raster_vec.inc"
}  // namespace sse2
#undef GLIDE_VEC_AVX2

template <CC kCC, TX kTX, BL kBL, bool kDepth>
void triFast(const Triangle &t, const uint8_t *const mem[kNumTmu], Surface &s, int y0, int y1) {
    const State &st = *t.state;
    const int tb = kTX == TX::Unit1 ? t.use.stSource[1] : 0;
    const int64_t drx = t.p[P_R].dx, dgx = t.p[P_G].dx, dbx = t.p[P_B].dx, dwx = t.p[P_W].dx;
    const int64_t dsx = t.p[P_S0 + 2 * tb].dx, dtx = t.p[P_T0 + 2 * tb].dx;
    const bool dither = st.dither != GR_DITHER_DISABLE;
    const bool undither = st.dither == GR_DITHER_4x4;  // dither subtraction when blending
    const bool depthWrite = st.depthMask;
    const int depthFunc = st.depthFunc, depthBias = st.depthBias;
    // Along a span of constant 1/w the LOD is constant too (unless dithered),
    // and two units set up alike compute the same LOD.
    const bool lodDither = st.lodDitherAllowed && (st.tmu[0].mipmapMode == GR_MIPMAP_NEAREST_DITHER ||
                                                   st.tmu[1].mipmapMode == GR_MIPMAP_NEAREST_DITHER);
    const bool lodFixed = dwx == 0 && !lodDither;
    const TmuState &u0 = st.tmu[0], &u1 = st.tmu[1];
    const bool sameLod = t.lodBase[0] == t.lodBase[1] && u0.mipmapMode == u1.mipmapMode &&
                         u0.lodBias256 == u1.lodBias256 && u0.src.largeLod == u1.src.largeLod &&
                         u0.src.smallLod == u1.src.smallLod;
    const int unit = kTX == TX::Unit1 ? 1 : 0;
    const TmuState &uA = st.tmu[unit];
    const LodCalc lodA(uA, st.lodDitherAllowed, t.lodBase[unit]), lod1Calc(u1, st.lodDitherAllowed, t.lodBase[1]);
    const int largeA = uA.src.largeLod * 256, large1 = u1.src.largeLod * 256;
    const bool blendReverse = u0.lodBlend;
    auto key = [](int lod, int large) { return (lod >> 8) * 2 + (lod <= large ? 1 : 0); };
    LevelView viewA{}, view1{};
    int lastLod0 = -1, lastLod1 = -1;  // the view keys viewA / view1 were made for
    const RowFn rowFn = reinterpret_cast<RowFn>(st.fastRow);

    for (int y = y0; y < y1; ++y) {
        int xl, xr;
        rowSpan(t, y, xl, xr);
        if (xl >= xr) continue;
        int64_t r = t.p[P_R].at(xl, y, t.refX, t.refY), g = t.p[P_G].at(xl, y, t.refX, t.refY);
        int64_t b = t.p[P_B].at(xl, y, t.refX, t.refY);
        int64_t w = t.p[P_W].at(xl, y, t.refX, t.refY);
        int64_t sw = t.p[P_S0 + 2 * tb].at(xl, y, t.refX, t.refY), tw = t.p[P_T0 + 2 * tb].at(xl, y, t.refX, t.refY);
        uint16_t *crow = s.colour + static_cast<size_t>(y) * s.width;
        uint16_t *drow = s.depth + static_cast<size_t>(y) * s.width;
        const int fixedLod0 = lodFixed ? lodA.at(w, xl, y) : 0;
        const int fixedLod1 = lodFixed ? lod1Calc.at(w, xl, y) : 0;
        if constexpr (kTX != TX::None) {
            if (lodFixed) {
                if (key(fixedLod0, largeA) != lastLod0) {
                    viewA = levelView(uA, mem[unit], fixedLod0);
                    lastLod0 = key(fixedLod0, largeA);
                }
                if (key(fixedLod1, large1) != lastLod1) {
                    view1 = levelView(u1, mem[1], fixedLod1);
                    lastLod1 = key(fixedLod1, large1);
                }
            }
        }
        const int fixedDepth = std::clamp(wDepth(w) + depthBias, 0, 0xFFFF);  // used when 1/w is constant
        // A 1/w of exactly 1 makes the divide a shift (see perspective()).
        const bool unitW = lodFixed && w == (int64_t{1} << 32);
        if (rowFn && xr - xl >= kMinVectorRow) {
            const int f = fixedLod0 & 255;
            const int m = ((blendReverse && ((fixedLod0 >> 8) & 1)) ? 255 - f : f) + 1;
            const RowJob job{crow, drow, y, xl, xr, r, g, b, drx, dgx, dbx, sw, tw, dsx, dtx, w, unitW,
                             lodFixed && w > 0 ? 65536.0 / static_cast<double>(w) : 0.0,
                             &viewA, &view1, m, fixedDepth, depthFunc, depthWrite, dither, undither,
                             lodFixed, dwx, depthBias, &lodA, &lod1Calc, &st.levelLanes[unit],
                             &st.levelLanes[1], &uA, &u1, mem[unit], mem[1],
                             largeA, large1, sameLod, blendReverse};
            rowFn(job);
            continue;
        }
        // With 1/w constant along the span (kFlat) the depth, the LOD, the
        // level views and the reciprocal of the divide are the row's. The
        // coordinates are the same products perspective() forms, from the
        // same reciprocal 65536 / (1/w).
        const double rowInv = w > 0 ? 65536.0 / static_cast<double>(w) : 0.0;
        // Along a flat span both views stay put, so a view's footprints may
        // be cached. Worth it where its texels are wider than a pixel step
        // (neighbours then share footprints), as when magnifying, and for
        // the coarser level of a trilinear pair; elsewhere nearly every
        // pixel would miss.
        const double step8 = static_cast<double>(std::max(dsx < 0 ? -dsx : dsx, dtx < 0 ? -dtx : dtx)) * rowInv;
        auto worthCaching = [&](const LevelView &v, int lod, int large) {
            return lodFixed && v.bilinear && (lod <= large || step8 < static_cast<double>(256 << v.L));
        };
        const bool cacheOnA = worthCaching(viewA, fixedLod0, largeA);
        const bool cacheOn1 = kTX == TX::Pair && worthCaching(view1, fixedLod1, large1);
        FootprintCache cacheA, cache1;
        auto span = [&]<bool kFlat>() {
            // Where 1/w varies, the reciprocal is formed one pixel ahead, so
            // that the divide overlaps the previous pixel's texturing.
            double invNext = rowInv;
            for (int x = xl; x < xr; ++x, r += drx, g += dgx, b += dbx, w += dwx, sw += dsx, tw += dtx) {
                double inv = rowInv;
                if constexpr (!kFlat && kTX != TX::None) {
                    inv = invNext;
                    const int64_t wNext = w + dwx;
                    invNext = wNext > 0 ? 65536.0 / static_cast<double>(wNext) : 0.0;
                }
                int depth = 0;
                if constexpr (kDepth) {
                    if (kFlat || dwx == 0) {
                        depth = fixedDepth;
                    } else {
                        depth = wDepth(w) + depthBias;
                        depth = depth < 0 ? 0 : (depth > 0xFFFF ? 0xFFFF : depth);
                    }
                    if (!depthPasses(depthFunc, depth, drow[x])) continue;
                }
                Texel565 tex = {0, 0, 0};
                if constexpr (kTX != TX::None) {
                    int32_t s8, t8;
                    if (unitW) {
                        constexpr int64_t lim = int64_t{1} << 30;
                        s8 = static_cast<int32_t>(std::clamp<int64_t>(sw >> 16, -lim, lim));
                        t8 = static_cast<int32_t>(std::clamp<int64_t>(tw >> 16, -lim, lim));
                    } else if (w <= 0) {
                        s8 = t8 = 0;  // as perspective(): nothing behind the eye
                    } else {
                        s8 = floorCoord(static_cast<double>(sw) * inv);
                        t8 = floorCoord(static_cast<double>(tw) * inv);
                    }
                    const int lod0 = kFlat ? fixedLod0 : lodFixed ? fixedLod0 : lodA.at(w, x, y);
                    // The view depends on the whole level and on magnification only.
                    if (!kFlat && !lodFixed && key(lod0, largeA) != lastLod0) {
                        viewA = levelView(uA, mem[unit], lod0);
                        lastLod0 = key(lod0, largeA);
                    }
                    if constexpr (kTX != TX::Pair) {
                        if (kFlat && cacheOnA) {
                            const uint64_t l = sampleBilinearCached(viewA, s8, t8, cacheA);
                            tex = {static_cast<int>(l & 0xFF), static_cast<int>((l >> 16) & 0xFF),
                                   static_cast<int>((l >> 32) & 0xFF)};
                        } else {
                            tex = sampleLevel(viewA, s8, t8);
                        }
                    } else {
                        const int lod1 = kFlat ? fixedLod1 : lodFixed ? fixedLod1 : sameLod ? lod0 : lod1Calc.at(w, x, y);
                        if (!kFlat && !lodFixed && key(lod1, large1) != lastLod1) {
                            view1 = levelView(u1, mem[1], lod1);
                            lastLod1 = key(lod1, large1);
                        }
                        const uint64_t t1 = kFlat && cacheOn1 ? sampleBilinearCached(view1, s8, t8, cache1)
                                                              : sampleLevelLanes(view1, s8, t8);
                        const uint64_t t0 = kFlat && cacheOnA ? sampleBilinearCached(viewA, s8, t8, cacheA)
                                                              : sampleLevelLanes(viewA, s8, t8);
                        const int f = lod0 & 255;
                        const int m = ((blendReverse && ((lod0 >> 8) & 1)) ? 255 - f : f) + 1;
                        // t0 + floor((t1 - t0) * m / 256) is floor((t0 * (256 - m) + t1 * m) / 256)
                        // for integer t0; each lane's sum stays below 2^16, so all three
                        // channels blend in one pair of multiplies.
                        const uint64_t mix = (t0 * static_cast<uint64_t>(256 - m) + t1 * static_cast<uint64_t>(m)) >> 8;
                        tex = {static_cast<int>(mix & 0xFF), static_cast<int>((mix >> 16) & 0xFF),
                               static_cast<int>((mix >> 32) & 0xFF)};
                    }
                }
                Rgb out;
                if constexpr (kCC == CC::Iterated) {
                    out = {wrapColour(r), wrapColour(g), wrapColour(b)};
                } else if constexpr (kCC == CC::Texture) {
                    out = {tex.r, tex.g, tex.b};
                } else {
                    const int cr = wrapColour(r), cg = wrapColour(g), cb = wrapColour(b);
                    out = {(tex.r * (cr + 1)) >> 8, (tex.g * (cg + 1)) >> 8, (tex.b * (cb + 1)) >> 8};
                    if constexpr (kCC == CC::TextureTimesIteratedPlusIterated) {
                        out = {std::min(255, out.r + cr), std::min(255, out.g + cg), std::min(255, out.b + cb)};
                    }
                }
                if constexpr (kBL == BL::Add) {
                    const Rgb d = blendDestination(crow[x], x, y, undither);
                    out = {std::min(255, out.r + d.r), std::min(255, out.g + d.g), std::min(255, out.b + d.b)};
                }
                crow[x] = packDither(out, x, y, dither);
                if constexpr (kDepth) {
                    if (depthWrite) drow[x] = static_cast<uint16_t>(depth);
                }
            }
        };
        if (lodFixed) {
            span.template operator()<true>();
        } else {
            span.template operator()<false>();
        }
    }
}

void spanGeneric(const Triangle &t, const uint8_t *const mem[kNumTmu], Surface &s, int y, int xl, int xr) {
    PixelParams p;
    p.r = t.p[P_R].at(xl, y, t.refX, t.refY);
    p.g = t.p[P_G].at(xl, y, t.refX, t.refY);
    p.b = t.p[P_B].at(xl, y, t.refX, t.refY);
    p.z = t.p[P_Z].at(xl, y, t.refX, t.refY);
    p.w = t.p[P_W].at(xl, y, t.refX, t.refY);
    for (int blk = 0; blk < 2; ++blk) {
        p.s[blk] = t.p[P_S0 + 2 * blk].at(xl, y, t.refX, t.refY);
        p.t[blk] = t.p[P_T0 + 2 * blk].at(xl, y, t.refX, t.refY);
    }
    for (int x = xl; x < xr; ++x) {
        shadePixel(t, mem, s, x, y, p);
        p.r += t.p[P_R].dx;
        p.g += t.p[P_G].dx;
        p.b += t.p[P_B].dx;
        p.z += t.p[P_Z].dx;
        p.w += t.p[P_W].dx;
        for (int blk = 0; blk < 2; ++blk) {
            p.s[blk] += t.p[P_S0 + 2 * blk].dx;
            p.t[blk] += t.p[P_T0 + 2 * blk].dx;
        }
    }
}

void triGeneric(const Triangle &t, const uint8_t *const mem[kNumTmu], Surface &s, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        int xl, xr;
        rowSpan(t, y, xl, xr);
        if (xl < xr) spanGeneric(t, mem, s, y, xl, xr);
    }
}

// Draws rows [y0, y1) of a triangle (already limited to its bounds).
using SpanFn = void (*)(const Triangle &, const uint8_t *const *, Surface &, int, int);

// The loops of one configuration: per pixel, and per row of constant 1/w
// at the given vector level (none at Plain).
struct Loops {
    SpanFn span;
    RowFn row;
};

template <CC kCC, TX kTX, BL kBL, bool kDepth>
Loops loops(SimdLevel level) {
    return {triFast<kCC, kTX, kBL, kDepth>, level == SimdLevel::Avx2   ? avx2::rowBody<kCC, kTX, kBL, kDepth>
                                            : level == SimdLevel::Sse2 ? sse2::rowBody<kCC, kTX, kBL, kDepth>
                                                                       : nullptr};
}
template <CC kCC, TX kTX>
Loops pick(BL bl, bool depth, SimdLevel level) {
    if (bl == BL::Opaque) return depth ? loops<kCC, kTX, BL::Opaque, true>(level) : loops<kCC, kTX, BL::Opaque, false>(level);
    return depth ? loops<kCC, kTX, BL::Add, true>(level) : loops<kCC, kTX, BL::Add, false>(level);
}
template <CC kCC>
Loops pickTx(TX tx, BL bl, bool depth, SimdLevel level) {
    switch (tx) {
        case TX::Unit0: return pick<kCC, TX::Unit0>(bl, depth, level);
        case TX::Pair: return pick<kCC, TX::Pair>(bl, depth, level);
        case TX::Unit1: return pick<kCC, TX::Unit1>(bl, depth, level);
        default: return pick<kCC, TX::None>(bl, depth, level);
    }
}

Loops chooseLoops(const State &st, SimdLevel level) {
    const FastConfig c = classify(st, texUse(st));
    if (!c.ok) return {triGeneric, nullptr};
    switch (c.cc) {
        case CC::Iterated: return pick<CC::Iterated, TX::None>(c.bl, c.depth, level);
        case CC::Texture: return pickTx<CC::Texture>(c.tx, c.bl, c.depth, level);
        case CC::TextureTimesIterated: return pickTx<CC::TextureTimesIterated>(c.tx, c.bl, c.depth, level);
        default: return pickTx<CC::TextureTimesIteratedPlusIterated>(c.tx, c.bl, c.depth, level);
    }
}

// The eight-lane loop built for SSE2 alone runs slower than the per-pixel
// loop (without AVX the lanes take two registers each and spill, and the
// texel reads are scalar), so it is only drawn with when asked for.
bool haveAvx2() {
    __builtin_cpu_init();  // may run before the library's own initialisation
    return __builtin_cpu_supports("avx2");
}
const bool kAvx2 = haveAvx2();
SimdLevel gSimd = kAvx2 ? SimdLevel::Avx2 : SimdLevel::Plain;

}  // namespace

SimdLevel bestSimdLevel() { return kAvx2 ? SimdLevel::Avx2 : SimdLevel::Sse2; }
void setSimdLevel(SimdLevel level) { gSimd = std::min(level, bestSimdLevel()); }
SimdLevel simdLevel() { return gSimd; }

void prepareFast(State &st) {
    const Loops l = chooseLoops(st, gSimd);
    st.fastSpan = reinterpret_cast<void (*)()>(l.span);
    st.fastRow = reinterpret_cast<void (*)()>(l.row);
    for (int u = 0; u < kNumTmu; ++u) {
        const TexSource &src = st.tmu[u].src;
        State::LevelLanes &ll = st.levelLanes[u];
        for (int f = 0; f < 9; ++f) {
            const int L = levelFor(src, f);
            ll.L[f] = L;
            ll.wl[f] = src.wlog2[L];
            ll.wmask[f] = (1 << src.wlog2[L]) - 1;
            ll.hmask[f] = (1 << src.hlog2[L]) - 1;
            ll.addr[f] = static_cast<int32_t>(src.levelAddr[L]);
        }
    }
}

void rasterFast(const Triangle &t, const uint8_t *const tmuMem[kNumTmu], Surface &s, int y0, int y1) {
    y0 = std::max(y0, t.minY);
    y1 = std::min(y1, t.maxY);
    if (y0 >= y1) return;
    const SpanFn draw = t.state->fastSpan ? reinterpret_cast<SpanFn>(t.state->fastSpan) : chooseLoops(*t.state, SimdLevel::Plain).span;
    draw(t, tmuMem, s, y0, y1);
}

}  // namespace glide
