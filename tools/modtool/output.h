// What modtool says about the sound output: the device that really plays,
// and a refusal when the device asked for by name cannot be opened.
#pragma once

#include <string>

// Before the sound system starts: false with a one-line message when
// Q5_ALSA_DEVICE names a device that cannot be opened.
bool checkRequestedOutput(std::string *error);

// After it started: "ALSA device "default"", "OSS "/dev/dsp"", or the
// silent device with the reason, from the name of the library's device.
std::string outputDescription(const std::string &deviceName);
