#include "tools/assets/font.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace assets {

struct Font::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    void set_size(int pixel_height) const
    {
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_height)) != 0)
            throw std::runtime_error("font: cannot set the pixel size");
    }
    // Walks the glyphs: f(bitmap, left, top, pen x in pixels); returns the advance.
    template <typename F>
    float walk(const std::string &text, int pixel_height, F &&f) const
    {
        set_size(pixel_height);
        const bool kerning = FT_HAS_KERNING(face);
        FT_UInt previous = 0;
        long pen = 0;  // 26.6 fixed point
        for (unsigned char c : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face, c);
            if (kerning && previous && glyph) {
                FT_Vector delta;
                FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &delta);
                pen += delta.x;
            }
            if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0)
                throw std::runtime_error("font: cannot render a glyph");
            f(face->glyph->bitmap, face->glyph->bitmap_left, face->glyph->bitmap_top,
              static_cast<float>(pen) / 64.0f);
            pen += face->glyph->advance.x;
            previous = glyph;
        }
        return static_cast<float>(pen) / 64.0f;
    }
};

Font::Font(const std::string &path) : impl_(std::make_unique<Impl>())
{
    if (FT_Init_FreeType(&impl_->library) != 0)
        throw std::runtime_error("font: FreeType does not start");
    if (FT_New_Face(impl_->library, path.c_str(), 0, &impl_->face) != 0) {
        FT_Done_FreeType(impl_->library);
        throw std::runtime_error("font: cannot open " + path);
    }
}

Font::~Font()
{
    FT_Done_Face(impl_->face);
    FT_Done_FreeType(impl_->library);
}

float Font::measure(const std::string &text, int pixel_height) const
{
    return impl_->walk(text, pixel_height, [](const FT_Bitmap &, int, int, float) {});
}

void Font::draw(Mask &mask, const std::string &text, int pixel_height, float x,
                float baseline) const
{
    const int ox = static_cast<int>(std::lround(x));
    const int oy = static_cast<int>(std::lround(baseline));
    impl_->walk(text, pixel_height, [&](const FT_Bitmap &bm, int left, int top, float pen) {
        const int gx = ox + static_cast<int>(std::lround(pen)) + left;
        const int gy = oy - top;
        for (unsigned r = 0; r < bm.rows; ++r) {
            for (unsigned c = 0; c < bm.width; ++c) {
                const int px = gx + static_cast<int>(c), py = gy + static_cast<int>(r);
                if (px < 0 || py < 0 || px >= mask.width || py >= mask.height)
                    continue;
                const float v =
                    static_cast<float>(bm.buffer[r * static_cast<unsigned>(bm.pitch) + c]) / 255.0f;
                float &d = mask.at(px, py);
                d = std::max(d, v);
            }
        }
    });
}

int Font::fit(const std::string &text, int pixel_height, float max_width) const
{
    int h = pixel_height;
    while (h > 6 && measure(text, h) > max_width)
        --h;
    return h;
}

void Font::draw_centred(Mask &mask, const std::string &text, int pixel_height, float cx,
                        float baseline) const
{
    draw(mask, text, pixel_height, cx - measure(text, pixel_height) * 0.5f, baseline);
}

}  // namespace assets
