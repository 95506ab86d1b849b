// The modtool command: output formats and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "sound/api/testmodules.h"
#include "toolrun.h"

namespace {

std::string song()
{
    std::string path = temp("song.xm");
    EXPECT_TRUE(testmod::writeFile(path, testmod::xmBytes(testmod::songSpec(2))));
    return path;
}

}  // namespace

TEST(ModtoolCli, InfoPrintsOneKeyValuePerLine)
{
    ToolRun r = modtool("info --samples " + song());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "format: XM", "format version: 1.04", "tracker: q5 tests",
                                "song name: test song", "channels: 2", "patterns: 2",
                                "instruments: 1", "samples: 1", "song length: 2",
                                "duration: 1.980 s", "instrument 1: square",
                                "sample 1: square (64 frames, looped)"}));
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

    // Without any: nothing on standard output, a word on standard error.
    testmod::XmSpec spec = testmod::songSpec(1);
    for (auto &row : spec.patterns[0])
        row[0].eff = row[0].param = 0;
    std::string plain = temp("plain.xm");
    ASSERT_TRUE(testmod::writeFile(plain, testmod::xmBytes(spec)));
    r = modtool("sync " + plain);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "modtool: " + plain + ": no sync marks\n");
}

TEST(ModtoolCli, RenderWritesAWaveAndReportsSpeed)
{
    std::string wav = temp("out.wav");
    std::remove(wav.c_str());
    ToolRun r = modtool("render " + song() + " -o " + wav + " --rate 22050 --mode integer --loops 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("rendered 3.900 s in ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("x realtime)"), std::string::npos);
    std::string data = slurp(wav);
    ASSERT_GE(data.size(), 44u);
    EXPECT_EQ(data.substr(0, 4), "RIFF");
    EXPECT_EQ(data.size() - 44, size_t(3 + 3 * 64) * 441 * 4);
}

// Usage errors: status 2, one line naming the fault and one pointing to help.
TEST(ModtoolCli, BadArgumentsAreUsageErrors)
{
    std::string s = song();
    for (const std::string &args :
         {std::string("render ") + s, "render " + s + " -o x.wav --mode fast",
          "render " + s + " -o x.wav --rate 12", "render " + s + " -o x.wav --loops 0",
          "render " + s + " -o x.wav --format s24", "render " + s + " -o x.wav --channels 3",
          "convert " + s, std::string("info"), "play " + s + " --echo"}) {
        ToolRun r = modtool(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(lines(r.err).size(), 2u) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("modtool: ", 0), 0u) << args;
    }
}

