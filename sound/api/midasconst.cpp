// The public header names the library's own codes: its error codes and
// sample types are checked here against the internal ones, so the two can
// never drift apart.
#include "sound/api/errors.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/sdevice.h"

static_assert(int(MIDAS_ERR_OK) == int(errOK));
static_assert(int(MIDAS_ERR_UNDEFINED) == int(errUndefined));
static_assert(int(MIDAS_ERR_OUT_OF_MEMORY) == int(errOutOfMemory));
static_assert(int(MIDAS_ERR_HEAP_CORRUPTED) == int(errHeapCorrupted));
static_assert(int(MIDAS_ERR_INVALID_BLOCK) == int(errInvalidBlock));
static_assert(int(MIDAS_ERR_OUT_OF_EMS) == int(errOutOfEMS));
static_assert(int(MIDAS_ERR_EMS_HEAP_CORRUPTED) == int(errEMSHeapCorrupted));
static_assert(int(MIDAS_ERR_INVALID_EMS_BLOCK) == int(errInvalidEMSBlock));
static_assert(int(MIDAS_ERR_EMM_FAILURE) == int(errEMMFailure));
static_assert(int(MIDAS_ERR_OUT_OF_CARD_MEMORY) == int(errOutOfCardMemory));
static_assert(int(MIDAS_ERR_CARD_HEAP_CORRUPTED) == int(errCardHeapCorrupted));
static_assert(int(MIDAS_ERR_INVALID_CARD_BLOCK) == int(errInvalidCardBlock));
static_assert(int(MIDAS_ERR_NO_SAMPLE_HANDLES) == int(errNoSampleHandles));
static_assert(int(MIDAS_ERR_FILE_OPEN) == int(errFileOpen));
static_assert(int(MIDAS_ERR_FILE_READ) == int(errFileRead));
static_assert(int(MIDAS_ERR_INVALID_MODULE) == int(errInvalidModule));
static_assert(int(MIDAS_ERR_INVALID_INST) == int(errInvalidInst));
static_assert(int(MIDAS_ERR_INVALID_PATT) == int(errInvalidPatt));
static_assert(int(MIDAS_ERR_INVALID_CHAN_NUMBER) == int(errInvalidChanNumber));
static_assert(int(MIDAS_ERR_INVALID_SAMPLE_HANDLE) == int(errInvalidSampleHandle));
static_assert(int(MIDAS_ERR_NO_CHANNELS) == int(errNoChannels));
static_assert(int(MIDAS_ERR_SD_FAILURE) == int(errSDFailure));
static_assert(int(MIDAS_ERR_INVALID_ARGUMENTS) == int(errInvalidArguments));
static_assert(int(MIDAS_ERR_FILE_NOT_FOUND) == int(errFileNotFound));
static_assert(int(MIDAS_ERR_INVALID_FILE_HANDLE) == int(errInvalidFileHandle));
static_assert(int(MIDAS_ERR_ACCESS_DENIED) == int(errAccessDenied));
static_assert(int(MIDAS_ERR_FILE_EXISTS) == int(errFileExists));
static_assert(int(MIDAS_ERR_TOO_MANY_FILES) == int(errTooManyFiles));
static_assert(int(MIDAS_ERR_DISK_FULL) == int(errDiskFull));
static_assert(int(MIDAS_ERR_END_OF_FILE) == int(errEndOfFile));
static_assert(int(MIDAS_ERR_INVALID_PATH) == int(errInvalidPath));
static_assert(int(MIDAS_ERR_FILE_WRITE) == int(errFileWrite));
static_assert(int(MIDAS_ERR_VDS_LOCK) == int(errVDSLock));
static_assert(int(MIDAS_ERR_VDS_UNAVAILABLE) == int(errVDSUnavailable));
static_assert(int(MIDAS_ERR_VDS_VERSION) == int(errVDSVersion));
static_assert(int(MIDAS_ERR_DPMI_FAILURE) == int(errDPMIFailure));
static_assert(int(MIDAS_ERR_INVALID_DESCRIPTOR) == int(errInvalidDescriptor));
static_assert(int(MIDAS_ERR_OUT_OF_RESOURCES) == int(errOutOfResources));
static_assert(int(MIDAS_ERR_INVALID_DEVICE) == int(errInvalidDevice));
static_assert(int(MIDAS_ERR_UNSUPPORTED) == int(errUnsupported));
static_assert(int(MIDAS_ERR_DEVICE_NOT_AVAILABLE) == int(errDeviceNotAvailable));
static_assert(int(MIDAS_ERR_DEVICE_BUSY) == int(errDeviceBusy));
static_assert(int(MIDAS_ERR_BAD_MODE) == int(errBadMode));
static_assert(int(MIDAS_ERR_UNABLE_TO_LOCK) == int(errUnableToLock));
static_assert(int(MIDAS_ERR_NO_WINDOW_HANDLE) == int(errNoWindowHandle));
static_assert(int(MIDAS_ERR_INVALID_ADPCM) == int(errInvalidADPCM));
static_assert(int(MIDAS_ERR_INVALID_SAMPLE_TYPE) == int(errInvalidSampleType));
static_assert(int(MIDAS_ERR_NO_MODULE_PLAYING) == int(errNoModulePlaying));
static_assert(int(MIDAS_ERR_OUT_OF_CHANNELS) == int(errOutOfChannels));
static_assert(int(MIDAS_ERR_NO_DIRECT_SOUND_LIB) == int(errNoDirectSoundLib));
static_assert(int(MIDAS_ERR_BAD_WAVE) == int(errBadWave));
static_assert(int(MIDAS_ERR_UNSUPPORTED_SAMPLE_FORMAT) == int(errUnsupportedSampleFormat));
static_assert(int(MIDAS_ERR_NUM_CODES) == int(errNumCodes));

static_assert(int(MIDAS_SAMPLE_NONE) == int(smpNone));
static_assert(int(MIDAS_SAMPLE_8BIT_MONO) == int(smp8bitMono));
static_assert(int(MIDAS_SAMPLE_16BIT_MONO) == int(smp16bitMono));
static_assert(int(MIDAS_SAMPLE_8BIT_STEREO) == int(smp8bitStereo));
static_assert(int(MIDAS_SAMPLE_16BIT_STEREO) == int(smp16bitStereo));
static_assert(int(MIDAS_SAMPLE_ADPCM_MONO) == int(smpAdpcmMono));
static_assert(int(MIDAS_SAMPLE_ADPCM_STEREO) == int(smpAdpcmStereo));
static_assert(int(MIDAS_SAMPLE_ULAW_MONO) == int(smpUlawMono));
static_assert(int(MIDAS_SAMPLE_ULAW_STEREO) == int(smpUlawStereo));

// The post-processors' buffer values are the mixer's 32-bit accumulators.
static_assert(sizeof(MIDASpostProcInt) == 4 && sizeof(MIDASpostProcFloat) == 4);
