// yuv.cpp: 0x00RRGGBB frames to I420, two rows at a time: each 2x2 block
// gives four luma samples and one chroma pair from the sums of its channels.
#include "platform/glide/yuv.h"

namespace glide {

namespace {

inline int red(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int green(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int blue(uint32_t p) { return static_cast<int>(p & 0xFF); }
inline uint8_t luma(uint32_t p) { return lumaOf(red(p), green(p), blue(p)); }

// A block of fewer than four pixels (at an odd edge): its average, scaled
// to four pixels' worth, so that it converts like a whole block.
void edgeBlock(const uint32_t *const px[], int n, uint8_t &cb, uint8_t &cr) {
    int r = 0, g = 0, b = 0;
    for (int i = 0; i < n; ++i) {
        r += red(*px[i]);
        g += green(*px[i]);
        b += blue(*px[i]);
    }
    r = (r * 4 + n / 2) / n;
    g = (g * 4 + n / 2) / n;
    b = (b * 4 + n / 2) / n;
    cb = cbOfSum4(r, g, b);
    cr = crOfSum4(r, g, b);
}

// Whole 2x2 blocks of rows a and b (a loop the compiler can vectorise).
void rowPair(const uint32_t *__restrict a, const uint32_t *__restrict b, int pairs, uint8_t *__restrict ya,
             uint8_t *__restrict yb, uint8_t *__restrict cb, uint8_t *__restrict cr) {
    for (int x = 0; x < pairs; ++x) {
        const uint32_t p0 = a[2 * x], p1 = a[2 * x + 1], p2 = b[2 * x], p3 = b[2 * x + 1];
        ya[2 * x] = luma(p0);
        ya[2 * x + 1] = luma(p1);
        yb[2 * x] = luma(p2);
        yb[2 * x + 1] = luma(p3);
        const int r = red(p0) + red(p1) + red(p2) + red(p3);
        const int g = green(p0) + green(p1) + green(p2) + green(p3);
        const int bl = blue(p0) + blue(p1) + blue(p2) + blue(p3);
        cb[x] = cbOfSum4(r, g, bl);
        cr[x] = crOfSum4(r, g, bl);
    }
}

}  // namespace

void rgbToI420(const uint32_t *rgb, int width, int height, uint8_t *out) {
    if (width <= 0 || height <= 0) return;
    const size_t w = static_cast<size_t>(width);
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    uint8_t *yPlane = out;
    uint8_t *cbPlane = out + w * static_cast<size_t>(height);
    uint8_t *crPlane = cbPlane + static_cast<size_t>(cw) * ch;
    const int pairs = width / 2;
    for (int cy = 0; cy < ch; ++cy) {
        const int y0 = 2 * cy;
        const bool twoRows = y0 + 1 < height;
        const uint32_t *a = rgb + w * static_cast<size_t>(y0);
        const uint32_t *b = twoRows ? a + w : a;
        uint8_t *ya = yPlane + w * static_cast<size_t>(y0);
        uint8_t *cb = cbPlane + static_cast<size_t>(cw) * cy;
        uint8_t *cr = crPlane + static_cast<size_t>(cw) * cy;
        if (twoRows) {
            rowPair(a, b, pairs, ya, ya + w, cb, cr);
        } else {
            for (int x = 0; x < pairs; ++x) {
                ya[2 * x] = luma(a[2 * x]);
                ya[2 * x + 1] = luma(a[2 * x + 1]);
                const uint32_t *px[2] = {a + 2 * x, a + 2 * x + 1};
                edgeBlock(px, 2, cb[x], cr[x]);
            }
        }
        if (width & 1) {
            const int x = width - 1;
            ya[x] = luma(a[x]);
            if (twoRows) ya[w + x] = luma(b[x]);
            const uint32_t *px[2] = {a + x, b + x};
            edgeBlock(px, twoRows ? 2 : 1, cb[cw - 1], cr[cw - 1]);
        }
    }
}

}  // namespace glide
