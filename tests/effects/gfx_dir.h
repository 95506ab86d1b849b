// A temporary working directory holding the show's pictures as synthetic
// 256x256 TGA files, entered for the life of the object.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

namespace showtest {

inline const std::vector<std::string> &picture_names()
{
    static const std::vector<std::string> names = {"03",     "q52",   "plinux", "meta",
                                                   "spider", "metal", "greets", "credits"};
    return names;
}

// Picture k: a pattern that differs per picture and per pixel.
inline unsigned char picture_byte(int k, int row, int col, int chan)
{
    return (unsigned char)((row * (k + 1) + col * (chan + 2) + k * 37 + chan * 11) & 0xFF);
}

inline void write_tga(const std::string &path, int k, size_t bytes = 196608)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    unsigned char header[18] = {0, 0, 2};
    header[12] = 0;
    header[13] = 1;
    header[14] = 0;
    header[15] = 1;
    header[16] = 24;
    fwrite(header, 1, sizeof header, f);
    for (size_t i = 0; i < bytes; i++) {
        const size_t px = i / 3;
        fputc(picture_byte(k, (int)(px / 256), (int)(px % 256), (int)(i % 3)), f);
    }
    fclose(f);
}

class GfxDir {
public:
    GfxDir()
    {
        char tmpl[] = "/tmp/show_gfx_XXXXXX";
        const char *d = mkdtemp(tmpl);
        if (!d)
            abort();
        dir_ = d;
        old_ = std::filesystem::current_path();
        std::filesystem::create_directories(dir_ / "gfx");
        for (size_t k = 0; k < picture_names().size(); k++)
            write_tga((dir_ / "gfx" / (picture_names()[k] + ".tga")).string(), (int)k);
        std::filesystem::current_path(dir_);
    }
    ~GfxDir()
    {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path &dir() const { return dir_; }

private:
    std::filesystem::path dir_, old_;
};

}  // namespace showtest
