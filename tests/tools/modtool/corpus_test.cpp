// Every module of the fetched corpus loads and renders one pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "songpass.h"
#include "sound/api/midasdll.h"

namespace fs = std::filesystem;

// The loader is chosen from the file's first 48 bytes; the corpus folders
// sort the files by format, so each must come out as its folder says.
TEST(CorpusModtool, EveryModuleRendersOnePass)
{
    const char *env = std::getenv("MODULE_CORPUS");
    fs::path root = env && *env ? env : Q5_SOURCE_DIR "/corpus-cache";
    std::vector<fs::path> files;
    for (const char *kind : {"mod", "s3m", "xm", "it"}) {
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(root / kind, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
    }
    if (files.empty())
        GTEST_SKIP() << "no corpus at " << root << " (fetch it with scripts/fetch-modules.sh)";
    std::sort(files.begin(), files.end());
    for (const fs::path &f : files) {
        PassOptions options;
        options.mixing = MIDAS_RENDER_INTEGER;
        PassResult r;
        std::string error;
        EXPECT_TRUE(runSongPass(f.string(), options, &r, &error)) << f << ": " << error;
        EXPECT_GT(r.frames, 0u) << f;
        std::string kind = f.parent_path().filename().string();
        std::transform(kind.begin(), kind.end(), kind.begin(), ::toupper);
        EXPECT_EQ(r.format, kind) << f;
        EXPECT_FALSE(r.hitLimit) << f;
    }
}
