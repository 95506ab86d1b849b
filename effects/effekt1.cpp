// effekt1: ripple, tunnel and fade-out over a 41x31 screen mesh.
#include "effects/effekt1.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "demo/globals.h"
#include "graphics/3dfx.h"
#include "graphics/tga.h"

static float XRES, YRES, XRES_DIV2, YRES_DIV2;

// The screen mesh, 31 rows of 41 vertices, and the wave field one row and
// column larger (its differences give the mesh's texture offsets). The field
// is 16.16 fixed point.
static GrVertex uvmap[31][41];
static int32_t tja[32][42];

static uint32_t *texture, *pic1, *pic2;
static TEXTURE texture_tex, pic1_tex, pic2_tex;

// 4*atan(2), not pi: the tunnel's angular texture coordinate covers 0 to
// about 181.6 rather than the whole 256.
static const float PI = (float)(4.0 * std::atan(2.0));

static float Synvinkel_x, Synvinkel_y, KON_RADIE, EPSILON;
static float Ox, Oy, Oz, DDx, DDy, DDz;
static float WHITE;

// Texture coordinates of a flat field: the middle of the picture, in 16.16.
static const int32_t CENTRE16 = 8388608;

// ---------------------------------------------------------------------------
// Wave field.

// Adds one source's term w(d, d2) to every value of the field.
template <typename Term>
static void add_wave(float cx, float cy, Term w)
{
    for (int i = 0; i < 32; i++) {
        const float dy2 = ((float)i - cy) * ((float)i - cy);
        for (int j = 0; j < 42; j++) {
            const float d2 = ((float)j - cx) * ((float)j - cx) + dy2;
            const float d = (float)std::sqrt(d2);
            double v = (double)tja[i][j] + 65536.0 * (double)w(d, d2);
            // The motions keep the sum within about 1.75e9; the clamp only
            // guards the conversion.
            if (v > 2147483647.0)
                v = 2147483647.0;
            if (v < -2147483648.0)
                v = -2147483648.0;
            tja[i][j] = (int32_t)v;
        }
    }
}

static float angle_a, angle_b, angle_c;

static void wave_field(float phi)
{
    for (auto &row : tja)
        for (int32_t &v : row)
            v = 0;
    const double a = angle_a, b = angle_b, c = angle_c;
    const float k1 = (float)(0.5 * std::sin(0.5 * a));
    const float k3 = (float)(0.5 * std::sin(0.5 * b));
    const float k4 = (float)(0.005 * std::sin(0.5 * c));

    add_wave((float)(16 + 20 * std::sin(a)), (float)(16 + 20 * std::sin(0.4 * a)),
             [&](float d, float) { return (float)(256.0 * std::sin((double)(d * k1) + phi)); });
    add_wave((float)(16 + 10 * std::sin(b)), (float)(16 + 6 * std::sin(1.4 * b)),
             [&](float d, float) { return (float)(256.0 * std::sin((double)(d * 0.35f) + phi)); });
    add_wave((float)(16 + 16 * std::sin(c)), (float)(16 + 30 * std::sin(0.4 * c)),
             [&](float d, float) { return (float)(256.0 * std::sin((double)(d * k3) + phi)); });
    add_wave((float)(16 + 8 * std::sin(c)), (float)(16 + 10 * std::sin(0.2 * c)),
             [&](float, float d2) { return d2 * d2 * k4; });
    add_wave((float)(16 + 16 * std::sin(a)), (float)(16 + 12 * std::sin(0.6 * a)),
             [&](float, float d2) { return d2 * d2 * 0.002f; });
    add_wave((float)(16 + 16 * std::sin(b)), (float)(16 + 10 * std::sin(0.3 * b)),
             [&](float, float d2) { return d2 * d2 * 0.002f; });

    angle_a = (float)(angle_a + 0.0154);
    angle_b = (float)(angle_b + 0.0222345);
    angle_c = (float)(angle_c + 0.00523459843);
}

// 32-bit differences wrap as on the machine the field was designed for;
// they are formed unsigned so that a wrap is defined.
static int32_t wrap_sub(int32_t a, int32_t b)
{
    return (int32_t)((uint32_t)a - (uint32_t)b);
}

