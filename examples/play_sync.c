/* Plays a module and prints its music-sync events as they come.
 *
 *   play_sync MODULE [SECONDS] [--silent]
 *
 * Plays for SECONDS (default: until the song has played through once) on the
 * sound device, or on the silent device with --silent, which keeps the
 * music's pace without any output: the sync events arrive as they would
 * with sound. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <q5sound/midasdll.h>

static volatile unsigned syncCount;

/* Runs on the player thread with the poll lock held: it only prints. */
static void onSync(unsigned syncInfo, unsigned position, unsigned row)
{
    printf("sync %u at position %u row %u\n", syncInfo, position, row);
    fflush(stdout);
    syncCount++;
}

static int fail(const char *what)
{
    fprintf(stderr, "play_sync: %s: %s\n", what, MIDASgetErrorMessage(MIDASgetLastError()));
    MIDASclose();
    return 1;
}

int main(int argc, char **argv)
{
    const char *file = NULL;
    double seconds = 0;
    int silent = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--silent") == 0)
            silent = 1;
        else if (!file)
            file = argv[i];
        else
            seconds = atof(argv[i]);
    }
    if (!file) {
        fprintf(stderr, "usage: play_sync MODULE [SECONDS] [--silent]\n");
        return 2;
    }

    MIDASstartup();
    if (silent)
        MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
    if (!MIDASinit())
        return fail("init");
    MIDASmodule module = MIDASloadModule(file);
    if (!module)
        return fail(file);
    if (!MIDASstartBackgroundPlay(0))
        return fail("player thread");
    MIDASmodulePlayHandle song = MIDASplayModule(module, 1);
    if (!song)
        return fail(file);
    if (!MIDASsetMusicSyncCallback(song, onSync))
        return fail("sync callback");
    printf("playing %s on %s\n", file, MIDASgetDeviceName());

    /* Ten status checks a second until the time is up or the song wraps. */
    for (unsigned tenths = 0; seconds <= 0 || tenths < seconds * 10; tenths++) {
        PlayStatus status;
        if (!MIDASgetPlayStatus(song, &status))
            return fail("status");
        if (status.songLoopCount > 0)
            break;
        struct timespec tenth = {0, 100000000L};
        nanosleep(&tenth, NULL);
    }

    MIDASstopModule(song);
    MIDASstopBackgroundPlay();
    MIDASfreeModule(module);
    if (!MIDASclose())
        return fail("close");
    printf("%u sync events\n", syncCount);
    return 0;
}
