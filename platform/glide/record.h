// record.h: record mode of the software board. When the environment names
// an output file (Q5_RECORD, see platform/record_clock.h), grSstWinOpen
// starts a recording: the display is headless, the swap does not wait for a
// retrace, every shown frame moves the virtual clock on by 1/60 s, and the
// frames and the sound the clock lets through go to a sink, by default the
// ffmpeg program writing an MP4 (H.264 and AAC). grSstWinClose ends it.
//
// Further settings from the environment:
//   Q5_FFMPEG            the encoder program (default "ffmpeg", found on PATH)
//   Q5_RECORD_PRESET     the H.264 speed preset (default "veryfast" up to
//                        640x480, "ultrafast" above)
//   Q5_RECORD_FRAMES     the show's expected length in frames, for the
//                        percentage and the remaining time of the progress line
//
// Program thread only, except RecordSink::audio (the thread writing sound).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glide {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // One shown frame: width * height pixels 0x00RRGGBB, rows from the top.
    virtual void video(const uint32_t *rgb, int width, int height) = 0;
    // Interleaved signed 16-bit little-endian stereo at 44100 Hz. Called
    // with the clock's lock held: must not block.
    virtual void audio(const uint8_t *pcm, size_t bytes) = 0;
    // No more data: completes the output; false (and why) on failure.
    virtual bool finish(std::string &err) = 0;
};

// The ffmpeg sink: runs `program` with the frames, converted to I420 (see
// yuv.h), on descriptor 3 and the PCM on descriptor 4 (two pipes fed by their own threads, so that the
// encoder may read them in any order). Null (and why) when it cannot start.
std::unique_ptr<RecordSink> openFfmpegSink(const std::string &program, const std::string &output, int width,
                                           int height, const std::string &preset, std::string &err);
// The encoder's command line, program first.
std::vector<std::string> ffmpegArguments(const std::string &program, const std::string &output, int width,
                                         int height, const std::string &preset);

// The next recording goes to this sink instead of the encoder (tests).
void setRecordSink(std::unique_ptr<RecordSink> sink);

// Called by grSstWinOpen and grSstWinClose. recordBegin returns true when a
// recording started (the caller then draws headless and unpaced).
bool recordBegin(int width, int height);
void recordEnd();
// True while a recording runs.
bool recording();

// The progress line: frames written, share of the expected total (when
// known), elapsed and remaining wall time, speed against real time.
std::string progressLine(uint64_t frames, uint64_t expected, double elapsedSeconds);

}  // namespace glide
