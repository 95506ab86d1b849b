/* An application of the installed package: starts the library on the
 * silent device, prints the library's version and shuts it down. */
#include <stdio.h>

#include <q5sound/midasdll.h>

int main(void)
{
    if (!MIDASstartup() || !MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1) || !MIDASinit()) {
        fprintf(stderr, "consumer: %s\n", MIDASgetErrorMessage(MIDASgetLastError()));
        return 1;
    }
    printf("%s\n", MIDASgetVersionString());
    return MIDASclose() ? 0 : 1;
}
