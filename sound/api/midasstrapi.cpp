// The public calls for streams: a file, a WAVE file or data the application
// feeds, each on a channel of its own from the channel allocator.
#include <cstddef>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midasdll.h"
#include "sound/extras/midasstr.h"

using mapi::fail;
using mapi::PollLock;

namespace {

// The stream is one the streams service is playing now.
bool liveStream(MIDASstreamHandle stream)
{
    if (stream == nullptr)
        return false;
    for (strStream *s : streams)
        if (s == stream)
            return true;
    return false;
}

// Takes a channel, starts the stream on it with start, and gives the channel
// back when the start fails.
template <typename Start>
MIDASstreamHandle startStream(Start start)
{
    PollLock lock;
    if (!mapi::ready()) {
        fail(errSDFailure);
        return nullptr;
    }
    unsigned channel = MIDASallocateChannel();
    if (channel == 0xFFFF)
        return nullptr;
    strHandle stream = nullptr;
    int error = start(channel, &stream);
    if (error != errOK) {
        MIDASfreeChannel(channel);
        fail(error);
        return nullptr;
    }
    return stream;
}

}  // namespace

Q5SOUND_API
MIDASstreamHandle MIDASplayStreamFile(const char *fileName, int sampleType, unsigned sampleRate,
                                      unsigned bufferLength, int loopStream)
{
    if (fileName == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamFile(channel, fileName, sampleType, sampleRate, bufferLength,
                                 loopStream, s);
    });
}

Q5SOUND_API
MIDASstreamHandle MIDASplayStreamWaveFile(const char *fileName, unsigned bufferLength,
                                          int loopStream)
{
    if (fileName == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamWaveFile(channel, fileName, bufferLength, loopStream, s);
    });
}

Q5SOUND_API
MIDASstreamHandle MIDASplayStreamPolling(int sampleType, unsigned sampleRate, unsigned bufferLength)
{
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamPolling(channel, sampleType, sampleRate, bufferLength, s);
    });
}

Q5SOUND_API int MIDASstopStream(MIDASstreamHandle stream)
{
    if (stream == nullptr)
        return 1;
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    unsigned channel = stream->channel;
    int error = strStopStream(stream);
    // The channel goes back even when stopping failed.
    MIDASfreeChannel(channel);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API
unsigned MIDASfeedStreamData(MIDASstreamHandle stream, unsigned char *data, unsigned numBytes,
                             int feedAll)
{
    if (!liveStream(stream))
        return unsigned(fail(errInvalidArguments));
    if (data == nullptr && numBytes != 0)
        return unsigned(fail(errInvalidArguments));
    unsigned used = 0;
    int error;
    if (feedAll) {
        // Waits a poll interval at a time: holding the lock would stop the
        // very poll that makes room.
        error = strFeedStreamData(stream, data, numBytes, 1, &used);
    } else {
        PollLock lock;
        error = strFeedStreamData(stream, data, numBytes, 0, &used);
    }
    return error == errOK ? used : unsigned(fail(error));
}

Q5SOUND_API int MIDASsetStreamRate(MIDASstreamHandle stream, unsigned rate)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamRate(stream, rate);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetStreamVolume(MIDASstreamHandle stream, unsigned volume)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamVolume(stream, volume);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetStreamPanning(MIDASstreamHandle stream, int panning)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamPanning(stream, panning);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API unsigned MIDASgetStreamBytesBuffered(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return unsigned(fail(errInvalidArguments));
    unsigned bytes = 0;
    int error = strGetStreamBytesBuffered(stream, &bytes);
    return error == errOK ? bytes : unsigned(fail(error));
}

Q5SOUND_API int MIDASpauseStream(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strPauseStream(stream, 1);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASresumeStream(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strPauseStream(stream, 0);
    return error == errOK ? 1 : fail(error);
}
