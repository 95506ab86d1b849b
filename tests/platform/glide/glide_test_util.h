// Helpers for the software board's tests: a headless screen without pacing,
// vertices, textures with one colour per mip level, pixel access.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/glide.h"
#include "platform/glide/glide_ext.h"
#include "platform/glide/raster.h"

namespace glide_test {

// Opens a headless screen (320x240 unless asked) with dithering off, so that
// written pixels are the plain 5-6-5 truncation of the colour.
inline void openScreen(GrScreenResolution_t res = GR_RESOLUTION_320x240, bool dither = false) {
    setenv("GLIDE_BACKEND", "headless", 1);
    unsetenv("GLIDE_CAPTURE_DIR");
    unsetenv("GLIDE_THREADS");
    grGlideInit();
    grSstWinOpen(0, res, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);
    glide::setPacing(false);
    if (!dither) grDitherMode(GR_DITHER_DISABLE);
}

inline void closeScreen() {
    grSstWinClose();
    grGlideShutdown();
}

inline GrVertex vtx(float x, float y, float r = 255, float g = 255, float b = 255, float oow = 1.0f, float s = 0,
                    float t = 0) {
    GrVertex v{};
    v.x = x;
    v.y = y;
    v.r = r;
    v.g = g;
    v.b = b;
    v.a = 255;
    v.oow = oow;
    v.tmuvtx[0] = {s * oow, t * oow, oow};
    v.tmuvtx[1] = {s * oow, t * oow, oow};
    return v;
}

inline uint16_t pixel(int x, int y) { return glide::backBuffer()[y * glide::screenWidth() + x]; }
inline uint16_t pack(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Axis-aligned quad from (x0, y0) to (x1, y1) with texture coordinates
// (s0, t0) .. (s1, t1), flat colour, as two triangles.
inline void quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1, float c = 255,
                 float oow = 1.0f) {
    GrVertex a = vtx(x0, y0, c, c, c, oow, s0, t0), b = vtx(x1, y0, c, c, c, oow, s1, t0);
    GrVertex d = vtx(x1, y1, c, c, c, oow, s1, t1), e = vtx(x0, y1, c, c, c, oow, s0, t1);
    grDrawTriangle(&a, &b, &d);
    grDrawTriangle(&d, &e, &a);
}

// A 256x256 RGB 565 mip chain (all nine levels) with level L filled with
// levelColour[L].
inline std::vector<uint16_t> levelChain(const uint16_t levelColour[9]) {
    std::vector<uint16_t> chain;
    for (int L = 0; L <= 8; ++L) chain.insert(chain.end(), size_t{1} << (2 * (8 - L)), levelColour[L]);
    return chain;
}

inline GrTexInfo chainInfo(std::vector<uint16_t> &chain, GrLOD_t large = GR_LOD_256, GrLOD_t small = GR_LOD_1,
                           GrTextureFormat_t format = GR_TEXFMT_RGB_565) {
    GrTexInfo info{};
    info.smallLod = small;
    info.largeLod = large;
    info.aspectRatio = GR_ASPECT_1x1;
    info.format = format;
    info.data = chain.data();
    return info;
}

// Texture unit 0 alone: its own texel, shown as is.
inline void textureOnUnit0(GrTexInfo &info, FxU32 address = 0) {
    grTexDownloadMipMap(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                 GR_COMBINE_FACTOR_ZERO, 0, 0);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, 0);
}

// FNV-1a over the back buffer.
inline uint64_t frameHash() {
    const uint16_t *p = glide::backBuffer();
    uint64_t h = 1469598103934665603ull;
    const size_t n = static_cast<size_t>(glide::screenWidth()) * glide::screenHeight();
    for (size_t i = 0; i < n; ++i) {
        h = (h ^ (p[i] & 0xFF)) * 1099511628211ull;
        h = (h ^ (p[i] >> 8)) * 1099511628211ull;
    }
    return h;
}

}  // namespace glide_test
