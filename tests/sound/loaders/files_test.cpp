// Loading from files: missing files, failed loads that must not leave their
// file open or memory behind (the sanitizer build checks the leaks), and the
// loader a file's first bytes choose.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sound/api/errors.h"
#include "sound/player/gmpmodule.h"
#include "support/it_writer.h"
#include "support/mod_writer.h"
#include "support/s3m_writer.h"

namespace {

int openFiles()
{
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    while (d && readdir(d))
        n++;
    if (d)
        closedir(d);
    return n;
}

std::string writeTemp(const char *tag, const std::vector<uint8_t> &bytes)
{
    std::string path = std::string(::testing::TempDir()) + "q5_loaders_" + tag + "_" + std::to_string(getpid());
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

typedef int (*LoadFileFn)(const char *, int, gmpSampleCallback, ModuleRecord **);

void expectClosedAfter(const char *tag, LoadFileFn load, const std::vector<uint8_t> &bytes, int expected)
{
    SCOPED_TRACE(tag);
    std::string path = writeTemp(tag, bytes);
    int before = openFiles();
    ModuleRecord *m = nullptr;
    EXPECT_EQ(load(path.c_str(), 0, nullptr, &m), expected);
    EXPECT_EQ(openFiles(), before);
    if (expected != 0) {
        EXPECT_EQ(m, nullptr);
    }
    gmpFreeModule(m);
    std::remove(path.c_str());
}

}  // namespace

TEST(LoaderFiles, FailedAndSuccessfulLoadsCloseTheirFile)
{
    modw::Module mod;
    mod.samples.resize(1);
    mod.samples[0].data.assign(8, 1);
    mod.cell(0, 0, 0) = {428, 1, 0, 0};
    std::vector<uint8_t> good = modw::write(mod);
    expectClosedAfter("mod_ok", gmpLoadMOD, good, 0);
    mod.cell(0, 1, 0) = {20, 1, 0, 0};  // a period below the table
    expectClosedAfter("mod_period", gmpLoadMOD, modw::write(mod), errInvalidPatt);
    expectClosedAfter("mod_cut", gmpLoadMOD, std::vector<uint8_t>(good.begin(), good.begin() + 1200),
                      errEndOfFile);

    s3mw::Module s3m;
    s3m.instruments.resize(1);
    s3m.instruments[0].data.assign(8, 1);
    s3m.patterns.resize(1);
    s3m.patterns[0].entries = {{0, 0, 0x40, 1, -1, -1, 0}};
    std::vector<uint8_t> s3mBytes = s3mw::write(s3m);
    expectClosedAfter("s3m_ok", gmpLoadS3M, s3mBytes, 0);
    // The pattern's paragraph pointer beyond the end of the file.
    std::vector<uint8_t> farPattern = s3mBytes;
    size_t pattPtr = 96 + s3m.orders.size() + 2 * s3m.instruments.size();
    farPattern[pattPtr] = 0xFF;
    farPattern[pattPtr + 1] = 0xFF;
    expectClosedAfter("s3m_far", gmpLoadS3M, farPattern, errEndOfFile);
    s3mBytes[44] = 'X';
    expectClosedAfter("s3m_magic", gmpLoadS3M, s3mBytes, errInvalidModule);

    itw::Module it;
    it.samples.resize(1);
    it.samples[0].data = {1, 2, 3};
    it.patterns.resize(1);
    it.patterns[0].rows = 300;
    expectClosedAfter("it_rows", gmpLoadIT, itw::write(it), errInvalidPatt);
    std::vector<uint8_t> itBytes = itw::write(itw::Module());
    expectClosedAfter("it_lists", gmpLoadIT, std::vector<uint8_t>(itBytes.begin(), itBytes.begin() + 193),
                      errEndOfFile);

    ModuleRecord *m = nullptr;
    EXPECT_EQ(gmpLoadIT("/nonexistent/q5.it", 0, nullptr, &m), errFileNotFound);
    EXPECT_EQ(gmpLoadMOD("/nonexistent/q5.mod", 0, nullptr, &m), errFileNotFound);
    EXPECT_EQ(gmpLoadS3M("/nonexistent/q5.s3m", 0, nullptr, &m), errFileNotFound);
    EXPECT_EQ(m, nullptr);
}

TEST(LoaderTable, S3MTagBeforeITTagAndOnlyWhereTheBytesReach)
{
    uint8_t head[48] = {};
    std::memcpy(head, "IMPM", 4);
    std::memcpy(head + 44, "SCRM", 4);
    EXPECT_STREQ(gmpFindLoader(head, sizeof head)->name, "S3M");
    EXPECT_STREQ(gmpFindLoader(head, sizeof head - 1)->name, "IT");
}
