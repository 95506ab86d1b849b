// Renders of the pinned modules through the real mixer at 44100 Hz, 16-bit
// stereo: the integer mixer's output is pinned by hash; the floating-point
// and interpolating mixers are compared with the integer render by their
// signal-to-noise ratio, since compilers may round floats differently. The
// integer render through the public offline render must give the same hash.
#include <cmath>
#include <cstring>
#include <string>
#include <unistd.h>

#include "golden_modules.h"
#include "harness.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsm.h"
#include "support/mixrender.h"

namespace {

const unsigned kRate = 44100;

// Plays `ticks` ticks of the module through the mixer in the given mode.
std::vector<int16_t> render(const xmw::Module &m, unsigned mode, int ticks)
{
    mixrender::Options o;
    o.rate = kRate;
    o.mode = mode;
    o.channels = m.channels;
    o.ticks = ticks;
    return mixrender::render(gmpLoadXMMemory, m.build(), o);
}

// 10 log10(signal energy / difference energy), in dB.
double snr(const std::vector<int16_t> &ref, const std::vector<int16_t> &x)
{
    double s = 0, n = 0;
    for (size_t i = 0; i < ref.size() && i < x.size(); i++) {
        s += double(ref[i]) * ref[i];
        double d = double(ref[i]) - x[i];
        n += d * d;
    }
    if (n == 0)
        return 200;
    return 10 * std::log10(s / n);
}

double peak(const std::vector<int16_t> &v)
{
    int p = 0;
    for (int16_t x : v)
        p = std::max(p, std::abs(static_cast<int>(x)));
    return p;
}

// The module played through MIDASrenderInit / MIDASrender, integer mixing
// without the output filter: one tick of silence first (the device mixes a
// tick before the player's first), then `frames` frames.
std::vector<int16_t> renderPublic(const xmw::Module &m, size_t frames)
{
    std::string path = ::testing::TempDir() + "q5_public_" + std::to_string(getpid()) + ".xm";
    std::vector<int16_t> out(2 * (882 + frames));
    EXPECT_TRUE(m.save(path));
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_FILTER_MODE, 0);
    EXPECT_TRUE(MIDASrenderInit(MIDAS_RENDER_INTEGER, nullptr, nullptr));
    MIDASmodule module = MIDASloadModule(path.c_str());
    EXPECT_TRUE(module && MIDASplayModule(module, 1));
    unsigned rendered = 0;
    EXPECT_TRUE(MIDASrender(out.data(), unsigned(out.size() / 2), &rendered));
    EXPECT_EQ(rendered, out.size() / 2);
    EXPECT_TRUE(MIDASclose());
    unlink(path.c_str());
    return std::vector<int16_t>(out.begin() + 2 * 882, out.end());
}

const unsigned kInt = dsmModeStereo | dsmMode16bit | dsmModeInteger;
const unsigned kFloat = dsmModeStereo | dsmMode16bit | dsmModeFloat;
const unsigned kInterp = dsmModeStereo | dsmMode16bit | dsmModeFloat | dsmModeInterp;

struct Case {
    const char *name;
    xmw::Module (*make)();
    int ticks;
    uint64_t intHash;
};

// Float mixing differs from the integer mixer only by the integer volume
// table's rounding (measured 37 dB and more on these modules): at least 30 dB.
// Interpolation also smooths the integer mixer's stepped resampling of the
// 32- and 64-frame sine loops (measured 18.8 to 23 dB): at least 15 dB, which
// still fails on any wrong note, level, pan or timing.
const double kFloatSnr = 30.0, kInterpSnr = 15.0;

void checkRender(const Case &c)
{
    std::vector<int16_t> ints = render(c.make(), kInt, c.ticks);
    ASSERT_FALSE(ints.empty());
    EXPECT_GT(peak(ints), 1000) << "the render is silent";
    uint64_t h = mixrender::hash(ints);
    EXPECT_EQ(h, c.intHash) << c.name << ": integer render hash 0x" << std::hex << h;
    EXPECT_EQ(mixrender::hash(renderPublic(c.make(), ints.size() / 2)), c.intHash)
        << c.name << ": through the public render";
    std::vector<int16_t> floats = render(c.make(), kFloat, c.ticks);
    std::vector<int16_t> interp = render(c.make(), kInterp, c.ticks);
    ASSERT_EQ(floats.size(), ints.size());
    ASSERT_EQ(interp.size(), ints.size());
    double sf = snr(ints, floats), si = snr(ints, interp);
    ::testing::Test::RecordProperty(std::string(c.name) + "_float_snr_db", std::to_string(sf));
    ::testing::Test::RecordProperty(std::string(c.name) + "_interp_snr_db", std::to_string(si));
    EXPECT_GE(sf, kFloatSnr) << c.name;
    EXPECT_GE(si, kInterpSnr) << c.name;
    std::printf("%s: hash 0x%016llx, float %.1f dB, interpolating %.1f dB\n", c.name,
                static_cast<unsigned long long>(h), sf, si);
}

}  // namespace

TEST(GoldenPlayerRender, Pitch)
{
    checkRender({"pitch", pitchModule, 3 + 8 * 4, 0x733b00269702e44full});
}
TEST(GoldenPlayerRender, Envelopes)
{
    checkRender({"envelopes", envelopeModule, 2 + 10 * 3, 0x0fbbacb494bb0b9eull});
}
TEST(GoldenPlayerRender, Flow)
{
    checkRender({"flow", flowModule, 2 + 30 * 3, 0xfa3044c5dab22033ull});
}
TEST(GoldenPlayerRender, VolumeAndPanning)
{
    checkRender({"volpan", volpanModule, 4 + 6 * 5, 0x4b00024b6c5e3662ull});
}
