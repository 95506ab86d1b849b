// valja2: resolution menu.
#include "demo/valja2.h"

#include <cstdio>

resolution do_menu()
{
    resolution res = {0, 0};
    printf("\n");
    printf("**************************************************\n");
    printf("*       3dfx setup for LUMO vo. 1.3 by Q5        *\n");
    printf("**************************************************\n");
    printf("\n");
    printf("\n");
    printf(" 1. 512x384 \n");
    printf(" 2. 640x480 \n");
    printf(" 3. 800x600\n");
    printf(" 4. 1024x768\n");
    printf("\nVAL> ");
    fflush(stdout);

    // Exactly one character: the rest of the line stays unread.
    switch (getc(stdin)) {
    case '1': res = {512, 384}; break;
    case '2': res = {640, 480}; break;
    case '3': res = {800, 600}; break;
    case '4': res = {1024, 768}; break;
    default: break;
    }
    if (res.xres == 0 || res.yres == 0)
        res = {640, 480};
    printf("xres:%d yres:%d selected\n\t", res.xres, res.yres);
    return res;
}
