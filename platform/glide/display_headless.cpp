// display_headless.cpp: the display without a screen, and PNG writing.
#ifdef GLIDE_HAVE_PNG
#include <png.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/glide/display.h"

namespace glide {

namespace {

class HeadlessDisplay final : public Display {
public:
    void present(const uint32_t *, int, int) override {}
    bool quitRequested() override { return false; }
    const char *name() const override { return "headless"; }
};

}  // namespace

std::unique_ptr<Display> openHeadlessDisplay() { return std::make_unique<HeadlessDisplay>(); }

#ifndef GLIDE_HAVE_PNG
bool writePng(const std::string &path, const uint32_t *, int, int, std::string &err) {
    err = path + ": built without libpng";
    return false;
}
#else
bool writePng(const std::string &path, const uint32_t *rgb, int width, int height, std::string &err) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        err = path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        err = path + ": PNG encoding failed";
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uint32_t *src = rgb + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<png_byte>(src[x] >> 16);
            row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
            row[3 * x + 2] = static_cast<png_byte>(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool ok = std::fclose(f) == 0;
    if (!ok) err = path + ": " + std::strerror(errno);
    return ok;
}
#endif

}  // namespace glide
