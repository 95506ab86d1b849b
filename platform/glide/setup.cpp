// setup.cpp: culling, vertex snapping and the per-triangle planes.
#include <algorithm>
#include <cmath>

#include "platform/glide/texture.h"

namespace glide {

// 256 * log2(1 + m / 256), rounded to nearest.
const int kLog2Mantissa[256] = {
    0, 1, 3, 4, 6, 7, 9, 10, 11, 13, 14, 16, 17, 18, 20, 21,
    22, 24, 25, 26, 28, 29, 30, 32, 33, 34, 36, 37, 38, 40, 41, 42,
    44, 45, 46, 47, 49, 50, 51, 52, 54, 55, 56, 57, 59, 60, 61, 62,
    63, 65, 66, 67, 68, 69, 71, 72, 73, 74, 75, 77, 78, 79, 80, 81,
    82, 84, 85, 86, 87, 88, 89, 90, 92, 93, 94, 95, 96, 97, 98, 99,
    100, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 116, 117,
    118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133,
    134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149,
    150, 151, 152, 153, 154, 155, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164,
    165, 166, 167, 168, 169, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 178,
    179, 180, 181, 182, 183, 184, 185, 185, 186, 187, 188, 189, 190, 191, 192, 192,
    193, 194, 195, 196, 197, 198, 198, 199, 200, 201, 202, 203, 203, 204, 205, 206,
    207, 208, 208, 209, 210, 211, 212, 212, 213, 214, 215, 216, 216, 217, 218, 219,
    220, 220, 221, 222, 223, 224, 224, 225, 226, 227, 228, 228, 229, 230, 231, 231,
    232, 233, 234, 234, 235, 236, 237, 238, 238, 239, 240, 241, 241, 242, 243, 244,
    244, 245, 246, 247, 247, 248, 249, 249, 250, 251, 252, 252, 253, 254, 255, 255,
};

namespace {

bool functionUsesLocal(int fn) {
    return fn == GR_COMBINE_FUNCTION_LOCAL || fn == GR_COMBINE_FUNCTION_LOCAL_ALPHA ||
           (fn >= GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL && fn <= GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL) ||
           fn == GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA;
}
bool functionUsesOther(int fn) {
    return fn >= GR_COMBINE_FUNCTION_SCALE_OTHER && fn <= GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA;
}
bool factorUsesLocal(int f) {
    return (f & 7) == GR_COMBINE_FACTOR_LOCAL || (f & 7) == GR_COMBINE_FACTOR_LOCAL_ALPHA;
}
bool unitUsesLocal(const TmuState &u) {
    return functionUsesLocal(u.rgb.function) || functionUsesLocal(u.alpha.function) || factorUsesLocal(u.rgb.factor) ||
           factorUsesLocal(u.alpha.factor);
}
bool unitUsesOther(const TmuState &u) {
    return functionUsesOther(u.rgb.function) || functionUsesOther(u.alpha.function) ||
           (u.rgb.factor & 7) == GR_COMBINE_FACTOR_OTHER_ALPHA || (u.alpha.factor & 7) == GR_COMBINE_FACTOR_OTHER_ALPHA;
}

// The 12.4 vertex registers: truncated to 1/16 pixel, low 16 bits kept, so
// positions wrap modulo 4096 pixels (and a +786432 snap bias vanishes).
int32_t snap16(float v) {
    if (!std::isfinite(v)) return 0;
    const double scaled = std::trunc(static_cast<double>(v) * 16.0);
    const double wrapped = std::fmod(scaled, 65536.0);  // exact for doubles
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(wrapped) & 0xFFFF));
}

int64_t floorDiv(int64_t a, int64_t b) {  // b > 0
    int64_t q = a / b;
    if ((a % b) != 0 && a < 0) --q;
    return q;
}

int64_t toFixed(double v, int frac) {
    constexpr double lim = 70368744177664.0;  // 2^46: keeps every step sum within int64
    // Scaling by a power of two is exact (or overflows, then clamps).
    double s = v * static_cast<double>(int64_t{1} << frac);
    if (!(s == s)) s = 0;  // NaN
    s = s < -lim ? -lim : (s > lim ? lim : s);
    // Rounded to nearest, halves away from zero: the remainder after
    // truncation is exact below 2^53.
    const double whole = std::trunc(s), rest = s - whole;
    return static_cast<int64_t>(whole) + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0);
}

}  // namespace

