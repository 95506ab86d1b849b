// assets_music [data folder]: composes the show's music into <folder>/test.xm
// and prints where its sync marks fall.
#include <cstdio>
#include <exception>

#include "tools/assets/generate.h"
#include "tools/assets/song.h"

int main(int argc, char **argv)
{
    const char *dir = argc > 1 ? argv[1] : "data";
    try {
        assets::write_files(dir, assets::generate_music());
        const assets::SongTiming t = assets::walk_song(assets::compose_song());
        for (const assets::SyncMark &m : t.marks)
            std::printf("W%02X at position %d row %d: %.3f s\n", m.value, m.position, m.row,
                        m.seconds);
        std::printf("one pass: %.3f s, restart at position %d\n", t.pass_seconds,
                    t.restart_position);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "assets_music: %s\n", e.what());
        return 1;
    }
    return 0;
}
