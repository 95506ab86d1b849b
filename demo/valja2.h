// valja2: the console menu that picks the screen size.
#pragma once

#include <cstdint>

struct resolution {
    int32_t xres;
    int32_t yres;
};

// Prints the menu, reads one character from standard input and returns the
// chosen size; anything but '1' to '4' (also end of input) gives 640x480.
resolution do_menu();
