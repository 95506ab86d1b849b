// Real XM modules from the fetched corpus: each must load and play a minute
// of song time through the recording device without an error.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"

static std::vector<std::string> corpusFiles(const char *format)
{
    std::vector<std::string> out;
    const char *root = std::getenv("MODULE_CORPUS");
    if (root == nullptr)
        return out;
    std::string dir = std::string(root) + "/" + format;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr)
        return out;
    while (dirent *e = readdir(d))
        if (e->d_name[0] != '.')
            out.push_back(dir + "/" + e->d_name);
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CorpusXM, EveryModuleLoadsAndPlaysAMinute)
{
    std::vector<std::string> files = corpusFiles("xm");
    if (files.empty())
        GTEST_SKIP() << "no XM modules: set MODULE_CORPUS to the folder fetch-modules.sh fills";
    int loaded = 0;
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        recdev::reset();
        recdev::setLogging(false);
        ASSERT_EQ(gmpInit(recdev::device()), 0);
        ModuleRecord *module = nullptr;
        int error = gmpLoadXM(path.c_str(), 1, nullptr, &module);
        EXPECT_EQ(error, 0);
        if (error != 0)
            continue;
        loaded++;
        int channels[32];
        for (int i = 0; i < 32; i++)
            channels[i] = i;
        PlayState *ps;
        ASSERT_EQ(gmpPlaySong(module, -1, -1, -1, 1, -1, channels, &ps), 0);
        // A tick lasts 1 / (tempo * 0.4) s: 2.5 / tempo.
        double seconds = 0;
        int ticks = 0;
        while (seconds < 60.0) {
            ASSERT_EQ(gmpPlay(), 0) << "tick " << ticks;
            seconds += 2.5 / gmpTempo;
            ticks++;
            recdev::takeLog();
        }
        EXPECT_EQ(gmpStopSong(ps), 0);
        EXPECT_EQ(gmpFreeModule(module), 0);
    }
    std::printf("CorpusXM: %d of %zu modules loaded and played 60 s\n", loaded,
                files.size());
    RecordProperty("loaded", loaded);
}
