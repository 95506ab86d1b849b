// raster_fast.cpp: the rasteriser the show runs on. Rows are walked span by
// span (the span ends solved from the edge equations), parameters stepped by
// their x gradients from a start value computed directly for each row, so a
// row's pixels do not depend on which rows the caller asked for.
#include <algorithm>

#include "platform/glide/pipeline.h"

namespace glide {

namespace {

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

}  // namespace

void rasterFast(const Triangle &t, const uint8_t *const tmuMem[kNumTmu], Surface &s, int y0, int y1) {
    y0 = std::max(y0, t.minY);
    y1 = std::min(y1, t.maxY);
    for (int y = y0; y < y1; ++y) {
        int xl, xr;
        rowSpan(t, y, xl, xr);
        if (xl < xr) spanGeneric(t, tmuMem, s, y, xl, xr);
    }
}

}  // namespace glide
