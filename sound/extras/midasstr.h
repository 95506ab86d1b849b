// Streams: sound that is not held in memory whole (a raw file, the data
// chunk of a WAVE file, or data the application feeds), played through a
// circular buffer that the mixer loops over on one channel.
//
// A writer keeps the buffer filled ahead of the playing position and
// publishes how far the data is valid; the mixer never plays past that point
// and waits when the writer falls behind. File streams have one writer thread
// each; polling streams are written by the application's strFeedStreamData
// calls. ADPCM data (types 5 and 6) is decoded to 16-bit frames as it is
// written.
//
// Thread contract: the str... calls run on the application thread (the API
// holds the poll lock around all but a waiting strFeedStreamData). A file
// stream's writer thread touches the buffer, the write position and the
// device's GetPosition and SetStreamWritePosition without the lock. The writer
// only writes outside the region between the playing position and the write
// position, and one frame always stays free between them; the mixer only reads
// inside it. The write position is published with release ordering and read
// with acquire ordering. strStopStream joins the thread before freeing
// anything.
#pragma once

#include <atomic>
#include <pthread.h>

#include "sound/api/file.h"
#include "sound/extras/madpcm.h"
#include "sound/extras/waveread.h"
#include "sound/mixer/sdevice.h"

enum {
    strMaxStreams = 32,
    strKindFile = 1,    // has a writer thread
    strKindPolling = 3  // fed by the application
};

struct strStream {
    unsigned channel;                // mixer channel (first: the API reads it)
    unsigned char *buffer;           // circular playing buffer
    unsigned bufferFrames;           // a multiple of 4
    unsigned bufferBytes;            // bufferFrames x frameSize
    std::atomic<unsigned> writePos;  // byte offset where the next data goes
    unsigned char *readBuffer;       // file streams: file data waiting to be written
    unsigned readBufferBytes;        // bufferBytes, a quarter of it for ADPCM
    unsigned frameSize;              // bytes per frame as the mixer plays it: 1, 2 or 4
    int kind;                        // strKind...
    fileHandle file;
    long sectionStart;       // byte offset of the data in the file
    unsigned sectionLength;  // bytes of data
    unsigned bytesLeft;      // bytes of the section not read yet
    int loop;                // start the section again at its end
    std::atomic<int> stopRequest;
    unsigned pollInterval;  // ms between the writer's passes: buffer ms / 8
    pthread_t thread;
    mAdpcmState *adpcm;  // types 5 and 6
    mWaveHandle wave;    // WAVE streams: closed instead of the plain file
    unsigned char isAdpcm;
    unsigned char fillByte;  // silence in the played type
    // Writer thread only: file data read but not yet written.
    const unsigned char *pending;
    unsigned pendingBytes;
};

typedef strStream *strHandle;

extern strStream *streams[strMaxStreams];

int strInit(SoundDevice *sd);
// Stops every stream; returns the first error.
int strClose(void);

// Streams a whole file of the given type (1..8) at rate Hz through a buffer
// of bufferMs milliseconds.
int strPlayStreamFile(unsigned channel, const char *fileName, int sampleType, unsigned rate,
                      unsigned bufferMs, int loop, strHandle *stream);
// Streams the data chunk of a WAVE file with the file's type and rate.
int strPlayStreamWaveFile(unsigned channel, const char *fileName, unsigned bufferMs, int loop,
                          strHandle *stream);
// The common start of file streams: section bytes of file from sectionStart.
int strPlayStreamFileSection(strStream *stream, unsigned channel, fileHandle file,
                             long sectionStart, unsigned sectionLength, int sampleType,
                             unsigned rate, unsigned bufferMs, int loop);
// A stream fed by strFeedStreamData.
int strPlayStreamPolling(unsigned channel, int sampleType, unsigned rate, unsigned bufferMs,
                         strHandle *stream);
// Writes as much of data as fits; with wait nonzero sleeps a poll interval at
// a time until all of it is written. *bytesUsed: input bytes taken.
int strFeedStreamData(strStream *stream, const unsigned char *data, unsigned bytes, int wait,
                      unsigned *bytesUsed);
// Ends the stream (joining its writer) and frees it.
int strStopStream(strStream *stream);

int strSetStreamRate(strStream *stream, unsigned rate);
int strSetStreamVolume(strStream *stream, unsigned volume);
int strSetStreamPanning(strStream *stream, int panning);
// Bytes written and not yet played.
int strGetStreamBytesBuffered(strStream *stream, unsigned *bytes);
int strPauseStream(strStream *stream, int pause);

// Bytes the writer may write now: one frame always stays free.
int strFreeSpace(strStream *stream, unsigned *bytes);
