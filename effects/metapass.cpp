// metapass: metaball surface pass shared by effects 2 and 3.
#include "effects/metapass.h"

#include <cmath>
#include <cstdlib>

#include "demo/globals.h"
#include "geometry/matte.h"

void init_meta_screen(meta_screen *screen, int xres, int yres)
{
    screen->XRES = (float)xres;
    screen->XRES_DIV2 = 0.5f * (float)xres;
    screen->YRES_DIV2 = 0.5f * (float)yres;
    for (int i = 31; i >= 0; i--)
        screen->Index[i] = i;
}

int meta_surface_start(meta_surface *s, float isolevel)
{
    s->n = 0;
    s->buffer = nullptr;
    if (!create_grid(20, 20, 20, -9.0f, 1.0f, -9.0f, 1.0f, -9.0f, 1.0f, &s->g))
        return 0;
    s->buffer = (poly *)malloc(sizeof(poly) * META_MAX_POLYS);
    if (!s->buffer) {
        close_grid(&s->g);
        return 0;
    }
    for (boll &b : s->balls)
        b = {0.0f, 0.0f, 3.0f, 0.0f};
    set_isolevel(isolevel);
    return 1;
}

void meta_surface_end(meta_surface *s)
{
    free(s->buffer);
    s->buffer = nullptr;
    close_grid(&s->g);
}

// Frequencies of the ball paths: x = 7 sin(a t), y = 7 sin(b t),
// z = 7 sin(c t) + 3, so every ball stays inside the grid.
static const double BALL_PATH[8][3] = {
    {1.0, 0.5, 0.8}, {1.3, 1.5, 0.2}, {0.2, 0.2, 1.8}, {0.4, 0.4, 0.7},
    {0.7, 0.5, 1.3}, {0.6, 0.3, 0.2}, {2.1, 0.1, 2.3}, {1.6, 0.5, 1.2},
};

void move_bollar(float t, int count, boll *balls)
{
    if (count > 8)
        count = 8;
    for (int k = 0; k < count; k++) {
        balls[k].x = (float)(7.0 * std::sin(BALL_PATH[k][0] * t));
        balls[k].y = (float)(7.0 * std::sin(BALL_PATH[k][1] * t));
        balls[k].z = (float)(7.0 * std::sin(BALL_PATH[k][2] * t) + 3.0);
    }
}

int meta_field_update(meta_surface *s, int count)
{
    calculate_bollar_to_grid(count, s->balls, &s->g);
    s->n = polygonize(&s->g, s->buffer, META_MAX_POLYS);
    return s->n;
}

// One Sutherland-Hodgman pass against the plane N.P >= 0 through the eye.
static int clip_plane(const clip_polygon *in, clip_polygon *out, double nx, double ny, double nz)
{
    out->n = 0;
    const int n = in->n;
    for (int i = 0; i < n; i++) {
        const int j = (i + 1) % n;
        const clip_vertex &a = in->v[i], &b = in->v[j];
        const double da = nx * a.f[CLIP_X] + ny * a.f[CLIP_Y] + nz * a.f[CLIP_Z];
        const double db = nx * b.f[CLIP_X] + ny * b.f[CLIP_Y] + nz * b.f[CLIP_Z];
        if (da >= 0.0)
            out->v[out->n++] = a;
        if ((da >= 0.0) != (db >= 0.0)) {
            const double u = (0.0 - da) / (db - da);
            clip_vertex &c = out->v[out->n++];
            for (int k = 0; k < 8; k++)
                c.f[k] = (float)(a.f[k] + u * ((double)b.f[k] - a.f[k]));
            c.f[8] = c.f[9] = 0.0f;
        }
    }
    return out->n;
}

int clip_to_view(clip_polygon *poly, clip_polygon *work)
{
    // Left, right, top, bottom. Each pass adds at most one vertex, so a
    // triangle ends with at most 7, well inside the 32 of the buffers.
    const double planes[4][3] = {
        {XpAngS, 0.0, XpAngC}, {-XpAngS, 0.0, XpAngC}, {0.0, YpAngS, YpAngC}, {0.0, -YpAngS, YpAngC}};
    if (poly->n < 3 || poly->n > 28)
        return poly->n = 0;
    clip_polygon *from = poly, *to = work;
    for (const auto &p : planes) {
        if (clip_plane(from, to, p[0], p[1], p[2]) <= 2) {
            poly->n = 0;
            return 0;
        }
        clip_polygon *swap = from;
        from = to;
        to = swap;
    }
    // An even number of passes: the result is back in poly.
    return poly->n;
}

