// tga: picture reader.
#include "graphics/tga.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static char error_line[512];

const char *picture_error()
{
    return error_line;
}

void set_picture_error(const char *filename, const char *reason)
{
    snprintf(error_line, sizeof error_line, "%s: %s", filename, reason);
}

int load_tga_24(uint32_t *picture, const char *filename)
{
    FILE *f = fopen(filename, "rb");
    if (!f) {
        set_picture_error(filename, strerror(errno));
        return 0;
    }
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    if (size < TGA_PIXEL_BYTES) {
        char reason[128];
        if (size < 0)
            snprintf(reason, sizeof reason, "cannot find the end of the file");
        else
            snprintf(reason, sizeof reason, "too short: %ld bytes, the pixels alone take %ld",
                     size, TGA_PIXEL_BYTES);
        set_picture_error(filename, reason);
        fclose(f);
        return 0;
    }
    unsigned char *raw = (unsigned char *)malloc((size_t)TGA_PIXEL_BYTES);
    if (!raw) {
        set_picture_error(filename, "out of memory");
        fclose(f);
        return 0;
    }
    const bool ok = fseek(f, -TGA_PIXEL_BYTES, SEEK_END) == 0 &&
                    fread(raw, 1, (size_t)TGA_PIXEL_BYTES, f) == (size_t)TGA_PIXEL_BYTES;
    fclose(f);
    if (!ok) {
        set_picture_error(filename, "read error");
        free(raw);
        return 0;
    }
    // Stored bottom row first: output row i comes from stored row 255 - i.
    for (int i = 0; i < PICTURE_EDGE; i++) {
        const unsigned char *src = raw + (size_t)(PICTURE_EDGE - 1 - i) * PICTURE_EDGE * 3;
        uint32_t *dst = picture + (size_t)i * PICTURE_EDGE;
        for (int j = 0; j < PICTURE_EDGE; j++, src += 3)
            dst[j] = (uint32_t)src[2] << 16 | (uint32_t)src[1] << 8 | src[0];
    }
    free(raw);
    return 1;
}