// Texture coordinates from the field's slopes, divided by q (65536 gives
// texels).
static void ripple_coords(float q)
{
    for (int i = 0; i < 31; i++)
        for (int j = 0; j < 41; j++) {
            const int32_t ds = wrap_sub(tja[i][j + 1], tja[i][j]);
            const int32_t dt = wrap_sub(tja[i + 1][j], tja[i][j]);
            const float s = (float)(int32_t)((uint32_t)CENTRE16 + (uint32_t)ds) / q;
            const float t = (float)(int32_t)((uint32_t)CENTRE16 + (uint32_t)dt) / q;
            GrVertex &v = uvmap[i][j];
            v.tmuvtx[0].sow = v.tmuvtx[1].sow = s;
            v.tmuvtx[0].tow = v.tmuvtx[1].tow = t;
            v.oow = 1.0f;
        }
}

static void draw_mesh()
{
    for (int i = 0; i < 30; i++)
        for (int j = 0; j < 40; j++) {
            grDrawTriangle(&uvmap[i][j], &uvmap[i + 1][j], &uvmap[i + 1][j + 1]);
            grDrawTriangle(&uvmap[i][j], &uvmap[i + 1][j + 1], &uvmap[i][j + 1]);
        }
}

// ---------------------------------------------------------------------------
// Tunnel.

static float zoom_pos;

// The far end of the tube: the distance at which a ray that meets no wall
// ends. Of the order the nearly axial rays reach (EPSILON limits their
// distance), where the brightness 90000 / t is below one step.
static const double kFarEnd = 1e6;

// Casts one ray per mesh vertex into the tube x^2 + y^2 = KON_RADIE^2 and
// maps the hit point to texture coordinates (s along the tube, t around it)
// and a brightness that falls with distance.
static void tunnel_vertices(float T, float extra_white)
{
    Synvinkel_x = 23.0f;
    Synvinkel_y = 20.0f;
    KON_RADIE = 256.0f;
    EPSILON = 1e-9f;
    if (zoom_pos + 10000.0f < 15.75f) {
        Ox = 0.0f;
        Oz = 10.0f;
        DDx = 0.0f;
        DDy = -0.3f;
    } else {
        Ox = (float)(99.0 * std::sin(0.007 * T));
        Oz = T + 10.0f;
        DDx = (float)(0.8 * std::sin(0.012 * T));
        DDy = (float)(0.8 * std::sin(0.01 * T));
    }
    DDz = 1.0f;

    const double kc = (double)Ox * Ox + (double)Oy * Oy - (double)KON_RADIE * KON_RADIE;
    for (int i = 0; i < 31; i++) {
        // Row 13 is the horizon, not the middle row 15.
        const float vy = DDy + (float)(i - 13) / Synvinkel_y;
        for (int j = 0; j < 41; j++) {
            const float vx = DDx + (float)(j - 20) / Synvinkel_x;
            const float vz = DDz;
            const float inv =
                (float)(1.0 / (std::sqrt((double)vz * vz + (double)(vx * vx + vy * vy)) + (double)EPSILON));
            const float dx = vx * inv, dy = vy * inv, dz = (float)(vz * inv);

            const double ka = (double)dx * dx + (double)dy * dy;
            const double kb = 2.0 * ((double)Ox * dx + (double)Oy * dy);
            // Inside the tube kc < 0, so the root is real and t1 >= 0. A ray
            // straight down the axis (dx = dy = 0, on the fixed camera's
            // vertex (19, 20)) meets no wall: t1 is +0 and t2 -0. Such a ray,
            // or any distance that is not finite and positive, sees the far
            // end of the tube.
            const float r = (float)std::sqrt(kb * kb - 4.0 * ka * kc);
            const double t1 = (-kb + r) / (2.0 * ka + EPSILON);
            const double t2 = (-kb - r) / (2.0 * ka + EPSILON);
            double t = t1 > 0 ? t1 : t2;
            if (!(t > 0.0) || !std::isfinite(t))
                t = kFarEnd;

            const double hx = Ox + dx * t, hy = Oy + dy * t, hz = Oz + dz * t;
            GrVertex &v = uvmap[i][j];
            v.tmuvtx[0].sow = (float)((float)(0.6 * std::fabs(hz)) + ((double)T - 30720.0));
            v.tmuvtx[0].tow = (float)std::fabs(std::atan2(hy, hx) * 256.0 / PI);
            v.oow = 1.0f;
            float L = (float)(90000.0 / t) + extra_white;
            if (L > 255.0f)
                L = 255.0f;
            // Negative on purpose: the board's colour iterators wrap, so the
            // far end glows and raising L fades the tube out.
            v.r = v.g = v.b = -L;
        }
    }
}

