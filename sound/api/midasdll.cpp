// The public API: start-up, options, detection, the player thread and the
// channels. Modules and songs are in midasmod.cpp; samples, streams, echoes
// and post-processors in midasfxapi.cpp.
#include "sound/api/midasdll.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/mmem.h"
#include "sound/api/mpoll.h"
#include "sound/extras/midasfx.h"
#include "sound/extras/midasstr.h"
#include "sound/mixer/dsm.h"
#include "sound/player/gmplayer.h"

using mapi::fail;
using mapi::PollLock;

namespace {

int MIDASthread = 0;
int midasFxInit = 0;
int midasStrInit = 0;
unsigned amplification = 100;       // percent
unsigned channelAmplification = 0;  // the device's default for the open channels
uint8_t *chanAllocated = nullptr;   // one flag per open channel: 1 = handed out
int forceNoSound = 0;
unsigned *autoEffectChannels = nullptr;
unsigned numAutoEffectChannels = 0;

// Every song slot playing a module of the most channels a module can have:
// more could never be used, and the mixer's records grow with the count.
constexpr int maxOpenChannels = int(gmpMaxSongs) * int(gmpMaxChannels);

}  // namespace

int mapi::fail(int error)
{
    mLastError = error;
    return 0;
}

bool mapi::ready() { return midasSDInit && midasGMPInit && midasFxInit && midasStrInit; }

Q5SOUND_API int MIDASstartup(void)
{
    // Resetting the state under a running library would lose its songs,
    // channels and thread: MIDASclose (and MIDASstopBackgroundPlay) first.
    if (MIDASthread || midasSDInit || midasGMPInit || midasFxInit || midasStrInit)
        return fail(errDeviceBusy);
    MIDASthread = 0;
    midasFxInit = 0;
    midasStrInit = 0;
    amplification = 100;
    channelAmplification = 0;
    midasSetDefaults();
    if (chanAllocated)
        memFree(chanAllocated);
    chanAllocated = nullptr;
    forceNoSound = 0;
    if (autoEffectChannels)
        memFree(autoEffectChannels);
    autoEffectChannels = nullptr;
    numAutoEffectChannels = 0;
    mapi::resetSongs();
    return 1;
}

Q5SOUND_API int MIDASdetectSD(void)
{
    midasSD = nullptr;
    midasSDNumber = -1;
    for (int i = 0; i < midasNumSoundDevices; i++) {
        int present = 0;
        int error = midasSoundDevices[i]->Detect(&present);
        if (error != errOK)
            return fail(error);
        if (present == 1) {
            midasSD = midasSoundDevices[i];
            midasSDNumber = i;
            break;
        }
    }
    return 1;
}

Q5SOUND_API int MIDASdetectSoundCard(void) { return MIDASdetectSD() && midasSDNumber != 5; }

Q5SOUND_API int MIDASinit(void)
{
    // A player thread started before now polls as soon as the device is up.
    PollLock lock;
    // A second start would leak the first one's device and player state; a
    // start that failed half way is undone by MIDASclose first.
    if (midasSDInit || midasGMPInit || midasFxInit || midasStrInit)
        return fail(errDeviceBusy);
    int error;
    midasPrepareStart();
    midasEMSInit = 0;
    mUseEMS = 0;
    InitThreads();
    if (forceNoSound)
        midasSDNumber = 1;
    if (midasForcedSD) {
        midasSD = midasForcedSD;
    } else if (midasSDNumber == -1) {
        if (!MIDASdetectSD())
            return 0;
        if (!midasSD)
            return fail(errSDFailure);
    } else {
        if (midasSDNumber < 0 || midasSDNumber >= midasNumSoundDevices)
            return fail(errInvalidDevice);
        midasSD = midasSoundDevices[midasSDNumber];
        if (midasSDPort == -1 && midasSDIRQ == -1 && midasSDDMA == -1 && midasSDCard == -1) {
            int present = 0;
            if ((error = midasSD->Detect(&present)) != errOK)
                return fail(error);
        }
    }
    if (midasSDPort != -1)
        midasSD->port = unsigned(midasSDPort);
    if (midasSDIRQ != -1)
        midasSD->irq = unsigned(midasSDIRQ);
    if (midasSDDMA != -1)
        midasSD->dma = unsigned(midasSDDMA);
    if (midasSDCard != -1)
        midasSD->card = unsigned(midasSDCard);

    if ((error = midasSD->Init(unsigned(midasMixRate), unsigned(midasOutputMode))) != errOK)
        return fail(error);
    midasSDInit = 1;
    if ((error = gmpInit(midasSD)) != errOK)
        return fail(error);
    midasGMPInit = 1;
    if ((error = fxInit(midasSD)) != errOK)
        return fail(error);
    midasFxInit = 1;
    if ((error = strInit(midasSD)) != errOK)
        return fail(error);
    midasStrInit = 1;
    return 1;
}

