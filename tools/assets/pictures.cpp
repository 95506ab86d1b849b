#include "tools/assets/pictures.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/assets/font.h"

namespace assets {
namespace {

constexpr float kTau = 6.28318530718f;
constexpr int N = 256;

uint32_t hash3(uint32_t a, uint32_t b, uint32_t seed)
{
    uint32_t h = a * 0x8DA6B343u ^ b * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

float smooth(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
float smoothstep(float a, float b, float x)
{
    const float t = clamp01((x - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Fractal sum of tile_noise, octaves doubling the lattice; stays periodic.
float tile_fbm(float x, float y, int cells, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * tile_noise(x, y, cells << o, seed + static_cast<uint32_t>(o) * 101u);
        norm += amp;
        amp *= 0.5f;
    }
    return sum / norm;
}

// Cosine palette: rich saturated hues for t in 0..1.
Rgb palette(float t, Rgb phase)
{
    return {0.5f + 0.5f * std::cos(kTau * (t + phase.r)),
            0.5f + 0.5f * std::cos(kTau * (t + phase.g)),
            0.5f + 0.5f * std::cos(kTau * (t + phase.b))};
}

// Shortest signed distance on the 256-pixel torus.
float wrap_delta(float a, float b)
{
    float d = a - b;
    if (d > N / 2)
        d -= N;
    if (d < -N / 2)
        d += N;
    return d;
}

// Fades the outermost pixels to black, so that a glow never reaches the
// screen's edge when the picture is added over a scene.
void black_border(Image &img, int width)
{
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int d = std::min({x, y, img.width - 1 - x, img.height - 1 - y});
            if (d < width)
                img.at(x, y) = img.at(x, y) * (static_cast<float>(d) / static_cast<float>(width));
        }
}

template <typename F>
void for_each_pixel(Image &img, F &&f)
{
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.at(x, y) = f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
}

// Adds a mask with a colour chosen per pixel.
void add_mask_with(Image &img, const Mask &m, const std::function<Rgb(int, int)> &colour)
{
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const float c = m.at(x, y);
            if (c > 0)
                img.at(x, y) = img.at(x, y) + colour(x, y) * c;
        }
}

// Text with a soft glow: glow colour under the letters, vertical gradient in them.
void glowing_text(Image &img, const Mask &text, int glow_radius, Rgb glow, Rgb top, Rgb bottom,
                  int y0, int y1)
{
    Mask halo = text;
    blur(halo, glow_radius);
    add_mask(img, halo, glow);
    add_mask_with(img, text, [&](int, int y) {
        return mix(top, bottom,
                   clamp01(static_cast<float>(y - y0) / static_cast<float>(std::max(1, y1 - y0))));
    });
}

// --- 03: the rippled picture and tunnel wall --------------------------------
// Stained glass: cells around points scattered on the torus (so the tile
// wraps), each a saturated glass colour with a streaky texture, joined by
// dark lead lines with a bright bevel.
Image make_wall()
{
    constexpr int kCells = 42;
    float px[kCells], py[kCells], hue[kCells];
    for (int i = 0; i < kCells; ++i) {
        px[i] = static_cast<float>(hash3(static_cast<uint32_t>(i), 1, 77) % 25600) / 100.0f;
        py[i] = static_cast<float>(hash3(static_cast<uint32_t>(i), 2, 77) % 25600) / 100.0f;
        hue[i] = static_cast<float>(hash3(static_cast<uint32_t>(i), 3, 77) % 1000) / 1000.0f;
    }
    Image img;
    const Rgb phase{0.0f, 0.33f, 0.67f};
    for_each_pixel(img, [&](float x, float y) {
        // A gentle periodic warp makes the cells organic rather than polygonal.
        const float wx = x + 10.0f * (tile_fbm(x, y, 4, 2, 11) - 0.5f);
        const float wy = y + 10.0f * (tile_fbm(x, y, 4, 2, 23) - 0.5f);
        float d1 = 1e9f, d2 = 1e9f;
        int nearest = 0;
        for (int i = 0; i < kCells; ++i) {
            const float dx = wrap_delta(wx, px[i]), dy = wrap_delta(wy, py[i]);
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d < d1) {
                d2 = d1;
                d1 = d;
                nearest = i;
            } else if (d < d2) {
                d2 = d;
            }
        }
        const float edge = d2 - d1;  // 0 on the border between two cells
        // Glass: the cell's hue, drifting a little across the cell, with streaks.
        const float streak = tile_noise_xy(x + 0.5f * y, y, 16, 64, 41);
        const float grain = tile_fbm(x, y, 32, 2, 51);
        Rgb glass = palette(hue[nearest] + 0.08f * (grain - 0.5f), phase);
        glass = glass * (0.55f + 0.35f * streak + 0.25f * grain);
        // Light glows through the middle of each pane.
        glass = glass * (0.75f + 0.5f * std::exp(-d1 * d1 / 300.0f));
        const float lead = 1.0f - smoothstep(1.2f, 3.2f, edge);
        const float bevel = smoothstep(2.6f, 3.4f, edge) * (1.0f - smoothstep(3.4f, 5.0f, edge));
        Rgb c = glass * (1.0f - lead) + Rgb{0.08f, 0.07f, 0.06f} * lead;
        c = c + Rgb{1.0f, 0.95f, 0.8f} * (0.35f * bevel);
        return c;
    });
    return img;
}

// --- q52: title card --------------------------------------------------------
Image make_title(const Font &bold, const Font &regular)
{
    Image img;
    Mask big;
    bold.draw_centred(big, "Q5", 150, 128, 168);
    glowing_text(img, big, 9, Rgb{0.15f, 0.45f, 1.0f}, Rgb{1.0f, 1.0f, 0.85f},
                 Rgb{1.0f, 0.55f, 0.1f}, 55, 168);
    Mask small;
    regular.draw_centred(small, "fast fast prod", 22, 128, 216);
    glowing_text(img, small, 4, Rgb{0.6f, 0.2f, 0.8f}, Rgb{0.9f, 0.9f, 1.0f}, Rgb{0.7f, 0.8f, 1.0f},
                 200, 216);
    // A thin shining rule between them.
    Mask rule;
    stroke_line(rule, 48, 186, 208, 186, 1.5f);
    for (int x = 0; x < N; ++x) {
        const float fade = 1.0f - std::fabs((static_cast<float>(x) - 128.0f) / 80.0f);
        for (int y = 180; y < 192; ++y)
            rule.at(x, y) *= clamp01(fade);
    }
    Mask rule_glow = rule;
    blur(rule_glow, 3);
    add_mask(img, rule_glow, Rgb{0.4f, 0.7f, 1.0f});
    add_mask(img, rule, Rgb{1, 1, 1});
    black_border(img, 6);
    return img;
}

// --- plinux: made-on-Linux badge ---------------------------------------------
Image make_badge(const Font &bold)
{
    Image img;
    // Dim blue disc with a bright steel ring.
    Mask disc;
    fill_ellipse(disc, 128, 128, 112, 112);
    add_mask_with(img, disc, [](int, int y) {
        return mix(Rgb{0.05f, 0.12f, 0.35f}, Rgb{0.02f, 0.05f, 0.15f}, y / 256.0f);
    });
    Mask ring;
    stroke_circle(ring, 128, 128, 114, 7);
    add_mask_with(img, ring, [](int x, int y) {
        const float t = clamp01((static_cast<float>(x + y) - 40.0f) / 400.0f);
        return mix(Rgb{0.95f, 0.97f, 1.0f}, Rgb{0.35f, 0.45f, 0.7f}, t);
    });
    Mask inner;
    stroke_circle(inner, 128, 128, 104, 1.5f);
    add_mask(img, inner, Rgb{0.5f, 0.65f, 1.0f});

    // Our penguin: body, belly, eyes, beak and feet from ellipses.
    const float px = 128, py = 124;
    Mask body, belly, eyes, pupils, beak, feet;
    fill_ellipse(body, px, py, 32, 42);
    fill_ellipse(body, px, py - 38, 20, 19);
    fill_ellipse(body, px - 31, py + 4, 8, 24);  // flippers
    fill_ellipse(body, px + 31, py + 4, 8, 24);
    fill_ellipse(belly, px, py + 8, 22, 31);
    fill_ellipse(belly, px - 7, py - 40, 7, 9);
    fill_ellipse(belly, px + 7, py - 40, 7, 9);
    fill_ellipse(pupils, px - 6, py - 38, 3, 4);
    fill_ellipse(pupils, px + 6, py - 38, 3, 4);
    fill_ellipse(beak, px, py - 27, 10, 5);
    fill_ellipse(feet, px - 16, py + 42, 13, 6);
    fill_ellipse(feet, px + 16, py + 42, 13, 6);
    // Layers replace what lies below them.
    auto paint = [&](const Mask &m, Rgb c) {
        for (size_t i = 0; i < img.px.size(); ++i)
            img.px[i] = mix(img.px[i], c, m.v[i]);
    };
    paint(body, Rgb{0.22f, 0.26f, 0.36f});
    Mask body_rim = body;
    blur(body_rim, 2);
    for (size_t i = 0; i < body_rim.v.size(); ++i)
        body_rim.v[i] = body.v[i] * (1.0f - body_rim.v[i]) * 2.0f;
    add_mask(img, body_rim, Rgb{0.6f, 0.75f, 1.0f});
    paint(belly, Rgb{0.95f, 0.95f, 0.92f});
    paint(pupils, Rgb{0.05f, 0.05f, 0.08f});
    paint(beak, Rgb{1.0f, 0.72f, 0.1f});
    paint(feet, Rgb{1.0f, 0.65f, 0.08f});

    Mask top, bottom;
    bold.draw_centred(top, "MADE ON", 26, 128, 64);
    bold.draw_centred(bottom, "LINUX", 34, 128, 212);
    glowing_text(img, top, 3, Rgb{0.2f, 0.4f, 0.9f}, Rgb{1, 1, 1}, Rgb{0.75f, 0.85f, 1.0f}, 44, 64);
    glowing_text(img, bottom, 4, Rgb{0.9f, 0.5f, 0.1f}, Rgb{1.0f, 0.95f, 0.5f},
                 Rgb{1.0f, 0.6f, 0.1f}, 186, 212);
    black_border(img, 6);
    return img;
}

// Periodic "normal" coordinates of an environment map: 0 at the centre,
// +-1 a quarter tile away, back to 0 at the edges, smooth across the wrap.
float env_axis(float p) { return std::sin(kTau * (p / N - 0.5f)); }

float torus_gauss(float x, float y, float cx, float cy, float radius)
{
    const float dx = wrap_delta(x, cx), dy = wrap_delta(y, cy);
    return std::exp(-(dx * dx + dy * dy) / (radius * radius));
}

// --- meta: liquid chrome ----------------------------------------------------
Image make_chrome()
{
    Image img;
    for_each_pixel(img, [&](float x, float y) {
        // A slow liquid wobble of the reflected world.
        const float wx = x + 18.0f * (tile_fbm(x, y, 2, 3, 71) - 0.5f);
        const float wy = y + 18.0f * (tile_fbm(x, y, 2, 3, 83) - 0.5f);
        const float v = env_axis(wy);  // -1 up (sky), +1 down (ground)
        const float u = env_axis(wx);
        Rgb c;
        if (v < 0) {
            const float h = -v;
            c = mix(Rgb{0.85f, 0.92f, 1.0f}, Rgb{0.12f, 0.28f, 0.62f}, std::pow(h, 0.6f));
            // Soft cloud bands in the sky.
            c = c + Rgb{0.25f, 0.25f, 0.28f} *
                        (smoothstep(0.55f, 0.8f, tile_fbm(wx, wy * 2, 4, 4, 97)) * h);
        } else {
            const float h = v;
            c = mix(Rgb{0.45f, 0.42f, 0.40f}, Rgb{0.06f, 0.05f, 0.05f}, std::pow(h, 0.5f));
            c = c * (0.75f + 0.5f * tile_fbm(wx * 2, wy, 8, 3, 113));
        }
        // Bright horizon line and dark band just under it.
        c = c + Rgb{1.0f, 0.95f, 0.85f} * (0.9f * std::exp(-v * v * 900.0f));
        c = c * (1.0f - 0.45f * std::exp(-(v - 0.06f) * (v - 0.06f) * 600.0f));
        // Two tall soft strip lights reflected in the sky half.
        const float strips = std::exp(-std::pow(wrap_delta(wx, 178) / 9.0f, 4.0f)) +
                             0.7f * std::exp(-std::pow(wrap_delta(wx, 30) / 6.0f, 4.0f));
        c = c + Rgb{0.55f, 0.6f, 0.65f} *
                    (strips * smoothstep(0.05f, 0.25f, -v) * (0.4f + 0.6f * std::fabs(u)));
        // The highlight: a hot core and a broad glow, up and to the left.
        c = c + Rgb{1, 1, 1} * (1.6f * torus_gauss(x, y, 92, 86, 7.0f) +
                                0.45f * torus_gauss(x, y, 92, 86, 26.0f));
        return c;
    });
    return img;
}

// --- metal: brushed gold ----------------------------------------------------
Image make_gold()
{
    Image img;
    for_each_pixel(img, [&](float x, float y) {
        // Brushing: noise stretched along x (few cells across, many down).
        const float streak = 0.45f * tile_noise_xy(x, y, 4, 128, 131) +
                             0.35f * tile_noise_xy(x, y, 8, 256, 137) +
                             0.2f * tile_fbm(x, y, 4, 2, 139);
        const float v = env_axis(y), u = env_axis(x);
        // Anisotropic sheen: broad vertical gradient with a band of light.
        const float band = std::exp(-(v + 0.25f) * (v + 0.25f) * 6.0f) +
                           0.5f * std::exp(-(v - 0.6f) * (v - 0.6f) * 10.0f);
        const float base = 0.25f + 0.55f * band + 0.15f * u;
        Rgb c = Rgb{0.95f, 0.66f, 0.26f} * (base * (0.8f + 0.45f * streak));
        c = c + Rgb{0.35f, 0.12f, 0.02f} * (0.3f * (1.0f - band));
        // Warm specular streak and a hot spot.
        c = c +
            Rgb{1.0f, 0.9f, 0.6f} * (0.9f * torus_gauss(x, y, 150, 80, 9.0f) +
                                     0.35f * std::exp(-std::pow(wrap_delta(y, 80) / 6.0f, 2.0f)) *
                                         (0.6f + 0.6f * streak));
        return c;
    });
    return img;
}

// --- spider: web and spider ------------------------------------------------
Image make_spider()
{
    Image img;
    Mask web, dew;
    const float cx = 128, cy = 112;
    constexpr int kSpokes = 17;
    float angle[kSpokes], reach[kSpokes];
    for (int i = 0; i < kSpokes; ++i) {
        angle[i] = kTau *
                   (static_cast<float>(i) +
                    0.35f * (static_cast<float>(hash3(i, 1, 5) % 1000) / 1000.0f - 0.5f)) /
                   kSpokes;
        reach[i] = 190.0f;
        stroke_line(web, cx, cy, cx + reach[i] * std::cos(angle[i]),
                    cy + reach[i] * std::sin(angle[i]), 1.1f, 0.9f);
    }
    // Spiral: rings between neighbouring spokes, each thread sagging outward a little.
    for (int ring = 0; ring < 13; ++ring) {
        for (int i = 0; i < kSpokes; ++i) {
            const int j = (i + 1) % kSpokes;
            const float a0 = angle[i], a1 = angle[j] + (j == 0 ? kTau : 0.0f);
            const float r0 = 16.0f + 9.5f * (ring + static_cast<float>(i) / kSpokes);
            const float r1 = 16.0f + 9.5f * (ring + static_cast<float>(i + 1) / kSpokes);
            const float x0 = cx + r0 * std::cos(a0), y0 = cy + r0 * std::sin(a0);
            const float x1 = cx + r1 * std::cos(a1), y1 = cy + r1 * std::sin(a1);
            const float am = 0.5f * (a0 + a1), rm = 0.5f * (r0 + r1) * 0.94f + 0.5f;
            const float xm = cx + rm * std::cos(am), ym = cy + rm * std::sin(am);
            constexpr int kSteps = 6;
            for (int s = 0; s < kSteps; ++s) {
                // Quadratic curve through the chord's sagging midpoint.
                auto at = [&](float t, float &ox, float &oy) {
                    const float a = (1 - t) * (1 - t), b = 2 * (1 - t) * t, c = t * t;
                    ox = a * x0 + b * (2 * xm - 0.5f * (x0 + x1)) + c * x1;
                    oy = a * y0 + b * (2 * ym - 0.5f * (y0 + y1)) + c * y1;
                };
                float ax, ay, bx, by;
                at(static_cast<float>(s) / kSteps, ax, ay);
                at(static_cast<float>(s + 1) / kSteps, bx, by);
                stroke_line(web, ax, ay, bx, by, 0.9f, 0.8f);
            }
            if (hash3(static_cast<uint32_t>(ring), static_cast<uint32_t>(i), 9) % 5 == 0) {
                const float t =
                    static_cast<float>(
                        hash3(static_cast<uint32_t>(ring), static_cast<uint32_t>(i), 10) % 100) /
                    100.0f;
                fill_ellipse(dew, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, 1.6f, 1.6f);
            }
        }
    }
    Mask glow = web;
    blur(glow, 1);
    add_mask(img, glow, Rgb{0.25f, 0.35f, 0.6f});
    add_mask_with(img, web, [&](int x, int y) {
        const float ex = static_cast<float>(x) - cx, ey = static_cast<float>(y) - cy;
        const float d = std::sqrt(ex * ex + ey * ey) / 180.0f;
        return mix(Rgb{0.95f, 0.97f, 1.0f}, Rgb{0.45f, 0.55f, 0.75f}, clamp01(d));
    });
    Mask dew_glow = dew;
    blur(dew_glow, 2);
    add_mask(img, dew_glow, Rgb{0.6f, 0.8f, 1.0f});
    add_mask(img, dew, Rgb{1, 1, 1});

    // The spider, head up, sitting at the hub.
    const float sx = cx, sy = cy + 8;
    Mask legs, body, marks, eyes;
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 4; ++k) {
            const float base_a = (-50.0f + 32.0f * static_cast<float>(k)) * kTau / 360.0f;
            const float hx = sx + side * 7.0f, hy = sy - 12.0f + 4.0f * static_cast<float>(k);
            const float kx = hx + side * 26.0f * std::cos(base_a),
                        ky = hy + 26.0f * std::sin(base_a) - 10.0f;
            const float fx = kx + side * 22.0f * std::cos(base_a + 0.5f),
                        fy = ky + 30.0f * std::sin(base_a * 0.8f + 0.9f);
            stroke_line(legs, hx, hy, kx, ky, 3.2f);
            stroke_line(legs, kx, ky, fx, fy, 2.2f);
        }
    }
    fill_ellipse(body, sx, sy - 12, 10, 11);  // head and thorax
    fill_ellipse(body, sx, sy + 14, 16, 21);  // abdomen
    fill_ellipse(marks, sx, sy + 6, 4, 3);
    fill_ellipse(marks, sx - 6, sy + 14, 3, 3);
    fill_ellipse(marks, sx + 6, sy + 14, 3, 3);
    fill_ellipse(marks, sx, sy + 22, 5, 3);
    fill_ellipse(eyes, sx - 4, sy - 19, 1.8f, 1.8f);
    fill_ellipse(eyes, sx + 4, sy - 19, 1.8f, 1.8f);
    auto paint = [&](const Mask &m, Rgb c) {
        for (size_t i = 0; i < img.px.size(); ++i)
            img.px[i] = mix(img.px[i], c, m.v[i]);
    };
    paint(legs, Rgb{0.38f, 0.30f, 0.45f});
    paint(body, Rgb{0.30f, 0.10f, 0.12f});
    // Sheen on the body's upper left.
    add_mask_with(img, body, [&](int x, int y) {
        const float gx = static_cast<float>(x) - (sx - 6), gy = static_cast<float>(y) - (sy + 6);
        const float g = std::exp(-(gx * gx + gy * gy) / 60.0f);
        return Rgb{0.7f, 0.5f, 0.6f} * g;
    });
    paint(marks, Rgb{1.0f, 0.75f, 0.15f});
    paint(eyes, Rgb{1.0f, 0.2f, 0.15f});
    Mask outline = legs;
    for (size_t i = 0; i < outline.v.size(); ++i)
        outline.v[i] = std::max(outline.v[i], body.v[i]);
    Mask rim = outline;
    blur(rim, 1);
    for (size_t i = 0; i < rim.v.size(); ++i)
        rim.v[i] = clamp01(rim.v[i] * (1.0f - outline.v[i]) * 3.0f);
    add_mask(img, rim, Rgb{0.55f, 0.5f, 0.7f});
    // The glow's faint haze would lift the whole scene it is added to: keep
    // the background black.
    const float floor_level = 3.0f / 255.0f;
    for (Rgb &p : img.px)
        p = {std::max(0.0f, p.r - floor_level), std::max(0.0f, p.g - floor_level),
             std::max(0.0f, p.b - floor_level)};
    return img;
}

// --- credits and greets ----------------------------------------------------
Image make_credits(const Font &bold, const Font &regular)
{
    Image img;
    Mask title;
    bold.draw_centred(title, "q5", 64, 128, 72);
    glowing_text(img, title, 6, Rgb{0.9f, 0.35f, 0.1f}, Rgb{1.0f, 1.0f, 0.8f},
                 Rgb{1.0f, 0.6f, 0.15f}, 26, 72);
    Mask lines;
    regular.draw_centred(lines, "fast fast prod by", 18, 128, 108);
    const std::string makers = "fennamovirelsardandan";
    bold.draw_centred(lines, makers, bold.fit(makers, 22, 236), 128, 146);
    regular.draw_centred(lines, "old gfx by", 16, 128, 178);
    bold.draw_centred(lines, "tullo", 20, 128, 200);
    regular.draw_centred(lines, "at ovrun7", 18, 128, 236);
    glowing_text(img, lines, 3, Rgb{0.15f, 0.3f, 0.8f}, Rgb{0.9f, 0.95f, 1.0f},
                 Rgb{0.6f, 0.8f, 1.0f}, 90, 236);
    black_border(img, 6);
    return img;
}

Image make_greets(const Font &bold, const Font &regular)
{
    Image img;
    Mask title;
    bold.draw_centred(title, "greetings", 36, 128, 50);
    glowing_text(img, title, 5, Rgb{0.2f, 0.8f, 0.4f}, Rgb{0.95f, 1.0f, 0.8f},
                 Rgb{0.4f, 1.0f, 0.5f}, 22, 50);
    static const char *const kLines[] = {
        "to all who keep linux alive,", "the coders of 3d hardware", "and the drivers that run it,",
        "the party organisers",         "and every scener",          "still coding at dawn",
    };
    Mask lines;
    float y = 92;
    for (const char *line : kLines) {
        regular.draw_centred(lines, line, 16, 128, y);
        y += 27;
    }
    glowing_text(img, lines, 3, Rgb{0.5f, 0.2f, 0.7f}, Rgb{1.0f, 0.95f, 1.0f},
                 Rgb{0.8f, 0.75f, 1.0f}, 78, 230);
    black_border(img, 6);
    return img;
}

}  // namespace