// ---------------------------------------------------------------------------
// Overlay pictures.

void draw_pics(float p)
{
    if (p > 0.0f && p < 30.0f) {
        set_texture(&pic1_tex);
        const float shade = p < 10.0f ? 25.0f * p : (p > 20.0f ? 25.0f * (30.0f - p) : 255.0f);
        GrVertex v[4] = {};
        const float xs[4] = {0, 2 * XRES_DIV2, 2 * XRES_DIV2, 0};
        const float ys[4] = {0, 0, 2 * YRES_DIV2, 2 * YRES_DIV2};
        const float ss[4] = {0, 255, 255, 0};
        const float ts[4] = {255, 255, 0, 0};
        for (int k = 0; k < 4; k++) {
            v[k].x = xs[k];
            v[k].y = ys[k];
            v[k].z = 1.0f;
            v[k].oow = 1.0f;
            v[k].r = v[k].g = v[k].b = shade;
            for (GrTmuVertex &tv : v[k].tmuvtx) {
                tv.sow = ss[k];
                tv.tow = ts[k];
            }
        }
        set_add_transparenty();
        gouraud_on();
        grDrawTriangle(&v[0], &v[1], &v[2]);
        grDrawTriangle(&v[2], &v[3], &v[0]);
        set_non_transparenty();
        gouraud_off();
    }
    if (p < -100.0f) {
        set_texture(&pic2_tex);
        const float m = p + 10001.0f;
        const float hx = XRES_DIV2 / m, hy = YRES_DIV2 / m;
        GrVertex v[4] = {};
        const float xs[4] = {XRES_DIV2 - hx, XRES_DIV2 + hx, XRES_DIV2 + hx, XRES_DIV2 - hx};
        const float ys[4] = {YRES_DIV2 - hy, YRES_DIV2 - hy, YRES_DIV2 + hy, YRES_DIV2 + hy};
        const float ss[4] = {0, 255, 255, 0};
        const float ts[4] = {0, 0, 255, 255};
        for (int k = 0; k < 4; k++) {
            v[k].x = xs[k];
            v[k].y = ys[k];
            v[k].z = m;
            v[k].oow = 1.0f;
            for (GrTmuVertex &tv : v[k].tmuvtx) {
                tv.sow = ss[k];
                tv.tow = ts[k];
            }
        }
        set_add_transparenty();
        gouraud_off();
        grDrawTriangle(&v[0], &v[1], &v[2]);
        grDrawTriangle(&v[2], &v[3], &v[0]);
        set_non_transparenty();
    }
}

// ---------------------------------------------------------------------------
// The effect.

static uint32_t *load_picture(const char *name, TEXTURE *tex)
{
    uint32_t *pic = (uint32_t *)malloc(PICTURE_PIXELS * sizeof(uint32_t));
    if (!pic) {
        set_picture_error(name, "out of memory");
        return nullptr;
    }
    if (!load_tga_24(pic, name)) {
        free(pic);
        return nullptr;
    }
    tex->picture = pic;
    tex->width = tex->height = 256;
    return pic;
}

