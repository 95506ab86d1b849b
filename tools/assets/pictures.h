// The show's eight pictures, drawn from scratch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/image.h"

namespace assets {

struct PictureFile {
    std::string name;  // file name under gfx/
    TgaOrigin origin;  // storage order, chosen so the show draws it upright
    Image image;       // row 0 is the picture's top as a person sees it
};

// Draws every picture; the fonts are read from font_dir (DejaVu TrueType files).
std::vector<PictureFile> make_pictures(const std::string &font_dir);

// Periodic lattice noise in 0..1 with the given period in cells over a
// 256-pixel tile, so that it wraps at the tile's edges.
float tile_noise(float x, float y, int cells, uint32_t seed);
// The same with separate lattice sizes along x and y (streaks, brushing).
float tile_noise_xy(float x, float y, int cells_x, int cells_y, uint32_t seed);

}  // namespace assets
