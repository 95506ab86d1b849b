// Configuration and state shared by every layer of the sound system: the
// options an application sets between MIDASstartup and MIDASinit, and the last
// error code of the public API. All are plain ints, one instance per process;
// midasSetDefaults (midas.h) gives each its default.
#pragma once

// The last failure of a public MIDAS call; success never clears it. Internal
// layers return codes instead and never touch it.
extern int mLastError;

// Output buffering: milliseconds of output the OSS device stages (default 500).
extern int mBufferLength;
extern int mBufferBlocks;  // stored and read back only

extern int mDefaultFramerate;  // stored only
extern int mSyncScreen;        // stored only

// Kept for applications that set them; nothing in this system reads them.
extern int mDSoundMode;
extern int mDSoundObject;
extern int mDSoundHwnd;
extern int mDSoundBufferLength;
extern int mDisableDSound;
extern int mEnableSurround;
extern int mLoopModule;
extern int mUseEMS;

// Read by the mixer when it starts: 16-bit samples are stored as mu-law in
// integer mixing when nonzero; the output filter mode; volume ramping off when
// nonzero; 2 = prefer floating-point mixing.
extern int m16bitUlawAutoConvert;
extern int mOutputFilterMode;
extern int mDisableVolumeRamping;
extern int mPreferredMixingMode;

// 1 = the OSS device mixes with interpolation; 0 = plain.
extern int mOversampling;

// Stereo separation the MOD and S3M loaders give their channels (0..64).
extern int mDefaultStereoSeparation;
