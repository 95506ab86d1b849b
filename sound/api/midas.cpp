// The sound system's shared state, its shutdown, and the single-song layer.
#include "sound/api/midas.h"

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/mpoll.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/dsmnsnd.h"
#include "sound/mixer/oss.h"
#include "sound/player/gmplayer.h"

SoundDevice *midasSoundDevices[midasNumSoundDevices] = {&OSS, &MixNoSound};

int midasSDNumber = -1;
int midasSDPort = -1, midasSDIRQ = -1, midasSDDMA = -1, midasSDCard = -1;
int midasOutputMode = 0;
int midasMixRate = 44100;
int midasAmplification = -1;

SoundDevice *midasSD = nullptr;
int midasSDInit = 0;
int midasSDChans = 0;
unsigned midasChannels = 0;
int midasGMPInit = 0;
int midasGMPPlay = 0;
int midasEMSInit = 0, midasTMRInit = 0, midasTMRPlay = 0, midasTMRMusic = 0, midasDisableEMS = 0;
PlayState *midasPlayHandle = nullptr;
SoundDevice *midasForcedSD = nullptr;

int midasSDChannels[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                           16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

void midasPrepareStart(void)
{
    midasSetErrorShutdown(midasClose);
    dsmDeviceOptions.ulawAutoConvert = m16bitUlawAutoConvert;
    dsmDeviceOptions.outputFilterMode = mOutputFilterMode;
    dsmDeviceOptions.disableVolumeRamping = mDisableVolumeRamping;
    dsmDeviceOptions.preferredMixingMode = mPreferredMixingMode;
    dsmDeviceOptions.oversampling = mOversampling;
    dsmDeviceOptions.bufferLength = mBufferLength;
}

void midasSetDefaults(void)
{
    midasSDNumber = -1;
    midasSDPort = midasSDIRQ = midasSDDMA = midasSDCard = -1;
    midasOutputMode = 0;
    midasMixRate = 44100;
    midasAmplification = -1;
    mBufferLength = 500;
    mBufferBlocks = 16;
    mDefaultFramerate = 7000;
    mSyncScreen = 1;
    mDSoundMode = mDSoundObject = mDSoundHwnd = 0;
    mDSoundBufferLength = 100;
    m16bitUlawAutoConvert = 1;
    mOutputFilterMode = 3;
    mOversampling = 0;
    mDefaultStereoSeparation = 64;
    mLoopModule = 1;
    mDisableVolumeRamping = 0;
    mPreferredMixingMode = 0;
    mEnableSurround = mDisableDSound = 0;
    midasSetErrorExit(errErrorExit);
    midasSetErrorShutdown(midasClose);

    midasSDInit = midasSDChans = midasGMPInit = midasGMPPlay = 0;
    midasEMSInit = midasTMRInit = midasTMRPlay = midasTMRMusic = midasDisableEMS = 0;
    midasChannels = 0;
    midasSD = nullptr;
    midasPlayHandle = nullptr;
}

void midasInit(void)
{
    midasPrepareStart();
    midasEMSInit = 0;
    mUseEMS = 0;
    InitThreads();
    int error;
    if (midasSDNumber == -1) {
        midasSD = nullptr;
        for (int i = 0; i < midasNumSoundDevices; i++) {
            int present = 0;
            if ((error = midasSoundDevices[i]->Detect(&present)) != errOK) {
                midasError(error);
                return;
            }
            if (present) {
                midasSD = midasSoundDevices[i];
                midasSDNumber = i;
                break;
            }
        }
        if (!midasSD) {
            midasError(errSDFailure);
            return;
        }
    } else {
        midasSD = midasSoundDevices[midasSDNumber];
        if (midasSDPort == -1 && midasSDIRQ == -1 && midasSDDMA == -1 && midasSDCard == -1) {
            int present = 0;
            if ((error = midasSD->Detect(&present)) != errOK) {
                midasError(error);
                return;
            }
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
    if ((error = midasSD->Init(unsigned(midasMixRate), unsigned(midasOutputMode))) != errOK) {
        midasError(error);
        return;
    }
    midasSDInit = 1;
    if ((error = gmpInit(midasSD)) != errOK) {
        midasError(error);
        return;
    }
    midasGMPInit = 1;
}

void midasClose(void)
{
    int error;
    if (midasGMPPlay && midasPlayHandle) {
        if ((error = gmpStopSong(midasPlayHandle)) != errOK)
            midasUninitError(error);
        midasGMPPlay = 0;
        midasPlayHandle = nullptr;
    }
    if (midasGMPInit) {
        if ((error = gmpClose()) != errOK)
            midasUninitError(error);
        midasGMPInit = 0;
    }
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

void midasOpenChannels(int numChans)
{
    midasChannels = unsigned(numChans);
    int error = midasSD->OpenChannels(unsigned(numChans));
    if (error != errOK) {
        midasError(error);
        return;
    }
    midasSDChans = 1;
    if (midasAmplification != -1 &&
        (error = midasSD->SetAmplification(unsigned(midasAmplification))) != errOK)
        midasError(error);
}

void midasCloseChannels(void)
{
    int error = midasSD->CloseChannels();
    if (error != errOK) {
        midasError(error);
        return;
    }
    midasSDChans = 0;
    midasChannels = 0;
}

void midasPlayModule(ModuleRecord *module, int numEffectChannels)
{
    int numChans = module->numChans;
    int first;
    if (midasSDChans) {
        if (int(midasChannels) < numChans) {
            midasError(errNoChannels);
            return;
        }
        first = int(midasChannels) - numChans;
        // The channel numbers come from the 32-entry table.
        if (first + numChans > 32) {
            midasError(errNoChannels);
            return;
        }
    } else {
        // The fixed channel table holds 32 channels.
        if (numChans + numEffectChannels > 32 || numEffectChannels < 0) {
            midasError(errNoChannels);
            return;
        }
        midasOpenChannels(numChans + numEffectChannels);
        if (!midasSDChans)
            return;
        first = numEffectChannels;
    }
    int error = gmpPlaySong(module, -1, -1, -1, 1, -1, &midasSDChannels[first], &midasPlayHandle);
    if (error != errOK) {
        midasError(error);
        return;
    }
    midasGMPPlay = 1;
}

void midasStopModule(ModuleRecord *module)
{
    int error = gmpStopSong(midasPlayHandle);
    if (error != errOK) {
        midasError(error);
        return;
    }
    midasGMPPlay = 0;
    midasPlayHandle = nullptr;
    if (midasSDChans) {
        unsigned numChans = module->numChans;
        if (numChans > midasChannels)
            numChans = midasChannels;
        for (unsigned ch = midasChannels - numChans; ch < midasChannels; ch++) {
            if ((error = midasSD->StopSound(ch)) != errOK ||
                (error = midasSD->SetVolume(ch, 0)) != errOK) {
                midasError(error);
                return;
            }
        }
    }
    // Without open channels there is nothing left to close.
}
