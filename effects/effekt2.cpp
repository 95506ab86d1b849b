// effekt2: six metaballs textured with one picture, a second picture fading
// in over them, and a fade to black.
#include "effects/effekt2.h"

#include <cstdint>
#include <cstdlib>

#include "demo/globals.h"
#include "effects/metapass.h"
#include "graphics/tga.h"

static meta_screen screen;  // XRES, XRES_DIV2, YRES_DIV2, GlVerts, Index
static uint32_t *meta_texture;
static TEXTURE meta_texture_tex;
static uint32_t *eat_texture;
static X_Y_TEX eat_texture_x_y;

static const int BALLS = 6;

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

int init_effekt2(int xres, int yres)
{
    init_meta_screen(&screen, xres, yres);
    meta_texture = read_picture("gfx/meta.tga");
    meta_texture_tex.picture = meta_texture;
    meta_texture_tex.width = 256;
    eat_texture = meta_texture ? read_picture("gfx/spider.tga") : nullptr;
    if (!eat_texture) {
        close_effekt2();
        return 0;
    }
    return 1;
}

// One frame's surface: clear, move the balls, update the field.
static void surface_frame(meta_surface *s, float t)
{
    grBufferClear(0, 0, 0xFFFF);
    move_bollar(t, BALLS, s->balls);
    meta_field_update(s, BALLS);
}

void effekt2()
{
    FlushTmus();
    load_texture_2tmu(&meta_texture_tex);
    load_x_y_texture(256, 1, eat_texture, &eat_texture_x_y);
    // Fields of the vertices the pass does not write start from zero on
    // every run, as on the first.
    for (GrVertex &v : screen.GlVerts)
        v = GrVertex{};
    meta_surface s;
    if (!meta_surface_start(&s, 0.8f))
        return;
    float t = 0.0f;
    grCullMode(GR_CULL_POSITIVE);
    z_standard();

    // Scene 1: the surface alone, drawn with the opaque blending effect 1
    // left behind.
    do {
        surface_frame(&s, t);
        gouraud_off();
        set_texture(&meta_texture_tex);
        draw_meta_triangles(&screen, s.buffer, s.n, nullptr);
        t += 0.06f;
        grBufferSwap(1);
    } while (sync_value() != 5);

    // Scene 2: the picture fades in over 50 frames. The picture leaves
    // culling and the depth test changed, so they are set back every frame.
    float c = 0.0f;
    do {
        surface_frame(&s, t);
        gouraud_off();
        grCullMode(GR_CULL_POSITIVE);
        z_standard();
        set_texture(&meta_texture_tex);
        draw_meta_triangles(&screen, s.buffer, s.n, nullptr);
        const float brightness = c < 50.0f ? 5.0f * c : 255.0f;
        draw_fullscreen_pic(&screen, &eat_texture_x_y, brightness);
        t += 0.06f;
        c += 1.0f;
        grBufferSwap(1);
    } while (sync_value() != 4);

    // Scene 3: 32 frames, shades 255, 247, ... 7 (the last is not black).
    c = 0.0f;
    do {
        surface_frame(&s, t);
        gouraud_on();
        grCullMode(GR_CULL_POSITIVE);
        z_standard();
        set_texture(&meta_texture_tex);
        const float shade = 255.0f - c;
        draw_meta_triangles(&screen, s.buffer, s.n, &shade);
        t += 0.06f;
        c += 8.0f;
        grBufferSwap(1);
    } while (c < 250.0f);

    meta_surface_end(&s);
}

void close_effekt2()
{
    free(meta_texture);
    free(eat_texture);
    meta_texture = eat_texture = nullptr;
    meta_texture_tex.picture = nullptr;
    release_x_y_texture(&eat_texture_x_y);
}
