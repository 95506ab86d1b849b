#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tools/assets/generate.h"

namespace {

std::vector<uint8_t> slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

// The committed data/ must be exactly what the generators make now: a change
// to a generator comes with its regenerated files.
TEST(GoldenAssets, CommittedFilesEqualAFreshGeneration) {
    namespace fs = std::filesystem;
    const fs::path tmp = fs::temp_directory_path() / ("q5-assets-" + std::to_string(std::random_device{}()));
    std::vector<assets::GeneratedFile> files = assets::generate_music();
    for (auto& f : assets::generate_pictures()) files.push_back(std::move(f));
    ASSERT_EQ(9u, files.size());
    assets::write_files(tmp.string(), files);
    for (const auto& [name, bytes] : files) {
        const std::vector<uint8_t> fresh = slurp(tmp / name);
        EXPECT_EQ(bytes, fresh) << name << " was not written whole";
        const std::vector<uint8_t> committed = slurp(fs::path(Q5_SOURCE_DIR) / "data" / name);
        ASSERT_FALSE(committed.empty()) << "data/" << name << " is missing";
        EXPECT_TRUE(committed == fresh) << "data/" << name << " differs from a fresh generation; run the generators";
    }
    fs::remove_all(tmp);
}
