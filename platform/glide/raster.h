// raster.h: the software board's state, triangle setup records and the
// per-pixel arithmetic shared by the reference and the fast rasteriser.
//
// Fixed-point formats of the iterated parameters (all int64, evaluated at
// pixel centres as P(x, y) = ref + dx * (x - refX) + dy * (y - refY), so a
// value is the same whether it is stepped or computed directly):
//   colour r g b a      16 fraction bits (integer part wraps, see wrapColour)
//   ooz                 16 fraction bits
//   oow (1/w)           32 fraction bits (the w-buffer's 48-bit iterator)
//   sow tow (s/w, t/w)  24 fraction bits, texels of the 256-texel level 0
// Texture coordinates after the divide are 24.8 fixed texels (coord8).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/glide.h"

namespace glide {

inline constexpr int kColourFrac = 16;
inline constexpr int kOowFrac = 32;
inline constexpr int kStFrac = 24;
inline constexpr uint32_t kTmuBytes = 4u << 20;  // 4 MB per texture unit
// Bytes allocated past the end of a unit's memory: the vector span loops read
// a texel as 4 bytes, so the last texel reads 2 bytes beyond it.
inline constexpr uint32_t kTmuSlack = 8;
inline constexpr int kNumTmu = 2;

struct CombineUnit {
    int function = GR_COMBINE_FUNCTION_ZERO;
    int factor = GR_COMBINE_FACTOR_ZERO;
    bool invert = false;
};

// What grTexSource selected: where each level lives in the unit's memory.
struct TexSource {
    bool valid = false;
    int format = GR_TEXFMT_RGB_565;
    int largeLod = 0, smallLod = 8;  // GrLOD_t, 0 = 256
    int aspect = GR_ASPECT_1x1;
    uint32_t evenOdd = GR_MIPMAPLEVELMASK_BOTH;
    uint32_t levelAddr[9] = {};  // byte address of level L, when present
    bool present[9] = {};
    int wlog2[9] = {}, hlog2[9] = {};  // level dimensions
    int levelOf[9] = {};               // level read for floor(lod) (see levelFor)
};

struct TmuState {
    int minFilter = GR_TEXTUREFILTER_POINT_SAMPLED;
    int magFilter = GR_TEXTUREFILTER_POINT_SAMPLED;
    int mipmapMode = GR_MIPMAP_DISABLE;
    bool lodBlend = false;  // the trilinear bit: reverses LOD_FRACTION on odd levels
    int clampS = GR_TEXTURECLAMP_CLAMP, clampT = GR_TEXTURECLAMP_CLAMP;
    int lodBias256 = 0;  // quarters of a level, stored in 1/256 level
    int detailBias = 0, detailScale = 1, detailMax = 255;
    CombineUnit rgb, alpha;
    TexSource src;
};

struct State {
    int ccFunction = GR_COMBINE_FUNCTION_SCALE_OTHER;
    int ccFactor = GR_COMBINE_FACTOR_ONE;
    int ccLocal = GR_COMBINE_LOCAL_ITERATED;
    int ccOther = GR_COMBINE_OTHER_ITERATED;
    bool ccInvert = false;
    uint32_t constColour = 0xFFFFFFFF;  // ARGB; colour0 and colour1
    int blendRgbSrc = GR_BLEND_ONE, blendRgbDst = GR_BLEND_ZERO;
    bool blendOn = false;  // off only for exactly (ONE, ZERO, ONE, ZERO)
    int depthMode = GR_DEPTHBUFFER_DISABLE;
    int depthFunc = GR_CMP_LESS;
    bool depthMask = false;
    int depthBias = 0;
    int cull = GR_CULL_DISABLE;
    int dither = GR_DITHER_4x4;
    bool lodDitherAllowed = false;
    uint32_t stwHint = 0;
    int clipMinX = 0, clipMinY = 0, clipMaxX = 0, clipMaxY = 0;  // max exclusive
    TmuState tmu[kNumTmu];
    // The fast rasteriser's span loop for this state, chosen once per
    // queued snapshot by prepareFast (null: choose per triangle), and its
    // vector loop for rows of constant 1/w (null: none).
    void (*fastSpan)() = nullptr;
    void (*fastRow)() = nullptr;
    // For that vector loop, per unit and floor(LOD) 0..8: the level the
    // unit reads and its layout, so that pixels of one group reading
    // different levels are sampled together.
    struct LevelLanes {
        int32_t L[9], wl[9], wmask[9], hmask[9], addr[9];
    };
    LevelLanes levelLanes[kNumTmu] = {};
};

// A colour and a depth buffer; the colour buffer holds RGB 565 pixels.
struct Surface {
    int width = 0, height = 0;
    uint16_t *colour = nullptr;
    uint16_t *depth = nullptr;
};

// Which texture units a state samples and which coordinates feed them.
struct TexUse {
    bool active[kNumTmu] = {false, false};  // the unit's output is needed
    bool sample[kNumTmu] = {false, false};  // ... and it reads its own texel
    int stSource[kNumTmu] = {0, 0};  // tmuvtx block giving s/w, t/w to the unit
    bool any() const { return active[0]; }
};
TexUse texUse(const State &st);

// Plane of one iterated parameter in fixed point (see the top of the file).
struct Plane {
    int64_t ref = 0, dx = 0, dy = 0;
    int64_t at(int x, int y, int refX, int refY) const {
        return ref + dx * (x - refX) + dy * (y - refY);
    }
};

enum PlaneIndex { P_R, P_G, P_B, P_A, P_Z, P_W, P_S0, P_T0, P_S1, P_T1, P_COUNT };

// One set-up triangle: edges in 12.4 fixed screen units, the parameter planes
// referenced to pixel (refX, refY), the covered pixel bounds (clipped), the
// per-unit LOD base log2(rho * w) in 1/256 levels.
struct Triangle {
    const State *state = nullptr;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;  // max exclusive
    int refX = 0, refY = 0;
    // Edge i: E(x, y) = ea * x + eb * y + ec with x, y pixel indices, the
    // pixel is inside when E > 0 for every edge (ec carries the tie rule).
    int64_t ea[3] = {}, eb[3] = {}, ec[3] = {};
    Plane p[P_COUNT];
    int lodBase[kNumTmu] = {};
    TexUse use;
};

// Culls and sets up a triangle; false when nothing can be drawn.
bool setupTriangle(const State &st, const GrVertex &a, const GrVertex &b, const GrVertex &c, Triangle &out);

// Rasterisers. Both draw the rows [y0, y1) of the triangle into the surface.
void rasterReference(const Triangle &t, const uint8_t *const tmuMem[kNumTmu], Surface &s, int y0, int y1);
void prepareFast(State &st);
// The fast rasteriser's vector level: Plain draws one pixel at a time, Sse2
// and Avx2 eight pixels at a time with those instruction sets (the same
// pixels). Taken at prepareFast. Default: Avx2 where the processor has it,
// else Plain.
enum class SimdLevel { Plain, Sse2, Avx2 };
SimdLevel bestSimdLevel();           // the highest level the processor has
void setSimdLevel(SimdLevel level);  // at most that level
SimdLevel simdLevel();
void rasterFast(const Triangle &t, const uint8_t *const tmuMem[kNumTmu], Surface &s, int y0, int y1);

// grBufferClear on rows [y0, y1) of the clip window.
void clearRows(const State &st, uint32_t colourArgb, uint16_t depth, Surface &s, int y0, int y1);

// The covered x range [xl, xr) of row y (empty when xl >= xr).
void rowSpan(const Triangle &t, int y, int &xl, int &xr);

// ---------------------------------------------------------------------------
// Per-pixel arithmetic shared by both rasterisers.

struct Rgb {
    int r, g, b;
};

// Iterated colours wrap as on the first board generation: integer part n,
// -1 reads 0, 256 reads 255, anything else n mod 256.
inline int wrapColour(int64_t v16) {
    int64_t n = v16 >> kColourFrac;
    if (n == -1) return 0;
    if (n == 256) return 255;
    return static_cast<int>(n & 255);
}

// 4x4 ordered dither of an 8-bit colour channel to 5 and 6 bits.
inline constexpr uint8_t kDither4x4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The dithered 5- and 6-bit values of every 8-bit value for each matrix
// entry d: R5 = (2v - v/16 + v/128 + d) >> 4, G6 = (4v - v/16 + v/64 + d) >> 4.
struct DitherTables {
    uint8_t to5[16][256], to6[16][256];
    constexpr DitherTables() : to5(), to6() {
        for (int d = 0; d < 16; ++d) {
            for (int v = 0; v < 256; ++v) {
                to5[d][v] = static_cast<uint8_t>((2 * v - v / 16 + v / 128 + d) >> 4);
                to6[d][v] = static_cast<uint8_t>((4 * v - v / 16 + v / 64 + d) >> 4);
            }
        }
    }
};
inline constexpr DitherTables kDitherTables{};

inline uint16_t packDither(Rgb c, int x, int y, bool dither) {
    if (!dither) {
        return static_cast<uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
    }
    const int d = kDither4x4[y & 3][x & 3];
    return static_cast<uint16_t>((kDitherTables.to5[d][c.r] << 11) | (kDitherTables.to6[d][c.g] << 5) |
                                 kDitherTables.to5[d][c.b]);
}

inline Rgb expand565(uint16_t p) {
    const int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    return {(r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2)};
}

// Dither subtraction: while 4x4 dithering is on, blending reads the
// destination with the dither taken back out. A channel stored as k at
// matrix entry d came from a value in [k - d/16, k + 1 - d/16) steps of its
// 5 or 6 bits; it reads as the middle of that range (a 5-bit step is about
// 8 of the 8-bit units, a 6-bit step about 4). So a blend does not lay a
// second dither pattern over the first: a layer that adds nothing leaves
// the stored frame exactly as it was, and an additive layer adds no bias.
struct UnditherTables {
    uint8_t from5[16][32], from6[16][64];
    constexpr UnditherTables() : from5(), from6() {
        auto clamp8 = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
        for (int d = 0; d < 16; ++d) {
            for (int k = 0; k < 32; ++k) from5[d][k] = clamp8((2 * ((k << 3) | (k >> 2)) + 8 - d) >> 1);
            for (int k = 0; k < 64; ++k) from6[d][k] = clamp8((4 * ((k << 2) | (k >> 4)) + 9 - d) >> 2);
        }
    }
};
inline constexpr UnditherTables kUndither{};

// The destination pixel as blending reads it (subtract: 4x4 dithering on).
inline Rgb blendDestination(uint16_t p, int x, int y, bool subtract) {
    if (!subtract) return expand565(p);
    const int d = kDither4x4[y & 3][x & 3];
    return {kUndither.from5[d][p >> 11], kUndither.from6[d][(p >> 5) & 63], kUndither.from5[d][p & 31]};
}

inline Rgb expand332(uint8_t p) {
    const int r3 = p >> 5, g3 = (p >> 2) & 7, b2 = p & 3;
    return {(r3 << 5) | (r3 << 2) | (r3 >> 1), (g3 << 5) | (g3 << 2) | (g3 >> 1), b2 * 0x55};
}

// The w-buffer's 16-bit floating depth of an iterated 1/w (32 fraction bits):
// 4 exponent bits and 12 mantissa bits, nearer is smaller.
inline int wDepth(int64_t oow32) {
    if (oow32 >= (int64_t{1} << 32) || oow32 < 0) return 0;
    if (oow32 < (int64_t{1} << 16)) return 0xFFFF;
    const int top = 63 - __builtin_clzll(static_cast<uint64_t>(oow32));  // 16..31
    const int e = 31 - top;
    const int mant = static_cast<int>((oow32 >> (top - 12)) & 0xFFF);
    return (e + 1) * 4096 - mant;
}

inline int depthValue(const State &st, int64_t oow32, int64_t ooz16) {
    int d;
    if (st.depthMode == GR_DEPTHBUFFER_WBUFFER || st.depthMode == GR_DEPTHBUFFER_WBUFFER_COMPARE_TO_BIAS) {
        d = wDepth(oow32) + st.depthBias;
    } else {
        const int64_t z = ooz16 >> 16;
        d = static_cast<int>(z < 0 ? 0 : (z > 0xFFFF ? 0xFFFF : z)) + st.depthBias;
    }
    return d < 0 ? 0 : (d > 0xFFFF ? 0xFFFF : d);
}

inline bool depthPasses(int func, int newDepth, int oldDepth) {
    switch (func) {
        case GR_CMP_NEVER: return false;
        case GR_CMP_LESS: return newDepth < oldDepth;
        case GR_CMP_EQUAL: return newDepth == oldDepth;
        case GR_CMP_LEQUAL: return newDepth <= oldDepth;
        case GR_CMP_GREATER: return newDepth > oldDepth;
        case GR_CMP_NOTEQUAL: return newDepth != oldDepth;
        case GR_CMP_GEQUAL: return newDepth >= oldDepth;
        default: return true;
    }
}

// log2 of a positive fixed-point value with `frac` fraction bits, in 1/256.
extern const int kLog2Mantissa[256];  // 256 * log2(1 + m / 256), rounded
inline int log2Fixed256(int64_t v, int frac) {
    const int top = 63 - __builtin_clzll(static_cast<uint64_t>(v));
    const int m = top >= 8 ? static_cast<int>((v >> (top - 8)) & 255) : static_cast<int>((v << (8 - top)) & 255);
    return (top - frac) * 256 + kLog2Mantissa[m];
}

// Combine-unit arithmetic for one channel: the function picks the value to
// scale (possibly negative) and the addend, the factor f picks the
// multiplier: codes below 8 scale by f + 1, the ONE_MINUS codes by 256 - f.
inline int combineMultiplier(int factorCode, int f) {
    return factorCode < 8 ? f + 1 : 256 - f;
}

inline int combineChannel(int function, int mult, int local, int other, int localAlpha, bool invert) {
    int x = 0, add = 0;
    switch (function) {
        case GR_COMBINE_FUNCTION_ZERO: break;
        case GR_COMBINE_FUNCTION_LOCAL: add = local; break;
        case GR_COMBINE_FUNCTION_LOCAL_ALPHA: add = localAlpha; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER: x = other; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL: x = other; add = local; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA: x = other; add = localAlpha; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL: x = other - local; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL: x = other - local; add = local; break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA: x = other - local; add = localAlpha; break;
        case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL: x = -local; add = local; break;
        case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA: x = -local; add = localAlpha; break;
        default: break;
    }
    int v = ((x * mult) >> 8) + add;  // arithmetic shift: floor
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    return invert ? v ^ 0xFF : v;
}

// Blend factor (0..256) for one channel. s, d: source and destination
// channel; a: source alpha; da: destination alpha.
inline int blendFactor(int code, bool isSource, int s, int d, int a, int da) {
    switch (code) {
        case GR_BLEND_ZERO: return 0;
        case GR_BLEND_SRC_ALPHA: return a + 1;
        case GR_BLEND_SRC_COLOR: return isSource ? d + 1 : s + 1;  // DST_COLOR as a source factor
        case GR_BLEND_DST_ALPHA: return da + 1;
        case GR_BLEND_ONE: return 256;
        case GR_BLEND_ONE_MINUS_SRC_ALPHA: return 256 - a;
        case GR_BLEND_ONE_MINUS_SRC_COLOR: return isSource ? 256 - d : 256 - s;
        case GR_BLEND_ONE_MINUS_DST_ALPHA: return 256 - da;
        case GR_BLEND_ALPHA_SATURATE:
            // As a source factor; as a destination factor it is the pre-fog
            // colour, which without fog is the source itself.
            return isSource ? (a < 256 - da ? a : 256 - da) + 1 : s + 1;
        default: return 0;
    }
}

inline int blendChannel(const State &st, int s, int d, int a) {
    const int da = 0xFF;  // the aux buffer holds depth: no destination alpha
    const int fs = blendFactor(st.blendRgbSrc, true, s, d, a, da);
    const int fd = blendFactor(st.blendRgbDst, false, s, d, a, da);
    const int v = (s * fs + d * fd) >> 8;
    return v > 255 ? 255 : v;
}

}  // namespace glide
