/* Renders a module to a 16-bit stereo WAVE file through the offline render,
 * as fast as the CPU allows, once through the song.
 *
 *   render_wav MODULE OUT.wav [RATE] */
#include <stdio.h>
#include <stdlib.h>

#include <q5sound/midasdll.h>

/* Little-endian fields of the 44-byte PCM WAVE header. */
static void put16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
static void put32(unsigned char *p, unsigned long v)
{
    put16(p, (unsigned)(v & 0xFFFF));
    put16(p + 2, (unsigned)(v >> 16));
}

static int writeHeader(FILE *f, unsigned rate, unsigned long dataBytes)
{
    unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                           'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 16, 0,
                           'd', 'a', 't', 'a', 0, 0, 0, 0};
    put32(h + 4, 36 + dataBytes);
    put32(h + 24, rate);
    put32(h + 28, rate * 4UL);
    put32(h + 40, dataBytes);
    return fseek(f, 0, SEEK_SET) == 0 && fwrite(h, sizeof h, 1, f) == 1;
}

/* Gets every piece of output; 0 tells the render the write failed.
 * (The samples are in the machine's byte order: little-endian here.) */
static int writePcm(const void *pcm, unsigned bytes, void *file)
{
    return fwrite(pcm, 1, bytes, (FILE *)file) == bytes;
}

static int fail(const char *what)
{
    fprintf(stderr, "render_wav: %s: %s\n", what, MIDASgetErrorMessage(MIDASgetLastError()));
    MIDASclose();
    return 1;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: render_wav MODULE OUT.wav [RATE]\n");
        return 2;
    }
    unsigned rate = argc > 3 ? (unsigned)atoi(argv[3]) : 44100;
    FILE *out = fopen(argv[2], "wb");
    if (!out || !writeHeader(out, rate, 0)) {
        perror(argv[2]);
        return 1;
    }

    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_MIXRATE, (int)rate);
    MIDASsetOption(MIDAS_OPTION_OUTPUTMODE, 2 | 8); /* stereo, 16-bit */
    /* Stop where the song comes round, so the file holds one pass. */
    if (!MIDASrenderInit(MIDAS_RENDER_INTERPOLATE | MIDAS_RENDER_STOP_AT_PASS, writePcm, out))
        return fail("render");
    MIDASmodule module = MIDASloadModule(argv[1]);
    if (!module)
        return fail(argv[1]);
    MIDASmodulePlayHandle song = MIDASplayModule(module, 1);
    if (!song)
        return fail(argv[1]);

    /* A song that never comes round stops after ten minutes. */
    unsigned long frames = 0, limit = 600UL * rate;
    MIDASsongState state;
    do {
        unsigned n = 0;
        if (!MIDASrender(NULL, rate, &n))
            return fail(argv[2]);
        frames += n;
        if (!MIDASgetSongState(song, &state))
            return fail("state");
    } while (state.passes == 0 && frames < limit);

    MIDASstopModule(song);
    MIDASfreeModule(module);
    if (!MIDASclose())
        return fail("close");
    if (!writeHeader(out, rate, frames * 4) || fclose(out) != 0) {
        perror(argv[2]);
        return 1;
    }
    printf("%s: %lu frames, %.3f s\n", argv[2], frames, (double)frames / rate);
    return 0;
}