Q5SOUND_API int MIDASclose(void)
{
    int error;
    if (MIDASthread) {
        StopPlayThread();
        MIDASthread = 0;
    }
    PollLock lock;
    if ((error = mapi::closeEffects()) != errOK)
        return fail(error);
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return 0;
    if (midasStrInit) {
        if ((error = strClose()) != errOK)
            return fail(error);
        midasStrInit = 0;
    }
    if (midasFxInit) {
        if ((error = fxClose()) != errOK)
            return fail(error);
        midasFxInit = 0;
    }
    if ((error = mapi::closeModules()) != errOK)
        return fail(error);
    if (midasGMPInit) {
        if ((error = gmpClose()) != errOK)
            return fail(error);
        midasGMPInit = 0;
    }
    if (midasSDChans) {
        if ((error = midasSD->CloseChannels()) != errOK)
            return fail(error);
        midasSDChans = 0;
        midasChannels = 0;
        if (chanAllocated) {
            memFree(chanAllocated);
            chanAllocated = nullptr;
        }
        mapi::forgetChannelPlays();
    }
    if (midasSDInit) {
        if ((error = midasSD->Close()) != errOK)
            return fail(error);
        midasSDInit = 0;
        midasSD = nullptr;
    }
    return 1;
}

Q5SOUND_API int MIDASsetOption(int option, int value)
{
    switch (option) {
    case 1: midasMixRate = value; break;
    case 2: midasOutputMode = value; break;
    case 3: mBufferLength = value; break;
    case 4: mBufferBlocks = value; break;
    case 5: mDSoundMode = value; break;
    case 6: mDSoundHwnd = value; break;
    case 7: mDSoundObject = value; break;
    case 8: mDSoundBufferLength = value; break;
    case 9: m16bitUlawAutoConvert = value; break;
    case 10:
        // The filters follow the option at once, also while playing.
        mOutputFilterMode = value;
        dsmOutputFilterMode = value;
        break;
    case 11: mOversampling = value == 1 ? 1 : 0; break;
    case 12: mDefaultStereoSeparation = value; break;
    case 13: forceNoSound = value; break;
    default: break;
    }
    return 1;
}

Q5SOUND_API int MIDASgetOption(int option)
{
    switch (option) {
    case 1: return midasMixRate;
    case 2: return midasOutputMode;
    case 3: return mBufferLength;
    case 4: return mBufferBlocks;
    case 5: return mDSoundMode;
    case 6: return mDSoundHwnd;
    case 7: return mDSoundObject;
    case 8: return mDSoundBufferLength;
    case 9: return m16bitUlawAutoConvert;
    case 10: return mOutputFilterMode;
    case 11: return mOversampling ? 1 : 0;
    case 12: return mDefaultStereoSeparation;
    case 13: return forceNoSound;
    default: return 0;
    }
}

Q5SOUND_API int MIDASgetLastError(void) { return mLastError; }

Q5SOUND_API const char *MIDASgetErrorMessage(int errorCode)
{
    // Codes outside the table come from no call of ours; they get the text
    // of code 1 rather than a read past the table.
    if (errorCode < 0 || errorCode >= errNumCodes)
        errorCode = errUndefined;
    return errorMsg[errorCode];
}

// The build defines the version once (sound/CMakeLists.txt) for this call,
// the soname and the package files.
Q5SOUND_API const char *MIDASgetVersionString(void) { return Q5SOUND_VERSION; }

Q5SOUND_API int MIDASstartBackgroundPlay(unsigned pollRate)
{
    // Half the poll period, so the device is topped up twice per period.
    int sleepMs = pollRate == 0 ? 20 : int(1000 / pollRate) / 2;
    // One player thread: a second would share the stop handshake with the
    // first, and one of them would never be told to end.
    if (MIDASthread)
        return fail(errDeviceBusy);
    StartPlayThread(sleepMs);
    MIDASthread = 1;
    return 1;
}

Q5SOUND_API int MIDASstopBackgroundPlay(void)
{
    if (MIDASthread) {
        StopPlayThread();
        MIDASthread = 0;
    }
    return 1;
}

Q5SOUND_API int MIDASpoll(void)
{
    PollMIDAS();
    return 1;
}

Q5SOUND_API void MIDASlock(void) { LockPollThread(); }

Q5SOUND_API void MIDASunlock(void) { UnlockPollThread(); }

bool mapi::channelsInUse()
{
    if (songsPlaying())
        return true;
    for (strStream *s : streams)
        if (s)
            return true;
    return false;
}

namespace {

// The channels are closing or opening anew: the automatic effect channels
// (numbers of the old set) are stopped and forgotten, by the API and by the
// sample service.
int dropAutoChannels()
{
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return mLastError;
    return fxSetAutoChannels(0, nullptr);
}

}  // namespace

