// Text rasterised with FreeType into coverage masks.
#pragma once

#include <memory>
#include <string>

#include "tools/assets/image.h"

namespace assets {

class Font {
public:
    // Opens a TrueType file; throws std::runtime_error when it cannot.
    explicit Font(const std::string &path);
    ~Font();
    Font(const Font &) = delete;
    Font &operator=(const Font &) = delete;

    // Width in pixels of the text at the given pixel height (kerning included).
    float measure(const std::string &text, int pixel_height) const;
    // Draws the text with its baseline at y, starting at x, max-combining coverage.
    void draw(Mask &mask, const std::string &text, int pixel_height, float x, float baseline) const;
    // Draws the text centred horizontally on cx.
    void draw_centred(Mask &mask, const std::string &text, int pixel_height, float cx,
                      float baseline) const;
    // Largest pixel height up to pixel_height at which the text fits max_width.
    int fit(const std::string &text, int pixel_height, float max_width) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace assets
