// A reproducible random scene: textures, render states and triangles drawn
// through the API, for comparing rasterisers and thread counts.
#pragma once

#include <random>

#include "glide_test_util.h"

namespace glide_test {

struct SceneTextures {
    std::vector<uint16_t> chain;  // 256x256 RGB 565, nine levels
    std::vector<uint8_t> small;   // 32x32 RGB 332
    GrTexInfo chainInfo{}, smallInfo{};
};

inline void uploadSceneTextures(SceneTextures &tx, uint32_t seed) {
    std::mt19937 rng(seed);
    tx.chain.resize(87381);
    for (auto &t : tx.chain) t = static_cast<uint16_t>(rng());
    tx.small.resize(32 * 32);
    for (auto &t : tx.small) t = static_cast<uint8_t>(rng());
    tx.chainInfo = {GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, tx.chain.data()};
    tx.smallInfo = {GR_LOD_32, GR_LOD_32, GR_ASPECT_1x1, GR_TEXFMT_RGB_332, tx.small.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &tx.chainInfo);
    grTexDownloadMipMap(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &tx.chainInfo);
    grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &tx.chainInfo);
    grTexDownloadMipMap(GR_TMU1, 0x100000, GR_MIPMAPLEVELMASK_BOTH, &tx.smallInfo);
}

// Draws `count` random triangles with random state changes between them.
inline void drawRandomScene(SceneTextures &tx, uint32_t seed, int count, int width, int height) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    // The clear obeys the clip window, depth mask and dither left by earlier scenes.
    grDitherMode(GR_DITHER_4x4);
    grClipWindow(0, 0, static_cast<FxU32>(width), static_cast<FxU32>(height));
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(1);
    grBufferClear(0x00102030, 0, GR_WDEPTHVALUE_FARTHEST);
    for (int n = 0; n < count; ++n) {
        if (n % 25 == 0) {
            static const int combines[][4] = {
                {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE},
                {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE},
                {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE},
                {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_ITERATED},
                {GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_TEXTURE_ALPHA, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_TEXTURE},
            };
            const int *cc = combines[pick(5)];
            grColorCombine(cc[0], cc[1], cc[2], cc[3], pick(8) == 0);
            grConstantColorValue(static_cast<uint32_t>(rng()));
            static const int blends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                                            {GR_BLEND_ONE, GR_BLEND_ONE},
                                            {GR_BLEND_SRC_ALPHA, GR_BLEND_SRC_ALPHA},
                                            {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                                            {GR_BLEND_DST_COLOR, GR_BLEND_ZERO}};
            const int *bl = blends[pick(5)];
            grAlphaBlendFunction(bl[0], bl[1], GR_BLEND_ZERO, GR_BLEND_ZERO);
            grDepthBufferMode(pick(3) ? GR_DEPTHBUFFER_WBUFFER : GR_DEPTHBUFFER_DISABLE);
            grDepthBufferFunction(pick(3) ? GR_CMP_LESS : GR_CMP_ALWAYS);
            grDepthMask(pick(4) != 0);
            grCullMode(pick(3));
            grDitherMode(pick(2) ? GR_DITHER_4x4 : GR_DITHER_DISABLE);
            for (GrChipID_t t : {GR_TMU0, GR_TMU1}) {
                const int f = pick(2);
                grTexFilterMode(t, f, f);
                grTexMipMapMode(t, pick(4) ? GR_MIPMAP_NEAREST : GR_MIPMAP_DISABLE, 1);
                grTexClampMode(t, pick(3) ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP, pick(2));
                grTexLodBiasValue(t, pick(3) ? 0.0f : real(-1.5f, 1.5f));
            }
            switch (pick(3)) {
                case 0:  // one unit, full chain
                    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &tx.chainInfo);
                    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                                 GR_COMBINE_FACTOR_ZERO, 0, 0);
                    break;
                case 1:  // even/odd pair, trilinear
                    grTexSource(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &tx.chainInfo);
                    grTexSource(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &tx.chainInfo);
                    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION,
                                 GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION, 0, 0);
                    grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                                 GR_COMBINE_FACTOR_ZERO, 0, 0);
                    break;
                default:  // a small 3-3-2 texture on unit 1, passed through unit 0
                    grTexSource(GR_TMU1, 0x100000, GR_MIPMAPLEVELMASK_BOTH, &tx.smallInfo);
                    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                                 GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, 0, 0);
                    grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                                 GR_COMBINE_FACTOR_ZERO, 0, 0);
                    break;
            }
            if (pick(6) == 0) {
                const FxU32 x0 = static_cast<FxU32>(pick(width / 2)), y0 = static_cast<FxU32>(pick(height / 2));
                grClipWindow(x0, y0, x0 + static_cast<FxU32>(pick(width)), y0 + static_cast<FxU32>(pick(height)));
            } else {
                grClipWindow(0, 0, static_cast<FxU32>(width), static_cast<FxU32>(height));
            }
        }
        GrVertex v[3];
        const float cx = real(-20, static_cast<float>(width) + 20), cy = real(-20, static_cast<float>(height) + 20);
        const float size = pick(10) == 0 ? 200.0f : (pick(3) == 0 ? 6.0f : 40.0f);
        for (GrVertex &p : v) {
            const float oow = pick(4) == 0 ? 1.0f : real(0.02f, 1.5f);
            const float s = real(-300, 600), t = real(-300, 600);
            p = vtx(cx + real(-size, size), cy + real(-size, size), real(-300, 560), real(-40, 300), real(0, 255),
                    oow, s, t);
            // Sometimes a different second coordinate block.
            if (pick(2)) p.tmuvtx[1] = {real(0, 256) * oow, real(0, 256) * oow, oow};
            // Sometimes on exact pixel centres and halves, to hit the tie rule.
            if (pick(4) == 0) {
                p.x = std::floor(p.x) + 0.5f * static_cast<float>(pick(2));
                p.y = std::floor(p.y) + 0.5f * static_cast<float>(pick(2));
            }
        }
        if (pick(8) == 0) {
            const GrVertex quadv[4] = {v[0], v[1], v[2], vtx(v[0].x + 30, v[2].y + 20, 90, 90, 90, 0.5f, 50, 50)};
            const int idx[4] = {0, 1, 2, 3};
            grDrawPolygon(4, idx, quadv);
        } else {
            grDrawTriangle(&v[0], &v[1], &v[2]);
        }
    }
}

}  // namespace glide_test
