// main: the demo's entry point and its one pass through the show.
#include <cstdio>
#include <cstdlib>

#include "demo/clipplanes.h"
#include "demo/module.h"
#include "demo/valja2.h"
#include "effects/effekt1.h"
#include "effects/effekt2.h"
#include "effects/effekt3.h"
#include "graphics/3dfx.h"
#include "graphics/tga.h"

// Esc or closing the window: stop the music, close the display, leave.
static void quit_now(void *)
{
    stopplay();
    close_glide();
    exit(0);
}

int main()
{
    const resolution res = do_menu();
    if (init_glide(res.xres, res.yres) != 1)
        return 1;  // init_glide has said why
    CreateTarget(res.xres, res.yres);

    if (!startplay("test.xm")) {
        // Without the music no sync value would come and the first effect
        // would wait forever.
        fprintf(stderr, "%s\n", music_error());
        close_glide();
        return 1;
    }
    glideSetQuitHook(quit_now, nullptr);

    // Every picture is read before any effect runs; the music plays meanwhile.
    const bool ready = init_effekt1(res.xres, res.yres) && init_effekt2(res.xres, res.yres) &&
                       init_effekt3(res.xres, res.yres);
    if (!ready) {
        fprintf(stderr, "%s\n", picture_error());
        close_effekt1();
        close_effekt2();
        close_effekt3();
        glideSetQuitHook(nullptr, nullptr);
        close_glide();
        stopplay();
        return 1;
    }

    effekt1();
    effekt2();
    effekt3();
    close_effekt1();
    close_effekt2();
    close_effekt3();
    glideSetQuitHook(nullptr, nullptr);
    close_glide();
    stopplay();
    printf("q5 - fast fast prod by\nfennamovirelsardandanoldgfxbytullo\nAt ovrun7\n\r");
    return 0;
}
