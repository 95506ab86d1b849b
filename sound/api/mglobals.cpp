// Shared configuration of the sound system. The initial values here are the
// defaults; midasSetDefaults writes the same values again at every start-up.
#include "sound/api/mglobals.h"

int mLastError = 0;

int mBufferLength = 500;
int mBufferBlocks = 16;
int mDefaultFramerate = 7000;
int mSyncScreen = 1;
int mDSoundMode = 0;
int mDSoundObject = 0;
int mDSoundHwnd = 0;
int mDSoundBufferLength = 100;
int mDisableDSound = 0;
int mEnableSurround = 0;
int mLoopModule = 1;
int mUseEMS = 0;

int m16bitUlawAutoConvert = 1;
int mOutputFilterMode = 3;
int mDisableVolumeRamping = 0;
int mPreferredMixingMode = 0;
int mOversampling = 0;
int mDefaultStereoSeparation = 64;
