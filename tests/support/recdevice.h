// A sound device for tests: every operation succeeds (unless told to fail)
// and appends one line to a log, so a test can check what reached the
// device call by call. AddSample hands out handles 1, 2, ... and keeps a copy
// of each sample's data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/mixer/sdevice.h"

namespace recdev {

struct Sample {
    SoundDeviceSample desc;     // as handed over (sample pointer not valid later)
    std::vector<uint8_t> data;  // copy of the bytes
    bool removed;
};

// The device record. Its operations log lines such as "SetRate 0 8363".
SoundDevice *device();

// Forgets the log and the samples; handles start at 1 again.
void reset();

// The lines logged since the last reset() or takeLog().
const std::vector<std::string> &log();
std::vector<std::string> takeLog();
// Adds a free-form line (tests mark ticks with it).
void mark(const std::string &line);

// Whether channel operations are logged (AddSample/RemoveSample always are).
void setLogging(bool on);

// Samples added so far; index = handle - 1.
const std::vector<Sample> &samples();

// Makes the named operation fail with code from now on (empty name: none).
void failOperation(const std::string &name, int code);

}  // namespace recdev
