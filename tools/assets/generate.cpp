#include "tools/assets/generate.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tools/assets/pictures.h"
#include "tools/assets/song.h"
#include "tools/assets/xm_writer.h"

namespace assets {

std::vector<GeneratedFile> generate_pictures(const std::string &font_dir)
{
    std::vector<GeneratedFile> out;
    for (const PictureFile &p : make_pictures(font_dir))
        out.emplace_back("gfx/" + p.name, write_tga(p.image, p.origin));
    return out;
}

std::vector<GeneratedFile> generate_music() { return {{"test.xm", write_xm(compose_song())}}; }

void write_files(const std::string &dir, const std::vector<GeneratedFile> &files)
{
    for (const auto &[name, bytes] : files) {
        const std::filesystem::path path = std::filesystem::path(dir) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char *>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
        if (!f)
            throw std::runtime_error("cannot write " + path.string());
    }
}

}  // namespace assets
