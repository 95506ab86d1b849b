// effekt3: eight metaballs textured with one picture, with the credits and
// then the greetings faded over them; a fixed 800 frames.
#include "effects/effekt3.h"

#include <cstdint>
#include <cstdlib>

#include "effects/metapass.h"
#include "graphics/tga.h"

static meta_screen screen;  // XRES, XRES_DIV2, YRES_DIV2, GlVerts, Index
static uint32_t *meta_texture;
static TEXTURE meta_texture_tex;
static uint32_t *eat_texture;  // greetings
static X_Y_TEX eat_texture_x_y;
static uint32_t *eat_texture2;  // credits
static X_Y_TEX eat_texture_x_y2;

static const int BALLS = 8;
static const float FRAMES = 800.0f;

static uint32_t *read_picture(const char *name)
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
    return pic;
}

int init_effekt3(int xres, int yres)
{
    init_meta_screen(&screen, xres, yres);
    meta_texture = read_picture("gfx/metal.tga");
    meta_texture_tex.picture = meta_texture;
    meta_texture_tex.width = 256;
    eat_texture = meta_texture ? read_picture("gfx/greets.tga") : nullptr;
    eat_texture2 = eat_texture ? read_picture("gfx/credits.tga") : nullptr;
    if (!eat_texture2) {
        close_effekt3();
        return 0;
    }
    return 1;
}

float effekt3_brightness(float x)
{
    const float k = 1.6666666f;  // 5/3: 0 to about 248.3 over 150 frames
    return x < 150.0f ? k * x : k * (299.0f - x);
}

void effekt3()
{
    FlushTmus();
    load_texture_2tmu(&meta_texture_tex);
    // Both pictures on TMU 1, one after the other.
    load_x_y_texture(256, 1, eat_texture, &eat_texture_x_y);
    load_x_y_texture(256, 1, eat_texture2, &eat_texture_x_y2);
    // Fields of the vertices the pass does not write start from zero on
    // every run, as on the first.
    for (GrVertex &v : screen.GlVerts)
        v = GrVertex{};
    meta_surface s;
    if (!meta_surface_start(&s, 1.2f))
        return;
    float t = 0.0f, f = 0.0f;
    // Set once: after the first picture the surface is drawn with the
    // negative culling and always-pass depth test that the picture leaves.
    grCullMode(GR_CULL_POSITIVE);
    z_standard();

    do {
        grBufferClear(0, 0, 0xFFFF);
        move_bollar(t, BALLS, s.balls);
        meta_field_update(&s, BALLS);
        gouraud_off();
        set_texture(&meta_texture_tex);
        draw_meta_triangles(&screen, s.buffer, s.n, nullptr);
        if (f < 300.0f)
            draw_fullscreen_pic(&screen, &eat_texture_x_y2, effekt3_brightness(f));
        if (f > 300.0f && f < 600.0f)
            draw_fullscreen_pic(&screen, &eat_texture_x_y, effekt3_brightness(f - 300.0f));
        t += 0.06f;
        f += 1.0f;
        grBufferSwap(1);
    } while (f < FRAMES);

    meta_surface_end(&s);
}

void close_effekt3()
{
    free(meta_texture);
    free(eat_texture);
    free(eat_texture2);
    meta_texture = eat_texture = eat_texture2 = nullptr;
    meta_texture_tex.picture = nullptr;
    release_x_y_texture(&eat_texture_x_y);
    release_x_y_texture(&eat_texture_x_y2);
}
