// IT 2.14 / 2.15 sample decompression.
#include "sound/player/itsmpdec.h"

#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

namespace {

// Reads bits least significant first from a block of known length. A read
// that needs more bits than remain fails and leaves the reader exhausted.
struct BitReader {
    const uint8_t *data;
    size_t len;        // bytes
    size_t bitPos;     // next bit to read
    size_t bitsTotal;  // len * 8

    bool read(unsigned n, uint32_t *value)
    {
        if (bitsTotal - bitPos < n) {
            bitPos = bitsTotal;
            return false;
        }
        // n is at most 17, so the bits lie within 4 bytes after bitPos / 8.
        uint32_t v = 0;
        size_t byte = bitPos >> 3;
        unsigned shift = static_cast<unsigned>(bitPos & 7);
        unsigned got = 0;
        while (got < n + shift) {
            uint32_t b = byte < len ? data[byte] : 0;
            v |= b << got;
            got += 8;
            byte++;
        }
        *value = (v >> shift) & ((1u << n) - 1);
        bitPos += n;
        return true;
    }
};

// The width parameters of one sample size.
struct Widths {
    unsigned startWidth;  // W0: 9 or 17, the widest code
    unsigned sampleBits;  // S: 8 or 16
    unsigned changeBits;  // F: bits of a width-change argument for widths 1..6
    unsigned halfWindow;  // H: half the window of change codes for widths 7..W0-1
};

constexpr Widths widths8 = {9, 8, 3, 4};
constexpr Widths widths16 = {17, 16, 4, 8};

// Sign-extends the low bits of v to a full int.
inline int32_t signExtend(uint32_t v, unsigned bits)
{
    uint32_t top = 1u << (bits - 1);
    return static_cast<int32_t>(v ^ top) - static_cast<int32_t>(top);
}

// A change to width n never names the current width, so the codes skip it.
inline unsigned skipCurrent(unsigned n, unsigned width) { return n < width ? n : n + 1; }

}  // namespace

unsigned itsDecodeBlock(const uint8_t *data, size_t len, void *out, unsigned maxFrames, int is16,
                        int it215)
{
    const Widths &wp = is16 ? widths16 : widths8;
    BitReader bits{data, len, 0, len * 8};
    const uint32_t mask = (1u << wp.sampleBits) - 1;
    uint32_t d1 = 0, d2 = 0;  // integrators, kept to sampleBits by masking
    unsigned width = wp.startWidth;
    unsigned frames = 0;
    int8_t *out8 = static_cast<int8_t *>(out);
    int16_t *out16 = static_cast<int16_t *>(out);

    while (frames < maxFrames) {
        uint32_t v;
        if (!bits.read(width, &v))
            break;
        int32_t delta;
        const uint32_t top = 1u << (width - 1);
        if (width < 7) {
            if (v == top) {
                uint32_t c;
                if (!bits.read(wp.changeBits, &c))
                    break;
                width = skipCurrent(c + 1, width);
                continue;
            }
            delta = signExtend(v, width);
        } else if (width < wp.startWidth) {
            if (v >= top - wp.halfWindow && v <= top + wp.halfWindow - 1) {
                width = skipCurrent(v - (top - wp.halfWindow) + 1, width);
                continue;
            }
            delta = signExtend(v, width);
        } else {
            if (v & top) {
                uint32_t n = (v & ~top) + 1;
                if (n > wp.startWidth)
                    break;  // no such width: the rest of the block is damaged
                width = n;
                continue;
            }
            delta = signExtend(v & mask, wp.sampleBits);
        }
        d1 = (d1 + static_cast<uint32_t>(delta)) & mask;
        d2 = (d2 + d1) & mask;
        uint32_t value = it215 ? d2 : d1;
        if (is16)
            out16[frames] = static_cast<int16_t>(signExtend(value, 16));
        else
            out8[frames] = static_cast<int8_t>(signExtend(value, 8));
        frames++;
    }
    return frames;
}

int itsDecompress(fileHandle file, unsigned long avail, void *out, unsigned frames, int is16,
                  int it215, unsigned long *used)
{
    const size_t frameBytes = is16 ? 2 : 1;
    const unsigned blockFrames = is16 ? itsBlockFrames16 : itsBlockFrames8;
    std::memset(out, 0, frames * frameBytes);
    *used = 0;

    uint8_t *block;
    int error = memAlloc(itsMaxBlockBytes, reinterpret_cast<void **>(&block));
    if (error)
        return error;

    unsigned long pos = 0;
    unsigned written = 0;
    uint8_t *outBytes = static_cast<uint8_t *>(out);
    while (written < frames && avail - pos >= 2) {
        uint8_t count[2];
        if ((error = fileRead(file, count, 2)) != 0)
            break;
        pos += 2;
        unsigned long len = count[0] | (static_cast<unsigned>(count[1]) << 8);
        if (len > avail - pos)
            len = avail - pos;  // the file ends inside this block
        if (len && (error = fileRead(file, block, len)) != 0)
            break;
        pos += len;
        unsigned want = frames - written;
        if (want > blockFrames)
            want = blockFrames;
        // A short block appends what it holds; the next block follows on
        // directly after the last frame written.
        written += itsDecodeBlock(block, len, outBytes + written * frameBytes, want, is16, it215);
    }
    *used = pos;
    int freeError = memFree(block);
    return error ? error : freeError;
}
