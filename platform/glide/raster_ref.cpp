// raster_ref.cpp: the reference rasteriser. Every pixel of the triangle's box
// is tested against the three edges and every parameter is evaluated from its
// plane directly; no stepping, no special cases. Kept for the tests, which
// compare the fast rasteriser against it.
#include <algorithm>

#include "platform/glide/pipeline.h"

namespace glide {

void rasterReference(const Triangle &t, const uint8_t *const tmuMem[kNumTmu], Surface &s, int y0, int y1) {
    y0 = std::max(y0, t.minY);
    y1 = std::min(y1, t.maxY);
    for (int y = y0; y < y1; ++y) {
        for (int x = t.minX; x < t.maxX; ++x) {
            bool inside = true;
            for (int e = 0; e < 3; ++e) inside = inside && t.ea[e] * x + t.eb[e] * y + t.ec[e] > 0;
            if (!inside) continue;
            PixelParams p;
            p.r = t.p[P_R].at(x, y, t.refX, t.refY);
            p.g = t.p[P_G].at(x, y, t.refX, t.refY);
            p.b = t.p[P_B].at(x, y, t.refX, t.refY);
            p.z = t.p[P_Z].at(x, y, t.refX, t.refY);
            p.w = t.p[P_W].at(x, y, t.refX, t.refY);
            for (int blk = 0; blk < 2; ++blk) {
                p.s[blk] = t.p[P_S0 + 2 * blk].at(x, y, t.refX, t.refY);
                p.t[blk] = t.p[P_T0 + 2 * blk].at(x, y, t.refX, t.refY);
            }
            shadePixel(t, tmuMem, s, x, y, p);
        }
    }
}

}  // namespace glide
