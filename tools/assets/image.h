// Float RGB canvas for the generated pictures, and the TGA writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Rgb {
    float r = 0, g = 0, b = 0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

// Components are nominally 0..1; the writer clamps.
struct Image {
    int width = 256, height = 256;
    std::vector<Rgb> px;
    Image(int w = 256, int h = 256) : width(w), height(h), px(static_cast<size_t>(w * h)) {}
    Rgb &at(int x, int y) { return px[static_cast<size_t>(y * width + x)]; }
    const Rgb &at(int x, int y) const { return px[static_cast<size_t>(y * width + x)]; }
};

// Grey coverage mask (0..1), used for text and strokes before colouring.
struct Mask {
    int width = 256, height = 256;
    std::vector<float> v;
    Mask(int w = 256, int h = 256) : width(w), height(h), v(static_cast<size_t>(w * h)) {}
    float &at(int x, int y) { return v[static_cast<size_t>(y * width + x)]; }
    float at(int x, int y) const { return v[static_cast<size_t>(y * width + x)]; }
};

enum class TgaOrigin { bottom_left, top_left };

// 24-bit uncompressed TGA with no footer, so the pixel block is the last
// width*height*3 bytes of the file. The image's row 0 is its top: with
// bottom_left the rows are stored bottom first, with top_left top first (and
// the descriptor's bit 5 says so, for ordinary viewers).
std::vector<uint8_t> write_tga(const Image &image, TgaOrigin origin);

// Rounds a 0..1 component to a byte.
uint8_t to_byte(float v);

// --- drawing helpers -------------------------------------------------------

// Adds colour * mask to the image.
void add_mask(Image &image, const Mask &mask, Rgb colour);
// Separable box blur (three passes approximate a Gaussian); edges clamp, or
// wrap when wrap is true.
void blur(Mask &mask, int radius, bool wrap = false);
void blur(Image &image, int radius, bool wrap = false);
// Antialiased line segment of the given width (pixels) into a mask, max-combined.
void stroke_line(Mask &mask, float x0, float y0, float x1, float y1, float width,
                 float strength = 1.0f);
// Filled antialiased ellipse, max-combined.
void fill_ellipse(Mask &mask, float cx, float cy, float rx, float ry, float strength = 1.0f);
// Antialiased ring (circle outline).
void stroke_circle(Mask &mask, float cx, float cy, float radius, float width,
                   float strength = 1.0f);

}  // namespace assets