Q5SOUND_API int MIDASopenChannels(int numChannels)
{
    PollLock lock;
    if (!midasSDInit)
        return fail(errSDFailure);
    if (numChannels <= 0 || numChannels > maxOpenChannels)
        return fail(errInvalidArguments);
    if (midasSDChans && mapi::channelsInUse())
        return fail(errDeviceBusy);
    int error;
    if (midasSDChans && (error = dropAutoChannels()) != errOK)
        return fail(error);
    if ((error = midasSD->OpenChannels(unsigned(numChannels))) != errOK)
        return fail(error);
    // The flags always match the count: an allocation never reads past them.
    if (chanAllocated)
        memFree(chanAllocated);
    chanAllocated = nullptr;
    midasChannels = 0;
    midasSDChans = 1;
    mapi::forgetChannelPlays();
    if ((error = memAlloc(numChannels, reinterpret_cast<void **>(&chanAllocated))) != errOK)
        return fail(error);
    std::memset(chanAllocated, 0, size_t(numChannels));
    midasChannels = unsigned(numChannels);

    if (midasAmplification != -1 &&
        (error = midasSD->SetAmplification(unsigned(midasAmplification))) != errOK)
        return fail(error);
    if ((error = midasSD->GetAmplification(&channelAmplification)) != errOK)
        return fail(error);
    if (amplification != 100 &&
        (error = midasSD->SetAmplification(amplification * channelAmplification / 100)) != errOK)
        return fail(error);
    return 1;
}

Q5SOUND_API int MIDAScloseChannels(void)
{
    PollLock lock;
    if (!midasSDChans)
        return fail(errNoChannels);
    if (mapi::channelsInUse())
        return fail(errDeviceBusy);
    int error = dropAutoChannels();
    if (error == errOK)
        error = midasSD->CloseChannels();
    if (error != errOK)
        return fail(error);
    midasSDChans = 0;
    midasChannels = 0;
    memFree(chanAllocated);
    chanAllocated = nullptr;
    mapi::forgetChannelPlays();
    return 1;
}

Q5SOUND_API int MIDASsetAmplification(unsigned percent)
{
    PollLock lock;
    amplification = percent;
    if (midasSDChans) {
        int error = midasSD->SetAmplification(percent * channelAmplification / 100);
        if (error != errOK)
            return fail(error);
    }
    return 1;
}

Q5SOUND_API unsigned MIDASallocateChannel(void)
{
    PollLock lock;
    if (!midasSDChans) {
        mLastError = errNoChannels;
        return 0xFFFF;
    }
    for (unsigned ch = 0; ch < midasChannels; ch++) {
        if (!chanAllocated[ch]) {
            chanAllocated[ch] = 1;
            return ch;
        }
    }
    mLastError = errOutOfChannels;
    return 0xFFFF;
}

Q5SOUND_API int MIDASfreeChannel(unsigned channel)
{
    PollLock lock;
    if (!midasSDChans)
        return fail(errNoChannels);
    if (channel >= midasChannels)
        return fail(errInvalidChanNumber);
    chanAllocated[channel] = 0;
    return 1;
}

Q5SOUND_API int MIDASallocAutoEffectChannels(unsigned numChannels)
{
    PollLock lock;
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return 0;
    if (numChannels == 0)
        return fail(errInvalidBlock);
    // More than are open could never be taken; the allocator would say so
    // after a list of any size.
    if (!midasSDChans)
        return fail(errNoChannels);
    if (numChannels > midasChannels)
        return fail(errOutOfChannels);
    int error = memAlloc(int(numChannels * sizeof(unsigned)),
                         reinterpret_cast<void **>(&autoEffectChannels));
    if (error != errOK)
        return fail(error);
    auto release = [](unsigned taken) {
        for (unsigned j = 0; j < taken; j++)
            MIDASfreeChannel(autoEffectChannels[j]);
        memFree(autoEffectChannels);
        autoEffectChannels = nullptr;
    };
    for (unsigned i = 0; i < numChannels; i++) {
        unsigned ch = MIDASallocateChannel();
        if (ch == 0xFFFF) {
            release(i);
            return 0;  // the allocator's code stays
        }
        autoEffectChannels[i] = ch;
    }
    if ((error = fxSetAutoChannels(numChannels, autoEffectChannels)) != errOK) {
        release(numChannels);
        return fail(error);
    }
    numAutoEffectChannels = numChannels;
    return 1;
}

Q5SOUND_API int MIDASfreeAutoEffectChannels(void)
{
    PollLock lock;
    if (!numAutoEffectChannels)
        return 1;
    for (unsigned i = 0; i < numAutoEffectChannels; i++) {
        int error;
        if ((error = midasSD->StopSound(autoEffectChannels[i])) != errOK ||
            (error = midasSD->SetVolume(autoEffectChannels[i], 0)) != errOK)
            return fail(error);
    }
    // The channels stay marked as allocated.
    numAutoEffectChannels = 0;
    memFree(autoEffectChannels);
    autoEffectChannels = nullptr;
    return 1;
}
