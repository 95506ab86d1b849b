// assets_gfx [data folder]: draws the show's pictures into <folder>/gfx.
#include <cstdio>
#include <exception>

#include "tools/assets/generate.h"

int main(int argc, char **argv)
{
    const char *dir = argc > 1 ? argv[1] : "data";
    try {
        assets::write_files(dir, assets::generate_pictures());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "assets_gfx: %s\n", e.what());
        return 1;
    }
    return 0;
}
