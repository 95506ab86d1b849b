#include "tools/assets/image.h"

#include <algorithm>
#include <cmath>

namespace assets {

uint8_t to_byte(float v)
{
    const float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint8_t>(std::lround(c * 255.0f));
}

std::vector<uint8_t> write_tga(const Image &image, TgaOrigin origin)
{
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<uint8_t>(image.width & 0xFF);
    out[13] = static_cast<uint8_t>(image.width >> 8);
    out[14] = static_cast<uint8_t>(image.height & 0xFF);
    out[15] = static_cast<uint8_t>(image.height >> 8);
    out[16] = 24;
    out[17] = origin == TgaOrigin::top_left ? 0x20 : 0x00;
    out.reserve(out.size() + static_cast<size_t>(image.width * image.height * 3));
    for (int i = 0; i < image.height; ++i) {
        const int y = origin == TgaOrigin::top_left ? i : image.height - 1 - i;
        for (int x = 0; x < image.width; ++x) {
            const Rgb &p = image.at(x, y);
            out.push_back(to_byte(p.b));
            out.push_back(to_byte(p.g));
            out.push_back(to_byte(p.r));
        }
    }
    return out;
}

void add_mask(Image &image, const Mask &mask, Rgb colour)
{
    for (size_t i = 0; i < image.px.size(); ++i)
        image.px[i] = image.px[i] + colour * mask.v[i];
}

namespace {

// One box pass along rows (horizontal) of a w*h array of T, running sums.
template <typename T>
void box_rows(std::vector<T> &v, int w, int h, int radius, bool wrap)
{
    std::vector<T> line(static_cast<size_t>(w));
    const float inv = 1.0f / static_cast<float>(2 * radius + 1);
    for (int y = 0; y < h; ++y) {
        T *row = &v[static_cast<size_t>(y * w)];
        auto get = [&](int x) {
            if (wrap)
                return row[((x % w) + w) % w];
            return row[std::clamp(x, 0, w - 1)];
        };
        T sum{};
        for (int k = -radius; k <= radius; ++k)
            sum = sum + get(k);
        for (int x = 0; x < w; ++x) {
            line[static_cast<size_t>(x)] = sum * inv;
            sum = sum + get(x + radius + 1) + get(x - radius) * -1.0f;
        }
        std::copy(line.begin(), line.end(), row);
    }
}

template <typename T>
void transpose(std::vector<T> &v, int w, int h)
{
    std::vector<T> t(v.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            t[static_cast<size_t>(x * h + y)] = v[static_cast<size_t>(y * w + x)];
    v.swap(t);
}

template <typename T>
void blur_any(std::vector<T> &v, int w, int h, int radius, bool wrap)
{
    if (radius <= 0)
        return;
    for (int pass = 0; pass < 3; ++pass)
        box_rows(v, w, h, radius, wrap);
    transpose(v, w, h);
    for (int pass = 0; pass < 3; ++pass)
        box_rows(v, h, w, radius, wrap);
    transpose(v, h, w);
}

float coverage(float distance, float half_width)
{
    // One pixel of antialiasing around the edge.
    return std::clamp(half_width - distance + 0.5f, 0.0f, 1.0f);
}

void put_max(Mask &m, int x, int y, float c)
{
    if (x < 0 || y < 0 || x >= m.width || y >= m.height)
        return;
    float &d = m.at(x, y);
    d = std::max(d, c);
}

}  // namespace

void blur(Mask &mask, int radius, bool wrap)
{
    blur_any(mask.v, mask.width, mask.height, radius, wrap);
}
void blur(Image &image, int radius, bool wrap)
{
    blur_any(image.px, image.width, image.height, radius, wrap);
}

void stroke_line(Mask &mask, float x0, float y0, float x1, float y1, float width, float strength)
{
    const float hw = width * 0.5f;
    const int xa = static_cast<int>(std::floor(std::min(x0, x1) - hw - 2));
    const int xb = static_cast<int>(std::ceil(std::max(x0, x1) + hw + 2));
    const int ya = static_cast<int>(std::floor(std::min(y0, y1) - hw - 2));
    const int yb = static_cast<int>(std::ceil(std::max(y0, y1) + hw + 2));
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = dx * dx + dy * dy;
    for (int y = std::max(ya, 0); y <= std::min(yb, mask.height - 1); ++y) {
        for (int x = std::max(xa, 0); x <= std::min(xb, mask.width - 1); ++x) {
            const float px = static_cast<float>(x) + 0.5f - x0,
                        py = static_cast<float>(y) + 0.5f - y0;
            const float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
            const float ex = px - t * dx, ey = py - t * dy;
            const float c = coverage(std::sqrt(ex * ex + ey * ey), hw);
            if (c > 0)
                put_max(mask, x, y, c * strength);
        }
    }
}

void fill_ellipse(Mask &mask, float cx, float cy, float rx, float ry, float strength)
{
    for (int y = static_cast<int>(cy - ry - 2); y <= static_cast<int>(cy + ry + 2); ++y) {
        for (int x = static_cast<int>(cx - rx - 2); x <= static_cast<int>(cx + rx + 2); ++x) {
            const float px = (static_cast<float>(x) + 0.5f - cx) / rx,
                        py = (static_cast<float>(y) + 0.5f - cy) / ry;
            const float d = std::sqrt(px * px + py * py);
            // Distance to the rim in pixels, approximately.
            const float edge = (1.0f - d) * std::min(rx, ry);
            const float c = std::clamp(edge + 0.5f, 0.0f, 1.0f);
            if (c > 0)
                put_max(mask, x, y, c * strength);
        }
    }
}

void stroke_circle(Mask &mask, float cx, float cy, float radius, float width, float strength)
{
    const float hw = width * 0.5f;
    for (int y = static_cast<int>(cy - radius - hw - 2);
         y <= static_cast<int>(cy + radius + hw + 2); ++y) {
        for (int x = static_cast<int>(cx - radius - hw - 2);
             x <= static_cast<int>(cx + radius + hw + 2); ++x) {
            const float px = static_cast<float>(x) + 0.5f - cx,
                        py = static_cast<float>(y) + 0.5f - cy;
            const float d = std::fabs(std::sqrt(px * px + py * py) - radius);
            const float c = coverage(d, hw);
            if (c > 0)
                put_max(mask, x, y, c * strength);
        }
    }
}

}  // namespace assets
