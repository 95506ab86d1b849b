// pipeline.h: the whole per-pixel path of one triangle pixel, written
// plainly: depth test, the texture units, the colour combine, blending,
// dither and the writes. The reference rasteriser uses it for every pixel;
// the fast rasteriser for states it has no specialised span loop for.
#pragma once

#include "platform/glide/texture.h"

namespace glide {

// Iterated values at one pixel centre (formats as in raster.h).
struct PixelParams {
    int64_t r, g, b, z, w;
    int64_t s[2], t[2];  // per coordinate block
};

inline Texel textureOutput(const Triangle &tri, const State &st, const uint8_t *const mem[kNumTmu],
                           const PixelParams &p, int x, int y) {
    Texel up = {0, 0, 0, 0};  // the last unit's "other" input is zero
    for (int u = kNumTmu - 1; u >= 0; --u) {
        if (!tri.use.active[u]) {
            up = {0, 0, 0, 0};
            continue;
        }
        const TmuState &tmu = st.tmu[u];
        const int blk = tri.use.stSource[u];
        int32_t s8, t8;
        perspective(p.s[blk], p.t[blk], p.w, s8, t8);
        const int lod = pixelLod(tmu, st.lodDitherAllowed, tri.lodBase[u], p.w, x, y);
        const Texel local = tri.use.sample[u] ? sampleUnit(tmu, mem[u], s8, t8, lod) : Texel{0, 0, 0, 0};
        up = combineUnit(tmu, local, up, lod);
    }
    return up;
}

inline Rgb colourCombine(const State &st, const Rgb &iter, const Texel &tex, int64_t z16) {
    const uint32_t k = st.constColour;
    const Rgb konst = {static_cast<int>((k >> 16) & 255), static_cast<int>((k >> 8) & 255), static_cast<int>(k & 255)};
    const int alpha = static_cast<int>(k >> 24);  // the alpha combine's default output: constant alpha
    Rgb local;
    if (st.ccLocal == GR_COMBINE_LOCAL_ITERATED) {
        local = iter;
    } else if (st.ccLocal == GR_COMBINE_LOCAL_CONSTANT) {
        local = konst;
    } else {
        const int64_t zz = z16 >> 16;
        const int d = static_cast<int>((zz < 0 ? 0 : (zz > 0xFFFF ? 0xFFFF : zz)) >> 8);
        local = {d, d, d};
    }
    const Rgb other = st.ccOther == GR_COMBINE_OTHER_ITERATED ? iter
                      : st.ccOther == GR_COMBINE_OTHER_TEXTURE ? Rgb{tex.r, tex.g, tex.b}
                                                               : konst;
    int f[3];
    switch (st.ccFactor & 7) {
        case GR_COMBINE_FACTOR_LOCAL: f[0] = local.r; f[1] = local.g; f[2] = local.b; break;
        case GR_COMBINE_FACTOR_OTHER_ALPHA:
        case GR_COMBINE_FACTOR_LOCAL_ALPHA: f[0] = f[1] = f[2] = alpha; break;
        case GR_COMBINE_FACTOR_TEXTURE_ALPHA: f[0] = f[1] = f[2] = tex.a; break;
        default: f[0] = f[1] = f[2] = 0; break;  // ZERO / ONE; TEXTURE_RGB reads 0 on this board
    }
    const int fn = st.ccFunction;
    return {combineChannel(fn, combineMultiplier(st.ccFactor, f[0]), local.r, other.r, alpha, st.ccInvert),
            combineChannel(fn, combineMultiplier(st.ccFactor, f[1]), local.g, other.g, alpha, st.ccInvert),
            combineChannel(fn, combineMultiplier(st.ccFactor, f[2]), local.b, other.b, alpha, st.ccInvert)};
}

inline void shadePixel(const Triangle &tri, const uint8_t *const mem[kNumTmu], Surface &s, int x, int y,
                       const PixelParams &p) {
    const State &st = *tri.state;
    const size_t idx = static_cast<size_t>(y) * s.width + x;
    int depth = 0;
    const bool depthOn = st.depthMode != GR_DEPTHBUFFER_DISABLE;
    if (depthOn) {
        depth = depthValue(st, p.w, p.z);
        if (!depthPasses(st.depthFunc, depth, s.depth[idx])) return;
    }
    const Texel tex = tri.use.any() ? textureOutput(tri, st, mem, p, x, y) : Texel{0, 0, 0, 0};
    const Rgb iter = {wrapColour(p.r), wrapColour(p.g), wrapColour(p.b)};
    Rgb out = colourCombine(st, iter, tex, p.z);
    if (st.blendOn) {
        const int a = static_cast<int>(st.constColour >> 24);
        const Rgb d = blendDestination(s.colour[idx], x, y, st.dither == GR_DITHER_4x4);
        out = {blendChannel(st, out.r, d.r, a), blendChannel(st, out.g, d.g, a), blendChannel(st, out.b, d.b, a)};
    }
    s.colour[idx] = packDither(out, x, y, st.dither != GR_DITHER_DISABLE);
    if (depthOn && st.depthMask) s.depth[idx] = static_cast<uint16_t>(depth);
}

}  // namespace glide
