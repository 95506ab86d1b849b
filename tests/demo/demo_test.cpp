// The console menu, the view-angle constants and the sync byte.
#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "demo/module.h"
#include "demo/valja2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "menu_text.h"

namespace {

struct MenuRun {
    resolution res;
    std::string printed;
    int next;  // the character left after the menu, EOF when none
};

// Runs the menu with standard input reading the given bytes.
MenuRun menu_with_input(const std::string &input)
{
    const std::string path = testing::TempDir() + "menu_input.txt";
    {
        std::ofstream f(path, std::ios::binary);
        f << input;
    }
    EXPECT_NE(freopen(path.c_str(), "rb", stdin), nullptr);
    testing::internal::CaptureStdout();
    MenuRun run;
    run.res = do_menu();
    run.printed = testing::internal::GetCapturedStdout();
    run.next = getc(stdin);
    remove(path.c_str());
    return run;
}

TEST(Menu, PrintsTheMenuAndTheSelection)
{
    const MenuRun run = menu_with_input("2\n");
    EXPECT_EQ(run.res.xres, 640);
    EXPECT_EQ(run.res.yres, 480);
    EXPECT_EQ(run.printed, std::string(MENU) + "xres:640 yres:480 selected\n\t");
    EXPECT_EQ(run.next, '\n');
}

TEST(Menu, EachChoice)
{
    const int want[4][2] = {{512, 384}, {640, 480}, {800, 600}, {1024, 768}};
    for (int k = 0; k < 4; k++) {
        const MenuRun run = menu_with_input(std::string(1, (char)('1' + k)) + "\n");
        EXPECT_EQ(run.res.xres, want[k][0]);
        EXPECT_EQ(run.res.yres, want[k][1]);
        EXPECT_EQ(run.printed, std::string(MENU) + "xres:" + std::to_string(want[k][0]) + " yres:" +
                                   std::to_string(want[k][1]) + " selected\n\t");
    }
}

TEST(Menu, AnythingElseGives640x480)
{
    for (const std::string input : {"5\n", "x\n", "\n", "", "0"}) {
        const MenuRun run = menu_with_input(input);
        EXPECT_EQ(run.res.xres, 640) << "input '" << input << "'";
        EXPECT_EQ(run.res.yres, 480) << "input '" << input << "'";
        EXPECT_EQ(run.printed, std::string(MENU) + "xres:640 yres:480 selected\n\t");
    }
}

TEST(Menu, ReadsExactlyOneCharacter)
{
    const MenuRun run = menu_with_input("12\n");
    EXPECT_EQ(run.res.xres, 512);
    EXPECT_EQ(run.res.yres, 384);
    EXPECT_EQ(run.next, '2');
}

TEST(ViewAngles, TableOfTheMenuSizes)
{
    struct Row {
        int x, y;
        double xa, ya, xs, xc, ys, yc;
    };
    const Row rows[4] = {
        {512, 384, 1.108712, 1.212882, 0.895125, 0.445814, 0.936630, 0.350321},
        {640, 480, 1.108400, 1.212711, 0.894986, 0.446095, 0.936570, 0.350482},
        {800, 600, 1.108149, 1.212574, 0.894874, 0.446319, 0.936521, 0.350610},
        {1024, 768, 1.107930, 1.212454, 0.894776, 0.446514, 0.936479, 0.350722},
    };
    for (const Row &r : rows) {
        CreateTarget(r.x, r.y);
        EXPECT_NEAR(XpAng, r.xa, 5e-7) << r.x;
        EXPECT_NEAR(YpAng, r.ya, 5e-7) << r.x;
        EXPECT_NEAR(XpAngS, r.xs, 5e-7) << r.x;
        EXPECT_NEAR(XpAngC, r.xc, 5e-7) << r.x;
        EXPECT_NEAR(YpAngS, r.ys, 5e-7) << r.x;
        EXPECT_NEAR(YpAngC, r.yc, 5e-7) << r.x;
    }
    CreateTarget(640, 480);
    EXPECT_EQ(XpAng, (float)std::atan(640.0L / 319.0L));
    EXPECT_EQ(YpAng, (float)std::atan(640.0L / 239.5L));
    EXPECT_EQ(XpAngS, (float)std::sin((double)XpAng));
}

TEST(Sync, CallbackKeepsTheLowByte)
{
    set_sync_value(0);
    SyncCallback(0x103, 7, 12);
    EXPECT_EQ(sync_value(), 3);
    SyncCallback(0xFF, 0, 0);
    EXPECT_EQ(sync_value(), 0xFF);
    set_sync_value(0);
}

// The player thread stores while the program thread polls: the byte must
// cross without a data race (checked under the thread sanitizer).
TEST(ThreadSync, StoredOnOneThreadSeenOnAnother)
{
    set_sync_value(0);
    std::thread player([] {
        for (uint32_t v = 1; v <= 200; v++)
            SyncCallback(v, 0, 0);
    });
    while (sync_value() != 200) {
    }
    player.join();
    EXPECT_EQ(sync_value(), 200);
    set_sync_value(0);
}

}  // namespace