// Help goes to standard output with status 0; -o - puts the same WAVE on
// standard output as a file gets (the header's sizes fixed up when the
// output can seek), and the report moves to standard error.
TEST(ModtoolCli, HelpAndStandardOutput)
{
    for (std::string args : {"--help", "help render", "render --help"}) {
        ToolRun r = modtool(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_EQ(r.out.rfind("usage: modtool ", 0), 0u) << args;
    }
    std::string s = song(), wav = temp("file.wav");
    ToolRun file = modtool("render -o " + wav + " " + s);
    ToolRun piped = modtool("render " + s + " -o -");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, slurp(wav));
    EXPECT_EQ(piped.err.rfind("rendered ", 0), 0u);

    // Float mono: the mean of left and right, full scale 1.0.
    ToolRun f32 = modtool("render " + s + " -o - --format f32 --channels 1");
    ASSERT_EQ(f32.status, 0) << f32.err;
    const std::string &pcm = file.status == 0 ? slurp(wav) : "";
    ASSERT_EQ(f32.out.size(), pcm.size());
    EXPECT_EQ(f32.out.substr(20, 4), std::string("\x03\x00\x01\x00", 4));  // IEEE float, 1 channel
    size_t differ = 0;
    for (size_t at = 44; at + 4 <= pcm.size(); at += 4) {
        int16_t lr[2];
        float mono;
        std::memcpy(lr, &pcm[at], 4);
        std::memcpy(&mono, &f32.out[at], 4);
        differ += mono != float(lr[0] + lr[1]) / 65536.0f;
    }
    EXPECT_EQ(differ, 0u);
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

// Sixteen channels of a full-volume square wave clip at 16 bits; float
// output carries the mixer's values from before that conversion.
TEST(ModtoolCli, RenderFloatKeepsPeaksAboveFullScale)
{
    testmod::XmSpec spec;
    spec.channels = 16;
    spec.orders = {0};
    spec.patterns = {std::vector<std::vector<testmod::Cell>>(4, std::vector<testmod::Cell>(16))};
    for (testmod::Cell &c : spec.patterns[0][0])
        c = testmod::Cell{49, 1, 0x50, 0, 0};
    std::string loud = temp("loud.xm"), s16 = temp("loud16.wav"), f32 = temp("loud32.wav");
    ASSERT_TRUE(testmod::writeFile(loud, testmod::xmBytes(spec)));
    ASSERT_EQ(modtool("render " + loud + " -o " + s16).status, 0);
    ASSERT_EQ(modtool("render " + loud + " -o " + f32 + " --format f32").status, 0);
    std::string a = slurp(s16), b = slurp(f32);
    ASSERT_EQ(b.size() - 44, 2 * (a.size() - 44));
    int16_t peak16 = 0;
    float peak32 = 0;
    for (size_t at = 44; at + 2 <= a.size(); at += 2) {
        int16_t v;
        float f;
        std::memcpy(&v, &a[at], 2);
        std::memcpy(&f, &b[44 + 2 * (at - 44)], 4);
        peak16 = std::max<int16_t>(peak16, v);
        peak32 = std::max(peak32, f);
    }
    EXPECT_EQ(peak16, 32767) << "the song is meant to clip at 16 bits";
    EXPECT_GT(peak32, 1.5f);
}

// A section is the same sound as that part of the whole song, to the frame
// (the song plays from its beginning, so speed and volumes are as there).
TEST(ModtoolCli, RenderSectionIsThatPartOfTheSong)
{
    std::string s = song(), whole = temp("whole.wav"), first = temp("first.wav"),
                second = temp("second.wav");
    ASSERT_EQ(modtool("render " + s + " -o " + whole).status, 0);
    ASSERT_EQ(modtool("render " + s + " -o " + first + " --end 0").status, 0);
    ToolRun r = modtool("render " + s + " --start 1 --end 1 -o " + second);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string w = slurp(whole), a = slurp(first), b = slurp(second);
    ASSERT_GT(a.size(), 44u);
    ASSERT_GT(b.size(), 44u);
    EXPECT_EQ(a.size() + b.size() - 88, w.size() - 44);
    EXPECT_TRUE(w.compare(a.size(), std::string::npos, b, 44) == 0);
    r = modtool("render " + s + " --start 2 -o " + second);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), std::vector<std::string>{"modtool: " + s +
                                                     ": the song's last position is 1"});
}

