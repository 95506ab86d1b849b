// modtool info and stream on WAVE files, raw data and raw ADPCM block streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/adpcm_encoder.h"
#include "toolrun.h"

namespace {

std::string writeBytes(const std::string &name, const std::vector<uint8_t> &bytes)
{
    std::string path = temp(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

void put16(std::vector<uint8_t> &v, unsigned x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

void put32(std::vector<uint8_t> &v, unsigned x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// RIFF WAVE with a PCM "fmt " chunk of the given tag and a data chunk of
// dataBytes zero bytes, preceded by an unrelated chunk the reader must skip.
std::vector<uint8_t> wave(unsigned tag, unsigned channels, unsigned rate, unsigned bits,
                          unsigned dataBytes)
{
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T'};
    put32(body, 4);
    body.insert(body.end(), {'I', 'N', 'F', 'O'});
    body.insert(body.end(), {'f', 'm', 't', ' '});
    put32(body, 16);
    put16(body, tag);
    put16(body, channels);
    put32(body, rate);
    put32(body, rate * channels * bits / 8);
    put16(body, channels * bits / 8);
    put16(body, bits);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    put32(body, dataBytes);
    body.resize(body.size() + dataBytes, 0);
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
    put32(v, unsigned(body.size()));
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

std::vector<int16_t> sine(unsigned frames, unsigned channels)
{
    std::vector<int16_t> s;
    for (unsigned f = 0; f < frames; f++)
        for (unsigned c = 0; c < channels; c++)
            s.push_back(int16_t(12000 * std::sin(0.05 * f + c)));
    return s;
}

}  // namespace

TEST(ModtoolInfo, WaveFilesReportTypeRateChannelsAndData)
{
    ToolRun r = modtool("info " + writeBytes("s16.wav", wave(1, 2, 22050, 16, 4 * 2205)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "format: WAVE", "sample type: 16-bit stereo", "rate: 22050 Hz",
                                "channels: 2", "data bytes: 8820", "duration: 0.100 s"}));

    r = modtool("info " + writeBytes("u8.wav", wave(1, 1, 8000, 8, 4000)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "format: WAVE", "sample type: 8-bit mono", "rate: 8000 Hz",
                                "channels: 1", "data bytes: 4000", "duration: 0.500 s"}));

    // A data length beyond the end of the file counts only what is there.
    std::vector<uint8_t> cut = wave(1, 1, 8000, 16, 1000);
    cut.resize(cut.size() - 400);
    r = modtool("info " + writeBytes("cut.wav", cut));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out)[4], "data bytes: 600");
}

TEST(ModtoolInfo, AdpcmStreamsCountFramesBlocksAndResyncBytes)
{
    adpcmtest::Encoded mono = adpcmtest::encode(sine(1000, 1), 1, 256);
    ToolRun r = modtool("info " + writeBytes("m.adpcm", mono.bytes) + " --adpcm mono");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "format: ADPCM mono", "input bytes: " +
                                std::to_string(mono.bytes.size()),
                                "decoded frames: 1000", "valid blocks: 4", "bytes skipped: 0",
                                "bytes missing at end: 0"}));

    // Garbage before, between and after blocks is skipped byte by byte; a
    // corrupted header loses its whole block, and the trailing bytes that
    // never form a header count as skipped too.
    adpcmtest::Encoded st = adpcmtest::encode(sine(300, 2), 2, 100);  // 3 blocks of 112 bytes
    ASSERT_EQ(st.bytes.size(), 3u * 112u);
    std::vector<uint8_t> bytes(7, 0x55);
    bytes.insert(bytes.end(), st.bytes.begin(), st.bytes.begin() + 112);
    bytes.insert(bytes.end(), {0x17, 0x42, 0x01});
    std::vector<uint8_t> broken(st.bytes.begin() + 112, st.bytes.begin() + 224);
    broken[4] ^= 0xFF;  // checksum
    bytes.insert(bytes.end(), broken.begin(), broken.end());
    bytes.insert(bytes.end(), st.bytes.begin() + 224, st.bytes.end());
    bytes.insert(bytes.end(), {0x17, 0x42, 0x00});
    r = modtool("info " + writeBytes("s.adpcm", bytes) + " --adpcm stereo");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> l = lines(r.out);
    ASSERT_EQ(l.size(), 6u) << r.out;
    EXPECT_EQ(l[2], "decoded frames: 200");
    EXPECT_EQ(l[3], "valid blocks: 2");
    EXPECT_EQ(l[4], "bytes skipped: " + std::to_string(7 + 3 + 112 + 3));

    // A last block cut short decodes what is there and reports the rest.
    std::vector<uint8_t> shortBlock(mono.bytes.begin(), mono.bytes.end() - 10);
    r = modtool("info " + writeBytes("short.adpcm", shortBlock) + " --adpcm mono");
    ASSERT_EQ(r.status, 0) << r.err;
    l = lines(r.out);
    ASSERT_EQ(l.size(), 6u) << r.out;
    EXPECT_EQ(l[2], "decoded frames: 980");
    EXPECT_EQ(l[3], "valid blocks: 4");
    EXPECT_EQ(l[5], "bytes missing at end: 10");
}