int init_effekt1(int width, int height)
{
    XRES = (float)width;
    XRES_DIV2 = (float)width * 0.5f;
    YRES = (float)height;
    YRES_DIV2 = (float)height * 0.5f;
    for (int i = 0; i < 31; i++)
        for (int j = 0; j < 41; j++) {
            uvmap[i][j].x = (float)j * ((float)width / 40.0f);
            uvmap[i][j].y = (float)i * ((float)height / 30.0f);
            uvmap[i][j].z = 1.0f;
        }
    texture = load_picture("gfx/03.tga", &texture_tex);
    pic1 = texture ? load_picture("gfx/q52.tga", &pic1_tex) : nullptr;
    pic2 = pic1 ? load_picture("gfx/plinux.tga", &pic2_tex) : nullptr;
    if (!pic2) {
        close_effekt1();
        return 0;
    }
    return 1;
}

void close_effekt1()
{
    free(texture);
    free(pic1);
    free(pic2);
    texture = pic1 = pic2 = nullptr;
}

void effekt1_ripple_work(float phase)
{
    wave_field(phase);
    ripple_coords(65536.0f);
}

void effekt1_tunnel_work(float tunnel_time)
{
    tunnel_vertices(tunnel_time, 0.0f);
}

void effekt1()
{
    FlushTmus();
    load_texture_2tmu(&texture_tex);
    load_texture_2tmu(&pic1_tex);
    load_texture_2tmu(&pic2_tex);

    angle_a = 3.08f;
    angle_b = 4.4469f;
    angle_c = 1.0469197f;
    float ripple_time = 0.0f;
    float overlay_pos = -10.0f;
    float fade = 0.0f;
    zoom_pos = -10000.0f;
    // Reset with the other run variables, and the mesh back to its state
    // after init_effekt1 (positions only), so that a second run draws what
    // the first does.
    WHITE = 0.0f;
    for (auto &row : uvmap)
        for (GrVertex &v : row) {
            const float x = v.x, y = v.y, z = v.z;
            v = GrVertex{};
            v.x = x;
            v.y = y;
            v.z = z;
        }
    z_always();  // for the whole effect
    gouraud_off();

    // Ripple phase: the mesh covers the screen, so no clear.
    do {
        wave_field(ripple_time);
        ripple_coords(65536.0f);
        set_texture(&texture_tex);
        draw_mesh();
        ripple_time += 0.005f;
        overlay_pos += 0.05f;
        draw_pics(overlay_pos);
        grBufferSwap(1);
    } while (sync_value() != 1);

    // Tunnel phase, drawn additively over a last, fading ripple layer.
    float tunnel_time = ripple_time;
    do {
        tunnel_time += 8.24f;
        grBufferClear(0, 0, 0xFFFF);
        const bool ripple_layer = fade < 20.0f;
        // At fade 0 the layer's divisor would be 0 and its coordinates
        // infinite: the first frame of the phase goes without it.
        if (ripple_layer && fade > 0.0f) {
            wave_field(tunnel_time / 1648.0f);  // the same 0.005 per frame as before
            ripple_coords(fade * 65536.0f);
            const float shade = (20.0f - fade) * 25.0f;
            for (auto &row : uvmap)
                for (GrVertex &v : row) {
                    v.r = v.g = v.b = shade;
                    v.a = 0.0f;
                }
            set_texture(&texture_tex);
            set_non_transparenty();
            gouraud_on();
            draw_mesh();
        }
        fade += 0.3f;

        tunnel_vertices(tunnel_time, 0.0f);
        set_texture(&texture_tex);
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL,
                       GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
        set_add_transparenty();
        draw_mesh();
        gouraud_on();

        if (!ripple_layer) {
            zoom_pos += 0.105f;
            if (zoom_pos + 10000.0f < 15.75f)
                draw_pics(zoom_pos);
        }
        grBufferSwap(1);
    } while (sync_value() != 3);

    // Fade-out: the tube brightens to white, 128 frames; no clear.
    do {
        tunnel_vertices(tunnel_time, WHITE);
        set_texture(&texture_tex);
        set_non_transparenty();
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL,
                       GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
        draw_mesh();
        gouraud_on();
        tunnel_time += 8.24f;
        WHITE += 2.0f;
        grBufferSwap(1);
    } while (WHITE < 255.0f);
}