TexUse texUse(const State &st) {
    TexUse u;
    const bool needTexture =
        (st.ccOther == GR_COMBINE_OTHER_TEXTURE && functionUsesOther(st.ccFunction)) ||
        (st.ccFactor & 7) == GR_COMBINE_FACTOR_TEXTURE_ALPHA;
    if (!needTexture) return u;
    u.active[0] = true;
    u.sample[0] = unitUsesLocal(st.tmu[0]);
    u.active[1] = unitUsesOther(st.tmu[0]);
    u.sample[1] = u.active[1] && unitUsesLocal(st.tmu[1]);
    // Both units take the first coordinate block unless told otherwise; a
    // unit 1 fed through a pass-through unit 0 takes its own block.
    if (u.sample[1] && (!u.sample[0] || (st.stwHint & GR_STWHINT_ST_DIFF_TMU1))) u.stSource[1] = 1;
    return u;
}

bool setupTriangle(const State &st, const GrVertex &a, const GrVertex &b, const GrVertex &c, Triangle &t) {
    // Culling on the coordinates as passed.
    const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (!(area != 0.0f)) return false;  // zero (or NaN): never drawn
    if (st.cull == GR_CULL_NEGATIVE && area < 0.0f) return false;
    if (st.cull == GR_CULL_POSITIVE && area > 0.0f) return false;

    const GrVertex *v[3] = {&a, &b, &c};
    int64_t x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = snap16(v[i]->x);
        y[i] = snap16(v[i]->y);
    }
    const int64_t area16 = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area16 == 0) return false;

    // Bounds of the pixel centres (16x + 8) inside the vertex box.
    const int64_t lx = std::min({x[0], x[1], x[2]}), hx = std::max({x[0], x[1], x[2]});
    const int64_t ly = std::min({y[0], y[1], y[2]}), hy = std::max({y[0], y[1], y[2]});
    t.minX = static_cast<int>(std::max<int64_t>(st.clipMinX, floorDiv(lx - 8 + 15, 16)));
    t.maxX = static_cast<int>(std::min<int64_t>(st.clipMaxX, floorDiv(hx - 8, 16) + 1));
    t.minY = static_cast<int>(std::max<int64_t>(st.clipMinY, floorDiv(ly - 8 + 15, 16)));
    t.maxY = static_cast<int>(std::min<int64_t>(st.clipMaxY, floorDiv(hy - 8, 16) + 1));
    if (t.minX >= t.maxX || t.minY >= t.maxY) return false;

    // Edges of the triangle oriented so that the inside is positive. Pixel
    // centres exactly on an edge belong to top and left edges only, so that
    // neighbours sharing an edge draw each pixel once.
    int order[3] = {0, 1, 2};
    if (area16 < 0) std::swap(order[1], order[2]);
    for (int e = 0; e < 3; ++e) {
        const int i0 = order[e], i1 = order[(e + 1) % 3];
        const int64_t dx = x[i1] - x[i0], dy = y[i1] - y[i0];
        t.ea[e] = -16 * dy;
        t.eb[e] = 16 * dx;
        t.ec[e] = dx * (8 - y[i0]) - dy * (8 - x[i0]);
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        if (topLeft) t.ec[e] += 1;
    }

    t.state = &st;
    t.use = texUse(st);
    t.refX = t.minX;
    t.refY = t.minY;

    // Planes from the snapped positions, evaluated at pixel centres.
    const double xa = x[0] / 16.0, ya = y[0] / 16.0;
    const double x1 = x[1] / 16.0 - xa, y1 = y[1] / 16.0 - ya;
    const double x2 = x[2] / 16.0 - xa, y2 = y[2] / 16.0 - ya;
    const double det = x1 * y2 - x2 * y1;
    const double cx = t.refX + 0.5 - xa, cy = t.refY + 0.5 - ya;
    auto plane = [&](Plane &p, double pa, double pb, double pc, int frac, double &gx, double &gy) {
        const double d1 = pb - pa, d2 = pc - pa;
        gx = (d1 * y2 - d2 * y1) / det;
        gy = (d2 * x1 - d1 * x2) / det;
        p.ref = toFixed(pa + gx * cx + gy * cy, frac);
        p.dx = toFixed(gx, frac);
        p.dy = toFixed(gy, frac);
    };
    double gx, gy;
    plane(t.p[P_R], a.r, b.r, c.r, kColourFrac, gx, gy);
    plane(t.p[P_G], a.g, b.g, c.g, kColourFrac, gx, gy);
    plane(t.p[P_B], a.b, b.b, c.b, kColourFrac, gx, gy);
    plane(t.p[P_A], a.a, b.a, c.a, kColourFrac, gx, gy);
    plane(t.p[P_Z], a.ooz, b.ooz, c.ooz, 16, gx, gy);
    plane(t.p[P_W], a.oow, b.oow, c.oow, kOowFrac, gx, gy);
    for (int blk = 0; blk < 2; ++blk) {
        const bool used = (t.use.active[0] && t.use.stSource[0] == blk) || (t.use.active[1] && t.use.stSource[1] == blk);
        if (!used && blk == 1) continue;
        double sgx, sgy, tgx, tgy;
        plane(t.p[P_S0 + 2 * blk], a.tmuvtx[blk].sow, b.tmuvtx[blk].sow, c.tmuvtx[blk].sow, kStFrac, sgx, sgy);
        plane(t.p[P_T0 + 2 * blk], a.tmuvtx[blk].tow, b.tmuvtx[blk].tow, c.tmuvtx[blk].tow, kStFrac, tgx, tgy);
        // LOD base: log2 of the larger screen-space step of (s/w, t/w); the
        // per-pixel LOD subtracts log2(1/w) to turn it into texels per pixel.
        const double rho2 = std::max(sgx * sgx + tgx * tgx, sgy * sgy + tgy * tgy);
        const int base = rho2 > 0 && std::isfinite(rho2) ? static_cast<int>(std::lround(128.0 * std::log2(rho2)))
                                                         : -(1 << 20);
        for (int u = 0; u < kNumTmu; ++u) {
            if (t.use.stSource[u] == blk) t.lodBase[u] = std::max(base, -(1 << 20));
        }
    }
    return true;
}

