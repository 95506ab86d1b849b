// yuv.h: shown frames as the encoder stores them: planar Y'CbCr 4:2:0
// ("I420": the Y plane, then Cb, then Cr, each chroma plane a quarter of the
// picture), studio range (Y' 16..235, Cb Cr 16..240), BT.601 weights.
//
// Converting here rather than in the encoder costs the recorder about one
// millisecond a frame and saves the encoder its own conversion and 60 % of
// the pipe traffic: 1.5 bytes a pixel instead of 4.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glide {

// Bytes of one frame: the chroma planes round odd sizes up.
inline size_t i420Bytes(int width, int height) {
    const size_t cw = static_cast<size_t>(width + 1) / 2, ch = static_cast<size_t>(height + 1) / 2;
    return static_cast<size_t>(width) * height + 2 * cw * ch;
}

// rgb: width * height pixels 0x00RRGGBB, rows from the top. A chroma sample
// is the average of its 2x2 block (of the pixels inside the picture, where
// a size is odd). out: i420Bytes(width, height) bytes.
void rgbToI420(const uint32_t *rgb, int width, int height, uint8_t *out);

// The same arithmetic one value at a time, for checks: r, g, b 0..255, for
// chroma the sums of four pixels' channels (0..1020).
inline uint8_t lumaOf(int r, int g, int b) { return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }
inline uint8_t cbOfSum4(int r4, int g4, int b4) {
    return static_cast<uint8_t>(((-38 * r4 - 74 * g4 + 112 * b4 + 512) >> 10) + 128);
}
inline uint8_t crOfSum4(int r4, int g4, int b4) {
    return static_cast<uint8_t>(((112 * r4 - 94 * g4 - 18 * b4 + 512) >> 10) + 128);
}

}  // namespace glide