void project_vertex(const meta_screen *screen, const clip_vertex *cv, GrVertex *out, const float *shade)
{
    const float w = 1.0f / cv->f[CLIP_Z];
    out->x = cv->f[CLIP_X] * screen->XRES * w + screen->XRES_DIV2;
    // y is scaled by the width too, matching the view-angle constants.
    out->y = cv->f[CLIP_Y] * screen->XRES * w + screen->YRES_DIV2;
    out->oow = w;
    out->tmuvtx[0].sow = cv->f[CLIP_S] * w;
    out->tmuvtx[0].tow = cv->f[CLIP_T] * w;
    if (shade)
        out->r = out->g = out->b = *shade;
}

// Clips and projects one triangle into screen->GlVerts; returns the number
// of vertices to draw (0 when nothing is left).
static int prepare_triangle(meta_screen *screen, const matris *m, const poly *p, const float *shade,
                            clip_polygon *a, clip_polygon *b)
{
    a->n = 3;
    for (int k = 0; k < 3; k++) {
        const poly_vertex &pv = p->v[k];
        clip_vertex &cv = a->v[k];
        cv.f[CLIP_X] = m->m[0][0] * pv.x + m->m[0][1] * pv.y + m->m[0][2] * pv.z;
        cv.f[CLIP_Y] = m->m[1][0] * pv.x + m->m[1][1] * pv.y + m->m[1][2] * pv.z;
        // The grid's origin sits 20 units in front of the eye.
        cv.f[CLIP_Z] = m->m[2][0] * pv.x + m->m[2][1] * pv.y + m->m[2][2] * pv.z + 20.0f;
        // Environment-style mapping from the field's slope.
        cv.f[CLIP_S] = 500.0f * pv.nx + 128.0f;
        cv.f[CLIP_T] = 500.0f * pv.ny + 128.0f;
        for (int f = 5; f < 10; f++)
            cv.f[f] = 0.0f;
    }
    const int k = clip_to_view(a, b);
    if (k < 3)
        return 0;
    for (int i = 0; i < k; i++)
        project_vertex(screen, &a->v[i], &screen->GlVerts[i], shade);
    return k;
}

void draw_meta_triangles(meta_screen *screen, const poly *buffer, int n, const float *shade)
{
    matris m;
    make_rotation_matris(0, 0, 0, &m);
    static clip_polygon a, b;
    for (int p = 0; p < n; p++) {
        const int k = prepare_triangle(screen, &m, &buffer[p], shade, &a, &b);
        if (k >= 3)
            grDrawPolygon(k, screen->Index, screen->GlVerts);
    }
}

int meta_frame_work(meta_screen *screen, meta_surface *s, int count, float t)
{
    move_bollar(t, count, s->balls);
    meta_field_update(s, count);
    matris m;
    make_rotation_matris(0, 0, 0, &m);
    static clip_polygon a, b;
    int drawn = 0;
    for (int p = 0; p < s->n; p++)
        drawn += prepare_triangle(screen, &m, &s->buffer[p], nullptr, &a, &b) >= 3;
    return drawn;
}

void draw_fullscreen_pic(const meta_screen *screen, X_Y_TEX *picture, float brightness)
{
    set_x_y_texture(picture);
    GrVertex v[4] = {};
    const float xs[4] = {0, 2 * screen->XRES_DIV2, 2 * screen->XRES_DIV2, 0};
    const float ys[4] = {0, 0, 2 * screen->YRES_DIV2, 2 * screen->YRES_DIV2};
    // t = 255 on the top edge of the screen, 0 on the bottom.
    const float ss[4] = {0, 255, 255, 0};
    const float ts[4] = {255, 255, 0, 0};
    for (int k = 0; k < 4; k++) {
        v[k].x = xs[k];
        v[k].y = ys[k];
        v[k].z = 1.0f;
        v[k].oow = 1.0f;
        v[k].r = v[k].g = v[k].b = brightness;
        for (GrTmuVertex &tv : v[k].tmuvtx) {
            tv.sow = ss[k];
            tv.tow = ts[k];
        }
    }
    set_add_transparenty();
    gouraud_on();
    grCullMode(GR_CULL_NEGATIVE);
    z_always();
    grDrawTriangle(&v[0], &v[1], &v[2]);
    grDrawTriangle(&v[2], &v[3], &v[0]);
    set_non_transparenty();
    gouraud_off();
}
