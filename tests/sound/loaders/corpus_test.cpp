// Real XM, MOD, S3M and IT modules from the fetched corpus: each must load and
// play a minute of song time through the recording device without an error.
// IT envelopes are also read back straight from the files and compared.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "loadhelp.h"
#include "sound/player/gmplayer.h"
#include "support/recdevice.h"

namespace {

std::vector<std::string> corpusFiles(const char *format)
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

typedef int (*LoadFileFn)(const char *, int, gmpSampleCallback, ModuleRecord **);

void loadAndPlayAll(const char *format, LoadFileFn load)
{
    std::vector<std::string> files = corpusFiles(format);
    if (files.empty())
        GTEST_SKIP() << "no " << format << " modules: set MODULE_CORPUS to the folder fetch-modules.sh fills";
    int loaded = 0;
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        recdev::reset();
        recdev::setLogging(false);
        ASSERT_EQ(gmpInit(recdev::device()), 0);
        ModuleRecord *module = nullptr;
        int error = load(path.c_str(), 1, nullptr, &module);
        EXPECT_EQ(error, 0);
        if (error != 0)
            continue;
        loaded++;
        int channels[32];
        for (int i = 0; i < 32; i++)
            channels[i] = i;
        PlayState *ps;
        ASSERT_EQ(gmpPlaySong(module, -1, -1, -1, 1, -1, channels, &ps), 0);
        double seconds = 0;  // a tick lasts 2.5 / tempo seconds
        for (int ticks = 0; seconds < 60.0; ticks++) {
            ASSERT_EQ(gmpPlay(), 0) << "tick " << ticks;
            seconds += 2.5 / gmpTempo;
            recdev::takeLog();
        }
        EXPECT_EQ(gmpStopSong(ps), 0);
        EXPECT_EQ(gmpFreeModule(module), 0);
    }
    std::printf("Corpus %s: %d of %zu modules loaded and played 60 s\n", format, loaded, files.size());
}

unsigned le16(const std::vector<uint8_t> &b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
unsigned le32(const std::vector<uint8_t> &b, size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

}  // namespace

TEST(CorpusLoaders, EveryXMLoadsAndPlaysAMinute) { loadAndPlayAll("xm", gmpLoadXM); }
TEST(CorpusLoaders, EveryMODLoadsAndPlaysAMinute) { loadAndPlayAll("mod", gmpLoadMOD); }
TEST(CorpusLoaders, EveryS3MLoadsAndPlaysAMinute) { loadAndPlayAll("s3m", gmpLoadS3M); }
TEST(CorpusLoaders, EveryITLoadsAndPlaysAMinute) { loadAndPlayAll("it", gmpLoadIT); }

// Envelopes lie 82 bytes apart in real instruments; reading them elsewhere
// loses the panning and pitch envelopes or turns their points into noise.
TEST(CorpusLoaders, ITEnvelopesMatchTheFiles)
{
    std::vector<std::string> files = corpusFiles("it");
    if (files.empty())
        GTEST_SKIP() << "no IT modules: set MODULE_CORPUS to the folder fetch-modules.sh fills";
    int checked = 0;
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Loaded l(gmpLoadITMemory, b);
        ASSERT_EQ(l.error, 0);
        if (!(le16(b, 44) & 4) || le16(b, 42) < 0x200)
            continue;
        unsigned ordNum = le16(b, 32), insNum = le16(b, 34);
        for (unsigned i = 0; i < insNum; i++) {
            size_t inst = le32(b, 192 + ordNum + 4 * i);
            const EnvelopeRecord *envs[3] = {l->instruments[i]->volEnvelope,
                                             l->instruments[i]->panEnvelope,
                                             l->instruments[i]->pitchEnvelope};
            for (int k = 0; k < 3; k++) {
                size_t e = inst + 0x130 + 82 * k;
                if (!(b.at(e) & 1) || b.at(e + 1) == 0) {
                    EXPECT_EQ(envs[k], nullptr);
                    continue;
                }
                ASSERT_NE(envs[k], nullptr) << "instrument " << i << " envelope " << k;
                ASSERT_EQ(envs[k]->numPoints, b.at(e + 1));
                for (unsigned p = 0; p < envs[k]->numPoints; p++) {
                    unsigned tick = le16(b, e + 7 + 3 * p);
                    EXPECT_EQ(envs[k]->points[p].pos, tick);
                    if (p > 0) {
                        EXPECT_GT(tick, le16(b, e + 7 + 3 * (p - 1))) << "file ticks rise";
                    }
                    int raw = k == 0 ? b.at(e + 6 + 3 * p) : static_cast<int8_t>(b.at(e + 6 + 3 * p)) + 32;
                    EXPECT_EQ(envs[k]->points[p].value, raw);
                }
                checked++;
            }
        }
    }
    std::printf("CorpusLoaders: %d IT envelopes compared with their files\n", checked);
    EXPECT_GT(checked, 0);
}
