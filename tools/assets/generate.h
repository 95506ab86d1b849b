// Whole-file generation: what the generators write, as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace assets {

// (path relative to the data folder, contents).
using GeneratedFile = std::pair<std::string, std::vector<uint8_t>>;

std::vector<GeneratedFile> generate_pictures(const std::string &font_dir = Q5_ASSET_FONT_DIR);
std::vector<GeneratedFile> generate_music();

// Writes the files under dir (creating gfx/ as needed); throws on failure.
void write_files(const std::string &dir, const std::vector<GeneratedFile> &files);

}  // namespace assets