// A render replaces its output only when it succeeded: never the input
// (under any name), never with half a file, and an output it cannot write is
// refused before any work. Each case runs in a directory of its own so that
// a stray temporary file would show.
TEST(ModtoolCli, RenderNeverLosesData)
{
    const std::string dir = temp("render.d");
    ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir " + dir).c_str()), 0);
    auto entries = [&dir]() {
        std::string list = temp("render.ls");
        EXPECT_EQ(std::system(("ls -A " + dir + " > " + list).c_str()), 0);
        std::vector<std::string> names = lines(slurp(list));
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::string in = dir + "/song.xm", old = dir + "/old.wav";
    ASSERT_TRUE(testmod::writeFile(in, testmod::xmBytes(testmod::songSpec(2))));
    const std::string songBytes = slurp(in);
    ASSERT_EQ(symlink("song.xm", (dir + "/soft.wav").c_str()), 0);
    ASSERT_EQ(link(in.c_str(), (dir + "/hard.wav").c_str()), 0);
    for (std::string out : {in, dir + "/soft.wav", dir + "/hard.wav", dir + "/./song.xm"}) {
        ToolRun r = modtool("render " + in + " -o " + out);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(lines(r.err), std::vector<std::string>{"modtool: " + out +
                                                         ": the output is the input file"});
        EXPECT_EQ(slurp(in), songBytes) << out;
    }
    const std::vector<std::string> before = entries();

    // Unwritable: under a regular file, in a missing directory, a directory.
    for (std::string out : {in + "/x.wav", dir + "/none/x.wav", dir}) {
        ToolRun r = modtool("render " + in + " -o " + out);
        EXPECT_EQ(r.status, 1) << out;
        ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("modtool: " + out + ": ", 0), 0u) << r.err;
    }

    // A render that fails (the input is no module) leaves the old output.
    const std::string noise = dir + "/noise.xm";
    ASSERT_TRUE(testmod::writeFile(noise, std::vector<uint8_t>(3000, 0x5A)));
    ASSERT_TRUE(testmod::writeFile(old, {'o', 'l', 'd'}));
    ToolRun r = modtool("render " + noise + " -o " + old);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(slurp(old), "old");
    std::vector<std::string> after = before;
    after.insert(after.end(), {"noise.xm", "old.wav"});
    std::sort(after.begin(), after.end());
    EXPECT_EQ(entries(), after);

    // A successful one through a link writes the file the link names.
    ASSERT_EQ(symlink("old.wav", (dir + "/to-old.wav").c_str()), 0);
    r = modtool("render " + in + " -o " + dir + "/to-old.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(old).substr(0, 4), "RIFF");
    char target[64] = {};
    EXPECT_EQ(readlink((dir + "/to-old.wav").c_str(), target, sizeof target - 1), 7);
    EXPECT_EQ(entries().size(), after.size() + 1);
}

// Playback under a pseudo-terminal (util-linux script): the terminal is raw
// while playing and as before after q and after SIGTERM.
TEST(ModtoolCli, PlayRestoresTheTerminal)
{
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    std::string s = song(), pidFile = temp("play.pid"), shFile = temp("play.sh");
    for (bool byKey : {true, false}) {
        std::ofstream sh(shFile);
        sh << "stty -g\n"
           << "( sleep 0.6; echo \"during $(stty -g < /dev/tty)\"; "
           << (byKey ? "" : "kill -TERM $(cat " + pidFile + ")") << " ) &\n"
           << "sh -c 'echo $$ > " << pidFile << "; exec " << MODTOOL_PATH << " play " << s
           << "'\n"
           << "echo \"status $?\"\nsleep 0.1\nstty -g\n";
        sh.close();
        std::string out = temp("play.out");
        std::string feed = byKey ? "(sleep 0.9; printf q; sleep 0.3)" : "(sleep 1)";
        std::string cmd = feed + " | timeout 30 script -qfec \"sh " + shFile + "\" /dev/null > " +
                          out + " 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string text = slurp(out);
        for (char &c : text)
            if (c == '\r')
                c = '\n';
        std::vector<std::string> modes;
        std::string during, status;
        for (const std::string &line : lines(text)) {
            if (line.size() > 20 && line.find_first_not_of("0123456789abcdef:") == std::string::npos)
                modes.push_back(line);
            size_t at = line.find("during ");
            if (at != std::string::npos)
                during = line.substr(at + 7);
            if (line.rfind("status ", 0) == 0)
                status = line.substr(7);
        }
        ASSERT_EQ(modes.size(), 2u) << text;
        EXPECT_EQ(modes[0], modes[1]) << (byKey ? "after q" : "after SIGTERM");
        EXPECT_FALSE(during.empty()) << text;
        EXPECT_NE(during, modes[0]) << "raw while playing";
        EXPECT_EQ(status, byKey ? "0" : "143") << text;
    }
}

// Each echo preset starts with the song and is removed at the end; the key q
// arrives first through a pipe, so the run ends at the first status update.
TEST(ModtoolCli, PlayEchoPresetsAreAcceptedAndUnknownOnesRefused)
{
    std::string s = song(), out = temp("echo.out"), err = temp("echo.err");
    for (std::string name : {"room", "hall", "long"}) {
        std::string cmd = "printf q | Q5_ALSA_DEVICE=null timeout 30 " + std::string(MODTOOL_PATH) +
                          " play " + s + " --echo " + name + " >" + out + " 2>" + err;
        int raw = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << name;
        EXPECT_EQ(WEXITSTATUS(raw), 0) << name << ": " << slurp(err);
        EXPECT_NE(slurp(out).find(", echo " + name + "\n"), std::string::npos) << slurp(out);
    }
    ToolRun r = modtool("play " + s + " --echo cave");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(lines(r.err).at(0), "modtool: unknown echo preset cave (room, hall or long)");
}

// Pause stops the song, not just the sound: while paused the status line's
// row and song time stand still, and play goes on from that row. Keys come
// through a pipe, so timing only decides how many lines there are.
TEST(ModtoolCli, PauseKeepsTheSongWhereItWas)
{
    std::string s = song(), out = temp("pause.out");
    std::string cmd = "(sleep 0.4; printf ' '; sleep 1.2; printf ' '; sleep 0.3; printf q) | "
                      "Q5_ALSA_DEVICE=null timeout 30 " + std::string(MODTOOL_PATH) + " play " +
                      s + " > " + out + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string text = slurp(out);
    for (char &c : text)
        c = c == '\r' ? '\n' : c;
    std::vector<std::string> paused, after;
    for (const std::string &line : lines(text)) {
        size_t end = line.find("  spd");  // "pos P/L  m:ss/m:ss  pat N row R"
        if (line.rfind("pos ", 0) != 0 || end == std::string::npos)
            continue;
        if (line.find("paused") != std::string::npos)
            paused.push_back(line.substr(0, end));
        else if (!paused.empty())
            after.push_back(line.substr(0, end));
    }
    ASSERT_GE(paused.size(), 10u) << text;
    for (const std::string &p : paused)
        EXPECT_EQ(p, paused[0]);
    // The first line after the pause is at most a couple of rows on.
    ASSERT_FALSE(after.empty());
    auto rowOf = [](const std::string &l) { return std::stoi(l.substr(l.rfind("row ") + 4)); };
    EXPECT_LE(rowOf(after[0]) - rowOf(paused[0]), 3) << after[0] << " after " << paused[0];
}

// A seek back reads rows again, which is not the song coming round: after
// left in the middle of the song it plays on to its last position and then
// ends by itself.
TEST(ModtoolCli, SeekBackPlaysOnToTheEnd)
{
    std::string s = temp("three.xm"), out = temp("seek.out");
    ASSERT_TRUE(testmod::writeFile(s, testmod::xmBytes(testmod::songSpec(3))));
    std::string cmd = "(sleep 1.5; printf '\\033[D'; sleep 3) | Q5_ALSA_DEVICE=null timeout 30 " +
                      std::string(MODTOOL_PATH) + " play " + s + " > " + out + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string text = slurp(out);
    for (char &c : text)
        c = c == '\r' ? '\n' : c;
    std::vector<int> positions;
    for (const std::string &line : lines(text))
        if (line.rfind("pos ", 0) == 0 && (positions.empty() || positions.back() != line[4] - '0'))
            positions.push_back(line[4] - '0');
    int back = 0;
    for (size_t i = 1; i < positions.size(); i++)
        back += positions[i] < positions[i - 1];
    EXPECT_EQ(back, 1) << text;
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 2) << text;
}
