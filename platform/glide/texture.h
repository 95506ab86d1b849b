// texture.h: texel fetch, filtering, level of detail and the texture-combine
// unit of one texture unit, shared by both rasterisers.
//
// Coordinates reaching a unit are 24.8 fixed texels of level 0 (coord8); a
// level L texel spans 2^L level-0 texels. LOD values are in 1/256 levels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/glide/raster.h"

namespace glide {

struct Texel {
    int r, g, b, a;
};

// Texture memory layout: levels largest first from the start address, each
// level taking at least 4 texels; only the levels of the even/odd selection.
inline int levelWidthLog2(int lod, int aspect) {
    const int longLog2 = 8 - lod;
    const int wShrink = aspect > GR_ASPECT_1x1 ? aspect - GR_ASPECT_1x1 : 0;
    const int w = longLog2 - wShrink;
    return w < 0 ? 0 : w;
}
inline int levelHeightLog2(int lod, int aspect) {
    const int longLog2 = 8 - lod;
    const int hShrink = aspect < GR_ASPECT_1x1 ? GR_ASPECT_1x1 - aspect : 0;
    const int h = longLog2 - hShrink;
    return h < 0 ? 0 : h;
}
inline int texelBytes(int format) { return format >= GR_TEXFMT_ARGB_8332 ? 2 : 1; }
inline bool levelSelected(int lod, uint32_t evenOdd) {
    return (lod & 1) ? (evenOdd & GR_MIPMAPLEVELMASK_ODD) != 0 : (evenOdd & GR_MIPMAPLEVELMASK_EVEN) != 0;
}

// Bytes a level takes in texture memory (levels under 4 texels count 4).
inline uint32_t levelMemBytes(int lod, int aspect, int format) {
    uint32_t texels = 1u << (levelWidthLog2(lod, aspect) + levelHeightLog2(lod, aspect));
    if (texels < 4) texels = 4;
    return texels * static_cast<uint32_t>(texelBytes(format));
}

// The level a unit reads for floor(lod) = L: the next smaller level when the
// unit holds only even or odd levels and not L, and never past the smallest
// level it holds.
inline int searchLevelFor(const TexSource &src, int L) {
    if (L < src.largeLod) L = src.largeLod;
    for (int l = L; l <= src.smallLod; ++l) {
        if (src.present[l]) return l;
    }
    for (int l = src.smallLod; l >= src.largeLod; --l) {
        if (src.present[l]) return l;
    }
    return src.largeLod;
}

// The same, from the table grTexSource fills with searchLevelFor.
inline int levelFor(const TexSource &src, int L) { return src.levelOf[L < 0 ? 0 : (L > 8 ? 8 : L)]; }

inline Texel fetchTexel(const TexSource &src, const uint8_t *mem, int L, int i, int j) {
    const int w = src.wlog2[L];
    const uint32_t index = (static_cast<uint32_t>(j) << w) + static_cast<uint32_t>(i);
    if (src.format >= GR_TEXFMT_ARGB_8332) {
        const uint8_t *p = mem + src.levelAddr[L] + index * 2;
        const Rgb c = expand565(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        return {c.r, c.g, c.b, 255};
    }
    const Rgb c = expand332(mem[src.levelAddr[L] + index]);
    return {c.r, c.g, c.b, 255};
}

inline int addressTexel(int i, int log2Size, int clampMode) {
    const int size = 1 << log2Size;
    if (clampMode == GR_TEXTURECLAMP_WRAP) return i & (size - 1);
    return i < 0 ? 0 : (i >= size ? size - 1 : i);
}

// floor(v) kept within +-2^30 (24.8 texels), so later shifts stay in range.
// Clamping first gives the same result (the limits are integers) and lets
// the floor be a truncation corrected for negative values.
inline int32_t floorCoord(double v) {
    // The common case first: in range and non-negative, where truncation is
    // the floor; the tests become predicted branches instead of a chain of
    // min, max and a conversion back on the divide's path. v is never NaN
    // here (a finite product), so min/max clamp exactly as comparisons would.
    constexpr double lim = 1073741824.0;
    if (v >= 0.0 && v < lim) return static_cast<int32_t>(v);
    v = std::min(std::max(v, -lim), lim);
    const int32_t i = static_cast<int32_t>(v);
    return i - (v < static_cast<double>(i) ? 1 : 0);
}

// Perspective divide: s8, t8 = sow / oow, tow / oow in 24.8 texels. No
// texture coordinates behind the eye: 0 when 1/w is not positive. Done in
// double, where s/w is exact, so that a 1/w of exactly 1 gives exactly
// sow >> 16 (the fast rasteriser relies on it).
inline void perspective(int64_t sow24, int64_t tow24, int64_t oow32, int32_t &s8, int32_t &t8) {
    if (oow32 <= 0) {
        s8 = t8 = 0;
        return;
    }
    // sow24 / 2^24 / (oow32 / 2^32) * 2^8 = sow24 / oow32 * 2^16
    const double inv = 65536.0 / static_cast<double>(oow32);
    s8 = floorCoord(static_cast<double>(sow24) * inv);
    t8 = floorCoord(static_cast<double>(tow24) * inv);
}

// Per-pixel LOD of a unit: the triangle's log2(rho * w) minus log2(1/w) of
// the pixel, biased, LOD-dithered when asked, clamped to the texture. The
// parts that do not change from pixel to pixel are gathered once.
struct LodCalc {
    bool fixed;   // mip-mapping off: always the largest level
    bool dither;  // 4x4 ordered LOD dither
    int base, lo, hi;
    LodCalc(const TmuState &tmu, bool lodDitherAllowed, int lodBase)
        : fixed(tmu.mipmapMode == GR_MIPMAP_DISABLE),
          dither(tmu.mipmapMode == GR_MIPMAP_NEAREST_DITHER && lodDitherAllowed),
          base(lodBase + tmu.lodBias256),
          lo(tmu.src.largeLod * 256),
          hi(tmu.src.smallLod * 256) {}
    int at(int64_t oow32, int x, int y) const {
        if (fixed) return lo;
        int lod = base - (oow32 > 0 ? log2Fixed256(oow32, kOowFrac) : -64 * 256);
        if (dither) lod += kDither4x4[y & 3][x & 3] * 16;
        return lod < lo ? lo : (lod > hi ? hi : lod);
    }
};

inline int pixelLod(const TmuState &tmu, bool lodDitherAllowed, int lodBase, int64_t oow32, int x, int y) {
    return LodCalc(tmu, lodDitherAllowed, lodBase).at(oow32, x, y);
}

// The fraction a bilinear blend uses of a coordinate with 8 fraction bits:
// this board keeps 4 bits of it (in 1/16 steps, still on the 1/256 scale).
inline int bilinearFraction(int32_t u) { return u & 0xF0; }

// Bilinear weights of texels (i, j), (i+1, j), (i, j+1), (i+1, j+1) for
// 8-bit fractions fu, fv: 8-bit weights that always sum to 256, so that a
// blend of 8-bit channels stays within 16 bits.
inline void bilinearWeights(int fu, int fv, int w[4]) {
    w[3] = (fu * fv) >> 8;
    w[1] = fu - w[3];
    w[2] = fv - w[3];
    w[0] = 256 - fu - fv + w[3];
}

inline Texel sampleUnit(const TmuState &tmu, const uint8_t *mem, int32_t s8, int32_t t8, int lod) {
    const TexSource &src = tmu.src;
    if (!src.valid) return {0, 0, 0, 255};
    const int L = levelFor(src, lod >> 8);
    const int wl = src.wlog2[L], hl = src.hlog2[L];
    const bool magnify = lod <= src.largeLod * 256;
    const int filter = magnify ? tmu.magFilter : tmu.minFilter;
    if (filter == GR_TEXTUREFILTER_POINT_SAMPLED) {
        const int i = addressTexel(s8 >> (8 + L), wl, tmu.clampS);
        const int j = addressTexel(t8 >> (8 + L), hl, tmu.clampT);
        return fetchTexel(src, mem, L, i, j);
    }
    // Bilinear: texel centres at half-texel offsets, 4-bit fractions.
    const int32_t u = (s8 >> L) - 128, v = (t8 >> L) - 128;
    const int i0 = u >> 8, j0 = v >> 8;
    const int fu = bilinearFraction(u), fv = bilinearFraction(v);
    const int ia = addressTexel(i0, wl, tmu.clampS), ib = addressTexel(i0 + 1, wl, tmu.clampS);
    const int ja = addressTexel(j0, hl, tmu.clampT), jb = addressTexel(j0 + 1, hl, tmu.clampT);
    const Texel c00 = fetchTexel(src, mem, L, ia, ja), c10 = fetchTexel(src, mem, L, ib, ja);
    const Texel c01 = fetchTexel(src, mem, L, ia, jb), c11 = fetchTexel(src, mem, L, ib, jb);
    int w[4];
    bilinearWeights(fu, fv, w);
    auto mix = [&w](int a, int b, int c, int d) { return (a * w[0] + b * w[1] + c * w[2] + d * w[3]) >> 8; };
    return {mix(c00.r, c10.r, c01.r, c11.r), mix(c00.g, c10.g, c01.g, c11.g), mix(c00.b, c10.b, c01.b, c11.b),
            mix(c00.a, c10.a, c01.a, c11.a)};
}

// The factor value f (0..255) a texture-combine factor code selects.
inline int tmuFactorValue(const TmuState &tmu, int code, int local, int otherAlpha, int localAlpha, int lod) {
    switch (code & 7) {
        case 0: return 0;  // ZERO, or ONE when code is 8
        case GR_COMBINE_FACTOR_LOCAL: return local;
        case GR_COMBINE_FACTOR_OTHER_ALPHA: return otherAlpha;
        case GR_COMBINE_FACTOR_LOCAL_ALPHA: return localAlpha;
        case GR_COMBINE_FACTOR_DETAIL_FACTOR: {
            int d = ((tmu.detailBias * 256 - lod) << tmu.detailScale) >> 8;
            d = d < 0 ? 0 : d;
            return d > tmu.detailMax ? tmu.detailMax : d;
        }
        case GR_COMBINE_FACTOR_LOD_FRACTION: {
            // The trilinear bit reverses the fraction on odd levels, so that an
            // even/odd pair of units always blends towards the smaller level.
            const int f = lod & 255;
            return (tmu.lodBlend && ((lod >> 8) & 1)) ? 255 - f : f;
        }
        default: return 0;
    }
}

// One unit's combine: local = its texel, other = the upstream unit's output.
inline Texel combineUnit(const TmuState &tmu, const Texel &local, const Texel &other, int lod) {
    Texel out;
    const int fr = tmu.rgb.factor;
    const int fR = tmuFactorValue(tmu, fr, local.r, other.a, local.a, lod);
    const int fG = (fr & 7) == GR_COMBINE_FACTOR_LOCAL ? local.g : fR;
    const int fB = (fr & 7) == GR_COMBINE_FACTOR_LOCAL ? local.b : fR;
    out.r = combineChannel(tmu.rgb.function, combineMultiplier(fr, fR), local.r, other.r, local.a, tmu.rgb.invert);
    out.g = combineChannel(tmu.rgb.function, combineMultiplier(fr, fG), local.g, other.g, local.a, tmu.rgb.invert);
    out.b = combineChannel(tmu.rgb.function, combineMultiplier(fr, fB), local.b, other.b, local.a, tmu.rgb.invert);
    const int fa = tmu.alpha.factor;
    const int fA = tmuFactorValue(tmu, fa, local.a, other.a, local.a, lod);
    out.a = combineChannel(tmu.alpha.function, combineMultiplier(fa, fA), local.a, other.a, local.a,
                           tmu.alpha.invert);
    return out;
}

}  // namespace glide
