// effekt2: the textured metaball surface with the spider picture.
#pragma once

// Reads the two pictures. Returns 1, or 0 when a picture cannot be read or
// allocated (picture_error() tells which and why; nothing stays allocated).
int init_effekt2(int xres, int yres);
// The surface until sync 5, the picture fading in until sync 4, then a
// 32-frame fade to black.
void effekt2();
void close_effekt2();
