// The demo program run as a user would run it, on the paths that end early:
// a missing module or picture must stop it with one line naming the file,
// exit status 1, and no credits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "effects/gfx_dir.h"
#include "menu_text.h"
#include "support/xmwriter.h"

#ifdef DEMO_PROGRAM

namespace {

struct DemoRun {
    int status;
    std::string out, err;
};

std::string slurp(const std::filesystem::path &p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

// Runs the program in the current directory with `choice` typed at the menu;
// a show that hangs is ended after two minutes (status 124).
DemoRun run_demo(const char *choice = "1")
{
    const std::string cmd = std::string("echo ") + choice +
                            " | GLIDE_BACKEND=headless GLIDE_NOPACE=1 timeout 120 '" DEMO_PROGRAM
                            "' > demo_out.txt 2> demo_err.txt";
    const int rc = std::system(cmd.c_str());
    DemoRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp("demo_out.txt");
    r.err = slurp("demo_err.txt");
    return r;
}

const char *const CREDITS = "q5 - fast fast prod by";

TEST(Program, MissingModuleStopsWithItsName)
{
    showtest::GfxDir dir;
    const DemoRun r = run_demo();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("test.xm: cannot load the module"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("xres:512 yres:384 selected"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(CREDITS), std::string::npos);
}

TEST(Program, MissingPictureStopsWithItsName)
{
    const std::filesystem::path module = std::filesystem::path(Q5_SOURCE_DIR) / "data" / "test.xm";
    if (!std::filesystem::exists(module))
        GTEST_SKIP() << "no data/test.xm in the tree";
    showtest::GfxDir dir;
    std::filesystem::copy_file(module, dir.dir() / "test.xm");
    std::filesystem::remove(dir.dir() / "gfx" / "greets.tga");
    const DemoRun r = run_demo();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("gfx/greets.tga: No such file or directory\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find(CREDITS), std::string::npos);
}

// The whole show on a small module whose sync marks come every second:
// 1, 3, 5, 4 on rows 4, 12, 20 and 28 of a 32-row pattern (0.12 s a row),
// looping, so a phase that waits for a mark gets it within one pass.
TEST(Program, WholeShowRunsFromMenuToCredits)
{
    if (SANITIZED)
        GTEST_SKIP() << "a thousand software-drawn frames; run in the optimised build";
    showtest::GfxDir dir;
    xmw::Module m(2);
    std::vector<int> saw(64);
    for (size_t i = 0; i < saw.size(); i++)
        saw[i] = static_cast<int>(i * 4) - 128;
    xmw::Sample &smp = m.instrument().sample8(saw);
    smp.loopKind = 1;
    smp.loopLength = 64;
    xmw::Pattern &p = m.pattern(0, 32);
    p.set(0, 0, "C-4 01 .. ...");
    p.set(4, 1, "... .. .. W01");
    p.set(12, 1, "... .. .. W03");
    p.set(20, 1, "... .. .. W05");
    p.set(28, 1, "... .. .. W04");
    ASSERT_TRUE(m.save("test.xm"));

    const DemoRun r = run_demo("2");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string expected =
        std::string(MENU) +
        "xres:640 yres:480 selected\n\t"
        "q5 - fast fast prod by\nfennamovirelsardandanoldgfxbytullo\nAt ovrun7\n\r";
    EXPECT_EQ(r.out, expected);
}

}  // namespace

#endif
