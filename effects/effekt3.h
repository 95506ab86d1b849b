// effekt3: the eight-ball metaball surface with the credits and greetings.
#pragma once

// Reads the three pictures. Returns 1, or 0 when a picture cannot be read or
// allocated (picture_error() tells which and why; nothing stays allocated).
int init_effekt3(int xres, int yres);
// 800 frames: the credits over the surface, then the greetings.
void effekt3();
void close_effekt3();

// Brightness of a picture x frames into its 300-frame window: a fade in
// over the first 150 frames and its mirror image over the last 150.
float effekt3_brightness(float x);
