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

// Runs the program in the current directory with "1" typed at the menu.
DemoRun run_demo()
{
    const std::string cmd = "echo 1 | GLIDE_BACKEND=headless GLIDE_NOPACE=1 '" DEMO_PROGRAM
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

}  // namespace

#endif
