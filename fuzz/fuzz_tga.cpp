// Fuzzes the picture reader. It reads a named file, so each input becomes a
// file in memory (memfd) read through its /proc/self/fd path. The first byte
// chooses how: even, the rest of the input is the file as it stands; odd,
// the next two bytes give the file's size around the 196608 bytes of pixel
// data (so that short, exact and long files are all reached from small
// inputs) and the remaining bytes are repeated to fill it.
//
// A load either succeeds, with every pixel taken from the last 196608 bytes
// of the file, bottom row first, blue, green, red; or fails with a reason
// naming the file and leaves the picture as it was.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/tga.h"

namespace {

std::vector<uint8_t> fileBytes(const uint8_t *data, size_t size)
{
    if (size == 0)
        return {};
    if ((data[0] & 1) == 0)
        return std::vector<uint8_t>(data + 1, data + size);
    int16_t delta = 0;
    if (size >= 3)
        delta = int16_t(data[1] | data[2] << 8);
    long length = TGA_PIXEL_BYTES + delta;
    std::vector<uint8_t> file(size_t(length > 0 ? length : 0));
    const uint8_t *fill = size > 3 ? data + 3 : nullptr;
    const size_t fillSize = size > 3 ? size - 3 : 0;
    for (size_t i = 0; i < file.size(); i++)
        file[i] = fill ? fill[i % fillSize] : uint8_t(i * 7);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> file = fileBytes(data, size);
    int fd = memfd_create("fuzz_tga", 0);
    if (fd < 0)
        std::abort();
    size_t done = 0;
    while (done < file.size()) {
        ssize_t n = write(fd, file.data() + done, file.size() - done);
        if (n <= 0)
            std::abort();
        done += size_t(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    // Exactly the room the reader is promised; a sentinel shows any change.
    std::vector<uint32_t> picture(PICTURE_PIXELS, 0xDEADBEEFu);
    const int result = load_tga_24(picture.data(), path.c_str());
    close(fd);

    if (result == 1) {
        if (file.size() < size_t(TGA_PIXEL_BYTES))
            std::abort();  // accepted a file too short for the pixels
        const uint8_t *pixels = file.data() + file.size() - TGA_PIXEL_BYTES;
        for (int row = 0; row < PICTURE_EDGE; row++) {
            const uint8_t *src = pixels + size_t(PICTURE_EDGE - 1 - row) * PICTURE_EDGE * 3;
            for (int col = 0; col < PICTURE_EDGE; col++, src += 3) {
                const uint32_t want = uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
                if (picture[size_t(row) * PICTURE_EDGE + col] != want)
                    std::abort();
            }
        }
        return 0;
    }
    if (result != 0 || file.size() >= size_t(TGA_PIXEL_BYTES))
        std::abort();  // a file holding the pixels must load
    for (uint32_t p : picture)
        if (p != 0xDEADBEEFu)
            std::abort();  // a failed load changed the picture
    const std::string reason = picture_error();
    if (reason.compare(0, path.size() + 2, path + ": ") != 0 || reason.size() <= path.size() + 2)
        std::abort();  // the reason names the file and says something
    return 0;
}
