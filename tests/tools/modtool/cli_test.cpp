// The modtool command: output formats and bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "sound/api/testmodules.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string temp(const std::string &name) { return std::string(::testing::TempDir()) + "q5_cli_" + name; }

ToolRun modtool(const std::string &args)
{
    std::string out = temp("stdout"), err = temp("stderr");
    std::string cmd = "timeout 60 " + std::string(MODTOOL_PATH) + " " + args + " >" + out +
                      " 2>" + err + " </dev/null";
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> v;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);)
        v.push_back(line);
    return v;
}

std::string song()
{
    std::string path = temp("song.xm");
    EXPECT_TRUE(testmod::writeFile(path, testmod::xmBytes(testmod::songSpec(2))));
    return path;
}

}  // namespace

TEST(ModtoolCli, InfoPrintsOneKeyValuePerLine)
{
    ToolRun r = modtool("info " + song());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "format: XM", "song name: test song", "channels: 2", "patterns: 2",
                                "instruments: 1", "samples: 1", "song length: 2",
                                "duration: 1.980 s"}));
}

TEST(ModtoolCli, SyncPrintsMillisecondsPositionRowValue)
{
    ToolRun r = modtool("sync " + song());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> l = lines(r.out);
    ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(l[0], "60 0 0 0");
    EXPECT_EQ(l[1], "300 0 4 1");
    EXPECT_EQ(l[4], "1020 1 0 16");
    EXPECT_EQ(l[7], "1740 1 12 19");
}

TEST(ModtoolCli, RenderWritesAWaveAndReportsSpeed)
{
    std::string wav = temp("out.wav");
    std::remove(wav.c_str());
    ToolRun r = modtool("render " + song() + " -o " + wav + " --rate 22050 --mode integer --loops 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("rendered 3.909 s in ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("x realtime)"), std::string::npos);
    std::string data = slurp(wav);
    ASSERT_GE(data.size(), 44u);
    EXPECT_EQ(data.substr(0, 4), "RIFF");
    EXPECT_EQ(data.size() - 44, size_t(3 + 3 * 64) * 442 * 4);
}

TEST(ModtoolCli, BadArgumentsAreUsageErrors)
{
    std::string s = song();
    for (const std::string &args :
         {std::string("render ") + s, "render " + s + " -o x.wav --mode fast",
          "render " + s + " -o x.wav --rate 12", "render " + s + " -o x.wav --loops 0",
          "convert " + s, std::string("info")}) {
        ToolRun r = modtool(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err.rfind("modtool: ", 0), 0u) << args;
    }
}

TEST(ModtoolCli, BadInputGivesOneLineAndStatusOne)
{
    std::string dir = temp("dir.mod");
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    std::string empty = temp("empty.mod"), ten = temp("ten.mod"), noise = temp("noise.mod");
    testmod::writeFile(empty, {});
    testmod::writeFile(ten, std::vector<uint8_t>(10, 0x55));
    std::mt19937 rng(12345);
    std::vector<uint8_t> bytes(20000);
    for (uint8_t &b : bytes)
        b = uint8_t(rng());
    testmod::writeFile(noise, bytes);

    const struct {
        std::string file, message;
    } cases[] = {{temp("missing.mod"), "File does not exist"},
                 {dir, "Unable to open file"},
                 {empty, "Unexpected end of file"},
                 {ten, "Unexpected end of file"},
                 {noise, ""}};
    for (const auto &c : cases) {
        for (std::string cmd : {"info ", "sync ", "render "}) {
            std::string extra = cmd == "render " ? " -o " + temp("bad.wav") : "";
            ToolRun r = modtool(cmd + c.file + extra);
            EXPECT_EQ(r.status, 1) << cmd << c.file;
            std::vector<std::string> l = lines(r.err);
            ASSERT_EQ(l.size(), 1u) << cmd << c.file << ": " << r.err;
            std::string prefix = "modtool: " + c.file + ": ";
            EXPECT_EQ(l[0].rfind(prefix, 0), 0u) << l[0];
            if (!c.message.empty()) {
                EXPECT_EQ(l[0], prefix + c.message);
            }
        }
    }
}