float tile_noise_xy(float x, float y, int cells_x, int cells_y, uint32_t seed)
{
    // Value noise on a cells_x x cells_y lattice over the 256-pixel tile;
    // lattice indices wrap, so the tile repeats seamlessly.
    const float fx = x * static_cast<float>(cells_x) / N, fy = y * static_cast<float>(cells_y) / N;
    const float ix = std::floor(fx), iy = std::floor(fy);
    const float tx = smooth(fx - ix), ty = smooth(fy - iy);
    auto lattice = [&](float a, float b) {
        const int ia = ((static_cast<int>(a) % cells_x) + cells_x) % cells_x;
        const int ib = ((static_cast<int>(b) % cells_y) + cells_y) % cells_y;
        return static_cast<float>(
                   hash3(static_cast<uint32_t>(ia), static_cast<uint32_t>(ib), seed) & 0xFFFF) /
               65535.0f;
    };
    const float a = lattice(ix, iy), b = lattice(ix + 1, iy), c = lattice(ix, iy + 1),
                d = lattice(ix + 1, iy + 1);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float tile_noise(float x, float y, int cells, uint32_t seed)
{
    return tile_noise_xy(x, y, cells, cells, seed);
}

std::vector<PictureFile> make_pictures(const std::string &font_dir)
{
    const Font bold(font_dir + "/DejaVuSans-Bold.ttf");
    const Font regular(font_dir + "/DejaVuSans.ttf");
    // The full-screen pictures over the metaballs and the title card are drawn
    // with texture row 255 at the top of the screen, so they are stored top row
    // first; the badge and the maps are drawn with row 0 at the top.
    std::vector<PictureFile> out;
    out.push_back({"03.tga", TgaOrigin::bottom_left, make_wall()});
    out.push_back({"q52.tga", TgaOrigin::top_left, make_title(bold, regular)});
    out.push_back({"plinux.tga", TgaOrigin::bottom_left, make_badge(bold)});
    out.push_back({"meta.tga", TgaOrigin::bottom_left, make_chrome()});
    out.push_back({"spider.tga", TgaOrigin::top_left, make_spider()});
    out.push_back({"metal.tga", TgaOrigin::bottom_left, make_gold()});
    out.push_back({"credits.tga", TgaOrigin::top_left, make_credits(bold, regular)});
    out.push_back({"greets.tga", TgaOrigin::top_left, make_greets(bold, regular)});
    return out;
}

}  // namespace assets