void rowSpan(const Triangle &t, int y, int &xl, int &xr) {
    int64_t lo = t.minX, hi = t.maxX;  // [lo, hi)
    for (int e = 0; e < 3; ++e) {
        const int64_t a = t.ea[e];
        const int64_t c = t.eb[e] * y + t.ec[e];  // inside: a * x + c > 0
        if (a > 0) {
            lo = std::max(lo, floorDiv(-c, a) + 1);
        } else if (a < 0) {
            hi = std::min(hi, -floorDiv(-c, -a));  // x < c / -a  <=>  x <= ceil(c / -a) - 1
        } else if (c <= 0) {
            hi = lo;
        }
    }
    xl = static_cast<int>(lo);
    xr = static_cast<int>(std::max(lo, hi));
}

void clearRows(const State &st, uint32_t argb, uint16_t depth, Surface &s, int y0, int y1) {
    const Rgb c = {static_cast<int>((argb >> 16) & 255), static_cast<int>((argb >> 8) & 255),
                   static_cast<int>(argb & 255)};
    const bool dither = st.dither != GR_DITHER_DISABLE;
    const bool writeDepth = st.depthMode != GR_DEPTHBUFFER_DISABLE && st.depthMask;
    y0 = std::max(y0, st.clipMinY);
    y1 = std::min(y1, st.clipMaxY);
    for (int y = y0; y < y1; ++y) {
        uint16_t pattern[4];
        for (int k = 0; k < 4; ++k) pattern[k] = packDither(c, k, y, dither);
        uint16_t *row = s.colour + static_cast<size_t>(y) * s.width;
        for (int x = st.clipMinX; x < st.clipMaxX; ++x) row[x] = pattern[x & 3];
        if (writeDepth) {
            uint16_t *drow = s.depth + static_cast<size_t>(y) * s.width;
            for (int x = st.clipMinX; x < st.clipMaxX; ++x) drow[x] = depth;
        }
    }
}

}  // namespace glide
