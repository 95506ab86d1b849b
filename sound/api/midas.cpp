// The sound system's shared state and its shutdown.
#include "sound/api/midas.h"

#include "sound/api/errors.h"

midasErrorExitHook midasErrorExit = errErrorExit;
SoundDevice *midasSD = nullptr;
int midasSDInit = 0;
int midasSDChans = 0;
unsigned midasChannels = 0;

void midasSetErrorExit(midasErrorExitHook hook) { midasErrorExit = hook; }

void midasClose(void)
{
    int error;
    if (midasSDChans) {
        if ((error = midasSD->CloseChannels()) != errOK)
            midasUninitError(error);
        midasSDChans = 0;
        midasChannels = 0;
    }
    if (midasSDInit) {
        if ((error = midasSD->Close()) != errOK)
            midasUninitError(error);
        midasSDInit = 0;
        midasSD = nullptr;
    }
}