TEST(ModtoolInfo, BadWaveAndAdpcmInputGivesOneLineAndStatusOne)
{
    struct Case {
        std::string name, args;
    };
    std::vector<uint8_t> noData = wave(1, 2, 44100, 16, 0);
    noData.resize(noData.size() - 8);  // drop the data chunk header
    std::vector<uint8_t> shortFmt = wave(1, 1, 8000, 8, 16);
    shortFmt[24] = 4;  // "fmt " length 4: too short for a format
    std::vector<Case> cases = {
        {"float format", writeBytes("float.wav", wave(3, 2, 44100, 32, 64))},
        {"24-bit", writeBytes("24.wav", wave(1, 2, 44100, 24, 60))},
        {"no data chunk", writeBytes("nodata.wav", noData)},
        {"short fmt", writeBytes("shortfmt.wav", shortFmt)},
        {"riff only", writeBytes("riff.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'})},
        {"adpcm noise", writeBytes("noise.adpcm", std::vector<uint8_t>(500, 0x17)) +
                            " --adpcm mono"},
        {"adpcm empty", writeBytes("empty.adpcm", {}) + " --adpcm stereo"},
        {"adpcm missing", temp("absent.adpcm") + " --adpcm mono"},
    };
    for (const Case &c : cases) {
        ToolRun r = modtool("info " + c.args);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_TRUE(r.out.empty()) << c.name;
        std::vector<std::string> l = lines(r.err);
        ASSERT_EQ(l.size(), 1u) << c.name << ": " << r.err;
        EXPECT_EQ(l[0].rfind("modtool: " + temp(""), 0), 0u) << c.name << ": " << l[0];
    }
    ToolRun r = modtool("info " + writeBytes("x.adpcm", {1}) + " --adpcm quad");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--adpcm takes mono or stereo"), std::string::npos) << r.err;
}

// A short WAVE stream through the null ALSA device under a pseudo-terminal
// (util-linux script): it ends by itself, with status 0, and the terminal
// settings afterwards are those from before.
TEST(ModtoolStream, ShortWaveEndsByItselfAndRestoresTheTerminal)
{
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    std::string wav = writeBytes("stream.wav", wave(1, 2, 22050, 16, 4 * 1100));
    std::string sh = temp("stream.sh"), out = temp("stream.out");
    std::ofstream(sh) << "stty -g\nQ5_ALSA_DEVICE=null " << MODTOOL_PATH << " stream " << wav
                      << "\necho \"status $?\"\nstty -g\n";
    std::string cmd = "timeout 30 script -qfec \"sh " + sh + "\" /dev/null </dev/null >" + out +
                      " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string text = slurp(out);
    for (char &c : text)
        if (c == '\r')
            c = '\n';
    std::vector<std::string> modes;
    std::string status;
    for (const std::string &line : lines(text)) {
        if (line.size() > 20 && line.find_first_not_of("0123456789abcdef:") == std::string::npos)
            modes.push_back(line);
        if (line.rfind("status ", 0) == 0)
            status = line.substr(7);
    }
    ASSERT_EQ(modes.size(), 2u) << text;
    EXPECT_EQ(modes[0], modes[1]);
    EXPECT_EQ(status, "0") << text;
    EXPECT_NE(text.find("(16-bit stereo, 22050 Hz)"), std::string::npos) << text;
}

TEST(ModtoolStream, RawAndAdpcmFilesPlay)
{
    adpcmtest::Encoded mono = adpcmtest::encode(sine(2000, 1), 1, 500);
    std::string adpcm = writeBytes("m.adpcm", mono.bytes);
    ToolRun r = modtool("stream " + adpcm + " --type adpcm-mono --rate 40000");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(ADPCM mono, 40000 Hz)"), std::string::npos) << r.out;

    // Raw data defaults to 16-bit stereo at 44100 Hz.
    r = modtool("stream " + writeBytes("s.raw", std::vector<uint8_t>(4 * 2205, 0)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(16-bit stereo, 44100 Hz)"), std::string::npos) << r.out;

    // Any other name is raw data on the word of --type.
    r = modtool("stream " + writeBytes("s.pcm", std::vector<uint8_t>(2205, 128)) +
                " --type 8bit-mono");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(8-bit mono, 44100 Hz)"), std::string::npos) << r.out;
}

// What is not a WAVE file is never played as raw data by accident: not a
// .wav whose header is wrong (even with --type), not an empty file, not a
// file of another name without --type.
TEST(ModtoolStream, OnlyWaveOrDeclaredRawDataPlays)
{
    const std::vector<uint8_t> noise(4400, 0x11);
    std::vector<uint8_t> avi = wave(1, 2, 44100, 16, 400);
    std::copy_n("AVI ", 4, avi.begin() + 8);
    const std::string raw = "not a WAVE file; raw data needs --type TYPE or a .raw or .adpcm name";
    const struct {
        std::string args, message;
    } cases[] = {{writeBytes("noise.wav", noise), "Bad WAVE file"},
                 {writeBytes("noise.WAV", noise) + " --type 16bit-mono", "Bad WAVE file"},
                 {writeBytes("movie.wav", avi), "Bad WAVE file"},
                 {writeBytes("movie.avi", avi), raw},
                 {writeBytes("noise.pcm", noise), raw},
                 {writeBytes("empty.raw", {}), "the file is empty"},
                 {writeBytes("empty.wav", {}) + " --type 8bit-mono", "the file is empty"}};
    for (const auto &c : cases) {
        ToolRun r = modtool("stream " + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
        const std::string file = c.args.substr(0, c.args.find(' '));
        EXPECT_EQ(lines(r.err), std::vector<std::string>{"modtool: " + file + ": " + c.message});
    }
}

TEST(ModtoolStream, BadFilesAndOptionsGiveOneErrorAndStatusOne)
{
    std::string adpcm = writeBytes("m.adpcm", adpcmtest::encode(sine(200, 1), 1, 100).bytes);
    std::string wav = writeBytes("bad.wav", wave(3, 2, 44100, 32, 64));
    ToolRun r;
    // Files that cannot play: status 1 and one line; options that do not
    // fit: a usage error, status 2 and a hint.
    const struct {
        std::string args;
        int status;
    } cases[] = {{wav, 1},
                 {writeBytes("noise.adpcm", std::vector<uint8_t>(300, 0x42)), 1},
                 {temp("absent.raw"), 1},
                 {adpcm + " --type adpcm-stereo --rate 1", 2},
                 {adpcm + " --type 24bit", 2},
                 {writeBytes("ok.wav", wave(1, 1, 8000, 8, 80)) + " --rate 8000", 2}};
    for (const auto &c : cases) {
        r = modtool("stream " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
        EXPECT_EQ(r.err.rfind("modtool: ", 0), 0u) << c.args;
        EXPECT_EQ(lines(r.err).size(), size_t(c.status)) << c.args << ": " << r.err;
    }
}
