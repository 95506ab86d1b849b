// tga: reads the show's 256x256 24-bit uncompressed pictures.
#pragma once

#include <cstdint>

// Pictures are 256x256 pixels 0x00RRGGBB, row after row from the top.
constexpr int PICTURE_EDGE = 256;
constexpr int PICTURE_PIXELS = PICTURE_EDGE * PICTURE_EDGE;
constexpr long TGA_PIXEL_BYTES = PICTURE_PIXELS * 3L;  // 196608

// Reads the last 196608 bytes of the file as 256 rows of blue, green, red
// triples, bottom row first, into picture (room for 65536 pixels). The header
// is not read, so the file must not carry a footer. Returns 1, or 0 when the
// file cannot be opened or read or is shorter than the pixel data; the
// picture is then left untouched and picture_error() tells why.
int load_tga_24(uint32_t *picture, const char *filename);

// One line naming the file and the reason of the last failure of a picture
// load (or of its allocation), "" while there has been none.
const char *picture_error();
void set_picture_error(const char *filename, const char *reason);
